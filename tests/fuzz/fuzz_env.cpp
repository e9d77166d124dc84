#include "fuzz_env.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/core.h"
#include "tables/tables.h"

namespace fs = std::filesystem;

namespace fuzzenv {

namespace {
std::string g_root, g_static, g_data;

constexpr const char* SUBDIRS[10] = {
    "/point/metar/netcdf/", "/point/maritime/netcdf/", "/point/sao/netcdf/",
    "/KORB/mesonet/netCDF/", "/KORB/coop/netCDF/", "/KORB/urbanet/netCDF/",
    "/KORB/hfmetar/netCDF/", "/KORB/nepp/netCDF/", "/KORB/hcn/netCDF/",
    "/KORB/crn/netCDF/"};

// Guard pattern written after the entries a call may fill.
constexpr int GUARD = 64;
constexpr float FGUARD = -7.25e30f;
constexpr int32_t IGUARD = -0x5a5a5a5b;
constexpr char CGUARD = '\x7f';
constexpr std::size_t NMAX = static_cast<std::size_t>(VORAN_MAX_STATIONS);
constexpr std::size_t NVAL = NMAX * 6;  // the largest NLEV

// The caller's arrays, sized exactly as the interface documents so that a
// write past their end is caught by AddressSanitizer.
struct Arrays {
  std::vector<char> stid = std::vector<char>(NMAX * 10, CGUARD);
  std::vector<int32_t> wmoid = std::vector<int32_t>(NMAX, IGUARD);
  std::vector<float> lat = std::vector<float>(NMAX, FGUARD);
  std::vector<float> lon = std::vector<float>(NMAX, FGUARD);
  std::vector<float> elev = std::vector<float>(NMAX, FGUARD);
  std::vector<char> obstime = std::vector<char>(NMAX * 9, CGUARD);
  std::vector<char> prov = std::vector<char>(NMAX * 10, CGUARD);
  std::vector<int32_t> source = std::vector<int32_t>(NMAX, IGUARD);
  std::vector<float> obs = std::vector<float>(NVAL, FGUARD);
  std::vector<char> qcd = std::vector<char>(NVAL, CGUARD);
  std::vector<int32_t> qca = std::vector<int32_t>(NVAL, IGUARD);
  std::vector<int32_t> qcr = std::vector<int32_t>(NVAL, IGUARD);
};
Arrays* A = nullptr;

// Checks that entries [from, from + GUARD) still hold the guard (w elements
// per entry), then resets [0, from + GUARD) to the guard for the next call.
template <typename T>
void guard_check(std::vector<T>& v, std::size_t from, std::size_t w, T g, const char* what) {
  const std::size_t a = std::min(v.size(), from * w);
  const std::size_t b = std::min(v.size(), (from + GUARD) * w);
  for (std::size_t i = a; i < b; ++i)
    if (std::memcmp(&v[i], &g, sizeof(T)) != 0) fail(what, static_cast<long>(from), static_cast<long>(i));
  std::fill(v.begin(), v.begin() + static_cast<long>(b), g);
}

int nlev(int v) {
  if (v == 40 || v == 41) return 2;
  if (v == 44) return 6;
  return 1;
}
}  // namespace

const char* const VARNAMES[41] = {
    "TD",      "ALTSE",   "P",       "T",      "DD",     "FF",      "SOILM",   "SOILT",
    "PCP1H",   "PCP24H",  "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",    "RDT2",
    "RDT3",    "RDT4",    "RDLFT1",  "RDLFT2", "RDLFT3", "RDLFT4",  "RDLIP1",  "RDLIP2",
    "RDLIP3",  "RDLIP4",  "RDLDP1",  "RDLDP2", "RDLDP3", "RDLDP4",  "RDSTA1",  "RDSTA2",
    "RDSTA3",  "RDSTA4",  "FSRD15M", "FSRD1H", "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H",
    "VIS"};

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool spit(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string setup_dirs() {
  if (!g_root.empty()) return g_root;
  std::string base = (fs::temp_directory_path() / "voran_fuzz_XXXXXX").string();
  check(mkdtemp(base.data()) != nullptr, "mkdtemp");
  g_root = base;
  g_static = g_root + "/static";
  g_data = g_root + "/data";
  const char* src = std::getenv("VORAN_FUZZ_STATIC");
  fs::copy(src != nullptr ? src : VORAN_STATIC_BUILD, g_static, fs::copy_options::recursive);
  for (const char* d : SUBDIRS) fs::create_directories(g_data + d);
  setenv("VORAN_STATIC", g_static.c_str(), 1);
  setenv("VORAN_DATA", g_data.c_str(), 1);
  unsetenv("VORAN_SERVER");
  // The scratch tree goes when the process ends normally.
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_root, ec);
  });
  return g_root;
}

std::string static_copy() { return g_static; }
std::string data_dir() { return g_data; }
const char* source_subdir(int k) { return SUBDIRS[k - 1]; }
std::string data_file(int k) { return g_data + SUBDIRS[k - 1] + SAMPLE_STEM; }

void init_surface() {
  setup_dirs();
  int32_t st = -1;
  MINIT("SFC", "ZEM", false, st);
  check(st == 0, "MINIT of the installed tables", st);
  if (A == nullptr) A = new Arrays;
}

void run_cycle() {
  Arrays& a = *A;
  int32_t nsta = -1, st = -1;
  MSFCSTA(SAMPLE_TIME, nsta, a.stid.data(), a.wmoid.data(), a.lat.data(), a.lon.data(),
          a.elev.data(), a.obstime.data(), a.prov.data(), st, a.source.data());
  check(one_of(st, {MST_OK, MST_TOO_MANY_RECORDS, MST_NO_DATA, MST_NETCDF, MST_ARRAY_SIZE}),
        "MSFCSTA status", st);
  static const bool verbose = std::getenv("VORAN_FUZZ_VERBOSE") != nullptr;
  // Lets a run look past NaN values read from a file while that is open.
  static const bool allow_nan = std::getenv("VORAN_FUZZ_ALLOW_NAN") != nullptr;
  if (verbose) std::fprintf(stderr, "MSFCSTA %d stations %d\n", st, nsta);
  std::size_t n = 0;
  if (st == MST_OK) {
    check(nsta >= 1 && nsta <= VORAN_MAX_STATIONS && nsta == SFCSTRN.STATION_COUNT,
          "MSFCSTA count", nsta, SFCSTRN.STATION_COUNT);
    n = static_cast<std::size_t>(nsta);
    for (std::size_t k = 0; k < n; ++k) {
      const int32_t f = SFCSTRN.STA_FILE[k], r = SFCSTRN.STA_REC[k];
      check(f >= 1 && f <= SFCSTRN.FILE_COUNT && f <= voran::NFSLOTS, "station file slot", f);
      check(SFCSTRN.FILE_NCID[f - 1] >= 0, "station of a closed file", f);
      check(r >= 1 && r <= SFCSTRN.FILE_NREC[f - 1], "station record", r,
            SFCSTRN.FILE_NREC[f - 1]);
      check(a.source[k] == SFCSTRN.FILE_DSET[f - 1] && a.source[k] >= 1 && a.source[k] <= 10,
            "station source", a.source[k]);
      int32_t t, ts = -1;
      M_MKI4TM({&a.obstime[k * 9], 9}, t, ts);
      // A time the nine-character form cannot name (before 1980) is blank.
      check(ts == 0 || std::string_view(&a.obstime[k * 9], 9) == "         ",
            "station time string", static_cast<long>(k));
      check(std::isfinite(a.lat[k]) && std::isfinite(a.lon[k]) && std::isfinite(a.elev[k]),
            "station position not finite", static_cast<long>(k));
    }
  } else {
    check(SFCSTRN.STATION_COUNT == 0 || st != MST_NO_DATA, "no data with a list");
  }
  guard_check(a.stid, n, 10, CGUARD, "stid written past the list");
  guard_check(a.wmoid, n, 1, IGUARD, "wmoid written past the list");
  guard_check(a.lat, n, 1, FGUARD, "lat written past the list");
  guard_check(a.lon, n, 1, FGUARD, "lon written past the list");
  guard_check(a.elev, n, 1, FGUARD, "elev written past the list");
  guard_check(a.obstime, n, 9, CGUARD, "obstime written past the list");
  guard_check(a.prov, n, 10, CGUARD, "provider written past the list");
  guard_check(a.source, n, 1, IGUARD, "source written past the list");

  for (const char* name : VARNAMES) {
    int32_t ns = -1, nobs = -1, gs = -1;
    MGETSFC(SAMPLE_TIME, name, ns, nobs, a.obs.data(), a.qcd.data(), a.qca.data(), a.qcr.data(),
            gs);
    int32_t code = 0, vs = -1;
    char type = ' ';
    MGETVCN(name, code, &type, vs);
    const std::size_t lev = static_cast<std::size_t>(nlev(code));
    if (verbose) std::fprintf(stderr, "  %-8s %d nobs %d\n", name, gs, nobs);
    check(one_of(gs, {MST_OK, MST_NOT_IN_DATABASE, MST_NO_DATA, MST_NETCDF, MST_ARRAY_SIZE,
                      MST_BAD_TABLE, MST_BAD_VARNAME, MST_TIME_NOT_SET}),
          "MGETSFC status", gs);
    check((gs == MST_TIME_NOT_SET) == (st != MST_OK), "MGETSFC time check", st, gs);
    if (st != MST_OK) check(gs != MST_OK, "MGETSFC success without a list", gs);
    std::size_t m = 0;
    if (gs == MST_OK) {
      check(ns == nsta && nobs >= 1 && static_cast<std::size_t>(nobs) <= n * lev,
            "MGETSFC counts", ns, nobs);
      m = n * lev;
      for (std::size_t i = 0; i < m; ++i) {
        // Descriptors are the file's own characters and pass as they are.
        if (!allow_nan) check(!std::isnan(a.obs[i]), "NaN delivered", code, static_cast<long>(i));
      }
    } else {
      check(ns == 0 && nobs == 0, "failed MGETSFC counts", ns, nobs);
    }
    // A failure may leave the arrays partly filled (never past the list).
    const std::size_t lim = n * lev;
    guard_check(a.obs, lim, 1, FGUARD, "obs written past the list");
    guard_check(a.qcd, lim, 1, CGUARD, "qcd written past the list");
    guard_check(a.qca, lim, 1, IGUARD, "qca written past the list");
    guard_check(a.qcr, lim, 1, IGUARD, "qcr written past the list");
  }
}

}  // namespace fuzzenv
