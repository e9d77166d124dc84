// Precipitation variables: mesonet period matching through provider and
// station codes, the hourly accumulation/rate pair, five-minute
// precipitation of the eras and networks, archive accumulations and the
// unit conversions of every network.
#include <gtest/gtest.h>

#include <string>

#include "provtest_fixture.h"

namespace {

using voran::RMISS;
constexpr int SLOT = 3;

// Ten mesonet records; quality information: accumulation QCA 100+i, QCR
// 200+i, DD "A".."J"; rate QCA 300+i, QCR 400+i, DD "a".."j".
pfix::Cdl mesonet(bool rate = true, bool rate_qc = true) {
  pfix::Cdl c;
  c.c("dataProvider", 11,
      "\"APRSWXNET\", \"OKMESO\", \"OKMES\", \"WTXMESO\", \"WTXMESO\", \"NCECONET\", "
      "\"MesoWest\", \"MesoWest\", \"MesoWest\", \"UTMESNET\"")
      .c("stationName", 51,
         "\"A1\", \"B2\", \"C3\", \"D4\", \"E5\", \"F6\", \"ALTA GUARD\", \"NOWHERE\", \"\", "
         "\"J10\"")
      .f("precipAccum", "10, 5, 7, 2, _, 4, 3, 6, 8, _")
      .qc("precipAccum", "100, 101, 102, 103, 104, 105, 106, 107, 108, 109",
          "200, 201, 202, 203, 204, 205, 206, 207, 208, 209",
          "\"A\", \"B\", \"C\", \"D\", \"E\", \"F\", \"G\", \"H\", \"I\", \"J\"");
  if (rate) c.f("precipRate", "_, _, _, 1.e-6, 1.e-6, _, _, _, _, 2.e-6");
  if (rate && rate_qc)
    c.qc("precipRate", "300, 301, 302, 303, 304, 305, 306, 307, 308, 309",
         "400, 401, 402, 403, 404, 405, 406, 407, 408, 409",
         "\"a\", \"b\", \"c\", \"d\", \"e\", \"f\", \"g\", \"h\", \"i\", \"j\"");
  return c;
}

class Precip : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&VARTBL, 0, sizeof VARTBL);
    pfix::clear_providers();
    pfix::add_provider("APRSWXNET", 1);       // 1: the table's period is overridden
    pfix::add_provider("OKMESO", -1);         // 2: since 00 UTC
    pfix::add_provider("WTXMESO", 1, 0, 0, 1);  // 3: hourly, reports five-minute values
    pfix::add_provider("NCECONET", 3);        // 4: three hours
    pfix::add_provider("MesoWest", 0, 0, 1);  // 5: periods by station
    pfix::add_provider("UTMESNET", 1);        // 6
    pfix::add_subtype("ALTA GUARD", 1, 3);
    for (int code : {31, 32, 33, 34, 35, 36, 37, 38, 181, 193, 231, 299})
      pfix::set_var(code, 4, "precipAccum", 'Q');
    pfix::set_var(39, 4, "precipRate", 'Q');
    set_time("212372000");
  }
  void TearDown() override { pfix::close_slot(SLOT); }
  static void set_time(const char* t) { std::memcpy(VORANCOM1.LIST_TIME[0], t, 9); }
  static pfix::Out run(int code, int dset) {
    pfix::Out o;
    MSFCPCP(code, dset, SLOT, o.val, o.qcd, o.qca, o.qcr, o.status);
    return o;
  }
  // Value i delivered with the quality information of the file.
  static void expect_value(const pfix::Out& o, int i, double v, char dd, float qca) {
    EXPECT_NEAR(o.val[i], v, 1e-6 * std::abs(v) + 1e-12) << "record " << i;
    EXPECT_EQ(o.qcd[i], dd) << "record " << i;
    EXPECT_EQ(o.qca[i], qca) << "record " << i;
  }
  static void expect_missing(const pfix::Out& o, int i) {
    EXPECT_EQ(o.val[i], RMISS) << "record " << i;
    EXPECT_EQ(o.qcd[i], 'Z') << "record " << i;
    EXPECT_EQ(o.qca[i], 0.0f) << "record " << i;
    EXPECT_EQ(o.qcr[i], 0.0f) << "record " << i;
  }
};

TEST_F(Precip, MesonetPeriodsFollowProviderCodes) {
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, mesonet()));
  // 24 hours: APRSWXNET only, whatever its table code.
  pfix::Out o = run(36, 4);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  expect_value(o, 0, 0.010, 'A', 100.0f);
  for (int i = 1; i < 10; ++i) expect_missing(o, i);
  // Since 00 UTC: the provider's own code.
  o = run(37, 4);
  expect_value(o, 1, 0.005, 'B', 101.0f);
  expect_missing(o, 0);
  expect_missing(o, 2);  // a prefix of a provider's name is another provider
  // Three hours.
  o = run(32, 4);
  expect_value(o, 5, 0.004, 'F', 105.0f);
  expect_missing(o, 3);
  // Period 0: providers and stations without a code.
  o = run(299, 4);
  expect_value(o, 2, 0.007, 'C', 102.0f);
  expect_value(o, 7, 0.006, 'H', 107.0f);  // by-station provider, unknown station
  expect_value(o, 8, 0.008, 'I', 108.0f);  // by-station provider, blank station
  expect_missing(o, 0);
  expect_missing(o, 6);
  // Five minutes: providers whose code 4 is 1.
  o = run(181, 4);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 3, 0.002, 'D', 103.0f);
  EXPECT_EQ(o.val[4], RMISS);  // WTXMESO without a value
  EXPECT_EQ(o.val[0], RMISS);
  EXPECT_EQ(o.qcd[0], 'A');     // values set missing here keep the QC read
}

TEST_F(Precip, MesonetHourlyAccumulationAndRate) {
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, mesonet()));
  pfix::Out o = run(31, 4);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 0, 0.010, 'A', 100.0f);   // the hourly rule has no APRSWXNET override
  expect_value(o, 3, 0.002, 'D', 103.0f);
  expect_value(o, 4, 0.0036, 'e', 304.0f);  // from the rate, with the rate's QC
  EXPECT_EQ(o.qcr[4], 404.0f);
  expect_value(o, 6, 0.003, 'G', 106.0f);   // station ALTA GUARD reports hourly
  expect_missing(o, 1);
  expect_missing(o, 5);
  expect_value(o, 9, 0.0072, 'j', 309.0f);

  // UTMESNET rates before 2005-09-16 15:00 are not used.
  set_time("052591459");
  o = run(31, 4);
  expect_missing(o, 9);
  expect_value(o, 4, 0.0036, 'e', 304.0f);  // WTXMESO is not affected
  set_time("052591500");
  o = run(31, 4);
  expect_value(o, 9, 0.0072, 'j', 309.0f);

  // The rate: read where present, derived from the accumulation elsewhere.
  o = run(39, 4);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 3, 0.001, 'd', 303.0f);
  expect_value(o, 0, 0.010 * 1000.0 / 3600.0, 'A', 100.0f);
  expect_missing(o, 1);
}

TEST_F(Precip, MesonetHourlyQualityPreference) {
  // The rate has no QC variables: an accumulation with QC is preferred.
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, mesonet(true, false)));
  pfix::Out o = run(39, 4);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 3, 0.002 * 1000.0 / 3600.0, 'D', 103.0f);
  expect_value(o, 4, 0.001, 'Z', 0.0f);  // only the rate is there
  pfix::close_slot(SLOT);

  // A file without the rate still gives the hourly accumulation.
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, mesonet(false)));
  o = run(31, 4);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 3, 0.002, 'D', 103.0f);
  expect_missing(o, 4);
  o = run(39, 4);
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  for (int i = 0; i < 10; ++i) expect_missing(o, i);

  // Without QC marks nothing is read as QC.
  VARTBL.QCFLAG[30][3] = ' ';
  VARTBL.QCFLAG[38][3] = ' ';
  o = run(31, 4);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
  expect_value(o, 3, 0.002, 'Z', 0.0f);
}

// COOP file: two stations, five-minute precipitation under both names.
pfix::Cdl coop() {
  pfix::Cdl c;
  c.c("stationId", 6, "\"STYN6\", \"ABCD1\", \"EFGH2\"")
      .f("precip5Min", "1, 2, 3")
      .f("fiveMinPrecipAccum", "4, 5, _")
      .f("precipRate", "1.e-6, _, 2.e-6")
      .f("precip24Hour", "12, _, 0");
  return c;
}

TEST_F(Precip, FiveMinuteErasAndReports) {
  pfix::set_var(181, 5, "precip5Min");
  ASSERT_TRUE(pfix::open_slot(SLOT, 5, coop()));
  // 2004-06-02 20:30: only STYN6.
  set_time("041542030");
  pfix::Out o = run(181, 5);
  ASSERT_EQ(o.status, 0);
  EXPECT_NEAR(o.val[0], 0.001, 1e-9);
  EXPECT_EQ(o.val[1], RMISS);
  EXPECT_EQ(o.val[2], RMISS);
  // Before 20:00 the others come from the older variable.
  set_time("041541959");
  o = run(181, 5);
  EXPECT_NEAR(o.val[0], 0.001, 1e-9);
  EXPECT_NEAR(o.val[1], 0.005, 1e-9);
  EXPECT_EQ(o.val[2], RMISS);
  // From 21:00 on every station.
  set_time("041542100");
  o = run(181, 5);
  EXPECT_NEAR(o.val[1], 0.002, 1e-9);
  EXPECT_NEAR(o.val[2], 0.003, 1e-9);
  pfix::close_slot(SLOT);

  // HFMETAR: only the five-minute reports (metarType 2 and 5).
  pfix::set_var(181, 7, "precip5Min");
  pfix::Cdl c;
  c.f("precip5Min", "1, 2, 3, 4").i("metarType", "2, 3, 5, -9999");
  ASSERT_TRUE(pfix::open_slot(SLOT, 7, c));
  o = run(181, 7);
  ASSERT_EQ(o.status, 0);
  EXPECT_NEAR(o.val[2], 0.003, 1e-9);
  EXPECT_EQ(o.val[1], RMISS);
  EXPECT_EQ(o.val[3], RMISS);
}

TEST_F(Precip, NetworkUnits) {
  pfix::set_var(31, 5, "precipRate");
  pfix::set_var(39, 5, "precipRate");
  pfix::set_var(36, 5, "precip24Hour");
  ASSERT_TRUE(pfix::open_slot(SLOT, 5, coop()));
  pfix::Out o = run(31, 5);  // m/s to m per hour
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
  EXPECT_EQ(o.qcd[0], 'Z');
  EXPECT_NEAR(o.val[0], 0.0036, 1e-9);
  EXPECT_EQ(o.val[1], RMISS);
  o = run(39, 5);  // m/s to mm/s
  EXPECT_NEAR(o.val[2], 0.002, 1e-9);
  o = run(36, 5);  // mm to m
  EXPECT_NEAR(o.val[0], 0.012, 1e-9);
  EXPECT_EQ(o.val[2], 0.0f);
  pfix::close_slot(SLOT);

  // METAR files hold metres: the hourly value is used as it is, the rate
  // is that hour's amount in mm/s. SAO files hold mm.
  pfix::Cdl metar;
  metar.f("precip1Hour", "0.0036, _");
  pfix::set_var(31, 1, "precip1Hour");
  pfix::set_var(39, 1, "precip1Hour");
  pfix::set_var(31, 3, "precip1Hour");
  ASSERT_TRUE(pfix::open_slot(SLOT, 1, metar));
  o = run(31, 1);
  EXPECT_EQ(o.val[0], 0.0036f);
  o = run(39, 1);
  EXPECT_NEAR(o.val[0], 0.001, 1e-9);
  EXPECT_EQ(o.val[1], RMISS);
  SFCSTRN.FILE_DSET[SLOT - 1] = 3;
  o = run(31, 3);
  EXPECT_NEAR(o.val[0], 0.0000036, 1e-12);
}

TEST_F(Precip, ClimateNetworksPreferTheArchiveAccumulation) {
  for (int dset : {9, 10}) {
    pfix::set_var(31, dset, "precip1Hour", 'Q');
    pfix::set_var(39, dset, "precip1Hour", 'Q');
  }
  pfix::Cdl c;
  c.f("precip1Hour", "1, 2, _")
      .qc("precip1Hour", "1, 1, 1", "0, 0, 0", "\"S\", \"S\", \"S\"")
      .f("archivePrecipAccum1h", "1.5, _, 3")
      .qc("archivePrecipAccum1h", "7, 7, 7", "2, 2, 2", "\"V\", \"V\", \"V\"");
  ASSERT_TRUE(pfix::open_slot(SLOT, 9, c));
  pfix::Out o = run(31, 9);
  ASSERT_EQ(o.status, 0);
  expect_value(o, 0, 0.0015, 'V', 7.0f);
  expect_value(o, 1, 0.002, 'S', 1.0f);  // the table value, scaled once
  expect_value(o, 2, 0.003, 'V', 7.0f);
  o = run(39, 9);  // in mm/s like every other network
  expect_value(o, 0, 0.0015 * 1000.0 / 3600.0, 'V', 7.0f);
  expect_value(o, 1, 0.002 * 1000.0 / 3600.0, 'S', 1.0f);
  pfix::close_slot(SLOT);

  // A file without the archive variable keeps the table values.
  pfix::Cdl plain;
  plain.f("precip1Hour", "1, 2, _");
  ASSERT_TRUE(pfix::open_slot(SLOT, 10, plain));
  o = run(31, 10);
  ASSERT_EQ(o.status, 0);
  EXPECT_NEAR(o.val[0], 0.001, 1e-9);
  EXPECT_EQ(o.val[2], RMISS);
}

TEST_F(Precip, MissingVariablesSkipTheFile) {
  pfix::Cdl c;
  c.f("other", "1, 2");
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, c));
  for (int code : {31, 36, 181}) {
    pfix::Out o = run(code, 4);
    EXPECT_EQ(o.status, MST_NOT_IN_DATABASE) << code;
    expect_missing(o, 0);
    expect_missing(o, 1);
  }
  // Accumulation present but no provider names: the file is skipped too.
  pfix::close_slot(SLOT);
  c.f("precipAccum", "1, 2");
  ASSERT_TRUE(pfix::open_slot(SLOT, 4, c));
  pfix::Out o = run(36, 4);
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  expect_missing(o, 0);
}

}  // namespace
