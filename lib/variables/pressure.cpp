// MSFCPRS: altimeter setting (code 3), station pressure (code 7) and the
// station-level pressure of code 229, in Pa, from whatever the file's network
// reports: an altimeter setting, a pressure, both (MESONET), or neither
// (COOP and CRN, which get the standard atmosphere at the station).
#include <cmath>

#include "formulas/formulas.h"
#include "stations/stations.h"
#include "variables/derived.h"

namespace voran {
namespace {

using derived::bad_desc;
using derived::Input;
using derived::set_missing;

constexpr int32_t MARITIME = 2, SAO = 3, MESONET = 4, COOP = 5, CRN = 10;
constexpr int32_t CODE_ALT = 3, CODE_PRS = 7, CODE_ELEV = 16, CODE_LAT = 17, CODE_LON = 18;
constexpr int32_t CODE_STNLEV = 229;  // station-level pressure
constexpr float PMAX = 110000.0f;
constexpr float HPA = 100.0f;

// Private work arrays, one entry per record.
Input ALT, PRS;
float ELEV[MAXREPORTS], LAT[MAXREPORTS], LON[MAXREPORTS];

// Station pressure from an altimeter setting a (Pa) at elevation e (m), or
// missing when a is not usable or the formula gives no finite number.
float prs_from_alt(float a, char desc, float e) {
  if (a == RMISS || bad_desc(desc) || e == RMISS || !(a > 0.0f && a <= PMAX)) return RMISS;
  return derived::finite_or_missing(M_ALTPRS(a / HPA, e) * HPA);
}

// Altimeter setting from a station pressure p (Pa): the formula takes the
// 0.3 hPa instrument correction off p, so p just above 0.3 Pa would give the
// fractional power of a negative number; such a result is missing.
float alt_from_prs(float p, char desc, float e) {
  if (p == RMISS || bad_desc(desc) || e == RMISS || !(p > 0.3f && p <= PMAX)) return RMISS;
  return derived::finite_or_missing(M_PRSALT(p / HPA, e) * HPA);
}

void copy_qc(const Input& in, int32_t i, char* qcd, float* qca, float* qcr) {
  qcd[i] = in.qcd[i];
  qca[i] = in.qca[i];
  qcr[i] = in.qcr[i];
}

// MESONET files may carry an altimeter setting, a station pressure or both;
// each record takes the reported value where there is one, preferring inputs
// with QC, and derives from the other otherwise.
void mesonet(int32_t code, int32_t slot, int32_t n, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status) {
  derived::read_input(CODE_ALT, MESONET, slot, ALT, status);
  if (status != MST_OK) return;
  derived::read_input(CODE_PRS, MESONET, slot, PRS, status);
  if (status != MST_OK) return;
  read_values(CODE_ELEV, MESONET, slot, ELEV, status);
  if (status != MST_OK) return;
  VORANCOM2.QC_SOURCE = (ALT.has_qc || PRS.has_qc) ? 1 : 2;

  for (int32_t i = 0; i < n; ++i) {
    const float a = ALT.val[i], p = PRS.val[i];
    if (code == CODE_ALT) {
      float x = RMISS;
      if (ALT.has_qc && a != RMISS) {
        val[i] = a;
        copy_qc(ALT, i, qcd, qca, qcr);
      } else if (PRS.has_qc && (x = alt_from_prs(p, PRS.qcd[i], ELEV[i])) != RMISS) {
        val[i] = x;
        copy_qc(PRS, i, qcd, qca, qcr);
      } else if (a != RMISS) {
        val[i] = a;
        copy_qc(ALT, i, qcd, qca, qcr);
      } else if ((x = alt_from_prs(p, PRS.qcd[i], ELEV[i])) != RMISS) {
        val[i] = x;
        copy_qc(PRS, i, qcd, qca, qcr);
      } else {
        set_missing(i, val, qcd, qca, qcr);
      }
    } else {
      float x = RMISS;
      if (p != RMISS) {
        val[i] = p;
        copy_qc(a == RMISS ? PRS : ALT, i, qcd, qca, qcr);
      } else if ((x = prs_from_alt(a, ALT.qcd[i], ELEV[i])) != RMISS) {
        val[i] = x;
        copy_qc(ALT, i, qcd, qca, qcr);
      } else {
        set_missing(i, val, qcd, qca, qcr);
      }
    }
  }
}

// COOP and CRN report no pressure: the station pressure is that of the
// standard atmosphere at the station's elevation.
void standard_atmosphere(int32_t code, int32_t dset, int32_t slot, int32_t n, float* val,
                         char* qcd, float* qca, float* qcr, int32_t& status) {
  if (code != CODE_PRS) {
    status = MST_BAD_VARNAME;
    return;
  }
  read_values(CODE_ELEV, dset, slot, ELEV, status);
  if (status != MST_OK) return;
  for (int32_t i = 0; i < n; ++i) {
    // The formula answers its missing value (not to be scaled) for
    // elevations within 1 m of it.
    const float z = ELEV[i] == RMISS ? RMISS : M_ZTOPSA(ELEV[i], RMISS);
    val[i] = z == RMISS ? RMISS : derived::finite_or_missing(z * HPA);
    qcd[i] = 'Z';
    qca[i] = qcr[i] = 0.0f;
  }
  VORANCOM2.QC_SOURCE = 2;
}

// Every other network reports one of the two quantities: the maritime files
// a pressure, the land networks an altimeter setting.
void reported(int32_t code, int32_t dset, int32_t slot, int32_t n, float* val, char* qcd,
              float* qca, float* qcr, int32_t& status) {
  bool has_qc = false;
  derived::read_with_qc(code, dset, slot, val, qcd, qca, qcr, has_qc, status);
  if (status != MST_OK) return;
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  if (dset == SAO) {
    // A corrupt value too large to convert is missing.
    for (int32_t i = 0; i < n; ++i) {
      if (val[i] == RMISS) continue;
      val[i] *= HPA;
      if (!std::isfinite(val[i])) set_missing(i, val, qcd, qca, qcr);
    }
  }
  const bool maritime = dset == MARITIME;
  if ((maritime && code == CODE_PRS) || (!maritime && code == CODE_ALT)) return;

  read_values(CODE_ELEV, dset, slot, ELEV, status);
  if (status != MST_OK) return;
  if (maritime) {
    // Lake reports get the terrain height of their position.
    read_values(CODE_LAT, dset, slot, LAT, status);
    if (status != MST_OK) return;
    read_values(CODE_LON, dset, slot, LON, status);
    if (status != MST_OK) return;
    M_MARELV(n, RMISS, LAT, LON, ELEV);
  }
  for (int32_t i = 0; i < n; ++i) {
    float x = maritime ? alt_from_prs(val[i], qcd[i], ELEV[i])
                       : prs_from_alt(val[i], qcd[i], ELEV[i]);
    if (x == RMISS) {
      set_missing(i, val, qcd, qca, qcr);
    } else {
      val[i] = x;
    }
  }
}

}  // namespace
}  // namespace voran

void MSFCPRS(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status) {
  using namespace voran;
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  if (code != CODE_ALT && code != CODE_PRS && code != CODE_STNLEV) {
    status = MST_BAD_VARNAME;
    return;
  }
  if (dset == MESONET) {
    mesonet(code, slot, n, val, qcd, qca, qcr, status);
  } else if (dset == COOP || dset == CRN) {
    standard_atmosphere(code, dset, slot, n, val, qcd, qca, qcr, status);
  } else {
    reported(code, dset, slot, n, val, qcd, qca, qcr, status);
  }
}
