// The output layout every writer shares: field names and order, CF
// attributes, and float text that reads back to the same bits.
#include <gtest/gtest.h>

#include <cstring>
#include <cmath>
#include <map>
#include <random>

#include "voran/layout.hpp"

namespace {

TEST(Layout, FloatTextIsShortestAndReadsBackExactly) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<uint32_t> bits;
  int checked = 0;
  for (int i = 0; i < 200000; ++i) {
    uint32_t b = bits(rng);
    float x;
    std::memcpy(&x, &b, sizeof x);
    if (!std::isfinite(x) || x == voran::MISSING) continue;
    const std::string t = voran::float_text(x);
    const float back = std::strtof(t.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&back, &x, sizeof x), 0) << t;
    ++checked;
  }
  EXPECT_GT(checked, 190000);
  EXPECT_EQ(voran::float_text(voran::MISSING), "");
  EXPECT_EQ(voran::float_text(271.15f), "271.15");
  EXPECT_EQ(voran::float_text(0.1f), "0.1");
  EXPECT_EQ(voran::float_text(1e-5f), "1e-05");
  EXPECT_EQ(voran::float_text(-0.0f), "-0");
  EXPECT_EQ(voran::float_text(999998.94f), "999998.94");  // next to the missing value
  EXPECT_EQ(voran::float_text(16777216.0f), "16777216");
}

TEST(Layout, FieldsOfOneAndSeveralLevels) {
  voran::VariableInfo t{"T", 8, 'N', 1, "K", "air_temperature", "temperature, K"};
  voran::VariableInfo c{"CLDBAS", 44, 'N', 6, "m", "", "cloud-layer base heights"};
  const auto f = voran::fields({t, c});
  ASSERT_EQ(f.size(), 4u + 24u);
  EXPECT_EQ(f[0].name, "T");
  EXPECT_EQ(f[3].name, "T_qcr");
  EXPECT_EQ(f[3].kind, voran::FieldKind::Failed);
  EXPECT_EQ(f[4].name, "CLDBAS_1");
  EXPECT_EQ(f[4].column, 1u);
  EXPECT_EQ(f[9].name, "CLDBAS_2_qcd");
  EXPECT_EQ(f[9].level, 1);
  EXPECT_EQ(f.back().name, "CLDBAS_6_qcr");
  EXPECT_EQ(f.back().level, 5);
  EXPECT_EQ(voran::station_field_names().front(), "time");
  EXPECT_EQ(voran::station_field_names().back(), "obs_time");
}

TEST(Layout, CfAttributesDescribeValuesAndTheirQc) {
  voran::VariableInfo c{"CLDBAS", 44, 'N', 6, "m", "", "cloud-layer base heights"};
  const auto f = voran::fields({c});
  auto attrs = [&](std::size_t k) {
    std::map<std::string, voran::Attribute> m;
    for (const auto& a : voran::cf_attributes(f[k], c)) m[a.name] = a;
    return m;
  };
  const auto v = attrs(4);  // CLDBAS_2
  EXPECT_EQ(v.at("units").text, "m");
  EXPECT_EQ(v.count("standard_name"), 0u);  // none in CF for this one
  EXPECT_EQ(v.at("ancillary_variables").text, "CLDBAS_2_qcd CLDBAS_2_qca CLDBAS_2_qcr");
  EXPECT_NE(v.at("long_name").text.find("level 2"), std::string::npos);
  const auto d = attrs(5);
  ASSERT_EQ(d.at("flag_values").ints.size(), 8u);
  EXPECT_EQ(d.at("flag_values").ints[0], 'Z');
  std::size_t words = 1;
  for (char ch : d.at("flag_meanings").text) words += ch == ' ';
  EXPECT_EQ(words, d.at("flag_values").ints.size());
  const auto m = attrs(6);
  ASSERT_EQ(m.at("flag_masks").ints.size(), 12u);
  EXPECT_EQ(m.at("flag_masks").ints[6], 64);
  EXPECT_NE(m.at("flag_meanings").text.find("level3_check_7"), std::string::npos);
}

}  // namespace
