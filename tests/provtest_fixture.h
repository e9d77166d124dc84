// Fixtures of the provider, precipitation and radiation tests: provider
// table 1 filled by hand, NetCDF files (with character variables of any
// width) made from CDL and put into a file slot by hand.
#pragma once

#include <netcdf.h>

#include <cstring>
#include <string>
#include <string_view>

#include "core/state.h"
#include "derived_fixture.h"
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

// CDL of one observation file with the unlimited record dimension "recNum":
// the numeric variables and QC companions of the other derivation tests,
// plus character variables of any width. Data lists use "_" for the fill
// value. Character data written by the NetCDF library is NUL-padded.
struct Cdl {
  dfix::Cdl base;
  std::string dims = "  recNum = UNLIMITED ;\n  qcl = 1 ;\n";
  Cdl& f(const std::string& name, const std::string& vals) {
    base.f(name, vals);
    return *this;
  }
  Cdl& i(const std::string& name, const std::string& vals) {
    base.i(name, vals);
    return *this;
  }
  Cdl& qc(const std::string& name, const std::string& qca, const std::string& qcr,
          const std::string& dd) {
    base.qc(name, qca, qcr, dd);
    return *this;
  }
  // Character variable of width characters per record.
  Cdl& c(const std::string& name, int width, const std::string& vals) {
    std::string d = name + "_len";
    dims += "  " + d + " = " + std::to_string(width) + " ;\n";
    base.decls += "  char " + name + "(recNum, " + d + ") ;\n";
    base.data += " " + name + " = " + vals + " ;\n";
    return *this;
  }
  std::string text() const {
    return "netcdf t {\ndimensions:\n" + dims + "variables:\n" + base.decls + "data:\n" +
           base.data + "}\n";
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

// Slots, variable-table entries and output arrays as in the other
// derivation tests.
using dfix::close_slot;
using dfix::Out;
using dfix::set_var;

}  // namespace pfix
