// NetCDF variable readers: a numeric variable as 32-bit reals with the file's
// no-value markers replaced by the caller's missing value, and a character
// variable as raw characters. One hyperslab read per call.
//
// In C the record (unlimited) dimension of a variable is its first dimension.
// A variable whose first dimension is the record dimension is read for the
// records [rstart, rstart + rcount) (rstart 1-based); any other variable is
// read whole.
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "core/core.h"
#include "core/filecache.h"

namespace {

// What distinguishes the two readers.
struct ReaderKind {
  const char* routine;  // name opening every message
  const char* get_tag;  // tag of a failed hyperslab read
  bool numeric_only;    // refuse types other than byte, short, int, float
};
constexpr ReaderKind NUMERIC{"MRDNUM1", "BAD NCVGT - ", true};
constexpr ReaderKind CHARACTER{"MRDCHR", "BAD NCVGTC - ", false};

// The variable being read and its hyperslab.
struct Slab {
  int varid;
  nc_type type;
  int ndims;
  int dimids[NC_MAX_VAR_DIMS];
  size_t start[NC_MAX_VAR_DIMS];
  size_t count[NC_MAX_VAR_DIMS];
  bool recfirst;       // first dimension is the record dimension
  int64_t per_record;  // values per record (whole variable when !recfirst)
  int64_t total;       // values to read
};
Slab SLAB;

char ERRVAR[NC_MAX_NAME + 1];  // significant part of the name, NUL-terminated
std::size_t ERRLEN;
char MSG[NC_MAX_NAME + 64];

constexpr int64_t HUGE_COUNT = int64_t{1} << 62;  // products saturate here

void report(const ReaderKind& k, const char* text, bool with_name) {
  std::size_t n = std::strlen(k.routine);
  std::memcpy(MSG, k.routine, n);
  MSG[n++] = ':';
  MSG[n++] = ' ';
  std::size_t t = std::strlen(text);
  std::memcpy(MSG + n, text, t);
  n += t;
  if (with_name) {
    std::memcpy(MSG + n, ERRVAR, ERRLEN);
    n += ERRLEN;
  }
  MERROR({MSG, n});
}

// Missing QC companions ("...QCA", "...QCR") are expected: no message.
bool silent_absence() {
  if (ERRLEN < 4) return false;
  const char* tail = ERRVAR + ERRLEN - 3;
  return std::memcmp(tail, "QCA", 3) == 0 || std::memcmp(tail, "QCR", 3) == 0;
}

int64_t sat_mul(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > HUGE_COUNT / b ? HUGE_COUNT : a * b;
}

// Finds the variable and builds its hyperslab; checks type (numeric reader),
// shape, record range and capacity. Returns the status; messages are printed.
int32_t locate(const ReaderKind& k, std::string_view name, int32_t ncid, int32_t recdim,
               int32_t rstart, int32_t rcount, int64_t capacity) {
  auto len = static_cast<std::size_t>(
      M_LSTCHR(name, static_cast<int32_t>(std::min<std::size_t>(name.size(), 1 << 20))));
  ERRLEN = std::min<std::size_t>(len, NC_MAX_NAME);
  std::memcpy(ERRVAR, name.data(), ERRLEN);
  ERRVAR[ERRLEN] = '\0';

  Slab& s = SLAB;
  // A name NetCDF cannot hold (too long, or with a NUL inside) names no variable.
  bool unnamable = len > NC_MAX_NAME || std::memchr(ERRVAR, '\0', ERRLEN) != nullptr;
  int rc = unnamable ? NC_ENOTVAR : nc_inq_varid(ncid, ERRVAR, &s.varid);
  if (rc == NC_ENOTVAR) {
    if (!silent_absence()) report(k, "VARIABLE NOT IN SELECTED DATABASE", false);
    return MST_NOT_IN_DATABASE;
  }
  if (rc != NC_NOERR) {
    report(k, "BAD NCVID - ", true);
    return MST_NETCDF;
  }
  if (nc_inq_varndims(ncid, s.varid, &s.ndims) != NC_NOERR || s.ndims < 0 ||
      s.ndims > NC_MAX_VAR_DIMS ||
      nc_inq_var(ncid, s.varid, nullptr, &s.type, nullptr, s.dimids, nullptr) != NC_NOERR) {
    report(k, "BAD NCVINQ - ", true);
    return MST_NETCDF;
  }
  if (k.numeric_only && s.type != NC_BYTE && s.type != NC_SHORT && s.type != NC_INT &&
      s.type != NC_FLOAT) {
    report(k, "BAD VARIABLE TYPE ", true);
    return MST_NETCDF;
  }

  s.recfirst = s.ndims > 0 && s.dimids[0] == recdim;
  s.per_record = 1;
  size_t nrec = 0;
  for (int i = 0; i < s.ndims; ++i) {
    size_t dlen = 0;
    // The record dimension may only be the first one.
    if (voran::fc_inq_dimlen(ncid, s.dimids[i], dlen) != NC_NOERR ||
        (i > 0 && s.dimids[i] == recdim)) {
      report(k, "BAD NCDINQ - ", true);
      return MST_NETCDF;
    }
    s.start[i] = 0;
    s.count[i] = dlen;
    if (i == 0 && s.recfirst) {
      nrec = dlen;
    } else {
      s.per_record =
          sat_mul(s.per_record, static_cast<int64_t>(std::min<size_t>(dlen, HUGE_COUNT)));
    }
  }
  s.total = s.per_record;
  if (s.recfirst) {
    if (rstart < 1 || rcount < 0 ||
        static_cast<int64_t>(rstart) - 1 + rcount > static_cast<int64_t>(nrec)) {
      report(k, k.get_tag, true);
      return MST_NETCDF;
    }
    s.start[0] = static_cast<size_t>(rstart - 1);
    s.count[0] = static_cast<size_t>(rcount);
    s.total = sat_mul(s.per_record, rcount);
  }
  if (s.total > capacity) {
    report(k, "EXCEEDED INTERNAL ARRAY SIZE - ", true);
    return MST_ARRAY_SIZE;
  }
  return MST_OK;
}

// ---- no-value markers ----

// One attribute value (the first of the attribute) as a double. Absent, empty,
// textual or unreadable attributes give false. inq_failed reports an inquiry
// failure other than absence.
bool attribute(int32_t ncid, int varid, const char* att, double& v, bool& inq_failed) {
  static double buf[64];
  nc_type at = NC_NAT;
  size_t n = 0;
  int rc = nc_inq_att(ncid, varid, att, &at, &n);
  inq_failed = rc != NC_NOERR && rc != NC_ENOTATT;
  if (rc != NC_NOERR || n < 1 || n > 64 || at == NC_CHAR || at == NC_STRING) return false;
  if (nc_get_att_double(ncid, varid, att, buf) != NC_NOERR) return false;
  v = buf[0];
  return true;
}

// An attribute value in the variable's type: reals are rounded to float;
// integers are truncated and keep the low bits of the variable's width (so an
// int 255 on a byte variable marks -1). False when it cannot be represented.
template <class T>
bool as_type(double v, T& out) {
  if constexpr (std::is_same_v<T, float>) {
    if (std::isfinite(v) && std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max()))
      return false;
    out = static_cast<float>(v);
    return true;
  } else {
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18) return false;
    out = static_cast<T>(static_cast<int64_t>(v));
    return true;
  }
}

// Element-wise conversion to real with markers replaced. Runs from the end so
// that values may share storage with src.
template <class T>
VORAN_WIDE_LOOP void convert(const T* src, float* dst, int64_t n, const T* mk, int nm,
                             float missing) {
  if constexpr (std::is_same_v<T, float>) {
    // NaN and infinities are no observations: they would pass every range
    // check and poison whatever is derived from them. Unused marker places
    // hold NaN, which equals nothing.
    float m[5];
    for (int j = 0; j < 5; ++j) m[j] = j < nm ? mk[j] : std::numeric_limits<float>::quiet_NaN();
    for (int64_t i = n - 1; i >= 0; --i) {
      const float v = src[i];
      const bool hit = !(std::fabs(v) <= std::numeric_limits<float>::max()) | (v == m[0]) |
                       (v == m[1]) | (v == m[2]) | (v == m[3]) | (v == m[4]);
      dst[i] = hit ? missing : v;
    }
    return;
  }
  if (nm == 0) {
    for (int64_t i = n - 1; i >= 0; --i) dst[i] = static_cast<float>(src[i]);
    return;
  }
  // Unused marker places repeat the first marker.
  const T m0 = mk[0], m1 = mk[nm > 1 ? 1 : 0], m2 = mk[nm > 2 ? 2 : 0], m3 = mk[nm > 3 ? 3 : 0],
          m4 = mk[nm > 4 ? 4 : 0];
  for (int64_t i = n - 1; i >= 0; --i) {
    const T v = src[i];
    // Converted whatever the value (a conversion made only for non-markers
    // may not be vectorised, as it could raise a floating-point flag).
    dst[i] = static_cast<float>(v);
    if ((v == m0) | (v == m1) | (v == m2) | (v == m3) | (v == m4)) dst[i] = missing;
  }
}

// Markers of a variable of type T: its fill value (the type's default fill
// when the file gives none, except for bytes, whose every value is valid
// data), its missing_value, and the sentinels the database uses.
template <class T>
void markers_and_convert(int32_t ncid, int varid, const T* src, float* dst, int64_t n,
                         float missing, int32_t& status) {
  T mk[5];
  int nm = 0;
  double v = 0.0;
  bool inq_failed = false;
  T x{};
  if (attribute(ncid, varid, "_FillValue", v, inq_failed)) {
    if (as_type(v, x)) mk[nm++] = x;
  } else if constexpr (std::is_same_v<T, int16_t>) {
    mk[nm++] = NC_FILL_SHORT;
  } else if constexpr (std::is_same_v<T, int32_t>) {
    mk[nm++] = NC_FILL_INT;
  } else if constexpr (std::is_same_v<T, float>) {
    mk[nm++] = NC_FILL_FLOAT;
  }
  bool has_mv = attribute(ncid, varid, "missing_value", v, inq_failed);
  if (inq_failed) {
    report(NUMERIC, "BAD NCAINQ - ", true);
    status = MST_NETCDF;
    return;
  }
  if (has_mv) {
    if (as_type(v, x)) mk[nm++] = x;
    if constexpr (!std::is_same_v<T, signed char>) mk[nm++] = static_cast<T>(-999);
  }
  if constexpr (std::is_same_v<T, int32_t>) {
    if (MCOM2.DBNUM == 2) {
      if (as_type(static_cast<double>(MCOM2.XMISS1), x)) mk[nm++] = x;
      mk[nm++] = -99999;
    }
  } else if constexpr (std::is_same_v<T, float>) {
    if (MCOM2.DBNUM == 2) {
      mk[nm++] = -99999.0f;
    } else if (MCOM2.DBNUM == 1) {
      mk[nm++] = MCOM2.XMISS2;
    }
  }
  convert(src, dst, n, mk, nm, missing);
  status = MST_OK;
}

}  // namespace

void MRDNUM1(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart, int32_t rcount,
             float missing, float* values, int32_t nmax, void* work, int32_t& nvals,
             int32_t& status) {
  nvals = 0;
  status = locate(NUMERIC, name, ncid, recdim, rstart, rcount, std::max(nmax, 0));
  if (status != MST_OK) return;
  const Slab& s = SLAB;
  int64_t n = s.total;
  // Reals are read straight into the caller's array, the other types into
  // the work buffer; values kept from an earlier read are converted from
  // where they are kept.
  void* dest = s.type == NC_FLOAT ? static_cast<void*>(values) : work;
  const void* src = dest;
  if (n > 0) {
    const std::size_t elem = s.type == NC_BYTE ? 1 : s.type == NC_SHORT ? 2 : 4;
    if (voran::fc_read(ncid, s.varid, s.ndims, s.start, s.count, elem, dest, src) != NC_NOERR) {
      report(NUMERIC, NUMERIC.get_tag, true);
      status = MST_NETCDF;
      return;
    }
  }
  switch (s.type) {
    case NC_BYTE:
      markers_and_convert(ncid, s.varid, static_cast<const signed char*>(src), values, n, missing,
                          status);
      break;
    case NC_SHORT:
      markers_and_convert(ncid, s.varid, static_cast<const int16_t*>(src), values, n, missing,
                          status);
      break;
    case NC_INT:
      markers_and_convert(ncid, s.varid, static_cast<const int32_t*>(src), values, n, missing,
                          status);
      break;
    default:
      markers_and_convert(ncid, s.varid, static_cast<const float*>(src), values, n, missing,
                          status);
      break;
  }
  if (status == MST_OK) nvals = static_cast<int32_t>(n);
}

void MRDNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart, int32_t rcount,
            float missing, float* values, int32_t& status) {
  int32_t nvals = 0;
  MRDNUM1(name, ncid, recdim, rstart, rcount, missing, values, NWORK, &VORANTMP2, nvals, status);
  if (status != MST_OK) return;
  // Satellite soundings of database 2 hold 50 levels per record where the
  // library's layout has 40: keep the first 40 of each record and mark the
  // freed tail missing. Only a read of exactly 50 values per record is
  // compacted; anything else is left as read.
  if (MCOM2.DBNUM != 2 || MCOM2.CURDSET != 10 || rcount <= 0 ||
      static_cast<int64_t>(nvals) != 50 * static_cast<int64_t>(rcount))
    return;
  if (!voran::feq(name, "mixingRatio") && !voran::feq(name, "temperature") &&
      !voran::feq(name, "pressure"))
    return;
  for (int32_t r = 1; r < rcount; ++r) {
    std::memmove(values + 40 * static_cast<int64_t>(r), values + 50 * static_cast<int64_t>(r),
                 40 * sizeof(float));
  }
  std::fill(values + 40 * static_cast<int64_t>(rcount), values + nvals, missing);
}

void MRDCHR(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart, int32_t rcount,
            char* cbuf, int64_t cbufcap, int32_t& nchar, int32_t& status) {
  status = locate(CHARACTER, name, ncid, recdim, rstart, rcount, std::max<int64_t>(cbufcap, 0));
  if (status != MST_OK) return;
  const Slab& s = SLAB;
  // Text variables may be served from values kept for the open file; any
  // other type is left to NetCDF, which refuses it.
  if (s.total > 0 &&
      (s.type == NC_CHAR ? voran::fc_get_vara(ncid, s.varid, s.ndims, s.start, s.count, 1, cbuf)
                         : nc_get_vara_text(ncid, s.varid, s.start, s.count, cbuf)) != NC_NOERR) {
    report(CHARACTER, CHARACTER.get_tag, true);
    status = MST_NETCDF;
    return;
  }
  // Characters per record: the product of the other dimensions (also right
  // when no record is read).
  if (s.recfirst) {
    nchar =
        static_cast<int32_t>(std::min<int64_t>(s.per_record, std::numeric_limits<int32_t>::max()));
  }
  status = MST_OK;
}
