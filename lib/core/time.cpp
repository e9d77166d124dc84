// Time strings, integer time and file-name stems (stub, filled in next).
#include "core/core.h"

int32_t M_GTI4TM(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t& status) {
  status = MST_BAD_TIME;
  return 0;
}
void M_CNVTTM(int32_t, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&,
              int32_t& status) {
  status = MST_BAD_TIME;
}
void M_MKFNAM(int32_t, char*, int32_t& status) { status = MST_BAD_TIME; }
void M_MKI4TM(std::string_view, int32_t&, int32_t& status) { status = MST_BAD_TIME; }
void M_CVJLMD(int32_t, int32_t, int32_t&, int32_t&, int32_t& status) { status = MST_BAD_TIME; }
void M_MKWFNM(std::string_view, char*, int32_t& status) { status = MST_BAD_TIME; }
void MCHRTIM(int32_t, int32_t, int32_t, int32_t, int32_t, char*, int32_t& status) {
  status = MST_BAD_TIME;
}
