// Station record reader (MSFCRDSTA) on NetCDF fixtures of every network.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstring>
#include <string>
#include <vector>

#include "stations/stations.h"
#include "stations_fixtures.h"
#include "testutil.h"

namespace {

using stfix::Cdl;
using stfix::unix_time;

int32_t T;  // 2021-08-25 20:00 as integer time

std::string ut(int64_t dt) { return unix_time(T + dt); }

struct Out {
  int32_t status = -1;
  std::vector<int32_t> obtime, wmoid, subsrc;
  std::vector<float> lat, lon, elev;
  std::string stid, provider, atype, rtype;
  std::string messages;

  std::string id(int i) const { return stid.substr(10 * i, 10); }
  std::string prov(int i) const { return provider.substr(10 * i, 10); }
};

std::string pad(const std::string& s, std::size_t w) { return (s + std::string(w, ' ')).substr(0, w); }

class ReaderTest : public ::testing::Test {
 protected:
  std::string dir_;

  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    int32_t st = 0;
    M_MKI4TM("212372000", T, st);
    ASSERT_EQ(st, 0);
    const char* names[] = {"wmoId", "stationId", "elevation", "latitude", "longitude"};
    for (int d = 1; d <= 10; ++d) {
      for (int c = 14; c <= 18; ++c) {
        voran::fset(VARTBL.NCNAME[c - 1][d - 1], 24, names[c - 14]);
        VARTBL.NAMLEN[c - 1][d - 1] = static_cast<int32_t>(std::strlen(names[c - 14]));
      }
    }
    MCOM2.MSGFLAG = true;
    MCOM2.DBNUM = 1;
    MCOM2.CURDSET = 0;
    VORANCOM2.DSINIT[0] = voran::INIT_MARK;
    SFCTBL.ASOS_COUNT = 2;
    std::memcpy(SFCTBL.ASOS_ID[0], "KDEN ", 5);
    std::memcpy(SFCTBL.ASOS_ID[1], "KBOU ", 5);
    PROVTBL.SUBSRC_COUNT[0] = 0;
    PROVTBL.SUBSRC_LISTED[0] = 0;
    PROVTBL.REQ_COUNT[0] = 0;
    PROVTBL.REQ_DEFAULT[0] = true;
  }
  void TearDown() override { MCOM2.MSGFLAG = false; }

  Out read(int32_t dset, const std::string& cdl) {
    Out o;
    std::string path = dir_ + "/f" + std::to_string(++files_) + ".nc";
    EXPECT_TRUE(testutil::ncgen(cdl, path)) << cdl;
    int ncid = -1, recdim = -1;
    size_t n = 0;
    EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
    EXPECT_EQ(nc_inq_unlimdim(ncid, &recdim), NC_NOERR);
    EXPECT_EQ(nc_inq_dimlen(ncid, recdim, &n), NC_NOERR);
    o.obtime.assign(n, -7);
    o.wmoid.assign(n, -7);
    o.subsrc.assign(n, -7);
    o.lat.assign(n, -7);
    o.lon.assign(n, -7);
    o.elev.assign(n, -7);
    o.stid.assign(10 * n, '#');
    o.provider.assign(10 * n, '#');
    o.atype.assign(5 * n, '#');
    o.rtype.assign(5 * n, '#');
    testing::internal::CaptureStdout();
    MSFCRDSTA(dset, ncid, recdim, 1, static_cast<int32_t>(n), static_cast<int32_t>(n),
              o.obtime.data(), o.stid.data(), o.wmoid.data(), o.provider.data(), o.lat.data(),
              o.lon.data(), o.elev.data(), o.subsrc.data(), o.atype.data(), o.rtype.data(),
              o.status);
    o.messages = testing::internal::GetCapturedStdout();
    nc_close(ncid);
    return o;
  }

 private:
  int files_ = 0;
};

std::string metar_cdl(bool time_fill) {
  Cdl c(3);
  c.chars("autoStationType", 6, {"AO2", "", "AO2AXY"})
      .chars("reportType", 6, {"METAR", "SPECI", "TEST"})
      .num("int", "wmoId", {"72565", "_", "0"}, "-2147483647")
      .identity(5, {"KDEN", "CYYZ", "KBOU"}, {"39.85", "_", "40"}, {"-104.65", "-79.6", "-105"},
                {"1640", "-1", "1612"});
  if (time_fill)
    c.num("double", "timeObs", {ut(0), "_", "-9999"}, "3.40282346e+38");
  else
    c.num("double", "timeObs", {ut(0), ut(60), "-9999"});
  return c.text();
}

}  // namespace

TEST_F(ReaderTest, MetarIdentityAsosAndMissingValues) {
  Out o = read(1, metar_cdl(true));
  ASSERT_EQ(o.status, 0) << o.messages;
  EXPECT_EQ(o.id(0), "KDEN      ");
  EXPECT_EQ(o.id(1), "CYYZ      ");
  EXPECT_EQ(o.atype, "AO2       AO2AX");
  EXPECT_EQ(o.rtype, "METARSPECITEST ");
  EXPECT_EQ(o.wmoid, (std::vector<int32_t>{72565, 999999, 0}));
  EXPECT_EQ(o.lat, (std::vector<float>{39.85f, 999999.0f, 40.0f}));
  EXPECT_EQ(o.lon[1], -79.6f);
  EXPECT_EQ(o.elev, (std::vector<float>{1640.0f, -1.0f, 1612.0f}));
  EXPECT_EQ(o.obtime, (std::vector<int32_t>{T, 999999, 999999}));
  EXPECT_EQ(o.provider, "ASOS      OTHER-MTR ASOS      ");
  EXPECT_EQ(o.subsrc, (std::vector<int32_t>{1, 3, 1}));

  // Database 2 marks an elevation of -1 missing.
  MCOM2.DBNUM = 2;
  Out o2 = read(1, metar_cdl(true));
  ASSERT_EQ(o2.status, 0);
  EXPECT_EQ(o2.elev[1], 999999.0f);
  MCOM2.DBNUM = 1;

  // A time variable without its fill value is refused.
  Out bad = read(1, metar_cdl(false));
  EXPECT_EQ(bad.status, 2001);
  EXPECT_EQ(bad.messages, " MSFCRDSTA: BAD NCAGT - OBTIME\n");
}

TEST_F(ReaderTest, MaritimeAndSao) {
  for (auto& row : SFCTBL.TOPO)
    for (float& h : row) h = 200.0f;
  Cdl m(3);
  m.identity(8, {"45006", "SHIP1234", "WTEC"}, {"47.0", "45.0", "47.5"}, {"-88.0", "-60.0", "-87.0"},
             {"0", "0", "183"})
      .num("double", "timeObs", {ut(-120), ut(0), ut(30)}, "3.40282346e+38");
  Out o = read(2, m.text());
  ASSERT_EQ(o.status, 0) << o.messages;
  EXPECT_EQ(o.id(1), "SHIP1234  ");
  EXPECT_NEAR(o.elev[0], 200.0f, 0.01f);  // Lake Superior: terrain height
  EXPECT_EQ(o.elev[1], 0.0f);             // open sea
  EXPECT_EQ(o.elev[2], 183.0f);           // reported lake height kept
  EXPECT_EQ(o.wmoid, (std::vector<int32_t>{999999, 999999, 999999}));
  EXPECT_EQ(o.provider, "MARITIME  MARITIME  MARITIME  ");
  EXPECT_EQ(o.subsrc, (std::vector<int32_t>{5, 5, 5}));
  EXPECT_EQ(o.obtime[2], T + 30);

  Cdl s(2);
  s.chars("autoStationType", 6, {"A", "M"})
      .chars("reportType", 5, {"SA", "SP"})
      .num("int", "wmoId", {"_", "71123"}, "-99")
      .identity(5, {"CYUL", "CYOW"}, {"45.5", "45.3"}, {"-73.7", "-75.7"}, {"36", "114"})
      .num("double", "timeObs", {ut(0), ut(0)}, "3.40282346e+38");
  Out a = read(3, s.text());
  ASSERT_EQ(a.status, 0) << a.messages;
  EXPECT_EQ(a.rtype, "SA   SP   ");
  EXPECT_EQ(a.wmoid, (std::vector<int32_t>{999999, 71123}));
  EXPECT_EQ(a.provider, "SAO       SAO       ");
  EXPECT_EQ(a.subsrc, (std::vector<int32_t>{4, 4}));
}

TEST_F(ReaderTest, MesonetIdentifiersTimesAndProviders) {
  Cdl c(10);
  c.chars("dataProvider", 11,
          {"NWS", "NWS", "NWS", "AWS", "AWS", "AWS", "AWS", "", "MesoWest", "MesoWest"})
      .num("int", "wmoId", {"72469", "7", "-9999", "100000", "0", "_", "_", "_", "_", "_"},
           "-2147483647")
      .identity(6, {"", "", "", "ABC", "DEF", "GHI", "JKL", "MNO", "PQR", "STU"},
                {"40", "40", "40", "40", "40", "40", "40", "40", "40", "40"},
                {"-100", "-100", "-100", "-100", "-100", "-100", "-100", "-100", "-100", "-100"},
                {"1", "2", "3", "4", "5", "6", "7", "8", "-9999", "_"})
      .num("double", "observationTime",
           {ut(0), ut(0), ut(0), ut(0), "0", ut(0), "_", ut(0), ut(-60), ut(0)}, "3.40282346e+38")
      .num("double", "reportTime",
           {ut(0), ut(0), ut(0), ut(0), ut(-300), ut(0), "_", ut(0), ut(0), ut(0)}, "3.40282346e+38")
      .num("double", "receivedTime",
           {ut(60), ut(60), ut(60), ut(60), ut(60), ut(-60), ut(60), ut(60), "_", "-9999"},
           "3.40282346e+38");
  Out o = read(4, c.text());
  ASSERT_EQ(o.status, 0) << o.messages;
  // Blank identifiers with a valid WMO number take its digits.
  EXPECT_EQ(o.id(0), "72469     ");
  EXPECT_EQ(o.id(1), "7         ");
  EXPECT_EQ(o.id(2), "          ");
  EXPECT_EQ(o.id(3), "ABC       ");
  EXPECT_EQ(o.wmoid, (std::vector<int32_t>{72469, 7, 999999, 999999, 999999, 999999, 999999,
                                           999999, 999999, 999999}));
  EXPECT_EQ(o.prov(8), "MesoWest  ");
  EXPECT_EQ(o.elev[8], 999999.0f);
  EXPECT_EQ(o.elev[9], 999999.0f);
  // Report time when the observation time is 0; received before observed
  // is no time; a missing received time does not count as early.
  EXPECT_EQ(o.obtime, (std::vector<int32_t>{T, T, T, T, T - 300, 999999, 999999, T, T - 60, T}));
  // Unusable reports (no identifier, no provider, no time) get source 0;
  // the others are numbered by provider.
  EXPECT_EQ(o.subsrc[2], 0);
  EXPECT_EQ(o.subsrc[5], 0);
  EXPECT_EQ(o.subsrc[6], 0);
  EXPECT_EQ(o.subsrc[7], 0);
  EXPECT_GT(o.subsrc[0], 0);
  EXPECT_EQ(o.subsrc[0], o.subsrc[1]);
  EXPECT_EQ(o.subsrc[3], o.subsrc[4]);
  EXPECT_EQ(o.subsrc[8], o.subsrc[9]);
  EXPECT_NE(o.subsrc[0], o.subsrc[3]);
  EXPECT_NE(o.subsrc[3], o.subsrc[8]);
  ASSERT_GT(o.subsrc[8], 0);
  EXPECT_TRUE(voran::feq(voran::fview(PROVTBL.SUBSRC_NAME[0][o.subsrc[8] - 1], 10), "MesoWest"));
}

TEST_F(ReaderTest, HfmetarAndFixedProviderNetworks) {
  Cdl h(4);
  h.num("short", "metarType", {"1", "4", "2", "_"}, "-32767s")
      .identity(6, {"KDEN", "KBOU", "KAPA", "KFNL"}, {"40", "40", "40", "40"},
                {"-105", "-105", "-105", "-105"}, {"1", "1", "1", "1"})
      .num("double", "observationTime", {ut(0), ut(0), ut(0), ut(0)}, "3.40282346e+38")
      .num("double", "reportTime", {ut(0), ut(0), ut(0), ut(0)}, "3.40282346e+38")
      .num("double", "receivedTime", {ut(9), ut(9), ut(9), ut(9)}, "3.40282346e+38");
  Out o = read(7, h.text());
  ASSERT_EQ(o.status, 0) << o.messages;
  EXPECT_EQ(o.provider, "ASOS-HFM  ASOS-HFM  OTHER-HFM OTHER-HFM ");
  EXPECT_EQ(o.subsrc, (std::vector<int32_t>{6, 6, 32, 32}));

  const struct {
    int32_t dset;
    const char* name;
    int32_t subsrc;
  } nets[] = {{5, "COOP", 2}, {6, "UrbaNet", 31}, {8, "NEPP", 33}, {9, "HCN", 34}, {10, "CRN", 35}};
  for (const auto& n : nets) {
    Cdl c(2);
    c.identity(6, {"", "ST0001"}, {"40", "41"}, {"-90", "-91"}, {"100", "200"})
        .num("double", "observationTime", {ut(0), ut(-3600)}, "3.40282346e+38")
        .num("double", "reportTime", {ut(0), ut(0)}, "3.40282346e+38")
        .num("double", "receivedTime", {ut(60), ut(60)}, "3.40282346e+38");
    Out a = read(n.dset, c.text());
    ASSERT_EQ(a.status, 0) << n.name << a.messages;
    EXPECT_EQ(a.prov(1), pad(n.name, 10));
    EXPECT_EQ(a.subsrc, (std::vector<int32_t>{0, n.subsrc})) << n.name;  // blank id: 0
    EXPECT_EQ(a.obtime[1], T - 3600);
    EXPECT_EQ(a.wmoid[1], 999999);
  }
}

TEST_F(ReaderTest, BadShapesAndMissingVariablesFailCleanly) {
  auto base = [](const std::string& extra_dims, const std::string& extra_vars,
                 const std::string& extra_data, bool with_lat, bool with_elev) {
    Cdl c(2);
    c.chars("stationId", 12, {"ABCDEFGHIJKL", "X"});
    if (with_lat) c.num("float", "latitude", {"40", "41"});
    c.num("float", "longitude", {"-90", "-91"});
    if (with_elev) c.num("float", "elevation", {"1", "2"});
    c.raw(extra_dims, extra_vars, extra_data);
    c.num("double", "timeObs", {ut(0), ut(0)}, "-1.0");
    return c.text();
  };
  // An identifier wider than 10 characters keeps its first 10.
  Out wide = read(2, base("", "", "", true, true));
  ASSERT_EQ(wide.status, 0) << wide.messages;
  EXPECT_EQ(wide.id(0), "ABCDEFGHIJ");
  EXPECT_EQ(wide.id(1), "X         ");
  // A fill value of -1 makes no real time valid.
  EXPECT_EQ(wide.obtime[0], 999999);

  Out nolat = read(2, base("", "", "", false, true));
  EXPECT_EQ(nolat.status, 2001);
  EXPECT_EQ(nolat.messages, " MSFCRDSTA: BAD NCVID - LATITUDE\n");

  Out twod = read(2, base("  two = 2 ;\n", "  float latitude(recNum, two) ;\n",
                          " latitude = 1, 2, 3, 4 ;\n", false, true));
  EXPECT_EQ(twod.status, 2001);
  EXPECT_EQ(twod.messages, " MSFCRDSTA: BAD NCVINQ - LATITUDE\n");

  // A number with a second dimension of length 1 still holds one value per
  // record and is read with a start and count for every dimension.
  Out one = read(2, base("  one = 1 ;\n", "  float latitude(recNum, one) ;\n",
                         " latitude = 41.5, 42.5 ;\n", false, true));
  ASSERT_EQ(one.status, 0) << one.messages;
  EXPECT_EQ(one.lat, (std::vector<float>{41.5f, 42.5f}));

  Out chr = read(2, base("  w = 3 ;\n", "  char elevation(recNum, w) ;\n",
                         " elevation = \"1\", \"2\" ;\n", true, false));
  EXPECT_EQ(chr.status, 2001);
  EXPECT_EQ(chr.messages, " MSFCRDSTA: BAD NCVINQ - ELEVATION\n");

  // An identifier variable without the record dimension.
  Cdl norec(2);
  norec.raw("  w = 5 ;\n", "  char stationId(w) ;\n", " stationId = \"ABCDE\" ;\n")
      .num("float", "latitude", {"40", "41"});
  Out nr = read(2, norec.text());
  EXPECT_EQ(nr.status, 2001);
  EXPECT_EQ(nr.messages, " MSFCRDSTA: BAD NCVINQ - STATION NAME\n");

  // A WMO number stored as float with a huge fill value is read without
  // failure; a fill value of the file's own type is compared exactly.
  Cdl odd(2);
  odd.chars("autoStationType", 6, {"A", "A"})
      .chars("reportType", 6, {"METAR", "METAR"})
      .num("float", "wmoId", {"72565", "_"}, "9.96921e36f")
      .chars("stationId", 5, {"KDEN", "KXYZ"})
      .num("double", "latitude", {"1.5", "40"}, "1.5")
      .num("float", "longitude", {"-90", "-91"})
      .num("float", "elevation", {"1", "2"})
      .num("double", "timeObs", {ut(0), ut(0)}, "3.40282346e+38");
  Out od = read(1, odd.text());
  ASSERT_EQ(od.status, 0) << od.messages;
  EXPECT_EQ(od.wmoid, (std::vector<int32_t>{72565, 999999}));
  EXPECT_EQ(od.lat, (std::vector<float>{999999.0f, 40.0f}));
}
