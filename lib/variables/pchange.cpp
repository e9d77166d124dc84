// MSFCPCHG: signed pressure change (code 4) of one open surface file. The
// files carry the unsigned amount; the pressure-tendency characteristic
// (code 5, WMO convention: 5 to 8 are falls) gives it its sign.
#include <algorithm>
#include <cmath>

#include "variables/slotqc.h"

namespace {

constexpr int32_t CODE_PCHG = 4;
constexpr int32_t CODE_PCHAR = 5;
constexpr int32_t SAO = 3;
// Characteristics are read in chunks of this many records.
constexpr int32_t NPCHAR = voran::MAXSTATIONS;

// Tendency characteristic of the records of the chunk at hand.
float PCHAR[NPCHAR];

// Characteristic of records first..first+count-1 into PCHAR.
void read_chunk(std::string_view name, int32_t slot, int32_t first, int32_t count,
                int32_t& status) {
  MGTNUM(name, SFCSTRN.FILE_NCID[slot - 1], SFCSTRN.FILE_RECDIM[slot - 1], first, count,
         voran::RMISS, PCHAR, status);
}

}  // namespace

void MSFCPCHG(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status) {
  using namespace voran;
  (void)code;  // always 4
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;

  read_values(CODE_PCHG, dset, slot, val, status);
  if (status != MST_OK) return;
  const std::string_view cname = varname(CODE_PCHAR, dset);
  if (cname.empty()) {
    status = MST_NOT_IN_DATABASE;
    return;
  }
  read_chunk(cname, slot, 1, std::min(n, NPCHAR), status);
  if (status != MST_OK) return;

  bool has_qc = false;
  read_qc(CODE_PCHG, dset, slot, 1, qcd, qca, qcr, has_qc, status);
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  if (status != MST_OK) return;

  for (int32_t first = 0; first < n; first += NPCHAR) {
    const int32_t count = std::min(n - first, NPCHAR);
    if (first > 0) {
      read_chunk(cname, slot, first + 1, count, status);
      if (status != MST_OK) return;
    }
    for (int32_t k = 0; k < count; ++k) {
      float& v = val[first + k];
      if (v == RMISS) continue;
      if (dset == SAO) {
        v = v * 100.0f;  // hPa to Pa
        // A corrupt amount too large to convert is missing.
        if (!std::isfinite(v)) {
          derived::set_missing(first + k, val, qcd, qca, qcr);
          continue;
        }
      }
      const float c = PCHAR[k];
      if (c != RMISS && c >= 5.0f) v = -v;
    }
  }
  status = MST_OK;
}
