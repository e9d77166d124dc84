// Station record reader: the identity of every report of one surface file.
#include "stations/stations.h"

void MSFCRDSTA(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t*, char*, int32_t*,
               char*, float*, float*, float*, int32_t*, char*, char*, int32_t& status) {
  status = MST_NETCDF;
}
