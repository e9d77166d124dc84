// Report filters: time window, QC level and duplicate resolution.
#include "stations/stations.h"

void MSFCFLTR(std::string_view, int32_t, int32_t, int32_t, int32_t, float, const bool*, int32_t,
              int32_t*, char*, int32_t*, char*, int32_t*, float*, float*, float*, char*, char*,
              int32_t*, int32_t*, int32_t& nkeep) {
  nkeep = 0;
}

void MQCFLTR(int32_t, int32_t, int32_t, int32_t, const char*, const int32_t*, const int32_t*,
             float*) {}
