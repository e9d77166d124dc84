// Meteorological formulas (single precision) and QC descriptor/mask rules.
#pragma once

#include <cstdint>

// ---- formulas (formulas.cpp) ----
float M_ALTPRS(float alt, float elev);
float M_PRSALT(float prs, float elev);
float M_ZTOPSA(float z, float rmiss);
float M_STVPPR(float t, float rmiss);
float M_ESW(float t);
float M_DEWPNT(float t, float rh, float rmiss);
float M_RH(float t, float td, float rmiss);
float M_WMR(float p, float t);
float M_SSH(float p, float t);
float M_RH2AH(float rh, float t, float rmiss);
float M_TD2AH(float td, float t, float rmiss);
float M_TV(float t, float td, float p, float rmiss);
void M_GETUV(float dd, float ff, float rmiss, float& u, float& v);
void M_DDFF(float u, float v, float rmiss, float& dd, float& ff);
void M_ROTFAC(float lon, float lon0, float cone, float& sina, float& cosa);

// ---- QC flags (qcflags.cpp) ----
void M_SETQC(int32_t qcin, int32_t bit, int32_t& qcout, int32_t& status);
void M_CHCKQC(int32_t qc, int32_t bit, int32_t& iset, int32_t& status);
void M_MKDESC(int32_t qca, int32_t qcr, char& qcd);

namespace voran {
// Masks of a value derived from two inputs: the bits 1..lastbit set in either
// qc1 or qc2 (lastbit is clamped to 0..32; higher bits are not carried).
int32_t qc_union(int32_t qc1, int32_t qc2, int32_t lastbit);
}  // namespace voran
