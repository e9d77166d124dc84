// The sample generator over a range of hours, read back through the public
// calls: the same stations every hour but for a few outages, duplicated
// reports that the record selection folds, a daily cycle by local time,
// weather that moves, no jump at the afternoon's edge, and arguments it
// refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testutil.h"
#include "voran.h"

namespace {

const char* const GEN = VORAN_BINARY_DIR "/gen_sample";
const char* const TABLES = VORAN_SOURCE_DIR "/static";

// One hour of one provider group, as a program calling the library sees it.
struct Hour {
  static constexpr std::size_t N = VORAN_MAX_STATIONS;
  int32_t nsta = 0;
  std::vector<char> stid = std::vector<char>(N * 10), prov = stid, obst = std::vector<char>(N * 9);
  std::vector<int32_t> wmo = std::vector<int32_t>(N), src = wmo;
  std::vector<float> lat = std::vector<float>(N), lon = lat, elev = lat;
  char atime[9] = {};
  std::map<std::string, std::vector<float>> values;

  std::string id(int32_t i) const { return std::string(&stid[std::size_t(i) * 10], 10); }
  std::string provider(int32_t i) const { return std::string(&prov[std::size_t(i) * 10], 10); }
  // Identifier and provider: what tells two mesonet stations apart.
  std::string key(int32_t i) const { return id(i) + "/" + provider(i); }
};

// Reads the hour (UTC, day of August 2021 or later via the day offset) of
// one provider group and the named variables. `window` selects the latest
// report of each station within the hour instead of every report.
void read_hour(const std::string& data, int day, int hour, const char* group,
               const std::vector<std::string>& vars, Hour& h, bool window = false) {
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", data.c_str(), 1);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  ASSERT_EQ(st, 0);
  MSETSFCPVDR("ALL-SFC", false, st);
  ASSERT_EQ(st, 0);
  MSETSFCPVDR(group, true, st);
  ASSERT_EQ(st, 0);
  if (window) {
    MSETWIN(0, 59, 3, st);
    ASSERT_EQ(st, 0);
  }
  // Days past August are counted on into September.
  const int month = day > 31 ? 9 : 8, mday = day > 31 ? day - 31 : day;
  MCHRTIM(2021, month, mday, hour, 0, h.atime, st);
  ASSERT_EQ(st, 0);
  const std::string_view at(h.atime, 9);
  MSFCSTA(at, h.nsta, h.stid.data(), h.wmo.data(), h.lat.data(), h.lon.data(), h.elev.data(),
          h.obst.data(), h.prov.data(), st, h.src.data());
  ASSERT_EQ(st, 0) << data << " " << day << " " << hour;
  ASSERT_GT(h.nsta, 0);
  std::vector<char> qcd(std::size_t(VORAN_MAX_STATIONS) * 6);
  std::vector<int32_t> qca(std::size_t(VORAN_MAX_STATIONS) * 6), qcr(qca.size());
  for (const std::string& v : vars) {
    std::vector<float>& obs = h.values[v];
    obs.assign(std::size_t(VORAN_MAX_STATIONS), 0.0f);
    int32_t n = 0, nobs = 0;
    MGETSFC(at, v, n, nobs, obs.data(), qcd.data(), qca.data(), qcr.data(), st);
    ASSERT_EQ(st, 0) << v;
    ASSERT_EQ(n, h.nsta) << v;
    obs.resize(std::size_t(h.nsta));
  }
}

bool present(float v) { return v != VORAN_MISSING && std::isfinite(v); }

// Mean of a variable over the stations a predicate picks.
template <class Pick>
double mean_of(const Hour& h, const std::string& var, Pick pick, int* count = nullptr) {
  double sum = 0;
  int n = 0;
  const std::vector<float>& v = h.values.at(var);
  for (int32_t i = 0; i < h.nsta; ++i)
    if (present(v[std::size_t(i)]) && pick(i)) {
      sum += v[std::size_t(i)];
      ++n;
    }
  if (count != nullptr) *count = n;
  return n > 0 ? sum / n : NAN;
}

// Fourteen hours from 2021-08-25 22 UTC to 2021-08-26 11 UTC, the default
// afternoon, and a range across the afternoon's end; made once.
class Range : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new std::string(testutil::make_tmpdir());
    const char* range[] = {GEN, "range", TABLES, "--start", "2021-08-25T22:00", "--hours", "14", nullptr};
    const char* afternoon[] = {GEN, "afternoon", TABLES, nullptr};
    const char* edge[] = {GEN, "--hours=3", "edge", "--start=2021-08-25T20:00", TABLES, nullptr};
    for (const char* const* argv : {range, afternoon, edge})
      ASSERT_EQ(testutil::run_program(*root_, argv, *root_ + "/gen.out", *root_ + "/gen.err"), 0)
          << testutil::read_file(*root_ + "/gen.err");
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*root_);
    delete root_;
  }
  static std::string dir(const char* name) { return *root_ + "/" + name; }
  // Hour k of the range: 22 UTC on the 25th is 0.
  static void range_hour(int k, const char* group, const std::vector<std::string>& vars, Hour& h,
                         bool window = false) {
    read_hour(dir("range"), 25 + (22 + k) / 24, (22 + k) % 24, group, vars, h, window);
  }
  static std::string* root_;
};
std::string* Range::root_ = nullptr;

constexpr int HOURS = 14;

TEST_F(Range, SameMesonetStationsEveryHourButAFewOutages) {
  // The afternoon's stations, with position and elevation.
  Hour h;
  read_hour(dir("afternoon"), 25, 21, "ALL-MESO", {}, h);
  std::map<std::string, std::vector<float>> afternoon;
  for (int32_t i = 0; i < h.nsta; ++i) afternoon[h.key(i)] = {h.lat[i], h.lon[i], h.elev[i]};
  ASSERT_GT(afternoon.size(), 3000u);

  int outages = 0, doubles = 0;
  std::set<std::string> seen;
  for (int k = 0; k < HOURS; ++k) {
    range_hour(k, "ALL-MESO", {}, h);
    std::map<std::string, int> reports;
    for (int32_t i = 0; i < h.nsta; ++i) {
      const std::string key = h.key(i);
      auto it = afternoon.find(key);
      ASSERT_NE(it, afternoon.end()) << "hour " << k << ": a station the afternoon lacks: " << key;
      EXPECT_EQ(it->second, (std::vector<float>{h.lat[i], h.lon[i], h.elev[i]})) << key;
      ++reports[key];
      seen.insert(key);
    }
    const int missing = static_cast<int>(afternoon.size() - reports.size());
    EXPECT_LT(missing, static_cast<int>(afternoon.size()) / 50) << "hour " << k;
    outages += missing;
    for (const auto& [key, n] : reports) {
      EXPECT_LE(n, 2) << key;
      doubles += n - 1;
    }
  }
  EXPECT_GT(outages, 0);   // some stations miss some hours
  EXPECT_GT(doubles, 0);   // and some report twice
  // No station is gone for good.
  EXPECT_EQ(seen.size(), afternoon.size());
}

TEST_F(Range, DuplicatedReportsFoldUnderRecordSelection) {
  for (const char* group : {"ALL-MESO", "ALL-MTR"}) {
    int folded = 0;
    for (int k = 0; k < 4; ++k) {
      Hour all, latest;
      range_hour(k, group, {"T"}, all);
      range_hour(k, group, {"T"}, latest, true);
      std::set<std::string> keys;
      for (int32_t i = 0; i < latest.nsta; ++i)
        EXPECT_TRUE(keys.insert(latest.key(i)).second) << group << " twice: " << latest.key(i);
      std::set<std::string> all_keys;
      for (int32_t i = 0; i < all.nsta; ++i) all_keys.insert(all.key(i));
      EXPECT_EQ(keys, all_keys) << group;
      folded += all.nsta - latest.nsta;
    }
    EXPECT_GT(folded, 0) << group << ": no report came twice";
  }
}

TEST_F(Range, DailyCycleFollowsLocalTime) {
  std::vector<Hour> hours(HOURS);
  for (int k = 0; k < HOURS; ++k) range_hour(k, "ALL-MTR", {"T", "TD"}, hours[std::size_t(k)]);
  auto east = [](const Hour& h) { return [&h](int32_t i) { return h.lon[i] > -85.0f; }; };
  auto west = [](const Hour& h) { return [&h](int32_t i) { return h.lon[i] < -110.0f; }; };
  const Hour& h22 = hours[0];
  const Hour& h02 = hours[4];
  const Hour& h10 = hours[12];
  // Late afternoon against the hours before dawn, in the East and the West.
  EXPECT_GT(mean_of(h22, "T", east(h22)) - mean_of(h10, "T", east(h10)), 4.0);
  EXPECT_GT(mean_of(h22, "T", west(h22)) - mean_of(h10, "T", west(h10)), 4.0);
  // At 02 UTC the East is hours past sunset while the West's sun is still
  // up: the East has done more of its night's cooling.
  auto cooled = [&](auto region) {
    const double t22 = mean_of(h22, "T", region(h22));
    return (t22 - mean_of(h02, "T", region(h02))) / (t22 - mean_of(h10, "T", region(h10)));
  };
  EXPECT_GT(cooled(east), cooled(west) + 0.1);
  // The dew point follows less than the temperature: the night is more humid.
  auto spread = [&](const Hour& h) {
    auto all = [](int32_t) { return true; };
    return mean_of(h, "T", all) - mean_of(h, "TD", all);
  };
  EXPECT_GT(spread(h22), spread(h10) + 1.0);

  // Sunshine by day, none at night (APRSWXNET reports the instantaneous
  // flux; a few values are flagged as failing the range check, 40 W/m2 at
  // night, and count as sunshine here).
  Hour day, night;
  range_hour(0, "ALL-MESO", {"FSRD"}, day);
  range_hour(8, "ALL-MESO", {"FSRD"}, night);  // 06 UTC: midnight or later everywhere
  auto sunny = [](const Hour& h, auto pick) {
    int n = 0, lit = 0;
    const std::vector<float>& v = h.values.at("FSRD");
    for (int32_t i = 0; i < h.nsta; ++i)
      if (present(v[std::size_t(i)]) && pick(i)) {
        ++n;
        lit += v[std::size_t(i)] > 30.0f;
      }
    EXPECT_GT(n, 100);
    return double(lit) / std::max(n, 1);
  };
  EXPECT_GT(sunny(day, [&](int32_t i) { return day.lon[i] > -95.0f; }), 0.9);
  EXPECT_LT(sunny(night, [](int32_t) { return true; }), 0.05);
}

TEST_F(Range, RainAreasMoveEast) {
  // Mean longitude of the METAR stations with rain in the last hour, in the
  // thunderstorm area east of 100W and in the front's band over the
  // Northwest.
  auto centre = [](const Hour& h, bool northwest) {
    const std::vector<float>& p = h.values.at("PCP1H");
    int n = 0;
    double sum = 0;
    for (int32_t i = 0; i < h.nsta; ++i) {
      const bool in = northwest ? h.lon[i] < -100.0f && h.lat[i] > 40.0f : h.lon[i] > -100.0f;
      if (in && present(p[std::size_t(i)]) && p[std::size_t(i)] > 0) {
        sum += h.lon[i];
        ++n;
      }
    }
    EXPECT_GT(n, 5);
    return sum / std::max(n, 1);
  };
  Hour first, last;
  range_hour(0, "ALL-MTR", {"PCP1H"}, first);
  range_hour(HOURS - 2, "ALL-MTR", {"PCP1H"}, last);
  EXPECT_GT(centre(last, false) - centre(first, false), 4.0);
  EXPECT_GT(centre(last, true) - centre(first, true), 3.0);
}

TEST_F(Range, EachHourDependsOnItselfAloneAndJoinsTheAfternoon) {
  // The range across the afternoon's end has the afternoon's files and the
  // first hour of the long range, byte for byte.
  for (const char* net : {"/point/metar/netcdf/", "/KORB/mesonet/netCDF/", "/point/maritime/netcdf/"}) {
    for (const char* f : {"20210825_2000", "20210825_2100"})
      EXPECT_TRUE(testutil::read_file(dir("edge") + net + f) == testutil::read_file(dir("afternoon") + net + f))
          << net << f;
    const std::string a = testutil::read_file(dir("edge") + net + "20210825_2200");
    EXPECT_GT(a.size(), 1000u);
    EXPECT_TRUE(a == testutil::read_file(dir("range") + net + "20210825_2200")) << net;
    EXPECT_FALSE(std::filesystem::exists(dir("edge") + net + "20210825_1900"));
  }
  // From 21 to 22 UTC a station's values change no more than from 20 to 21
  // UTC, and the network's mean does not jump (bounds well inside what an
  // unmatched model gives: 2.7 K less dew point, 84 Pa less altimeter
  // setting, 1.2 m/s more wind).
  struct Bound {
    const char* var;
    double mean;
  };
  const Bound bounds[] = {{"T", 1.0}, {"TD", 1.2}, {"ALTSE", 50.0}, {"FF", 0.6}};
  std::vector<std::string> vars;
  for (const Bound& b : bounds) vars.push_back(b.var);
  std::vector<Hour> hours(3);
  for (int k = 0; k < 3; ++k) read_hour(dir("edge"), 25, 20 + k, "ALL-MTR", vars, hours[std::size_t(k)]);
  for (const Bound& b : bounds) {
    std::vector<std::map<std::string, float>> v(3);
    for (int k = 0; k < 3; ++k) {
      const Hour& h = hours[std::size_t(k)];
      for (int32_t i = 0; i < h.nsta; ++i)
        if (present(h.values.at(b.var)[std::size_t(i)])) v[std::size_t(k)][h.key(i)] = h.values.at(b.var)[std::size_t(i)];
    }
    auto change = [&v](int from, double& mean, double& mean_abs) {
      mean = mean_abs = 0;
      int n = 0;
      for (const auto& [key, x] : v[std::size_t(from)]) {
        auto it = v[std::size_t(from + 1)].find(key);
        if (it == v[std::size_t(from + 1)].end()) continue;
        mean += it->second - x;
        mean_abs += std::fabs(it->second - x);
        ++n;
      }
      ASSERT_GT(n, 1000);
      mean /= n;
      mean_abs /= n;
    };
    double m0 = 0, a0 = 0, m1 = 0, a1 = 0;
    change(0, m0, a0);
    change(1, m1, a1);
    EXPECT_LT(a1, 1.25 * a0) << b.var;
    EXPECT_LT(std::fabs(m1), b.mean) << b.var;
  }
}

TEST_F(Range, ArgumentsRangesAcrossTheYearAndRefusals) {
  const std::string dir = Range::dir("args");
  std::filesystem::create_directories(dir);
  auto run = [&dir](std::vector<const char*> args) {
    args.insert(args.begin(), GEN);
    args.push_back(nullptr);
    return testutil::run_program(dir, args.data(), dir + "/out", dir + "/err");
  };
  ASSERT_EQ(run({"year", "--start", "2021-12-31T23", "--hours", "2"}), 0);
  for (const char* f : {"20211231_2300", "20220101_0000"})
    EXPECT_TRUE(std::filesystem::exists(dir + "/year/KORB/crn/netCDF/" + f)) << f;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir + "/year/point/metar/netcdf"),
                          std::filesystem::directory_iterator{}),
            2);
  // The new year's hour reads like any other.
  Hour h;
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", (dir + "/year").c_str(), 1);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  ASSERT_EQ(st, 0);
  MCHRTIM(2022, 1, 1, 0, 0, h.atime, st);
  ASSERT_EQ(st, 0);
  MSFCSTA({h.atime, 9}, h.nsta, h.stid.data(), h.wmo.data(), h.lat.data(), h.lon.data(), h.elev.data(),
          h.obst.data(), h.prov.data(), st, h.src.data());
  EXPECT_EQ(st, 0);
  EXPECT_GT(h.nsta, 5000);

  const std::vector<std::vector<const char*>> bad = {
      {},
      {"--start", "2021-08-25T19:00"},
      {"bad", "--start", "2021-08-25T19:30"},
      {"bad", "--start", "2021-02-29T00:00"},
      {"bad", "--start", "2021-08-25T24:00"},
      {"bad", "--start", "2021-8-25T19:00"},
      {"bad", "--start"},
      {"bad", "--hours", "0"},
      {"bad", "--hours", "3x"},
      {"bad", "--hours=9000"},
      {"bad", "--days", "2"},
      {"bad", "static", "third"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(run(args), 2) << (args.empty() ? "(none)" : args.back());
    EXPECT_NE(testutil::read_file(dir + "/err").find("usage: gen_sample"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir + "/bad"));
  }
}

}  // namespace
