// lib_calls: the public calls alone, as the tool makes them for
//   voran extract --time T --vars <stalist's 41> --providers ALL-MESO
// with nothing written: the floor the tool's cost is measured against.
//
//   lib_calls STATIC DATA YYYY MM DD HH
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "station_arrays.h"
#include "voran.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: lib_calls STATIC DATA YYYY MM DD HH\n");
    return 2;
  }
  static const char* const vars[] = {
      "TD",     "ALTSE",  "P",      "T",      "DD",     "FF",      "SOILM",  "SOILT",  "PCP1H",
      "PCP24H", "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",   "RDT2",   "RDT3",   "RDT4",
      "RDLFT1", "RDLFT2", "RDLFT3", "RDLFT4", "RDLIP1", "RDLIP2",  "RDLIP3",  "RDLIP4", "RDLDP1",
      "RDLDP2", "RDLDP3", "RDLDP4", "RDSTA1", "RDSTA2", "RDSTA3",  "RDSTA4",  "FSRD15M", "FSRD1H",
      "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H", "VIS"};
  setenv("VORAN_STATIC", argv[1], 1);
  setenv("VORAN_DATA", argv[2], 1);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  MSETSFCPVDR("ALL-SFC", false, st);
  MSETSFCPVDR("ALL-MESO", true, st);
  char atime[9];
  MCHRTIM(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), 0, atime, st);
  StationArrays sta;
  if (sta.list(atime) != 0) return 1;
  const int32_t nsta = sta.nsta;
  // Each variable into arrays of its own, as a caller keeping them all would.
  std::vector<std::vector<float>> obs(std::size(vars));
  std::vector<std::vector<char>> qcd(std::size(vars));
  std::vector<std::vector<int32_t>> qca(std::size(vars)), qcr(std::size(vars));
  double sum = 0;
  for (std::size_t k = 0; k < std::size(vars); ++k) {
    obs[k].resize(std::size_t(nsta));
    qcd[k].resize(std::size_t(nsta));
    qca[k].resize(std::size_t(nsta));
    qcr[k].resize(std::size_t(nsta));
    int32_t n = 0, nobs = 0;
    MGETSFC({atime, 9}, vars[k], n, nobs, obs[k].data(), qcd[k].data(), qca[k].data(),
            qcr[k].data(), st);
    if (st != 0 && st != 1005) return 1;
    sum += nobs;
  }
  std::printf("%d stations, %.0f values\n", nsta, sum);
  return 0;
}
