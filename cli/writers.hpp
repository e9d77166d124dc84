// Writers of the voran tool: hours in, one format out, written as they come.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>
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
  // Text formats only: lines rendered elsewhere by a writer of the same
  // format (a worker of --jobs), written as they stand.
  virtual void text(std::string_view lines);
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
// A text writer without a stream, for the workers of --jobs: its lines go to
// `emit` in blocks (at the latest when an hour is done), and the CSV heading
// is left to the parent.
std::unique_ptr<Writer> text_renderer(bool json, std::function<void(std::string_view)> emit);
std::unique_ptr<Writer> netcdf_writer(const std::string& path, const Provenance& what);

}  // namespace voran::cli
