// MSFCMOI: dew point, relative humidity, dew-point depression, specific
// humidity, absolute humidity and mixing ratio. A value the network reports
// is passed through with its QC; otherwise each record's value is derived
// from the temperature and whichever humidity input (dew point or relative
// humidity) the network's sensor pair provides, and only from usable inputs.
#include <netcdf.h>

#include "formulas/formulas.h"
#include "variables/derived.h"

namespace voran {
namespace {

using derived::bad_desc;
using derived::finite_or_missing;
using derived::in_range;
using derived::Input;
using derived::set_missing;

enum class Qty { DEW, RH, DEP, SH, AH, MR, HUM };

struct CodeQty {
  int16_t code;
  Qty qty;
};
constexpr CodeQty QTYS[] = {
    {1, Qty::DEW},   {166, Qty::DEW}, {197, Qty::DEW}, {2, Qty::RH},    {113, Qty::DEP},
    {167, Qty::DEP}, {200, Qty::DEP}, {112, Qty::SH},  {168, Qty::SH},  {202, Qty::SH},
    {131, Qty::AH},  {169, Qty::AH},  {198, Qty::AH},  {186, Qty::MR},  {209, Qty::MR},
    {144, Qty::HUM},
};

constexpr int32_t MESONET = 4;
constexpr int32_t CODE_TD = 1, CODE_RH = 2, CODE_T = 8, CODE_P = 7;

// Sensor pair of a network and code: the humidity side (a dew point or a
// relative humidity) and the temperature it goes with. First matching row.
struct PairRow {
  uint32_t nets;      // bit n for surface source n
  int16_t lo, hi;     // requested codes lo..hi (0, 0: any code)
  const int16_t* in;  // or one of these codes (null: none)
  int16_t hum, temp;
  bool hum_is_rh;
};
constexpr uint32_t net(int n) { return 1u << n; }
constexpr int16_t URBA_PAIR2[] = {197, 198, 200, 202, 209, 0};
constexpr PairRow PAIRS[] = {
    {net(1) | net(2) | net(3) | net(7) | net(8) | net(9), 0, 0, nullptr, 1, 8, false},
    {net(5), 166, 169, nullptr, 144, 143, true},
    {net(5), 0, 0, nullptr, 2, 8, true},
    {net(6), 0, -1, URBA_PAIR2, 215, 203, true},
    {net(6), 224, 228, nullptr, 217, 216, true},
    {net(6), 0, 0, nullptr, 2, 8, true},
    {net(10), 0, 0, nullptr, 2, 8, true},
};

bool row_matches(const PairRow& r, int32_t code, int32_t dset) {
  if (dset < 1 || dset > NSRC || !(r.nets & net(dset))) return false;
  if (r.in) {
    for (const int16_t* c = r.in; *c; ++c)
      if (*c == code) return true;
    return false;
  }
  return (r.lo == 0 && r.hi == 0) || (code >= r.lo && code <= r.hi);
}

constexpr float TMIN = 89.0f, TMAX = 422.0f;  // temperature and dew point, K
constexpr float PMAX = 110000.0f;             // Pa
constexpr float KELVIN = 273.15f, HPA = 100.0f, PERCENT = 100.0f, GKG = 1000.0f;

bool t_ok(float t, char d) { return t != RMISS && !bad_desc(d) && in_range(t, TMIN, TMAX); }
bool rh_ok(float rh, char d) {
  return rh != RMISS && !bad_desc(d) && in_range(rh, 0.0f, 100.0f);
}
bool p_ok(float p, char d) { return p != RMISS && !bad_desc(d) && p > 0.0f && p <= PMAX; }

// Private work arrays, one entry per record. On the networks other than
// MESONET the humidity side is held in TD.
Input TD, RH, T, P;

void copy_qc(const Input& in, int32_t i, char* qcd, float* qca, float* qcr) {
  qcd[i] = in.qcd[i];
  qca[i] = in.qca[i];
  qcr[i] = in.qcr[i];
}

void read_pressure(int32_t dset, int32_t slot, int32_t& status) {
  MSFCPRS(CODE_P, dset, slot, P.val, P.qcd, P.qca, P.qcr, status);
  P.has_qc = VORANCOM2.QC_SOURCE == 1;
}

// SH and MR of a dew point td (K) at pressure p (Pa), in kg/kg.
float humidity_ratio(Qty q, float p, float td) {
  float x = q == Qty::SH ? M_SSH(p / HPA, td - KELVIN) : M_WMR(p / HPA, td - KELVIN);
  return finite_or_missing(x / GKG);
}

// MESONET files report a dew point and a relative humidity; a record uses
// the reported value where it has one and derives from the other otherwise.
void mesonet(Qty q, int32_t slot, int32_t n, float* val, char* qcd, float* qca, float* qcr,
             int32_t& status) {
  if (q == Qty::HUM) {
    status = MST_NOT_IN_DATABASE;
    return;
  }
  derived::read_input(CODE_TD, MESONET, slot, TD, status);
  if (status != MST_OK) return;
  derived::read_input(CODE_RH, MESONET, slot, RH, status);
  if (status != MST_OK) return;
  derived::read_temperature(CODE_T, MESONET, slot, T.val, T.qcd, T.qca, T.qcr, T.has_qc, status);
  if (status != MST_OK) return;
  if (q == Qty::SH || q == Qty::MR) {
    read_pressure(MESONET, slot, status);
    if (status != MST_OK) return;
  }

  for (int32_t i = 0; i < n; ++i) {
    const float td = TD.val[i], rh = RH.val[i], t = T.val[i];
    const bool tv = t_ok(t, T.qcd[i]);
    const bool tdv = t_ok(td, TD.qcd[i]);
    const bool rhv = rh_ok(rh, RH.qcd[i]);
    float x = RMISS;
    const Input* src = nullptr;
    switch (q) {
      case Qty::DEW:
        if (td != RMISS) {
          x = td, src = &TD;
        } else if (rhv && tv) {
          x = M_DEWPNT(t, rh, RMISS), src = &RH;
        }
        break;
      case Qty::RH:
        if (rh != RMISS) {
          x = rh, src = td != RMISS ? &TD : &RH;
        } else if (tdv && tv) {
          x = M_RH(t, td, RMISS) * PERCENT, src = &TD;
        }
        break;
      case Qty::DEP:
      case Qty::AH:
        if (tdv && tv) {
          x = q == Qty::DEP ? t - td : M_TD2AH(td, t, RMISS), src = &TD;
        } else if (rhv && tv) {
          x = q == Qty::DEP ? t - M_DEWPNT(t, rh, RMISS) : M_RH2AH(rh, t, RMISS), src = &RH;
        }
        break;
      case Qty::SH:
      case Qty::MR: {
        float tdx = RMISS;
        if (td != RMISS) {
          tdx = td, src = &TD;
        } else if (rhv && tv) {
          tdx = M_DEWPNT(t, rh, RMISS), src = &RH;
        }
        if (src && !bad_desc(src->qcd[i]) && p_ok(P.val[i], P.qcd[i]) &&
            in_range(tdx, TMIN, TMAX)) {
          x = humidity_ratio(q, P.val[i], tdx);
        }
        break;
      }
      case Qty::HUM:
        break;
    }
    x = finite_or_missing(x);
    if (x == RMISS || src == nullptr) {
      set_missing(i, val, qcd, qca, qcr);
    } else {
      val[i] = x;
      copy_qc(*src, i, qcd, qca, qcr);
    }
  }
  VORANCOM2.QC_SOURCE = (TD.has_qc || RH.has_qc) ? 1 : 2;
}

// Every other network: one humidity input (TD) and the temperature (T). The
// output carries the humidity input's QC.
void derive(Qty q, const PairRow& pr, int32_t dset, int32_t slot, int32_t n, float* val,
            char* qcd, float* qca, float* qcr, int32_t& status) {
  derived::read_input(pr.hum, dset, slot, TD, status);
  if (status != MST_OK) return;
  const bool ratio = q == Qty::SH || q == Qty::MR;
  const bool need_t = !(ratio && !pr.hum_is_rh);
  if (need_t) {
    derived::read_temperature(pr.temp, dset, slot, T.val, T.qcd, T.qca, T.qcr, T.has_qc, status);
    if (status != MST_OK) return;
  }
  if (ratio) {
    read_pressure(dset, slot, status);
    if (status != MST_OK) return;
  }

  for (int32_t i = 0; i < n; ++i) {
    const float h = TD.val[i], t = need_t ? T.val[i] : RMISS;
    const char hd = TD.qcd[i];
    const bool tv = need_t && t_ok(t, T.qcd[i]);
    const bool hv = pr.hum_is_rh ? rh_ok(h, hd) : t_ok(h, hd);
    // Dew point of the record: the humidity input itself, or converted from
    // a relative humidity with the temperature.
    float td = RMISS;
    if (!pr.hum_is_rh) {
      td = h;
    } else if (tv && hv) {
      td = finite_or_missing(M_DEWPNT(t, h, RMISS));
    }
    float x = RMISS;
    switch (q) {
      case Qty::DEW:
        if (pr.hum_is_rh || hv) x = td;
        break;
      case Qty::RH:
        if (!pr.hum_is_rh && tv && hv) x = M_RH(t, h, RMISS) * PERCENT;
        break;
      case Qty::DEP:
        if (tv && hv && td != RMISS) x = t - td;
        break;
      case Qty::SH:
      case Qty::MR:
        if (!bad_desc(hd) && td != RMISS && in_range(td, TMIN, TMAX) && p_ok(P.val[i], P.qcd[i]))
          x = humidity_ratio(q, P.val[i], td);
        break;
      case Qty::AH:
        if (tv && !bad_desc(hd) && td != RMISS && in_range(td, TMIN, TMAX))
          x = M_TD2AH(td, t, RMISS);
        break;
      case Qty::HUM:
        break;
    }
    x = finite_or_missing(x);
    if (x == RMISS) {
      set_missing(i, val, qcd, qca, qcr);
    } else {
      val[i] = x;
      copy_qc(TD, i, qcd, qca, qcr);
    }
  }
  VORANCOM2.QC_SOURCE = TD.has_qc ? 1 : 2;
}

}  // namespace

void derived::read_temperature(int32_t tcode, int32_t dset, int32_t slot, float* val, char* qcd,
                               float* qca, float* qcr, bool& has_qc, int32_t& status) {
  if (tcode == CODE_T && (dset == MESONET || dset == 9 || dset == 10)) {
    int varid = 0;
    if (nc_inq_varid(SFCSTRN.FILE_NCID[slot - 1], "archiveTemperature", &varid) == NC_NOERR) {
      MSFCART(CODE_T, dset, slot, val, qcd, qca, qcr, status);
      has_qc = VORANCOM2.QC_SOURCE == 1;
      if (status != MST_NOT_IN_DATABASE) return;
    }
  }
  read_with_qc(tcode, dset, slot, val, qcd, qca, qcr, has_qc, status);
}

}  // namespace voran

void MSFCMOI(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status) {
  using namespace voran;
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  const CodeQty* cq = derived::find_code(QTYS, code);
  if (cq == nullptr) {
    status = MST_BAD_VARNAME;
    return;
  }
  if (dset == MESONET) {
    mesonet(cq->qty, slot, n, val, qcd, qca, qcr, status);
    return;
  }
  const PairRow* pr = nullptr;
  for (const PairRow& r : PAIRS) {
    if (row_matches(r, code, dset)) {
      pr = &r;
      break;
    }
  }
  if (pr == nullptr) {
    status = MST_NOT_IN_DATABASE;
    return;
  }
  // Reported values: the humidity input itself (a dew point asked of a
  // dew-point network, a relative humidity of a relative-humidity network).
  const Qty q = cq->qty;
  if (q == Qty::HUM || (q == Qty::DEW && !pr->hum_is_rh) || (q == Qty::RH && pr->hum_is_rh)) {
    bool has_qc = false;
    derived::read_with_qc(code, dset, slot, val, qcd, qca, qcr, has_qc, status);
    VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
    return;
  }
  derive(q, *pr, dset, slot, n, val, qcd, qca, qcr, status);
}
