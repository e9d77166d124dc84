// Test fixtures of the derivation tests (wind, pressure, moisture, virtual
// temperature): a NetCDF file made from CDL and put into a file slot by hand,
// and variable-table entries set directly.
#pragma once

#include <netcdf.h>

#include <cstring>
#include <string>
#include <string_view>

#include "core/state.h"
#include "testutil.h"
#include "variables/variables.h"

namespace dfix {

// CDL of one file with an unlimited record dimension "recNum"; values are
// given as CDL data lists, "_" meaning the fill value (3.0e36).
struct Cdl {
  std::string decls, data;
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
  Cdl& c(const std::string& name, const std::string& vals) {
    decls += "  char " + name + "(recNum, qcl) ;\n";
    data += " " + name + " = " + vals + " ;\n";
    return *this;
  }
  // The three QC companions of name.
  Cdl& qc(const std::string& name, const std::string& qca, const std::string& qcr,
          const std::string& dd) {
    return i(name + "QCA", qca).i(name + "QCR", qcr).c(name + "DD", dd);
  }
  std::string text() const {
    return "netcdf t {\ndimensions:\n  recNum = UNLIMITED ;\n  qcl = 1 ;\nvariables:\n" +
           decls + "data:\n" + data + "}\n";
  }
};

// Make the file, open it and put it in slot for network dset.
inline bool open_slot(int slot, int dset, const Cdl& cdl) {
  std::string path = testutil::make_tmpdir() + "/obs.nc";
  if (!testutil::ncgen(cdl.text(), path)) return false;
  int ncid = -1, recdim = -1;
  size_t len = 0;
  if (nc_open(path.c_str(), NC_NOWRITE, &ncid) != NC_NOERR) return false;
  if (nc_inq_unlimdim(ncid, &recdim) != NC_NOERR || nc_inq_dimlen(ncid, recdim, &len) != NC_NOERR)
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

// The MESONET names of temperature, humidity and pressure, with QC.
inline void set_mesonet_vars() {
  constexpr int MESONET = 4;
  set_var(1, MESONET, "dewpoint", 'Q');
  set_var(2, MESONET, "relHumidity", 'Q');
  set_var(8, MESONET, "temperature", 'Q');
  set_var(3, MESONET, "altimeter", 'Q');
  set_var(7, MESONET, "stationPressure", 'Q');
  set_var(16, MESONET, "elevation");
}

inline void clear_table() {
  std::memset(&VARTBL, 0, sizeof VARTBL);
  VORANCOM2.DOM_TYPE = -1;
  VORANCOM2.QC_LEVEL = 0;
  VORANCOM2.QC_SOURCE = 0;
  MCOM2.DBNUM = 1;
  MCOM2.CURDSET = 0;
  MCOM2.XMISS2 = 3.4028235e38f;
}

// Output arrays of one derivation call, pre-set to garbage so that every
// entry the routine must fill is seen to be filled.
struct Out {
  static constexpr int N = 16;
  float val[N];
  char qcd[N];
  float qca[N], qcr[N];
  int32_t status = -1;
  Out() {
    for (int k = 0; k < N; ++k) {
      val[k] = -1.0f;
      qcd[k] = '?';
      qca[k] = qcr[k] = -1.0f;
    }
  }
};

using Routine = void (*)(int32_t, int32_t, int32_t, float*, char*, float*, float*, int32_t&);
inline Out call(Routine fn, int code, int dset, int slot) {
  Out o;
  fn(code, dset, slot, o.val, o.qcd, o.qca, o.qcr, o.status);
  return o;
}

}  // namespace dfix
