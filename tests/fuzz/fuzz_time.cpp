// Fuzz target: the time routines on arbitrary values, with round trips and
// range checks: M_GTI4TM/M_CNVTTM, M_MKFNAM/M_MKI4TM, M_MKWFNM, M_CVJLMD,
// MCHRTIM, and MSFILES under arbitrary file timings and windows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/core.h"
#include "fuzz_env.h"

using fuzzenv::check;

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  int32_t i32() {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v = v << 8 | (n > 0 ? (--n, *p++) : 0u);
    return static_cast<int32_t>(v);
  }
  // Mostly small values, sometimes anything.
  int32_t small(int32_t lo, int32_t hi) {
    const int32_t v = i32();
    if ((v & 7) == 7) return v >> 3;
    const int64_t span = static_cast<int64_t>(hi) - lo + 1;
    return static_cast<int32_t>(lo + (static_cast<int64_t>(static_cast<uint32_t>(v) >> 3) % span));
  }
};

bool digits(const char* s, int n) {
  for (int i = 0; i < n; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

int32_t full_year(int32_t y) {  // the year rule of M_GTI4TM, in years since 1900
  if (y >= 1901) return y - 1900;
  if (y < 80) return y + 100;
  return y;
}

void calendar(Reader& r) {
  const int32_t y = r.small(1930, 2090), mo = r.small(0, 13), d = r.small(0, 32),
                h = r.small(-1, 24), mi = r.small(-1, 60), s = r.small(-1, 60);
  int32_t st = -1;
  const int32_t t = M_GTI4TM(y, mo, d, h, mi, s, st);
  check(st == 0 || st == MST_BAD_TIME, "M_GTI4TM status", st);
  if (st != 0) return;
  const int64_t yy = full_year(y);
  check(yy >= 45 && yy <= 179, "year accepted out of range", y);
  int32_t y2, mo2, d2, h2, mi2, s2, st2 = -1;
  M_CNVTTM(t, y2, mo2, d2, h2, mi2, s2, st2);
  check(st2 == 0, "M_CNVTTM of a valid time", t, st2);
  check(h2 == h && mi2 == mi && s2 == s, "M_CNVTTM clock", t);
  // 29 February of a year not divisible by 4 is 1 March.
  const bool feb29 = mo == 2 && d == 29 && (yy % 4) != 0;
  check(y2 == yy && (feb29 ? (mo2 == 3 && d2 == 1) : (mo2 == mo && d2 == d)), "M_CNVTTM date", t, y2);
  int32_t st3 = -1;
  check(M_GTI4TM(y2 + 1900, mo2, d2, h2, mi2, s2, st3) == t && st3 == 0, "round trip", t);

  // Time strings name the years 1980-2079 only (two-digit years).
  char a[9];
  int32_t st4 = -1;
  M_MKFNAM(t, a, st4);
  const bool named = yy >= 80 && yy <= 179;
  check(named ? st4 == 0 && digits(a, 9) : st4 == MST_BAD_TIME, "M_MKFNAM", t, st4);
  char c[9];
  std::memset(c, '#', 9);
  int32_t st6 = -1;
  MCHRTIM(y, mo, d, h, mi, c, st6);
  if (!named) {
    check(st6 == MST_BAD_TIME && std::string_view(c, 9) == "         ", "MCHRTIM refusal", t, st6);
    return;
  }
  int32_t t2 = 0, st5 = -1;
  M_MKI4TM({a, 9}, t2, st5);
  check(st5 == 0 && t2 == t - s, "M_MKI4TM of M_MKFNAM", t, t2);
  check(st6 == 0 && std::memcmp(a, c, 9) == 0, "MCHRTIM", t, st6);
}

void strings(Reader& r, const uint8_t* raw, size_t n) {
  char a[16];
  for (int i = 0; i < 16; ++i) a[i] = i < static_cast<int>(n) ? static_cast<char>(raw[i]) : '0';
  (void)r;
  const size_t len = n % 3 == 0 ? 9 : n % 16;  // wrong lengths too
  int32_t t = 0, st = -1;
  M_MKI4TM({a, len}, t, st);
  check(st == 0 || st == MST_BAD_TIME, "M_MKI4TM status", st);
  char stem[14];
  std::memset(stem, '#', sizeof stem);
  int32_t sw = -1;
  M_MKWFNM({a, len}, stem, sw);
  check(sw == 0 || sw == MST_BAD_TIME, "M_MKWFNM status", sw);
  check(stem[13] == '#', "M_MKWFNM wrote past 13 characters");
  if (st == 0) {
    // Nine digits; a longer field may only add blanks (or NULs of a C caller).
    bool padded = len >= 9 && digits(a, 9);
    for (size_t i = 9; padded && i < len; ++i) padded = a[i] == ' ' || a[i] == '\0';
    check(padded, "M_MKI4TM accepted a non-time");
    check(sw == 0, "M_MKWFNM refused a valid time");
  }
  if (sw == 0) {
    check(digits(stem, 8) && stem[8] == '_' && digits(stem + 9, 4), "stem pattern");
    char back[9];
    int32_t sb = -1;
    M_MKFNAM(t, back, sb);
    if (st == 0) check(sb == 0 && std::memcmp(back, a, 9) == 0, "time string round trip", t);
  }
  int32_t mo = 0, d = 0, sc = -1;
  const int32_t jd = r.small(-2, 368), yr = r.small(0, 2100);
  M_CVJLMD(jd, yr, mo, d, sc);
  check(sc == 0 || sc == MST_BAD_TIME, "M_CVJLMD status", sc);
  if (sc == 0) check(mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && jd >= 1 && jd <= 366, "M_CVJLMD range", mo, d);
}

void any_time(Reader& r) {
  const int32_t t = r.i32();
  int32_t y, mo, d, h, mi, s, st = -1;
  M_CNVTTM(t, y, mo, d, h, mi, s, st);
  check(st == 0 || st == MST_BAD_TIME, "M_CNVTTM status", st);
  if (st != 0) return;
  check(mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 &&
            s < 60,
        "M_CNVTTM fields", t);
  if (y >= 45 && y <= 179) {
    int32_t s2 = -1;
    check(M_GTI4TM(y + 1900, mo, d, h, mi, s, s2) == t && s2 == 0, "M_CNVTTM inverse", t);
  }
  char a[9];
  int32_t sf = -1;
  M_MKFNAM(t, a, sf);
  check(sf == 0 || sf == MST_BAD_TIME, "M_MKFNAM status", sf);
}

void files(Reader& r) {
  auto& c = VORANCOM2;
  const int fam = 1 + (r.i32() & 0x7fffffff) % 10;
  c.FILE_PERIOD[fam - 1] = r.small(-60, 86400 * 2);
  c.FILE_ENDOFF[fam - 1] = r.small(-10, 1500);
  // Windows as MSETWIN accepts them (each within +-100000 minutes).
  c.WIN_BEFORE = std::clamp(r.small(-100000, 100000), -100000, 100000);
  c.WIN_AFTER = std::clamp(r.small(-100000, 100000), -100000, 100000);
  // MSETWIN keeps before <= after; a reversed window must still give no files or sane ones.
  const bool reversed = c.WIN_BEFORE > c.WIN_AFTER;
  const int32_t t = r.small(-2000000000, 2000000000);
  int32_t first = 0, n = -1;
  MSFILES(fam, t, first, n);
  if (n < 0)
    std::fprintf(stderr, "period %d endoff %d window %d %d time %d\n", c.FILE_PERIOD[fam - 1],
                 c.FILE_ENDOFF[fam - 1], c.WIN_BEFORE, c.WIN_AFTER, t);
  check(n >= 0, "MSFILES count", n);
  const int64_t p = c.FILE_PERIOD[fam - 1];
  if (n > 0) {
    check(p > 0, "files without a period", p);
    const int64_t tb = t + 60LL * c.WIN_BEFORE, te = t + 60LL * c.WIN_AFTER;
    check(first > tb - p && first <= tb + p, "first file far from the window", first, tb);
    const int64_t last = first + (n - 1) * p;
    if (!reversed) check(last > te - 2 * p && last <= te + p, "last file far from the window", last, te);
  }
  int32_t f2 = 0, n2 = -1;
  MSFILES(0, t, f2, n2);
  check(n2 == 0, "family 0");
  MSFILES(24, t, f2, n2);
  check(n2 == 0, "family 24");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Reader r{data + 1, size - 1};
  switch (data[0] % 4) {
    case 0: calendar(r); break;
    case 1: strings(r, data + 1, size - 1); break;
    case 2: any_time(r); break;
    default: files(r); break;
  }
  return 0;
}
