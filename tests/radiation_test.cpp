// Solar radiation: each record is delivered only for the radiation code of
// the kind its provider, or its station, is assigned to.
#include <gtest/gtest.h>

#include "provtest_fixture.h"

namespace {

using voran::RMISS;
constexpr int SLOT = 5;

class Radiation : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&VARTBL, 0, sizeof VARTBL);
    pfix::clear_providers();
    pfix::add_provider("ISWS", 0, 7);       // kind 7 for every report
    pfix::add_provider("AWS2", 0, 1, 1);    // kinds by station
    pfix::add_provider("MULTI", 0, 9, 1);   // by station, then ...
    pfix::add_provider("MULTI", 0, 16, 0);  // ... kind 16 for the other stations
    pfix::add_subtype("KSLC TOWER", 1, 1);
    for (int code : {74, 132, 133, 137, 207}) {
      pfix::set_var(code, 4, "solarRadiation", 'Q');
      pfix::set_var(code, 5, "solarRadiation");
    }
  }
  void TearDown() override { pfix::close_slot(SLOT); }
  static pfix::Out run(int code, int dset) {
    pfix::Out o;
    MSFCSRAD(code, dset, SLOT, o.val, o.qcd, o.qca, o.qcr, o.status);
    return o;
  }
  // The records delivered (value not missing) for a code, as a 0/1 string.
  static std::string delivered(const pfix::Out& o, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      s += o.val[i] != RMISS ? '1' : '0';
      if (o.val[i] == RMISS) {
        EXPECT_EQ(o.qcd[i], 'Z');
        EXPECT_EQ(o.qca[i], 0.0f);
        EXPECT_EQ(o.qcr[i], 0.0f);
      }
    }
    return s;
  }
};

pfix::Cdl mesonet() {
  pfix::Cdl c;
  c.c("dataProvider", 11,
      "\"ISWS\", \"AWS2\", \"AWS2\", \"ISW\", \"AWS2\", \"MULTI\", \"MULTI\", \"ISWS\"")
      .c("stationName", 51,
         "\"S0\", \"KSLC TOWER\", \"UNKNOWN\", \"S3\", \"\", \"NOPE\", \"KSLC TOWER\", \"S7\"")
      .f("solarRadiation", "100, 200, 300, 400, 500, 600, 700, _")
      .qc("solarRadiation", "1, 2, 3, 4, 5, 6, 7, 8", "0, 0, 0, 0, 0, 0, 0, 0",
          "\"V\", \"V\", \"V\", \"V\", \"V\", \"V\", \"S\", \"V\"");
  return c;
}

TEST_F(Radiation, MesonetKindsByProviderAndStation) {
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, mesonet()));
  pfix::Out o = run(132, 4);  // kind 7
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  EXPECT_EQ(delivered(o, 8), "10000000");
  EXPECT_EQ(o.val[0], 100.0f);
  EXPECT_EQ(o.qcd[0], 'V');
  EXPECT_EQ(o.qca[0], 1.0f);
  // Kind 1: stations named in the station table.
  o = run(74, 4);
  EXPECT_EQ(delivered(o, 8), "01000010");
  EXPECT_EQ(o.val[6], 700.0f);
  EXPECT_EQ(o.qcd[6], 'S');
  // Kind 16: a by-station provider's unknown station falls to the next
  // entry of the same provider.
  o = run(207, 4);
  EXPECT_EQ(delivered(o, 8), "00000100");
  // Kind 8 and COOP's kind 12: nobody here.
  EXPECT_EQ(delivered(run(133, 4), 8), "00000000");
  EXPECT_EQ(delivered(run(137, 4), 8), "00000000");
}

TEST_F(Radiation, NetworksWithoutProviderNames) {
  // COOP reports are all of kind 12.
  pfix::Cdl coop;
  coop.f("solarRadiation", "1.5e6, _, 2.e6");
  ASSERT_TRUE(pfix::open_slot(SLOT, 5, coop));
  pfix::Out o = run(137, 5);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
  EXPECT_EQ(delivered(o, 3), "101");
  EXPECT_EQ(o.val[2], 2.0e6f);
  EXPECT_EQ(o.qcd[0], 'Z');
  for (int code : {74, 132, 133, 207}) EXPECT_EQ(delivered(run(code, 5), 3), "000") << code;
  pfix::close_slot(SLOT);

  // Every CRN report is of the kind of the network's provider.
  pfix::add_provider("CRN", 1, 8);
  pfix::set_var(133, 10, "solarRadiation");
  pfix::set_var(132, 10, "solarRadiation");
  ASSERT_TRUE(pfix::open_slot(SLOT, 10, coop));
  EXPECT_EQ(delivered(run(133, 10), 3), "101");
  EXPECT_EQ(delivered(run(132, 10), 3), "000");
}

TEST_F(Radiation, FilesWithoutTheVariablesAreSkipped) {
  pfix::Cdl c;
  c.f("temperature", "280, 281");
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, c));
  pfix::Out o = run(132, 4);
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  EXPECT_EQ(delivered(o, 2), "00");
  pfix::close_slot(SLOT);
  // Values but no provider names.
  c.f("solarRadiation", "10, 20");
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, c));
  o = run(132, 4);
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  EXPECT_EQ(delivered(o, 2), "00");
}

TEST_F(Radiation, LongFilesAreReadInPieces) {
  // More station names than one piece of the name reader holds.
  constexpr int N = 90000;
  std::string prov, stn, val;
  for (int i = 0; i < N; ++i) {
    const char* sep = i ? ", " : "";
    (prov += sep) += i % 2 ? "\"AWS2\"" : "\"ISWS\"";
    (stn += sep) += i % 3 ? testutil::numbered("\"S", i) + "\"" : std::string("\"KSLC TOWER\"");
    (val += sep) += std::to_string(i);
  }
  pfix::Cdl c;
  c.c("dataProvider", 11, prov).c("stationName", 51, stn).f("solarRadiation", val);
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, c));
  static float v[N], qa[N], qr[N];
  static char qd[N];
  int32_t st = -1;
  MSFCSRAD(74, 4, SLOT, v, qd, qa, qr, st);
  ASSERT_EQ(st, 0);
  int wrong = 0;
  for (int i = 0; i < N; ++i) {
    bool want = i % 2 == 1 && i % 3 == 0;
    if ((v[i] != RMISS) != want || (want && v[i] != float(i))) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
