// MINIT: environment checks, database choice, dataset dispatch, messages.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/core.h"
#include "testutil.h"

namespace {

std::string tpl(int period, int endoff_seconds) {
  return "netcdf t {\n// global attributes:\n :filePeriod = " + std::to_string(period) +
         " ;\n :fileEndOffset = " + std::to_string(endoff_seconds) + " ;\n}\n";
}

const char* SFC_TEMPLATES[10] = {"metar", "maritime", "sao",  "mesonet", "coop",
                                 "urbanet", "hfmetar", "nepp", "hcn",  "crn"};
const char* OTHER_TEMPLATES[12] = {"raob",  "profiler", "acars",  "map",    "radiometer",
                                   "acarsp", "hydro",   "satwnd", "satsnd", "satrad",
                                   "snow",  "wisdom"};
const char* TABLES[] = {"sfc",    "raob",   "npn",    "acars",  "map",   "rdmtr",  "acarsp",
                        "hydro",  "satwnd", "satsnd", "satrad", "snow",  "wisdom"};

// A small static directory of our own: empty variable and code tables, an
// empty station and provider list, a flat terrain grid, and templates whose
// timing tells which one was read (surface source k: period 1000+k, end
// offset k minutes; other family i: period 2000+i, end offset i minutes).
// One variable-table line: code, slot name, type, NetCDF name, no QC, stage 0.
std::string table_line(int code, const std::string& slot, const std::string& name) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%3d   %-20s f             %-24s    0\n", code, slot.c_str(),
                name.c_str());
  return buf;
}
// One code-table line: public name, code, numeric.
const char* VCN_LINE = "TEMP             5   N\n";

std::string make_static() {
  std::string d = testutil::make_tmpdir();
  for (const char* t : TABLES) {
    testutil::write_file(d + "/" + t + "tbl.txt", "");
    testutil::write_file(d + "/" + t + "vcn.txt", "");
  }
  // A few entries that show which table files were read.
  testutil::write_file(d + "/sfcvcn.txt", VCN_LINE);
  testutil::write_file(d + "/acarsvcn.txt", VCN_LINE);
  testutil::write_file(d + "/acarstbl.txt", table_line(5, "ACARS", "temperature"));
  testutil::write_file(d + "/teska_acarstbl.txt", table_line(5, "ACARS", "tempTeska"));
  testutil::write_file(d + "/teska_acarsptbl.txt", "");
  testutil::write_file(d + "/stadic.txt", "");
  testutil::write_file(d + "/sfcsrcin.txt", "");
  testutil::write_file(d + "/snowsrcin.txt", "");
  std::string topo;
  for (int j = 1; j <= 62; ++j)
    for (int i = 1; i <= 81; ++i) topo += std::to_string(i) + " " + std::to_string(j) + " 0.0\n";
  testutil::write_file(d + "/topomini.txt", topo);
  for (int k = 1; k <= 10; ++k)
    EXPECT_TRUE(testutil::ncgen(tpl(1000 + k, 60 * k),
                                d + "/" + SFC_TEMPLATES[k - 1] + ".template"));
  for (int i = 1; i <= 12; ++i)
    EXPECT_TRUE(testutil::ncgen(tpl(2000 + i, 60 * i),
                                d + "/" + OTHER_TEMPLATES[i - 1] + ".template"));
  return d;
}

const std::string& static_dir() {
  static const std::string d = make_static();
  return d;
}

void set_env(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

// A clean environment: our static directory, a local data directory.
void base_env(const std::string& data = "/tmp/voran_data") {
  set_env("VORAN_STATIC", static_dir());
  set_env("VORAN_DATA", data);
  unsetenv("VORAN_SERVER");
  unsetenv("VORAN_SERVER_ROOT");
}

int32_t minit(const char* dataset, const char* database, bool msg = false) {
  int32_t st = -1;
  MINIT(dataset, database, msg, st);
  return st;
}

// A copy of our static directory without one file.
std::string static_without(const char* name) {
  std::string d = testutil::make_tmpdir();
  for (const auto& e : std::filesystem::directory_iterator(static_dir()))
    std::filesystem::copy(e.path(), d);
  std::filesystem::remove(d + "/" + name);
  return d;
}

// "/" and n characters c (made whole: g++ 12 warns falsely about
// "/" + std::string(n, c) in optimised builds).
std::string long_path(int n, char c) {
  std::string p(static_cast<std::size_t>(n) + 1, c);
  p[0] = '/';
  return p;
}

std::string field(const char* p, size_t n) { return std::string(voran::ftrim({p, n})); }
std::string suffix() { return std::string(VORANCOM1.FILE_SUFFIX, 11); }
std::string data_dir() { return std::string(VORANCOM1.DATA_DIR, VORANCOM2.DATA_LEN); }

}  // namespace

TEST(CoreInit, EnvironmentChecksAndLengthLimits) {
  base_env();
  unsetenv("VORAN_STATIC");
  EXPECT_EQ(minit("EXTERNAL", "BOGUS"), 1001);  // environment before database
  set_env("VORAN_STATIC", "   ");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1001);
  set_env("VORAN_STATIC", long_path(237, 's'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  set_env("VORAN_STATIC", long_path(238, 's'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1002);
  // A trailing grave accent is not part of the length.
  set_env("VORAN_STATIC", long_path(237, 's') + "`");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);

  base_env();
  unsetenv("VORAN_DATA");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1003);
  set_env("VORAN_DATA", long_path(226, 'd'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  EXPECT_EQ(VORANCOM2.DATA_LEN, 227);
  set_env("VORAN_DATA", long_path(227, 'd'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1004);

  base_env();
  set_env("VORAN_SERVER", "ACTIVE");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1007);
  set_env("VORAN_SERVER_ROOT", long_path(226, 'r'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  EXPECT_EQ(VORANCOM2.ROOT_LEN, 227);
  set_env("VORAN_SERVER_ROOT", long_path(227, 'r'));
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 1008);
}

TEST(CoreInit, DatabaseAndDatasetNames) {
  base_env();
  MCOM2.DBNUM = 0;
  EXPECT_EQ(minit("EXTERNAL", "NONE"), 10);
  EXPECT_EQ(MCOM2.DBNUM, 0);
  EXPECT_EQ(minit("EXTERNAL", "ZEMXX"), 0);
  EXPECT_EQ(MCOM2.DBNUM, 1);
  EXPECT_EQ(minit("EXTERNAL", "TESKA9"), 0);
  EXPECT_EQ(MCOM2.DBNUM, 2);
  EXPECT_EQ(minit("EXTERNAL", "TESK"), 10);
  EXPECT_EQ(MCOM2.DBNUM, 2);  // unchanged by the refusal

  EXPECT_EQ(minit("FOO", "ZEM"), 3001);
  EXPECT_EQ(MCOM2.DBNUM, 1);  // the database is chosen before the dataset test
  EXPECT_EQ(minit("EXTERNA", "ZEM"), 3001);
  VORANCOM2.LIBINIT = 0;
  EXPECT_EQ(minit("EXTERNALS", "ZEM"), 0);
  EXPECT_EQ(VORANCOM2.LIBINIT, 12345);

  // Leading characters only; "ACARSP" is not taken for "ACARS".
  EXPECT_EQ(minit("SFCX", "ZEM"), 0);
  EXPECT_EQ(MCOM2.CURDSET, 0);
  EXPECT_EQ(minit("ACARSP", "ZEM"), 0);
  EXPECT_EQ(MCOM2.CURDSET, 6);
  EXPECT_EQ(minit("ACARSX", "ZEM"), 0);
  EXPECT_EQ(MCOM2.CURDSET, 3);
  EXPECT_EQ(minit("SNOWFALL", "ZEM"), 0);
  EXPECT_EQ(MCOM2.CURDSET, 12);
}

TEST(CoreInit, WebAndServerModes) {
  base_env("https://example.org/voran");
  set_env("VORAN_SERVER", "ACTIVE");  // never consulted for a web address
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  EXPECT_EQ(suffix(), ".gz        ");
  base_env("/data/HTTP://x");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  EXPECT_EQ(suffix(), ".gz        ");

  base_env();
  set_env("VORAN_SERVER_ROOT", "/srv/work");
  set_env("VORAN_SERVER", "ACTIV");
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  EXPECT_EQ(suffix(), std::string(11, ' '));
  set_env("VORAN_SERVER", "INACTIVE");  // a substring test: server mode on
  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  const long p = static_cast<long>(getpid());
  char tag[8];
  std::snprintf(tag, sizeof tag, "%06ld", p % 100000);
  if (p > 99999) tag[0] = 'M';
  EXPECT_EQ(suffix(), std::string(".tmp.") + tag);
  EXPECT_EQ(std::string(VORANCOM1.PID, 6), tag);
  EXPECT_EQ(std::string(VORANCOM1.SERVER_ROOT, VORANCOM2.ROOT_LEN), "/srv/work");
}

// A refused call must not disturb what an earlier call set up.
TEST(CoreInit, RefusedCallKeepsEarlierState) {
  base_env("/data/one");
  ASSERT_EQ(minit("SFC", "ZEM"), 0);
  const float x1 = MCOM2.XMISS1;
  auto unchanged = [&](const char* what) {
    EXPECT_EQ(data_dir(), "/data/one") << what;
    EXPECT_EQ(suffix(), std::string(11, ' ')) << what;
    EXPECT_EQ(MCOM2.XMISS1, x1) << what;
  };
  unsetenv("VORAN_DATA");
  EXPECT_EQ(minit("RAOB", "ZEM"), 1003);
  unchanged("no data directory");
  set_env("VORAN_DATA", long_path(300, 'd'));
  EXPECT_EQ(minit("RAOB", "ZEM"), 1004);
  unchanged("data directory too long");
  set_env("VORAN_DATA", "/data/two");
  set_env("VORAN_SERVER", "ACTIVE");
  EXPECT_EQ(minit("NPN", "ZEM"), 1007);
  unchanged("no server root");
  unsetenv("VORAN_SERVER");
  EXPECT_EQ(minit("NPN", "WRONG"), 10);
  unchanged("bad database");
  EXPECT_EQ(minit("NOPE", "ZEM"), 3001);
  unchanged("bad dataset");
  set_env("VORAN_DATA", "https://example.org");
  EXPECT_EQ(minit("NPN", "BAD"), 10);
  unchanged("web address with a bad database");

  EXPECT_EQ(minit("NPN", "ZEM"), 0);  // accepted: stored now
  EXPECT_EQ(data_dir(), "https://example.org");
  EXPECT_EQ(MCOM2.XMISS1, -1.0f);
}

TEST(CoreInit, MessagesFollowSwitchAndDatabase) {
  base_env();
  unsetenv("VORAN_STATIC");
  MCOM2.DBNUM = 0;  // as before the first successful database choice
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int32_t st = 0;
  MINIT("SFC", "ZEM", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            " MINIT: VORAN_STATIC ENVIRONMENT VARIABLE NOT DEFINED\n");
  EXPECT_EQ(st, 1001);

  base_env();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MINIT("SFC", "XYZ", true, st);
  MINIT("SFC", "XYZ", false, st);  // switched off: silent
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // DBNUM still 0
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " MINIT: INVALID DATABASE\n");

  EXPECT_EQ(minit("EXTERNAL", "ZEM"), 0);
  unsetenv("VORAN_STATIC");
  testing::internal::CaptureStdout();
  MINIT("SFC", "ZEM", true, st);
  MINIT("SFC", "ZEM", false, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " MINIT: VORAN_STATIC ENVIRONMENT VARIABLE NOT DEFINED\n");
  base_env();
  testing::internal::CaptureStdout();
  MINIT("SFC", "ZEM", true, st);
  MINIT("WHAT", "ZEM", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " MINIT: INVALID SUBSYSTEM\n");
  EXPECT_TRUE(MCOM2.MSGFLAG);
  MINIT("SFC", "ZEM", false, st);
  EXPECT_FALSE(MCOM2.MSGFLAG);

  // Before a database is chosen a caller's unit 6 means standard output.
  MCOM2.MSGFLAG = true;
  MCOM2.DBNUM = 0;
  FILEUNITS.UNIT[1] = 6;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MERROR("X: ONE");
  FILEUNITS.UNIT[1] = 5;
  MERROR("X: TWO");
  MCOM2.DBNUM = 2;
  MERROR("X: THREE");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " X: ONE\n X: THREE\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " X: TWO\n");
  FILEUNITS.UNIT[1] = 0;
  MCOM2.MSGFLAG = false;
}

TEST(CoreInit, SurfaceUnderZem) {
  base_env("/data/zem");
  VORANCOM2.DSINIT[0] = 0;
  SFCSTRN.FILE_COUNT = 7;
  EXPECT_EQ(minit("SFC", "ZEM"), 0);
  const auto& c = VORANCOM2;
  EXPECT_EQ(c.LIBINIT, 12345);
  EXPECT_EQ(MCOM2.CURDSET, 0);
  EXPECT_EQ(MCOM2.DBNUM, 1);
  EXPECT_EQ(c.DSBASE[0], 1);
  EXPECT_FALSE(c.TESKA2_FLAG);
  EXPECT_EQ(SFCSTRN.FILE_COUNT, 0);
  EXPECT_EQ(MCOM2.XMISS1, -99999.0f);
  EXPECT_EQ(MCOM2.XMISS2, 3.4028235e38f);
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(c.FILE_PERIOD[k - 1], 1000 + k) << k;
    EXPECT_EQ(c.FILE_ENDOFF[k - 1], k) << k;
  }
  for (int a = 0; a < 7; ++a) EXPECT_TRUE(c.SRC_AVAIL[a]);
  EXPECT_EQ(std::string(SFCSTRC.DSET_DIR[0], SFCSTRN.DSET_DIRLEN[0]), "/point/metar/netcdf/");
  EXPECT_EQ(std::string(SFCSTRC.DSET_DIR[3], SFCSTRN.DSET_DIRLEN[3]), "/KORB/mesonet/netCDF/");
  EXPECT_EQ(field(SFCSTRC.DSET_DIR[9], voran::PATHLEN), "/KORB/crn/netCDF/");
  EXPECT_EQ(c.DSINIT[0], 12345);
  EXPECT_EQ(VCNTBL.VCN_COUNT[0], 1);
  EXPECT_EQ(VCNTBL.VCN_CODE[0][0], 5);

  // Initialising again closes the files the surface list holds open.
  const std::string t = static_dir() + "/metar.template";
  int ncid = -1;
  ASSERT_EQ(nc_open(t.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  SFCSTRN.FILE_NCID[0] = ncid;
  SFCSTRN.FILE_DSET[0] = 1;
  voran::fset(SFCSTRC.FILE_NAME[0], 13, "20210825_2000");
  EXPECT_EQ(minit("SFC", "ZEM"), 0);
  EXPECT_EQ(SFCSTRN.FILE_NCID[0], -1);
  int nvars = 0;
  EXPECT_NE(nc_inq_nvars(ncid, &nvars), NC_NOERR);

  // A missing template of a required source fails the call under ZEM, and
  // so does a missing table, with the reader's message.
  std::string broken = static_without("hcn.template");
  set_env("VORAN_STATIC", broken);
  testing::internal::CaptureStdout();
  int32_t st = 0;
  MINIT("SFC", "ZEM", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " MTMRNG: BIF - NCOPN ERROR ON " + broken + "/hcn.template\n");
  EXPECT_EQ(st, 2002);
  std::filesystem::remove(broken + "/stadic.txt");
  testing::internal::CaptureStdout();
  MINIT("SFC", "ZEM", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " MSFCINIT: BIF - OPEN ERROR - STADIC\n");
  EXPECT_EQ(st, 2002);
  MCOM2.MSGFLAG = false;
  std::filesystem::remove_all(broken);
}

TEST(CoreInit, SurfaceUnderTeska) {
  // TESKA: every source takes the static mesonet template; the mesonet
  // data live under "qc".
  base_env("/data/teska");
  EXPECT_EQ(minit("SFC", "TESKA"), 0);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(VORANCOM2.FILE_PERIOD[k], 1004);
    EXPECT_EQ(VORANCOM2.FILE_ENDOFF[k], 4);
  }
  EXPECT_EQ(field(SFCSTRC.DSET_DIR[3], voran::PATHLEN), "/KORB/mesonet/qc/");
  EXPECT_EQ(VORANCOM2.DSBASE[0], 2);

  // TESKA2: the templates in the data directories; optional sources without
  // one are unavailable and deselected, silently.
  std::string data = testutil::make_tmpdir();
  const char* present[] = {"/point/metar/netcdf/", "/point/maritime/netcdf/",
                           "/KORB/mesonet/netCDF/", "/KORB/hcn/netCDF/"};
  int n = 0;
  for (const char* p : present) {
    ASSERT_TRUE(testutil::ncgen(tpl(3600 + 60 * n, 120 * n), data + p + "template"));
    ++n;
  }
  base_env(data);
  for (bool& sel : VORANCOM2.SRC_SELECT) sel = true;
  testing::internal::CaptureStdout();
  int32_t st = -1;
  MINIT("SFC", "TESKA2", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(st, 0);
  const auto& c = VORANCOM2;
  EXPECT_TRUE(c.TESKA2_FLAG);
  EXPECT_EQ(field(SFCSTRC.DSET_DIR[3], voran::PATHLEN), "/KORB/mesonet/netCDF/");
  EXPECT_EQ(c.FILE_PERIOD[0], 3600);
  EXPECT_EQ(c.FILE_PERIOD[1], 3660);
  EXPECT_EQ(c.FILE_PERIOD[3], 3720);
  EXPECT_EQ(c.FILE_ENDOFF[3], 4);
  EXPECT_EQ(c.FILE_PERIOD[8], 3780);
  const int optional[7] = {3, 5, 6, 7, 8, 9, 10};
  for (int a = 0; a < 7; ++a) {
    const bool hcn = optional[a] == 9;
    EXPECT_EQ(c.SRC_AVAIL[a], hcn) << optional[a];
    EXPECT_EQ(c.SRC_SELECT[optional[a] - 1], hcn) << optional[a];
  }
  EXPECT_TRUE(MCOM2.MSGFLAG);  // restored after the silent reads

  // A required source without a template fails.
  std::filesystem::remove(data + "/point/maritime/netcdf/template");
  EXPECT_EQ(minit("SFC", "TESKA2"), 2002);
  std::filesystem::remove_all(data);
}

TEST(CoreInit, UpperAirAndOtherDatasets) {
  base_env("/data/ua");
  const auto& c = VORANCOM2;
  struct Ua {
    const char* name;
    int k;
    int tpl;  // index+1 in OTHER_TEMPLATES
    const char* dir;
  } ua[] = {{"RAOB", 1, 1, "/point/raob/netcdf/"},
            {"NPN", 2, 2, "/point/profiler/netcdf/"},
            {"ACARS", 3, 3, "/point/acars/netcdf/"},
            {"MAP", 4, 4, "/KORB/profiler/netCDF/"},
            {"RDMTR", 5, 5, "/point/radiometer/netcdf/"},
            {"ACARSP", 6, 6, "/point/acarsProfiles/netcdf/"}};
  for (const auto& u : ua) {
    VORANCOM2.NPN_COUNTER = VORANCOM2.MAP_COUNTER = 5;
    UAPTSTR.COUNT[u.k - 1] = 9;
    EXPECT_EQ(minit(u.name, "ZEM"), 0) << u.name;
    EXPECT_EQ(MCOM2.CURDSET, u.k);
    EXPECT_EQ(c.DSINIT[u.k], 12345);
    EXPECT_EQ(c.DSBASE[u.k], 1);
    EXPECT_EQ(c.UA_PERIOD[u.k - 1], 2000 + u.tpl) << u.name;
    EXPECT_EQ(c.UA_ENDOFF[u.k - 1], u.tpl);
    EXPECT_EQ(std::string(UAPTSTR.DIR[u.k - 1], UAPTSTR.DIRLEN[u.k - 1]), u.dir);
    EXPECT_EQ(UAPTSTR.COUNT[u.k - 1], 0);
    EXPECT_EQ(MCOM2.XMISS1, u.k == 2 ? -1.0f : u.k == 4 ? -9999.0f : -99999.0f);
    EXPECT_EQ(MCOM2.XMISS2, u.k == 3 ? 99999.0f : 3.4028235e38f);
    EXPECT_EQ(c.NPN_COUNTER, u.k == 2 ? 0 : 5);
    EXPECT_EQ(c.MAP_COUNTER, u.k == 4 ? 0 : 5);
  }

  struct Other {
    const char* name;
    int num, tpl, timing;
    const OTHERSTR_t* blk;
    const char* dir;
  } other[] = {{"HYDRO", 7, 7, 0, &HYDROSTR, "/KORB/hydro/netCDF/"},
               {"SATWND", 8, 8, 1, &SATWSTR, "/point/HDW/netcdf/"},
               {"SATSND", 10, 9, 3, &SATSSTR, "/point/POES/netcdf/"},
               {"SATRAD", 11, 10, 4, &SATRSTR, "/point/satrad/netcdf/"},
               {"SNOW", 12, 11, 5, &SNOWSTR, "/KORB/snow/netCDF/"},
               {"WISDOM", 13, 12, 6, &WISDOMSTR, "/KORB/WISDOM/netCDF/"}};
  VORANCOM2.SATSND_ENABLE = VORANCOM2.SATRAD_ENABLE = false;
  for (const auto& o : other) {
    EXPECT_EQ(minit(o.name, "ZEM"), 0) << o.name;
    EXPECT_EQ(MCOM2.CURDSET, o.num);
    EXPECT_EQ(c.DSBASE[o.num], 1);
    EXPECT_EQ(c.OTHER_PERIOD[o.timing], 2000 + o.tpl) << o.name;
    EXPECT_EQ(c.OTHER_ENDOFF[o.timing], o.tpl);
    EXPECT_EQ(std::string(o.blk->DIR[0], o.blk->DIRLEN[0]), o.dir);
    EXPECT_EQ(o.blk->COUNT, 0);
  }
  EXPECT_TRUE(c.SATSND_ENABLE);
  EXPECT_TRUE(c.SATRAD_ENABLE);
  // Satellite winds under ZEM: both families share the static timing.
  EXPECT_EQ(minit("SATWND", "ZEM"), 0);
  EXPECT_TRUE(c.SRC_AVAIL[7]);
  EXPECT_EQ(c.OTHER_PERIOD[2], 2008);
  EXPECT_EQ(c.OTHER_ENDOFF[2], 8);
  EXPECT_EQ(std::string(SATWSTR.DIR[1], SATWSTR.DIRLEN[1]), "/point/HDW1h/netcdf/");

  // ACARS reads its own table and code files; under database 2 the TESKA table.
  EXPECT_EQ(minit("ACARS", "ZEM"), 0);
  EXPECT_EQ(VCNTBL.VCN_COUNT[3], 1);
  EXPECT_EQ(field(VARTBL.NCNAME[4][12], 24), "temperature");

  // Database 2 reads the data-directory templates; the HDW1h family is
  // optional and falls back silently.
  std::string data = testutil::make_tmpdir();
  ASSERT_TRUE(testutil::ncgen(tpl(3600, 0), data + "/point/acars/netcdf/template"));
  ASSERT_TRUE(testutil::ncgen(tpl(7200, 0), data + "/point/HDW/netcdf/template"));
  ASSERT_TRUE(testutil::ncgen(tpl(10800, 600), data + "/point/acarsProfiles/netcdf/template"));
  base_env(data);
  EXPECT_EQ(minit("ACARSP", "TESKA"), 0);
  EXPECT_EQ(c.UA_PERIOD[5], 10800);
  EXPECT_EQ(c.UA_ENDOFF[5], 10);
  EXPECT_EQ(c.DSBASE[6], 2);
  EXPECT_EQ(minit("ACARS", "TESKA"), 0);
  EXPECT_EQ(field(VARTBL.NCNAME[4][12], 24), "tempTeska");
  EXPECT_EQ(minit("RAOB", "TESKA"), 2002);  // no data-directory template
  EXPECT_EQ(minit("SATWND", "TESKA"), 0);
  EXPECT_EQ(c.OTHER_PERIOD[1], 7200);
  EXPECT_TRUE(c.SRC_AVAIL[7]);  // static satwnd.template present
  EXPECT_EQ(c.OTHER_PERIOD[2], 2008);
  std::string nostatic = static_without("satwnd.template");
  set_env("VORAN_STATIC", nostatic);
  testing::internal::CaptureStdout();
  int32_t st = -1;
  MINIT("SATWND", "TESKA", true, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(st, 0);
  EXPECT_FALSE(c.SRC_AVAIL[7]);
  std::filesystem::remove_all(nostatic);
  std::filesystem::remove_all(data);
}

TEST(CoreInit, InstalledStaticDirectory) {
  set_env("VORAN_STATIC", testutil::static_dir());
  set_env("VORAN_DATA", "/tmp/voran_data");
  unsetenv("VORAN_SERVER");
  EXPECT_EQ(minit("SFC", "ZEM", true), 0);
  EXPECT_EQ(VORANCOM2.DSINIT[0], 12345);
  EXPECT_GT(VORANCOM2.FILE_PERIOD[0], 0);
}
