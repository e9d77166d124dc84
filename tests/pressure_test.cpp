// Pressure derivation: station pressure from the altimeter setting, the
// altimeter setting of ships, MESONET's choice between reported and derived
// values, and the standard atmosphere of COOP and CRN stations.
#include <gtest/gtest.h>

#include "derived_fixture.h"

namespace {

using dfix::Cdl;

constexpr int SLOT = 5, METAR = 1, MARITIME = 2, SAO = 3, MESONET = 4, COOP = 5, CRN = 10;
constexpr float MISS = 999999.0f;

class PressureTest : public ::testing::Test {
 protected:
  void SetUp() override { dfix::clear_table(); }
  void TearDown() override { dfix::close_slot(SLOT); }
  void open(const Cdl& c, int dset) { ASSERT_TRUE(dfix::open_slot(SLOT, dset, c)); }
  dfix::Out prs(int code, int dset) { return dfix::call(MSFCPRS, code, dset, SLOT); }
};

TEST_F(PressureTest, AltimeterNetworksDeriveStationPressure) {
  for (int dset : {METAR, SAO}) {
    dfix::set_var(3, dset, "altimeter", 'Q');
    dfix::set_var(7, dset, "altimeter", 'Q');
    dfix::set_var(16, dset, "elevation");
  }
  Cdl c;
  c.f("altimeter", "101325, 101325, 101325, _, 101325")
      .qc("altimeter", "2, 2, 6, 0, 2", "0, 0, 4, 0, 0", "\"C\", \"C\", \"Q\", \"Z\", \"C\"")
      .f("elevation", "0, _, 0, 0, 1.e9");
  open(c, METAR);
  dfix::Out alt = prs(3, METAR), p = prs(7, METAR);
  ASSERT_EQ(alt.status, 0);
  ASSERT_EQ(p.status, 0);
  // The altimeter is returned as read, QC included.
  EXPECT_EQ(alt.val[2], 101325.0f);
  EXPECT_EQ(alt.qcd[2], 'Q');
  // 1013.25 hPa at 0 m: 1013.25 + 0.3 hPa.
  EXPECT_NEAR(p.val[0], 101355.0f, 0.02f);
  EXPECT_EQ(p.qcd[0], 'C');
  EXPECT_EQ(p.qca[0], 2.0f);
  // No elevation, an altimeter marked "Q", no altimeter, and an elevation so
  // high that the formula has no real result: all missing.
  for (int k : {1, 2, 3, 4}) {
    SCOPED_TRACE(k);
    EXPECT_EQ(p.val[k], MISS);
    EXPECT_EQ(p.qcd[k], 'Z');
    EXPECT_EQ(p.qca[k], 0.0f);
    EXPECT_EQ(p.qcr[k], 0.0f);
  }
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  dfix::close_slot(SLOT);

  // SAO files hold hPa. A corrupt value that overflows on conversion to Pa
  // is missing, not infinite.
  Cdl s;
  s.f("altimeter", "1000, _, 5.e36").f("elevation", "0, 0, 0");
  open(s, SAO);
  dfix::Out sa = prs(3, SAO);
  ASSERT_EQ(sa.status, 0);
  EXPECT_EQ(sa.val[0], 100000.0f);
  EXPECT_EQ(sa.val[1], MISS);
  EXPECT_EQ(sa.val[2], MISS);
  EXPECT_EQ(sa.qcd[0], 'Z');
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
}

TEST_F(PressureTest, ShipsDeriveTheAltimeterFromTheirPressure) {
  for (int code : {3, 7, 229}) dfix::set_var(code, MARITIME, "stationPressure");
  dfix::set_var(16, MARITIME, "elevation");
  dfix::set_var(17, MARITIME, "latitude");
  dfix::set_var(18, MARITIME, "longitude");
  Cdl c;
  c.f("stationPressure", "100000, 0.2, 110000.5, 10")
      .f("elevation", "0, 0, 0, 0")
      .f("latitude", "45, 45, 45, 45")
      .f("longitude", "-60, -60, -60, -60");
  open(c, MARITIME);
  dfix::Out alt = prs(3, MARITIME), p = prs(7, MARITIME);
  ASSERT_EQ(alt.status, 0);
  // ((1000 - 0.3)^0.190284)^5.2553024 is 999.7 hPa to within the rounding.
  EXPECT_NEAR(alt.val[0], 99970.0f, 1.0f);
  // Out of range, and 10 Pa, which the formula cannot take (a fractional
  // power of a negative number): missing, never NaN.
  for (int k : {1, 2, 3}) EXPECT_EQ(alt.val[k], MISS) << k;
  // The ship's pressure itself is returned as read.
  EXPECT_EQ(p.val[1], 0.2f);
  EXPECT_EQ(p.val[3], 10.0f);
}

TEST_F(PressureTest, MesonetChoosesBetweenReportedAndDerived) {
  dfix::set_mesonet_vars();
  // Rec 0: both reported. Rec 1: pressure only. Rec 2: altimeter only.
  // Rec 3: nothing, no elevation. Rec 4: 10 Pa and no altimeter.
  Cdl c;
  c.f("altimeter", "101000, _, 101325, _, _")
      .qc("altimeter", "2, 0, 14, 0, 0", "0, 0, 0, 0, 0", "\"C\", \"Z\", \"S\", \"Z\", \"Z\"")
      .f("stationPressure", "100000, 100000, _, _, 10")
      .qc("stationPressure", "6, 6, 0, 0, 6", "0, 0, 0, 0, 0", "\"S\", \"S\", \"Z\", \"Z\", \"S\"")
      .f("elevation", "0, 0, 0, _, 0");
  open(c, MESONET);
  dfix::Out alt = prs(3, MESONET), p = prs(7, MESONET), p229 = prs(229, MESONET);
  ASSERT_EQ(alt.status, 0);
  ASSERT_EQ(p.status, 0);
  // The reported altimeter with QC wins over a usable pressure.
  EXPECT_EQ(alt.val[0], 101000.0f);
  EXPECT_EQ(alt.qcd[0], 'C');
  EXPECT_NEAR(alt.val[1], 99970.0f, 1.0f);
  EXPECT_EQ(alt.qcd[1], 'S');
  EXPECT_EQ(alt.qca[1], 6.0f);
  // The station pressure carries the altimeter's QC when there is one.
  EXPECT_EQ(p.val[0], 100000.0f);
  EXPECT_EQ(p.qcd[0], 'C');
  EXPECT_EQ(p.qca[0], 2.0f);
  EXPECT_EQ(p.qcd[1], 'S');
  EXPECT_NEAR(p.val[2], 101355.0f, 0.02f);
  EXPECT_EQ(p.qcd[2], 'S');
  EXPECT_EQ(p.val[3], MISS);
  EXPECT_EQ(p.qcd[3], 'Z');
  EXPECT_EQ(alt.val[3], MISS);
  EXPECT_EQ(alt.val[4], MISS);
  EXPECT_EQ(alt.qcd[4], 'Z');
  for (int k = 0; k < 5; ++k) EXPECT_EQ(p229.val[k], p.val[k]) << k;
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  dfix::close_slot(SLOT);

  // Without QC variables for the altimeter, the pressure with QC is preferred
  // and the altimeter derived from it.
  Cdl n;
  n.f("altimeter", "101000, 101000")
      .f("stationPressure", "100000, 10")
      .qc("stationPressure", "6, 6", "0, 0", "\"S\", \"S\"")
      .f("elevation", "0, 0");
  open(n, MESONET);
  alt = prs(3, MESONET);
  ASSERT_EQ(alt.status, 0);
  EXPECT_NEAR(alt.val[0], 99970.0f, 1.0f);
  EXPECT_EQ(alt.qcd[0], 'S');
  // A pressure the formula cannot take leaves the reported altimeter.
  EXPECT_EQ(alt.val[1], 101000.0f);
  EXPECT_EQ(alt.qcd[1], 'Z');
}

TEST_F(PressureTest, MesonetFailedReadsAreReported) {
  dfix::set_mesonet_vars();
  Cdl c;
  c.f("altimeter", "101000").i("altimeterQCA", "2").f("stationPressure", "100000");
  open(c, MESONET);
  // "QCA" without "QCR" is a broken file.
  EXPECT_EQ(prs(3, MESONET).status, MST_NOT_IN_DATABASE);
  dfix::set_var(3, MESONET, "altimeter", ' ');
  // No elevation variable.
  EXPECT_EQ(prs(7, MESONET).status, MST_NOT_IN_DATABASE);
}

TEST_F(PressureTest, CoopAndCrnUseTheStandardAtmosphere) {
  for (int dset : {COOP, CRN}) {
    dfix::set_var(7, dset, "elevation");
    dfix::set_var(16, dset, "elevation");
  }
  Cdl c;
  c.f("elevation", "0, _, 1000, 999998.5");
  open(c, COOP);
  dfix::Out p = prs(7, COOP);
  ASSERT_EQ(p.status, 0);
  EXPECT_NEAR(p.val[0], 101320.0f, 0.01f);
  EXPECT_EQ(p.qcd[0], 'Z');
  EXPECT_EQ(p.qca[0], 0.0f);
  EXPECT_EQ(p.val[1], MISS);
  // 1013.2 * (1 - 6.5 / 288)^5.256 hPa at 1000 m.
  EXPECT_NEAR(p.val[2], 89865.0f, 5.0f);
  // An elevation next to the missing value is no elevation.
  EXPECT_EQ(p.val[3], MISS);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
  EXPECT_EQ(prs(3, COOP).status, MST_BAD_VARNAME);
  EXPECT_EQ(prs(229, CRN).status, MST_BAD_VARNAME);
}

}  // namespace
