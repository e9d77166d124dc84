// MGETSFC: one surface variable for every station of the current list.
//
// Each open file of the list is handled once: the variable is either read
// directly with its QC companions (then corrected and scaled per network) or
// the file is handed to the derivation routine the dispatch table names. The
// file's values are QC-filtered in the scratch arrays and scattered to the
// caller's arrays in station-list order.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "stations/stations.h"
#include "tables/tables.h"
#include "variables/variables.h"

namespace voran {
namespace {

// All derivations are called through one signature; the routines whose
// argument lists differ are adapted below.
using Deriv = void (*)(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd,
                       float* qca, float* qcr, int32_t& status);

void rdlft(int32_t code, int32_t, int32_t slot, float* v, char* d, float* a, float* r,
           int32_t& st) {
  MSFCRDLFT(code, slot, v, d, a, r, st);
}
void snow(int32_t code, int32_t, int32_t slot, float* v, char* d, float* a, float* r,
          int32_t& st) {
  MSFCSNOW(code, slot, v, d, a, r, st);
}
void elev(int32_t, int32_t dset, int32_t slot, float* v, char* d, float* a, float* r,
          int32_t& st) {
  MSFCELEV(dset, slot, v, d, a, r, st);
}

// Networks a row applies to: bit n for surface source n; 0 = every network.
constexpr uint32_t net(int n) { return 1u << n; }

struct Row {
  const int16_t* codes;
  int ncodes;
  uint32_t nets;
  Deriv fn;
};

constexpr int16_t MOI[] = {1, 2, 112, 113, 131, 144, 166, 167, 168, 169, 186, 197, 198, 200, 202, 209};
constexpr int16_t PCHG[] = {4};
constexpr int16_t WIND[] = {9, 10, 11, 12, 57, 58, 145, 146, 149, 150, 171, 172, 173, 174, 175, 176};
constexpr int16_t PCP[] = {31, 32, 33, 34, 35, 36, 37, 38, 39, 147, 148, 181, 193, 231, 299, 300};
constexpr int16_t SRAD[] = {74, 101, 102, 103, 104, 105, 132, 133, 134, 135, 136, 137, 138, 139, 140, 187, 207};
constexpr int16_t PRS[] = {3, 7, 229};
constexpr int16_t TV[] = {114, 170, 204};
constexpr int16_t ELEV[] = {16};
constexpr int16_t RDLFT[] = {89, 90, 91, 92};
constexpr int16_t SNOW[] = {73};
constexpr int16_t ART[] = {8};

#define ROW(list, nets, fn) {list, static_cast<int>(sizeof list / sizeof list[0]), nets, fn}
// First matching row wins; a code and network without a row is read directly.
const Row DISPATCH[] = {
    ROW(MOI, 0, MSFCMOI),
    ROW(PCHG, 0, MSFCPCHG),
    ROW(WIND, 0, MSFCWIND),
    ROW(PCP, 0, MSFCPCP),
    ROW(SRAD, 0, MSFCSRAD),
    ROW(PRS, 0, MSFCPRS),
    ROW(TV, 0, MSFCTV),
    ROW(ELEV, 0, elev),
    ROW(RDLFT, 0, rdlft),
    ROW(SNOW, net(5), snow),
    ROW(ART, net(9) | net(10), MSFCART),
};
#undef ROW

Deriv route(int32_t code, int32_t dset) {
  for (const Row& row : DISPATCH) {
    if (row.nets != 0 && (row.nets & net(dset)) == 0) continue;
    for (int i = 0; i < row.ncodes; ++i)
      if (row.codes[i] == code) return row.fn;
  }
  return nullptr;
}

// Network corrections of directly read values: first the markers MESONET
// stores for absent values of codes 78..84, then the unit scale factors.
struct Scale {
  int32_t dset, code;
  float factor;
};
constexpr Scale SCALES[] = {
    {3, 6, 100.0f}, {3, 13, 1000.0f}, {4, 78, 0.01f}, {4, 83, 0.01f}, {5, 161, 0.001f}, {5, 178, 0.001f},
};

void correct(int32_t code, int32_t dset, int32_t n, float* val) {
  if (dset == 4 && code >= 78 && code <= 84) {
    for (int32_t i = 0; i < n; ++i)
      if (val[i] > 1.0e30f || val[i] == -9999.0f) val[i] = RMISS;
  }
  for (const Scale& s : SCALES) {
    if (s.dset != dset || s.code != code) continue;
    // A value too large for the unit change is no value.
    for (int32_t i = 0; i < n; ++i)
      if (val[i] != RMISS) val[i] = std::isfinite(val[i] * s.factor) ? val[i] * s.factor : RMISS;
  }
}

// QC masks travel as reals; the caller gets them truncated to integers.
// Written without branches: the scatter calls it twice for every station.
inline int32_t mask_of(float x) {
  float c = x > 2147483520.0f ? 2147483520.0f : x;  // the largest float below 2^31
  c = c < -2147483648.0f ? -2147483648.0f : c;
  c = x == x ? c : 0.0f;  // NaN
  const auto r = static_cast<int32_t>(c);
  return x >= 2147483648.0f ? INT32_MAX : r;
}

int32_t nlev_of(int32_t code) {
  if (code == 40 || code == 41) return 2;
  if (code == 44) return 6;
  return 1;
}

int32_t nlevf_of(int32_t code, int32_t dset) {
  if (code != 44) return nlev_of(code);
  if (dset == 7) return 3;
  if (dset == 3) return 5;
  return 6;
}

// Files of the list already handled in this call, slot s at [s-1].
int32_t PROC_FILE[NFSLOTS];
char VCT;

// Direct read of the variable and its QC companions into the scratch arrays.
void read_direct(int32_t code, int32_t dset, int32_t slot, int32_t nlevf, int32_t& status) {
  VORANTMP3_t& s = VORANTMP3;
  const int32_t n = SFCSTRN.FILE_NREC[slot - 1] * nlevf;
  read_values(code, dset, slot, s.TMPVAL, status, nlevf);
  if (status != MST_OK && status != MST_NOT_IN_DATABASE) return;
  // A read writes every value; a variable the file lacks leaves them missing.
  if (status == MST_NOT_IN_DATABASE) fill_missing(n, s.TMPVAL, nullptr, nullptr, nullptr);
  bool has_qc = false;
  read_qc(code, dset, slot, nlevf, s.TMPQCD, s.TMPQCA, s.TMPQCR, has_qc, status);
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  if (status != MST_OK) return;
  correct(code, dset, n, s.TMPVAL);
}

// Output entry j without a value.
void set_missing(int32_t j, float* obs, char* qcd, int32_t* qca, int32_t* qcr) {
  obs[j] = RMISS;
  qcd[j] = 'Z';
  qca[j] = 0;
  qcr[j] = 0;
}

// The scatter of a file of one value per record: list entries from 'from'
// on that name a record of file f get its values (missing values when the
// record is not in the file). Returns how many got a value; run_end is the
// first entry after 'from' that names another file.
VORAN_WIDE_LOOP int32_t scatter1(int32_t f, int32_t nrec, int32_t from, int32_t count,
                                 float* __restrict obs, char* __restrict qcd,
                                 int32_t* __restrict qca, int32_t* __restrict qcr,
                                 int32_t& run_end) {
  const VORANTMP3_t& s = VORANTMP3;
  const int32_t* __restrict file = SFCSTRN.STA_FILE;
  const int32_t* __restrict rec = SFCSTRN.STA_REC;
  int32_t got = 0;
  run_end = count;  // first entry after 'from' of another file
  for (int32_t j = from; j < count;) {
    const int32_t r = rec[j];
    if (file[j] != f) {
      run_end = std::min(run_end, j);
      ++j;
      continue;
    }
    if (r < 1 || r > nrec) {
      set_missing(j++, obs, qcd, qca, qcr);
      continue;
    }
    // Entries naming consecutive records are copied as one run, a loop
    // the compiler vectorises.
    const int32_t most = std::min(count - j, nrec - r + 1);
    int32_t len = 1;
    // Whole blocks of the run first: a fixed-length test the compiler
    // vectorises.
    constexpr int32_t BLOCK = 16;
    while (len + BLOCK <= most) {
      int ok = 1;
      for (int32_t k = 0; k < BLOCK; ++k)
        ok &= static_cast<int>(file[j + len + k] == f) &
              static_cast<int>(rec[j + len + k] == r + len + k);
      if (!ok) break;
      len += BLOCK;
    }
    while (len < most && file[j + len] == f && rec[j + len] == r + len) ++len;
    const float* __restrict val = s.TMPVAL + (r - 1);
    const char* __restrict d = s.TMPQCD + (r - 1);
    const float* __restrict a = s.TMPQCA + (r - 1);
    const float* __restrict q = s.TMPQCR + (r - 1);
    float* __restrict o = obs + j;
    char* __restrict od = qcd + j;
    int32_t* __restrict oa = qca + j;
    int32_t* __restrict oq = qcr + j;
    for (int32_t k = 0; k < len; ++k) {
      o[k] = val[k];
      od[k] = d[k];
      oa[k] = mask_of(a[k]);
      oq[k] = mask_of(q[k]);
      got += val[k] != RMISS;
    }
    j += len;
  }
  return got;
}

void fail(int32_t& nsta, int32_t& nobs) {
  nsta = 0;
  nobs = 0;
}

// Values of one value per station are not preset: each file's scatter
// writes all of its entries. What no scatter wrote (entries of no valid
// file, of a file without the variable, or of files not reached) is set
// missing here. PROC_FILE: 0 not reached, 1 reached, 2 scattered.
void fill_unscattered(int32_t count, float* obs, char* qcd, int32_t* qca, int32_t* qcr) {
  for (int32_t j = 0; j < count; ++j) {
    const int32_t f = SFCSTRN.STA_FILE[j];
    if (f < 1 || f > NFSLOTS || PROC_FILE[f - 1] != 2) set_missing(j, obs, qcd, qca, qcr);
  }
}

}  // namespace
}  // namespace voran

void MGETSFC(std::string_view atime, std::string_view varnam, int32_t& nsta, int32_t& nobs,
             float* obs, char* qcd, int32_t* qca, int32_t* qcr, int32_t& status) {
  using namespace voran;
  if (VORANCOM2.DSINIT[0] != INIT_MARK) {
    status = MST_NOT_INITIALIZED;
    MERROR("MGETSFC: SELECTED SUBSYSTEM NOT INITIALIZED - SFC ");
    return fail(nsta, nobs);
  }
  std::string_view t9 = atime.substr(0, std::min<std::size_t>(atime.size(), 9));
  if (ftrim(t9).empty() || !feq(t9, fview(VORANCOM1.LIST_TIME[0], 9))) {
    status = MST_TIME_NOT_SET;
    MERROR("MGETSFC: TIME NOT INITIALIZED BY MSFCSTA");
    return fail(nsta, nobs);
  }
  // The name is a surface name whichever dataset was initialised last.
  MCOM2.CURDSET = 0;
  int32_t code = 0;
  MGETVCN(varnam, code, &VCT, status);
  if (status != MST_OK) return fail(nsta, nobs);

  const int32_t nlev = nlev_of(code);
  const int32_t count = SFCSTRN.STATION_COUNT;
  if (count <= 0) {
    status = MST_NO_DATA;
    return fail(nsta, nobs);
  }
  nsta = count;
  nobs = 0;
  // Several values per station: preset every one, the scatter writes the
  // levels the file has. One value per station: see fill_unscattered.
  const bool preset = nlev != 1;
  if (preset) {
    const auto nout = static_cast<std::size_t>(nlev) * static_cast<std::size_t>(count);
    std::fill_n(obs, nout, RMISS);
    std::memset(qcd, 'Z', nout);
    std::fill_n(qca, nout, 0);
    std::fill_n(qcr, nout, 0);
  }
  std::memset(PROC_FILE, 0, sizeof PROC_FILE);
  bool unwritten = false;  // entries of no valid file
  auto give_up = [&]() {
    if (!preset) fill_unscattered(count, obs, qcd, qca, qcr);
    fail(nsta, nobs);
  };

  VORANTMP3_t& s = VORANTMP3;
  int32_t nsd = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t f = SFCSTRN.STA_FILE[i];
    if (f < 1 || f > NFSLOTS) {
      unwritten = true;
      continue;
    }
    if (PROC_FILE[f - 1] != 0) continue;
    PROC_FILE[f - 1] = 1;
    const int32_t dset = SFCSTRN.FILE_DSET[f - 1];
    const int32_t nlevf = nlevf_of(code, dset);
    if (varname(code, dset).empty()) continue;
    const char type = VARTBL.NCTYPE[code - 1][dset - 1];
    if (type == 'd' || type == 'c') {
      status = MST_BAD_TYPE;
      MERROR("MGETSFC: INVALID VARIABLE DATA TYPE");
      return give_up();
    }
    const int32_t nrec = SFCSTRN.FILE_NREC[f - 1];
    const int64_t nfile = static_cast<int64_t>(nrec) * nlevf;
    if (nrec < 0 || nfile > NSCRATCH) {
      status = MST_ARRAY_SIZE;
      constexpr std::string_view text = "MGETSFC: EXCEEDED INTERNAL ARRAY SIZE - ";
      char msg[text.size() + 24];
      const std::string_view name = varname(code, dset);
      std::memcpy(msg, text.data(), text.size());
      std::memcpy(msg + text.size(), name.data(), name.size());
      MERROR({msg, text.size() + name.size()});
      return give_up();
    }

    if (Deriv fn = route(code, dset)) {
      // Derivations start from missing values: records a routine leaves
      // alone must not show another file's data.
      fill_missing(static_cast<int32_t>(nfile), s.TMPVAL, s.TMPQCD, s.TMPQCA, s.TMPQCR);
      fn(code, dset, f, s.TMPVAL, s.TMPQCD, s.TMPQCA, s.TMPQCR, status);
      // A climate-network file without its archive temperature still has
      // the ordinary one: read it directly rather than lose it.
      if (status == MST_NOT_IN_DATABASE && fn == MSFCART) {
        fill_missing(static_cast<int32_t>(nfile), s.TMPVAL, s.TMPQCD, s.TMPQCA, s.TMPQCR);
        read_direct(code, dset, f, nlevf, status);
      }
      if (status == MST_NOT_IN_DATABASE) continue;
    } else {
      read_direct(code, dset, f, nlevf, status);
    }
    if (status != MST_OK) return give_up();

    VORANCOM2.QCFLTR_SLOT = f;
    MQCFLTR(code, dset, nlevf, nrec, s.TMPQCD, nullptr, nullptr, s.TMPVAL);

    // Every later list entry of this file, in list order; two entries may
    // name the same record and both get its values.
    if (!preset) {
      int32_t run_end = count;
      nsd += scatter1(f, nrec, i, count, obs, qcd, qca, qcr, run_end);
      PROC_FILE[f - 1] = 2;
      i = run_end - 1;  // the entries up to there are this file's
      continue;
    }
    for (int32_t j = i; j < count; ++j) {
      if (SFCSTRN.STA_FILE[j] != f) continue;
      const int32_t r = SFCSTRN.STA_REC[j];
      if (r < 1 || r > nrec) continue;
      bool got = false;
      for (int32_t k = 0; k < nlevf; ++k) {
        const int64_t t = static_cast<int64_t>(r - 1) * nlevf + k;
        const int64_t e = static_cast<int64_t>(j) * nlev + k;
        obs[e] = s.TMPVAL[t];
        qcd[e] = s.TMPQCD[t];
        qca[e] = mask_of(s.TMPQCA[t]);
        qcr[e] = mask_of(s.TMPQCR[t]);
        if (obs[e] != RMISS) got = true;
      }
      if (got) ++nsd;
    }
  }

  if (!preset) {
    for (int32_t f : PROC_FILE) unwritten = unwritten || f == 1;
    if (unwritten) fill_unscattered(count, obs, qcd, qca, qcr);
  }
  if (nsd == 0) {
    status = MST_NOT_IN_DATABASE;
    return fail(nsta, nobs);
  }
  status = MST_OK;
  nobs = nsd;
}
