// Report filters: which reports of one surface network become stations
// (test reports, providers, completeness, time window, domain, duplicates),
// and the QC-level filter applied to variable values.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "stations/stations.h"

namespace {

using voran::MAXREPORTS;

// Kept-report table of one MSFCFLTR call: observation time of each kept
// entry, the report it stands for now, and the report that created it (whose
// identifier, provider and position are the entry's matching key).
int32_t LOCAL_OBTIME[MAXREPORTS];
int32_t KEEP_REP[MAXREPORTS];
int32_t KEY_REP[MAXREPORTS];

// Open-addressing index from matching key to kept entry (entry number + 1,
// 0 = empty slot). Sized to a power of two of at least twice the reports of
// the call; only that prefix is cleared per call.
constexpr int32_t HASH_CAP = 1 << 23;
int32_t HASH[HASH_CAP];

// The matching key of report i: identifier; with the provider for MESONET;
// with the exact position for MARITIME.
struct KeyView {
  const char* stid;
  const char* provider;
  const float* lat;
  const float* lon;
  int32_t dset;
};

uint32_t float_bits(float f) {
  if (f == 0.0f) f = 0.0f;  // -0.0 matches 0.0
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

uint64_t key_hash(const KeyView& kv, int32_t i) {
  uint64_t h = 1469598103934665603ull;
  h = voran::hash_field(h, kv.stid + 10 * static_cast<std::size_t>(i), 10, false);
  if (kv.dset == 4)
    h = voran::hash_field(h, kv.provider + 10 * static_cast<std::size_t>(i), 10, false);
  if (kv.dset == 2) {
    uint64_t a = float_bits(kv.lat[i]);
    uint64_t b = float_bits(kv.lon[i]);
    h = voran::hash_mix(h, (a << 32) | b);
  }
  return h ^ (h >> 29);
}

bool key_equal(const KeyView& kv, int32_t i, int32_t j) {
  if (std::memcmp(kv.stid + 10 * static_cast<std::size_t>(i),
                  kv.stid + 10 * static_cast<std::size_t>(j), 10) != 0)
    return false;
  if (kv.dset == 4 && std::memcmp(kv.provider + 10 * static_cast<std::size_t>(i),
                                  kv.provider + 10 * static_cast<std::size_t>(j), 10) != 0)
    return false;
  if (kv.dset == 2 && !(kv.lat[i] == kv.lat[j] && kv.lon[i] == kv.lon[j])) return false;
  return true;
}

// A MARITIME report whose position is not a number matches nothing.
bool key_usable(const KeyView& kv, int32_t i) {
  return kv.dset != 2 || (!std::isnan(kv.lat[i]) && !std::isnan(kv.lon[i]));
}

// Largest multiple of 60 not above t.
int64_t floor_minute(int64_t t) {
  int64_t q = t / 60;
  if (t % 60 != 0 && t < 0) --q;
  return q * 60;
}

// The width is a constant so that each copy is a few moves, not a call.
template <int32_t Width, typename T>
void move_entry(T* a, int32_t to, int32_t from) {
  if (to != from)
    std::memcpy(a + static_cast<std::size_t>(to) * Width,
                a + static_cast<std::size_t>(from) * Width, sizeof(T) * Width);
}

}  // namespace

void MSFCFLTR(std::string_view time, int32_t winbefore, int32_t winafter, int32_t recwin,
              int32_t dset, float missing, const bool* subsrc_selected, int32_t n,
              int32_t* obtime, char* stid, int32_t* wmoid, char* provider, int32_t* subsrc,
              float* lat, float* lon, float* elev, char* atype, char* rtype, int32_t* fnum,
              int32_t* rnum, int32_t& nkeep) {
  nkeep = 0;
  if (n <= 0) return;
  if (n > MAXREPORTS) n = MAXREPORTS;

  int64_t t = 0, ts = 0, te = 0;
  if (recwin != 0) {
    int32_t it = 0, st = 0;
    M_MKI4TM(time, it, st);
    if (st != 0) return;  // no window can be formed: nothing qualifies
    t = it;
    ts = t + 60 * static_cast<int64_t>(winbefore);
    te = t + 60 * static_cast<int64_t>(winafter);
  }
  const bool search = recwin >= 1 && recwin <= 3;
  const KeyView kv{stid, provider, lat, lon, dset};

  uint32_t mask = 0;
  if (search) {
    uint32_t cap = 1024;
    while (cap < 2u * static_cast<uint32_t>(n) && cap < static_cast<uint32_t>(HASH_CAP)) cap <<= 1;
    std::memset(HASH, 0, sizeof(int32_t) * cap);
    mask = cap - 1;
  }
  const auto imissing = static_cast<int32_t>(missing);

  for (int32_t i = 0; i < n; ++i) {
    // Network tests: METAR test reports; SAO only automatic "SA" reports.
    if (dset == 1 && std::memcmp(rtype + 5 * static_cast<std::size_t>(i), "TEST", 4) == 0)
      continue;
    if (dset == 3) {
      const char* a = atype + 5 * static_cast<std::size_t>(i);
      const char* r = rtype + 5 * static_cast<std::size_t>(i);
      if (!(a[0] == 'A' && r[0] == 'S' && r[1] == 'A')) continue;
    }
    // Completeness.
    if (lat[i] == missing || lon[i] == missing || elev[i] == missing ||
        obtime[i] == imissing)
      continue;
    // Provider selection; 0 (no provider) and 999 (table full) always pass.
    int32_t s = subsrc[i];
    if (s != 0 && s != 999) {
      if (s < 1 || s > voran::NPROV || !subsrc_selected[s - 1]) continue;
    }

    const int64_t ob = obtime[i];
    const int64_t m = floor_minute(ob);
    bool found = false;
    uint32_t hslot = 0;
    const bool usable = search && key_usable(kv, i);
    if (usable) {
      hslot = static_cast<uint32_t>(key_hash(kv, i)) & mask;
      while (HASH[hslot] != 0) {
        int32_t k = HASH[hslot] - 1;
        if (key_equal(kv, KEY_REP[k], i)) {
          found = true;
          const int64_t cur = LOCAL_OBTIME[k];
          bool take = false;
          if (m <= te) {
            if (recwin == 1) {
              // Nearest to t, but never from before the window: t need not
              // lie inside it.
              int64_t dn = ob - t, dc = cur - t;
              take = (dn < 0 ? -dn : dn) <= (dc < 0 ? -dc : dc) && ts <= m;
            } else if (recwin == 2) {
              take = ob <= cur && ts <= m;
            } else {
              take = ob >= cur;
            }
          }
          if (take) {
            LOCAL_OBTIME[k] = obtime[i];
            KEEP_REP[k] = i;
          }
          break;  // one entry per key: a found key never gets a second entry
        }
        hslot = (hslot + 1) & mask;
      }
    }

    if (recwin == 0 || (!found && ts <= ob && m <= te)) {
      if (MDOMFLTR(lat[i], lon[i])) continue;
      int32_t k = nkeep++;
      LOCAL_OBTIME[k] = obtime[i];
      KEEP_REP[k] = i;
      KEY_REP[k] = i;
      if (usable) HASH[hslot] = k + 1;  // hslot is the empty slot the probe ended on
    }
  }

  // Compaction in place; entry k stands for a report j >= k.
  for (int32_t k = 0; k < nkeep; ++k) {
    int32_t j = KEEP_REP[k];
    obtime[k] = LOCAL_OBTIME[k];
    move_entry<10>(stid, k, j);
    move_entry<1>(wmoid, k, j);
    move_entry<10>(provider, k, j);
    move_entry<1>(lat, k, j);
    move_entry<1>(lon, k, j);
    move_entry<1>(elev, k, j);
    move_entry<5>(atype, k, j);
    move_entry<5>(rtype, k, j);
    move_entry<1>(fnum, k, j);
    move_entry<1>(rnum, k, j);
  }
}

namespace {

// QC descriptor characters accepted at each level.
constexpr std::string_view QC_LEVEL1 = "CSVGIWT";
constexpr std::string_view QC_LEVEL2 = "SVGIWT";
constexpr std::string_view QC_LEVEL3 = "VGIWT";

bool accepted(std::string_view set, char c) { return set.find(c) != std::string_view::npos; }

}  // namespace

void MQCFLTR(int32_t vcode, int32_t dset, int32_t nval, int32_t nobs, const char* qcd,
             const int32_t* nlev, const int32_t* levtype, float* values) {
  int32_t st = 0;
  const int32_t avail = MQCINQ(vcode, st);
  if (st != 0 || nval <= 0 || nobs <= 0) return;

  const int32_t cur = MCOM2.CURDSET;
  if (MCOM2.DBNUM == 2 && cur == 0 && (dset != 4 || VORANCOM2.TESKA2_FLAG)) return;
  if (cur == 8 && dset != 2) return;
  if (avail == 0 || VORANCOM2.QC_SOURCE == 2) return;

  int32_t q = VORANCOM2.QC_LEVEL;
  bool grid_split = false;
  bool per_level = false;
  if (q == 99) {
    q = avail;
    grid_split = cur == 0;
    per_level = cur == 1 && (VORANCOM2.QC_LEVTYPE_SW[0] || VORANCOM2.QC_LEVTYPE_SW[1]) &&
                nlev != nullptr && levtype != nullptr;
  }
  if (q == 0) return;

  if (per_level) {
    const bool sw1 = VORANCOM2.QC_LEVTYPE_SW[0];
    const bool sw2 = VORANCOM2.QC_LEVTYPE_SW[1];
    for (int32_t i = 0; i < nobs; ++i) {
      int32_t nl = nlev[i] < nval ? nlev[i] : nval;
      for (int32_t j = 0; j < nl; ++j) {
        std::size_t e = static_cast<std::size_t>(i) * nval + j;
        int32_t y = levtype[e];
        if (sw2 && !accepted(y == 2 ? QC_LEVEL2 : QC_LEVEL1, qcd[e])) {
          values[e] = voran::RMISS;
          continue;
        }
        if (sw1 && !accepted((y == 1 || y == 2) ? QC_LEVEL2 : QC_LEVEL1, qcd[e]))
          values[e] = voran::RMISS;
      }
    }
    return;
  }

  std::string_view set;
  if (q == 1) {
    set = QC_LEVEL1;
  } else if (q == 2) {
    set = QC_LEVEL2;
  } else if (q == 3) {
    set = QC_LEVEL3;
  } else {
    return;
  }
  // At level 3 reached through 99, surface records outside the national grid
  // frame also accept "S". The rows are the records of the file in
  // QCFLTR_SLOT; without a valid slot the general level-3 set applies.
  const int32_t slot = VORANCOM2.QCFLTR_SLOT;
  const bool split = grid_split && q == 3 && slot >= 1 && slot <= SFCSTRN.FILE_COUNT &&
                     nobs <= SFCSTRN.FILE_NREC[slot - 1];
  for (int32_t i = 0; i < nobs; ++i) {
    std::string_view row_set = (split && !IN_GRID(slot, i + 1)) ? QC_LEVEL2 : set;
    for (int32_t j = 0; j < nval; ++j) {
      std::size_t e = static_cast<std::size_t>(i) * nval + j;
      if (!accepted(row_set, qcd[e])) values[e] = voran::RMISS;
    }
  }
}
