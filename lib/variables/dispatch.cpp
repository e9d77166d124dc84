// MGETSFC: one surface variable for every station of the current list.
#include "variables/variables.h"

void MGETSFC(std::string_view, std::string_view, int32_t& nsta, int32_t& nobs, float*, char*,
             int32_t*, int32_t*, int32_t& status) {
  nsta = 0;
  nobs = 0;
  status = MST_NOT_INITIALIZED;
}
