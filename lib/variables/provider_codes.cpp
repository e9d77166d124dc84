// Provider and station-subtype codes of mesonet records: the per-record
// names of a file and their lookup in provider table 1. Shared by the
// precipitation and radiation routines.
#include <netcdf.h>

#include <algorithm>
#include <cstring>

#include "variables/variables.h"

namespace voran {

char REC_PROVIDER[MAXREPORTS * NAME11];
char REC_STATION[MAXREPORTS * NAME11];

namespace {
// Piece buffer of read_names11.
constexpr int64_t PIECE = int64_t{1} << 22;
char PIECEBUF[PIECE];

void keep11(const char* src, int32_t nchar, char* dst) {
  for (int i = 0; i < NAME11; ++i) {
    char c = i < nchar ? src[i] : ' ';
    dst[i] = (c == '\0') ? ' ' : c;
  }
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

// Lookups that the station name cannot change (the first provider of the
// name gives its code itself, or no provider has the name), remembered by
// the record's provider field while one file is handled: the provider table
// does not change then, and a file's records come from few providers.
struct Memo {
  bool valid;
  int32_t provw;
  int32_t which;
  char prov[NAME11];
  ProvMatch m;
};
constexpr int NMEMO = 64;
Memo MEMO[NMEMO];

int memo_slot(const char* prov, int32_t provw) {
  uint32_t h = 2166136261u;
  for (int32_t i = 0; i < provw; ++i) h = (h ^ static_cast<unsigned char>(prov[i])) * 16777619u;
  return static_cast<int>(h % NMEMO);
}
}  // namespace

int32_t file_records(int32_t dset, int32_t slot, int32_t& status) {
  // A new file (and possibly a provider table changed since the last one).
  for (Memo& m : MEMO) m.valid = false;
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

void read_names11(std::string_view name, int32_t slot, char* out, int32_t& status) {
  status = MST_OK;
  int32_t ncid = SFCSTRN.FILE_NCID[slot - 1];
  int32_t recdim = SFCSTRN.FILE_RECDIM[slot - 1];
  int32_t nrec = std::clamp<int32_t>(SFCSTRN.FILE_NREC[slot - 1], 0, MAXREPORTS);
  if (nrec == 0) return;
  // The first record tells the string width; the rest follows in pieces.
  int32_t nchar = -1;
  MGTCHR(name, ncid, recdim, 1, 1, PIECEBUF, PIECE, nchar, status);
  if (status != MST_OK) return;
  if (nchar < 0) {
    // Not a per-record variable: no names.
    std::memset(out, ' ', static_cast<std::size_t>(nrec) * NAME11);
    return;
  }
  keep11(PIECEBUF, nchar, out);
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
    for (int32_t i = 0; i < cnt; ++i)
      keep11(PIECEBUF + static_cast<int64_t>(i) * nchar, nchar,
             out + static_cast<int64_t>(r - 1 + i) * NAME11);
  }
}

ProvMatch provider_lookup(const char* prov, int32_t provw, const char* station, int32_t which) {
  const bool memo_ok = provw > 0 && provw <= NAME11;
  Memo* memo = memo_ok ? &MEMO[memo_slot(prov, provw)] : nullptr;
  if (memo != nullptr && memo->valid && memo->provw == provw && memo->which == which &&
      std::memcmp(memo->prov, prov, static_cast<std::size_t>(provw)) == 0)
    return memo->m;
  auto remember = [&](ProvMatch m) {
    if (memo != nullptr) {
      memo->valid = true;
      memo->provw = provw;
      memo->which = which;
      std::memcpy(memo->prov, prov, static_cast<std::size_t>(provw));
      memo->m = m;
    }
    return m;
  };
  int32_t len = M_LSTCHR(std::string_view(prov, static_cast<std::size_t>(provw)), provw);
  int32_t first = next_provider(prov, len, 0);
  if (first < 0) return remember({false, false, 0, 0});
  for (int32_t k = first; k >= 0; k = next_provider(prov, len, k + 1)) {
    if (PROVTBL.SUBSRC_CODE3[0][k] == 0) {
      int32_t code = which == 1 ? PROVTBL.SUBSRC_CODE1[0][k] : PROVTBL.SUBSRC_CODE2[0][k];
      ProvMatch m{true, true, k + 1, code};
      return k == first ? remember(m) : m;
    }
    // Codes given per station: the station name picks the subtype.
    int32_t slen = station ? M_LSTCHR(std::string_view(station, NAME11), NAME11) : 0;
    if (slen == 0) return {false, false, 0, 0};
    for (int32_t m = 0; m < subtype_count(); ++m) {
      if (PROVTBL.SUBTYPE_NAMLEN[0][m] == slen && same(station, PROVTBL.SUBTYPE_NAME[0][m], slen)) {
        int32_t code = which == 1 ? PROVTBL.SUBTYPE_CODE1[0][m] : PROVTBL.SUBTYPE_CODE2[0][m];
        return {true, false, k + 1, code};
      }
    }
  }
  return {false, false, 0, 0};
}

int32_t provider_index(const char* prov, int32_t provw) {
  int32_t len = M_LSTCHR(std::string_view(prov, static_cast<std::size_t>(provw)), provw);
  return next_provider(prov, len, 0) + 1;
}

}  // namespace voran
