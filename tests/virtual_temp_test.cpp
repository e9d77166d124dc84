// Virtual temperature: the formula where temperature, dew point and pressure
// are usable, the temperature marked "T" where not, and the QC filter that
// decides the fallback.
#include <gtest/gtest.h>

#include "derived_fixture.h"

namespace {

using dfix::Cdl;

constexpr int SLOT = 9, MARITIME = 2, MESONET = 4;
constexpr float MISS = 999999.0f;

class VirtualTempTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dfix::clear_table();
    saved_init = VORANCOM2.DSINIT[0];
    VORANCOM2.DSINIT[0] = voran::INIT_MARK;
    dfix::set_var(1, MARITIME, "dewpoint", 'Q');
    dfix::set_var(8, MARITIME, "temperature", 'Q');
    dfix::set_var(7, MARITIME, "stationPressure");
    VARTBL.QCSTAGE[8 - 1][0] = 3;
  }
  void TearDown() override {
    dfix::close_slot(SLOT);
    VORANCOM2.DSINIT[0] = saved_init;
  }
  void open(const Cdl& c, int dset) { ASSERT_TRUE(dfix::open_slot(SLOT, dset, c)); }
  dfix::Out tv(int code, int dset) { return dfix::call(MSFCTV, code, dset, SLOT); }
  int32_t saved_init = 0;
};

TEST_F(VirtualTempTest, FormulaOrTemperatureFallback) {
  // Rec 0 good; 1 no dew point; 2 temperature failed a level-1 check;
  // 3 dew point 88.9 K; 4 pressure 110000.5 Pa; 5 no temperature; 6 a
  // temperature of level 1 only, without dew point.
  Cdl c;
  c.f("temperature", "300, 300, 300, 300, 300, _, 300")
      .qc("temperature", "74, 74, 2, 74, 74, 0, 2", "0, 0, 2, 0, 0, 0, 0",
          "\"V\", \"V\", \"X\", \"V\", \"V\", \"Z\", \"C\"")
      .f("dewpoint", "290, _, 290, 88.9, 290, 290, _")
      .qc("dewpoint", "2, 0, 2, 2, 2, 2, 0", "0, 0, 0, 0, 0, 0, 0",
          "\"C\", \"Z\", \"C\", \"C\", \"C\", \"C\", \"Z\"")
      .f("stationPressure", "100000, 100000, 100000, 100000, 110000.5, 100000, 100000");
  open(c, MARITIME);
  VORANCOM2.QC_LEVEL = 2;
  dfix::Out o = tv(114, MARITIME);
  ASSERT_EQ(o.status, 0);
  // 300 (1 + 0.37803 e(290 K) / 1000 hPa) with e = 19.18 hPa.
  EXPECT_NEAR(o.val[0], 302.1756f, 2e-3);
  EXPECT_EQ(o.qcd[0], 'V');
  EXPECT_EQ(o.qca[0], 74.0f);
  for (int k : {1, 3, 4}) {
    SCOPED_TRACE(k);
    EXPECT_EQ(o.val[k], 300.0f);
    EXPECT_EQ(o.qcd[k], 'T');
    EXPECT_EQ(o.qca[k], 74.0f);
  }
  // "X", and "C" at the highest level available (3), do not pass: missing.
  for (int k : {2, 6}) {
    SCOPED_TRACE(k);
    EXPECT_EQ(o.val[k], MISS);
    EXPECT_EQ(o.qcd[k], 'Z');
    EXPECT_EQ(o.qca[k], 0.0f);
    EXPECT_EQ(o.qcr[k], 0.0f);
  }
  EXPECT_EQ(o.val[5], MISS);
  // The caller's level is back, and the dispatcher's filter goes by the
  // temperature's QC.
  EXPECT_EQ(VORANCOM2.QC_LEVEL, 2);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
}

TEST_F(VirtualTempTest, UncontrolledTemperaturePassesAsFallback) {
  Cdl c;
  c.f("temperature", "300").f("dewpoint", "_").f("stationPressure", "100000");
  open(c, MARITIME);
  dfix::Out o = tv(114, MARITIME);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(o.val[0], 300.0f);
  EXPECT_EQ(o.qcd[0], 'T');
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
}

TEST_F(VirtualTempTest, FileWithoutPressureGivesNothing) {
  Cdl c;
  c.f("temperature", "300").f("dewpoint", "290");
  open(c, MARITIME);
  EXPECT_EQ(tv(114, MARITIME).status, MST_NOT_IN_DATABASE);
}

TEST_F(VirtualTempTest, MesonetBuildsOnMoistureAndPressure) {
  dfix::set_mesonet_vars();
  // No dew point reported: it comes from 100 % humidity, 300 K.
  Cdl c;
  c.f("dewpoint", "_")
      .f("relHumidity", "100")
      .f("temperature", "300")
      .f("altimeter", "_")
      .f("stationPressure", "100000")
      .f("elevation", "0");
  open(c, MESONET);
  dfix::Out o = tv(114, MESONET);
  ASSERT_EQ(o.status, 0);
  // 300 (1 + 0.37803 e(300 K) / 1000 hPa) with e = 35.335 hPa.
  EXPECT_NEAR(o.val[0], 304.0073f, 2e-3);
  EXPECT_EQ(o.qcd[0], 'Z');
}

}  // namespace
