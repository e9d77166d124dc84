// Helpers shared by the wind, pressure, moisture and virtual-temperature
// derivations (wind.cpp, pressure.cpp, moisture.cpp, virtual_temp.cpp).
#pragma once

#include <cmath>
#include <cstdint>

#include "variables/variables.h"

namespace voran::derived {

// Descriptors that bar a value from being used as the input of a derivation.
inline bool bad_desc(char c) { return c == 'B' || c == 'X' || c == 'Q'; }

// A mask held as a real, truncated to an integer as the caller receives it.
// Values that do not fit (a corrupt file) count as no mask.
inline int32_t mask_int(float m) {
  if (!(m > -2147483648.0f && m < 2147483648.0f)) return 0;
  return static_cast<int32_t>(m);
}

inline bool in_range(float x, float lo, float hi) { return x >= lo && x <= hi; }

// Entry i of a derived output that cannot be made.
inline void set_missing(int32_t i, float* val, char* qcd, float* qca, float* qcr) {
  val[i] = RMISS;
  qcd[i] = 'Z';
  qca[i] = 0.0f;
  qcr[i] = 0.0f;
}

// A formula result: anything not finite is delivered as missing.
inline float finite_or_missing(float x) { return std::isfinite(x) ? x : RMISS; }

// Record count of the file in slot, checked against the work arrays (one
// entry per record). False, with a status, when the slot cannot be served.
inline bool records_of(int32_t slot, int32_t& n, int32_t& status) {
  if (slot < 1 || slot > NFSLOTS) {
    status = MST_BAD_FILE;
    return false;
  }
  n = SFCSTRN.FILE_NREC[slot - 1];
  if (n < 0 || n > MAXREPORTS) {
    status = MST_TOO_MANY_RECORDS;
    return false;
  }
  status = MST_OK;
  return true;
}

// One input of a derivation: values and their QC, one entry per record.
struct Input {
  float val[MAXREPORTS];
  char qcd[MAXREPORTS];
  float qca[MAXREPORTS];
  float qcr[MAXREPORTS];
  bool has_qc;
};

// Value of code and its QC companions from the file in slot.
inline void read_with_qc(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd,
                         float* qca, float* qcr, bool& has_qc, int32_t& status) {
  has_qc = false;
  read_values(code, dset, slot, val, status);
  if (status != MST_OK) return;
  read_qc(code, dset, slot, 1, qcd, qca, qcr, has_qc, status);
}
inline void read_input(int32_t code, int32_t dset, int32_t slot, Input& in, int32_t& status) {
  read_with_qc(code, dset, slot, in.val, in.qcd, in.qca, in.qcr, in.has_qc, status);
}

// Entry of a table of codes (entries with a member "code"), null if none.
template <class T, std::size_t N>
const T* find_code(const T (&table)[N], int32_t code) {
  for (const T& e : table)
    if (e.code == code) return &e;
  return nullptr;
}

// Temperature of a temperature code as the moisture derivation takes it.
// Code 8 of MESONET, HCN and CRN files comes through MSFCART, which prefers
// "archiveTemperature"; a file without that variable (MSFCART answers 1005)
// gives the ordinary temperature. The virtual temperature reads the code's
// own variable instead (read_with_qc).
void read_temperature(int32_t tcode, int32_t dset, int32_t slot, float* val, char* qcd,
                      float* qca, float* qcr, bool& has_qc, int32_t& status);

}  // namespace voran::derived
