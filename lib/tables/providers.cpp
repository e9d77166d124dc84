// Provider selection (MSETSFCPVDR) and the numbering of the providers met in
// data files: M_IDSUBSRC gives reports their subprovider source numbers,
// M_UPDSRCIN merges the provider table a data file carries into ours.
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tables/tables.h"

namespace {

using voran::NPROV;
using voran::NSUBTYPE;

// Provider table of a dataset number (0 when the dataset has none).
int32_t table_of(int32_t dset) {
  switch (dset) {
    case 0: return 1;
    case 7: return 2;
    case 4: return 3;
    case 5: return 4;
    case 8: return 5;
    case 10: return 6;
    case 11: return 7;
    case 12: return 8;
    case 13: return 9;
    default: return 0;
  }
}

// Counts are kept within the table sizes whatever state we are handed.
int32_t clamp_count(int32_t v, int32_t hi) { return std::clamp<int32_t>(v, 0, hi); }

// Truncation of a real code to a 32-bit integer; NaN gives 0, the ends of
// the integer range bound the rest.
int32_t trunc_i32(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Selection of a provider seen for the first time: the first request that
// named it, otherwise the default.
bool initial_selection(int p, std::string_view name) {
  int32_t nreq = clamp_count(PROVTBL.REQ_COUNT[p], NPROV);
  for (int32_t k = 0; k < nreq; ++k) {
    if (voran::feq_nul(voran::fview(PROVTBL.REQ_NAME[p][k], 10), name))
      return PROVTBL.REQ_SELECTED[p][k];
  }
  return PROVTBL.REQ_DEFAULT[p];
}

bool is_optional_source(int32_t src) { return src == 3 || (src >= 5 && src <= 10); }

// Index into SRC_AVAIL of an optional surface source.
int avail_index(int32_t src) { return src == 3 ? 0 : src - 4; }

}  // namespace

void MSETSFCPVDR(std::string_view provider, bool select, int32_t& status) {
  char key[10];
  voran::fset(key, 10, provider.substr(0, std::min<std::size_t>(provider.size(), 10)));
  // Callers from C may pad the name with NULs.
  std::replace(key, key + 10, '\0', ' ');
  std::string_view k(key, 10);

  if (VORANCOM2.DSINIT[0] != voran::INIT_MARK) {
    MERROR("MSETSFCPVDR: SELECTED SUBSYSTEM NOT INITIALIZED - SFC");
    status = MST_NOT_INITIALIZED;
    return;
  }
  status = MST_OK;

  constexpr int p = 0;  // provider table 1
  bool* sel = PROVTBL.SUBSRC_SELECTED[p];
  bool* src = VORANCOM2.SRC_SELECT;  // source s at [s-1]
  int32_t count = clamp_count(PROVTBL.SUBSRC_COUNT[p], NPROV);
  int32_t nreq = clamp_count(PROVTBL.REQ_COUNT[p], NPROV);

  if (voran::feq(k, "ALL-SFC")) {
    std::fill(src, src + voran::NSRC, select);
    std::fill(sel, sel + count, select);
    PROVTBL.REQ_DEFAULT[p] = select;
    std::fill(PROVTBL.REQ_SELECTED[p], PROVTBL.REQ_SELECTED[p] + nreq, select);
  } else if (voran::feq(k, "ALL-MESO")) {
    src[3] = select;
    for (int32_t i = 7; i <= count; ++i) sel[i - 1] = select;
    PROVTBL.REQ_DEFAULT[p] = select;
    std::fill(PROVTBL.REQ_SELECTED[p], PROVTBL.REQ_SELECTED[p] + nreq, select);
  } else if (voran::feq(k, "ALL-MTR")) {
    src[0] = select;
    sel[0] = select;
    sel[2] = select;
  } else if (voran::feq(k, "ALL-HFMTR")) {
    src[6] = select;
    sel[5] = select;
    sel[31] = select;
  } else {
    // The source switch a single name touches; deselecting a name never
    // switches its source off here (other providers may share it).
    struct Fixed {
      const char* name;
      int32_t source;
    };
    static constexpr Fixed ALWAYS_ON[] = {{"SAO", 3},  {"COOP", 5}, {"UrbaNet", 6},
                                         {"NEPP", 8}, {"HCN", 9},  {"CRN", 10}};
    bool done = false;
    if (voran::feq(k, "MARITIME")) {
      src[1] = select;
      done = true;
    } else if (voran::feq(k, "ASOS") || voran::feq(k, "OTHER-MTR")) {
      if (select) src[0] = true;
      done = true;
    } else if (voran::feq(k, "ASOS-HFM") || voran::feq(k, "OTHER-HFM")) {
      if (select) src[6] = true;
      done = true;
    } else {
      for (const Fixed& f : ALWAYS_ON) {
        if (voran::feq(k, f.name)) {
          src[f.source - 1] = true;
          done = true;
          break;
        }
      }
    }
    if (!done && select) src[3] = true;

    bool found = false;
    for (int32_t i = 0; i < count; ++i) {
      if (voran::feq_nul(voran::fview(PROVTBL.SUBSRC_NAME[p][i], 10), k)) {
        sel[i] = select;
        found = true;
        break;
      }
    }
    if (!found && nreq < NPROV) {
      std::memcpy(PROVTBL.REQ_NAME[p][nreq], key, 10);
      PROVTBL.REQ_SELECTED[p][nreq] = select;
      PROVTBL.REQ_COUNT[p] = nreq + 1;
    }
  }

  // Consistency pass: it only ever switches sources off.
  for (int32_t s = 1; s <= voran::NSRC; ++s) {
    if (is_optional_source(s) && !VORANCOM2.SRC_AVAIL[avail_index(s)]) src[s - 1] = false;
  }
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
  if (!sel[0] && !sel[2]) src[0] = false;
  if (!sel[5] && !sel[31]) src[6] = false;
  if (!PROVTBL.REQ_DEFAULT[p] && std::none_of(sel + 5, sel + NPROV, [](bool b) { return b; }))
    src[3] = false;
}

namespace {

// Numbers already given within one M_IDSUBSRC call, keyed on the name with
// NULs made blanks (names are compared with NUL counted as blank, so equal
// keys are exactly the names that compare equal). Within a call the table
// only grows at its end, so a number once given stays the answer for that
// name. The one exception is the 999 given to the name whose arrival fills
// the last place: that place becomes "ALL ELSE", where a later "ALL ELSE"
// is found at 100. That answer is not remembered.
constexpr uint32_t MEMO_SLOTS = 512;  // power of two
constexpr int32_t MEMO_LIMIT = 256;   // names per call; further names are scanned
struct MemoKey {
  uint64_t head;  // characters 1-8
  uint16_t tail;  // characters 9-10
};
struct MemoSlot {
  uint32_t gen;  // the call that filled the slot; other values mean empty
  int32_t num;
  MemoKey key;
};
MemoSlot MEMO[MEMO_SLOTS];
uint32_t MEMO_GEN = 0;

MemoKey memo_key(const char* name) {
  MemoKey k{};
  std::memcpy(&k.head, name, 8);
  std::memcpy(&k.tail, name + 8, 2);
  k.head = voran::nul_to_blank(k.head);
  k.tail = static_cast<uint16_t>(voran::nul_to_blank(k.tail));
  return k;
}

uint32_t memo_hash(const MemoKey& k) {
  return static_cast<uint32_t>(voran::hash_mix(voran::hash_mix(0, k.head), k.tail));
}

// The number of a name by the table as it is now: the first entry first, a
// blank name 0 unless it is the first entry, then the other entries in order.
// found is false when the name must be appended.
int32_t scan_table(int p, int32_t c, std::string_view name, bool& found) {
  found = true;
  if (c > 0) {
    if (voran::feq_nul(voran::fview(PROVTBL.SUBSRC_NAME[p][0], 10), name)) return 1;
    if (voran::feq_nul(name, "")) return 0;
    for (int32_t k = 2; k <= c; ++k) {
      if (voran::feq_nul(voran::fview(PROVTBL.SUBSRC_NAME[p][k - 1], 10), name)) return k;
    }
  }
  found = false;
  return 0;
}

}  // namespace

void M_IDSUBSRC(int32_t n, const char* names, int32_t* srcnum, int32_t& status) {
  status = MST_OK;
  int32_t t = table_of(MCOM2.CURDSET);
  if (t == 0) {
    for (int32_t i = 0; i < n; ++i) srcnum[i] = 0;
    return;
  }
  int p = t - 1;
  if (++MEMO_GEN == 0) {
    std::memset(MEMO, 0, sizeof MEMO);
    MEMO_GEN = 1;
  }
  const uint32_t gen = MEMO_GEN;
  int32_t remembered = 0;
  for (int32_t i = 0; i < n; ++i) {
    const char* raw = names + static_cast<std::size_t>(i) * 10;
    const MemoKey key = memo_key(raw);
    uint32_t h = memo_hash(key) & (MEMO_SLOTS - 1);
    MemoSlot* slot = nullptr;
    for (;;) {
      MemoSlot& m = MEMO[h];
      if (m.gen != gen) {
        slot = &m;  // empty: the name has no number yet
        break;
      }
      if (m.key.head == key.head && m.key.tail == key.tail) break;
      h = (h + 1) & (MEMO_SLOTS - 1);
    }
    if (slot == nullptr) {
      srcnum[i] = MEMO[h].num;
      continue;
    }

    std::string_view name(raw, 10);
    int32_t c = clamp_count(PROVTBL.SUBSRC_COUNT[p], NPROV);
    bool found = false;
    int32_t num = scan_table(p, c, name, found);
    bool lasting = true;
    if (!found) {
      if (c == NPROV) {
        num = 999;
      } else {
        c += 1;
        PROVTBL.SUBSRC_COUNT[p] = c;
        int e = c - 1;
        PROVTBL.SUBSRC_CODE1[p][e] = PROVTBL.SUBSRC_CODE2[p][e] = 0;
        PROVTBL.SUBSRC_CODE3[p][e] = PROVTBL.SUBSRC_CODE4[p][e] = 0;
        if (c == NPROV) {
          // The last place collects every provider that no longer fits.
          voran::fset(PROVTBL.SUBSRC_NAME[p][e], 10, "ALL ELSE");
          PROVTBL.SUBSRC_NAMLEN[p][e] = 8;
          num = 999;
          lasting = false;
        } else {
          voran::fset_nul(PROVTBL.SUBSRC_NAME[p][e], 10, name.data(), 10);
          PROVTBL.SUBSRC_NAMLEN[p][e] = M_LSTCHR(voran::fview(PROVTBL.SUBSRC_NAME[p][e], 10), 10);
          PROVTBL.SUBSRC_SELECTED[p][e] = initial_selection(p, name);
          num = c;
        }
      }
    }
    srcnum[i] = num;
    if (lasting && remembered < MEMO_LIMIT) {
      slot->gen = gen;
      slot->num = num;
      slot->key = key;
      ++remembered;
    }
  }
  PROVTBL.SUBSRC_LISTED[p] = PROVTBL.SUBSRC_COUNT[p];
}

namespace {

// Largest provider table of a data file that is merged; the arrays of a
// file announcing more fail to read and leave our tables unchanged.
constexpr int32_t MAXPST = 1000;
constexpr int64_t MAXPSTCHR = int64_t{MAXPST} * 64;

float PSTNUM[MAXPST];
float PSTCODE[4][MAXPST];
float PSTWORK[MAXPST];
char PSTTYPE[MAXPSTCHR];
char PSTNAME[MAXPSTCHR];

// Characters per entry of a character variable: the length of its last
// (fastest varying) dimension, 1 for a scalar or one-dimensional variable.
// Returns 0 when the variable cannot be inquired.
int32_t entry_width(int32_t ncid, const char* name, bool one_per_entry) {
  int varid = 0, ndims = 0;
  int dimids[NC_MAX_VAR_DIMS];
  if (nc_inq_varid(ncid, name, &varid) != NC_NOERR) return 0;
  if (nc_inq_varndims(ncid, varid, &ndims) != NC_NOERR || ndims > NC_MAX_VAR_DIMS) return 0;
  if (ndims == 0) return 1;
  if (nc_inq_vardimid(ncid, varid, dimids) != NC_NOERR) return 0;
  if (ndims == 1 && one_per_entry) return 1;
  std::size_t len = 0;
  if (nc_inq_dimlen(ncid, dimids[ndims - 1], &len) != NC_NOERR) return 0;
  return len > 0 && len <= static_cast<std::size_t>(MAXPSTCHR) ? static_cast<int32_t>(len) : 0;
}

// Number of characters a read of the variable delivers (its total size with
// the record dimension counted once), or -1 when it is not known.
int64_t char_total(int32_t ncid, int32_t recdim, const char* name) {
  int varid = 0, ndims = 0;
  int dimids[NC_MAX_VAR_DIMS];
  if (nc_inq_varid(ncid, name, &varid) != NC_NOERR) return -1;
  if (nc_inq_varndims(ncid, varid, &ndims) != NC_NOERR || ndims > NC_MAX_VAR_DIMS) return -1;
  if (nc_inq_vardimid(ncid, varid, dimids) != NC_NOERR) return -1;
  int64_t total = 1;
  for (int d = 0; d < ndims; ++d) {
    std::size_t len = 0;
    if (nc_inq_dimlen(ncid, dimids[d], &len) != NC_NOERR) return -1;
    if (d == 0 && dimids[d] == recdim) len = std::min<std::size_t>(len, 1);
    total *= static_cast<int64_t>(len);
    if (total > MAXPSTCHR) return -1;
  }
  return total;
}

bool read_real(const char* name, int32_t ncid, int32_t recdim, float* dst, int32_t& nvals) {
  int32_t st = 0;
  nvals = 0;
  MRDNUM1(name, ncid, recdim, 1, 1, voran::RMISS, dst, MAXPST, PSTWORK, nvals, st);
  return st == MST_OK;
}

// Read a character variable of the provider table: entries of width
// characters each; returns the number of entries, -1 on failure.
int32_t read_chars(const char* name, int32_t ncid, int32_t recdim, char* dst, bool one_per_entry,
                   int32_t& width) {
  int64_t total = char_total(ncid, recdim, name);
  width = entry_width(ncid, name, one_per_entry);
  if (total < 0 || width <= 0) return -1;
  int32_t st = 0, nchar = 0;
  MRDCHR(name, ncid, recdim, 1, 1, dst, MAXPSTCHR, nchar, st);
  if (st != MST_OK) return -1;
  return static_cast<int32_t>(total / width);
}

// One of the two tables a file's entries are merged into.
struct Table {
  char* names;  // count entries of width characters
  int width;
  int32_t* namlen;
  int32_t* codes[4];
  int ncodes;
  int32_t& count;
  int32_t listed;  // only entries 1..listed are searched
  int32_t capacity;
  bool* selected;  // providers only
};

// Merge one entry: refresh the codes of a listed entry when they differ,
// append an unknown one while there is room. True when the table changed.
bool merge_entry(const Table& t, int p, std::string_view key, const float* code) {
  int32_t listed = clamp_count(t.listed, t.capacity);
  for (int32_t i = 0; i < listed; ++i) {
    if (!voran::feq_nul(voran::fview(t.names + i * t.width, t.width), key)) continue;
    bool differs = false;
    for (int c = 0; c < t.ncodes; ++c) differs = differs || code[c] != float(t.codes[c][i]);
    if (!differs) return false;
    for (int c = 0; c < t.ncodes; ++c) t.codes[c][i] = trunc_i32(code[c]);
    return true;
  }
  int32_t k = clamp_count(t.count, t.capacity);
  if (k == t.capacity) return false;
  char* dst = t.names + k * t.width;
  voran::fset_nul(dst, t.width, key.data(), static_cast<int64_t>(key.size()));
  t.namlen[k] = M_LSTCHR(voran::fview(dst, t.width), t.width);
  for (int c = 0; c < t.ncodes; ++c) t.codes[c][k] = trunc_i32(code[c]);
  if (t.selected) t.selected[k] = initial_selection(p, key);
  t.count = k + 1;
  return true;
}

}  // namespace

void M_UPDSRCIN(int32_t ncid, int32_t recdim, int32_t& status) {
  status = MST_OK;
  int32_t t = table_of(MCOM2.CURDSET);
  if (t == 0) return;
  int p = t - 1;

  // A file without a provider table is normal: read silently.
  bool msg = MCOM2.MSGFLAG;
  MCOM2.MSGFLAG = false;
  int32_t nnum = 0, ncode[4] = {0, 0, 0, 0}, wtype = 0, wname = 0;
  static constexpr const char* CODE_NAMES[4] = {"code1PST", "code2PST", "code3PST", "code4PST"};
  bool ok = read_real("numPST", ncid, recdim, PSTNUM, nnum) && nnum >= 1;
  for (int c = 0; ok && c < 3; ++c) ok = read_real(CODE_NAMES[c], ncid, recdim, PSTCODE[c], ncode[c]);
  int32_t ntype = -1, nname = -1;
  if (ok && !read_real(CODE_NAMES[3], ncid, recdim, PSTCODE[3], ncode[3])) {
    std::fill(PSTCODE[3], PSTCODE[3] + MAXPST, 0.0f);
    ncode[3] = MAXPST;
  }
  if (ok) ntype = read_chars("typePST", ncid, recdim, PSTTYPE, true, wtype);
  if (ok && ntype >= 0) nname = read_chars("namePST", ncid, recdim, PSTNAME, false, wname);
  MCOM2.MSGFLAG = msg;
  if (!ok || ntype < 0 || nname < 0) return;

  // Never trust the announced count: take only entries every array holds.
  float fnum = PSTNUM[0];
  bool no_count = std::isnan(fnum) || fnum < 1.0f || fnum == voran::RMISS;
  int32_t n = no_count ? 0 : trunc_i32(std::min(fnum, float(MAXPST)));
  n = std::min({n, ncode[0], ncode[1], ncode[2], ncode[3], ntype, nname, MAXPST});

  bool changed = false;
  for (int32_t j = 0; j < n; ++j) {
    char type = PSTTYPE[static_cast<int64_t>(j) * wtype];
    const char* name = PSTNAME + static_cast<int64_t>(j) * wname;
    float code[4] = {PSTCODE[0][j], PSTCODE[1][j], PSTCODE[2][j], PSTCODE[3][j]};
    // A code the file does not give (fill, NaN) is no code: 0.
    for (float& c : code)
      if (c == voran::RMISS) c = 0.0f;
    if (type == 'P') {
      Table t{&PROVTBL.SUBSRC_NAME[p][0][0], 10, PROVTBL.SUBSRC_NAMLEN[p],
              {PROVTBL.SUBSRC_CODE1[p], PROVTBL.SUBSRC_CODE2[p], PROVTBL.SUBSRC_CODE3[p],
               PROVTBL.SUBSRC_CODE4[p]},
              4, PROVTBL.SUBSRC_COUNT[p], PROVTBL.SUBSRC_LISTED[p], NPROV,
              PROVTBL.SUBSRC_SELECTED[p]};
      changed = merge_entry(t, p, {name, static_cast<std::size_t>(std::min(wname, 10))}, code) ||
                changed;
    } else if (type == 'S') {
      Table t{&PROVTBL.SUBTYPE_NAME[p][0][0], 11, PROVTBL.SUBTYPE_NAMLEN[p],
              {PROVTBL.SUBTYPE_CODE1[p], PROVTBL.SUBTYPE_CODE2[p], nullptr, nullptr},
              2, PROVTBL.SUBTYPE_COUNT[p], PROVTBL.SUBTYPE_LISTED[p], NSUBTYPE, nullptr};
      changed = merge_entry(t, p, {name, static_cast<std::size_t>(std::min(wname, 11))}, code) ||
                changed;
    }
  }
  if (changed) {
    PROVTBL.SUBSRC_LISTED[p] = PROVTBL.SUBSRC_COUNT[p];
    PROVTBL.SUBTYPE_LISTED[p] = PROVTBL.SUBTYPE_COUNT[p];
  }
}
