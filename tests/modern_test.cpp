// The C++ layer against the public calls: the same values bit for bit, no
// setting leaking from one query to the next, arguments refused before any
// work, and errors carrying the library's status and message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "station_arrays.h"
#include "testutil.h"
#include "voran.h"
#include "voran/voran.hpp"

namespace {

const char* const STALIST_VARS[] = {
    "TD",     "ALTSE",  "P",      "T",      "DD",     "FF",      "SOILM",  "SOILT",  "PCP1H",
    "PCP24H", "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",   "RDT2",   "RDT3",   "RDT4",
    "RDLFT1", "RDLFT2", "RDLFT3", "RDLFT4", "RDLIP1", "RDLIP2",  "RDLIP3",  "RDLIP4", "RDLDP1",
    "RDLDP2", "RDLDP3", "RDLDP4", "RDSTA1", "RDSTA2", "RDSTA3",  "RDSTA4",  "FSRD15M", "FSRD1H",
    "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H", "VIS"};

// The layer's queries on the sample tree.
class Layer : public ::testing::Test {
 protected:
  static std::string data() { return testutil::sample_tree(); }

  static voran::Query query(std::vector<std::string> vars) {
    voran::Query q;
    q.static_dir = testutil::static_dir();
    q.data_dir = data();
    q.time = voran::parse_time("2021-08-25T20:00");
    q.variables = std::move(vars);
    return q;
  }
};

// What a program calling the library directly gets.
struct Direct : StationArrays {
  char atime[9];
};

template <class T>
bool same_bits(const T* a, const T* b, std::size_t n) {
  return std::memcmp(a, b, n * sizeof(T)) == 0;
}

TEST_F(Layer, ValuesEqualThePublicCallsBitForBit) {
  std::vector<std::string> vars(std::begin(STALIST_VARS), std::end(STALIST_VARS));
  vars.push_back("CLDBAS");  // six levels per station
  voran::Query q = query(vars);
  q.providers = std::vector<std::string>{"ALL-MESO", "ALL-MTR"};
  const voran::Hour h = voran::fetch(q);
  ASSERT_EQ(h.status, 0);

  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", data().c_str(), 1);
  Direct d;
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  MSETSFCPVDR("ALL-SFC", false, st);
  MSETSFCPVDR("ALL-MESO", true, st);
  MSETSFCPVDR("ALL-MTR", true, st);
  MCHRTIM(2021, 8, 25, 20, 0, d.atime, st);
  ASSERT_EQ(d.list(d.atime), 0);
  ASSERT_EQ(h.count(), std::size_t(d.nsta));
  const std::size_t n = h.count();
  EXPECT_TRUE(same_bits(h.station_ids.data(), d.stid.data(), n * 10));
  EXPECT_TRUE(same_bits(h.provider_ids.data(), d.prov.data(), n * 10));
  EXPECT_TRUE(same_bits(h.lat.data(), d.lat.data(), n));
  EXPECT_TRUE(same_bits(h.lon.data(), d.lon.data(), n));
  EXPECT_TRUE(same_bits(h.elev.data(), d.elev.data(), n));
  EXPECT_TRUE(same_bits(h.wmo.data(), d.wmo.data(), n));
  EXPECT_TRUE(same_bits(h.source.data(), d.src.data(), n));
  std::set<std::string_view> networks;
  for (std::size_t i = 0; i < n; ++i) networks.insert(h.network(i));
  EXPECT_EQ(networks, (std::set<std::string_view>{"METAR", "MESONET"}));

  ASSERT_EQ(h.columns.size(), vars.size());
  std::size_t compared_present = 0;
  for (std::size_t k = 0; k < vars.size(); ++k) {
    const voran::Column& c = h.columns[k];
    const std::size_t lev = vars[k] == "CLDBAS" ? 6 : 1;
    EXPECT_EQ(c.info.name, vars[k]);
    EXPECT_EQ(c.info.levels, int32_t(lev));
    std::vector<float> obs(n * lev);
    std::vector<char> qcd(n * lev);
    std::vector<int32_t> qca(n * lev), qcr(n * lev);
    int32_t m = 0, nobs = 0;
    MGETSFC({d.atime, 9}, vars[k], m, nobs, obs.data(), qcd.data(), qca.data(), qcr.data(), st);
    EXPECT_EQ(c.status, st == 1005 ? 1005 : 0) << vars[k];
    ASSERT_EQ(c.values.size(), n * lev) << vars[k];
    EXPECT_TRUE(same_bits(c.values.data(), obs.data(), n * lev)) << vars[k];
    EXPECT_TRUE(same_bits(c.qcd.data(), qcd.data(), n * lev)) << vars[k];
    EXPECT_TRUE(same_bits(c.qca.data(), qca.data(), n * lev)) << vars[k];
    EXPECT_TRUE(same_bits(c.qcr.data(), qcr.data(), n * lev)) << vars[k];
    for (float v : c.values) compared_present += v != voran::MISSING;
  }
  EXPECT_GT(compared_present, n * 10);  // the comparison saw real values
  // Units and descriptions come from the tables.
  EXPECT_EQ(h.columns[3].info.units, "K");
  EXPECT_EQ(h.columns[3].info.standard_name, "air_temperature");
  EXPECT_EQ(h.columns[5].info.units, "m s-1");
}

TEST_F(Layer, NoSettingLeaksIntoTheNextQuery) {
  const voran::Hour plain = voran::fetch(query({"T", "TD"}));
  voran::Query narrow = query({"T", "TD"});
  narrow.qc_level = 3;
  narrow.window = {-30, 30, 1};
  narrow.domain = voran::Box{35, 45, -110, -90};
  narrow.providers = std::vector<std::string>{"ALL-MESO", "-MesoWest"};
  const voran::Hour n = voran::fetch(narrow);
  EXPECT_LT(n.count(), plain.count());
  for (std::size_t i = 0; i < n.count(); ++i) {
    EXPECT_GE(n.lat[i], 35.0f);
    EXPECT_LE(n.lon[i], -90.0f);
    EXPECT_EQ(n.network(i), "MESONET");
  }
  // A program that changed the settings behind the layer's back does not
  // change what the next query gets either.
  int32_t st = 0;
  MSETQCLVL(2, st);
  const voran::Hour again = voran::fetch(query({"T", "TD"}));
  ASSERT_EQ(again.count(), plain.count());
  EXPECT_EQ(again.station_ids, plain.station_ids);
  EXPECT_TRUE(same_bits(again.columns[0].values.data(), plain.columns[0].values.data(),
                        plain.count()));
  EXPECT_EQ(again.columns[1].qcd, plain.columns[1].qcd);
}

TEST_F(Layer, QcLevelTurnsFailedValuesMissing) {
  voran::Query q = query({"T"});
  const voran::Hour all = voran::fetch(q);
  q.qc_level = 3;
  const voran::Hour strict = voran::fetch(q);
  ASSERT_EQ(all.count(), strict.count());
  std::size_t dropped = 0;
  for (std::size_t i = 0; i < all.count(); ++i) {
    const float a = all.columns[0].values[i], s = strict.columns[0].values[i];
    if (s != voran::MISSING) {
      EXPECT_EQ(a, s);
    }
    dropped += a != voran::MISSING && s == voran::MISSING;
  }
  EXPECT_GT(dropped, 0u);
}

TEST_F(Layer, StationsAndRadiusCutTheList) {
  voran::Query q = query({"T"});
  const voran::Hour all = voran::fetch(q);
  ASSERT_GT(all.count(), 100u);
  // Pick three identifiers of the full list, one of them with blanks around.
  std::string padded = " ";
  padded += all.station(77);
  padded += ' ';
  std::vector<std::string> ids = {std::string(all.station(5)), std::string(all.station(50)),
                                  padded};
  q.stations = ids;
  const voran::Hour some = voran::fetch(q);
  ASSERT_EQ(some.count(), 3u);
  EXPECT_EQ(some.station(0), all.station(5));
  EXPECT_EQ(some.station(2), all.station(77));
  EXPECT_EQ(some.columns[0].values[1], all.columns[0].values[50]);

  // A radius keeps exactly the stations within it, in the library's order.
  const float lat0 = all.lat[10], lon0 = all.lon[10];
  q.stations.clear();
  q.domain = voran::Radius{lat0, lon0, 150.0f};
  const voran::Hour near = voran::fetch(q);
  std::vector<std::string> expect;
  for (std::size_t i = 0; i < all.count(); ++i) {
    const double r = M_PI / 180, a = std::pow(std::sin((all.lat[i] - lat0) * r / 2), 2) +
                                     std::cos(lat0 * r) * std::cos(all.lat[i] * r) *
                                         std::pow(std::sin((all.lon[i] - lon0) * r / 2), 2);
    if (2 * 6371.0 * std::asin(std::sqrt(a)) <= 150.0) expect.emplace_back(all.station(i));
  }
  ASSERT_GT(expect.size(), 1u);
  ASSERT_LT(expect.size(), all.count());
  std::vector<std::string> got;
  for (std::size_t i = 0; i < near.count(); ++i) got.emplace_back(near.station(i));
  EXPECT_EQ(got, expect);
}

TEST_F(Layer, RangeGoesHourByHourAndReportsAMissingHour) {
  // The tree has 19, 20 and 21 UTC; 18 and 22 have no files.
  voran::Query q = query({"T"});
  q.time = voran::parse_time("2021-08-25T18:00");
  q.end = voran::parse_time("2021-08-25T22:00");
  std::vector<std::pair<std::string, int32_t>> seen;
  std::vector<std::size_t> counts;
  voran::run(q, [&](const voran::Hour& h) {
    seen.emplace_back(voran::format_time(h.time), h.status);
    counts.push_back(h.count());
    EXPECT_EQ(h.columns.size(), 1u);
    EXPECT_EQ(h.columns[0].values.size(), h.count());
  });
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], (std::pair<std::string, int32_t>{"2021-08-25T18:00Z", 1006}));
  EXPECT_EQ(seen[1].second, 0);
  EXPECT_EQ(seen[3].second, 0);
  EXPECT_EQ(seen[4], (std::pair<std::string, int32_t>{"2021-08-25T22:00Z", 1006}));
  EXPECT_EQ(counts[0], 0u);
  EXPECT_GT(counts[2], 1000u);
}

TEST_F(Layer, ReportTimesAreMinutesOfTheListedTime) {
  const voran::Hour h = voran::fetch(query({}));
  const int64_t t0 = voran::to_minutes(h.time);
  std::size_t timed = 0;
  for (int64_t m : h.obs_minutes) {
    if (m == voran::NO_TIME) continue;
    ++timed;
    EXPECT_GT(m, t0 - 120);
    EXPECT_LE(m, t0 + 60);
  }
  EXPECT_GT(timed, h.count() / 2);
}

TEST_F(Layer, BadArgumentsAreRefusedByName) {
  auto argument_of = [](const voran::Query& q) -> std::string {
    try {
      voran::validate(q);
    } catch (const voran::ArgumentError& e) {
      return e.argument();
    }
    return "accepted";
  };
  EXPECT_EQ(argument_of(query({"T"})), "accepted");
  EXPECT_EQ(argument_of(query({"T", "NOSUCH"})), "vars");
  EXPECT_EQ(argument_of(query({"STAID"})), "vars");
  voran::Query q = query({"T"});
  q.providers = std::vector<std::string>{"ALL-MESO", "-NOSUCHPROV"};
  EXPECT_EQ(argument_of(q), "providers");
  q = query({"T"});
  q.domain = voran::Box{45, 35, -110, -90};
  EXPECT_EQ(argument_of(q), "box");
  q = query({"T"});
  q.domain = voran::Radius{40, -100, -5};
  EXPECT_EQ(argument_of(q), "radius");
  q = query({"T"});
  q.qc_level = 4;
  EXPECT_EQ(argument_of(q), "qc-level");
  q = query({"T"});
  q.window = {30, -30, 1};
  EXPECT_EQ(argument_of(q), "window");
  q = query({"T"});
  q.data_dir = data() + "/no/such/dir";
  EXPECT_EQ(argument_of(q), "data");
  q = query({"T"});
  q.end = voran::parse_time("2021-08-24T00:00");
  EXPECT_EQ(argument_of(q), "end");
  // A Lambert grid the library refuses (no spacing).
  q = query({"T"});
  q.domain = voran::Lambert{20, -120, 0, -95, 25, 0.42f, 0, 1e6f, 0, 1e6f};
  EXPECT_EQ(argument_of(q), "lambert");
  EXPECT_THROW(voran::parse_time("2021-02-29T00:00"), voran::ArgumentError);
  EXPECT_THROW(voran::parse_time("2021-08-25T24:00"), voran::ArgumentError);
  EXPECT_THROW(voran::parse_time("2021-08-25X20:00"), voran::ArgumentError);
  EXPECT_THROW(voran::fetch(query({"NOSUCH"})), voran::ArgumentError);
}

TEST_F(Layer, LibraryFailuresCarryStatusAndMessage) {
  // A code table with an invalid type letter on its second line.
  const std::string dir = testutil::make_tmpdir();
  std::filesystem::copy(testutil::static_dir(), dir + "/static");
  testutil::write_file(dir + "/static/sfcvcn.txt", "ALTSE            3   N\nT                8   X\n");
  voran::Query q = query({"T"});
  q.static_dir = dir + "/static";
  try {
    voran::fetch(q);
    ADD_FAILURE() << "accepted a broken code table";
  } catch (const voran::Error& e) {
    EXPECT_EQ(e.status(), 4002);
    EXPECT_EQ(e.kind(), voran::ErrorKind::BadTable);
    EXPECT_EQ(e.call(), "MINIT");
    EXPECT_EQ(e.message(), "MRDVCODE: INTV - INVALID VARIABLE TYPE AT VCNTBL LINE   2");
  }
  std::filesystem::remove_all(dir);
  // The next good query is unaffected.
  EXPECT_GT(voran::fetch(query({"T"})).count(), 1000u);
}

TEST_F(Layer, TablesListVariablesAndProviders) {
  const auto vars = voran::variables(testutil::static_dir());
  ASSERT_GT(vars.size(), 100u);
  auto find = [&](const std::string& n) {
    return std::find_if(vars.begin(), vars.end(), [&](const auto& v) { return v.name == n; });
  };
  ASSERT_NE(find("CLDBAS"), vars.end());
  EXPECT_EQ(find("CLDBAS")->levels, 6);
  EXPECT_EQ(find("CLDBAS")->code, 44);
  EXPECT_EQ(find("STAID")->type, 'C');
  EXPECT_EQ(find("TD")->units, "K");
  const voran::Providers p = voran::providers(testutil::static_dir());
  EXPECT_EQ(p.networks.size(), 10u);
  ASSERT_GE(p.providers.size(), 35u);
  EXPECT_EQ(p.providers[0], "ASOS");
  EXPECT_EQ(p.providers[34], "CRN");
}

TEST_F(Layer, ThreadsShareTheLayerSafely) {
  const voran::Hour t = voran::fetch(query({"T"}));
  voran::Query meso = query({"TD"});
  meso.providers = std::vector<std::string>{"ALL-MESO"};
  const voran::Hour td = voran::fetch(meso);
  std::vector<voran::Hour> a(4), b(4);
  std::thread x([&] {
    for (auto& h : a) h = voran::fetch(query({"T"}));
  });
  std::thread y([&] {
    for (auto& h : b) h = voran::fetch(meso);
  });
  x.join();
  y.join();
  for (const auto& h : a) {
    EXPECT_EQ(h.station_ids, t.station_ids);
    EXPECT_EQ(h.columns[0].values, t.columns[0].values);
  }
  for (const auto& h : b) {
    EXPECT_EQ(h.station_ids, td.station_ids);
    EXPECT_EQ(h.columns[0].qcd, td.columns[0].qcd);
  }
}

TEST(LayerTime, ParseFormatAndMinutes) {
  const voran::Time t = voran::parse_time("2021-08-25T20:00Z");
  EXPECT_EQ(t, (voran::Time{2021, 8, 25, 20, 0}));
  EXPECT_EQ(voran::parse_time("2021-08-25 20:00"), t);
  EXPECT_EQ(voran::parse_time("2021-08-25T20"), t);
  EXPECT_EQ(voran::format_time(t), "2021-08-25T20:00Z");
  EXPECT_EQ(voran::to_minutes(voran::Time{1970, 1, 1, 0, 0}), 0);
  EXPECT_EQ(voran::to_minutes(voran::Time{2024, 3, 1, 0, 0}) -
                voran::to_minutes(voran::Time{2024, 2, 28, 0, 0}),
            2 * 1440);
  for (int64_t m : {int64_t(-1), int64_t(0), int64_t(27172800), int64_t(55000000)})
    EXPECT_EQ(voran::to_minutes(voran::from_minutes(m)), m);
  voran::Query q;
  q.time = voran::parse_time("2021-12-31T22:00");
  q.end = voran::parse_time("2022-01-01T02:00");
  q.step_minutes = 120;
  const auto ts = q.times();
  ASSERT_EQ(ts.size(), 3u);
  EXPECT_EQ(voran::format_time(ts[1]), "2022-01-01T00:00Z");
}

}  // namespace

namespace {

// The inquiry calls the layer stands on: bounded by the tables, and the
// last message kept whether or not messages are on.
TEST(Inquiries, IndexOutsideTheTableAndTheLastMessage) {
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", "/", 1);
  int32_t st = 0, count = -1, code = 0;
  MINIT("SFC", "ZEM", false, st);
  ASSERT_EQ(st, 0);
  char name[10];
  char type = ' ';
  for (int32_t i : {0, -1}) {
    MVCNINQ(i, name, code, &type, count, st);
    EXPECT_EQ(st, MST_BAD_TABLE);
  }
  EXPECT_GT(count, 100);
  MVCNINQ(count + 1, name, code, &type, count, st);
  EXPECT_EQ(st, MST_BAD_TABLE);
  MVCNINQ(count, name, code, &type, count, st);
  EXPECT_EQ(st, 0);
  bool sel = false;
  int32_t np = 0;
  MSFCPVDRINQ(np + 1000, name, sel, np, st);
  EXPECT_EQ(st, MST_BAD_TABLE);
  EXPECT_GE(np, 35);
  MSFCPVDRINQ(1, name, sel, np, st);
  EXPECT_EQ(std::string(name, 10), "ASOS      ");
  EXPECT_TRUE(sel);

  MCLRMSG();
  EXPECT_EQ(MGETMSG(nullptr, 0), 0);
  int32_t n = 0, nobs = 0;
  float obs;
  char qcd;
  int32_t qca, qcr;
  MGETSFC("212372000", "T", n, nobs, &obs, &qcd, &qca, &qcr, st);
  EXPECT_EQ(st, MST_TIME_NOT_SET);
  char text[8];
  const int32_t len = MGETMSG(text, sizeof text);
  EXPECT_EQ(len, int32_t(std::string_view("MGETSFC: TIME NOT INITIALIZED BY MSFCSTA").size()));
  EXPECT_EQ(std::string(text, sizeof text), "MGETSFC:");
}

}  // namespace

namespace {

// The layer writes the directories it is given into the environment for the
// library; a later query that names none still gets the caller's setting.
TEST(LayerEnvironment, QueriesWithoutDirectoriesGetTheCallersSetting) {
  const std::string copy = testutil::make_tmpdir() + "/static";
  std::filesystem::copy(testutil::static_dir(), copy);
  // A code table that knows only T: a query reaching it cannot ask for TD.
  testutil::write_file(copy + "/sfcvcn.txt", "T                8   N\n");
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", testutil::sample_tree().c_str(), 1);
  voran::Query named;
  named.static_dir = copy;
  named.data_dir = testutil::sample_tree();
  named.time = voran::parse_time("2021-08-25T20:00");
  named.variables = {"T"};
  EXPECT_GT(voran::fetch(named).count(), 1000u);
  voran::Query plain = named;
  plain.static_dir.clear();
  plain.variables = {"TD"};
  EXPECT_GT(voran::fetch(plain).count(), 1000u);  // the environment's tables know TD
  named.variables = {"TD"};
  EXPECT_THROW(voran::fetch(named), voran::ArgumentError);
  std::filesystem::remove_all(std::filesystem::path(copy).parent_path());
}

}  // namespace
