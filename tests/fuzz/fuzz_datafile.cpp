// Fuzz target: a data file of any network with arbitrary bytes (mutated from
// the sample files: byte changes, truncation, growth), then a whole
// MSFCSTA/MGETSFC cycle over all 41 variable names. The first input byte
// chooses the network (source 1 + byte mod 10); the rest is the file.
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "fuzz_env.h"

namespace {
int LAST = 0;  // source whose data file is in place
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::init_surface();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int k = 1 + data[0] % 10;
  if (LAST != 0) std::filesystem::remove(fuzzenv::data_file(LAST));
  LAST = k;
  if (!fuzzenv::spit(fuzzenv::data_file(k),
                     std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)))
    fuzzenv::fail("cannot write the data file");
  fuzzenv::run_cycle();
  return 0;
}
