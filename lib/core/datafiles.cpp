// Data files: template timing, file ranges, opening and closing.
#include "core/core.h"

void MTMRNG(std::string_view, int32_t, int32_t& endoff, int32_t& period, int32_t& status) {
  endoff = 0;
  period = 0;
  status = MST_BAD_FILE;
}

void MSFILES(int32_t, int32_t itime, int32_t& first, int32_t& nfiles) {
  first = itime;
  nfiles = 0;
}

void MVORANOPEN(std::string_view, int32_t, std::string_view, int32_t& ncid, int32_t& rcode) {
  ncid = -1;
  rcode = -1;
}

void MVORANCLS1(int32_t, std::string_view, int32_t, std::string_view) {}
