// Writers of the voran tool: hours in, one format out, written as they come.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "voran/layout.hpp"

namespace voran::cli {

class Writer {
 public:
  virtual ~Writer() = default;
  // `vars` describes the columns every hour will carry.
  virtual void begin(const std::vector<VariableInfo>& vars) = 0;
  virtual void hour(const Hour& h) = 0;
  // Completes the output; throws when it cannot be completed.
  virtual void finish() = 0;
};

// What was asked, for the NetCDF file's global attributes.
struct Provenance {
  std::vector<std::pair<std::string, std::string>> attributes;
};

// Text formats write to an open stream (standard output or the temporary
// file); NetCDF writes a file of its own at `path`.
std::unique_ptr<Writer> csv_writer(std::FILE* out);
std::unique_ptr<Writer> jsonl_writer(std::FILE* out);
std::unique_ptr<Writer> netcdf_writer(const std::string& path, const Provenance& what);

}  // namespace voran::cli
