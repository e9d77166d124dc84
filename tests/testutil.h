// Shared test helpers: scratch directories and NetCDF fixtures made from CDL.
#pragma once

#include <string>
#include <string_view>

namespace testutil {

// A fresh directory under the system temporary directory.
std::string make_tmpdir();

// Write text to a file, creating parent directories.
void write_file(const std::string& path, const std::string& text);

// Turn CDL text into a NetCDF file at path with ncgen (run without a shell).
// Returns true on success.
bool ncgen(const std::string& cdl, const std::string& path);

// Static directory built from the repository's static/ tables.
inline std::string static_dir() { return VORAN_STATIC_BUILD; }

// Start a program (argv[0] is the path) in dir (none: here), stdout and
// stderr to files, without a shell; its pid, or -1.
int start_program(const std::string& dir, const char* const argv[], const std::string& out,
                  const std::string& err);
// The exit status of a started program, or -1 (killed, or not started).
int wait_program(int pid);
// Both: run a program and return its exit status, or -1.
int run_program(const std::string& dir, const char* const argv[], const std::string& out,
                const std::string& err);

std::string read_file(const std::string& path);

// prefix followed by n in decimal ("K", 1000: "K1000"). Names are built by
// appending to the prefix: g++ 12 warns falsely (-Wrestrict) about
// "K" + std::to_string(n) in optimised builds.
inline std::string numbered(std::string_view prefix, long long n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

// The sample tree of gen_sample (2021-08-25 19, 20, 21 UTC), made once per
// test program on first use and removed when it ends.
const std::string& sample_tree();

}  // namespace testutil
