// Fuzz target: the static table readers on an arbitrary file. The first
// input byte chooses the table and reader; the rest is the file's bytes,
// written next to an intact copy of the installed tables.
//   0 variable table (MSFCTBL)       1 code table (MRDVCODE, surface)
//   2 "stadic.txt"  3 "sfcsrcin.txt"  4 "topomini.txt" (MSFCINIT, the other
//   files intact)   5 upper-air variable table (MUAPTTBL)   6 snow table and
//   "snowsrcin.txt" (MSNOWINIT)      7 code table of another dataset
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_env.h"
#include "tables/tables.h"

using fuzzenv::check;

namespace {

std::string S;  // static directory copy
std::string P(const char* name) { return S + name; }

void check_tables() {
  for (int d = 0; d < voran::NDSETS; ++d) {
    const int32_t n = VCNTBL.VCN_COUNT[d];
    check(n >= 0 && n <= voran::NCODES, "code table count", d, n);
    for (int i = 0; i < n; ++i)
      check(VCNTBL.VCN_CODE[d][i] >= 1 && VCNTBL.VCN_CODE[d][i] <= voran::NCODES, "code entry",
            d, VCNTBL.VCN_CODE[d][i]);
  }
  for (int c = 0; c < voran::NCODES; ++c)
    for (int s = 0; s < voran::NSLOTS; ++s) {
      check(VARTBL.NAMLEN[c][s] >= 0 && VARTBL.NAMLEN[c][s] <= 24, "name length", c, VARTBL.NAMLEN[c][s]);
      check(VARTBL.CHRLEN[c][s] >= 0, "character length", c, VARTBL.CHRLEN[c][s]);
    }
  check(SFCTBL.ASOS_COUNT >= 0 && SFCTBL.ASOS_COUNT <= voran::NASOS, "ASOS count", SFCTBL.ASOS_COUNT);
  for (int p = 0; p < voran::NPTABLES; ++p) {
    check(PROVTBL.SUBSRC_COUNT[p] >= 0 && PROVTBL.SUBSRC_COUNT[p] <= voran::NPROV, "provider count",
          p, PROVTBL.SUBSRC_COUNT[p]);
    check(PROVTBL.SUBTYPE_COUNT[p] >= 0 && PROVTBL.SUBTYPE_COUNT[p] <= voran::NSUBTYPE,
          "subtype count", p, PROVTBL.SUBTYPE_COUNT[p]);
    for (int i = 0; i < PROVTBL.SUBSRC_COUNT[p]; ++i)
      check(PROVTBL.SUBSRC_NAMLEN[p][i] >= 0 && PROVTBL.SUBSRC_NAMLEN[p][i] <= 10, "provider name length");
    for (int i = 0; i < PROVTBL.SUBTYPE_COUNT[p]; ++i)
      check(PROVTBL.SUBTYPE_NAMLEN[p][i] >= 0 && PROVTBL.SUBTYPE_NAMLEN[p][i] <= 11, "subtype name length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::init_surface();
  S = fuzzenv::static_copy();
  MCOM2.MSGFLAG = true;  // message texts are built from table contents too
  if (std::freopen("/dev/null", "w", stdout) == nullptr) fuzzenv::fail("stdout");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string f = S + "/fuzzed.txt";
  fuzzenv::spit(f, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  int32_t st = -1;
  switch (data[0] % 8) {
    case 0:
      MSFCTBL(f, st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE, MST_BAD_TABLE}), "MSFCTBL status", st);
      break;
    case 1:
      MRDVCODE(0, f, st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE, MST_BAD_TABLE}), "MRDVCODE status", st);
      if (st == MST_OK && VCNTBL.VCN_COUNT[0] > 0) {
        // The first entry is found again under its own name.
        MCOM2.CURDSET = 0;
        int32_t code = 0, gs = -1;
        char type = ' ';
        MGETVCN({VCNTBL.VCN_NAME[0][0], 7}, code, &type, gs);
        check(gs == MST_OK && code >= 1 && code <= voran::NCODES, "code lookup", gs, code);
      }
      break;
    case 2:
    case 3:
    case 4: {
      const int w = data[0] % 8;
      MSFCINIT(P("/sfctbl.txt"), w == 2 ? f : P("/stadic.txt"), w == 3 ? f : P("/sfcsrcin.txt"),
               w == 4 ? f : P("/topomini.txt"), st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE}), "MSFCINIT status", st, w);
      if (st == MST_OK)
        for (const auto& row : SFCTBL.TOPO)
          for (float h : row) check(std::isfinite(h), "terrain height not finite");
      break;
    }
    case 5:
      MUAPTTBL(1 + data[0] / 8 % 6, f, st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE, MST_BAD_TABLE}), "MUAPTTBL status", st);
      break;
    case 6:
      MSNOWINIT(data[0] & 8 ? f : P("/snowtbl.txt"), data[0] & 8 ? P("/snowsrcin.txt") : f, st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE, MST_BAD_TABLE}), "MSNOWINIT status", st);
      break;
    default:
      MRDVCODE(1 + data[0] / 8 % 13, f, st);
      check(fuzzenv::one_of(st, {MST_OK, MST_BAD_FILE, MST_BAD_TABLE}), "MRDVCODE status", st);
      break;
  }
  check_tables();
  return 0;
}
