// Variable fetch layer (stub, filled in next).
#include "core/core.h"

void MGTNUM(std::string_view, int32_t, int32_t, int32_t, int32_t, float, float*,
            int32_t& status) {
  status = MST_NETCDF;
}
void MGTCHR(std::string_view, int32_t, int32_t, int32_t, int32_t, char*, int64_t, int32_t&,
            int32_t& status) {
  status = MST_NETCDF;
}
void MRAOBNUM(std::string_view, int32_t, int32_t, int32_t, int32_t, float, float*,
              int32_t& status) {
  status = MST_BAD_TABLE;
}
void MRAOBCHR(std::string_view, int32_t, int32_t, int32_t, int32_t, char*, int64_t, int32_t&,
              int32_t& status) {
  status = MST_BAD_TABLE;
}
