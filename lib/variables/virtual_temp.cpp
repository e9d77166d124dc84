// MSFCTV: virtual temperature from the temperature, the dew point (from the
// moisture derivation) and the station pressure (from the pressure
// derivation). Where it cannot be formed the temperature is delivered in its
// place, marked "T", if it passes the highest QC level available.
#include "formulas/formulas.h"
#include "stations/stations.h"
#include "variables/derived.h"

namespace voran {
namespace {

using derived::bad_desc;
using derived::in_range;
using derived::Input;

struct TvCodes {
  int16_t code, temp, dew;
};
constexpr TvCodes CODES[] = {{114, 8, 1}, {170, 143, 166}, {204, 203, 197}};
constexpr int32_t CODE_P = 7;
constexpr float TMIN = 89.0f, TMAX = 422.0f, PMAX = 110000.0f, HPA = 100.0f;
constexpr int32_t QC_HIGHEST = 99;

// Private work arrays, one entry per record.
Input TD, P;
float FT[MAXREPORTS];  // the temperatures as the QC filter leaves them

}  // namespace
}  // namespace voran

void MSFCTV(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
            float* qcr, int32_t& status) {
  using namespace voran;
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  const TvCodes* tc = derived::find_code(CODES, code);
  if (tc == nullptr) {
    status = MST_BAD_VARNAME;
    return;
  }

  // The temperature as the file has it under the code's name, on every
  // network: unlike the moisture derivation, the virtual temperature does not
  // take the archive temperature of MESONET, HCN and CRN files in its place.
  bool t_qc = false;
  derived::read_with_qc(tc->temp, dset, slot, val, qcd, qca, qcr, t_qc, status);
  if (status != MST_OK) return;
  MSFCMOI(tc->dew, dset, slot, TD.val, TD.qcd, TD.qca, TD.qcr, status);
  if (status != MST_OK) return;
  MSFCPRS(CODE_P, dset, slot, P.val, P.qcd, P.qca, P.qcr, status);
  if (status != MST_OK) return;

  // The values delivered carry the temperature's QC: the fallback test and
  // the dispatcher's filter go by the temperature's QC source.
  VORANCOM2.QC_SOURCE = t_qc ? 1 : 2;
  for (int32_t i = 0; i < n; ++i) FT[i] = val[i];
  const int32_t level = VORANCOM2.QC_LEVEL;
  const int32_t fslot = VORANCOM2.QCFLTR_SLOT;
  VORANCOM2.QC_LEVEL = QC_HIGHEST;
  VORANCOM2.QCFLTR_SLOT = slot;
  MQCFLTR(tc->temp, dset, 1, n, qcd, nullptr, nullptr, FT);
  VORANCOM2.QC_LEVEL = level;
  VORANCOM2.QCFLTR_SLOT = fslot;

  for (int32_t i = 0; i < n; ++i) {
    const float t = val[i], td = TD.val[i], p = P.val[i];
    if (t == RMISS) continue;
    if (!bad_desc(qcd[i]) && td != RMISS && !bad_desc(TD.qcd[i]) && p != RMISS &&
        !bad_desc(P.qcd[i]) && in_range(t, TMIN, TMAX) && in_range(td, TMIN, TMAX) &&
        p > 0.0f && p <= PMAX) {
      float tv = derived::finite_or_missing(M_TV(t, td, p / HPA, RMISS));
      if (tv != RMISS) {
        val[i] = tv;
        continue;
      }
    }
    if (FT[i] != RMISS) {
      qcd[i] = 'T';
    } else {
      derived::set_missing(i, val, qcd, qca, qcr);
    }
  }
  status = MST_OK;
}
