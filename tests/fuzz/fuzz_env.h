// Shared setup and checks of the fuzz targets: a private copy of the static
// directory, a scratch data tree, the documented status sets, and a whole
// station-list and variable cycle with guards around the caller's arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fuzzenv {

// Stops the run with a message; libFuzzer keeps the input that got here.
[[noreturn]] inline void fail(const char* what, long a = 0, long b = 0) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s (%ld, %ld)\n", what, a, b);
  std::abort();
}
inline void check(bool ok, const char* what, long a = 0, long b = 0) {
  if (!ok) fail(what, a, b);
}
inline bool one_of(int32_t s, std::initializer_list<int32_t> set) {
  for (int32_t v : set)
    if (s == v) return true;
  return false;
}

// A fresh scratch directory holding a copy of the built static directory.
// Sets VORAN_STATIC and VORAN_DATA (data tree: <dir>/data).
std::string setup_dirs();
std::string static_copy();  // the copy made by setup_dirs()
std::string data_dir();

// Bytes of a file; empty when it cannot be read.
std::string slurp(const std::string& path);
bool spit(const std::string& path, std::string_view bytes);

// Surface source k (1..10): data subdirectory below the data root.
const char* source_subdir(int k);
// The nine-character time of the sample files and their stem.
inline constexpr const char* SAMPLE_TIME = "212372000";
inline constexpr const char* SAMPLE_STEM = "20210825_2000";
// Path of source k's data file for the sample time.
std::string data_file(int k);

// The 41 variable names the batch program retrieves.
extern const char* const VARNAMES[41];

// MINIT("SFC") and all providers on; aborts when the installed tables fail.
void init_surface();

// One MSFCSTA for the sample time and MGETSFC for every name; checks the
// statuses against the documented sets, the station list against the open
// files, and guard regions after the entries the library may write.
void run_cycle();

}  // namespace fuzzenv
