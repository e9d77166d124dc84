// MSFCWIND: wind direction and speed as reported, the east and north wind
// components derived from them, and both turned from true north to the grid
// when the caller has chosen a Lambert or polar stereographic domain.
#include <cmath>

#include "formulas/formulas.h"
#include "variables/derived.h"

namespace voran {
namespace {

using derived::bad_desc;
using derived::Input;
using derived::mask_int;
using derived::set_missing;

// One wind pair: the direction code, the speed code, and the codes that ask
// for it. COOP files carry several pairs; every other network answers each
// wind code from (9, 10).
struct Pair {
  int16_t dir, spd;
  int16_t u, v;  // component codes of the pair (0: none)
  int16_t kind;  // report-kind split of COOP: 1 keeps kinds 100, 200 and [1, 2), -1 the rest
};
constexpr Pair PAIRS[] = {
    {9, 10, 11, 12, 0},
    {57, 58, 0, 0, -1},
    {145, 146, 171, 172, 0},
    {149, 150, 173, 174, 0},
    {175, 176, 0, 0, 1},
};

constexpr int32_t COOP = 5;
constexpr int32_t CODE_LON = 18;
constexpr int32_t CODE_KIND = 19;
constexpr int32_t UNION_BITS = 10;  // mask bits carried into components

// Private work arrays, one entry per record.
Input SPD, DIR;
float UU[MAXREPORTS], VV[MAXREPORTS], LON[MAXREPORTS], KIND[MAXREPORTS];
// Direction and speed of the record at hand, from its grid-relative components.
float WIND[2];

bool is_primary_kind(float k) { return k == 100.0f || k == 200.0f || (k >= 1.0f && k < 2.0f); }

// COOP pairs (57, 58) and (175, 176) share their reports by report kind.
void split_by_kind(int32_t kind, int32_t slot, int32_t n, float* val, char* qcd, float* qca,
                   float* qcr, int32_t& status) {
  read_values(CODE_KIND, COOP, slot, KIND, status);
  if (status != MST_OK) {
    fill_missing(n, val, qcd, qca, qcr);
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (is_primary_kind(KIND[i]) != (kind > 0)) set_missing(i, val, qcd, qca, qcr);
  }
}

}  // namespace
}  // namespace voran

void MSFCWIND(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status) {
  using namespace voran;
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;

  // The pair the code names, and whether it asks for a reported code.
  const Pair* named = nullptr;
  bool reported = false;
  for (const Pair& p : PAIRS) {
    if (code == p.dir || code == p.spd) reported = true;
    if (code == p.dir || code == p.spd || code == p.u || code == p.v) named = &p;
  }
  if (named == nullptr) {
    status = MST_BAD_VARNAME;
    return;
  }
  // Components of the COOP pairs are the (9, 10) components elsewhere. A
  // reported code keeps its own pair, so that a second wind is never answered
  // with the first one's direction.
  const Pair& src = (dset == COOP || reported) ? *named : PAIRS[0];
  const bool grid = VORANCOM2.DOM_TYPE == 0 || VORANCOM2.DOM_TYPE == 1;

  if (reported) {
    bool has_qc = false;
    read_qc(code, dset, slot, 1, qcd, qca, qcr, has_qc, status);
    VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
    if (status != MST_OK) return;
    if (!grid) {
      read_values(code, dset, slot, val, status);
      if (status != MST_OK) return;
      if (dset == COOP && src.kind != 0) split_by_kind(src.kind, slot, n, val, qcd, qca, qcr, status);
      return;
    }
  }

  // Derivation from the pair: QC of speed and direction, then their values.
  derived::read_input(src.spd, dset, slot, SPD, status);
  if (status != MST_OK) return;
  derived::read_input(src.dir, dset, slot, DIR, status);
  if (status != MST_OK) return;
  for (int32_t i = 0; i < n; ++i) {
    M_GETUV(DIR.val[i], SPD.val[i], RMISS, UU[i], VV[i]);
    // A direction or speed of -infinity in the file gives no wind.
    if (!std::isfinite(UU[i]) || !std::isfinite(VV[i])) UU[i] = VV[i] = RMISS;
  }

  if (grid) {
    read_values(CODE_LON, dset, slot, LON, status);
    if (status != MST_OK) return;
    for (int32_t i = 0; i < n; ++i) {
      if (UU[i] == RMISS || VV[i] == RMISS) continue;
      if (LON[i] == RMISS) {
        // No position, no rotation angle: the wind cannot be turned.
        UU[i] = VV[i] = RMISS;
        continue;
      }
      float sina = 0.0f, cosa = 0.0f;
      M_ROTFAC(LON[i], VORANCOM2.DOM_ORIENT, VORANCOM2.DOM_CONE, sina, cosa);
      float u = UU[i] * cosa + VV[i] * sina;
      float v = VV[i] * cosa - UU[i] * sina;
      UU[i] = derived::finite_or_missing(u);
      VV[i] = derived::finite_or_missing(v);
    }
  }

  const bool has_qc = SPD.has_qc && DIR.has_qc;
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  const bool want_u = code == named->u;
  for (int32_t i = 0; i < n; ++i) {
    if (UU[i] == RMISS || VV[i] == RMISS || bad_desc(SPD.qcd[i]) || bad_desc(DIR.qcd[i])) {
      set_missing(i, val, qcd, qca, qcr);
      continue;
    }
    if (reported) {
      M_DDFF(UU[i], VV[i], RMISS, WIND[0], WIND[1]);
      // Components too large to square (a corrupt negative speed) give no
      // speed.
      if (!std::isfinite(WIND[1])) {
        set_missing(i, val, qcd, qca, qcr);
        continue;
      }
      val[i] = code == src.dir ? WIND[0] : WIND[1];
      // The requested code's own QC, read above, stays when both inputs have QC.
      if (!has_qc) {
        qcd[i] = 'Z';
        qca[i] = qcr[i] = 0.0f;
      }
      continue;
    }
    val[i] = want_u ? UU[i] : VV[i];
    if (!has_qc) {
      qcd[i] = 'Z';
      qca[i] = qcr[i] = 0.0f;
      continue;
    }
    int32_t a = qc_union(mask_int(SPD.qca[i]), mask_int(DIR.qca[i]), UNION_BITS);
    int32_t r = qc_union(mask_int(SPD.qcr[i]), mask_int(DIR.qcr[i]), UNION_BITS);
    qca[i] = static_cast<float>(a);
    qcr[i] = static_cast<float>(r);
    if (SPD.qcd[i] == 'G' || SPD.qcd[i] == 'B') {
      qcd[i] = SPD.qcd[i];
    } else if (DIR.qcd[i] == 'G' || DIR.qcd[i] == 'B') {
      qcd[i] = DIR.qcd[i];
    } else {
      M_MKDESC(a, r, qcd[i]);
    }
  }
  status = MST_OK;
  // The report kind decides which COOP pair a report's wind belongs to,
  // whether or not it was turned to the grid.
  if (reported && dset == COOP && src.kind != 0) split_by_kind(src.kind, slot, n, val, qcd, qca, qcr, status);
}
