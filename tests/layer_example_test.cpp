// The README's example of the C++ layer, as written there, on the sample
// tree: it must compile and print what it promises.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "testutil.h"
#include "voran/voran.hpp"

namespace {

TEST(ReadmeExample, RunsOnTheSampleTree) {
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", testutil::sample_tree().c_str(), 1);
  testing::internal::CaptureStdout();
  // --- as in README.md
  voran::Query q;
  q.time = voran::parse_time("2021-08-25T19:00");
  q.end = voran::parse_time("2021-08-25T21:00");
  q.variables = {"T", "TD"};
  q.providers = std::vector<std::string>{"ALL-MESO"};
  q.qc_level = 2;
  q.domain = voran::Radius{39.74f, -104.99f, 150.0f};
  voran::run(q, [](const voran::Hour& h) {
    const voran::Column& t = h.columns[0];
    for (std::size_t i = 0; i < h.count(); ++i)
      if (t.values[i] != voran::MISSING)
        std::printf("%s %s %.2f %c\n", voran::format_time(h.time).c_str(),
                    std::string(h.station(i)).c_str(), t.values[i], t.qcd[i]);
  });
  // ---
  std::fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("2021-08-25T19:00Z "), std::string::npos) << out;
  EXPECT_NE(out.find("2021-08-25T21:00Z "), std::string::npos);
  // Level 2 keeps only values that passed it.
  EXPECT_EQ(out.find(" Q\n"), std::string::npos);
  EXPECT_EQ(out.find(" X\n"), std::string::npos);
}

}  // namespace
