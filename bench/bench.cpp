// voran_bench: how long one hour takes, against the read floor and a Python
// peer.
//
//   voran_bench --static DIR --data DIR [--time YYYYMMDD_HHMM] [--reps N]
//               [--peer bench/peer.py] [--python /usr/bin/python3]
//               [--meso-only] [--dump FILE] [--label TEXT] [--tree LABEL]
//               [--no-pin] [--a-only] [--plain]
//
// (a) MSFCSTA and MGETSFC of the driver's 41 variables (every surface source
//     selected, or with --meso-only the driver's MESONET selection);
// (b) the read floor: every NetCDF variable (a) reads, read once each with
//     nc_get_var after nc_open, after nc__open with a 64 MiB buffer hint,
//     and from memory (the file's bytes read, then nc_open_mem);
// (c) the Python peer (bench/peer.py) on the MESONET file of the time;
// (d) MSFCSTA and MGETSFC of the five variables the peer returns, MESONET
//     providers only.
// First it says what it runs on: the processor, how many there are, which one
// it keeps to, and the NetCDF, HDF5, Python and NumPy versions (the last two
// as the peer's interpreter reports them). Then --reps rounds, each running
// (a) and the three ways of (b), then --reps rounds of (d) and (c). Every
// figure is processor time (user + system) of the process doing the work,
// because wall time on a shared machine measures the other load as much as
// the work; wall times are printed beside them. Each ratio is taken within a
// round and reported as the median, minimum and maximum over the rounds. The
// first run of (a), which also notes what it reads, is cold and not a round.
// (c) counts the peer from opening the file to its finished columns; its
// interpreter start and imports are reported apart. Last comes one line a
// script can read:
//   summary: tree=LABEL a_over_floor_mem=X a_over_floor_open=X
//            python_over_library=X peak_rss_mib=X
// (the medians of (a)/(b) from memory, (a)/(b) after nc_open and (c)/(d),
// and the peak resident memory of the first run of (a)). The peer's output
// is checked against (d) value by value. --dump writes the station list and
// all 41 variables of (a) (values, descriptors, masks) for comparing builds;
// --plain turns the library's memory images and kept values off, so that a
// dump with and one without them show that they change no result.
#include <dlfcn.h>
#include <sched.h>
#include <sys/utsname.h>
#include <fcntl.h>
#include <netcdf.h>
#include <netcdf_mem.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/filecache.h"
#include "voran.h"

extern char** environ;

// ---- which variables the library reads ----
// The library's reads through its file cache are noted by the cache's trace;
// its direct NetCDF reads pass through these definitions, which note the file
// and variable while tracing is on and then call NetCDF's own.
namespace {
bool TRACING = false;
std::set<std::pair<int, int>> TRACE;  // (ncid, varid)
void note_read(int ncid, int varid) { TRACE.insert({ncid, varid}); }

// NetCDF's own function of that name: each T (the buffer type) has its own.
template <class T>
int traced(const char* name, int ncid, int varid, const size_t* s, const size_t* c, T* ip) {
  using Fn = int (*)(int, int, const size_t*, const size_t*, T*);
  static Fn fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
  if (fn == nullptr) {
    std::fprintf(stderr, "voran_bench: %s not found\n", name);
    std::abort();
  }
  if (TRACING) TRACE.insert({ncid, varid});
  return fn(ncid, varid, s, c, ip);
}
}  // namespace

extern "C" {
int nc_get_vara(int ncid, int varid, const size_t* s, const size_t* c, void* ip) {
  return traced("nc_get_vara", ncid, varid, s, c, ip);
}
int nc_get_vara_text(int ncid, int varid, const size_t* s, const size_t* c, char* ip) {
  return traced("nc_get_vara_text", ncid, varid, s, c, ip);
}
int nc_get_vara_float(int ncid, int varid, const size_t* s, const size_t* c, float* ip) {
  return traced("nc_get_vara_float", ncid, varid, s, c, ip);
}
int nc_get_vara_double(int ncid, int varid, const size_t* s, const size_t* c, double* ip) {
  return traced("nc_get_vara_double", ncid, varid, s, c, ip);
}
}

namespace {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void die(const std::string& msg) {
  std::fprintf(stderr, "voran_bench: %s\n", msg.c_str());
  std::exit(1);
}

// Large arrays from fresh anonymous memory: pages never written are never
// resident, so the peak memory shows what the library touches.
template <class T>
T* big(std::size_t n) {
  void* p = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) die("out of memory");
  return static_cast<T*>(p);
}

constexpr int NVAR = 41;
const char* const VCNAME[NVAR] = {
    "TD",     "ALTSE",  "P",      "T",      "DD",     "FF",      "SOILM",   "SOILT",  "PCP1H",
    "PCP24H", "PCPUTCM", "PCPRATE", "DDGUST", "FFGUST", "RDT1",   "RDT2",    "RDT3",   "RDT4",
    "RDLFT1", "RDLFT2", "RDLFT3", "RDLFT4", "RDLIP1", "RDLIP2",  "RDLIP3",  "RDLIP4", "RDLDP1",
    "RDLDP2", "RDLDP3", "RDLDP4", "RDSTA1", "RDSTA2", "RDSTA3",  "RDSTA4",  "FSRD15M", "FSRD1H",
    "FSRD24H", "DSRD15M", "DSRD1H", "DSRD24H", "VIS"};
constexpr int NPEER = 5;
const char* const PEERNAME[NPEER] = {"T", "TD", "U", "V", "PCP1H"};

constexpr std::size_t MAXSTA = VORAN_MAX_STATIONS;

// Caller storage of one run: the station list and NVAR result columns.
struct Results {
  int32_t nsta = 0;
  char* stid = big<char>(MAXSTA * 10);
  int32_t* wmo = big<int32_t>(MAXSTA);
  float* lat = big<float>(MAXSTA);
  float* lon = big<float>(MAXSTA);
  float* elev = big<float>(MAXSTA);
  char* obtime = big<char>(MAXSTA * 9);
  char* prov = big<char>(MAXSTA * 10);
  int32_t* src = big<int32_t>(MAXSTA);
  float* obs[NVAR];
  char* qcd[NVAR];
  int32_t* qca[NVAR];
  int32_t* qcr[NVAR];
  int32_t status[NVAR];
  Results() {
    for (int j = 0; j < NVAR; ++j) {
      obs[j] = big<float>(MAXSTA);
      qcd[j] = big<char>(MAXSTA);
      qca[j] = big<int32_t>(MAXSTA);
      qcr[j] = big<int32_t>(MAXSTA);
    }
  }
};

struct Options {
  std::string stat, data, time = "20210825_2000", peer, python = "/usr/bin/python3", dump, label;
  std::string tree = "run";  // the summary's label: no blanks
  int reps = 3;
  bool pin = true;
  bool meso_only = false;
  bool a_only = false;  // (a) alone, for profiling
  bool plain = false;   // no memory images, no kept values: NetCDF reads everything
};

char ATIME[9];

void select_sources(bool meso_only) {
  int32_t st = 0;
  if (meso_only) {
    MSETSFCPVDR("ALL-SFC", false, st);
    if (st != 0) die("MSETSFCPVDR ALL-SFC: " + std::to_string(st));
    MSETSFCPVDR("ALL-MESO", true, st);
    if (st != 0) die("MSETSFCPVDR ALL-MESO: " + std::to_string(st));
  } else {
    MSETSFCPVDR("ALL-SFC", true, st);
    if (st != 0) die("MSETSFCPVDR ALL-SFC: " + std::to_string(st));
  }
}

// Seconds of processor time of this process.
double cpu_now() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Wall-clock and processor times of every run.
struct Series {
  std::vector<double> wall, cpu;
  template <class Fn>
  void run(Fn fn) {
    double w0 = now(), c0 = cpu_now();
    fn();
    cpu.push_back(cpu_now() - c0);
    wall.push_back(now() - w0);
  }
};

struct Spread {
  double min = 0, med = 0, max = 0;
};

Spread spread(std::vector<double> v) {
  Spread s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  s.min = v.front();
  s.max = v.back();
  s.med = n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
  return s;
}

// Element by element a[k] / b[k]: a ratio within each round.
std::vector<double> per_round(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> r;
  for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) r.push_back(a[k] / b[k]);
  return r;
}

bool DETAIL = false;  // print the time of each call

// One request: the station list and the named variables.
void request(Results& r, const char* const* names, int n) {
  int32_t st = 0;
  double t0 = now();
  MSFCSTA({ATIME, 9}, r.nsta, r.stid, r.wmo, r.lat, r.lon, r.elev, r.obtime, r.prov, st, r.src);
  if (st != 0) die("MSFCSTA status " + std::to_string(st));
  if (DETAIL) std::printf("  MSFCSTA %.3f s\n", now() - t0);
  for (int j = 0; j < n; ++j) {
    int32_t nsta = 0, nobs = 0;
    double t1 = now();
    MGETSFC({ATIME, 9}, names[j], nsta, nobs, r.obs[j], r.qcd[j], r.qca[j], r.qcr[j], r.status[j]);
    if (r.status[j] != 0 && r.status[j] != MST_NOT_IN_DATABASE && r.status[j] != MST_NO_DATA)
      die(std::string("MGETSFC ") + names[j] + " status " + std::to_string(r.status[j]));
    if (DETAIL) std::printf("  MGETSFC %-7s %.3f s\n", names[j], now() - t1);
  }
}

// ---- the read floor ----
struct FileVars {
  std::string path;
  std::vector<std::string> vars;
};

std::size_t var_bytes(int ncid, int varid) {
  nc_type t;
  int nd = 0;
  int dims[NC_MAX_VAR_DIMS];
  if (nc_inq_var(ncid, varid, nullptr, &t, &nd, dims, nullptr) != NC_NOERR) return 0;
  size_t es = 0;
  nc_inq_type(ncid, t, nullptr, &es);
  std::size_t n = es;
  for (int d = 0; d < nd; ++d) {
    size_t len = 0;
    nc_inq_dimlen(ncid, dims[d], &len);
    n *= len;
  }
  return n;
}

enum class Way { OPEN, BIGBUF, MEMORY };

void read_floor(const std::vector<FileVars>& files, Way way, std::vector<unsigned char>& buf,
                std::vector<unsigned char>& image, std::size_t& bytes_read) {
  bytes_read = 0;
  for (const FileVars& f : files) {
    int ncid = -1, rc = 0;
    if (way == Way::OPEN) {
      rc = nc_open(f.path.c_str(), NC_NOWRITE, &ncid);
    } else if (way == Way::BIGBUF) {
      // 64 MiB, or the file's size when it is smaller.
      struct stat st;
      size_t hint = 64u << 20;
      if (stat(f.path.c_str(), &st) == 0 && static_cast<size_t>(st.st_size) < hint)
        hint = std::max<size_t>(static_cast<size_t>(st.st_size), 8192);
      rc = nc__open(f.path.c_str(), NC_NOWRITE, &hint, &ncid);
    } else {
      int fd = ::open(f.path.c_str(), O_RDONLY);
      struct stat st;
      if (fd < 0 || fstat(fd, &st) != 0) die("cannot read " + f.path);
      image.resize(static_cast<std::size_t>(st.st_size));
      std::size_t got = 0;
      while (got < image.size()) {
        ssize_t k = ::read(fd, image.data() + got, image.size() - got);
        if (k <= 0) die("cannot read " + f.path);
        got += static_cast<std::size_t>(k);
      }
      ::close(fd);
      rc = nc_open_mem(f.path.c_str(), NC_NOWRITE, image.size(), image.data(), &ncid);
    }
    if (rc != NC_NOERR) die("open " + f.path + ": " + nc_strerror(rc));
    for (const std::string& v : f.vars) {
      int varid = -1;
      if (nc_inq_varid(ncid, v.c_str(), &varid) != NC_NOERR) die("no variable " + v);
      std::size_t n = var_bytes(ncid, varid);
      if (buf.size() < n) buf.resize(n);
      if (n > 0 && nc_get_var(ncid, varid, buf.data()) != NC_NOERR) die("read " + v);
      bytes_read += n;
    }
    nc_close(ncid);
  }
}

// The read floor runs in a child process forked once the files are known:
// what it leaves behind (NetCDF's and the allocator's state after opening a
// large file from memory) would otherwise slow the library's runs that
// follow it in the same process, and the library's state would be the
// floor's. The rounds still alternate, one command at a time.
struct FloorChild {
  pid_t pid = -1;
  int to = -1, from = -1;
};

FloorChild start_floor(const std::vector<FileVars>& files) {
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) die("pipe failed");
  std::fflush(stdout);
  FloorChild c;
  c.pid = fork();
  if (c.pid < 0) die("fork failed");
  if (c.pid == 0) {
    close(down[1]);
    close(up[0]);
    std::vector<unsigned char> buf, image;
    unsigned char way = 0;
    while (read(down[0], &way, 1) == 1) {
      Series b;
      std::size_t n = 0;
      b.run([&] { read_floor(files, static_cast<Way>(way), buf, image, n); });
      const double out[3] = {b.wall[0], b.cpu[0], static_cast<double>(n)};
      if (write(up[1], out, sizeof out) != static_cast<ssize_t>(sizeof out)) _exit(1);
    }
    _exit(0);
  }
  close(down[0]);
  close(up[1]);
  c.to = down[1];
  c.from = up[0];
  return c;
}

void floor_round(const FloorChild& c, int way, Series& times, std::size_t& bytes) {
  const auto w = static_cast<unsigned char>(way);
  double in[3];
  if (write(c.to, &w, 1) != 1 || read(c.from, in, sizeof in) != static_cast<ssize_t>(sizeof in))
    die("read floor failed");
  times.wall.push_back(in[0]);
  times.cpu.push_back(in[1]);
  bytes = static_cast<std::size_t>(in[2]);
}

void stop_floor(FloorChild& c) {
  close(c.to);
  close(c.from);
  int ws = 0;
  waitpid(c.pid, &ws, 0);
  if (!WIFEXITED(ws) || WEXITSTATUS(ws) != 0) die("read floor failed");
}

// ---- the Python peer ----
std::string mesonet_file(const Options& o) {
  return o.data + "/KORB/mesonet/netCDF/" + o.time;
}

// What one run of the peer reports of itself, and what its process cost.
struct PeerRun {
  double wall = -1, cpu = -1;                // opening the file to finished columns
  double import_wall = -1, import_cpu = -1;  // its imports
  double process_wall = -1, process_cpu = -1;  // the whole process, interpreter start included
  std::string versions;
};

void run_peer(const Options& o, const std::string& out, PeerRun& p) {
  std::string log = out + ".log";
  std::string srcin = o.stat + "/sfcsrcin.txt";
  std::string file = mesonet_file(o);
  const char* argv[] = {o.python.c_str(), o.peer.c_str(), file.c_str(), srcin.c_str(), out.c_str(),
                        nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const double w0 = now();
  int rc = posix_spawn(&pid, o.python.c_str(), &fa, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) die("cannot start " + o.python);
  int ws = 0;
  struct rusage ru;
  if (wait4(pid, &ws, 0, &ru) != pid || !WIFEXITED(ws) || WEXITSTATUS(ws) != 0) die("peer failed");
  p.process_wall = now() - w0;
  auto secs = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  p.process_cpu = secs(ru.ru_utime) + secs(ru.ru_stime);
  std::ifstream in(log);
  std::string key;
  while (in >> key) {
    if (key == "peer_seconds") in >> p.wall;
    else if (key == "peer_cpu_seconds") in >> p.cpu;
    else if (key == "import_seconds") in >> p.import_wall;
    else if (key == "import_cpu_seconds") in >> p.import_cpu;
    else if (key == "versions") std::getline(in >> std::ws, p.versions);
  }
  if (p.wall < 0 || p.cpu < 0 || p.import_wall < 0 || p.import_cpu < 0) die("peer printed no time");
}

// Compares the peer's output with (d); returns the number of disagreements.
long compare_peer(const std::string& out, const Results& d) {
  std::FILE* f = std::fopen(out.c_str(), "rb");
  if (f == nullptr) die("no peer output");
  int32_t n = 0;
  if (std::fread(&n, 4, 1, f) != 1 || n < 0) die("bad peer output");
  std::vector<char> ids(static_cast<std::size_t>(n) * 10);
  std::vector<float> col(static_cast<std::size_t>(n));
  if (std::fread(ids.data(), 1, ids.size(), f) != ids.size()) die("bad peer output");
  long bad = 0;
  if (n != d.nsta) {
    std::printf("  station count: peer %d, library %d\n", n, d.nsta);
    std::fclose(f);
    return 1;
  }
  long idbad = 0;
  for (int32_t i = 0; i < n; ++i)
    if (std::memcmp(ids.data() + 10 * i, d.stid + 10 * i, 10) != 0) ++idbad;
  std::printf("  station identifiers: %ld of %d differ\n", idbad, n);
  bad += idbad;
  for (int j = 0; j < NPEER; ++j) {
    if (std::fread(col.data(), 4, col.size(), f) != col.size()) die("bad peer output");
    long diff = 0, present = 0;
    int64_t maxulp = 0;
    int32_t first = -1;
    for (int32_t i = 0; i < n; ++i) {
      float a = col[static_cast<std::size_t>(i)], b = d.obs[j][i];
      if (b != VORAN_MISSING) ++present;
      if (std::memcmp(&a, &b, 4) == 0) continue;
      ++diff;
      if (first < 0) first = i;
      int32_t ia, ib;
      std::memcpy(&ia, &a, 4);
      std::memcpy(&ib, &b, 4);
      bool both = a != VORAN_MISSING && b != VORAN_MISSING && (ia < 0) == (ib < 0);
      maxulp = both ? std::max<int64_t>(maxulp, std::llabs(int64_t{ia} - ib)) : INT32_MAX;
    }
    std::printf("  %-6s %7ld values present, %ld differ", PEERNAME[j], present, diff);
    if (diff > 0) {
      std::printf(" (largest difference %s%lld units in the last place; first at station %d: "
                  "peer %.9g, library %.9g)",
                  maxulp == INT32_MAX ? "missing vs present, " : "",
                  static_cast<long long>(maxulp == INT32_MAX ? 0 : maxulp), first + 1,
                  col[static_cast<std::size_t>(first)], d.obs[j][first]);
    }
    std::printf("\n");
    bad += diff;
  }
  std::fclose(f);
  return bad;
}

void dump(const Options& o, const Results& r) {
  std::FILE* f = std::fopen(o.dump.c_str(), "wb");
  if (f == nullptr) die("cannot write " + o.dump);
  const std::size_t n = static_cast<std::size_t>(r.nsta);
  std::fwrite(&r.nsta, 4, 1, f);
  std::fwrite(r.stid, 10, n, f);
  std::fwrite(r.wmo, 4, n, f);
  std::fwrite(r.lat, 4, n, f);
  std::fwrite(r.lon, 4, n, f);
  std::fwrite(r.elev, 4, n, f);
  std::fwrite(r.obtime, 9, n, f);
  std::fwrite(r.prov, 10, n, f);
  std::fwrite(r.src, 4, n, f);
  for (int j = 0; j < NVAR; ++j) {
    std::fwrite(&r.status[j], 4, 1, f);
    std::fwrite(r.obs[j], 4, n, f);
    std::fwrite(r.qcd[j], 1, n, f);
    std::fwrite(r.qca[j], 4, n, f);
    std::fwrite(r.qcr[j], 4, n, f);
  }
  std::fclose(f);
}

long peak_rss_kib() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto val = [&]() -> std::string {
      if (i + 1 >= argc) die("missing value after " + a);
      return argv[++i];
    };
    if (a == "--static") o.stat = val();
    else if (a == "--data") o.data = val();
    else if (a == "--time") o.time = val();
    else if (a == "--reps") o.reps = std::max(1, std::atoi(val().c_str()));
    else if (a == "--peer") o.peer = val();
    else if (a == "--python") o.python = val();
    else if (a == "--dump") o.dump = val();
    else if (a == "--label") o.label = val();
    else if (a == "--tree") o.tree = val();
    else if (a == "--no-pin") o.pin = false;
    else if (a == "--meso-only") o.meso_only = true;
    else if (a == "--a-only") o.a_only = true;
    else if (a == "--plain") o.plain = true;
    else die("unknown argument " + a);
  }
  if (o.stat.empty() || o.data.empty()) die("--static and --data are required");
  if (o.time.size() != 13) die("--time is YYYYMMDD_HHMM");
  if (o.tree.empty() || o.tree.find_first_of(" \t\n=") != std::string::npos)
    die("--tree is one word without '='");
  return o;
}

// The first line of /proc/FILE that starts with KEY, after its colon.
std::string proc_field(const char* file, const char* key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::size_t c = line.find(':');
    if (c == std::string::npos) break;
    std::size_t b = line.find_first_not_of(" \t", c + 1);
    return b == std::string::npos ? std::string() : line.substr(b);
  }
  return "unknown";
}

// HDF5 is already loaded as NetCDF's own dependency; ask it for its version
// without linking to it.
std::string hdf5_version() {
  using Fn = int (*)(unsigned*, unsigned*, unsigned*);
  auto fn = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, "H5get_libversion"));
  unsigned ma = 0, mi = 0, re = 0;
  if (fn == nullptr || fn(&ma, &mi, &re) < 0) return "unknown";
  return std::to_string(ma) + "." + std::to_string(mi) + "." + std::to_string(re);
}

void print_machine(int pinned) {
  struct utsname u;
  const bool have_u = uname(&u) == 0;
  std::string load = "unknown";
  {
    std::ifstream in("/proc/loadavg");
    double l1 = 0;
    if (in >> l1) load = std::to_string(l1).substr(0, 4);
  }
  std::printf("machine: %s; %ld processors online; %s; AVX2 %s; Linux %s; load average %s\n",
              proc_field("/proc/cpuinfo", "model name").c_str(), sysconf(_SC_NPROCESSORS_ONLN),
              pinned >= 0 ? ("every process kept on processor " + std::to_string(pinned)).c_str()
                          : "processes not pinned",
              __builtin_cpu_supports("avx2") ? "yes" : "no", have_u ? u.release : "unknown",
              load.c_str());
  std::string nc = nc_inq_libvers();
  std::printf("libraries: NetCDF %s; HDF5 %s\n", nc.substr(0, nc.find(' ')).c_str(),
              hdf5_version().c_str());
}

void print_row(const char* name, const Series& s) {
  Spread c = spread(s.cpu), w = spread(s.wall);
  std::printf("%-32s %8.4f %8.4f %8.4f   %8.4f\n", name, c.med, c.min, c.max, w.med);
}

void print_ratio(const char* name, const std::vector<double>& r) {
  Spread s = spread(r);
  std::printf("%-32s %8.2f %8.2f %8.2f\n", name, s.med, s.min, s.max);
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse(argc, argv);
  // Everything runs on the processor the benchmark starts on (the floor's
  // child and the peer inherit it): moved between processors, a run loses
  // its caches at random and the times spread by half.
  int pinned = -1;
  if (o.pin) {
    const int cpu = sched_getcpu();
    cpu_set_t set;
    CPU_ZERO(&set);
    if (cpu >= 0) CPU_SET(cpu, &set);
    if (cpu >= 0 && sched_setaffinity(0, sizeof set, &set) == 0) pinned = cpu;
  }
  if (o.plain) voran::fc_set_limits(0, 0);
  setenv("VORAN_STATIC", o.stat.c_str(), 1);
  setenv("VORAN_DATA", o.data.c_str(), 1);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  if (st != 0) die("MINIT status " + std::to_string(st));
  const std::string& tm = o.time;
  MCHRTIM(std::atoi(tm.substr(0, 4).c_str()), std::atoi(tm.substr(4, 2).c_str()),
          std::atoi(tm.substr(6, 2).c_str()), std::atoi(tm.substr(9, 2).c_str()),
          std::atoi(tm.substr(11, 2).c_str()), ATIME, st);
  if (st != 0) die("MCHRTIM status " + std::to_string(st));
  std::printf("== %s: data %s, time %s, %d rounds ==\n",
              o.label.empty() ? o.tree.c_str() : o.label.c_str(), o.data.c_str(), tm.c_str(), o.reps);
  print_machine(pinned);

  // (a), first in the process so that the peak memory is its own. This run
  // also notes which variables of which files the library reads.
  select_sources(o.meso_only);
  Results ra;
  Series first, ba;
  TRACING = true;
  voran::fc_set_trace(note_read);
  first.run([&] { request(ra, VCNAME, NVAR); });
  voran::fc_set_trace(nullptr);
  TRACING = false;
  long rss_a = peak_rss_kib();
  // The files of the last request are still open: name what was read.
  std::map<std::string, std::set<std::string>> byfile;
  for (auto [ncid, varid] : TRACE) {
    size_t len = 0;
    char name[NC_MAX_NAME + 1];
    if (nc_inq_path(ncid, &len, nullptr) != NC_NOERR || nc_inq_varname(ncid, varid, name) != NC_NOERR)
      continue;
    std::string path(len, '\0');
    nc_inq_path(ncid, &len, path.data());
    byfile[path].insert(name);
  }
  std::vector<FileVars> files;
  std::size_t nvars = 0;
  for (auto& [path, vars] : byfile) {
    files.push_back({path, {vars.begin(), vars.end()}});
    nvars += vars.size();
  }
  if (!o.dump.empty()) dump(o, ra);

  // (a) and the three ways of (b) in rounds, so that every one of them sees
  // the same load of a shared machine; (b) in its own process.
  const char* wayname[3] = {"nc_open", "nc__open 64 MiB", "from memory"};
  Series bb[3];
  std::size_t bytes = 0;
  FloorChild floor;
  if (!o.a_only) floor = start_floor(files);
  for (int k = 0; k < o.reps; ++k) {
    DETAIL = o.a_only && k == o.reps - 1;
    ba.run([&] { request(ra, VCNAME, NVAR); });
    DETAIL = false;
    if (o.a_only) continue;
    for (int w = 0; w < 3; ++w) floor_round(floor, w, bb[w], bytes);
  }
  if (!o.a_only) stop_floor(floor);
  voran::FcStats fs = voran::fc_stats();
  std::size_t filebytes = 0;
  for (const FileVars& f : files) {
    struct stat s;
    if (stat(f.path.c_str(), &s) == 0) filebytes += static_cast<std::size_t>(s.st_size);
  }

  std::printf("stations %d; %zu files (%.1f MB), %zu variables read (%.1f MB of values)\n", ra.nsta,
              files.size(), filebytes / 1e6, nvars, bytes / 1e6);
  std::printf("times: processor seconds (user + system) of the process doing the work, median,\n"
              "minimum and maximum over the rounds, and the median wall seconds\n");
  std::printf("%-32s %8s %8s %8s   %8s\n", "", "cpu med", "min", "max", "wall med");
  print_row("(a) MSFCSTA + MGETSFC x41", ba);
  std::printf("    first run, cold and tracing: %.4f s cpu, %.4f s wall\n", first.cpu[0],
              first.wall[0]);
  char row[64];
  if (!o.a_only) {
    for (int w = 0; w < 3; ++w) {
      std::snprintf(row, sizeof row, "(b) read floor, %s", wayname[w]);
      print_row(row, bb[w]);
    }
  }
  std::printf("    library, all runs: %lld files opened from memory images (%lld with their layout "
              "read), %lld from disk;\n    reads: %lld through NetCDF, %lld gathered from images, "
              "%lld served from kept values\n",
              static_cast<long long>(fs.images), static_cast<long long>(fs.layouts),
              static_cast<long long>(fs.direct_opens), static_cast<long long>(fs.reads),
              static_cast<long long>(fs.image_reads), static_cast<long long>(fs.hits));
  std::printf("peak resident memory of (a) (first run): %.1f MiB\n", rss_a / 1024.0);
  if (o.a_only) return 0;

  std::vector<double> a_mem = per_round(ba.cpu, bb[2].cpu), a_open = per_round(ba.cpu, bb[0].cpu);
  std::printf("ratios of processor times within a round  median      min      max\n");
  for (int w = 0; w < 3; ++w) {
    std::snprintf(row, sizeof row, "(a)/(b) %s", wayname[w]);
    print_ratio(row, per_round(ba.cpu, bb[w].cpu));
  }

  // (d) and (c), alternating in rounds as (a) and (b) do.
  std::string python_over_library = "-";
  if (!o.peer.empty()) {
    select_sources(true);
    Results rd;
    Series bd, bc, imports, process;
    std::string versions;
    std::string out = "/tmp/voran_bench_peer." + std::to_string(getpid());
    for (int k = 0; k < o.reps; ++k) {
      bd.run([&] { request(rd, PEERNAME, NPEER); });
      PeerRun p;
      run_peer(o, out, p);
      bc.wall.push_back(p.wall);
      bc.cpu.push_back(p.cpu);
      imports.wall.push_back(p.import_wall);
      imports.cpu.push_back(p.import_cpu);
      process.wall.push_back(p.process_wall);
      process.cpu.push_back(p.process_cpu);
      versions = p.versions;
    }
    std::printf("peer: %s, %s\n", o.python.c_str(), versions.c_str());
    std::printf("%-32s %8s %8s %8s   %8s\n", "", "cpu med", "min", "max", "wall med");
    print_row("(d) MSFCSTA + MGETSFC x5", bd);
    std::printf("    (MESONET, %d stations)\n", rd.nsta);
    print_row("(c) Python peer, open to columns", bc);
    print_row("    its imports", imports);
    print_row("    its whole process", process);
    std::vector<double> cd = per_round(bc.cpu, bd.cpu);
    print_ratio("(c)/(d)", cd);
    print_ratio("(c)/(d) by wall time", per_round(bc.wall, bd.wall));
    print_ratio("(c) whole process/(d)", per_round(process.cpu, bd.cpu));
    std::printf("(c)/(d) of the best wall times, as this benchmark once reported: %.2f\n",
                spread(bc.wall).min / spread(bd.wall).min);
    char x[32];
    std::snprintf(x, sizeof x, "%.2f", spread(cd).med);
    python_over_library = x;
    long bad = compare_peer(out, rd);
    std::printf("(c) and (d) %s\n", bad == 0 ? "agree on every value" : "DISAGREE");
    std::remove(out.c_str());
    std::remove((out + ".log").c_str());
  }
  std::printf("summary: tree=%s a_over_floor_mem=%.2f a_over_floor_open=%.2f "
              "python_over_library=%s peak_rss_mib=%.1f\n",
              o.tree.c_str(), spread(a_mem).med, spread(a_open).med, python_over_library.c_str(),
              rss_a / 1024.0);
  return 0;
}
