// Variable fetch layer: the variable routines read through MGTNUM and MGTCHR,
// which take values from the open data file, or, when the radiosonde dataset
// is current, from the sounding store.
//
// No sounding store is filled in this library (upper-air retrieval is not
// served), so the radiosonde routines answer as follows:
//   - a name matching none of their tables: 4002 with the INTV message;
//   - "sondTyp" and "staLon", which live in the data file: read from it;
//   - every name served by the store (level counts, level values and their
//     QC): 1005 without a message, the status of a variable the data does
//     not hold, which every caller already treats as "skip this file".
#include <algorithm>

#include "core/core.h"

namespace {

constexpr int32_t NOT_IN_STORE = MST_NOT_IN_DATABASE;

// Radiosonde names are matched on the table name's length only, so that
// "pressure" followed by "QCA" finds "pressure".
int match_prefix(std::string_view name, const std::string_view* table, int n) {
  for (int i = 0; i < n; ++i) {
    std::string_view t = table[i];
    std::string_view head = name.substr(0, t.size());
    if (voran::feq(head, t)) return i;
  }
  return -1;
}

constexpr std::string_view RAOB_NUM[10] = {"pressure", "height",    "temperature", "dpd",
                                           "windDir",  "windSpeed", "levelType",   "numLev",
                                           "sondTyp",  "staLon"};
constexpr int SONDTYP = 8, STALON = 9;
constexpr std::string_view RAOB_CHR[6] = {"pressureDD", "heightDD",  "temperatureDD",
                                          "dpdDD",      "windDirDD", "windSpeedDD"};

}  // namespace

void MGTNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
            float missing, float* values, int32_t& status) {
  if (MCOM2.CURDSET == 1) {
    MRAOBNUM(name, ncid, recdim, r1, r2, missing, values, status);
    return;
  }
  // MRDNUM reads through the library's work buffer and applies the
  // satellite-sounding level compaction.
  MRDNUM(name, ncid, recdim, r1, r2, missing, values, status);
}

void MGTCHR(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2, char* cbuf,
            int64_t cbufcap, int32_t& nchar, int32_t& status) {
  if (MCOM2.CURDSET == 1) {
    MRAOBCHR(name, ncid, recdim, r1, r2, cbuf, cbufcap, nchar, status);
    return;
  }
  MRDCHR(name, ncid, recdim, r1, r2, cbuf, cbufcap, nchar, status);
}

// r1..r2 are the first and last record.
void MRAOBNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
              float missing, float* values, int32_t& status) {
  int k = match_prefix(name, RAOB_NUM, 10);
  if (k < 0) {
    MERROR("MRAOBNUM: INTV - INVALID RAOB VARIABLE");
    status = MST_BAD_TABLE;
    return;
  }
  if (k == SONDTYP || k == STALON) {
    int64_t count = std::clamp<int64_t>(int64_t{r2} - r1 + 1, -1, INT32_MAX);
    MRDNUM(name, ncid, recdim, r1, static_cast<int32_t>(count), missing, values, status);
    return;
  }
  status = NOT_IN_STORE;
}

void MRAOBCHR(std::string_view name, int32_t, int32_t, int32_t, int32_t, char*, int64_t, int32_t&,
              int32_t& status) {
  if (match_prefix(name, RAOB_CHR, 6) < 0) {
    MERROR("MRAOBCHR: INTV - INVALID RAOB VARIABLE");
    status = MST_BAD_TABLE;
    return;
  }
  status = NOT_IN_STORE;
}
