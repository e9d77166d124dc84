// Wind derivation: reported codes, components, rotation to a grid, the COOP
// report-kind split, and the QC of derived components.
#include <gtest/gtest.h>

#include <cmath>

#include "derived_fixture.h"

namespace {

using dfix::Cdl;

constexpr int SLOT = 3, METAR = 1, COOP = 5;
constexpr float MISS = 999999.0f;

class WindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dfix::clear_table();
    dfix::set_var(9, METAR, "windDir", 'Q');
    dfix::set_var(10, METAR, "windSpeed", 'Q');
    dfix::set_var(18, METAR, "longitude");
  }
  void TearDown() override {
    dfix::close_slot(SLOT);
    VORANCOM2.DOM_TYPE = -1;
  }
  void open(const Cdl& c, int dset = METAR) { ASSERT_TRUE(dfix::open_slot(SLOT, dset, c)); }
  dfix::Out wind(int code, int dset = METAR) {
    return dfix::call(MSFCWIND, code, dset, SLOT);
  }
};

// Records: west wind 10, calm, west wind 10 at another longitude, wind with
// missing longitude.
Cdl metar_file() {
  Cdl c;
  c.f("windDir", "270, 0, 270, 270")
      .qc("windDir", "2, 2, 2, 2", "0, 0, 0, 0", "\"C\", \"C\", \"C\", \"C\"")
      .f("windSpeed", "10, 0, 10, 10")
      .qc("windSpeed", "2, 2, 2, 2", "0, 0, 0, 0", "\"C\", \"C\", \"C\", \"C\"")
      .f("longitude", "-105, -105, -95, _");
  return c;
}

TEST_F(WindTest, ComponentsAndReportedCodesWithoutGrid) {
  open(metar_file());
  dfix::Out u = wind(11), v = wind(12), d = wind(9);
  ASSERT_EQ(u.status, 0);
  ASSERT_EQ(v.status, 0);
  ASSERT_EQ(d.status, 0);
  EXPECT_NEAR(u.val[0], 10.0f, 1e-5);
  EXPECT_NEAR(v.val[0], 0.0f, 1e-5);
  // Without a grid the longitude plays no part: record 4 has its wind.
  EXPECT_NEAR(u.val[3], 10.0f, 1e-5);
  // Reported direction as stored, with its own QC.
  EXPECT_EQ(d.val[2], 270.0f);
  EXPECT_EQ(d.qcd[2], 'C');
  EXPECT_EQ(d.qca[2], 2.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
}

TEST_F(WindTest, GridDomainTurnsComponentsAndDirections) {
  open(metar_file());
  VORANCOM2.DOM_TYPE = 1;
  VORANCOM2.DOM_ORIENT = -105.0f;
  VORANCOM2.DOM_CONE = 1.0f;
  dfix::Out u = wind(11), v = wind(12), d = wind(9), s = wind(10);
  ASSERT_EQ(u.status, 0);
  ASSERT_EQ(d.status, 0);
  // At the orientation longitude nothing turns.
  EXPECT_NEAR(u.val[0], 10.0f, 1e-4);
  EXPECT_NEAR(v.val[0], 0.0f, 1e-4);
  EXPECT_NEAR(d.val[0], 270.0f, 1e-3);
  // 10 degrees east of it the frame turns by -10 degrees: u' = 10 cos 10,
  // v' = 10 sin 10, and the wind comes from 260 degrees grid-relative.
  EXPECT_NEAR(u.val[2], 9.84808f, 1e-4);
  EXPECT_NEAR(v.val[2], 1.73648f, 1e-4);
  EXPECT_NEAR(d.val[2], 260.0f, 1e-3);
  EXPECT_NEAR(s.val[2], 10.0f, 1e-4);
  EXPECT_EQ(d.qcd[2], 'C');
  // Calm stays calm, with direction 0.
  EXPECT_EQ(d.val[1], 0.0f);
  EXPECT_EQ(s.val[1], 0.0f);
  // A report without longitude cannot be turned: missing, not a rotation by
  // an angle computed from the missing value.
  for (const dfix::Out* o : {&u, &v, &d, &s}) {
    EXPECT_EQ(o->val[3], MISS);
    EXPECT_EQ(o->qcd[3], 'Z');
    EXPECT_EQ(o->qca[3], 0.0f);
  }
  // A box domain does not turn anything.
  VORANCOM2.DOM_TYPE = 2;
  EXPECT_EQ(wind(9).val[2], 270.0f);
}

TEST_F(WindTest, AbsurdSpeedUnderGridGivesNoWind) {
  // A speed below the missing value whose square overflows (a corrupt
  // negative speed): the grid-relative speed would be infinite; the record
  // has no wind rather than an infinite one.
  Cdl c;
  c.f("windDir", "270, 270")
      .qc("windDir", "2, 2", "0, 0", "\"C\", \"C\"")
      .f("windSpeed", "10, -5.e19")
      .qc("windSpeed", "2, 2", "0, 0", "\"C\", \"C\"")
      .f("longitude", "-95, -95");
  open(c);
  VORANCOM2.DOM_TYPE = 0;
  VORANCOM2.DOM_ORIENT = -105.0f;
  VORANCOM2.DOM_CONE = 1.0f;
  for (int code : {9, 10}) {
    SCOPED_TRACE(code);
    dfix::Out o = wind(code);
    ASSERT_EQ(o.status, 0);
    EXPECT_NEAR(o.val[0], code == 9 ? 260.0f : 10.0f, 1e-3);
    EXPECT_EQ(o.val[1], MISS);
    EXPECT_EQ(o.qcd[1], 'Z');
    EXPECT_EQ(o.qca[1], 0.0f);
  }
}

TEST_F(WindTest, ComponentQcFromSpeedAndDirection) {
  Cdl c;
  // Speed masks: bits 2 and 12; direction: bit 4 (and bit 5 failed in rec 3).
  c.f("windDir", "90, 90, 90, 90")
      .qc("windDir", "8, 8, 24, 8", "0, 0, 16, 0", "\"S\", \"S\", \"Q\", \"S\"")
      .f("windSpeed", "5, 5, 5, 5")
      .qc("windSpeed", "2050, 2050, 2050, 2050", "0, 0, 0, 0", "\"C\", \"G\", \"C\", \"Q\"")
      .f("longitude", "0, 0, 0, 0");
  open(c);
  dfix::Out u = wind(11);
  ASSERT_EQ(u.status, 0);
  EXPECT_NEAR(u.val[0], -5.0f, 1e-5);
  // Union of bits 1..10 only: 2 | 8; bit 12 is not carried.
  EXPECT_EQ(u.qca[0], 10.0f);
  EXPECT_EQ(u.qcr[0], 0.0f);
  EXPECT_EQ(u.qcd[0], 'S');
  // A "G" speed passes its descriptor on whatever the masks say.
  EXPECT_EQ(u.qcd[1], 'G');
  // A "Q" direction or speed makes the component missing.
  EXPECT_EQ(u.val[2], MISS);
  EXPECT_EQ(u.qcd[2], 'Z');
  EXPECT_EQ(u.qca[2], 0.0f);
  EXPECT_EQ(u.val[3], MISS);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
}

TEST_F(WindTest, SpeedWithoutQcVariablesGivesUncontrolledComponents) {
  Cdl c;
  c.f("windDir", "180, -Infinityf")
      .qc("windDir", "8, 8", "0, 0", "\"S\", \"S\"")
      .f("windSpeed", "4, 4")
      .f("longitude", "0, 0");
  open(c);
  dfix::Out v = wind(12);
  ASSERT_EQ(v.status, 0);
  EXPECT_NEAR(v.val[0], 4.0f, 1e-5);
  // An infinite direction in the file is no direction.
  EXPECT_EQ(v.val[1], MISS);
  EXPECT_EQ(v.qcd[0], 'Z');
  EXPECT_EQ(v.qca[0], 0.0f);
  EXPECT_EQ(v.qcr[0], 0.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
}

TEST_F(WindTest, FailedReadsAreReported) {
  Cdl c;
  // Direction has "QCA" but neither "QCR" nor "DD"; no speed at all.
  c.f("windDir", "180").i("windDirQCA", "8").f("longitude", "0");
  open(c);
  EXPECT_EQ(wind(11).status, MST_NOT_IN_DATABASE);
  EXPECT_NE(wind(9).status, 0);
  dfix::set_var(9, METAR, "windDir", ' ');
  EXPECT_EQ(wind(9).status, 0);
  EXPECT_EQ(wind(10).status, MST_NOT_IN_DATABASE);
}

TEST_F(WindTest, CoopReportKindSplitsTheSecondPairs) {
  dfix::set_var(9, COOP, "windDir");
  dfix::set_var(10, COOP, "windSpeed");
  dfix::set_var(18, COOP, "longitude");
  dfix::set_var(19, COOP, "reportKind");
  for (int code : {57, 175}) dfix::set_var(code, COOP, "gustDir");
  for (int code : {58, 176}) dfix::set_var(code, COOP, "gustSpeed");
  Cdl c;
  c.f("gustDir", "90, 90, 90, 90, 90")
      .f("gustSpeed", "20, 20, 20, 20, 20")
      .f("windDir", "0, 0, 0, 0, 0")
      .f("windSpeed", "1, 1, 1, 1, 1")
      .f("longitude", "-105, -105, -105, -105, -105")
      .f("reportKind", "1.5, 3.0, 100, 200, 2.0");
  open(c, COOP);
  const bool primary[] = {true, false, true, true, false};
  for (int grid : {-1, 0}) {
    VORANCOM2.DOM_TYPE = grid;
    VORANCOM2.DOM_ORIENT = -105.0f;
    VORANCOM2.DOM_CONE = 0.7f;
    dfix::Out a = wind(175, COOP), b = wind(57, COOP), s = wind(58, COOP);
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    for (int k = 0; k < 5; ++k) {
      SCOPED_TRACE(k);
      EXPECT_NEAR(a.val[k], primary[k] ? 90.0f : MISS, 1e-3);
      EXPECT_NEAR(b.val[k], primary[k] ? MISS : 90.0f, 1e-3);
      EXPECT_NEAR(s.val[k], primary[k] ? MISS : 20.0f, 1e-3);
      EXPECT_EQ(b.qcd[k], 'Z');
    }
  }
  // Components of COOP codes 171/172 come from their own pair (145, 146).
  dfix::set_var(145, COOP, "gustDir");
  dfix::set_var(146, COOP, "gustSpeed");
  VORANCOM2.DOM_TYPE = -1;
  EXPECT_NEAR(wind(171, COOP).val[0], -20.0f, 1e-4);
  // Without the report kind the split cannot be made.
  dfix::set_var(19, COOP, "noSuchKind");
  dfix::Out miss = wind(57, COOP);
  EXPECT_EQ(miss.status, MST_NOT_IN_DATABASE);
  EXPECT_EQ(miss.val[1], MISS);
}

TEST_F(WindTest, OtherNetworksAnswerCoopComponentCodesFromTheMainPair) {
  open(metar_file());
  dfix::Out u = wind(171), v = wind(174);
  ASSERT_EQ(u.status, 0);
  EXPECT_NEAR(u.val[0], 10.0f, 1e-5);
  EXPECT_NEAR(v.val[0], 0.0f, 1e-5);
}

TEST_F(WindTest, SecondWindUnderGridIsTurnedFromItsOwnPair) {
  dfix::set_var(57, METAR, "gustDir");
  dfix::set_var(58, METAR, "gustSpeed");
  Cdl c = metar_file();
  c.f("gustDir", "180, 180, 180, 180").f("gustSpeed", "7, 7, 7, 7");
  open(c);
  VORANCOM2.DOM_TYPE = 0;
  VORANCOM2.DOM_ORIENT = -105.0f;
  VORANCOM2.DOM_CONE = 1.0f;
  dfix::Out d = wind(57), s = wind(58);
  ASSERT_EQ(d.status, 0);
  // From the south, turned by -10 degrees at 95 W; never the main wind.
  EXPECT_NEAR(d.val[0], 180.0f, 1e-3);
  EXPECT_NEAR(d.val[2], 170.0f, 1e-3);
  EXPECT_NEAR(s.val[2], 7.0f, 1e-4);
}

}  // namespace
