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

// MESONET and HCN files carry "archiveTemperature" besides "temperature".
// The virtual temperature takes the plain temperature with its own QC; the
// moisture derivation it builds on keeps taking the archive value on
// MESONET, so a dew point made from the humidity uses the archive value.
//
// Worked by hand (e from the Wobus polynomial, P in hPa):
//   e(290 K) = 19.18344 hPa
//   TV(300, 290, 1000)   = 300 (1 + 0.37803 * 19.18344 / 1000)   = 302.1756
//   TV(300, 290, 1000.3) = 300 (1 + 0.37803 * 19.18344 / 1000.3) = 302.1749
//   dew point of 296 K (the archive value), 50 %: c = 22.85, x = 0.5,
//     273.15 - (2.65995 * 0.5)^3 + 22.85 - 18.57345 * 0.5^14 - 17.1549 * 0.5
//     = 285.0689 K, e(285.0689 K) = 13.94232 hPa
//   TV(300, 285.0689, 1000) = 300 (1 + 0.37803 * 13.94232 / 1000) = 301.5812
// The archive value in place of the temperature would give 307.2119 (305 K),
// 303.1829 (301 K), 302.1756 (300 K) and 297.5601 (296 K) instead.
class VirtualTempArchive : public VirtualTempTest {
 protected:
  static constexpr int HCN = 9;
  static void archive(Cdl& c, const char* vals, const char* qca, const char* qcr,
                      const char* dd) {
    c.f("archiveTemperature", vals).qc("archiveTemperature", qca, qcr, dd);
  }
  void expect(const dfix::Out& o, int k, float val, char qcd, float qca, float qcr,
              float tol = 0.0f) {
    SCOPED_TRACE(k);
    if (tol > 0.0f) {
      EXPECT_NEAR(o.val[k], val, tol);
    } else {
      EXPECT_EQ(o.val[k], val);
    }
    EXPECT_EQ(o.qcd[k], qcd);
    EXPECT_EQ(o.qca[k], qca);
    EXPECT_EQ(o.qcr[k], qcr);
  }
};

TEST_F(VirtualTempArchive, MesonetTakesThePlainTemperature) {
  dfix::set_mesonet_vars();
  // 0: archive 305 "S" beside 300 "V"; 1: temperature "X", archive "V";
  // 2: no temperature, archive 300; 3: dew point from 50 % humidity (with the
  // archive's 296 K); 4: no humidity at all, archive 310.
  Cdl c;
  c.f("temperature", "300, 300, _, 300, 300")
      .qc("temperature", "74, 2, 0, 74, 74", "0, 2, 0, 0, 0",
          "\"V\", \"X\", \"Z\", \"V\", \"V\"");
  archive(c, "305, 301, 300, 296, 310", "10, 10, 10, 10, 10", "1, 1, 1, 1, 1",
          "\"S\", \"V\", \"V\", \"V\", \"V\"");
  c.f("dewpoint", "290, 290, 290, _, _")
      .qc("dewpoint", "6, 6, 6, 0, 0", "0, 0, 0, 0, 0", "\"V\", \"V\", \"V\", \"Z\", \"Z\"")
      .f("relHumidity", "_, _, _, 50, _")
      .qc("relHumidity", "0, 0, 0, 6, 0", "0, 0, 0, 0, 0",
          "\"Z\", \"Z\", \"Z\", \"V\", \"Z\"")
      .f("altimeter", "_, _, _, _, _")
      .f("stationPressure", "100000, 100000, 100000, 100000, 100000")
      .qc("stationPressure", "6, 6, 6, 6, 6", "0, 0, 0, 0, 0",
          "\"V\", \"V\", \"V\", \"V\", \"V\"")
      .f("elevation", "0, 0, 0, 0, 0");
  open(c, MESONET);
  dfix::Out o = tv(114, MESONET);
  ASSERT_EQ(o.status, 0);
  expect(o, 0, 302.1756f, 'V', 74.0f, 0.0f, 2e-3f);
  // "X" fails the highest level available (3): missing.
  expect(o, 1, MISS, 'Z', 0.0f, 0.0f);
  // A missing temperature stays missing with what its QC says.
  expect(o, 2, MISS, 'Z', 0.0f, 0.0f);
  expect(o, 3, 301.5812f, 'V', 74.0f, 0.0f, 2e-3f);
  expect(o, 4, 300.0f, 'T', 74.0f, 0.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
}

TEST_F(VirtualTempArchive, HcnTakesThePlainTemperature) {
  dfix::set_var(1, HCN, "dewpoint");
  dfix::set_var(8, HCN, "temperature", 'Q');
  // Station pressure from the altimeter setting: at elevation 0 that is the
  // setting plus 0.3 hPa, 1000.3 hPa here.
  dfix::set_var(7, HCN, "altimeter");
  dfix::set_var(16, HCN, "elevation");
  // 0: archive 305 "S" beside 300 "V"; 1: temperature "X", archive 300 "V";
  // 2: no dew point, archive 310.
  Cdl c;
  c.f("temperature", "300, 300, 300")
      .qc("temperature", "74, 2, 74", "0, 2, 0", "\"V\", \"X\", \"V\"");
  archive(c, "305, 300, 310", "10, 10, 10", "1, 1, 1", "\"S\", \"V\", \"V\"");
  c.f("dewpoint", "290, 290, _")
      .f("altimeter", "100000, 100000, 100000")
      .f("elevation", "0, 0, 0");
  open(c, HCN);
  dfix::Out o = tv(114, HCN);
  ASSERT_EQ(o.status, 0);
  expect(o, 0, 302.1749f, 'V', 74.0f, 0.0f, 2e-3f);
  expect(o, 1, MISS, 'Z', 0.0f, 0.0f);
  expect(o, 2, 300.0f, 'T', 74.0f, 0.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);

  // The temperature itself, as the dispatcher asks for it, still prefers
  // the archive value: only the virtual temperature reads past it.
  dfix::Out t = dfix::call(MSFCART, 8, HCN, SLOT);
  ASSERT_EQ(t.status, 0);
  expect(t, 0, 305.0f, 'S', 10.0f, 1.0f);
}

}  // namespace
