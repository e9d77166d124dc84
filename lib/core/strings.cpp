// Fixed-length character fields, the library's string helpers and the
// channel-number pool.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/core.h"

// A character is significant when it is printable ASCII other than the blank
// and the grave accent; control bytes, DEL and bytes above 127 count as blanks.
int32_t M_LSTCHR(std::string_view s, int32_t len) {
  return voran::last_significant(s.data(), std::min<int32_t>(len, static_cast<int32_t>(s.size())));
}

namespace {
// Free units are positive; a lent unit is stored negated.
int32_t NUM[80] = {
    99, 98, 97, 96, 95, 94, 93, 92, 91, 90, 89, 88, 87, 86, 85, 84, 83, 82, 81, 80,
    79, 78, 77, 76, 75, 74, 73, 72, 71, 70, 69, 68, 67, 66, 65, 64, 63, 62, 61, 60,
    59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40,
    39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20};
}  // namespace

void M_GETLUN(int32_t& lun, int32_t mode) {
  if (mode == 1) {
    for (int32_t& u : NUM) {
      if (u > 0) {
        lun = u;
        u = -u;
        return;
      }
    }
    std::fputs(" NEED MORE THAN 80 UNIT NUMBERS\n", stdout);
  } else if (mode == 2) {
    for (int32_t& u : NUM) {
      if (u == -lun && lun > 0) u = lun;
    }
  }
}

namespace voran {

namespace {
bool fcompare(std::string_view a, std::string_view b, bool nul_blank) {
  auto norm = [nul_blank](char c) { return (nul_blank && c == '\0') ? ' ' : c; };
  std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char ca = i < a.size() ? norm(a[i]) : ' ';
    char cb = i < b.size() ? norm(b[i]) : ' ';
    if (ca != cb) return false;
  }
  return true;
}
}  // namespace

bool feq(std::string_view a, std::string_view b) { return fcompare(a, b, false); }
bool feq_nul(std::string_view a, std::string_view b) { return fcompare(a, b, true); }

void fset(char* dst, std::size_t width, std::string_view src) {
  std::size_t n = std::min(width, src.size());
  if (n > 0) std::memcpy(dst, src.data(), n);
  std::memset(dst + n, ' ', width - n);
}

std::string_view ftrim(std::string_view s) {
  return s.substr(0, static_cast<std::size_t>(M_LSTCHR(s, static_cast<int32_t>(s.size()))));
}

}  // namespace voran
