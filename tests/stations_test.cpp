// Station lists end to end: MINIT, provider selection and MSFCSTA over a
// data tree of fixture files of every network.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stations/stations.h"
#include "stations_fixtures.h"
#include "testutil.h"

namespace {

using stfix::Cdl;

int32_t T;  // 2021-08-25 20:00
const char* const TIME = "212372000";

const char* const DIRS[10] = {
    "/point/metar/netcdf/",  "/point/maritime/netcdf/", "/point/sao/netcdf/",
    "/KORB/mesonet/netCDF/", "/KORB/coop/netCDF/",      "/KORB/urbanet/netCDF/",
    "/KORB/hfmetar/netCDF/", "/KORB/nepp/netCDF/",      "/KORB/hcn/netCDF/",
    "/KORB/crn/netCDF/"};

struct Rec {
  std::string id;
  float lat = 40.0f, lon = -105.0f;
  int32_t dt = 0;  // seconds from T
  std::string provider = "MesoWest";
  std::string rtype = "METAR";
  std::string atype = "A";
  int32_t wmo = 0;
};

std::string f2s(float v) { return std::to_string(v); }

// A data file of network d holding recs.
std::string network_cdl(int d, const std::vector<Rec>& recs) {
  Cdl c(static_cast<int>(recs.size()));
  std::vector<std::string> ids, lat, lon, elev, t, rcv, rt, at, wmo, prov, mt;
  for (const Rec& r : recs) {
    ids.push_back(r.id);
    lat.push_back(f2s(r.lat));
    lon.push_back(f2s(r.lon));
    elev.push_back("100");
    t.push_back(stfix::unix_time(T + static_cast<int64_t>(r.dt)));
    rcv.push_back(stfix::unix_time(T + static_cast<int64_t>(r.dt) + 60));
    rt.push_back(r.rtype);
    at.push_back(r.atype);
    wmo.push_back(r.wmo ? std::to_string(r.wmo) : "_");
    prov.push_back(r.provider);
    mt.push_back(r.rtype == "METAR" ? "1" : "2");
  }
  const int width[10] = {5, 8, 5, 6, 6, 6, 6, 6, 6, 6};
  if (d == 1 || d == 3) {
    c.chars("autoStationType", 6, at).chars("reportType", d == 1 ? 6 : 5, rt);
  }
  if (d == 4) c.chars("dataProvider", 11, prov);
  if (d == 7) c.num("int", "metarType", mt, "-9999");
  if (d == 1 || d == 3 || d == 4) c.num("int", "wmoId", wmo, "-2147483647");
  c.identity(width[d - 1], ids, lat, lon, elev);
  if (d <= 3) {
    c.num("double", "timeObs", t, "3.40282346e+38");
  } else {
    c.num("double", "observationTime", t, "3.40282346e+38")
        .num("double", "reportTime", t, "3.40282346e+38")
        .num("double", "receivedTime", rcv, "3.40282346e+38");
  }
  return c.text();
}

struct List {
  int32_t nsta = -1, status = -1;
  std::vector<int32_t> wmoid, source;
  std::vector<float> lat, lon, elev;
  std::string stid, obstime, provider, messages;
  List()
      : wmoid(VORAN_MAX_STATIONS), source(VORAN_MAX_STATIONS), lat(VORAN_MAX_STATIONS),
        lon(VORAN_MAX_STATIONS), elev(VORAN_MAX_STATIONS), stid(10 * VORAN_MAX_STATIONS, '#'),
        obstime(9 * VORAN_MAX_STATIONS, '#'), provider(10 * VORAN_MAX_STATIONS, '#') {}
  std::string id(int k) const { return std::string(voran::ftrim(stid.substr(10 * k, 10))); }
  std::string ids() const {
    std::string s;
    for (int k = 0; k < nsta; ++k) (s += k ? "," : "") += id(k);
    return s;
  }
  std::string provs() const {
    std::string s;
    for (int k = 0; k < nsta; ++k)
      s += (k ? "," : "") + std::string(voran::ftrim(provider.substr(10 * k, 10)));
    return s;
  }
  std::string obs(int k) const { return obstime.substr(9 * k, 9); }
};

class StationsTest : public ::testing::Test {
 protected:
  std::string data_;

  void SetUp() override {
    data_ = testutil::make_tmpdir();
    setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
    setenv("VORAN_DATA", data_.c_str(), 1);
    unsetenv("VORAN_SERVER");
    int32_t st = -1;
    MINIT("SFC", "ZEM", true, st);
    ASSERT_EQ(st, 0);
    M_MKI4TM(TIME, T, st);
    ASSERT_EQ(st, 0);
  }

  void put(int d, const std::string& stem, const std::vector<Rec>& recs) {
    ASSERT_TRUE(testutil::ncgen(network_cdl(d, recs), data_ + DIRS[d - 1] + stem));
  }

  void select_only(const char* name) {
    int32_t st = -1;
    MSETSFCPVDR("ALL-SFC", false, st);
    ASSERT_EQ(st, 0);
    MSETSFCPVDR(name, true, st);
    ASSERT_EQ(st, 0);
  }

  void window(int32_t before, int32_t after, int32_t recwin) {
    int32_t st = -1;
    MSETWIN(before, after, recwin, st);
    ASSERT_EQ(st, 0);
  }

  static List call(const char* time = TIME) {
    List l;
    testing::internal::CaptureStdout();
    MSFCSTA(time, l.nsta, l.stid.data(), l.wmoid.data(), l.lat.data(), l.lon.data(),
            l.elev.data(), l.obstime.data(), l.provider.data(), l.status, l.source.data());
    l.messages = testing::internal::GetCapturedStdout();
    return l;
  }

  static std::string list_time() { return std::string(VORANCOM1.LIST_TIME[0], 9); }

  static void expect_too_many(const List& l) {
    EXPECT_EQ(l.status, 14);
    EXPECT_EQ(l.nsta, 0);
    EXPECT_EQ(l.messages, " MSFCSTA: TOO MANY RECORDS REQUESTED\n");
    EXPECT_EQ(list_time(), "         ");
  }
};

}  // namespace

TEST_F(StationsTest, EveryNetworkInSourceOrder) {
  const std::string stem = "20210825_2000";
  Rec r;
  auto rec = [&](const std::string& id, float la, float lo) {
    Rec x = r;
    x.id = id;
    x.lat = la;
    x.lon = lo;
    return x;
  };
  Rec test = rec("KTST", 40, -104);
  test.rtype = "TEST";
  Rec mmmx = rec("MMMX", 43.7f, -79.6f);
  mmmx.wmo = 71624;
  mmmx.dt = -420;
  put(1, stem, {rec("KDEN", 39.85f, -104.65f), test, mmmx});
  put(2, stem, {rec("45006", 47.0f, -88.0f), rec("SHIP1234", 45.0f, -60.0f)});
  Rec manual = rec("CYOW", 45.3f, -75.7f);
  manual.atype = "M";
  Rec auto_sa = rec("CYUL", 45.5f, -73.7f);
  auto_sa.rtype = "SA";
  manual.rtype = "SA";
  put(3, stem, {manual, auto_sa});
  Rec m1 = rec("DUPL", 41, -100), m2 = rec("DUPL", 41, -100), m3 = rec("", 42, -101),
      m4 = rec("KDEN", 39.85f, -104.65f);
  m2.provider = "APRSWXNET";
  m3.wmo = 72469;
  put(4, stem, {m1, m2, m3, m4});
  for (int d = 5; d <= 10; ++d) put(d, stem, {rec("S" + std::to_string(d), 35, -90)});

  List l = call();
  ASSERT_EQ(l.status, 0) << l.messages;
  EXPECT_EQ(l.ids(), "KDEN,MMMX,45006,SHIP1234,CYUL,DUPL,DUPL,72469,KDEN,S5,S6,S7,S8,S9,S10");
  EXPECT_EQ(l.nsta, SFCSTRN.STATION_COUNT);
  const std::vector<int32_t> src = {1, 1, 2, 2, 3, 4, 4, 4, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(std::vector<int32_t>(l.source.begin(), l.source.begin() + l.nsta), src);
  EXPECT_EQ(l.provs(), "ASOS,OTHER-MTR,MARITIME,MARITIME,SAO,MesoWest,APRSWXNET,MesoWest,"
                      "MesoWest,COOP,UrbaNet,ASOS-HFM,NEPP,HCN,CRN");
  EXPECT_EQ(l.wmoid[1], 71624);
  EXPECT_EQ(l.wmoid[2], 999999);
  EXPECT_EQ(l.wmoid[7], 72469);
  EXPECT_EQ(l.obs(0), "212372000");
  EXPECT_EQ(l.obs(1), "212371953");
  EXPECT_EQ(l.lat[0], 39.85f);
  EXPECT_EQ(list_time(), TIME);
  // One open file per network, slots in opening order; the list points at
  // the file and record of every station.
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 10);
  for (int s = 1; s <= 10; ++s) {
    EXPECT_EQ(SFCSTRN.FILE_DSET[s - 1], s);
    EXPECT_GT(SFCSTRN.FILE_NCID[s - 1], 0);
    EXPECT_EQ(std::string(SFCSTRC.FILE_NAME[s - 1], 13), stem);
  }
  EXPECT_EQ(SFCSTRN.FILE_NREC[0], 3);
  EXPECT_EQ(SFCSTRN.STA_FILE[1], 1);
  EXPECT_EQ(SFCSTRN.STA_REC[1], 3);
  EXPECT_EQ(SFCSTRN.STA_FILE[8], 4);
  EXPECT_EQ(SFCSTRN.STA_REC[8], 4);

  // Only COOP selected: every station has source 5.
  select_only("COOP");
  EXPECT_EQ(list_time(), "         ");
  List c = call();
  ASSERT_EQ(c.status, 0);
  ASSERT_EQ(c.nsta, 1);
  EXPECT_EQ(c.source[0], 5);
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 1);
}

TEST_F(StationsTest, WindowOverTwoFilesForEveryRecordMode) {
  select_only("ALL-MTR");
  Rec a{"KDEN"}, b{"KBOU"};
  a.dt = -1200;
  b.dt = -300;
  Rec c = a, d = b;
  c.dt = 300;
  d.dt = 600;
  put(1, "20210825_1900", {a, b});
  put(1, "20210825_2000", {c, d});
  struct Case {
    int32_t recwin;
    std::string ids, times;
  } cases[] = {{0, "KDEN,KBOU,KDEN,KBOU", "212371940,212371955,212372005,212372010"},
               {1, "KDEN,KBOU", "212372005,212371955"},
               {2, "KDEN,KBOU", "212371940,212371955"},
               {3, "KDEN,KBOU", "212372005,212372010"},
               {4, "KDEN,KBOU,KDEN,KBOU", "212371940,212371955,212372005,212372010"}};
  for (const Case& k : cases) {
    window(-30, 30, k.recwin);
    List l = call();
    ASSERT_EQ(l.status, 0) << l.messages;
    EXPECT_EQ(l.ids(), k.ids) << "recwin " << k.recwin;
    std::string times;
    for (int i = 0; i < l.nsta; ++i) (times += i ? "," : "") += l.obs(i);
    EXPECT_EQ(times, k.times) << "recwin " << k.recwin;
    EXPECT_EQ(SFCSTRN.FILE_COUNT, 2);
    EXPECT_EQ(std::string(SFCSTRC.FILE_NAME[0], 13), "20210825_1900");
    // Each station points at the file and record of the report it kept.
    for (int i = 0; i < l.nsta; ++i) {
      int32_t f = SFCSTRN.STA_FILE[i], r = SFCSTRN.STA_REC[i];
      bool later = l.obs(i) >= "212372000";
      EXPECT_EQ(f, later ? 2 : 1);
      EXPECT_EQ(r, l.id(i) == "KDEN" ? 1 : 2);
    }
  }
  // A narrow window after t reads one file and drops earlier reports.
  window(0, 5, 4);
  List n = call();
  ASSERT_EQ(n.status, 0);
  EXPECT_EQ(n.ids(), "KDEN");
  EXPECT_EQ(n.obs(0), "212372005");
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 1);
}

TEST_F(StationsTest, BadFilesAreSkippedAndTheirSlotsReused) {
  select_only("ALL-MTR");
  window(-180, 0, 4);
  Rec ok{"KDEN"};
  put(1, "20210825_2000", {ok});
  put(1, "20210825_1700", {});  // no records
  testutil::write_file(data_ + DIRS[0] + "20210825_1800", "not a netCDF file\n");
  Cdl nolat(1);  // identity variables incomplete
  nolat.chars("autoStationType", 6, {"A"})
      .chars("reportType", 6, {"METAR"})
      .num("int", "wmoId", {"1"})
      .chars("stationId", 5, {"KBAD"})
      .num("double", "timeObs", {stfix::unix_time(T - 3600)}, "1e38");
  ASSERT_TRUE(testutil::ncgen(nolat.text(), data_ + DIRS[0] + "20210825_1900"));

  List l = call();
  ASSERT_EQ(l.status, 0) << l.messages;
  EXPECT_EQ(l.ids(), "KDEN");
  EXPECT_EQ(l.messages, " MSFCRDSTA: BAD NCVID - LATITUDE\n");
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 1);
  EXPECT_EQ(std::string(SFCSTRC.FILE_NAME[0], 13), "20210825_2000");
  EXPECT_EQ(SFCSTRN.STA_FILE[0], 1);
  EXPECT_EQ(SFCSTRN.STA_REC[0], 1);
  EXPECT_GT(SFCSTRN.FILE_NCID[0], 0);
  EXPECT_EQ(SFCSTRN.FILE_NCID[1], -1);

  // Five files for one network is more than a request may open.
  window(-240, 0, 4);
  expect_too_many(call());
}

TEST_F(StationsTest, NoDataInvalidTimeNotInitialisedAndClosing) {
  put(1, "20210825_2000", {Rec{"KDEN"}});
  List first = call();
  ASSERT_EQ(first.status, 0);
  const int ncid = SFCSTRN.FILE_NCID[0];
  int ndims = 0;
  ASSERT_EQ(nc_inq_ndims(ncid, &ndims), NC_NOERR);

  // A time without files: status 1006, the files of the last list closed.
  List none = call("212380000");
  EXPECT_EQ(none.status, 1006);
  EXPECT_EQ(none.nsta, 0);
  EXPECT_EQ(none.messages, " MSFCSTA: NO DATA FOR 212380000\n");
  EXPECT_EQ(list_time(), "         ");
  EXPECT_NE(nc_inq_ndims(ncid, &ndims), NC_NOERR);

  List bad = call("21237200X");
  EXPECT_EQ(bad.status, 4);
  EXPECT_EQ(bad.messages, " MSFCSTA: INVALID TIME\n");

  VORANCOM2.DSINIT[0] = 0;
  List uninit = call();
  EXPECT_EQ(uninit.status, 3002);
  EXPECT_EQ(uninit.messages, " MSFCSTA: SELECTED SUBSYSTEM NOT INITIALIZED - SFC\n");
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;
}

TEST_F(StationsTest, GridFrameFlagsAndQcLevel99) {
  select_only("ALL-MTR");
  Rec in{"KDEN"}, out{"FACT"}, pole{"NPOL"};
  out.lat = -33.9f;
  out.lon = 18.6f;
  pole.lat = 90.0f;
  pole.lon = 0.0f;
  put(1, "20210825_2000", {in, out, pole});
  List l = call();
  ASSERT_EQ(l.status, 0) << l.messages;
  ASSERT_EQ(l.nsta, 3);
  EXPECT_TRUE(IN_GRID(1, 1));
  EXPECT_FALSE(IN_GRID(1, 2));
  EXPECT_FALSE(IN_GRID(1, 3));
  EXPECT_FALSE(IN_GRID(1, 4));  // no such record
  EXPECT_FALSE(IN_GRID(2, 1));  // no such slot

  // Level 3 reached through 99: "S" passes only outside the frame.
  VARTBL.QCSTAGE[7][0] = 3;
  VORANCOM2.QC_SOURCE = 1;
  VORANCOM2.QCFLTR_SLOT = 1;
  VORANCOM2.QC_LEVEL = 99;
  char qcd[3] = {'S', 'S', 'V'};
  float v[3] = {1, 2, 3};
  MQCFLTR(8, 1, 1, 3, qcd, nullptr, nullptr, v);
  EXPECT_EQ(v[0], 999999.0f);
  EXPECT_EQ(v[1], 2.0f);
  EXPECT_EQ(v[2], 3.0f);
  // Level 3 asked for directly: "S" fails everywhere.
  VORANCOM2.QC_LEVEL = 3;
  float w[3] = {1, 2, 3};
  MQCFLTR(8, 1, 1, 3, qcd, nullptr, nullptr, w);
  EXPECT_EQ(w[1], 999999.0f);
  VORANCOM2.QC_LEVEL = 0;
  VORANCOM2.QCFLTR_SLOT = 0;
}

TEST_F(StationsTest, EveryDomainType) {
  select_only("ALL-MTR");
  Rec den{"KDEN"}, tyo{"RJTT"}, syd{"YSSY"};
  den.lat = 39.85f;
  den.lon = -104.65f;
  tyo.lat = 35.5f;
  tyo.lon = 139.8f;
  syd.lat = -33.9f;
  syd.lon = 151.2f;
  put(1, "20210825_2000", {den, tyo, syd});
  int32_t st = -1;
  EXPECT_EQ(call().ids(), "KDEN,RJTT,YSSY");
  MSETBOXDOM(20, 55, -130, -60, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(call().ids(), "KDEN");
  MSETBOXDOM(-40, 40, 100, 180, st);
  EXPECT_EQ(call().ids(), "RJTT,YSSY");
  MSETPSDOM(3897800, 9182641, -105, 60, -7500, 8677500, -7500, 8197500, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(call().ids(), "KDEN");
  MSETLCDOM(12.19f, -133.459f, 40635, -95, 25, 0.422618f, 0, 3738420, 0, 2600640, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(call().ids(), "KDEN");
  MSETNODOM(st);
  EXPECT_EQ(call().ids(), "KDEN,RJTT,YSSY");
}

TEST_F(StationsTest, StationLimitOfSixHundredThousand) {
  select_only("COOP");
  const int n = VORAN_MAX_STATIONS + 1;
  std::string lat, rep, t = stfix::unix_time(T);
  lat.reserve(4 * n);
  for (int i = 0; i < n; ++i) lat += i + 1 < n ? "40, " : "10";  // the last one further south
  auto list = [&](const std::string& v) {
    std::string s;
    s.reserve((v.size() + 2) * n);
    for (int i = 0; i < n; ++i) s += (i ? ", " : "") + v;
    return s;
  };
  std::string text = "netcdf big {\ndimensions:\n recNum = UNLIMITED ;\n w = 1 ;\nvariables:\n"
                     " char stationId(recNum, w) ;\n float latitude(recNum) ;\n"
                     " float longitude(recNum) ;\n float elevation(recNum) ;\n"
                     " double observationTime(recNum) ;\n observationTime:_FillValue = 1e38 ;\n"
                     " double reportTime(recNum) ;\n reportTime:_FillValue = 1e38 ;\n"
                     " double receivedTime(recNum) ;\n receivedTime:_FillValue = 1e38 ;\n"
                     "data:\n stationId = " + list("\"C\"") + " ;\n latitude = " + lat +
                     " ;\n longitude = " + list("-90") + " ;\n elevation = " + list("1") +
                     " ;\n observationTime = " + list(t) + " ;\n reportTime = " + list(t) +
                     " ;\n receivedTime = " + list(t) + " ;\n}\n";
  ASSERT_TRUE(testutil::ncgen(text, data_ + DIRS[4] + "20210825_2000"));
  int32_t st = -1;
  MSETBOXDOM(20, 50, -100, -80, st);  // excludes the last record
  List fits = call();
  ASSERT_EQ(fits.status, 0) << fits.messages;
  EXPECT_EQ(fits.nsta, VORAN_MAX_STATIONS);
  EXPECT_EQ(SFCSTRN.STA_REC[VORAN_MAX_STATIONS - 1], VORAN_MAX_STATIONS);
  MSETNODOM(st);
  expect_too_many(call());
}

TEST_F(StationsTest, ReportLimitOfOneNetworkStopsTheRequest) {
  select_only("ALL-MTR");
  int32_t st = -1;
  MSETSFCPVDR("COOP", true, st);
  window(-30, 30, 0);
  put(1, "20210825_1900", {Rec{"KDEN"}, Rec{"KBOU"}});
  put(5, "20210825_2000", {Rec{"C1"}});
  put(5, "20210825_1900", {Rec{"C0"}});
  // A METAR file whose records would not fit beside the two read before:
  // a one-character-per-record variable sets the record count cheaply.
  auto big = [&](int nrec) {
    std::string text = "netcdf big {\ndimensions:\n recNum = UNLIMITED ;\nvariables:\n"
                       " char c(recNum) ;\ndata:\n c = \"" + std::string(nrec, 'x') + "\" ;\n}\n";
    ASSERT_TRUE(testutil::ncgen(text, data_ + DIRS[0] + "20210825_2000"));
  };
  big(2400000 - 2);  // fits exactly: read, refused by the reader, skipped
  List fits = call();
  ASSERT_EQ(fits.status, 0);
  EXPECT_EQ(fits.ids(), "KDEN,KBOU,C0,C1");
  EXPECT_EQ(fits.messages, " MSFCRDSTA: BAD NCVID - ATYPE\n");
  big(2400000 - 1);  // one too many: no message, later networks not read
  List over = call();
  ASSERT_EQ(over.status, 0);
  EXPECT_EQ(over.ids(), "KDEN,KBOU");
  EXPECT_EQ(over.messages, "");
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 1);
}
