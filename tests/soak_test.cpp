// Endurance of the C++ layer: a long run of hourly queries in one process
// keeps its resident memory and its open files where they were after the
// first hundred queries, and an hour asked for again gives what it gave the
// first time. A short run always; VORAN_SOAK=1 makes it 2,000 queries.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "testutil.h"
#include "voran/voran.hpp"

namespace {

long resident_kib() {
  std::ifstream f("/proc/self/status");
  std::string key;
  while (f >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      f >> kib;
      return kib;
    }
    std::getline(f, key);
  }
  return -1;
}

long open_descriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

template <class T>
bool same_bits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// The first field in which two results of the same query differ, or "".
std::string difference(const voran::Hour& a, const voran::Hour& b) {
  if (!(a.time == b.time) || a.status != b.status) return "time or status";
  if (!same_bits(a.station_ids, b.station_ids)) return "station ids";
  if (!same_bits(a.provider_ids, b.provider_ids)) return "providers";
  if (!same_bits(a.wmo, b.wmo) || !same_bits(a.source, b.source)) return "wmo or source";
  if (!same_bits(a.lat, b.lat) || !same_bits(a.lon, b.lon) || !same_bits(a.elev, b.elev))
    return "positions";
  if (!same_bits(a.obs_minutes, b.obs_minutes)) return "report times";
  if (a.columns.size() != b.columns.size()) return "column count";
  for (std::size_t k = 0; k < a.columns.size(); ++k) {
    const voran::Column &x = a.columns[k], &y = b.columns[k];
    if (x.status != y.status || !same_bits(x.values, y.values) || !same_bits(x.qcd, y.qcd) ||
        !same_bits(x.qca, y.qca) || !same_bits(x.qcr, y.qcr))
      return "column " + x.info.name;
  }
  return "";
}

// Two set-ups taken in turn, so that the library is initialised again and
// its provider, window and QC settings change between queries: every
// network with many variables, and the mesonets alone with a window that
// takes two files per hour, duplicates resolved to the nearest report.
voran::Query query(int hour, int setup) {
  voran::Query q;
  q.static_dir = testutil::static_dir();
  q.data_dir = testutil::sample_tree();
  q.time = voran::Time{2021, 8, 25, hour, 0};
  if (setup == 0) {
    q.variables = {"T", "TD", "DD", "FF", "PCP1H", "P", "ALTSE", "VIS", "CLDBAS"};
  } else {
    q.variables = {"T", "TD", "FF", "PCP1H", "RH"};
    q.providers = std::vector<std::string>{"ALL-MESO"};
    q.window = {-30, 30, 1};
    q.qc_level = 2;
  }
  return q;
}

TEST(Soak, HourlyQueriesKeepMemoryDescriptorsAndResults) {
  const char* soak = std::getenv("VORAN_SOAK");
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer keeps freed memory in quarantine and runs several times
  // slower: descriptors and results are checked, memory is not, and the
  // long run is left to the plain build.
  constexpr bool MEASURE_MEMORY = false;
  const int total = 200;
  (void)soak;
#else
  constexpr bool MEASURE_MEMORY = true;
  const int total = soak != nullptr && std::strcmp(soak, "1") == 0 ? 2000 : 200;
#endif
  constexpr int BASELINE = 100;      // queries before memory is taken as settled
  constexpr long SLACK_KIB = 5 * 1024;
  constexpr int HOURS[] = {19, 20, 21};  // the sample tree's range

  std::map<std::pair<int, int>, voran::Hour> first;
  std::map<std::pair<int, int>, long> first_fds;
  long baseline_kib = 0, peak_kib = 0;
  int failures = 0;
  for (int k = 0; k < total; ++k) {
    const int hour = HOURS[k % 3], setup = (k / 3) % 2;
    const auto key = std::make_pair(hour, setup);
    voran::Hour h = voran::fetch(query(hour, setup));
    const long fds = open_descriptors();
    auto seen = first.find(key);
    if (seen == first.end()) {
      ASSERT_EQ(h.status, 0) << hour;
      ASSERT_GT(h.count(), 1000u) << hour;
      first_fds[key] = fds;
      first.emplace(key, std::move(h));
    } else {
      const std::string diff = difference(seen->second, h);
      EXPECT_EQ(diff, "") << "query " << k << ", hour " << hour << ", set-up " << setup;
      EXPECT_EQ(fds, first_fds[key]) << "query " << k;
      failures += !diff.empty() || fds != first_fds[key];
      if (failures > 5) FAIL() << "giving up after query " << k;
    }
    if (k + 1 == BASELINE) baseline_kib = peak_kib = resident_kib();
    if (k + 1 > BASELINE) peak_kib = std::max(peak_kib, resident_kib());
  }
  ASSERT_GT(baseline_kib, 0);
  std::printf("%d queries: resident %ld KiB after %d, at most %ld KiB after; %ld descriptors\n",
              total, baseline_kib, BASELINE, peak_kib, first_fds.at({20, 0}));
  if (MEASURE_MEMORY) {
    EXPECT_LE(peak_kib - baseline_kib, SLACK_KIB)
        << "resident " << baseline_kib << " KiB after " << BASELINE << " queries, " << peak_kib
        << " KiB at most after " << total;
  }
  // The two set-ups really differ, so that the comparisons above compare
  // distinct results.
  EXPECT_NE(first.at({20, 0}).count(), first.at({20, 1}).count());
  EXPECT_NE(difference(first.at({19, 1}), first.at({20, 1})), "");
}

}  // namespace
