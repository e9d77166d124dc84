// make_seeds SAMPLE_TREE SAMPLES_OUT DATAFILE_CORPUS NCSTRUCT_CORPUS
//
// Takes the 20:00 file of every network from a sample tree (as written by
// gen_sample), keeps its first few records (small files fuzz fast), and
// writes: SAMPLES_OUT/<source> for the structure-aware target, and one seed
// per network into each corpus (the source byte followed by the file for the
// byte-level target; the source byte alone for the structure-aware one).
#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz_env.h"
#include "nc_model.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: make_seeds SAMPLE_TREE SAMPLES_OUT DATAFILE_CORPUS NCSTRUCT_CORPUS\n");
    return 2;
  }
  const std::string tree = argv[1], out = argv[2], c1 = argv[3], c2 = argv[4];
  for (const auto& d : {out, c1, c2}) std::filesystem::create_directories(d);
  int made = 0;
  for (int k = 1; k <= 10; ++k) {
    ncmodel::File f;
    const std::string src = tree + fuzzenv::source_subdir(k) + fuzzenv::SAMPLE_STEM;
    if (!ncmodel::read(src, f)) {
      std::fprintf(stderr, "make_seeds: no sample for source %d (%s)\n", k, src.c_str());
      continue;
    }
    const std::size_t nrec = f.record_dim() >= 0 ? f.dims[static_cast<std::size_t>(f.record_dim())].len : 0;
    // The structure-aware target's samples keep more records (more
    // providers); the byte-level seeds stay small.
    ncmodel::File big = f, small = f;
    if (nrec > 60) big.set_records(60);
    if (nrec > 6) small.set_records(6);
    const std::string sample = out + "/" + std::to_string(k);
    const std::string cut = out + "/small" + std::to_string(k);
    if (!ncmodel::write(big, sample) || !ncmodel::write(small, cut)) {
      std::fprintf(stderr, "make_seeds: cannot write %s\n", sample.c_str());
      return 1;
    }
    const std::string tag(1, static_cast<char>(k - 1));
    fuzzenv::spit(c1 + "/seed" + std::to_string(k), tag + fuzzenv::slurp(cut));
    fuzzenv::spit(c2 + "/seed" + std::to_string(k), tag);
    ++made;
  }
  return made > 0 ? 0 : 1;
}
