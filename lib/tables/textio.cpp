// Reading layer of the static text tables.
#include "tables/textio.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "core/core.h"

namespace voran::textio {

namespace {

constexpr int kMaxPath = 1024;
constexpr int kMaxToken = 128;

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Sign and digits only; false on overflow or any other character.
bool parse_int(const char* s, int n, int32_t& value) {
  int i = 0;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == n) return false;
  int64_t v = 0;
  for (; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// Fortran real forms: [sign] digits [. digits] [exponent], the exponent being
// E, D or Q (either case) with optional sign and digits, or a bare sign and
// digits; also INF, INFINITY and NAN.
bool parse_real(const char* s, int n, float& value) {
  char buf[kMaxToken + 8];
  int o = 0, i = 0;
  if (i < n && (s[i] == '+' || s[i] == '-')) buf[o++] = s[i++];
  auto word = [&](const char* w) {
    int len = static_cast<int>(std::strlen(w));
    if (n - i != len) return false;
    for (int k = 0; k < len; ++k) {
      char c = s[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (c != w[k]) return false;
    }
    return true;
  };
  if (word("INF") || word("INFINITY") || word("NAN")) {
    std::memcpy(buf + o, s + i, static_cast<size_t>(n - i));
    buf[o + n - i] = '\0';
    value = std::strtof(buf, nullptr);
    return true;
  }
  int digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '9') buf[o++] = s[i++], ++digits;
  if (i < n && s[i] == '.') {
    buf[o++] = s[i++];
    while (i < n && s[i] >= '0' && s[i] <= '9') buf[o++] = s[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < n) {
    char c = s[i];
    if (std::strchr("EeDdQq", c) != nullptr) {
      ++i;
    } else if (c != '+' && c != '-') {
      return false;
    }
    buf[o++] = 'e';
    if (i < n && (s[i] == '+' || s[i] == '-')) buf[o++] = s[i++];
    int edigits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') buf[o++] = s[i++], ++edigits;
    if (edigits == 0 || i != n) return false;
  }
  buf[o] = '\0';
  value = std::strtof(buf, nullptr);
  return true;
}

bool parse_item(const Item& it, const char* s, int n) {
  if (it.kind == Item::Int) {
    int32_t v;
    if (!parse_int(s, n, v)) return false;
    *static_cast<int32_t*>(it.dst) = v;
  } else {
    float v;
    if (!parse_real(s, n, v)) return false;
    *static_cast<float*>(it.dst) = v;
  }
  return true;
}

}  // namespace

bool TableFile::open(std::string_view path) {
  close();
  char cpath[kMaxPath];
  std::string_view p = ftrim(path);
  if (p.empty() || p.size() >= sizeof cpath || p.find('\0') != std::string_view::npos) return false;
  std::memcpy(cpath, p.data(), p.size());
  cpath[p.size()] = '\0';
  struct stat sb {};
  if (::stat(cpath, &sb) != 0 || !S_ISREG(sb.st_mode)) return false;
  int32_t lun = 0;
  M_GETLUN(lun, 1);
  if (lun <= 0) return false;
  fp_ = std::fopen(cpath, "rb");
  if (fp_ == nullptr) {
    M_GETLUN(lun, 2);
    return false;
  }
  lun_ = lun;
  at_line_start_ = true;
  nlines_ = 0;
  return true;
}

void TableFile::close() {
  if (fp_ != nullptr) std::fclose(fp_);
  fp_ = nullptr;
  if (lun_ > 0) M_GETLUN(lun_, 2);
  lun_ = 0;
}

int TableFile::next_char() {
  int c = std::getc(fp_);
  at_line_start_ = (c == '\n');
  return c;
}

void TableFile::skip_line() {
  int c;
  do c = next_char();
  while (c != '\n' && c != EOF);
}

Rd TableFile::line(char* rec, int32_t width, int32_t& len) {
  len = 0;
  if (fp_ == nullptr) return Rd::Bad;
  int c = next_char();
  if (c == EOF) {
    std::memset(rec, ' ', static_cast<size_t>(width));
    if (!std::ferror(fp_)) return Rd::End;
    ++nlines_;
    return Rd::Bad;
  }
  ++nlines_;
  bool nul = false;
  int32_t n = 0;
  bool pending_cr = false;  // a CR is kept only when more than the newline follows
  while (c != '\n' && c != EOF) {
    if (pending_cr) {
      if (n < width) rec[n++] = '\r';
      pending_cr = false;
    }
    if (c == '\r') {
      pending_cr = true;
    } else {
      if (c == '\0') nul = true;
      if (n < width) rec[n++] = static_cast<char>(c);
    }
    c = next_char();
  }
  len = n;
  std::memset(rec + n, ' ', static_cast<size_t>(width - n));
  return (nul || std::ferror(fp_)) ? Rd::Bad : Rd::Ok;
}

Rd TableFile::list(const Item* items, int32_t n) {
  if (fp_ == nullptr) return Rd::Bad;
  char tok[kMaxToken];
  // A failed read gives up the rest of its line, as a Fortran read does.
  auto fail = [this] {
    if (!at_line_start_) skip_line();
    return Rd::Bad;
  };
  bool started = false;        // a value, null or separator has been met
  bool comma_pending = false;  // a comma separates the previous value from the next
  bool ended_line = false;     // the last token was ended by a line end or the file end
  int32_t k = 0;
  while (k < n) {
    int c = next_char();
    if (c == EOF) return (std::ferror(fp_) || started) ? Rd::Bad : Rd::End;
    if (c == '\0') return fail();
    if (is_blank(c)) continue;
    if (c == ',') {
      if (comma_pending || !started) ++k;  // null value
      comma_pending = true;
      started = true;
      continue;
    }
    if (c == '/') {
      skip_line();
      return Rd::Ok;
    }
    started = true;
    int len = 0;
    while (c != EOF && !is_blank(c) && c != ',' && c != '/') {
      if (c == '\0' || len == kMaxToken) return fail();
      tok[len++] = static_cast<char>(c);
      c = next_char();
    }
    ended_line = (c == '\n' || c == EOF);
    comma_pending = (c == ',');
    if (c == '/') std::ungetc(c, fp_), at_line_start_ = false;
    // "r*v" and "r*" repeat counts
    const char* star = static_cast<const char*>(std::memchr(tok, '*', static_cast<size_t>(len)));
    int32_t repeat = 1;
    const char* val = tok;
    int vlen = len;
    if (star != nullptr) {
      if (!parse_int(tok, static_cast<int>(star - tok), repeat) || repeat <= 0 || tok[0] == '+' ||
          tok[0] == '-')
        return fail();
      val = star + 1;
      vlen = len - static_cast<int>(star - tok) - 1;
    }
    for (int32_t r = 0; r < repeat && k < n; ++r, ++k) {
      if (vlen > 0 && !parse_item(items[k], val, vlen)) return fail();
    }
  }
  if (!ended_line && !at_line_start_) skip_line();
  return Rd::Ok;
}

bool fixed_int(const char* rec, int32_t len, int32_t c1, int32_t c2, int32_t& value) {
  // Only the characters present count: a field cut short by the end of the
  // line is read over its present part.
  int32_t end = c2 < len ? c2 : len;
  char buf[32];
  int n = 0;
  bool sign_last = false;
  for (int32_t i = c1 - 1; i < end; ++i) {
    char c = rec[i];
    sign_last = false;
    if (c == ' ') continue;
    if (n == static_cast<int>(sizeof buf)) return false;
    buf[n++] = c;
    sign_last = (c == '+' || c == '-') && n == 1 && i == end - 1;
  }
  if (n == 0) {
    value = 0;
    return true;
  }
  // A sign followed by blanks reads as 0; a sign ending the present field fails.
  if (n == 1 && (buf[0] == '+' || buf[0] == '-')) {
    if (sign_last) return false;
    value = 0;
    return true;
  }
  return parse_int(buf, n, value);
}

void fmt_i3(int64_t n, char out[3]) {
  if (n < -99 || n > 999) {
    std::memset(out, '*', 3);
    return;
  }
  char tmp[8];
  std::snprintf(tmp, sizeof tmp, "%3d", static_cast<int>(n));
  std::memcpy(out, tmp, 3);
}

int32_t load_providers(int32_t p, std::string_view path, std::string_view routine) {
  char msg[96];
  auto fail = [&](const char* what) {
    int len = std::snprintf(msg, sizeof msg, "%.*s: BIF - %s ERROR - SUBSRCIN",
                            static_cast<int>(routine.size()), routine.data(), what);
    MERROR(std::string_view(msg, static_cast<size_t>(len)));
    return MST_BAD_FILE;
  };
  TableFile f;
  if (!f.open(path)) return fail("OPEN");
  int32_t t = p - 1;
  PROVTBL.SUBSRC_COUNT[t] = 0;
  PROVTBL.SUBTYPE_COUNT[t] = 0;
  int32_t status = 0;
  char rec[31];
  for (int line = 0; line < 300; ++line) {
    int32_t len;
    Rd r = f.line(rec, 31, len);
    if (r == Rd::End) break;
    if (r == Rd::Bad) {
      status = fail("READ");
      break;
    }
    int32_t c1, c2, c3 = 0;
    if (rec[1] == 'P') {
      if (!fixed_int(rec, len, 20, 21, c1) || !fixed_int(rec, len, 25, 26, c2) ||
          !fixed_int(rec, len, 30, 31, c3)) {
        status = fail("READ");
        break;
      }
      int32_t k = PROVTBL.SUBSRC_COUNT[t];
      if (k == NPROV) continue;  // a full table keeps its first 100 providers
      std::memcpy(PROVTBL.SUBSRC_NAME[t][k], rec + 7, 10);
      PROVTBL.SUBSRC_NAMLEN[t][k] = M_LSTCHR(std::string_view(rec + 7, 10), 10);
      PROVTBL.SUBSRC_CODE1[t][k] = c1;
      PROVTBL.SUBSRC_CODE2[t][k] = c2;
      PROVTBL.SUBSRC_CODE3[t][k] = c3;
      PROVTBL.SUBSRC_CODE4[t][k] = 0;
      PROVTBL.SUBSRC_COUNT[t] = k + 1;
    } else if (rec[1] == 'S') {
      if (!fixed_int(rec, len, 20, 21, c1) || !fixed_int(rec, len, 25, 26, c2)) {
        status = fail("READ");
        break;
      }
      int32_t k = PROVTBL.SUBTYPE_COUNT[t];
      if (k == NSUBTYPE) continue;
      std::memcpy(PROVTBL.SUBTYPE_NAME[t][k], rec + 7, 11);
      PROVTBL.SUBTYPE_NAMLEN[t][k] = M_LSTCHR(std::string_view(rec + 7, 11), 11);
      PROVTBL.SUBTYPE_CODE1[t][k] = c1;
      PROVTBL.SUBTYPE_CODE2[t][k] = c2;
      PROVTBL.SUBTYPE_COUNT[t] = k + 1;
    }
  }
  PROVTBL.SUBSRC_LISTED[t] = PROVTBL.SUBSRC_COUNT[t];
  PROVTBL.SUBTYPE_LISTED[t] = PROVTBL.SUBTYPE_COUNT[t];
  return status;
}

}  // namespace voran::textio
