// Variable-code tables: loading (MRDVCODE), lookup (MGETVCN) and the binary
// search of fixed-length strings (M_CBSRCH).
#include <cstdio>
#include <cstring>

#include "tables/tables.h"
#include "tables/textio.h"

namespace {

using voran::textio::Rd;

constexpr int32_t kWidth = 22;

// Dataset words of the lookup message, by dataset number (9 has none).
constexpr const char* kWords[voran::NDSETS] = {"SFC",    "RAOB",  "NPN",    "ACARS",  "MAP",
                                               "RDMTR",  "ACARSP", "HYDRO", "SATWND", "",
                                               "SATSND", "SATRAD", "SNOW",  "WISDOM"};

int32_t line_error(const char* text, int64_t line, int32_t status) {
  char msg[96];
  int n = std::snprintf(msg, sizeof msg, "%s", text);
  voran::textio::fmt_i3(line, msg + n);
  MERROR(std::string_view(msg, static_cast<size_t>(n + 3)));
  return status;
}

// Fortran comparison of fixed-length strings: the shorter one counts as
// blank-padded, bytes compare unsigned.
int fcompare(std::string_view a, std::string_view b) {
  size_t n = a.size() > b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

}  // namespace

void MRDVCODE(int32_t dset, std::string_view path, int32_t& status) {
  if (dset < 0 || dset >= voran::NDSETS) {
    MERROR("MRDVCODE: INTV - INVALID DATASET NUMBER");
    status = MST_BAD_TABLE;
    return;
  }
  VCNTBL.VCN_COUNT[dset] = 0;
  voran::textio::TableFile file;
  if (!file.open(path)) {
    MERROR("MRDVCODE: BIF - OPEN ERROR - VCNTBL");
    status = MST_BAD_FILE;
    return;
  }
  status = MST_OK;
  char rec[kWidth];
  voran::textio::each_line(file, rec, kWidth, [&](Rd r, int32_t len, int64_t line) {
    int32_t code = 0;
    if (r == Rd::Bad || !voran::textio::fixed_int(rec, len, 16, 18, code)) {
      status = line_error("MRDVCODE: BIF - READ ERROR IN VCNTBL AT LINE ", line, MST_BAD_FILE);
      return false;
    }
    if (code < 1 || code > voran::NCODES) {
      status = line_error("MRDVCODE: INTV - INVALID VARIABLE CODE AT VCNTBL LINE ", line,
                          MST_BAD_TABLE);
      return false;
    }
    char type = rec[21];
    if (type != 'N' && type != 'C') {
      status = line_error("MRDVCODE: INTV - INVALID VARIABLE TYPE AT VCNTBL LINE ", line,
                          MST_BAD_TABLE);
      return false;
    }
    int32_t k = VCNTBL.VCN_COUNT[dset];
    // The table holds one entry per code; a longer file is refused rather
    // than silently cut short.
    if (k == voran::NCODES) {
      status = line_error("MRDVCODE: INTV - TOO MANY ENTRIES AT VCNTBL LINE ", line,
                          MST_BAD_TABLE);
      return false;
    }
    std::memcpy(VCNTBL.VCN_NAME[dset][k], rec, 7);
    VCNTBL.VCN_CODE[dset][k] = code;
    VCNTBL.VCN_TYPE[dset][k] = type;
    VCNTBL.VCN_COUNT[dset] = k + 1;
    return true;
  });
}

void MGETVCN(std::string_view name, int32_t& code, char* type, int32_t& status) {
  status = MST_BAD_VARNAME;
  int32_t d = MCOM2.CURDSET;
  bool valid_dset = d >= 0 && d < voran::NDSETS;
  char key[7];
  voran::fset(key, 7, name);
  if (name.size() <= 7 && valid_dset) {
    int32_t pos;
    bool found;
    M_CBSRCH(&VCNTBL.VCN_NAME[d][0][0], 7, std::string_view(key, 7), VCNTBL.VCN_COUNT[d], pos,
             found);
    if (found) {
      code = VCNTBL.VCN_CODE[d][pos - 1];
      *type = VCNTBL.VCN_TYPE[d][pos - 1];
      status = MST_OK;
      return;
    }
  }
  // 65 characters: text, dataset word (20), separator, key (7).
  char msg[72];
  int n = std::snprintf(msg, sizeof msg, "MGETVCN: INVALID VARIABLE CODE -- %-20s -- ",
                        valid_dset ? kWords[d] : "");
  std::memcpy(msg + n, key, 7);
  MERROR(std::string_view(msg, static_cast<size_t>(n + 7)));
}

void M_CBSRCH(const char* list, int32_t width, std::string_view key, int32_t count,
              int32_t& pos, bool& found) {
  int32_t low = 1, high = count;
  while (low <= high) {
    int32_t mid = low + (high - low) / 2;
    int c = fcompare(std::string_view(list + static_cast<size_t>(mid - 1) * width,
                                      static_cast<size_t>(width)),
                     key);
    if (c == 0) {
      pos = mid;
      found = true;
      return;
    }
    if (c < 0)
      low = mid + 1;
    else
      high = mid - 1;
  }
  pos = high + 1;
  found = false;
}
