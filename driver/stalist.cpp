// stalist: list the mesonet stations of a fixed hour with 41 surface variables.
//
// Initialises the surface dataset, selects all mesonet providers, retrieves
// the station list for the hour named by a built-in file name, fetches 41
// variables for every station and writes the listing to run.out in the
// current directory. Library failures end the run after one line on
// standard output.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fortran_format.h"
#include "voran.h"

namespace {

// The station arrays hold as many stations as the library can return.
constexpr int32_t CAP = VORAN_MAX_STATIONS;
constexpr int NVAR = 41;
constexpr int NLIST = 8;
// Widest level count a variable can have (values per station).
constexpr int MAXLEV = 6;

char MESOBN[128 + 1] = "20210825_2000.2133";
char CSTRTM[9];

char STID[CAP][10];
int32_t ISTNM[CAP];
float SLAT[CAP], SLON[CAP], SELV[CAP];
char CRPTTM[CAP][9];
char PRVID[CAP][10];
int32_t ISRCN[CAP];

// Only the listed variables keep their column; the other 33 are fetched
// into one shared column that is overwritten by the next.
float OBS[NLIST][CAP];
char QCD[NLIST][CAP];
int32_t IQCA[NLIST][CAP];
int32_t IQCR[NLIST][CAP];
float OBS_X[MAXLEV * CAP];
char QCD_X[MAXLEV * CAP];
int32_t IQCA_X[MAXLEV * CAP];
int32_t IQCR_X[MAXLEV * CAP];

constexpr const char* VCNAME[NVAR] = {
    "TD",     "ALTSE",  "P",      "T",      "DD",     "FF",      "SOILM",  "SOILT",  "PCP1H",
    "PCP24H", "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",   "RDT2",   "RDT3",   "RDT4",
    "RDLFT1", "RDLFT2", "RDLFT3", "RDLFT4", "RDLIP1", "RDLIP2",  "RDLIP3",  "RDLIP4", "RDLDP1",
    "RDLDP2", "RDLDP3", "RDLDP4", "RDSTA1", "RDSTA2", "RDSTA3",  "RDSTA4",  "FSRD15M", "FSRD1H",
    "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H", "VIS"};

// Column of run.out's block lines that variable j (0-based) fills, or -1.
int listed_column(int j) {
  if (j < 6) return j;
  if (j == 8) return 6;
  if (j == 9) return 7;
  return -1;
}

// One line in free form on standard output: a leading blank, the text and,
// as gfortran writes an integer after a character item, the value in 12
// columns.
void say(std::string_view text) { std::printf(" %.*s\n", static_cast<int>(text.size()), text.data()); }
void say(std::string_view text, int32_t value) {
  std::printf(" %.*s %11d\n", static_cast<int>(text.size()), text.data(), value);
}

class Listing {
 public:
  explicit Listing(std::FILE* f) : f_(f) {}
  void record(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), f_);
    std::fputc('\n', f_);
  }

 private:
  std::FILE* f_;
};

void station_line(Listing& out, int32_t i) {
  std::string s;
  fortran::put_i(s, 7, i + 1);
  s += "  ";
  s.append(STID[i], 10);
  s += "  ";
  s.append(PRVID[i], 10);
  s += "  ";
  s.append(CRPTTM[i], 9);
  fortran::put_f(s, 10, 2, SLAT[i]);
  fortran::put_f(s, 10, 2, SLON[i]);
  fortran::put_f(s, 10, 2, SELV[i]);
  out.record(s);
}

void data_block(Listing& out, int32_t i) {
  std::string s;
  out.record(s);
  s = "data for station #";
  fortran::put_i(s, 7, i + 1);
  out.record(s);
  s = "obs = ";
  for (int c = 0; c < NLIST; ++c) fortran::put_f(s, 10, 2, OBS[c][i]);
  out.record(s);
  s = "qcd = ";
  for (int c = 0; c < NLIST; ++c) {
    s += "  ";
    s += QCD[c][i];
  }
  out.record(s);
  s = "iqca = ";
  for (int c = 0; c < NLIST; ++c) fortran::put_i(s, 7, IQCA[c][i]);
  out.record(s);
  s = "iqcr = ";
  for (int c = 0; c < NLIST; ++c) fortran::put_i(s, 7, IQCR[c][i]);
  out.record(s);
}

int run() {
  std::FILE* f = std::fopen("run.out", "w");
  if (f == nullptr) {
    say("cannot open run.out");
    return 1;
  }
  static char iobuf[1 << 16];
  std::setvbuf(f, iobuf, _IOFBF, sizeof iobuf);
  Listing out(f);
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{f};

  int32_t ierfin = 0;
  MINIT("SFC", "ZEM", false, ierfin);
  if (ierfin != 0) {
    say("bad return from MINIT with ierfin = ", ierfin);
    return 0;
  }
  int32_t ierssp1 = 0;
  MSETSFCPVDR("ALL-SFC", false, ierssp1);
  if (ierssp1 != 0) {
    say("bad return from MSETSFCPVDR with ierssp1 = ", ierssp1);
    return 0;
  }
  int32_t ierssp2 = 0;
  MSETSFCPVDR("ALL-MESO", true, ierssp2);
  if (ierssp2 != 0) {
    say("bad return from MSETSFCPVDR with ierssp2 = ", ierssp2);
    return 0;
  }

  // (I4, I2, I2, 1X, I2, I2) from the start of the built-in file name.
  std::string_view bn(MESOBN, 13);
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
  fortran::read_i(bn.substr(0, 4), year);
  fortran::read_i(bn.substr(4, 2), month);
  fortran::read_i(bn.substr(6, 2), day);
  fortran::read_i(bn.substr(9, 2), hour);
  fortran::read_i(bn.substr(11, 2), minute);

  int32_t ierfct = 0;
  MCHRTIM(year, month, day, hour, minute, CSTRTM, ierfct);
  if (ierfct != 0) {
    say("bad return from MCHRTIM with ierfct = ", ierfct);
    return 0;
  }
  const std::string_view atime(CSTRTM, 9);

  int32_t nsta = 0, ierfst = 0;
  MSFCSTA(atime, nsta, &STID[0][0], ISTNM, SLAT, SLON, SELV, &CRPTTM[0][0], &PRVID[0][0], ierfst,
          ISRCN);
  if (ierfst != 0) {
    if (ierfst == MST_NO_DATA)
      say("contained no reports");
    else
      say("bad return from MSFCSTA with ierfst = ", ierfst);
    return 0;
  }
  if (nsta < 0 || nsta > CAP) {
    say("bad station count from MSFCSTA = ", nsta);
    return 0;
  }

  std::string s = "number of retrieved stations =";
  fortran::put_i(s, 7, nsta);
  out.record(s);
  out.record("            STID    PROVIDER     RPTTIM        LAT     LONG      ELEV");
  for (int32_t i = 0; i < nsta; ++i) station_line(out, i);

  for (int j = 0; j < NVAR; ++j) {
    int32_t nsta_v = 0, nobs_v = 0, ierfgs = 0;
    const int c = listed_column(j);
    char name[7];
    std::string_view vn(VCNAME[j]);
    for (int k = 0; k < 7; ++k) name[k] = k < static_cast<int>(vn.size()) ? vn[k] : ' ';
    if (c >= 0)
      MGETSFC(atime, {name, 7}, nsta_v, nobs_v, OBS[c], QCD[c], IQCA[c], IQCR[c], ierfgs);
    else
      MGETSFC(atime, {name, 7}, nsta_v, nobs_v, OBS_X, QCD_X, IQCA_X, IQCR_X, ierfgs);
    if (ierfgs != 0 && ierfgs != MST_NOT_IN_DATABASE && ierfgs != MST_NO_DATA) {
      say("bad return from MGETSFC with ierfgs = ", ierfgs);
      return 0;
    }
  }

  for (int32_t i = 0; i < nsta; ++i) data_block(out, i);
  return 0;
}

}  // namespace

int main() { return run(); }
