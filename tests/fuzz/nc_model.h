// A NetCDF file held in memory (dimensions, variables, attributes, values),
// read from a sample, changed, and written back through the NetCDF library.
// The structure-aware fuzz target and the seed maker use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ncmodel {

struct Att {
  std::string name;
  int type = 0;               // nc_type
  std::vector<double> num;    // numeric values
  std::string text;           // NC_CHAR values
};

struct Dim {
  std::string name;
  std::size_t len = 0;
  bool unlimited = false;
};

struct Var {
  std::string name;
  int type = 0;               // nc_type
  std::vector<int> dims;      // indices into File::dims
  std::vector<Att> atts;
  std::vector<double> num;    // numeric values, row-major
  std::string text;           // NC_CHAR values, row-major
};

struct File {
  std::vector<Dim> dims;
  std::vector<Var> vars;
  std::vector<Att> gatts;
  bool netcdf4 = false;       // written in the NetCDF-4 format (needed by NC_STRING etc.)

  int record_dim() const;
  std::size_t size_of(const Var& v) const;  // number of values
  // Sets the record count, repeating the existing records cyclically.
  void set_records(std::size_t n);
  // Resizes v's values to its shape, repeating what is there.
  void fit(Var& v) const;
};

// Reads path into f; false on any NetCDF failure.
bool read(const std::string& path, File& f);
// Writes f to path (replacing it); false on failure.
bool write(const File& f, const std::string& path);

}  // namespace ncmodel
