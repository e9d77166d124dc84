// The arrays MSFCSTA fills, as large as a list can be, for the programs
// that call the library directly to compare with it or to time it (tests
// and benchmarks alike: this header needs nothing but voran.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voran.h"

struct StationArrays {
  static constexpr std::size_t CAP = VORAN_MAX_STATIONS;

  int32_t nsta = 0;
  std::vector<char> stid = std::vector<char>(CAP * 10);
  std::vector<char> obst = std::vector<char>(CAP * 9);
  std::vector<char> prov = std::vector<char>(CAP * 10);
  std::vector<int32_t> wmo = std::vector<int32_t>(CAP);
  std::vector<int32_t> src = std::vector<int32_t>(CAP);
  std::vector<float> lat = std::vector<float>(CAP);
  std::vector<float> lon = std::vector<float>(CAP);
  std::vector<float> elev = std::vector<float>(CAP);

  // MSFCSTA for the library time `atime` (its 9 characters); the status.
  int32_t list(const char* atime) {
    int32_t st = 0;
    MSFCSTA({atime, 9}, nsta, stid.data(), wmo.data(), lat.data(), lon.data(), elev.data(),
            obst.data(), prov.data(), st, src.data());
    return st;
  }
};
