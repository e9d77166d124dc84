// QC bits, the descriptor rules and the mask union.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "formulas/formulas.h"
#include "voran.h"

namespace {

int32_t bits(std::initializer_list<int> list) {
  uint32_t m = 0;
  for (int b : list) m |= uint32_t{1} << (b - 1);
  return static_cast<int32_t>(m);
}

TEST(QcFlagsTest, SetAndCheckBits) {
  int32_t out = 0;
  int32_t st = -1;
  M_SETQC(0, 32, out, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(out, INT32_MIN);  // the sign bit
  M_SETQC(0x10, 1, out, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(out, 0x11);
  M_SETQC(0x11, 5, out, st);  // already set: unchanged
  EXPECT_EQ(out, 0x11);
  int32_t same = 4;
  M_SETQC(same, 2, same, st);  // in and out the same variable
  EXPECT_EQ(same, 6);
  for (int32_t bad : {0, 33, -1, 1000}) {
    out = 77;
    st = 0;
    M_SETQC(0, bad, out, st);
    EXPECT_EQ(st, MST_BAD_TABLE) << bad;
    EXPECT_EQ(out, 77) << bad;
  }

  int32_t iset = -5;
  M_CHCKQC(1, 1, iset, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(iset, 1);
  M_CHCKQC(2, 1, iset, st);
  EXPECT_EQ(iset, 0);
  M_CHCKQC(INT32_MIN, 32, iset, st);
  EXPECT_EQ(iset, 1);
  M_CHCKQC(-1, 31, iset, st);
  EXPECT_EQ(iset, 1);
  for (int32_t bad : {0, 33}) {
    iset = 9;
    M_CHCKQC(-1, bad, iset, st);
    EXPECT_EQ(st, MST_BAD_TABLE);
    EXPECT_EQ(iset, 9);
  }
  // Every bit round-trips.
  for (int32_t b = 1; b <= 32; ++b) {
    M_SETQC(0, b, out, st);
    for (int32_t c = 1; c <= 32; ++c) {
      M_CHCKQC(out, c, iset, st);
      EXPECT_EQ(iset, b == c ? 1 : 0) << b << " " << c;
    }
  }
}

struct DescRow {
  int32_t qca;
  int32_t qcr;
  char want;
  const char* why;
};

TEST(QcFlagsTest, DescriptorRules) {
  const DescRow rows[] = {
      {0, 0, 'Z', "nothing applied"},
      {bits({1}), 0, 'Z', "bit 1 belongs to no level"},
      {bits({13, 20, 32}), bits({13}), 'Z', "bits above 12 are ignored"},
      {bits({2}), 0, 'C', "level 1 passed"},
      {bits({3}), 0, 'C', "level 1 passed (bit 3)"},
      {bits({2, 3, 13}), bits({13}), 'C', "level 1 passed, high bits ignored"},
      {bits({2}), bits({2}), 'X', "level 1 failed"},
      {bits({3}), bits({3}), 'X', "level 1 failed (bit 3)"},
      {bits({4}), 0, 'S', "level 2 implies level 1"},
      {bits({2, 12}), 0, 'S', "levels 1 and 2 passed (bit 12)"},
      {bits({2, 4}), bits({4}), 'Q', "level 2 failed"},
      {bits({2, 11}), bits({11}), 'Q', "level 2 failed (bit 11)"},
      {bits({2, 4}), bits({2, 4}), 'X', "level 1 failure outranks level 2"},
      {bits({2, 4, 7}), 0, 'V', "all three levels passed"},
      {bits({4, 7}), 0, 'V', "level 3 with level 2 implies level 1"},
      {bits({2, 4, 7}), bits({5}), 'Q', "level 2 failure, bit not applied"},
      {bits({2, 4, 7}), bits({7}), 'Q', "level 3 failed"},
      {bits({2, 7}), bits({7}), 'Q', "level 3 failed without level 2"},
      {bits({2, 7}), 0, 'V', "levels 1 and 3"},
      {bits({2, 4, 7}), bits({2}), 'X', "level 1 failure with all applied"},
      {bits({7}), 0, 'Z', "level 3 alone"},
      {bits({7}), bits({7}), 'Z', "level 3 alone, failed"},
      {bits({2}), bits({4}), 'C', "failure of an unapplied level-2 check"},
      {bits({2}), bits({7}), 'C', "failure of an unapplied level-3 check"},
      {0, bits({2}), 'Z', "failure without any check applied"},
      {-1, 0, 'V', "every bit applied"},
      {-1, -1, 'X', "every bit failed"},
  };
  for (const DescRow& r : rows) {
    char qcd = '?';
    M_MKDESC(r.qca, r.qcr, qcd);
    EXPECT_EQ(qcd, r.want) << r.why;
  }
}

TEST(QcFlagsTest, MaskUnion) {
  EXPECT_EQ(voran::qc_union(bits({1, 3}), bits({3, 10}), 10), bits({1, 3, 10}));
  EXPECT_EQ(voran::qc_union(bits({11, 12}), bits({2}), 10), bits({2}));
  EXPECT_EQ(voran::qc_union(-1, 0, 10), 1023);
  EXPECT_EQ(voran::qc_union(0, -1, 32), -1);
  EXPECT_EQ(voran::qc_union(-1, -1, 0), 0);
  EXPECT_EQ(voran::qc_union(-1, -1, 40), -1);
}

}  // namespace
