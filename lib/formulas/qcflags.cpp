// QC bit masks and the QC descriptor made from them.

#include <cstdint>

#include "formulas/formulas.h"
#include "voran.h"

namespace {

// Bits read by M_MKDESC, by level; 0 ends a list.
constexpr int32_t LEVEL_BITS[3][9] = {
    {2, 3, 0},
    {4, 5, 6, 8, 9, 10, 11, 12, 0},
    {7, 0},
};

// Per level: -1 when a check of the level was applied (APP) or failed (FAIL).
struct MKDESC_t {
  int32_t APP[3];
  int32_t FAIL[3];
};
MKDESC_t MKDESC;

bool bit_ok(int32_t bit) { return bit >= 1 && bit <= 32; }

uint32_t bit_value(int32_t bit) { return uint32_t{1} << (bit - 1); }

// -1 when any bit of the level is set in qc, else 0.
int32_t level_set(int32_t qc, int32_t level) {
  for (const int32_t* b = LEVEL_BITS[level]; *b != 0; ++b) {
    int32_t iset = 0;
    int32_t st = 0;
    M_CHCKQC(qc, *b, iset, st);
    if (iset == 1) return -1;
  }
  return 0;
}

}  // namespace

void M_SETQC(int32_t qcin, int32_t bit, int32_t& qcout, int32_t& status) {
  if (!bit_ok(bit)) {
    status = MST_BAD_TABLE;
    return;
  }
  qcout = static_cast<int32_t>(static_cast<uint32_t>(qcin) | bit_value(bit));
  status = MST_OK;
}

void M_CHCKQC(int32_t qc, int32_t bit, int32_t& iset, int32_t& status) {
  if (!bit_ok(bit)) {
    status = MST_BAD_TABLE;
    return;
  }
  iset = (static_cast<uint32_t>(qc) & bit_value(bit)) != 0 ? 1 : 0;
  status = MST_OK;
}

void M_MKDESC(int32_t qca, int32_t qcr, char& qcd) {
  qcd = 'Z';
  for (int32_t l = 0; l < 3; ++l) {
    MKDESC.APP[l] = level_set(qca, l);
    MKDESC.FAIL[l] = level_set(qcr, l);
  }
  bool a1 = MKDESC.APP[0] != 0;
  bool a2 = MKDESC.APP[1] != 0;
  const bool a3 = MKDESC.APP[2] != 0;
  const bool f1 = MKDESC.FAIL[0] != 0;
  const bool f2 = MKDESC.FAIL[1] != 0;
  const bool f3 = MKDESC.FAIL[2] != 0;
  // A level-2 check implies level 1 was applied; level 3 implies level 2.
  if (a2) a1 = true;
  if (a3) a2 = true;

  if (a3 && !a1) {
    qcd = 'Z';
  } else if (a3 && !f1 && !f2 && !f3) {
    qcd = 'V';
  } else if (!a1) {
    qcd = 'Z';
  } else if (!f1 && ((a2 && f2) || (a3 && f3))) {
    qcd = 'Q';
  } else if (a2 && !a3 && !f1 && !f2) {
    qcd = 'S';
  } else if (!a2 && !a3 && !f1) {
    qcd = 'C';
  } else if (f1) {
    qcd = 'X';
  } else {
    qcd = 'Z';
  }
}

int32_t voran::qc_union(int32_t qc1, int32_t qc2, int32_t lastbit) {
  int32_t out = 0;
  int32_t st = 0;
  for (int32_t b = 1; b <= lastbit && b <= 32; ++b) {
    int32_t s1 = 0;
    int32_t s2 = 0;
    M_CHCKQC(qc1, b, s1, st);
    M_CHCKQC(qc2, b, s2, st);
    if (s1 == 1 || s2 == 1) M_SETQC(out, b, out, st);
  }
  return out;
}
