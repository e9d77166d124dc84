// Moisture derivation: MESONET's choice between reported and derived values,
// the dew-point and relative-humidity networks, validity limits, the
// temperature of files without "archiveTemperature", and failed reads.
#include <gtest/gtest.h>

#include "derived_fixture.h"

namespace {

using dfix::Cdl;

constexpr int SLOT = 7, METAR = 1, MESONET = 4, COOP = 5, HCN = 9;
constexpr float MISS = 999999.0f;
constexpr float DEW_300_50 = 288.7658f;  // dew point of 300 K at 50 %

class MoistureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dfix::clear_table();
    dfix::set_mesonet_vars();
  }
  void TearDown() override { dfix::close_slot(SLOT); }
  void open(const Cdl& c, int dset) { ASSERT_TRUE(dfix::open_slot(SLOT, dset, c)); }
  dfix::Out moi(int code, int dset) { return dfix::call(MSFCMOI, code, dset, SLOT); }
};

// MESONET files have no "archiveTemperature"; the temperature is read
// directly. Pressures: 0, 110001 and 100000 Pa.
Cdl mesonet_file() {
  Cdl c;
  c.f("dewpoint", "280, _, _, _, 283.15")
      .qc("dewpoint", "74, 0, 0, 0, 74", "0, 0, 0, 0, 0", "\"V\", \"Z\", \"Z\", \"Z\", \"V\"")
      .f("relHumidity", "60, 50, 50, 101, _")
      .qc("relHumidity", "14, 14, 14, 14, 0", "0, 0, 0, 0, 0", "\"S\", \"S\", \"S\", \"S\", \"Z\"")
      .f("temperature", "300, 300, 430, 300, 300")
      .f("altimeter", "_, _, _, _, _")
      .f("stationPressure", "0, 110001, 100000, 100000, 100000")
      .f("elevation", "0, 0, 0, 0, 0");
  return c;
}

TEST_F(MoistureTest, MesonetDewPointAndRelativeHumidity) {
  open(mesonet_file(), MESONET);
  dfix::Out td = moi(1, MESONET);
  ASSERT_EQ(td.status, 0);
  // Reported dew point, with its own QC, whatever the humidity says.
  EXPECT_EQ(td.val[0], 280.0f);
  EXPECT_EQ(td.qcd[0], 'V');
  EXPECT_EQ(td.qca[0], 74.0f);
  // Derived from 50 % at 300 K, with the humidity's QC.
  EXPECT_NEAR(td.val[1], DEW_300_50, 1e-3);
  EXPECT_EQ(td.qcd[1], 'S');
  EXPECT_EQ(td.qca[1], 14.0f);
  // 430 K is no temperature; 101 % no humidity.
  for (int k : {2, 3}) {
    EXPECT_EQ(td.val[k], MISS) << k;
    EXPECT_EQ(td.qcd[k], 'Z') << k;
    EXPECT_EQ(td.qca[k], 0.0f) << k;
  }
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);

  dfix::Out rh = moi(2, MESONET);
  ASSERT_EQ(rh.status, 0);
  // Both reported: the humidity, with the dew point's QC.
  EXPECT_EQ(rh.val[0], 60.0f);
  EXPECT_EQ(rh.qcd[0], 'V');
  EXPECT_EQ(rh.qca[0], 74.0f);
  EXPECT_EQ(rh.val[3], 101.0f);
  EXPECT_EQ(rh.qcd[3], 'S');
  // From the dew point: e(283.15 K) / e(300 K).
  EXPECT_NEAR(rh.val[4], 34.7196f, 1e-3);
  EXPECT_EQ(rh.qcd[4], 'V');

  dfix::Out dep = moi(113, MESONET);
  ASSERT_EQ(dep.status, 0);
  EXPECT_NEAR(dep.val[0], 20.0f, 1e-4);
  EXPECT_EQ(dep.qcd[0], 'V');
  EXPECT_NEAR(dep.val[1], 300.0f - DEW_300_50, 1e-3);
  EXPECT_EQ(dep.qcd[1], 'S');
  EXPECT_EQ(dep.val[2], MISS);
}

TEST_F(MoistureTest, MesonetSpecificHumidityAndMixingRatio) {
  open(mesonet_file(), MESONET);
  dfix::Out q = moi(112, MESONET), w = moi(186, MESONET);
  ASSERT_EQ(q.status, 0);
  ASSERT_EQ(w.status, 0);
  // 1000 hPa, dew point 10 C.
  EXPECT_NEAR(q.val[4], 0.0077034f, 2e-7);
  EXPECT_NEAR(w.val[4], 0.0077632f, 2e-7);
  EXPECT_EQ(q.qcd[4], 'V');
  // Pressure 0 Pa and 110001 Pa are not valid; a dew point derived from a
  // 101 % humidity does not exist.
  for (int k : {0, 1, 2, 3}) {
    EXPECT_EQ(q.val[k], MISS) << k;
    EXPECT_EQ(q.qcd[k], 'Z') << k;
    EXPECT_EQ(w.val[k], MISS) << k;
  }
}

TEST_F(MoistureTest, MesonetBadInputsAreNotUsed) {
  // Rec 0: dew point marked "B", good humidity. Rec 1: humidity marked "B".
  Cdl c;
  c.f("dewpoint", "280, _")
      .qc("dewpoint", "2, 0", "2, 0", "\"B\", \"Z\"")
      .f("relHumidity", "50, 50")
      .qc("relHumidity", "14, 14", "0, 0", "\"S\", \"B\"")
      .f("temperature", "300, 300")
      .f("altimeter", "_, _")
      .f("stationPressure", "_, _")
      .f("elevation", "0, 0");
  open(c, MESONET);
  for (int code : {113, 131}) {
    SCOPED_TRACE(code);
    dfix::Out o = moi(code, MESONET);
    ASSERT_EQ(o.status, 0);
    // The humidity stands in for the bad dew point ...
    EXPECT_NE(o.val[0], MISS);
    EXPECT_EQ(o.qcd[0], 'S');
    // ... but a humidity marked "B" is never used.
    EXPECT_EQ(o.val[1], MISS);
    EXPECT_EQ(o.qcd[1], 'Z');
  }
  EXPECT_NEAR(moi(113, MESONET).val[0], 300.0f - DEW_300_50, 1e-3);
  EXPECT_EQ(moi(1, MESONET).val[1], MISS);
}

TEST_F(MoistureTest, MesonetTemperatureFromArchiveWhenPresent) {
  Cdl c;
  c.f("dewpoint", "280, 280")
      .f("relHumidity", "_, _")
      .f("temperature", "300, 300")
      .f("archiveTemperature", "290, _");
  open(c, MESONET);
  dfix::Out dep = moi(113, MESONET);
  ASSERT_EQ(dep.status, 0);
  EXPECT_NEAR(dep.val[0], 10.0f, 1e-4);
  EXPECT_NEAR(dep.val[1], 20.0f, 1e-4);
}

TEST_F(MoistureTest, MesonetFileWithoutHumidityIsSkipped) {
  Cdl c;
  c.f("dewpoint", "280").f("temperature", "300");
  open(c, MESONET);
  EXPECT_EQ(moi(1, MESONET).status, MST_NOT_IN_DATABASE);
}

TEST_F(MoistureTest, DewPointNetworks) {
  for (int dset : {METAR, HCN}) {
    dfix::set_var(1, dset, "dewpoint", 'Q');
    dfix::set_var(2, dset, "dewpoint", 'Q');
    dfix::set_var(8, dset, "temperature", 'Q');
    dfix::set_var(131, dset, "dewpoint", 'Q');
  }
  Cdl c;
  c.f("dewpoint", "300, 88.9, 290, 280")
      .qc("dewpoint", "2, 2, 2, 2", "0, 0, 0, 0", "\"C\", \"C\", \"C\", \"C\"")
      .f("temperature", "300, 300, 300, 300")
      .qc("temperature", "2, 2, 2, 0", "0, 0, 2, 0", "\"C\", \"C\", \"X\", \"Z\"");
  open(c, METAR);
  dfix::Out td = moi(1, METAR), rh = moi(2, METAR), ah = moi(131, METAR);
  ASSERT_EQ(td.status, 0);
  ASSERT_EQ(rh.status, 0);
  // Reported dew point passed through, out of range or not.
  EXPECT_EQ(td.val[1], 88.9f);
  EXPECT_EQ(td.qcd[1], 'C');
  EXPECT_NEAR(rh.val[0], 100.0f, 1e-4);
  EXPECT_EQ(rh.qcd[0], 'C');
  // 88.9 K dew point, temperature marked "X": no humidity.
  EXPECT_EQ(rh.val[1], MISS);
  EXPECT_EQ(rh.qcd[1], 'Z');
  EXPECT_EQ(rh.val[2], MISS);
  EXPECT_NE(rh.val[3], MISS);
  // Saturated at 300 K: 1e5 e(300 K) / (461.855 * 300) g/m3, e = 35.33 hPa.
  EXPECT_NEAR(ah.val[0], 25.50f, 0.01f);
  EXPECT_EQ(ah.val[2], MISS);
  dfix::close_slot(SLOT);

  // An HCN file without "archiveTemperature" still has its temperature.
  Cdl h;
  h.f("dewpoint", "290").f("temperature", "300");
  open(h, HCN);
  dfix::Out hrh = moi(2, HCN);
  ASSERT_EQ(hrh.status, 0);
  EXPECT_GT(hrh.val[0], 50.0f);
  EXPECT_LT(hrh.val[0], 60.0f);
}

TEST_F(MoistureTest, RelativeHumidityNetworks) {
  dfix::set_var(1, COOP, "relHumidity");
  dfix::set_var(2, COOP, "relHumidity");
  dfix::set_var(8, COOP, "temperature");
  dfix::set_var(143, COOP, "temperature2");
  dfix::set_var(144, COOP, "relHumidity2");
  dfix::set_var(166, COOP, "relHumidity2");
  dfix::set_var(168, COOP, "relHumidity2");
  dfix::set_var(7, COOP, "elevation");
  dfix::set_var(16, COOP, "elevation");
  Cdl c;
  c.f("relHumidity", "50, 101, _")
      .f("temperature", "300, 300, 300")
      .f("relHumidity2", "100, 50, 50")
      .f("temperature2", "300, 300, _")
      .f("elevation", "0, 0, 0");
  open(c, COOP);
  // The dew point of a humidity network is derived from its humidity.
  dfix::Out td = moi(1, COOP);
  ASSERT_EQ(td.status, 0);
  EXPECT_NEAR(td.val[0], DEW_300_50, 1e-3);
  EXPECT_EQ(td.qcd[0], 'Z');
  EXPECT_EQ(td.val[1], MISS);
  EXPECT_EQ(td.val[2], MISS);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
  // The humidity itself is reported.
  dfix::Out rh = moi(2, COOP);
  EXPECT_EQ(rh.val[1], 101.0f);
  // The second sensor pair: 100 % at 300 K is a 300 K dew point.
  dfix::Out td2 = moi(166, COOP);
  EXPECT_NEAR(td2.val[0], 300.0f, 1e-4);
  EXPECT_NEAR(td2.val[1], DEW_300_50, 1e-3);
  EXPECT_EQ(td2.val[2], MISS);
  // Its specific humidity at the standard-atmosphere pressure of 0 m.
  dfix::Out q2 = moi(168, COOP);
  ASSERT_EQ(q2.status, 0);
  EXPECT_NEAR(q2.val[0], 0.0225873f / (1.0f + 0.0225873f), 2e-6);
  EXPECT_EQ(q2.val[2], MISS);
}

}  // namespace
