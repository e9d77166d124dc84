// Precipitation variables of one open surface file. The networks store
// precipitation under different names, units and accumulation periods; the
// mesonet providers announce their periods through provider codes. Values
// whose period is not the one asked for are returned missing.
#include <algorithm>
#include <cstring>

#include "variables/variables.h"

namespace {

using voran::RMISS;

constexpr int32_t MESONET = 4, COOP = 5, HFMETAR = 7, HCN = 9, CRN = 10;
constexpr int32_t HOURLY = 31;    // last hour's precipitation, per hour
constexpr int32_t RATE = 39;      // the same per second
constexpr int32_t FIVE_MIN = 181;
constexpr float MM_TO_M = 0.001f;

// Integer times of 2004-06-02 20:00 / 21:00 and 2005-09-16 15:00 UTC.
constexpr int32_t T_FIVEMIN_ALL = -239169600;
constexpr int32_t T_FIVEMIN_STYN6 = -239166000;
constexpr int32_t T_UTMESNET_RATE = -198493200;

// Work arrays: the rate (code 39) and its QC on the mesonet hourly path;
// the five-minute accumulation of old COOP files, "metarType" of HFMETAR
// files or the archive accumulation of HCN/CRN files otherwise.
float WORK[voran::MAXREPORTS];
char WQCD[voran::MAXREPORTS];
float WQCA[voran::MAXREPORTS];
float WQCR[voran::MAXREPORTS];

// Mesonet period code a variable code requires.
int32_t required_period(int32_t code) {
  switch (code) {
    case 32: return 3;
    case 33: return 6;
    case 34: return 12;
    case 35: return 18;
    case 36: return -3;
    case 37: return -1;
    case 38: return -2;
    case 193: return -4;
    case 231: return -5;
    default: return 0;
  }
}

// Integer time of the station list, or 'fallback' when it cannot be read.
int32_t list_time(int32_t fallback) {
  int32_t t = 0, st = 0;
  M_MKI4TM(voran::fview(VORANCOM1.LIST_TIME[0], 9), t, st);
  return st == MST_OK ? t : fallback;
}

void scale(int32_t n, float* v, float f) {
  for (int32_t i = 0; i < n; ++i)
    if (v[i] != RMISS) v[i] = v[i] * f;
}

// Hourly amounts in metres to rates in mm/s.
void per_second(int32_t n, float* v) {
  for (int32_t i = 0; i < n; ++i)
    if (v[i] != RMISS) v[i] = v[i] * 1000.0f / 3600.0f;
}

void set_missing_qc(int32_t i, char* qcd, float* qca, float* qcr) {
  qcd[i] = 'Z';
  qca[i] = 0.0f;
  qcr[i] = 0.0f;
}

const char* provider_of(int32_t i) { return voran::REC_PROVIDER + int64_t{i} * voran::NAME11; }
const char* station_of(int32_t i) { return voran::REC_STATION + int64_t{i} * voran::NAME11; }

bool provider_is(int32_t k, std::string_view name, std::size_t len) {
  return std::memcmp(PROVTBL.SUBSRC_NAME[0][k - 1], name.data(), len) == 0;
}

// Mesonet accumulations other than the hourly ones: the record's provider
// (or station subtype) must report the period the code stands for.
void mesonet_period(int32_t code, int32_t slot, int32_t n, float* val, char* qcd, float* qca,
                    float* qcr, int32_t& status) {
  voran::read_values(code, MESONET, slot, val, status);
  if (status != MST_OK) return;
  voran::read_names11("dataProvider", slot, voran::REC_PROVIDER, status);
  if (status != MST_OK) return;
  voran::read_names11("stationName", slot, voran::REC_STATION, status);
  if (status != MST_OK) return;
  int32_t want = required_period(code);
  // APRSWXNET reports are accumulations since local midnight.
  bool aprs[voran::NPROV + 1] = {};
  for (int32_t k = 1; k <= voran::NPROV; ++k)
    aprs[k] = voran::feq(voran::fview(PROVTBL.SUBSRC_NAME[0][k - 1], 10), "APRSWXNET");
  const voran::ProvMatch* codes = voran::record_providers(n, 11, 1);
  for (int32_t i = 0; i < n; ++i) {
    const voran::ProvMatch& m = codes[i];
    int32_t q = m.found ? m.code : 0;
    if (m.found && aprs[m.provider]) q = -3;
    if (q != want) val[i] = RMISS;
    if (val[i] != RMISS) val[i] = val[i] * MM_TO_M;
  }
  bool has_qc = false;
  voran::read_qc(code, MESONET, slot, 1, qcd, qca, qcr, has_qc, status);
  if (status != MST_OK) return;
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  for (int32_t i = 0; i < n; ++i)
    if (val[i] == RMISS) set_missing_qc(i, qcd, qca, qcr);
}

// Reads of the partner variable of the hourly pair: a file without it
// leaves it missing, the asked variable alone decides.
void read_partner(int32_t code, int32_t slot, int32_t n, float* v, char* d, float* a, float* r,
                  bool& present, bool& has_qc, int32_t& status) {
  has_qc = false;
  present = voran::file_has(slot, voran::varname(code, MESONET));
  if (!present) {
    voran::fill_missing(n, v, d, a, r);
    status = MST_OK;
    return;
  }
  voran::read_values(code, MESONET, slot, v, status);
  if (status != MST_OK) return;
  voran::read_qc(code, MESONET, slot, 1, d, a, r, has_qc, status);
}

// Mesonet hourly precipitation (code 31) and rate (code 39): each is
// taken from its own variable where that is usable and derived from the
// other one where not.
void mesonet_hourly(int32_t code, int32_t slot, int32_t n, float* val, char* qcd, float* qca,
                    float* qcr, int32_t& status) {
  float* rate = WORK;
  bool rate_here = false, rate_qc = false, hour_here = false, hour_qc = false;
  // The rate first, then the hourly accumulation into the outputs.
  if (code == RATE) {
    voran::read_values(RATE, MESONET, slot, rate, status);
    if (status != MST_OK) return;
    rate_here = true;
    voran::read_qc(RATE, MESONET, slot, 1, WQCD, WQCA, WQCR, rate_qc, status);
    if (status != MST_OK) return;
    read_partner(HOURLY, slot, n, val, qcd, qca, qcr, hour_here, hour_qc, status);
    if (status != MST_OK) return;
  } else {
    read_partner(RATE, slot, n, rate, WQCD, WQCA, WQCR, rate_here, rate_qc, status);
    if (status != MST_OK) return;
    voran::read_values(HOURLY, MESONET, slot, val, status);
    if (status != MST_OK) return;
    hour_here = true;
    voran::read_qc(HOURLY, MESONET, slot, 1, qcd, qca, qcr, hour_qc, status);
    if (status != MST_OK) return;
  }
  // The hourly accumulation counts as quality controlled whenever the
  // table says so, even when the file lacks its QC variables.
  hour_qc = hour_here && voran::qcletter(HOURLY, MESONET) == 'Q';

  voran::read_names11("dataProvider", slot, voran::REC_PROVIDER, status);
  if (status != MST_OK) return;
  voran::read_names11("stationName", slot, voran::REC_STATION, status);
  if (status != MST_OK) return;

  // UTMESNET and MesoWest rates before 2005-09-16 15:00 are not usable.
  bool early = list_time(T_UTMESNET_RATE) <= T_UTMESNET_RATE - 1;
  const voran::ProvMatch* codes = voran::record_providers(n, 11, 1);
  for (int32_t i = 0; i < n; ++i) {
    const voran::ProvMatch& m = codes[i];
    if (!m.found || m.code != 1) val[i] = RMISS;
    if (m.found && m.direct && early &&
        (provider_is(m.provider, "UTMESNET", 8) || provider_is(m.provider, "MesoWest", 8)))
      rate[i] = RMISS;
    if (val[i] != RMISS) val[i] = val[i] * MM_TO_M;
    if (rate[i] != RMISS) rate[i] = rate[i] * 1000.0f;
  }
  VORANCOM2.QC_SOURCE = (hour_qc || rate_qc) ? 1 : 2;

  for (int32_t i = 0; i < n; ++i) {
    float a = val[i], r = rate[i];
    bool use_rate;
    if (code == HOURLY) {
      if (a != RMISS && (hour_qc || !rate_qc || r == RMISS)) continue;
      if (r == RMISS) {
        set_missing_qc(i, qcd, qca, qcr);
        continue;
      }
      val[i] = r * 3600.0f / 1000.0f;
      use_rate = true;
    } else {
      if (r != RMISS && (rate_qc || !hour_qc || a == RMISS)) {
        val[i] = r;
        use_rate = true;
      } else if (a != RMISS) {
        val[i] = a * 1000.0f / 3600.0f;
        use_rate = false;
      } else {
        val[i] = RMISS;
        set_missing_qc(i, qcd, qca, qcr);
        continue;
      }
    }
    if (use_rate) {
      qcd[i] = WQCD[i];
      qca[i] = WQCA[i];
      qcr[i] = WQCR[i];
    }
  }
}

// Era of five-minute COOP precipitation: 0 before 2004-06-02 20:00 (the
// older variable), 2 in the following hour (only STYN6 reported), 1 after.
int32_t coop_era() {
  int32_t t = list_time(T_FIVEMIN_STYN6);
  if (t <= T_FIVEMIN_ALL - 1) return 0;
  if (t < T_FIVEMIN_STYN6) return 2;
  return 1;
}

// Every other network, and five-minute precipitation of all networks.
void general(int32_t code, int32_t dset, int32_t slot, int32_t n, float* val, char* qcd,
             float* qca, float* qcr, int32_t& status) {
  int32_t era = (dset == COOP && code == FIVE_MIN) ? coop_era() : 1;
  if (era == 0) {
    voran::read_named("fiveMinPrecipAccum", slot, WORK, status);
    if (status != MST_OK) return;
  }
  voran::read_values(code, dset, slot, val, status);
  if (status != MST_OK) return;
  bool has_qc = false;
  voran::read_qc(code, dset, slot, 1, qcd, qca, qcr, has_qc, status);
  if (status != MST_OK) return;
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;

  if (era != 1) {
    voran::read_names11("stationId", slot, voran::REC_STATION, status);
    if (status != MST_OK) return;
    for (int32_t i = 0; i < n; ++i) {
      if (std::memcmp(station_of(i), "STYN6", 5) == 0) {
        if (val[i] != RMISS) val[i] = val[i] * MM_TO_M;
      } else if (era == 0 && WORK[i] != RMISS) {
        val[i] = WORK[i] * MM_TO_M;
      } else {
        val[i] = RMISS;
      }
    }
    return;
  }

  bool coop_scaled = dset == COOP && (code == 36 || code == 147 || code == 148 ||
                                      code == FIVE_MIN || code == 193);
  if (dset == 3 || dset == 6 || dset == HFMETAR || dset == 8 || dset == HCN || dset == CRN ||
      coop_scaled)
    scale(n, val, MM_TO_M);

  if (dset == HFMETAR && code == FIVE_MIN) {
    // Only the five-minute reports carry five-minute precipitation.
    voran::read_named("metarType", slot, WORK, status);
    if (status != MST_OK) return;
    for (int32_t i = 0; i < n; ++i)
      if (WORK[i] != 2.0f && WORK[i] != 5.0f) val[i] = RMISS;
    return;
  }

  if (dset == MESONET && code == FIVE_MIN) {
    voran::read_names11("dataProvider", slot, voran::REC_PROVIDER, status);
    if (status != MST_OK) return;
    for (int32_t i = 0; i < n; ++i) {
      int32_t k = voran::provider_index(provider_of(i), 11);
      if (k > 0 && PROVTBL.SUBSRC_CODE4[0][k - 1] == 1) {
        if (val[i] != RMISS) val[i] = val[i] * MM_TO_M;
      } else {
        val[i] = RMISS;
      }
    }
    return;
  }

  if ((dset == HCN || dset == CRN) && (code == HOURLY || code == RATE)) {
    // The archive accumulation is preferred where present. Table values
    // are already in metres; the archive values are scaled here, once.
    if (voran::file_has(slot, "archivePrecipAccum1h")) {
      voran::read_named("archivePrecipAccum1h", slot, WORK, status);
      if (status != MST_OK) return;
      bool arch_qc = false;
      if (voran::qcletter(code, dset) == 'Q') {
        voran::read_qc_named("archivePrecipAccum1h", slot, 1, WQCD, WQCA, WQCR, arch_qc, status);
        if (status != MST_OK) return;
      } else {
        voran::fill_missing(n, nullptr, WQCD, WQCA, WQCR);
      }
      if (!arch_qc) VORANCOM2.QC_SOURCE = 2;
      for (int32_t i = 0; i < n; ++i) {
        if (WORK[i] == RMISS) continue;
        val[i] = WORK[i] * MM_TO_M;
        qcd[i] = WQCD[i];
        qca[i] = WQCA[i];
        qcr[i] = WQCR[i];
      }
    }
    // The rate in the unit of the other networks.
    if (code == RATE) per_second(n, val);
    return;
  }

  if (dset == COOP && code == HOURLY) scale(n, val, 3600.0f);
  if (code == RATE) {
    if (dset == COOP)
      scale(n, val, 1000.0f);
    else
      per_second(n, val);
  }
}

}  // namespace

void MSFCPCP(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status) {
  int32_t n = voran::file_records(dset, slot, status);
  if (n < 0) return;
  if (dset == MESONET && (code == HOURLY || code == RATE))
    mesonet_hourly(code, slot, n, val, qcd, qca, qcr, status);
  else if (dset == MESONET && code != FIVE_MIN)
    mesonet_period(code, slot, n, val, qcd, qca, qcr, status);
  else
    general(code, dset, slot, n, val, qcd, qca, qcr, status);
  // A file given up leaves nothing behind in the scratch arrays.
  if (status != MST_OK) voran::fill_missing(n, val, qcd, qca, qcr);
}
