// MINIT: reads the environment that locates the static tables and the data,
// chooses the database flavour and initialises one dataset.
#include <netcdf.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/core.h"
#include "core/pathbuf.h"
#include "tables/tables.h"

using voran::INIT_MARK;
using voran::lead;
using voran::PATHLEN;
using voran::TextBuf;

namespace {

// Environment values of one MINIT call. They are checked here and stored
// into the library state only when the call is accepted, so a refused call
// leaves the datasets initialised earlier as they were.
struct Env {
  char STATIC_DIR[PATHLEN];
  char DATA_DIR[PATHLEN];
  int32_t DATA_LEN;
  char FILE_SUFFIX[11];
  char SERVER_ACTIVE[PATHLEN];
  char PID[6];
  char SERVER_ROOT[PATHLEN];
  int32_t ROOT_LEN;
};

void getenv_field(const char* name, char* field) {
  const char* v = std::getenv(name);
  voran::fset(field, PATHLEN, v != nullptr ? v : "");
}

bool contains(std::string_view s, std::string_view word) {
  return s.find(word) != std::string_view::npos;
}

// The leading n characters of a blank-padded field equal word.
bool leading_is(std::string_view field, std::size_t n, std::string_view word) {
  return voran::feq(lead(field, static_cast<long>(n)), word);
}

// Six-character process tag: the pid right-justified, "M" in front of the
// last five digits of a larger pid, blanks made zeros.
void make_pid(char* tag) {
  const long p = static_cast<long>(::getpid());
  long q = p <= 99999 ? p : p % 100000;
  for (int i = 5; i >= 0; --i, q /= 10) tag[i] = static_cast<char>('0' + q % 10);
  if (p > 99999) tag[0] = 'M';
}

void fail(int32_t& status, int32_t code, std::string_view msg) {
  status = code;
  MERROR(msg);
}

// Check the environment into env. Returns false with the status set.
bool read_environment(Env& env, int32_t& status) {
  getenv_field("VORAN_STATIC", env.STATIC_DIR);
  int32_t l = M_LSTCHR({env.STATIC_DIR, PATHLEN}, PATHLEN);
  if (l == 0) {
    fail(status, MST_NO_STATIC, "MINIT: VORAN_STATIC ENVIRONMENT VARIABLE NOT DEFINED");
    return false;
  }
  if (l > 238) {
    fail(status, MST_STATIC_TOO_LONG, "MINIT: VORAN_STATIC DIRECTORY PATH TOO LONG");
    return false;
  }
  getenv_field("VORAN_DATA", env.DATA_DIR);
  env.DATA_LEN = M_LSTCHR({env.DATA_DIR, PATHLEN}, PATHLEN);
  if (env.DATA_LEN == 0) {
    fail(status, MST_NO_DATA_DIR, "MINIT: VORAN_DATA ENVIRONMENT VARIABLE NOT DEFINED");
    return false;
  }
  if (env.DATA_LEN > 227) {
    fail(status, MST_DATA_DIR_TOO_LONG, "MINIT: VORAN_DATA DIRECTORY PATH TOO LONG");
    return false;
  }

  const std::string_view data = lead(env.DATA_DIR, env.DATA_LEN);
  if (contains(data, "http://") || contains(data, "HTTP://") || contains(data, "https://") ||
      contains(data, "HTTPS://")) {
    voran::fset(env.FILE_SUFFIX, 11, ".gz");
    return true;
  }
  voran::fset(env.FILE_SUFFIX, 11, "");

  getenv_field("VORAN_SERVER", env.SERVER_ACTIVE);
  const int32_t sl = M_LSTCHR({env.SERVER_ACTIVE, PATHLEN}, PATHLEN);
  if (sl >= 6 && contains(lead(env.SERVER_ACTIVE, sl), "ACTIVE")) {
    make_pid(env.PID);
    std::memcpy(env.FILE_SUFFIX, ".tmp.", 5);
    std::memcpy(env.FILE_SUFFIX + 5, env.PID, 6);
    getenv_field("VORAN_SERVER_ROOT", env.SERVER_ROOT);
    env.ROOT_LEN = M_LSTCHR({env.SERVER_ROOT, PATHLEN}, PATHLEN);
    if (env.ROOT_LEN == 0) {
      fail(status, MST_NO_SERVER_ROOT,
           "MINIT: VORAN_SERVER_ROOT ENVIRONMENT VARIABLE NOT DEFINED");
      return false;
    }
    if (env.ROOT_LEN > 227) {
      fail(status, MST_SERVER_ROOT_TOO_LONG, "MINIT: VORAN_SERVER_ROOT DIRECTORY PATH TOO LONG");
      return false;
    }
  }
  return true;
}

void commit_environment(const Env& env) {
  auto& c1 = VORANCOM1;
  std::memcpy(c1.STATIC_DIR, env.STATIC_DIR, PATHLEN);
  std::memcpy(c1.DATA_DIR, env.DATA_DIR, PATHLEN);
  VORANCOM2.DATA_LEN = env.DATA_LEN;
  std::memcpy(c1.FILE_SUFFIX, env.FILE_SUFFIX, 11);
  std::memcpy(c1.SERVER_ACTIVE, env.SERVER_ACTIVE, PATHLEN);
  std::memcpy(c1.PID, env.PID, 6);
  std::memcpy(c1.SERVER_ROOT, env.SERVER_ROOT, PATHLEN);
  VORANCOM2.ROOT_LEN = env.ROOT_LEN;
}

// Paths of the static directory and of a family's data-directory template.
void static_path(TextBuf& p, std::string_view name) {
  p.clear();
  p.add(lead(VORANCOM1.STATIC_DIR, M_LSTCHR({VORANCOM1.STATIC_DIR, PATHLEN}, PATHLEN)))
      .add(name);
}
void data_template(TextBuf& p, std::string_view subdir) {
  p.clear();
  p.add(lead(VORANCOM1.DATA_DIR, VORANCOM2.DATA_LEN)).add(subdir).add("template");
}

void read_timing(const TextBuf& tpl, int32_t& endoff, int32_t& period, int32_t& status) {
  MTMRNG(tpl.view(), static_cast<int32_t>(tpl.view().size()), endoff, period, status);
}

void store_dir(char* dir, int32_t& len, std::string_view subdir) {
  voran::fset(dir, PATHLEN, subdir);
  len = static_cast<int32_t>(subdir.size());
}

// ---- surface dataset ----

struct SfcSource {
  const char* subdir;
  const char* tpl;
  int avail;  // index into SRC_AVAIL of an optional source, -1 for a required one
};
constexpr SfcSource SFC_SOURCES[voran::NSRC] = {
    {"/point/metar/netcdf/", "/metar.template", -1},
    {"/point/maritime/netcdf/", "/maritime.template", -1},
    {"/point/sao/netcdf/", "/sao.template", 0},
    {"/KORB/mesonet/netCDF/", "/mesonet.template", -1},
    {"/KORB/coop/netCDF/", "/coop.template", 1},
    {"/KORB/urbanet/netCDF/", "/urbanet.template", 2},
    {"/KORB/hfmetar/netCDF/", "/hfmetar.template", 3},
    {"/KORB/nepp/netCDF/", "/nepp.template", 4},
    {"/KORB/hcn/netCDF/", "/hcn.template", 5},
    {"/KORB/crn/netCDF/", "/crn.template", 6},
};

void init_surface(std::string_view database, int32_t& status) {
  auto& c2 = VORANCOM2;
  c2.TESKA2_FLAG = leading_is(database, 6, "TESKA2");
  if (c2.DSINIT[0] == INIT_MARK) MSFCCLS();

  TextBuf tbl, sta, src, topo;
  static_path(tbl, "/sfctbl.txt");
  static_path(sta, "/stadic.txt");
  static_path(src, "/sfcsrcin.txt");
  static_path(topo, "/topomini.txt");
  MSFCINIT(tbl.view(), sta.view(), src.view(), topo.view(), status);
  if (status != 0) return;
  static_path(tbl, "/sfcvcn.txt");
  MRDVCODE(0, tbl.view(), status);
  if (status != 0) return;

  for (int k = 0; k < voran::NSRC; ++k) {
    std::string_view subdir = SFC_SOURCES[k].subdir;
    if (k == 3 && MCOM2.DBNUM == 2 && !c2.TESKA2_FLAG) subdir = "/KORB/mesonet/qc/";
    store_dir(SFCSTRC.DSET_DIR[k], SFCSTRN.DSET_DIRLEN[k], subdir);
  }

  TextBuf tpl;
  if (MCOM2.DBNUM == 2) {
    for (int k = 0; k < voran::NSRC; ++k) {
      const int avail = SFC_SOURCES[k].avail;
      const bool msg = MCOM2.MSGFLAG;
      if (avail >= 0) MCOM2.MSGFLAG = false;
      if (c2.TESKA2_FLAG) {
        data_template(tpl, {SFCSTRC.DSET_DIR[k], static_cast<size_t>(SFCSTRN.DSET_DIRLEN[k])});
      } else {
        static_path(tpl, "/mesonet.template");
      }
      read_timing(tpl, c2.FILE_ENDOFF[k], c2.FILE_PERIOD[k], status);
      if (avail < 0) {
        if (status != 0) return;
        continue;
      }
      MCOM2.MSGFLAG = msg;
      c2.SRC_AVAIL[avail] = status == 0;
      if (status != 0) c2.SRC_SELECT[k] = false;
      status = 0;
    }
  } else {
    for (int a = 0; a < 7; ++a) c2.SRC_AVAIL[a] = true;
    for (int k = 0; k < voran::NSRC; ++k) {
      static_path(tpl, SFC_SOURCES[k].tpl);
      read_timing(tpl, c2.FILE_ENDOFF[k], c2.FILE_PERIOD[k], status);
      if (status != 0) return;
    }
  }
  SFCSTRN.FILE_COUNT = 0;
  MCOM2.CURDSET = 0;
  c2.DSBASE[0] = MCOM2.DBNUM;
}

// ---- every other dataset ----

struct OtherSet {
  const char* name;
  int nlen;          // leading characters compared
  int32_t num;       // dataset number
  const char* table;
  const char* table_db2;  // variable table under database 2 when it differs
  const char* codes;
  const char* subdir;
  const char* tpl;
  void (*close)(int32_t num);
  void (*init)(int32_t num, std::string_view table, int32_t& status);
  int32_t* endoff;
  int32_t* period;
  char* dir;
  int32_t* dirlen;
  int32_t* count;
  float xmiss1, xmiss2;   // sentinels of this dataset, 0 = the default
  int32_t* zero_word;     // a counter of the dataset zeroed on success
  bool* enable;           // an enabling flag set on success
};

void ua_close(int32_t k) { MUAPTCLS(k); }
void ua_init(int32_t k, std::string_view t, int32_t& s) { MUAPTINIT(k, t, s); }

#define UA(NAME, N, K, TBL, TBL2, VCN, SUB, TPL, X1, X2, ZW)                                 \
  {NAME, N, K, TBL, TBL2, VCN, SUB, TPL, ua_close, ua_init, &VORANCOM2.UA_ENDOFF[K - 1],   \
   &VORANCOM2.UA_PERIOD[K - 1], UAPTSTR.DIR[K - 1], &UAPTSTR.DIRLEN[K - 1],               \
   &UAPTSTR.COUNT[K - 1], X1, X2, ZW, nullptr}
#define OTHER(NAME, N, K, TBL, VCN, SUB, TPL, CLS, INI, T, BLK, EN)                        \
  {NAME, N, K, TBL, nullptr, VCN, SUB, TPL, [](int32_t) { CLS(); },                        \
   [](int32_t, std::string_view t, int32_t& s) { INI(t, s); }, &VORANCOM2.OTHER_ENDOFF[T], \
   &VORANCOM2.OTHER_PERIOD[T], BLK.DIR[0], &BLK.DIRLEN[0], &BLK.COUNT, 0.0f, 0.0f, nullptr, EN}

void snow_init(std::string_view t, int32_t& s) {
  TextBuf src;
  static_path(src, "/snowsrcin.txt");
  MSNOWINIT(t, src.view(), s);
}

// In the order the names are tested: "ACARSP" before "ACARS".
const OtherSet OTHER_SETS[] = {
    UA("RAOB", 4, 1, "/raobtbl.txt", nullptr, "/raobvcn.txt", "/point/raob/netcdf/",
       "/raob.template", 0.0f, 0.0f, nullptr),
    UA("NPN", 3, 2, "/npntbl.txt", nullptr, "/npnvcn.txt", "/point/profiler/netcdf/",
       "/profiler.template", -1.0f, 0.0f, &VORANCOM2.NPN_COUNTER),
    UA("ACARSP", 6, 6, "/acarsptbl.txt", "/teska_acarsptbl.txt", "/acarspvcn.txt",
       "/point/acarsProfiles/netcdf/", "/acarsp.template", 0.0f, 0.0f, nullptr),
    UA("ACARS", 5, 3, "/acarstbl.txt", "/teska_acarstbl.txt", "/acarsvcn.txt",
       "/point/acars/netcdf/", "/acars.template", 0.0f, 99999.0f, nullptr),
    UA("MAP", 3, 4, "/maptbl.txt", nullptr, "/mapvcn.txt", "/KORB/profiler/netCDF/",
       "/map.template", -9999.0f, 0.0f, &VORANCOM2.MAP_COUNTER),
    UA("RDMTR", 5, 5, "/rdmtrtbl.txt", nullptr, "/rdmtrvcn.txt", "/point/radiometer/netcdf/",
       "/radiometer.template", 0.0f, 0.0f, nullptr),
    OTHER("HYDRO", 5, 7, "/hydrotbl.txt", "/hydrovcn.txt", "/KORB/hydro/netCDF/",
          "/hydro.template", MHYDROCLS, MHYDROINIT, 0, HYDROSTR, nullptr),
    OTHER("SATWND", 6, 8, "/satwndtbl.txt", "/satwndvcn.txt", "/point/HDW/netcdf/",
          "/satwnd.template", MSATWNDCLS, MSATWNDINIT, 1, SATWSTR, nullptr),
    OTHER("SATSND", 6, 10, "/satsndtbl.txt", "/satsndvcn.txt", "/point/POES/netcdf/",
          "/satsnd.template", MSATSNDCLS, MSATSNDINIT, 3, SATSSTR, &VORANCOM2.SATSND_ENABLE),
    OTHER("SATRAD", 6, 11, "/satradtbl.txt", "/satradvcn.txt", "/point/satrad/netcdf/",
          "/satrad.template", MSATRADCLS, MSATRADINIT, 4, SATRSTR, &VORANCOM2.SATRAD_ENABLE),
    OTHER("SNOW", 4, 12, "/snowtbl.txt", "/snowvcn.txt", "/KORB/snow/netCDF/",
          "/snow.template", MSNOWCLS, snow_init, 5, SNOWSTR, nullptr),
    OTHER("WISDOM", 6, 13, "/wisdomtbl.txt", "/wisdomvcn.txt", "/KORB/WISDOM/netCDF/",
          "/wisdom.template", MWISDOMCLS, MWISDOMINIT, 6, WISDOMSTR, nullptr),
};
#undef UA
#undef OTHER

constexpr int32_t SATWND = 8;
constexpr const char* HDW1H_DIR = "/point/HDW1h/netcdf/";

// The second satellite-wind family (HDW1h): its directory and timing.
void satwnd_second_family(const OtherSet& d, int32_t& status) {
  auto& c2 = VORANCOM2;
  if (MCOM2.DBNUM != 2) {
    c2.SRC_AVAIL[7] = true;
    c2.OTHER_ENDOFF[2] = *d.endoff;
    c2.OTHER_PERIOD[2] = *d.period;
    return;
  }
  // Optional: a missing template only marks the family unavailable.
  TextBuf tpl;
  static_path(tpl, d.tpl);
  const bool msg = MCOM2.MSGFLAG;
  MCOM2.MSGFLAG = false;
  read_timing(tpl, c2.OTHER_ENDOFF[2], c2.OTHER_PERIOD[2], status);
  MCOM2.MSGFLAG = msg;
  c2.SRC_AVAIL[7] = status == 0;
  status = 0;
}

void init_other(const OtherSet& d, int32_t& status) {
  auto& c2 = VORANCOM2;
  if (d.xmiss1 != 0.0f) MCOM2.XMISS1 = d.xmiss1;
  if (d.xmiss2 != 0.0f) MCOM2.XMISS2 = d.xmiss2;
  if (c2.DSINIT[d.num] == INIT_MARK) d.close(d.num);

  TextBuf path;
  static_path(path, MCOM2.DBNUM == 2 && d.table_db2 != nullptr ? d.table_db2 : d.table);
  d.init(d.num, path.view(), status);
  if (status != 0) return;
  static_path(path, d.codes);
  MRDVCODE(d.num, path.view(), status);
  if (status != 0) return;

  store_dir(d.dir, *d.dirlen, d.subdir);
  if (d.num == SATWND) store_dir(SATWSTR.DIR[1], SATWSTR.DIRLEN[1], HDW1H_DIR);
  if (MCOM2.DBNUM == 2) {
    data_template(path, d.subdir);
  } else {
    static_path(path, d.tpl);
  }
  read_timing(path, *d.endoff, *d.period, status);
  if (status != 0) return;
  if (d.num == SATWND) satwnd_second_family(d, status);

  if (d.num <= 6) c2.DSINIT[d.num] = INIT_MARK;
  *d.count = 0;
  if (d.zero_word != nullptr) *d.zero_word = 0;
  if (d.enable != nullptr) *d.enable = true;
  c2.DSBASE[d.num] = MCOM2.DBNUM;
  MCOM2.CURDSET = d.num;
}

}  // namespace

void MINIT(std::string_view dataset, std::string_view database, bool msgsw, int32_t& status) {
  status = MST_OK;
  MCOM2.MSGFLAG = msgsw;
  ncopts = 0;  // NetCDF failures come back as return codes only

  static Env env;
  std::memcpy(env.SERVER_ACTIVE, VORANCOM1.SERVER_ACTIVE, PATHLEN);
  std::memcpy(env.PID, VORANCOM1.PID, 6);
  std::memcpy(env.SERVER_ROOT, VORANCOM1.SERVER_ROOT, PATHLEN);
  env.ROOT_LEN = VORANCOM2.ROOT_LEN;
  if (!read_environment(env, status)) return;

  if (leading_is(database, 3, "ZEM")) {
    MCOM2.DBNUM = 1;
  } else if (leading_is(database, 6, "TESKA2") || leading_is(database, 5, "TESKA")) {
    MCOM2.DBNUM = 2;
  } else {
    fail(status, MST_BAD_DATABASE, "MINIT: INVALID DATABASE");
    return;
  }

  const bool sfc = leading_is(dataset, 3, "SFC");
  const bool external = leading_is(dataset, 8, "EXTERNAL");
  const OtherSet* other = nullptr;
  for (const auto& d : OTHER_SETS) {
    if (!sfc && leading_is(dataset, static_cast<size_t>(d.nlen), d.name)) {
      other = &d;
      break;
    }
  }
  if (!sfc && !external && other == nullptr) {
    fail(status, MST_BAD_SUBSYSTEM, "MINIT: INVALID SUBSYSTEM");
    return;
  }

  commit_environment(env);
  MCOM2.XMISS1 = -99999.0f;
  MCOM2.XMISS2 = 3.4028235e38f;
  if (sfc) {
    init_surface(database, status);
  } else if (other != nullptr) {
    init_other(*other, status);
  }
  if (status == 0) VORANCOM2.LIBINIT = INIT_MARK;
}
