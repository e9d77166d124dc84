#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/core.h"

namespace {

using namespace std::chrono;

constexpr sys_days EPOCH = sys_days{year{2012} / January / 1};

int64_t seconds_of(int y, unsigned m, unsigned d, int hh = 0, int mi = 0, int ss = 0) {
  auto days = (sys_days{year{y} / month{m} / day{d}} - EPOCH).count();
  return days * 86400 + hh * 3600 + mi * 60 + ss;
}

std::string mkfnam(int32_t t, int32_t& st) {
  char buf[9];
  std::memset(buf, '#', 9);
  M_MKFNAM(t, buf, st);
  return {buf, 9};
}

}  // namespace

// Every day of 1945-2079 against civil-calendar arithmetic, both directions,
// and through the time string and file stem for the years a string can name.
TEST(TimeConversions, EveryDayAgainstCivilCalendar) {
  const int hms[][3] = {{0, 0, 0}, {23, 59, 59}, {12, 34, 56}};
  int named = 0;
  for (sys_days sd = sys_days{year{1945} / January / 1}; sd <= sys_days{year{2079} / December / 31};
       sd += days{1}) {
    year_month_day ymd{sd};
    int y = int(ymd.year());
    unsigned m = unsigned(ymd.month()), d = unsigned(ymd.day());
    for (const auto& t : hms) {
      int32_t st = -1;
      int32_t it = M_GTI4TM(y, int(m), int(d), t[0], t[1], t[2], st);
      ASSERT_EQ(st, 0) << y << "-" << m << "-" << d;
      ASSERT_EQ(it, seconds_of(y, m, d, t[0], t[1], t[2])) << y << "-" << m << "-" << d;
      int32_t yy, mo, dd, hh, mi, ss;
      M_CNVTTM(it, yy, mo, dd, hh, mi, ss, st);
      ASSERT_EQ(st, 0);
      ASSERT_EQ(yy + 1900, y);
      ASSERT_EQ(mo, int(m));
      ASSERT_EQ(dd, int(d));
      ASSERT_EQ(hh, t[0]);
      ASSERT_EQ(mi, t[1]);
      ASSERT_EQ(ss, t[2]);
    }
    int32_t st = -1;
    int32_t it = M_GTI4TM(y, int(m), int(d), 7, 5, 0, st);
    std::string s = mkfnam(it, st);
    if (y < 1980) {
      ASSERT_EQ(st, 4) << "a two-digit year cannot name " << y;
      continue;
    }
    ASSERT_EQ(st, 0);
    int jday = int((sd - sys_days{ymd.year() / January / 1}).count()) + 1;
    char expect[48];
    std::snprintf(expect, sizeof expect, "%02d%03d0705", y % 100, jday);
    ASSERT_EQ(s, expect);
    int32_t back = 0;
    M_MKI4TM(s, back, st);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(back, it);
    int32_t mm = 0, dd = 0;
    M_CVJLMD(jday, y % 100, mm, dd, st);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(mm, int(m));
    ASSERT_EQ(dd, int(d));
    char stem[13];
    M_MKWFNM(s, stem, st);
    ASSERT_EQ(st, 0);
    std::snprintf(expect, sizeof expect, "%04d%02u%02u_0705", y, m, d);
    ASSERT_EQ(std::string(stem, 13), expect);
    ++named;
  }
  EXPECT_EQ(named,
            int((sys_days{year{2080} / January / 1} - sys_days{year{1980} / January / 1}).count()));
}

TEST(TimeConversions, YearFormsAndLimits) {
  int32_t st = -1;
  EXPECT_EQ(M_GTI4TM(2012, 1, 1, 0, 0, 0, st), 0);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(M_GTI4TM(2011, 12, 31, 23, 59, 0, st), -60);
  const int64_t t2021 = seconds_of(2021, 8, 25, 20);
  EXPECT_EQ(M_GTI4TM(121, 8, 25, 20, 0, 0, st), t2021);
  EXPECT_EQ(M_GTI4TM(21, 8, 25, 20, 0, 0, st), t2021);
  EXPECT_EQ(M_GTI4TM(79, 1, 1, 0, 0, 0, st), seconds_of(2079, 1, 1));
  EXPECT_EQ(M_GTI4TM(80, 1, 1, 0, 0, 0, st), seconds_of(1980, 1, 1));
  EXPECT_EQ(M_GTI4TM(95, 6, 1, 0, 0, 0, st), seconds_of(1995, 6, 1));
  // 29 February in any year: in a common year it is 1 March.
  EXPECT_EQ(M_GTI4TM(2021, 2, 29, 0, 0, 0, st), M_GTI4TM(2021, 3, 1, 0, 0, 0, st));
  EXPECT_EQ(st, 0);

  const int bad[][6] = {{1944, 12, 31, 23, 59, 59}, {2080, 1, 1, 0, 0, 0},  {1900, 1, 1, 0, 0, 0},
                        {180, 1, 1, 0, 0, 0},       {-5, 1, 1, 0, 0, 0},    {2021, 0, 1, 0, 0, 0},
                        {2021, 13, 1, 0, 0, 0},     {2021, 2, 30, 0, 0, 0}, {2021, 4, 31, 0, 0, 0},
                        {2021, 1, 0, 0, 0, 0},      {2021, 1, 1, 24, 0, 0}, {2021, 1, 1, 0, 60, 0},
                        {2021, 1, 1, 0, 0, 60},     {2021, 1, 1, -1, 0, 0}};
  for (const auto& b : bad) {
    st = 0;
    M_GTI4TM(b[0], b[1], b[2], b[3], b[4], b[5], st);
    EXPECT_EQ(st, 4) << b[0] << "-" << b[1] << "-" << b[2] << " " << b[3] << ":" << b[4];
  }
  EXPECT_EQ(M_GTI4TM(1945, 1, 1, 0, 0, 0, st), seconds_of(1945, 1, 1));
  EXPECT_EQ(M_GTI4TM(2079, 12, 31, 23, 59, 59, st), seconds_of(2079, 12, 31, 23, 59, 59));
  EXPECT_EQ(st, 0);

  // The extremes of 32-bit time still convert exactly.
  for (int32_t t : {INT32_MIN, INT32_MAX, -1, 0}) {
    int32_t yy, mo, dd, hh, mi, ss;
    M_CNVTTM(t, yy, mo, dd, hh, mi, ss, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(seconds_of(yy + 1900, unsigned(mo), unsigned(dd), hh, mi, ss), t);
  }
}

TEST(TimeStrings, PublicTimeAndStem) {
  char s[9];
  int32_t st = -1;
  MCHRTIM(2021, 8, 25, 20, 0, s, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(std::string(s, 9), "212372000");
  char stem[13];
  M_MKWFNM("212372000", stem, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(std::string(stem, 13), "20210825_2000");
  M_MKWFNM("993650005", stem, st);
  EXPECT_EQ(std::string(stem, 13), "19991231_0005");

  MCHRTIM(2000, 12, 31, 0, 0, s, st);
  EXPECT_EQ(std::string(s, 9), "003660000");
  MCHRTIM(1980, 1, 1, 0, 0, s, st);
  EXPECT_EQ(std::string(s, 9), "800010000");

  // Invalid times blank the string; so do years a two-digit string would
  // misname (1979 would read back as 2079).
  MCOM2.MSGFLAG = true;
  MCOM2.DBNUM = 1;
  testing::internal::CaptureStdout();
  MCHRTIM(2021, 13, 1, 0, 0, s, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " MCHRTIM: INVALID TIME\n");
  MCOM2.MSGFLAG = false;
  for (int y : {2021, 1979, 1945, 2080}) {
    std::memset(s, 'x', 9);
    MCHRTIM(y, y == 2021 ? 2 : 1, y == 2021 ? 30 : 1, 0, 0, s, st);
    EXPECT_EQ(st, 4) << y;
    EXPECT_EQ(std::string(s, 9), "         ") << y;
  }
}

TEST(TimeStrings, MalformedStringsAreRefused) {
  const char* bad[] = {"21237200",  "21237200A", " 21237200", "2123720 0",
                       "213660000", "202672500", "-12372000", "212372060"};
  for (const char* b : bad) {
    int32_t it = 77, st = 0;
    M_MKI4TM(b, it, st);
    EXPECT_EQ(st, 4) << b;
    EXPECT_EQ(it, 77) << "output left unchanged for " << b;
    char stem[13];
    std::memset(stem, '#', 13);
    st = 0;
    M_MKWFNM(b, stem, st);
    EXPECT_EQ(st, 4) << b;
    EXPECT_EQ(std::string(stem, 13), std::string(13, '#'));
  }
  // Day 366 only in a year divisible by 4; trailing blanks and NULs of a
  // fixed field are not part of the string.
  int32_t it = 0, st = -1;
  M_MKI4TM("203660000", it, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(it, seconds_of(2020, 12, 31));
  M_MKI4TM(std::string_view("203660000 \0", 11), it, st);
  EXPECT_EQ(st, 0);
  M_MKI4TM("203660000x", it, st);
  EXPECT_EQ(st, 4);
  int32_t m = 0, d = 0;
  M_CVJLMD(366, 2021, m, d, st);
  EXPECT_EQ(st, 4);
  M_CVJLMD(0, 21, m, d, st);
  EXPECT_EQ(st, 4);
  M_CVJLMD(60, 2024, m, d, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(d, 29);
}
