// Fixed-column Fortran edit descriptors as the listing needs them: Fw.d and
// Iw output (a field of asterisks when the value does not fit, as gfortran
// prints it) and the Iw input of a fixed field.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace fortran {

// Right-justify text in a field of width w, or w asterisks when it is wider.
inline void put_field(std::string& out, int w, std::string_view text) {
  if (static_cast<int>(text.size()) > w) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  out.append(static_cast<std::size_t>(w) - text.size(), ' ');
  out.append(text);
}

// Iw.
inline void put_i(std::string& out, int w, int32_t v) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", v);
  put_field(out, w, {buf, static_cast<std::size_t>(n)});
}

// Fw.d of a single-precision value: rounded to nearest (ties to even on the
// exact binary value), the sign kept for negative values that round to zero,
// the leading zero dropped when only that makes the value fit.
inline void put_f(std::string& out, int w, int d, float v) {
  if (std::isnan(v)) return put_field(out, w, "NaN");
  if (std::isinf(v)) {
    if (v > 0) return put_field(out, w, w >= 8 ? "Infinity" : "Inf");
    return put_field(out, w, w >= 9 ? "-Infinity" : "-Inf");
  }
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%.*f", d, static_cast<double>(v));
  std::string_view text(buf, static_cast<std::size_t>(n < 0 ? 0 : n));
  if (n > w) {
    // "0.50" -> ".50", "-0.50" -> "-.50"
    if (text.size() > 1 && text[0] == '0' && text[1] == '.') {
      text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '-' && text[1] == '0' && text[2] == '.') {
      buf[1] = '-';
      text = std::string_view(buf + 1, text.size() - 1);
    }
  }
  put_field(out, w, text);
}

// Iw input of a fixed field: blanks are ignored, an all-blank field reads as
// 0, anything but an optional sign followed by digits fails.
inline bool read_i(std::string_view field, int32_t& v) {
  int64_t acc = 0;
  bool neg = false, sign_seen = false, digit_seen = false;
  for (char c : field) {
    if (c == ' ') continue;
    if ((c == '+' || c == '-') && !sign_seen && !digit_seen) {
      sign_seen = true;
      neg = (c == '-');
    } else if (c >= '0' && c <= '9') {
      digit_seen = true;
      acc = acc * 10 + (c - '0');
      if (acc > 2147483648LL) return false;
    } else {
      return false;
    }
  }
  if (sign_seen && !digit_seen) return false;
  if (neg) acc = -acc;
  if (acc > INT32_MAX || acc < INT32_MIN) return false;
  v = static_cast<int32_t>(acc);
  return true;
}

}  // namespace fortran
