// Station record reader: the identity of every report of one surface data
// file (identifier, WMO number, position, elevation, observation time,
// provider and subprovider source, and the METAR/SAO station and report
// types). The networks differ only in the table below and in a few rules.
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/filecache.h"
#include "stations/stations.h"
#include "tables/tables.h"

namespace {

using voran::IMISS;
using voran::MAXREPORTS;
using voran::RMISS;

// Seconds from 1970-01-01 to the library's epoch 2012-01-01.
constexpr double EPOCH_1970 = 1325376000.0;
// Representable integer times: 1945-01-01 00:00 to 2079-12-31 23:59:59.
constexpr double ITIME_MIN = -2114294400.0;
constexpr double ITIME_MAX = 2145916799.0;

struct Network {
  bool wmo;              // the file carries WMO numbers
  bool timeobs;          // one "timeObs"; otherwise observation/report/received time
  const char* provider;  // fixed provider name ("" = from the file or by rule)
  int32_t subsrc;        // default subprovider source number
};
constexpr Network NETWORKS[voran::NSRC] = {
    {true, true, "OTHER-MTR", 3}, {false, true, "MARITIME", 5}, {true, true, "SAO", 4},
    {true, false, "", 0},         {false, false, "COOP", 2},    {false, false, "UrbaNet", 31},
    {false, false, "OTHER-HFM", 32}, {false, false, "NEPP", 33},  {false, false, "HCN", 34},
    {false, false, "CRN", 35}};

// Time variables of the networks that report observation, report and
// received times, with their fill values.
constexpr const char* TIMNAM[3] = {"observationTime", "reportTime", "receivedTime"};
double DTIME_FILL[3];

// Work storage: character data of one variable (read in chunks of whole
// records), two time variables, the NetCDF name and the dimension ids.
constexpr int64_t CBUF_SIZE = 10 * static_cast<int64_t>(MAXREPORTS);
char CBUF[CBUF_SIZE];
double TIME_A[MAXREPORTS];
double TIME_B[MAXREPORTS];
char VNAME[NC_MAX_NAME + 1];
int DIMIDS[NC_MAX_VAR_DIMS];
// Start and count of a numeric read: every dimension after the record
// dimension has length 1 and is read whole.
size_t START[NC_MAX_VAR_DIMS];
size_t COUNT[NC_MAX_VAR_DIMS];

// Index of the ASOS station list, rebuilt per call (the list is small).
constexpr uint32_t ASOS_HASH_SIZE = 4096;
int32_t ASOS_HASH[ASOS_HASH_SIZE];

uint32_t hash5(const char* p) {
  uint32_t h = 2166136261u;
  for (int k = 0; k < 5; ++k) h = (h ^ static_cast<unsigned char>(p[k])) * 16777619u;
  return h;
}

void build_asos_index() {
  std::memset(ASOS_HASH, 0, sizeof ASOS_HASH);
  int32_t n = SFCTBL.ASOS_COUNT;
  if (n > voran::NASOS) n = voran::NASOS;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t h = hash5(SFCTBL.ASOS_ID[i]) & (ASOS_HASH_SIZE - 1);
    bool dup = false;
    while (ASOS_HASH[h] != 0) {
      if (std::memcmp(SFCTBL.ASOS_ID[ASOS_HASH[h] - 1], SFCTBL.ASOS_ID[i], 5) == 0) {
        dup = true;
        break;
      }
      h = (h + 1) & (ASOS_HASH_SIZE - 1);
    }
    if (!dup) ASOS_HASH[h] = i + 1;
  }
}

bool is_asos(const char* id5) {
  uint32_t h = hash5(id5) & (ASOS_HASH_SIZE - 1);
  while (ASOS_HASH[h] != 0) {
    if (std::memcmp(SFCTBL.ASOS_ID[ASOS_HASH[h] - 1], id5, 5) == 0) return true;
    h = (h + 1) & (ASOS_HASH_SIZE - 1);
  }
  return false;
}

// A field of blanks and NULs only (a blank name when NUL counts as blank).
bool blank_field(const char* p) {
  for (int k = 0; k < 10; ++k) {
    if (p[k] != ' ' && p[k] != '\0') return false;
  }
  return true;
}

// One identity variable being read: its message item and file handles.
struct Reader {
  int ncid;
  int recdim;
  int32_t start;  // 1-based
  int32_t nrec;

  void fail(const char* call, const char* item) const {
    char msg[80];
    std::snprintf(msg, sizeof msg, "MSFCRDSTA: BAD %s - %s", call, item);
    MERROR(msg);
  }

  // Finds the variable and checks its shape: the record dimension first,
  // then for character data one width dimension, for numbers nothing that
  // holds more than one value per record. width receives the string length.
  bool locate(std::string_view name, const char* item, bool chars, int& varid,
              size_t& width) const {
    std::size_t len = name.size() < NC_MAX_NAME ? name.size() : NC_MAX_NAME;
    std::memcpy(VNAME, name.data(), len);
    VNAME[len] = '\0';
    if (nc_inq_varid(ncid, VNAME, &varid) != NC_NOERR) {
      fail("NCVID", item);
      return false;
    }
    int ndims = 0;
    nc_type type = NC_NAT;
    if (nc_inq_var(ncid, varid, nullptr, &type, &ndims, DIMIDS, nullptr) != NC_NOERR ||
        ndims < 1 || DIMIDS[0] != recdim || (chars && (ndims != 2 || type != NC_CHAR)) ||
        (!chars && (type == NC_CHAR || type == NC_STRING))) {
      fail("NCVINQ", item);
      return false;
    }
    width = 1;
    for (int d = 0; d < ndims; ++d) {
      size_t dl = 0;
      if (voran::fc_inq_dimlen(ncid, DIMIDS[d], dl) != NC_NOERR) {
        fail("NCDINQ", item);
        return false;
      }
      if (d == 0 && static_cast<int64_t>(start) - 1 + nrec > static_cast<int64_t>(dl)) {
        fail("NCDINQ", item);
        return false;
      }
      if (d > 0) width *= dl;
    }
    if (!chars && width != 1) {
      fail("NCVINQ", item);
      return false;
    }
    return true;
  }

  // A character item: keep the first `keep` characters of each record's
  // string (blank after the last significant one, NULs as blanks) in fields
  // of `field` characters.
  bool chars(std::string_view name, const char* item, int32_t keep, char* out,
             int32_t field) const {
    int varid = 0;
    size_t w = 0;
    if (!locate(name, item, true, varid, w)) return false;
    const int32_t kw = static_cast<int32_t>(w < static_cast<size_t>(keep) ? w : keep);
    if (kw == 0) {
      std::memset(out, ' ', static_cast<std::size_t>(nrec) * field);
      return true;
    }
    const int32_t chunk = static_cast<int32_t>(CBUF_SIZE / kw);
    for (int32_t done = 0; done < nrec; done += chunk) {
      int32_t c = nrec - done < chunk ? nrec - done : chunk;
      size_t st[2] = {static_cast<size_t>(start - 1 + done), 0};
      size_t ct[2] = {static_cast<size_t>(c), static_cast<size_t>(kw)};
      if (nc_get_vara_text(ncid, varid, st, ct, CBUF) != NC_NOERR) {
        fail("NCVGTC", item);
        return false;
      }
      for (int32_t r = 0; r < c; ++r) {
        const char* src = CBUF + static_cast<std::size_t>(r) * kw;
        char* dst = out + static_cast<std::size_t>(done + r) * field;
        voran::fset_nul(dst, field, src, voran::last_significant(src, kw));
      }
    }
    return true;
  }

  // The "_FillValue" of a variable when it is a single number.
  bool fill_present(int varid) const {
    nc_type t = NC_NAT;
    size_t n = 0;
    return nc_inq_att(ncid, varid, "_FillValue", &t, &n) == NC_NOERR && n == 1 &&
           t != NC_CHAR && t != NC_STRING;
  }

  // Numbers are read as doubles (integer items, times) or floats.
  template <typename T>
  bool numbers(std::string_view name, const char* item, T* out, bool& has_fill,
               T& fill) const {
    int varid = 0;
    size_t w = 0;
    if (!locate(name, item, false, varid, w)) return false;
    std::fill(START, START + NC_MAX_VAR_DIMS, size_t{0});
    std::fill(COUNT, COUNT + NC_MAX_VAR_DIMS, size_t{1});
    START[0] = static_cast<size_t>(start - 1);
    COUNT[0] = static_cast<size_t>(nrec);
    int rc;
    if constexpr (sizeof(T) == 8) {
      rc = nc_get_vara_double(ncid, varid, START, COUNT, out);
    } else {
      rc = nc_get_vara_float(ncid, varid, START, COUNT, out);
    }
    if (rc != NC_NOERR) {
      fail("NCVGT", item);
      return false;
    }
    has_fill = false;
    if (fill_present(varid)) {
      if constexpr (sizeof(T) == 8) {
        has_fill = nc_get_att_double(ncid, varid, "_FillValue", &fill) == NC_NOERR;
      } else {
        has_fill = nc_get_att_float(ncid, varid, "_FillValue", &fill) == NC_NOERR;
      }
    }
    return true;
  }

  // A real item with its fill value (and an extra marker) made missing.
  bool reals(std::string_view name, const char* item, float* out, bool also_9999) const {
    bool has_fill = false;
    float fill = 0.0f;
    if (!numbers(name, item, out, has_fill, fill)) return false;
    for (int32_t i = 0; i < nrec; ++i) {
      // NaN and infinities are no position: they would pass the range tests.
      if ((has_fill && out[i] == fill) || (also_9999 && out[i] == -9999.0f) ||
          !std::isfinite(out[i]))
        out[i] = RMISS;
    }
    return true;
  }

  // An integer item: values equal to the fill value, to `marker` or not
  // representable become missing. TIME_B is the work area.
  bool integers(std::string_view name, const char* item, int32_t* out, double marker) const {
    bool has_fill = false;
    double fill = 0.0;
    if (!numbers(name, item, TIME_B, has_fill, fill)) return false;
    for (int32_t i = 0; i < nrec; ++i) {
      double v = TIME_B[i];
      bool ok = !(has_fill && v == fill) && v != marker && v >= -2147483648.0 &&
                v <= 2147483647.0;
      out[i] = ok ? static_cast<int32_t>(v) : IMISS;
    }
    return true;
  }

  // A time variable; its fill value is required.
  bool times(const char* name, double* out, double& fill) const {
    bool has_fill = false;
    if (!numbers(name, "OBTIME", out, has_fill, fill)) return false;
    if (!has_fill) {
      fail("NCAGT", "OBTIME");
      return false;
    }
    return true;
  }
};

std::string_view table_name(int32_t code, int32_t dset) {
  int32_t len = VARTBL.NAMLEN[code - 1][dset - 1];
  if (len < 0) len = 0;
  if (len > 24) len = 24;
  return {VARTBL.NCNAME[code - 1][dset - 1], static_cast<std::size_t>(len)};
}

// A file time in seconds since 1970 as integer time, or missing when it
// falls outside the representable years.
int32_t to_itime(double f) {
  double d = std::trunc(f) - EPOCH_1970;
  if (!(d >= ITIME_MIN && d <= ITIME_MAX)) return IMISS;
  return static_cast<int32_t>(d);
}

bool time_valid(double f, double fill) { return f != -9999.0 && f != 0.0 && f < fill; }

}  // namespace

void MSFCRDSTA(int32_t dset, int32_t ncid, int32_t recdim, int32_t start, int32_t nrec,
               int32_t capacity, int32_t* obtime, char* stid, int32_t* wmoid, char* provider,
               float* lat, float* lon, float* elev, int32_t* subsrc, char* atype, char* rtype,
               int32_t& istatus) {
  istatus = MST_NETCDF;
  if (dset < 1 || dset > voran::NSRC || start < 1 || nrec < 0 || nrec > capacity ||
      nrec > MAXREPORTS)
    return;
  const Network& net = NETWORKS[dset - 1];
  const Reader rd{ncid, recdim, start, nrec};

  // Station and report types (METAR, SAO); data provider (MESONET).
  if (dset == 1 || dset == 3) {
    if (!rd.chars("autoStationType", "ATYPE", 5, atype, 5)) return;
    if (!rd.chars("reportType", "RTYPE", 5, rtype, 5)) return;
  }
  if (dset == 4 && !rd.chars("dataProvider", "DPNAME", 10, provider, 10)) return;

  // HFMETAR report types, held in subsrc until the providers are assigned.
  if (dset == 7) {
    if (!rd.integers("metarType", "METARTYPE", subsrc, -9999.0)) return;
  }

  if (!rd.chars(table_name(15, dset), "STATION NAME", 10, stid, 10)) return;

  if (net.wmo) {
    // Missing numbers are already 999999, which MESONET's range test refuses.
    if (!rd.integers(table_name(14, dset), "WMO ID", wmoid, std::nan(""))) return;
    for (int32_t i = 0; i < nrec; ++i) {
      int32_t w = wmoid[i];
      bool valid = w != IMISS;
      if (dset == 4) valid = valid && w != -9999 && w > 0 && w < 100000;
      if (!valid) wmoid[i] = IMISS;
      char* id = stid + static_cast<std::size_t>(i) * 10;
      if (dset == 4 && valid && voran::last_significant(id, 10) == 0) {
        char digits[16];
        int nd = std::snprintf(digits, sizeof digits, "%d", w);
        voran::fset(id, 10, {digits, static_cast<std::size_t>(nd)});
      }
    }
  } else {
    for (int32_t i = 0; i < nrec; ++i) wmoid[i] = IMISS;
  }

  if (!rd.reals(table_name(17, dset), "LATITUDE", lat, false)) return;
  if (!rd.reals(table_name(18, dset), "LONGITUDE", lon, false)) return;
  if (!rd.reals(table_name(16, dset), "ELEVATION", elev, dset == 4)) return;
  if (dset == 1 && MCOM2.DBNUM == 2) {
    for (int32_t i = 0; i < nrec; ++i) {
      if (elev[i] == -1.0f) elev[i] = RMISS;
    }
  } else if (dset == 2) {
    M_MARELV(nrec, RMISS, lat, lon, elev);
  } else if (dset == 4) {
    int32_t st = 0;
    M_UPDSRCIN(ncid, recdim, st);
    if (st != 0) {
      istatus = st;
      return;
    }
  }

  // Observation times.
  if (net.timeobs) {
    if (!rd.times("timeObs", TIME_A, DTIME_FILL[0])) return;
    for (int32_t i = 0; i < nrec; ++i) {
      double f = TIME_A[i];
      obtime[i] = (f != -9999.0 && f < DTIME_FILL[0]) ? to_itime(f) : IMISS;
    }
  } else {
    // TIME_A: the observation time, or the report time where that is not
    // valid, or NaN; TIME_B: the variable being read.
    if (!rd.times(TIMNAM[0], TIME_A, DTIME_FILL[0])) return;
    if (!rd.times(TIMNAM[1], TIME_B, DTIME_FILL[1])) return;
    for (int32_t i = 0; i < nrec; ++i) {
      if (time_valid(TIME_A[i], DTIME_FILL[0])) continue;
      TIME_A[i] = time_valid(TIME_B[i], DTIME_FILL[1]) ? TIME_B[i] : std::nan("");
    }
    if (!rd.times(TIMNAM[2], TIME_B, DTIME_FILL[2])) return;
    for (int32_t i = 0; i < nrec; ++i) {
      double f = TIME_A[i];
      if (std::isnan(f)) {
        obtime[i] = IMISS;
        continue;
      }
      // A report cannot be received before it was observed; only a valid
      // received time is compared.
      double rcv = TIME_B[i];
      bool early = time_valid(rcv, DTIME_FILL[2]) && rcv < f;
      obtime[i] = early ? IMISS : to_itime(f);
    }
  }

  // Providers and subprovider sources.
  if (dset == 1) {
    build_asos_index();
    for (int32_t i = 0; i < nrec; ++i) {
      bool asos = is_asos(stid + static_cast<std::size_t>(i) * 10);
      voran::fset(provider + static_cast<std::size_t>(i) * 10, 10, asos ? "ASOS" : "OTHER-MTR");
      subsrc[i] = asos ? 1 : 3;
    }
  } else if (dset == 7) {
    for (int32_t i = 0; i < nrec; ++i) {
      bool asos = subsrc[i] == 1 || subsrc[i] == 4;
      voran::fset(provider + static_cast<std::size_t>(i) * 10, 10, asos ? "ASOS-HFM" : "OTHER-HFM");
      subsrc[i] = asos ? 6 : 32;
    }
  } else if (dset != 4) {
    for (int32_t i = 0; i < nrec; ++i) {
      voran::fset(provider + static_cast<std::size_t>(i) * 10, 10, net.provider);
      subsrc[i] = net.subsrc;
    }
  }

  if (dset >= 4) {
    // Unusable reports (no identifier, no provider, no time) get source 0;
    // MESONET providers are numbered run by run of usable reports.
    int32_t run = 0;
    for (int32_t i = 0; i <= nrec; ++i) {
      bool usable = false;
      if (i < nrec) {
        const char* id = stid + static_cast<std::size_t>(i) * 10;
        const char* pv = provider + static_cast<std::size_t>(i) * 10;
        usable = voran::last_significant(id, 10) > 0 && !blank_field(pv) && obtime[i] != IMISS;
        if (!usable) subsrc[i] = 0;
      }
      if (dset != 4) continue;
      if (usable) {
        ++run;
        continue;
      }
      if (run > 0) {
        int32_t first = i - run;
        int32_t st = 0;
        M_IDSUBSRC(run, provider + static_cast<std::size_t>(first) * 10, subsrc + first, st);
        if (st != 0) return;
        run = 0;
      }
    }
  }
  istatus = MST_OK;
}
