// CDL fixtures of surface data files for the station tests: one record
// dimension and the identity variables each network carries.
#pragma once

#include <string>
#include <vector>

namespace stfix {

// Seconds from 1970 of the library's integer time t.
inline std::string unix_time(int64_t t) { return std::to_string(t + 1325376000LL); }

class Cdl {
 public:
  explicit Cdl(int nrec) : nrec_(nrec) {}

  // A character variable (recNum, <name>_len) of the given width.
  Cdl& chars(const std::string& name, int width, const std::vector<std::string>& vals) {
    dims_ += "  " + name + "_len = " + std::to_string(width) + " ;\n";
    vars_ += "  char " + name + "(recNum, " + name + "_len) ;\n";
    data_ += " " + name + " = ";
    for (std::size_t i = 0; i < vals.size(); ++i)
      data_ += (i ? ", \"" : "\"") + vals[i] + "\"";
    data_ += " ;\n";
    return *this;
  }
  // A numeric variable (recNum) of a CDL type; "_" in vals is the fill value.
  Cdl& num(const std::string& type, const std::string& name,
           const std::vector<std::string>& vals, const std::string& fill = "") {
    vars_ += "  " + type + " " + name + "(recNum) ;\n";
    if (!fill.empty()) vars_ += "    " + name + ":_FillValue = " + fill + " ;\n";
    data_ += " " + name + " = ";
    for (std::size_t i = 0; i < vals.size(); ++i) data_ += (i ? ", " : "") + vals[i];
    data_ += " ;\n";
    return *this;
  }
  // Free text added to the declarations and data.
  Cdl& raw(const std::string& dims, const std::string& vars, const std::string& data) {
    dims_ += dims;
    vars_ += vars;
    data_ += data;
    return *this;
  }
  // The five identity variables under the installation's names.
  Cdl& identity(int width, const std::vector<std::string>& ids, const std::vector<std::string>& lat,
                const std::vector<std::string>& lon, const std::vector<std::string>& elev) {
    chars("stationId", width, ids);
    num("float", "latitude", lat, "3.0e36f");
    num("float", "longitude", lon, "3.0e36f");
    num("float", "elevation", elev, "3.0e36f");
    return *this;
  }
  std::string text() const {
    std::string dims = nrec_ > 0 ? "  recNum = UNLIMITED ; // (" + std::to_string(nrec_) + " currently)\n"
                                 : "  recNum = UNLIMITED ;\n";
    std::string data = nrec_ > 0 ? data_ : "";
    return "netcdf f {\ndimensions:\n" + dims + dims_ + "variables:\n" + vars_ +
           (data.empty() ? "" : "data:\n" + data) + "}\n";
  }

 private:
  int nrec_;
  std::string dims_, vars_, data_;
};

}  // namespace stfix
