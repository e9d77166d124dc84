// Lookups that remember earlier answers: provider numbering within one
// M_IDSUBSRC call, the day and minute of the latest time conversion, and the
// sine of the stereographic true latitude. Each is checked against a plain
// computation that remembers nothing, in orders chosen to hit stale answers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "provtest_fixture.h"
#include "stations/stations.h"
#include "tables/tables.h"

namespace {

// ---- provider numbering ----

std::string blank_nuls(std::string s) {
  for (char& c : s)
    if (c == '\0') c = ' ';
  return s;
}

// Provider table 1 as a list of blank-padded names, numbered by a linear
// scan the way the table has always been searched.
struct RefTable {
  std::vector<std::string> names;

  int32_t number(const std::string& raw) {
    const std::string name = blank_nuls(raw);
    const auto c = static_cast<int32_t>(names.size());
    if (c > 0) {
      if (names[0] == name) return 1;
      if (name == std::string(10, ' ')) return 0;
      for (int32_t k = 2; k <= c; ++k)
        if (names[k - 1] == name) return k;
    }
    if (c == voran::NPROV) return 999;
    if (c + 1 == voran::NPROV) {
      names.push_back("ALL ELSE  ");
      return 999;
    }
    names.push_back(name);
    return c + 1;
  }
};

std::string field(const std::string& s, char pad = ' ') {
  std::string f = s.substr(0, 10);
  f.resize(10, pad);
  return f;
}

class ProviderNumbering : public ::testing::Test {
 protected:
  RefTable ref_;

  void SetUp() override {
    pfix::clear_providers();
    MCOM2.CURDSET = 0;
  }
  void TearDown() override { pfix::clear_providers(); }

  void add(const std::string& name) {
    pfix::add_provider(name);
    ref_.names.push_back(field(name));
  }

  // One M_IDSUBSRC call over the names; its numbers and the table it leaves
  // must be those of the reference.
  std::vector<int32_t> call(const std::vector<std::string>& names) {
    std::string buf;
    for (const std::string& n : names) {
      EXPECT_EQ(n.size(), 10u);
      buf += n;
    }
    std::vector<int32_t> got(names.size(), -1);
    int32_t st = -1;
    M_IDSUBSRC(static_cast<int32_t>(names.size()), buf.data(), got.data(), st);
    EXPECT_EQ(st, 0);
    std::vector<int32_t> want;
    for (const std::string& n : names) want.push_back(ref_.number(n));
    EXPECT_EQ(got, want);
    expect_table();
    return got;
  }

  void expect_table() {
    ASSERT_EQ(PROVTBL.SUBSRC_COUNT[0], static_cast<int32_t>(ref_.names.size()));
    EXPECT_EQ(PROVTBL.SUBSRC_LISTED[0], PROVTBL.SUBSRC_COUNT[0]);
    for (std::size_t k = 0; k < ref_.names.size(); ++k)
      EXPECT_EQ(std::string(PROVTBL.SUBSRC_NAME[0][k], 10), ref_.names[k]) << "place " << k + 1;
  }
};

TEST_F(ProviderNumbering, NulAndBlankPaddingAreOneName) {
  add("ASOS");
  const std::string nul = field("OKMESO", '\0');
  const std::string blank = field("OKMESO");
  const std::string inner_nul = std::string("OK\0MESO", 7) + std::string(3, '\0');
  const std::string inner_blank = field("OK MESO");
  EXPECT_EQ(call({nul, blank, nul, inner_blank, inner_nul, inner_blank}),
            (std::vector<int32_t>{2, 2, 2, 3, 3, 3}));
  // Seen first blank-padded in a later call: still the same place.
  EXPECT_EQ(call({blank, nul, field("OKMESOX"), nul}), (std::vector<int32_t>{2, 2, 4, 2}));
}

TEST_F(ProviderNumbering, NamesDifferingOnlyInTheLastCharacters) {
  add("ASOS");
  EXPECT_EQ(call({field("PROVIDER01"), field("PROVIDER02"), field("PROVIDER"),
                  field("PROVIDER0"), field("PROVIDER02"), field("PROVIDER", '\0'),
                  field("PROVIDER0", '\0'), field("PROVIDER01")}),
            (std::vector<int32_t>{2, 3, 4, 5, 3, 4, 5, 2}));
}

TEST_F(ProviderNumbering, ManyNamesSharingTheirFirstEightCharacters) {
  // Known and unknown names alike differ only in characters 9 and 10, in
  // either case; each must keep its own place however the names crowd.
  const std::string tails = "AaBbCcDdEeFfGgHhIiJjKkLlMm0123456789";
  std::vector<std::string> known, names;
  add("ASOS");
  for (std::size_t k = 0; k < 70; ++k) {
    known.push_back(field("SAMEHEAD" + std::string{tails[k % tails.size()], tails[k / 2]}));
    add(known.back());
  }
  std::mt19937 rng(3);
  for (int k = 0; k < 1500; ++k) {
    std::uniform_int_distribution<std::size_t> any(0, tails.size() - 1);
    if (k % 3 == 0) {
      names.push_back(field("SAMEHEAD" + std::string{tails[any(rng)], tails[any(rng)]}));
    } else {
      names.push_back(known[std::uniform_int_distribution<std::size_t>(0, known.size() - 1)(rng)]);
    }
  }
  call(names);
}

TEST_F(ProviderNumbering, BlankNames) {
  const std::string blank(10, ' '), nuls(10, '\0'), mixed = std::string(" \0 \0 \0 \0 \0", 10);
  // Into an empty table a blank name takes place 1, and then is found there.
  EXPECT_EQ(call({nuls, blank, mixed, field("A"), nuls}), (std::vector<int32_t>{1, 1, 1, 2, 1}));
  // Otherwise a blank name is 0, however often it comes.
  pfix::clear_providers();
  ref_.names.clear();
  add("ASOS");
  EXPECT_EQ(call({blank, nuls, field("B"), mixed, blank}), (std::vector<int32_t>{0, 0, 2, 0, 0}));
}

TEST_F(ProviderNumbering, NamesAppendedMidCallAreFoundAtTheirPlace) {
  add("ASOS");
  add("COOP");
  EXPECT_EQ(call({field("N1"), field("N2"), field("N1"), field("COOP"), field("N2", '\0'),
                  field("N3"), field("N1")}),
            (std::vector<int32_t>{3, 4, 3, 2, 4, 5, 3}));
}

TEST_F(ProviderNumbering, TheFirstOfTwoEqualEntriesAnswers) {
  add("ASOS");
  add("DUP");
  add("X");
  add("DUP");
  EXPECT_EQ(call({field("DUP"), field("DUP", '\0'), field("X"), field("DUP")}),
            (std::vector<int32_t>{2, 2, 3, 2}));
}

TEST_F(ProviderNumbering, FillingTheLastPlace) {
  for (int k = 1; k <= 98; ++k) add(testutil::numbered("P", k));
  // LATE2 fills place 100, which becomes ALL ELSE: LATE2 and all later
  // unknown names are 999, a name "ALL ELSE" is found at 100.
  EXPECT_EQ(call({field("LATE1"), field("LATE2"), field("LATE2"), field("ALL ELSE"),
                  field("LATE1"), field("LATE3"), field("ALL ELSE", '\0'), field("P98")}),
            (std::vector<int32_t>{99, 999, 999, 100, 99, 999, 100, 98}));
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][99], 8);
}

TEST_F(ProviderNumbering, AllElseItselfFillingTheLastPlace) {
  for (int k = 1; k <= 99; ++k) add(testutil::numbered("P", k));
  // Its own arrival gives 999; from then on it is the name of place 100.
  EXPECT_EQ(call({field("ALL ELSE"), field("ALL ELSE"), field("ALL ELSE", '\0'), field("OTHER"),
                  field("ALL ELSE")}),
            (std::vector<int32_t>{999, 100, 100, 999, 100}));
}

TEST_F(ProviderNumbering, AFullTableWithoutAllElse) {
  // A table filled by merging the file tables can end in a real provider.
  for (int k = 1; k <= 100; ++k) add(testutil::numbered("P", k));
  EXPECT_EQ(call({field("ALL ELSE"), field("P100"), field("ALL ELSE"), field("P100", '\0')}),
            (std::vector<int32_t>{999, 100, 999, 100}));
}

TEST_F(ProviderNumbering, ManyDistinctNamesInOneCall) {
  for (int k = 1; k <= 40; ++k) add(testutil::numbered("P", k));
  // More distinct names than any memory of one call holds, mixed with known
  // ones, repeated after the table has filled up.
  std::vector<std::string> names;
  for (int k = 0; k < 700; ++k) {
    names.push_back(field(testutil::numbered("U", k)));
    names.push_back(field(testutil::numbered("P", 1 + k % 40)));
    if (k % 7 == 0) names.push_back(field(testutil::numbered("U", k / 2), '\0'));
    if (k % 50 == 0) names.push_back(field("ALL ELSE"));
  }
  std::vector<int32_t> got = call(names);
  EXPECT_EQ(got[0], 41);
  EXPECT_EQ(got[1], 1);
}

TEST_F(ProviderNumbering, NothingIsRememberedFromAnEarlierCall) {
  add("ASOS");
  add("A");
  add("B");
  EXPECT_EQ(call({field("B"), field("A")}), (std::vector<int32_t>{3, 2}));
  // The table changes between calls (a file's own table merged, a new
  // installation): the next call answers from the table as it is now.
  voran::fset(PROVTBL.SUBSRC_NAME[0][1], 10, "B");
  voran::fset(PROVTBL.SUBSRC_NAME[0][2], 10, "A");
  ref_.names[1] = field("B");
  ref_.names[2] = field("A");
  EXPECT_EQ(call({field("B"), field("A")}), (std::vector<int32_t>{2, 3}));
  pfix::clear_providers();
  ref_.names.clear();
  add("ZZZ");
  EXPECT_EQ(call({field("A"), field("B")}), (std::vector<int32_t>{2, 3}));
}

TEST_F(ProviderNumbering, OtherTablesKeepTheirOwnNumbers) {
  add("ASOS");
  add("A");
  EXPECT_EQ(call({field("A")}), (std::vector<int32_t>{2}));
  MCOM2.CURDSET = 7;  // provider table 2, empty
  int32_t num = -1, st = -1;
  M_IDSUBSRC(1, field("A").data(), &num, st);
  EXPECT_EQ(num, 1);
  MCOM2.CURDSET = 0;
  EXPECT_EQ(call({field("A")}), (std::vector<int32_t>{2}));
}

TEST_F(ProviderNumbering, RandomSequencesAgainstTheScan) {
  std::mt19937 rng(20210825);
  const char* pool[] = {"ASOS", "MesoWest", "AWS", "NWS", "ALL ELSE", "ALL ELSEX", "OK MESO",
                        "", "CWOP", "RAWS", "DENVER", "A", "B", "M\x80", "M\xa0", "M\xff"};
  auto pick = [&]() -> std::string {
    std::uniform_int_distribution<int> kind(0, 9);
    int k = kind(rng);
    std::string base;
    if (k < 6) {
      const int last = static_cast<int>(std::size(pool)) - 1;
      base = pool[std::uniform_int_distribution<int>(0, last)(rng)];
    } else {
      base = testutil::numbered("N", std::uniform_int_distribution<int>(0, 150)(rng));
    }
    std::string f = field(base, (k % 2) ? '\0' : ' ');
    // Now and then a NUL inside the trailing blanks.
    if (k == 9) f[9] = '\0';
    return f;
  };
  for (int round = 0; round < 60; ++round) {
    if (round % 6 == 0) {
      pfix::clear_providers();
      ref_.names.clear();
      std::uniform_int_distribution<int> start(0, 101);
      int n = start(rng);
      if (n == 101) n = 99;
      for (int k = 0; k < n; ++k) {
        // Sometimes the first place is a blank name.
        add(k == 0 && round % 12 == 0 ? std::string() : testutil::numbered("T", k));
      }
    }
    std::vector<std::string> names(std::uniform_int_distribution<int>(1, 400)(rng));
    for (std::string& n : names) n = pick();
    call(names);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

// ---- time conversions ----

using namespace std::chrono;

constexpr sys_days EPOCH = sys_days{year{2012} / January / 1};

struct Civil {
  int32_t y1900, mo, d, h, mi, s;
};

Civil civil(int32_t t) {
  const int64_t tt = t;
  int64_t days_since = tt >= 0 ? tt / 86400 : -((-tt + 86399) / 86400);
  int64_t rest = tt - days_since * 86400;
  sys_days sd = EPOCH + days{days_since};
  year_month_day ymd{sd};
  return {int(ymd.year()) - 1900, int(unsigned(ymd.month())), int(unsigned(ymd.day())),
          int32_t(rest / 3600), int32_t(rest % 3600 / 60), int32_t(rest % 60)};
}

TEST(RepeatedTimes, ConversionsInAnyOrder) {
  const int32_t base = int32_t((sys_days{year{2021} / August / 25} - EPOCH).count() * 86400);
  // Around day and minute ends, backwards and forwards, far away and back,
  // before the epoch and at the ends of the integer range.
  std::vector<int32_t> times = {base,      base + 59,   base + 60,    base - 1,   base + 86399,
                                base + 86400, base,     base + 86399, base + 3600, -1,
                                0,         -86400,      -86401,       -1,         INT32_MIN,
                                INT32_MIN + 1, INT32_MAX, INT32_MAX - 59, base,   base - 86400};
  std::mt19937 rng(7);
  for (int k = 0; k < 2000; ++k) {
    int32_t step = std::uniform_int_distribution<int32_t>(-200000, 200000)(rng);
    times.push_back(times.back() / 2 + base / 2 + step);
  }
  for (int32_t t : times) {
    Civil c = civil(t);
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, st = -1;
    M_CNVTTM(t, y, mo, d, h, mi, s, st);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(y, c.y1900) << t;
    ASSERT_EQ(mo, c.mo) << t;
    ASSERT_EQ(d, c.d) << t;
    ASSERT_EQ(h, c.h) << t;
    ASSERT_EQ(mi, c.mi) << t;
    ASSERT_EQ(s, c.s) << t;

    char got[9];
    std::memset(got, '#', 9);
    M_MKFNAM(t, got, st);
    if (c.y1900 < 80 || c.y1900 >= 180) {
      EXPECT_EQ(st, MST_BAD_TIME) << t;
      EXPECT_EQ(std::string(got, 9), "#########") << t;
      continue;
    }
    ASSERT_EQ(st, 0) << t;
    sys_days date{year{c.y1900 + 1900} / month{unsigned(c.mo)} / day{unsigned(c.d)}};
    int jday = int((date - sys_days{year{c.y1900 + 1900} / January / 1}).count()) + 1;
    char want[48];
    std::snprintf(want, sizeof want, "%02d%03d%02d%02d", c.y1900 % 100, jday, c.h, c.mi);
    ASSERT_EQ(std::string(got, 9), std::string(want, 9)) << t;
  }
}

TEST(RepeatedTimes, ARefusedTimeBetweenTwoOfOneDay) {
  const int32_t base = int32_t((sys_days{year{2021} / August / 25} - EPOCH).count() * 86400);
  char a[9], b[9], c[9];
  int32_t st = -1;
  M_MKFNAM(base + 30, a, st);
  ASSERT_EQ(st, 0);
  std::memset(b, '#', 9);
  M_MKFNAM(int32_t(-2000000000), b, st);  // 1948
  EXPECT_EQ(st, MST_BAD_TIME);
  EXPECT_EQ(std::string(b, 9), "#########");
  M_MKFNAM(base + 59, c, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(std::string(a, 9), "212370000");
  EXPECT_EQ(std::string(c, 9), "212370000");
  M_MKFNAM(base + 60, c, st);
  EXPECT_EQ(std::string(c, 9), "212370001");
  M_MKFNAM(base - 1, c, st);
  EXPECT_EQ(std::string(c, 9), "212362359");
}

// ---- stereographic projection ----

// The projection written out once more, operation for operation.
void ps_plain(float lat, float lon, float xpole, float ypole, float truelat, float orient,
              float& x, float& y) {
  const float rad = 0.01745329f;
  float r = 6366707.0f * cosf(lat * rad) * (1.0f + sinf(truelat * rad)) / (1.0f + sinf(lat * rad));
  float a = (lon - 90.0f - orient) * rad;
  x = xpole + r * cosf(a);
  y = ypole + r * sinf(a);
}

uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

TEST(RepeatedProjections, TrueLatitudesTakenInTurn) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> la(-89.0f, 89.0f), lo(-180.0f, 180.0f);
  const float truelats[] = {60.0f, 45.0f, 60.0f, -0.0f, 0.0f, 25.0f, 25.0000019f, 60.0f};
  for (int k = 0; k < 4000; ++k) {
    float tl = truelats[k % std::size(truelats)];
    float lat = la(rng), lon = lo(rng);
    float wx = 0, wy = 0, x = 0, y = 0;
    ps_plain(lat, lon, 3897800.0f, 9182641.0f, tl, -105.0f, wx, wy);
    M_XYGRID(lat, lon, 3897800.0f, 9182641.0f, tl, -105.0f, x, y);
    ASSERT_EQ(bits(x), bits(wx)) << lat << " " << lon << " " << tl;
    ASSERT_EQ(bits(y), bits(wy)) << lat << " " << lon << " " << tl;
    ASSERT_EQ(bits(M_XGRID(lat, lon, 3897800.0f, tl, -105.0f)), bits(wx));
    ASSERT_EQ(bits(M_YGRID(lat, lon, 9182641.0f, tl, -105.0f)), bits(wy));
  }
}

}  // namespace
