// Time forms of the library and the conversions between them:
//   time string   YYJJJHHMM (two-digit year: 00-79 is 20YY, 80-99 is 19YY),
//   integer time  seconds since 2012-01-01 00:00:00 UTC (years 1945-2079),
//   file stem     YYYYMMDD_HHMM.
// A year is a leap year when divisible by 4, which is exact for 1945-2079.
#include <cstring>

#include "core/core.h"

namespace {

constexpr int32_t DAYSEC = 86400;
constexpr int32_t YEARSEC = 365 * DAYSEC;
constexpr int32_t EPOCH_YEAR = 112;  // 2012, counted from 1900
constexpr int32_t MAXYEARS = 67;     // representable years either side of 2012

// Days allowed per month when validating (February always allows 29).
constexpr int32_t DAYS_VALID[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Seconds per month of a common year.
constexpr int32_t MONTH_SEC[12] = {2678400, 2419200, 2678400, 2592000, 2678400, 2592000,
                                   2678400, 2678400, 2592000, 2678400, 2592000, 2678400};
constexpr int32_t DAYS_BEFORE[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Year counted from 1900; the rule is the same for any representation of it
// because 1900 and 100 are both divisible by 4.
bool leap(int32_t year) { return year % 4 == 0; }

int32_t year_seconds(int32_t year1900) { return leap(year1900) ? YEARSEC + DAYSEC : YEARSEC; }

int32_t month_seconds(int32_t month0, int32_t year1900) {
  return (month0 == 1 && leap(year1900)) ? MONTH_SEC[1] + DAYSEC : MONTH_SEC[month0];
}

// Two decimal digits of v (0..99) at p.
void put2(char* p, int32_t v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

// Time string fields. The field is accepted when its significant part (blanks
// and NULs after it dropped) is exactly nine decimal digits.
bool split_time_string(std::string_view atime, int32_t& yy, int32_t& jday, int32_t& hh,
                       int32_t& mi) {
  if (atime.size() < 9) return false;
  for (std::size_t i = 9; i < atime.size(); ++i) {
    if (atime[i] != ' ' && atime[i] != '\0') return false;
  }
  int32_t d[9];
  for (int i = 0; i < 9; ++i) {
    char c = atime[static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    d[i] = c - '0';
  }
  yy = d[0] * 10 + d[1];
  jday = d[2] * 100 + d[3] * 10 + d[4];
  hh = d[5] * 10 + d[6];
  mi = d[7] * 10 + d[8];
  return true;
}

}  // namespace

int32_t M_GTI4TM(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                 int32_t second, int32_t& status) {
  status = MST_BAD_TIME;
  // Years from 1900: four-digit years, two-digit years (00-79 are 2000-2079)
  // and counts from 1900 (80 is 1980, 121 is 2021). Negative years mean nothing.
  if (year < 0) return 0;
  int32_t y = year;
  if (y >= 1901) {
    y -= 1900;
  } else if (y < 80) {
    y += 100;
  }
  int32_t d = y - EPOCH_YEAR;
  if (d > MAXYEARS || d < -MAXYEARS) return 0;
  if (month < 1 || month > 12) return 0;
  if (day < 1 || day > DAYS_VALID[month - 1]) return 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;

  // 29 Februaries between 2012-01-01 and the start of the year.
  int32_t leapdays = 0;
  if (d >= 0) {
    for (int32_t k = EPOCH_YEAR; k < y; ++k) leapdays += leap(k) ? 1 : 0;
  } else {
    for (int32_t k = y; k < EPOCH_YEAR; ++k) leapdays -= leap(k) ? 1 : 0;
  }
  int32_t t = d * YEARSEC + leapdays * DAYSEC;
  for (int32_t m = 0; m < month - 1; ++m) t += MONTH_SEC[m];
  if (leap(y) && month >= 3) t += DAYSEC;
  t += (day - 1) * DAYSEC + hour * 3600 + minute * 60 + second;
  status = MST_OK;
  return t;
}

// Exact inverse of M_GTI4TM; every 32-bit value converts (the extremes fall in
// 1943 and 2080, outside the years M_GTI4TM makes).
void M_CNVTTM(int32_t itime, int32_t& year1900, int32_t& month, int32_t& day, int32_t& hour,
              int32_t& minute, int32_t& second, int32_t& status) {
  int64_t t = itime;
  int32_t y = EPOCH_YEAR;
  if (t >= 0) {
    while (t >= year_seconds(y)) t -= year_seconds(y++);
  } else {
    while (t < 0) t += year_seconds(--y);
  }
  int32_t m = 0;
  while (t >= month_seconds(m, y)) t -= month_seconds(m++, y);
  auto rest = static_cast<int32_t>(t);
  year1900 = y;
  month = m + 1;
  day = rest / DAYSEC + 1;
  rest %= DAYSEC;
  hour = rest / 3600;
  rest %= 3600;
  minute = rest / 60;
  second = rest % 60;
  status = MST_OK;
}

namespace {
// Integer time to time string. Only 1980-2079 can be named by a two-digit year
// that reads back as the same year, so other times are refused (status 4)
// rather than written as a string that means a year a century away.
int32_t make_name(int32_t itime, char* atime) {
  int32_t y = 0, mo = 0, dd = 0, hh = 0, mi = 0, ss = 0, status = MST_OK;
  M_CNVTTM(itime, y, mo, dd, hh, mi, ss, status);
  if (status != MST_OK) return status;
  if (y < 80 || y >= 180) return MST_BAD_TIME;
  if (y >= 100) y -= 100;
  int32_t jday = dd + DAYS_BEFORE[mo - 1] + ((mo >= 3 && leap(y)) ? 1 : 0);
  put2(atime, y);
  atime[2] = static_cast<char>('0' + jday / 100);
  put2(atime + 3, jday % 100);
  put2(atime + 5, hh);
  put2(atime + 7, mi);
  return MST_OK;
}

// Time strings remembered by time: a station list names the time of every
// report, and many reports share one.
struct TimeName {
  bool used;
  int32_t itime;
  int32_t status;
  char text[9];
};
TimeName TIME_NAMES[4096];
}  // namespace

void M_MKFNAM(int32_t itime, char* atime, int32_t& status) {
  TimeName& e = TIME_NAMES[(static_cast<uint32_t>(itime) * 2654435761u) >> 20];
  if (!e.used || e.itime != itime) {
    e.used = true;
    e.itime = itime;
    e.status = make_name(itime, e.text);
  }
  status = e.status;
  if (status == MST_OK) std::memcpy(atime, e.text, 9);
}

void M_CVJLMD(int32_t jday, int32_t year, int32_t& month, int32_t& day, int32_t& status) {
  int32_t y = year < 100 ? year + 1900 : year;
  bool lp = y % 4 == 0;
  if (jday <= 0 || jday > (lp ? 366 : 365)) {
    status = MST_BAD_TIME;
    return;
  }
  int32_t m = 0, rest = jday;
  for (;;) {
    int32_t len = (m == 1) ? (lp ? 29 : 28) : DAYS_VALID[m];
    if (rest <= len) break;
    rest -= len;
    ++m;
  }
  month = m + 1;
  day = rest;
  status = MST_OK;
}

void M_MKI4TM(std::string_view atime, int32_t& itime, int32_t& status) {
  int32_t yy = 0, jday = 0, hh = 0, mi = 0;
  if (!split_time_string(atime, yy, jday, hh, mi)) {
    status = MST_BAD_TIME;
    return;
  }
  int32_t month = 0, day = 0;
  M_CVJLMD(jday, yy, month, day, status);
  if (status != MST_OK) return;
  int32_t t = M_GTI4TM(yy, month, day, hh, mi, 0, status);
  if (status != MST_OK) return;
  itime = t;
}

// Time string to file stem. Hour and minute are checked as well, so that an
// impossible time never names a file.
void M_MKWFNM(std::string_view atime, char* stem, int32_t& status) {
  int32_t yy = 0, jday = 0, hh = 0, mi = 0;
  if (!split_time_string(atime, yy, jday, hh, mi) || hh > 23 || mi > 59) {
    status = MST_BAD_TIME;
    return;
  }
  int32_t month = 0, day = 0;
  M_CVJLMD(jday, yy, month, day, status);
  if (status != MST_OK) return;
  std::memcpy(stem, yy < 80 ? "20" : "19", 2);
  put2(stem + 2, yy);
  put2(stem + 4, month);
  put2(stem + 6, day);
  stem[8] = '_';
  put2(stem + 9, hh);
  put2(stem + 11, mi);
  status = MST_OK;
}

void MCHRTIM(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, char* atime,
             int32_t& status) {
  int32_t t = M_GTI4TM(year, month, day, hour, minute, 0, status);
  if (status == MST_OK) M_MKFNAM(t, atime, status);
  if (status != MST_OK) {
    MERROR("MCHRTIM: INVALID TIME");
    std::memset(atime, ' ', 9);
  }
}
