// Provider selection and the provider tables' numbering of data-file providers.
#include "tables/tables.h"

void MSETSFCPVDR(std::string_view, bool, int32_t& status) { status = 0; }
void M_IDSUBSRC(int32_t n, const char*, int32_t* srcnum, int32_t& status) {
  for (int32_t i = 0; i < n; ++i) srcnum[i] = 0;
  status = 0;
}
void M_UPDSRCIN(int32_t, int32_t, int32_t& status) { status = 0; }
