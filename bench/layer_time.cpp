// voran_layer_time: processor time of one voran::fetch through the C++
// layer, the reference bench/python_bench.py holds the Python package to.
//
//   voran_layer_time STATIC DATA TIME REPS PROVIDERS VAR[,VAR...]
//
// PROVIDERS is a comma-separated selection ("ALL-MESO") or "-" for the
// tables' own. Prints one line per run, "seconds <cpu> stations <n>".
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "voran/voran.hpp"

namespace {
double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> out;
  std::stringstream ss(s);
  std::string part;
  while (std::getline(ss, part, ',')) out.push_back(part);
  return out;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: voran_layer_time STATIC DATA TIME REPS PROVIDERS VARS\n");
    return 2;
  }
  voran::Query q;
  q.static_dir = argv[1];
  q.data_dir = argv[2];
  q.time = voran::parse_time(argv[3]);
  const int reps = std::atoi(argv[4]);
  if (std::string(argv[5]) != "-") q.providers = split(argv[5]);
  q.variables = split(argv[6]);
  try {
    for (int r = 0; r < reps; ++r) {
      const double t0 = cpu_seconds();
      const voran::Hour h = voran::fetch(q);
      const double t1 = cpu_seconds();
      std::printf("seconds %.6f stations %zu\n", t1 - t0, h.count());
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "voran_layer_time: %s\n", e.what());
    return 1;
  }
  return 0;
}
