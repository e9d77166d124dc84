// Fixtures of the provider, precipitation and radiation tests: provider
// table 1 filled by hand, NetCDF files made from CDL and put into a file slot
// by hand, variable-table entries set directly.
#pragma once

#include <netcdf.h>

#include <cstring>
#include <string>
#include <string_view>

#include "core/state.h"
#include "testutil.h"
#include "variables/variables.h"

namespace pfix {

// Provider table 1 and its subtype table emptied; selection state initial.
inline void clear_providers() {
  std::memset(&PROVTBL, 0, sizeof PROVTBL);
  for (int p = 0; p < voran::NPTABLES; ++p) {
    for (bool& b : PROVTBL.SUBSRC_SELECTED[p]) b = true;
    PROVTBL.REQ_DEFAULT[p] = true;
  }
}

// Append a provider to table 1 (codes 1-4), returns its 1-based place.
inline int add_provider(std::string_view name, int c1 = 0, int c2 = 0, int c3 = 0, int c4 = 0) {
  int k = PROVTBL.SUBSRC_COUNT[0]++;
  voran::fset(PROVTBL.SUBSRC_NAME[0][k], 10, name);
  PROVTBL.SUBSRC_NAMLEN[0][k] = M_LSTCHR(voran::fview(PROVTBL.SUBSRC_NAME[0][k], 10), 10);
  PROVTBL.SUBSRC_CODE1[0][k] = c1;
  PROVTBL.SUBSRC_CODE2[0][k] = c2;
  PROVTBL.SUBSRC_CODE3[0][k] = c3;
  PROVTBL.SUBSRC_CODE4[0][k] = c4;
  PROVTBL.SUBSRC_LISTED[0] = PROVTBL.SUBSRC_COUNT[0];
  return k + 1;
}

inline void add_subtype(std::string_view name, int c1, int c2) {
  int k = PROVTBL.SUBTYPE_COUNT[0]++;
  voran::fset(PROVTBL.SUBTYPE_NAME[0][k], 11, name);
  PROVTBL.SUBTYPE_NAMLEN[0][k] = M_LSTCHR(voran::fview(PROVTBL.SUBTYPE_NAME[0][k], 11), 11);
  PROVTBL.SUBTYPE_CODE1[0][k] = c1;
  PROVTBL.SUBTYPE_CODE2[0][k] = c2;
  PROVTBL.SUBTYPE_LISTED[0] = PROVTBL.SUBTYPE_COUNT[0];
}

// CDL of one observation file with the unlimited record dimension "recNum".
// Data lists use "_" for the fill value. Character variables are written
// by the NetCDF library, so short strings are NUL-padded.
struct Cdl {
  std::string dims = "  recNum = UNLIMITED ;\n  one = 1 ;\n", decls, data;
  Cdl& f(const std::string& name, const std::string& vals) {
    decls += "  float " + name + "(recNum) ;\n  " + name + ":_FillValue = 3.e36f ;\n";
    data += " " + name + " = " + vals + " ;\n";
    return *this;
  }
  Cdl& i(const std::string& name, const std::string& vals) {
    decls += "  int " + name + "(recNum) ;\n";
    data += " " + name + " = " + vals + " ;\n";
    return *this;
  }
  // Character variable of width characters per record.
  Cdl& c(const std::string& name, int width, const std::string& vals) {
    std::string d = name + "_len";
    dims += "  " + d + " = " + std::to_string(width) + " ;\n";
    decls += "  char " + name + "(recNum, " + d + ") ;\n";
    data += " " + name + " = " + vals + " ;\n";
    return *this;
  }
  // The three QC companions of name.
  Cdl& qc(const std::string& name, const std::string& qca, const std::string& qcr,
          const std::string& dd) {
    i(name + "QCA", qca).i(name + "QCR", qcr);
    decls += "  char " + name + "DD(recNum, one) ;\n";
    data += " " + name + "DD = " + dd + " ;\n";
    return *this;
  }
  // Free declarations and data (other dimensions must be added to dims).
  Cdl& raw(const std::string& d, const std::string& v) {
    decls += d;
    data += v;
    return *this;
  }
  std::string text() const {
    return "netcdf t {\ndimensions:\n" + dims + "variables:\n" + decls + "data:\n" + data + "}\n";
  }
};

// Make the file and open it; -1 on failure.
inline int open_file(const Cdl& cdl) {
  std::string path = testutil::make_tmpdir() + "/obs.nc";
  if (!testutil::ncgen(cdl.text(), path)) return -1;
  int ncid = -1;
  if (nc_open(path.c_str(), NC_NOWRITE, &ncid) != NC_NOERR) return -1;
  return ncid;
}

// Make the file, open it and put it in slot for network dset.
inline bool open_slot(int slot, int dset, const Cdl& cdl) {
  int ncid = open_file(cdl);
  int recdim = -1;
  size_t len = 0;
  if (ncid < 0 || nc_inq_unlimdim(ncid, &recdim) != NC_NOERR ||
      nc_inq_dimlen(ncid, recdim, &len) != NC_NOERR)
    return false;
  SFCSTRN.FILE_NCID[slot - 1] = ncid;
  SFCSTRN.FILE_RECDIM[slot - 1] = recdim;
  SFCSTRN.FILE_NREC[slot - 1] = static_cast<int32_t>(len);
  SFCSTRN.FILE_DSET[slot - 1] = dset;
  return true;
}

inline void close_slot(int slot) {
  if (SFCSTRN.FILE_NCID[slot - 1] >= 0) nc_close(SFCSTRN.FILE_NCID[slot - 1]);
  SFCSTRN.FILE_NCID[slot - 1] = -1;
  SFCSTRN.FILE_NREC[slot - 1] = 0;
}

// Variable-table entry of code for network dset (qc 'Q' or ' ').
inline void set_var(int code, int dset, std::string_view name, char qc = ' ') {
  VARTBL.NAMLEN[code - 1][dset - 1] = static_cast<int32_t>(name.size());
  voran::fset(VARTBL.NCNAME[code - 1][dset - 1], 24, name);
  VARTBL.NCTYPE[code - 1][dset - 1] = 'f';
  VARTBL.QCFLAG[code - 1][dset - 1] = qc;
}

// Outputs of one derivation call over n records.
struct Out {
  static constexpr int N = 64;
  float val[N];
  char qcd[N];
  float qca[N], qcr[N];
  int32_t status = -1;
  Out() {
    for (int i = 0; i < N; ++i) {
      val[i] = -1.0f;
      qcd[i] = '?';
      qca[i] = qcr[i] = -1.0f;
    }
  }
};

}  // namespace pfix
