// NetCDF variable readers (stub, filled in next).
#include "core/core.h"

void MRDNUM1(std::string_view, int32_t, int32_t, int32_t, int32_t, float, float*, int32_t,
             void*, int32_t& nvals, int32_t& status) {
  nvals = 0;
  status = MST_NETCDF;
}
void MRDNUM(std::string_view, int32_t, int32_t, int32_t, int32_t, float, float*,
            int32_t& status) {
  status = MST_NETCDF;
}
void MRDCHR(std::string_view, int32_t, int32_t, int32_t, int32_t, char*, int64_t, int32_t&,
            int32_t& status) {
  status = MST_NETCDF;
}
