// Reads shared by the dispatcher and the derivations: a code's variable and
// its QC companions from one open surface file.
#include <algorithm>
#include <cstring>
#include <string>

#include <netcdf.h>

#include "core/filecache.h"
#include "variables/variables.h"

namespace voran {

namespace {
// Characters of one "DD" read: one or more per value, up to the scratch size.
char DDBUF[NSCRATCH * 2];

int32_t nrec_of(int32_t slot) { return SFCSTRN.FILE_NREC[slot - 1]; }

// A variable read for nval values per record must hold exactly that many
// after its record dimension; otherwise every value would land on the wrong
// station. An absent variable passes (its read answers 1005); a variable of
// another shape fails the read with 2001.
bool shape_ok(std::string_view name, int32_t slot, int32_t nval, int32_t& status) {
  char cname[NC_MAX_NAME + 1];
  if (name.empty() || name.size() > NC_MAX_NAME) return true;
  std::memcpy(cname, name.data(), name.size());
  cname[name.size()] = '\0';
  const int ncid = SFCSTRN.FILE_NCID[slot - 1];
  int varid = -1, ndims = 0;
  if (nc_inq_varid(ncid, cname, &varid) != NC_NOERR) return true;
  int dims[NC_MAX_VAR_DIMS];
  if (nc_inq_varndims(ncid, varid, &ndims) != NC_NOERR || ndims < 1 || ndims > NC_MAX_VAR_DIMS ||
      nc_inq_vardimid(ncid, varid, dims) != NC_NOERR)
    return true;  // the reader reports what is wrong with it
  int64_t per = 1;
  for (int d = 1; d < ndims; ++d) {
    size_t len = 0;
    if (fc_inq_dimlen(ncid, dims[d], len) != NC_NOERR) return true;
    per *= static_cast<int64_t>(len);
    if (per > NSCRATCH) break;
  }
  if (per == nval) return true;
  status = MST_NETCDF;
  constexpr std::string_view text = "MGTNUM: BAD VARIABLE SHAPE - ";
  char msg[text.size() + NC_MAX_NAME];
  std::memcpy(msg, text.data(), text.size());
  std::memcpy(msg + text.size(), name.data(), name.size());
  MERROR({msg, text.size() + name.size()});
  return false;
}
}  // namespace

std::string_view varname(int32_t code, int32_t dset) {
  if (code < 1 || code > NCODES || dset < 1 || dset > NSRC) return {};
  int32_t len = VARTBL.NAMLEN[code - 1][dset - 1];
  if (len <= 0) return {};
  return {VARTBL.NCNAME[code - 1][dset - 1], static_cast<std::size_t>(std::min(len, 24))};
}

char qcletter(int32_t code, int32_t dset) {
  if (code < 1 || code > NCODES || dset < 1 || dset > NSRC) return ' ';
  return VARTBL.QCFLAG[code - 1][dset - 1];
}

void read_named(std::string_view name, int32_t slot, float* val, int32_t& status,
                int32_t nval) {
  if (!shape_ok(name, slot, nval, status)) return;
  MGTNUM(name, SFCSTRN.FILE_NCID[slot - 1], SFCSTRN.FILE_RECDIM[slot - 1], 1, nrec_of(slot),
         RMISS, val, status);
}

void read_values(int32_t code, int32_t dset, int32_t slot, float* val, int32_t& status,
                 int32_t nval) {
  std::string_view name = varname(code, dset);
  if (name.empty()) {
    status = MST_NOT_IN_DATABASE;
    return;
  }
  read_named(name, slot, val, status, nval);
}

void fill_missing(int32_t n, float* val, char* qcd, float* qca, float* qcr) {
  if (n <= 0) return;
  if (val) std::fill_n(val, n, RMISS);
  if (qcd) std::memset(qcd, 'Z', static_cast<std::size_t>(n));
  if (qca) std::fill_n(qca, n, 0.0f);
  if (qcr) std::fill_n(qcr, n, 0.0f);
}

void read_qc_named(std::string_view name, int32_t slot, int32_t nval, char* qcd, float* qca,
                   float* qcr, bool& has_qc, int32_t& status) {
  int32_t n = nrec_of(slot) * nval;
  has_qc = false;
  // Companion names are at most the 24-character variable name plus "QCA".
  char buf[32];
  std::size_t len = std::min<std::size_t>(name.size(), 24);
  std::memcpy(buf, name.data(), len);
  int32_t ncid = SFCSTRN.FILE_NCID[slot - 1];
  int32_t recdim = SFCSTRN.FILE_RECDIM[slot - 1];

  std::memcpy(buf + len, "QCA", 3);
  if (!shape_ok({buf, len + 3}, slot, nval, status)) return;
  MGTNUM({buf, len + 3}, ncid, recdim, 1, nrec_of(slot), RMISS, qca, status);
  if (status == MST_NOT_IN_DATABASE) {
    fill_missing(n, nullptr, qcd, qca, qcr);
    status = MST_OK;
    return;
  }
  if (status != MST_OK) return;
  std::memcpy(buf + len, "QCR", 3);
  if (!shape_ok({buf, len + 3}, slot, nval, status)) return;
  MGTNUM({buf, len + 3}, ncid, recdim, 1, nrec_of(slot), RMISS, qcr, status);
  if (status != MST_OK) return;
  std::memcpy(buf + len, "DD", 2);
  int32_t nchar = 0;
  MGTCHR({buf, len + 2}, ncid, recdim, 1, nrec_of(slot), DDBUF, sizeof DDBUF, nchar, status);
  if (status != MST_OK) return;
  // nchar characters per record: one per value when the record holds nval
  // values, otherwise the first character of the record for all its values.
  const int32_t nv = std::max(nval, 1);
  const int32_t step = nchar >= nv ? nchar / nv : 0;
  if (nv == 1 && nchar == 1 && n <= static_cast<int32_t>(sizeof DDBUF)) {
    fset_nul(qcd, n, DDBUF, n);
  } else {
    int64_t rec = 0;
    for (int32_t i = 0; i < n; ++rec) {
      for (int32_t k = 0; k < nv && i < n; ++k, ++i) {
        int64_t pos = rec * nchar + static_cast<int64_t>(k) * step;
        char c = (nchar > 0 && pos < static_cast<int64_t>(sizeof DDBUF)) ? DDBUF[pos] : ' ';
        qcd[i] = (c == '\0') ? ' ' : c;
      }
    }
  }
  has_qc = true;
}

void read_qc(int32_t code, int32_t dset, int32_t slot, int32_t nval, char* qcd, float* qca,
             float* qcr, bool& has_qc, int32_t& status) {
  std::string_view name = varname(code, dset);
  if (name.empty() || qcletter(code, dset) != 'Q') {
    has_qc = false;
    fill_missing(nrec_of(slot) * nval, nullptr, qcd, qca, qcr);
    status = MST_OK;
    return;
  }
  read_qc_named(name, slot, nval, qcd, qca, qcr, has_qc, status);
}

}  // namespace voran
