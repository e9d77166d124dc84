// MSFCELEV: station elevation of every record of one open surface file.
#include "stations/stations.h"

void MSFCELEV(int32_t, int32_t, float*, char*, float*, float*, int32_t& status) {
  status = MST_NOT_IN_DATABASE;
}
