// Provider and station-subtype codes of mesonet records: the per-record
// names of a file and their lookup in provider table 1. Shared by the
// precipitation and radiation routines.
#include <netcdf.h>

#include <algorithm>
#include <cstring>

#include "core/filecache.h"
#include "variables/variables.h"

namespace voran {

char REC_PROVIDER[MAXREPORTS * NAME11];
char REC_STATION[MAXREPORTS * NAME11];

namespace {
// Piece buffer of read_names11.
constexpr int64_t PIECE = int64_t{1} << 22;
char PIECEBUF[PIECE];

// The first NAME11 characters of cnt records of nchar characters each.
void keep_records(const char* src, int32_t nchar, int32_t cnt, char* dst) {
  // Records of exactly NAME11 characters are kept whole, in one loop.
  if (nchar == NAME11) return fset_nul(dst, int64_t{cnt} * NAME11, src, int64_t{cnt} * NAME11);
  for (int32_t i = 0; i < cnt; ++i)
    fset_nul(dst + int64_t{i} * NAME11, NAME11, src + int64_t{i} * nchar, nchar);
}

// Equal over the first len characters, NUL counted as blank.
bool same(const char* a, const char* b, int32_t len) {
  return feq_nul(std::string_view(a, static_cast<std::size_t>(len)),
                 std::string_view(b, static_cast<std::size_t>(len)));
}

int32_t provider_count() { return std::clamp<int32_t>(PROVTBL.SUBSRC_COUNT[0], 0, NPROV); }
int32_t subtype_count() { return std::clamp<int32_t>(PROVTBL.SUBTYPE_COUNT[0], 0, NSUBTYPE); }

// First provider entry at or after k0 with this name (significant length L).
int32_t next_provider(const char* prov, int32_t len, int32_t k0) {
  for (int32_t k = k0; k < provider_count(); ++k) {
    if (PROVTBL.SUBSRC_NAMLEN[0][k] == len && same(prov, PROVTBL.SUBSRC_NAME[0][k], len))
      return k;
  }
  return -1;
}

uint32_t name_hash(const char* p, int32_t n, bool nul_blank) {
  return static_cast<uint32_t>(hash_field(0, p, n, nul_blank));
}

// The entries a provider name leads to: its first entry, and the first
// later entry of the name that gives its code itself (asked when the first
// gives codes per station and no station subtype matches).
struct Entries {
  int32_t first;     // -1: no entry of the name
  int32_t fallback;  // -1: none
};

Entries entries_of(const char* prov, int32_t provw) {
  const int32_t len = last_significant(prov, std::max(provw, 0));
  Entries e{next_provider(prov, len, 0), -1};
  if (e.first >= 0 && PROVTBL.SUBSRC_CODE3[0][e.first] != 0) {
    for (int32_t k = next_provider(prov, len, e.first + 1); k >= 0;
         k = next_provider(prov, len, k + 1)) {
      if (PROVTBL.SUBSRC_CODE3[0][k] == 0) {
        e.fallback = k;
        break;
      }
    }
  }
  return e;
}

// A file's records come from few providers: what each provider field
// leads to is remembered, by its raw characters, while one file is handled
// (the provider table does not change then).
struct Memo {
  int64_t gen;  // file_records call it was made in
  int32_t provw;
  char prov[NAME11];
  Entries e;
};
constexpr int NMEMO = 64;
Memo MEMO[NMEMO];
int64_t GEN = 0;

// Station subtypes by name: an open-addressing index of the subtype table,
// built for each file; the first entry of a name wins, as a scan would.
constexpr int NSUBINDEX = 512;  // a power of two above twice the table size
int16_t SUBINDEX[NSUBINDEX];    // subtype entry + 1, 0: empty
int64_t SUBINDEX_GEN = -1;      // the file (GEN) it was built for

void index_subtypes() {
  SUBINDEX_GEN = GEN;
  std::memset(SUBINDEX, 0, sizeof SUBINDEX);
  for (int32_t m = 0; m < subtype_count(); ++m) {
    const int32_t len = PROVTBL.SUBTYPE_NAMLEN[0][m];
    if (len < 1 || len > NAME11) continue;  // matches no station name
    const char* name = PROVTBL.SUBTYPE_NAME[0][m];
    uint32_t h = name_hash(name, len, true) & (NSUBINDEX - 1);
    bool taken = false;
    for (; SUBINDEX[h] != 0; h = (h + 1) & (NSUBINDEX - 1)) {
      const int32_t o = SUBINDEX[h] - 1;
      if (PROVTBL.SUBTYPE_NAMLEN[0][o] == len && same(name, PROVTBL.SUBTYPE_NAME[0][o], len)) {
        taken = true;
        break;
      }
    }
    if (!taken) SUBINDEX[h] = static_cast<int16_t>(m + 1);
  }
}

// First subtype entry named like the station (significant length slen), -1.
// The index is built at the first lookup of each file.
int32_t find_subtype(const char* station, int32_t slen) {
  if (SUBINDEX_GEN != GEN) index_subtypes();
  for (uint32_t h = name_hash(station, slen, true) & (NSUBINDEX - 1); SUBINDEX[h] != 0;
       h = (h + 1) & (NSUBINDEX - 1)) {
    const int32_t m = SUBINDEX[h] - 1;
    if (PROVTBL.SUBTYPE_NAMLEN[0][m] == slen && same(station, PROVTBL.SUBTYPE_NAME[0][m], slen))
      return m;
  }
  return -1;
}

// Per-record names already in REC_PROVIDER / REC_STATION: the variable and
// the open file they were read from. Files stay unchanged while open, so
// the same names asked for again are not read again.
struct NamesTag {
  bool valid;
  int32_t ncid;
  int64_t epoch;
  int32_t nrec;
  std::size_t len;
  char name[NC_MAX_NAME + 1];
};
NamesTag TAGS[2];
// Changes whenever REC_PROVIDER or REC_STATION is written.
int64_t NAMES_GEN = 0;

NamesTag* tag_of(const char* out) {
  if (out == REC_PROVIDER) return &TAGS[0];
  if (out == REC_STATION) return &TAGS[1];
  return nullptr;
}

// The distinct provider fields of REC_PROVIDER, numbered: records then find
// what their provider leads to without comparing names.
constexpr int NDISTINCT = 4096;
constexpr int NDHASH = 2 * NDISTINCT;
int16_t REC_PROV_ID[MAXREPORTS];
int32_t IDS_N = 0;  // records numbered (0: none)
char DISTINCT[NDISTINCT][NAME11];
int32_t NDISTINCT_USED = 0;
int16_t DHASH[NDHASH];  // distinct number + 1, 0: empty
Memo IDMEMO[NDISTINCT];

// Numbers the n provider fields of REC_PROVIDER; more distinct fields than
// the table holds leave the records unnumbered (looked up by name).
void number_providers(int32_t n) {
  IDS_N = 0;
  NDISTINCT_USED = 0;
  std::memset(DHASH, 0, sizeof DHASH);
  for (int32_t i = 0; i < n; ++i) {
    const char* p = REC_PROVIDER + int64_t{i} * NAME11;
    // Neighbouring records often share their provider.
    if (i > 0 && std::memcmp(p, p - NAME11, NAME11) == 0) {
      REC_PROV_ID[i] = REC_PROV_ID[i - 1];
      continue;
    }
    uint32_t h = name_hash(p, NAME11, false) & (NDHASH - 1);
    while (DHASH[h] != 0 && std::memcmp(DISTINCT[DHASH[h] - 1], p, NAME11) != 0)
      h = (h + 1) & (NDHASH - 1);
    if (DHASH[h] == 0) {
      if (NDISTINCT_USED == NDISTINCT) return;
      std::memcpy(DISTINCT[NDISTINCT_USED], p, NAME11);
      IDMEMO[NDISTINCT_USED].gen = -1;
      DHASH[h] = static_cast<int16_t>(++NDISTINCT_USED);
    }
    REC_PROV_ID[i] = static_cast<int16_t>(DHASH[h] - 1);
  }
  IDS_N = n;
}
}  // namespace

int32_t file_records(int32_t dset, int32_t slot, int32_t& status) {
  // A new file (and possibly a provider table changed since the last one).
  ++GEN;
  if (slot < 1 || slot > NFSLOTS || dset < 1 || dset > NSRC) {
    status = MST_BAD_TABLE;
    return -1;
  }
  status = MST_OK;
  return std::clamp<int32_t>(SFCSTRN.FILE_NREC[slot - 1], 0, MAXREPORTS);
}

bool file_has(int32_t slot, std::string_view name) {
  char buf[NC_MAX_NAME + 1];
  if (name.empty() || name.size() > NC_MAX_NAME) return false;
  std::memcpy(buf, name.data(), name.size());
  buf[name.size()] = '\0';
  int varid = 0;
  return nc_inq_varid(SFCSTRN.FILE_NCID[slot - 1], buf, &varid) == NC_NOERR;
}

void fill_names11(char* out, int32_t n, std::string_view text) {
  if (NamesTag* tag = tag_of(out)) tag->valid = false;
  ++NAMES_GEN;
  for (int32_t i = 0; i < n; ++i) fset(out + int64_t{i} * NAME11, NAME11, text);
  if (out == REC_PROVIDER) number_providers(n);
}

void read_names11(std::string_view name, int32_t slot, char* out, int32_t& status) {
  status = MST_OK;
  int32_t ncid = SFCSTRN.FILE_NCID[slot - 1];
  int32_t recdim = SFCSTRN.FILE_RECDIM[slot - 1];
  int32_t nrec = std::clamp<int32_t>(SFCSTRN.FILE_NREC[slot - 1], 0, MAXREPORTS);
  NamesTag* tag = tag_of(out);
  const int64_t epoch = fc_epoch();
  if (tag != nullptr && tag->valid && tag->ncid == ncid && tag->epoch == epoch &&
      tag->nrec == nrec && name.size() == tag->len &&
      std::memcmp(name.data(), tag->name, tag->len) == 0)
    return;
  if (tag != nullptr) tag->valid = false;
  ++NAMES_GEN;
  if (out == REC_PROVIDER) IDS_N = 0;
  if (nrec == 0) return;
  // The first record tells the string width; the rest follows in pieces.
  int32_t nchar = -1;
  MGTCHR(name, ncid, recdim, 1, 1, PIECEBUF, PIECE, nchar, status);
  if (status != MST_OK) return;
  if (nchar < 0) {
    // Not a per-record variable: no names.
    std::memset(out, ' ', static_cast<std::size_t>(nrec) * NAME11);
  } else {
    keep_records(PIECEBUF, nchar, 1, out);
    int32_t per = nchar > 0 ? static_cast<int32_t>(std::min<int64_t>(PIECE / nchar, nrec)) : nrec;
    for (int32_t r = 2; r <= nrec; r += per) {
      int32_t cnt = std::min(per, nrec - r + 1);
      int32_t nc = nchar;
      MGTCHR(name, ncid, recdim, r, cnt, PIECEBUF, PIECE, nc, status);
      if (status != MST_OK) return;
      if (nc != nchar) {
        status = MST_BAD_FILE;
        return;
      }
      keep_records(PIECEBUF, nchar, cnt, out + static_cast<int64_t>(r - 1) * NAME11);
    }
  }
  if (tag != nullptr && name.size() <= NC_MAX_NAME && fc_is_open(ncid)) {
    tag->ncid = ncid;
    tag->epoch = epoch;
    tag->nrec = nrec;
    tag->len = name.size();
    std::memcpy(tag->name, name.data(), name.size());
    tag->valid = true;
  }
  if (out == REC_PROVIDER) number_providers(nrec);
}

namespace {
// The code a record gets from the entries its provider leads to.
[[gnu::always_inline]] inline ProvMatch resolve(const Entries& e, const char* station,
                                                int32_t which) {
  auto own = [which](int32_t k) {
    int32_t code = which == 1 ? PROVTBL.SUBSRC_CODE1[0][k] : PROVTBL.SUBSRC_CODE2[0][k];
    return ProvMatch{true, true, k + 1, code};
  };
  if (e.first < 0) return {false, false, 0, 0};
  if (PROVTBL.SUBSRC_CODE3[0][e.first] == 0) return own(e.first);
  // Codes given per station: the station name picks the subtype; a name no
  // subtype has falls to a later entry of the provider that gives its own.
  int32_t slen = station ? last_significant(station, NAME11) : 0;
  if (slen == 0) return {false, false, 0, 0};
  const int32_t m = find_subtype(station, slen);
  if (m >= 0) {
    int32_t code = which == 1 ? PROVTBL.SUBTYPE_CODE1[0][m] : PROVTBL.SUBTYPE_CODE2[0][m];
    return {true, false, e.first + 1, code};
  }
  if (e.fallback >= 0) return own(e.fallback);
  return {false, false, 0, 0};
}
}  // namespace

ProvMatch provider_lookup(const char* prov, int32_t provw, const char* station, int32_t which) {
  if (provw < 1 || provw > NAME11) return resolve(entries_of(prov, provw), station, which);
  Memo& m = MEMO[name_hash(prov, provw, false) % NMEMO];
  if (m.gen != GEN || m.provw != provw ||
      std::memcmp(m.prov, prov, static_cast<std::size_t>(provw)) != 0) {
    m.e = entries_of(prov, provw);
    m.gen = GEN;
    m.provw = provw;
    std::memcpy(m.prov, prov, static_cast<std::size_t>(provw));
  }
  return resolve(m.e, station, which);
}

void record_provider(int32_t i, int32_t provw, const char* station, int32_t which, ProvMatch& out) {
  if (i < 0 || i >= IDS_N || provw < 1 || provw > NAME11) {
    out = provider_lookup(REC_PROVIDER + int64_t{i} * NAME11, provw, station, which);
    return;
  }
  Memo& m = IDMEMO[REC_PROV_ID[i]];
  if (m.gen != GEN || m.provw != provw) {
    m.e = entries_of(DISTINCT[REC_PROV_ID[i]], provw);
    m.gen = GEN;
    m.provw = provw;
  }
  out = resolve(m.e, station, which);
}

namespace {
// The parts of provider table 1 a record's code depends on, as last seen.
struct TableCopy {
  int32_t count, namlen[NPROV], code1[NPROV], code2[NPROV], code3[NPROV];
  char name[NPROV][10];
  int32_t scount, snamlen[NSUBTYPE], scode1[NSUBTYPE], scode2[NSUBTYPE];
  char sname[NSUBTYPE][11];
};
TableCopy TABLE_COPY;
int64_t TABLE_GEN = 0;  // changes whenever the table differs from the copy

void copy_table(TableCopy& c) {
  c.count = PROVTBL.SUBSRC_COUNT[0];
  std::memcpy(c.namlen, PROVTBL.SUBSRC_NAMLEN[0], sizeof c.namlen);
  std::memcpy(c.code1, PROVTBL.SUBSRC_CODE1[0], sizeof c.code1);
  std::memcpy(c.code2, PROVTBL.SUBSRC_CODE2[0], sizeof c.code2);
  std::memcpy(c.code3, PROVTBL.SUBSRC_CODE3[0], sizeof c.code3);
  std::memcpy(c.name, PROVTBL.SUBSRC_NAME[0], sizeof c.name);
  c.scount = PROVTBL.SUBTYPE_COUNT[0];
  std::memcpy(c.snamlen, PROVTBL.SUBTYPE_NAMLEN[0], sizeof c.snamlen);
  std::memcpy(c.scode1, PROVTBL.SUBTYPE_CODE1[0], sizeof c.scode1);
  std::memcpy(c.scode2, PROVTBL.SUBTYPE_CODE2[0], sizeof c.scode2);
  std::memcpy(c.sname, PROVTBL.SUBTYPE_NAME[0], sizeof c.sname);
}

int64_t table_gen() {
  static TableCopy now;
  std::memset(&now, 0, sizeof now);  // padding compares equal too
  copy_table(now);
  if (std::memcmp(&now, &TABLE_COPY, sizeof now) != 0) {
    std::memcpy(&TABLE_COPY, &now, sizeof now);
    ++TABLE_GEN;
  }
  return TABLE_GEN;
}

// The codes of every record, for each kind of code asked for: valid while
// neither the names nor the table change, so that the precipitation and
// radiation variables of one station list look each record up once.
struct CodeSet {
  bool valid;
  int64_t names_gen, table_gen;
  int32_t n, provw;
};
CodeSet CODESETS[2];
ProvMatch CODES[2][MAXREPORTS];
}  // namespace

const ProvMatch* record_providers(int32_t n, int32_t provw, int32_t which) {
  const int w = which == 1 ? 0 : 1;
  CodeSet& c = CODESETS[w];
  n = std::clamp<int32_t>(n, 0, MAXREPORTS);
  const int64_t tg = table_gen();
  if (!(c.valid && c.names_gen == NAMES_GEN && c.table_gen == tg && c.n >= n &&
        c.provw == provw)) {
    for (int32_t i = 0; i < n; ++i)
      record_provider(i, provw, REC_STATION + int64_t{i} * NAME11, which, CODES[w][i]);
    c = {true, NAMES_GEN, tg, n, provw};
  }
  return CODES[w];
}

int32_t provider_index(const char* prov, int32_t provw) {
  int32_t len = M_LSTCHR(std::string_view(prov, static_cast<std::size_t>(provw)), provw);
  return next_provider(prov, len, 0) + 1;
}

}  // namespace voran
