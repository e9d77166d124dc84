// Hand-made bad inputs: tables with bad codes, binary bytes and overlong
// lines, missing or broken templates, corrupt and truncated data files, and
// hostile environment values. Each must give its status, and a refused call
// must leave what was loaded before as it was.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "stations/stations.h"
#include "stations_fixtures.h"
#include "tables/tables.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

const char* const TIME = "212372000";  // 2021-08-25 20:00
const char* const STEM = "20210825_2000";
const char* const METAR_DIR = "/point/metar/netcdf/";

// A METAR file of n stations (temperature 290 K + k) for 20:00.
std::string metar_cdl(int n) {
  std::vector<std::string> ids, lat, lon, elev, t, at, rt, wmo, temp;
  for (int k = 0; k < n; ++k) {
    ids.push_back(std::string{'K', static_cast<char>('A' + k), 'A', 'A'});
    lat.push_back(std::to_string(35.0 + k));
    lon.push_back(std::to_string(-100.0 - k));
    elev.push_back("300");
    t.push_back(stfix::unix_time(304545600));  // 2021-08-25 20:00
    at.push_back("A");
    rt.push_back("METAR");
    wmo.push_back("_");
    temp.push_back(std::to_string(290 + k));
  }
  stfix::Cdl c(n);
  c.chars("autoStationType", 6, at).chars("reportType", 6, rt);
  c.num("int", "wmoId", wmo, "-2147483647");
  c.identity(5, ids, lat, lon, elev);
  c.num("double", "timeObs", t, "3.40282346e+38");
  c.num("float", "temperature", temp, "3.0e36f");
  return c.text();
}

bool table_status(int32_t st) { return st == 0 || st == MST_BAD_FILE || st == MST_BAD_TABLE; }

// Snapshot of the tables MINIT loads, to compare after a refused call.
struct Tables {
  std::unique_ptr<VARTBL_t> var = std::make_unique<VARTBL_t>(VARTBL);
  std::unique_ptr<VCNTBL_t> vcn = std::make_unique<VCNTBL_t>(VCNTBL);
  std::unique_ptr<PROVTBL_t> prov = std::make_unique<PROVTBL_t>(PROVTBL);
  std::unique_ptr<SFCTBL_t> sfc = std::make_unique<SFCTBL_t>(SFCTBL);
  VORANCOM1_t com1 = VORANCOM1;
  bool same() const {
    return std::memcmp(var.get(), &VARTBL, sizeof VARTBL) == 0 &&
           std::memcmp(vcn.get(), &VCNTBL, sizeof VCNTBL) == 0 &&
           std::memcmp(prov.get(), &PROVTBL, sizeof PROVTBL) == 0 &&
           std::memcmp(sfc.get(), &SFCTBL, sizeof SFCTBL) == 0 &&
           std::memcmp(&com1, &VORANCOM1, sizeof VORANCOM1) == 0;
  }
};

struct Call {
  int32_t nsta = -1, status = -1, nobs = -1;
  std::vector<int32_t> wmoid = std::vector<int32_t>(VORAN_MAX_STATIONS);
  std::vector<int32_t> source = std::vector<int32_t>(VORAN_MAX_STATIONS);
  std::vector<float> lat = std::vector<float>(VORAN_MAX_STATIONS);
  std::vector<float> lon = std::vector<float>(VORAN_MAX_STATIONS);
  std::vector<float> elev = std::vector<float>(VORAN_MAX_STATIONS);
  std::string stid = std::string(10 * VORAN_MAX_STATIONS, '#');
  std::string obstime = std::string(9 * VORAN_MAX_STATIONS, '#');
  std::string prov = std::string(10 * VORAN_MAX_STATIONS, '#');
  std::vector<float> obs = std::vector<float>(6 * VORAN_MAX_STATIONS, -1.0f);
  std::string qcd = std::string(6 * VORAN_MAX_STATIONS, '#');
  std::vector<int32_t> qca = std::vector<int32_t>(6 * VORAN_MAX_STATIONS, -1);
  std::vector<int32_t> qcr = std::vector<int32_t>(6 * VORAN_MAX_STATIONS, -1);

  void stations(const char* time = TIME) {
    MSFCSTA(time, nsta, stid.data(), wmoid.data(), lat.data(), lon.data(), elev.data(),
            obstime.data(), prov.data(), status, source.data());
  }
  void get(const char* name, const char* time = TIME) {
    MGETSFC(time, name, nsta, nobs, obs.data(), qcd.data(), qca.data(), qcr.data(), status);
  }
};

class BadInput : public ::testing::Test {
 protected:
  std::string root_ = testutil::make_tmpdir();
  std::string static_ = root_ + "/static";
  std::string data_ = root_ + "/data";

  void SetUp() override {
    fs::copy(testutil::static_dir(), static_, fs::copy_options::recursive);
    fs::create_directories(data_);
    setenv("VORAN_STATIC", static_.c_str(), 1);
    setenv("VORAN_DATA", data_.c_str(), 1);
    unsetenv("VORAN_SERVER");
    unsetenv("VORAN_SERVER_ROOT");
  }
  void TearDown() override {
    unsetenv("VORAN_SERVER");
    unsetenv("VORAN_SERVER_ROOT");
    fs::remove_all(root_);
  }
  int32_t minit(const char* dataset = "SFC") {
    int32_t st = -1;
    MINIT(dataset, "ZEM", false, st);
    return st;
  }
  // Replaces a static table; returns MINIT's status for "SFC".
  int32_t with_table(const std::string& name, const std::string& text) {
    testutil::write_file(static_ + "/" + name, text);
    return minit();
  }
  void restore(const std::string& name) {
    fs::copy_file(testutil::static_dir() + "/" + name, static_ + "/" + name,
                  fs::copy_options::overwrite_existing);
  }
  void put_metar(int n) { ASSERT_TRUE(testutil::ncgen(metar_cdl(n), data_ + METAR_DIR + STEM)); }
};

TEST_F(BadInput, HostileEnvironmentIsRefusedAndChangesNothing) {
  ASSERT_EQ(minit(), 0);
  put_metar(3);
  Call c;
  c.stations();
  ASSERT_EQ(c.status, 0);
  ASSERT_EQ(c.nsta, 3);
  const Tables before;

  // Over-long values, unset values, bad database and dataset names.
  setenv("VORAN_STATIC", std::string(239, 'a').c_str(), 1);
  EXPECT_EQ(minit(), MST_STATIC_TOO_LONG);
  setenv("VORAN_STATIC", std::string(100000, '/').c_str(), 1);
  EXPECT_EQ(minit(), MST_STATIC_TOO_LONG);
  unsetenv("VORAN_STATIC");
  EXPECT_EQ(minit(), MST_NO_STATIC);
  setenv("VORAN_STATIC", "          ", 1);
  EXPECT_EQ(minit(), MST_NO_STATIC);
  setenv("VORAN_STATIC", static_.c_str(), 1);
  setenv("VORAN_DATA", std::string(228, 'd').c_str(), 1);
  EXPECT_EQ(minit(), MST_DATA_DIR_TOO_LONG);
  setenv("VORAN_DATA", data_.c_str(), 1);
  setenv("VORAN_SERVER", "ACTIVE", 1);
  EXPECT_EQ(minit(), MST_NO_SERVER_ROOT);
  setenv("VORAN_SERVER_ROOT", std::string(228, 'r').c_str(), 1);
  EXPECT_EQ(minit(), MST_SERVER_ROOT_TOO_LONG);
  unsetenv("VORAN_SERVER");
  int32_t st = -1;
  MINIT("SFC", "XEM;rm", false, st);
  EXPECT_EQ(st, MST_BAD_DATABASE);
  MINIT("SF", "ZEM", false, st);
  EXPECT_EQ(st, MST_BAD_SUBSYSTEM);
  MINIT(std::string(5000, 'S'), "ZEM", false, st);
  EXPECT_EQ(st, MST_BAD_SUBSYSTEM);

  // None of that touched the loaded tables, the directories or the list.
  EXPECT_TRUE(before.same());
  c.get("T");
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.nobs, 3);
  EXPECT_FLOAT_EQ(c.obs[2], 292.0f);

  // Refused settings and names change nothing either.
  MSETWIN(10, -10, 1, st);
  EXPECT_EQ(st, MST_INVALID_SETTING);
  MSETQCLVL(7, st);
  EXPECT_EQ(st, MST_INVALID_SETTING);
  c.get("NOSUCHVARIABLE");
  EXPECT_EQ(c.status, MST_BAD_VARNAME);
  EXPECT_EQ(c.nsta, 0);
  c.get("T", "21237200x");
  EXPECT_EQ(c.status, MST_TIME_NOT_SET);
  c.stations("2123720001");
  EXPECT_EQ(c.status, MST_BAD_TIME);
  c.get("T");  // the list of the last good request is still there
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.nobs, 3);
  EXPECT_TRUE(before.same());
}

TEST_F(BadInput, ShellCharactersInPathsAreOnlyPaths) {
  // Directories whose names hold shell syntax work as plain directories and
  // nothing is ever run: in server mode the packed file is unpacked by the
  // library itself.
  const std::string marker = root_ + "/pwned";
  const std::string odd = root_ + "/d;touch " + marker + ";$(touch " + marker + ")`touch " + marker + "`x";
  const std::string work = root_ + "/w $(touch " + marker + ")";
  fs::create_directories(odd + METAR_DIR);
  fs::create_directories(work + METAR_DIR);
  const std::string plain = root_ + "/plain.nc";
  ASSERT_TRUE(testutil::ncgen(metar_cdl(2), plain));
  const std::string bytes = testutil::read_file(plain);
  gzFile gz = gzopen((odd + METAR_DIR + STEM + ".gz").c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())), static_cast<int>(bytes.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);

  setenv("VORAN_DATA", odd.c_str(), 1);
  setenv("VORAN_SERVER", "ACTIVE", 1);
  setenv("VORAN_SERVER_ROOT", work.c_str(), 1);
  ASSERT_EQ(minit(), 0);
  Call c;
  c.stations();
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.nsta, 2);
  c.get("T");
  EXPECT_EQ(c.status, 0);
  EXPECT_FLOAT_EQ(c.obs[1], 291.0f);
  // A corrupt packed file is skipped and leaves no working copy behind.
  testutil::write_file(odd + METAR_DIR + STEM + ".gz", bytes.substr(0, 100));
  c.stations();
  EXPECT_EQ(c.status, MST_NO_DATA);
  EXPECT_TRUE(fs::is_empty(work + METAR_DIR));
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_FALSE(fs::exists(root_ + "/d"));
  EXPECT_FALSE(fs::exists(root_ + "/w "));
}

TEST_F(BadInput, BadVariableTablesGiveTheirStatus) {
  const std::string good = testutil::read_file(static_ + "/sfctbl.txt");
  const std::string line = "  8   METAR                f             temperature                 3\n";
  // Code beyond 380, unknown type letter, blank name, bad QC flag and stage.
  EXPECT_EQ(with_table("sfctbl.txt", good + "999   METAR                f             temperature                 3\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfctbl.txt", good + "  8   METAR                x             temperature                 3\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfctbl.txt", good + "  8   METAR                f                                         3\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfctbl.txt", good + "  8   METAR                f             temperature              X  3\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfctbl.txt", good + "  8   METAR                f             temperature                 7\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfctbl.txt", good + "  8   METAR                f             temperature                 *\n"), MST_BAD_TABLE);
  // A NUL byte makes the line unreadable.
  EXPECT_EQ(with_table("sfctbl.txt", good + std::string("  8   METAR   \0            f             temperature                 3\n", 71)), MST_BAD_FILE);
  // Negative codes and character lengths are not codes.
  EXPECT_NE(with_table("sfctbl.txt", good + " -8   METAR                f             temperature                 3\n"), 0);
  // Characters beyond column 70 are not read, however many.
  EXPECT_EQ(with_table("sfctbl.txt", good + line.substr(0, line.size() - 1) + std::string(100000, 'Z') + "\n"), 0);
  EXPECT_EQ(VARTBL.NAMLEN[7][0], 11);
  // High bytes in the name are kept, not trusted: the length stays within the field.
  EXPECT_TRUE(table_status(with_table("sfctbl.txt", good + "  8   METAR                f             \xff\xfe\xfd" + std::string(21, '\x80') + "    3\n")));
  EXPECT_LE(VARTBL.NAMLEN[7][0], 24);
  restore("sfctbl.txt");
  EXPECT_EQ(with_table("sfctbl.txt", ""), 0);  // an empty table is a table
  restore("sfctbl.txt");
  fs::remove(static_ + "/sfctbl.txt");
  EXPECT_EQ(minit(), MST_BAD_FILE);
  fs::create_directory(static_ + "/sfctbl.txt");  // a directory is not a table
  EXPECT_EQ(minit(), MST_BAD_FILE);
}

TEST_F(BadInput, BadCodeTablesGiveTheirStatus) {
  const std::string good = testutil::read_file(static_ + "/sfcvcn.txt");
  EXPECT_EQ(with_table("sfcvcn.txt", good + "BAD            0   N\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfcvcn.txt", good + "BAD          381   N\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfcvcn.txt", good + "BAD            8   Z\n"), MST_BAD_TABLE);
  EXPECT_EQ(with_table("sfcvcn.txt", good + "BAD            1x3   N\n"), MST_BAD_FILE);
  EXPECT_EQ(with_table("sfcvcn.txt", good + "\n"), MST_BAD_TABLE);  // blank line: code 0
  EXPECT_EQ(with_table("sfcvcn.txt", good + std::string("BAD\0           8   N\n", 21)), MST_BAD_FILE);
  // More entries than codes: the table holds 380 at most.
  std::string many;
  for (int k = 0; k < 500; ++k) many += testutil::numbered("V", 100000 + k) + "          8   N\n";
  EXPECT_EQ(with_table("sfcvcn.txt", many), MST_BAD_TABLE);
  EXPECT_LE(VCNTBL.VCN_COUNT[0], 380);
  restore("sfcvcn.txt");
  fs::remove(static_ + "/sfcvcn.txt");
  EXPECT_EQ(minit(), MST_BAD_FILE);
}

TEST_F(BadInput, BadSurfaceInitialisationFiles) {
  // "stadic.txt": at most 2000 identifiers, binary bytes kept in place.
  std::string sta;
  for (int k = 0; k < 2500; ++k) sta += testutil::numbered("K", 1000 + k) + " A\n";
  EXPECT_EQ(with_table("stadic.txt", sta), 0);
  EXPECT_EQ(SFCTBL.ASOS_COUNT, 2000);
  EXPECT_EQ(with_table("stadic.txt", std::string("\xff\xfe\0\x01\x02 A\n", 8) + std::string(50000, 'x')), 0);
  EXPECT_LE(SFCTBL.ASOS_COUNT, 2);
  restore("stadic.txt");

  // "sfcsrcin.txt": codes that are not integers, more providers than the table holds.
  EXPECT_EQ(with_table("sfcsrcin.txt", " P     ASOS         x    0    0\n"), MST_BAD_FILE);
  std::string prov;
  for (int k = 0; k < 290; ++k) prov += " P     PROV" + std::to_string(100 + k) + "      1    0    0\n";
  EXPECT_TRUE(table_status(with_table("sfcsrcin.txt", prov)));
  EXPECT_LE(PROVTBL.SUBSRC_COUNT[0], 100);
  std::string sub;
  for (int k = 0; k < 290; ++k) sub += " S     SUB" + std::to_string(1000 + k) + "     1    0\n";
  EXPECT_TRUE(table_status(with_table("sfcsrcin.txt", sub)));
  EXPECT_LE(PROVTBL.SUBTYPE_COUNT[0], 200);
  restore("sfcsrcin.txt");

  // "topomini.txt": short, non-numeric, not finite.
  const std::string topo = testutil::read_file(static_ + "/topomini.txt");
  EXPECT_EQ(with_table("topomini.txt", topo.substr(0, topo.rfind('\n', topo.size() - 2) + 1)), MST_BAD_FILE);
  EXPECT_EQ(with_table("topomini.txt", "1 1 abc\n" + topo), MST_BAD_FILE);
  EXPECT_EQ(with_table("topomini.txt", ""), MST_BAD_FILE);
  restore("topomini.txt");
  EXPECT_EQ(minit(), 0);
}

// A terrain grid holding NaN or infinite heights is refused like one that
// cannot be read.
TEST_F(BadInput, NonFiniteTerrainIsRefused) {
  const std::string topo = testutil::read_file(static_ + "/topomini.txt");
  for (const char* h : {"NaN", "Inf", "-Infinity", "1e39"}) {
    EXPECT_EQ(with_table("topomini.txt", std::string("1 1 ") + h + "\n" + topo), MST_BAD_FILE) << h;
  }
  restore("topomini.txt");
  EXPECT_EQ(minit(), 0);
}

TEST_F(BadInput, MissingAndBrokenTemplates) {
  fs::remove(static_ + "/metar.template");
  EXPECT_EQ(minit(), MST_BAD_FILE);
  testutil::write_file(static_ + "/metar.template", "not a NetCDF file");
  EXPECT_EQ(minit(), MST_BAD_FILE);
  const char* bad[] = {
      "netcdf t { :filePeriod = 0 ; :fileEndOffset = 0 ; }",
      "netcdf t { :filePeriod = -3600 ; :fileEndOffset = 0 ; }",
      "netcdf t { :filePeriod = \"3600\" ; :fileEndOffset = 0 ; }",
      "netcdf t { :filePeriod = 3600, 3600 ; :fileEndOffset = 0 ; }",
      "netcdf t { :filePeriod = 3600.5 ; :fileEndOffset = 0 ; }",
      "netcdf t { :filePeriod = 3600 ; }",
      "netcdf t { :filePeriod = 3600 ; :fileEndOffset = 1e20 ; }",
  };
  for (const char* cdl : bad) {
    ASSERT_TRUE(testutil::ncgen(cdl, static_ + "/metar.template")) << cdl;
    EXPECT_EQ(minit(), MST_BAD_FILE) << cdl;
  }
  restore("metar.template");
  EXPECT_EQ(minit(), 0);
}

TEST_F(BadInput, CorruptAndTruncatedDataFiles) {
  ASSERT_EQ(minit(), 0);
  put_metar(4);
  const std::string path = data_ + METAR_DIR + STEM;
  const std::string good = testutil::read_file(path);
  Call c;

  // Every truncation of the file: never a crash, a list only from what is there.
  for (std::size_t n : {std::size_t{0}, std::size_t{3}, std::size_t{4}, std::size_t{32}, good.size() / 2,
                        good.size() - 8, good.size() - 1}) {
    testutil::write_file(path, good.substr(0, n));
    c.stations();
    EXPECT_TRUE(c.status == MST_NO_DATA || c.status == 0) << n;
    if (c.status == 0) {
      EXPECT_LE(c.nsta, 4) << n;
    }
  }
  // Garbage with a NetCDF magic number, and random bytes.
  testutil::write_file(path, std::string("CDF\x01", 4) + std::string(5000, '\xff'));
  c.stations();
  EXPECT_EQ(c.status, MST_NO_DATA);
  testutil::write_file(path, std::string("CDF\x02", 4) + std::string(64, '\x7f'));
  c.stations();
  EXPECT_EQ(c.status, MST_NO_DATA);
  // A directory in place of the file.
  fs::remove(path);
  fs::create_directory(path);
  c.stations();
  EXPECT_EQ(c.status, MST_NO_DATA);
  c.get("T");
  EXPECT_EQ(c.status, MST_TIME_NOT_SET);
  fs::remove(path);

  // A file without the identity variables is skipped; one with them but
  // with a temperature of another shape gives no values, not a crash.
  ASSERT_TRUE(testutil::ncgen("netcdf f { dimensions: recNum = UNLIMITED ; variables: float temperature(recNum) ; }", path));
  c.stations();
  EXPECT_EQ(c.status, MST_NO_DATA);
  std::string cdl = metar_cdl(2);
  const std::string from = "  float temperature(recNum) ;\n    temperature:_FillValue = 3.0e36f ;\n";
  ASSERT_NE(cdl.find(from), std::string::npos);
  cdl.replace(cdl.find(from), from.size(), "  char temperature(recNum, stationId_len) ;\n");
  cdl.replace(cdl.find(" temperature = 290, 291 ;"), 25, " temperature = \"x\", \"y\" ;");
  ASSERT_TRUE(testutil::ncgen(cdl, path)) << cdl;
  c.stations();
  EXPECT_EQ(c.status, 0);
  c.get("T");
  EXPECT_NE(c.status, 0);
  EXPECT_EQ(c.nsta, 0);
}

// Big-endian 32-bit word.
std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// A classic file of one dimension "a" of 4 and one variable "a"(a) of the
// given type code, with 16 bytes of data.
std::string one_variable(const std::string& head, uint32_t type) {
  const std::string name_a = be32(1) + std::string("a\0\0\0", 4);
  const std::string absent = be32(0) + be32(0);
  std::string h = head + be32(0x0A) + be32(1) + name_a + be32(4) + absent + be32(0x0B) + be32(1) +
                  name_a + be32(1) + be32(0) + absent + be32(type) + be32(16);
  h += be32(static_cast<uint32_t>(h.size() + 4));
  return h + std::string(16, '\x01');
}

TEST_F(BadInput, HeadersAnnouncingMoreThanTheFileHolds) {
  // Classic headers of a few bytes that announce billions of dimensions,
  // attributes or attribute values: refused before the NetCDF library would
  // allocate and walk them, like any other unreadable file.
  ASSERT_EQ(minit(), 0);
  const std::string head = std::string("CDF\x01", 4) + be32(0);
  const std::string absent = be32(0) + be32(0);
  const std::string name_a = be32(1) + std::string("a\0\0\0", 4);
  const std::string files[] = {
      head + be32(0x0A) + be32(0x7fffffff) + name_a + be32(1),
      head + absent + be32(0x0C) + be32(0x7ffffff0) + name_a + be32(5) + be32(1) + be32(0),
      head + absent + be32(0x0C) + be32(1) + name_a + be32(6) + be32(0x7fffffff) + be32(0),
      head + absent + absent + be32(0x0B) + be32(1) + name_a + be32(0x7fffffff),
      std::string("CDF\x07", 4) + be32(0),
      // A variable of a type the format has not (none, the string type,
      // types only CDF-5 has): NetCDF's own header check divides by the
      // size of such values, 0 for strings.
      one_variable(head, 0),
      one_variable(head, 12),
      one_variable(head, 7),
      one_variable(head, 0x7fffffff),
  };
  const std::string path = data_ + METAR_DIR + STEM;
  Call c;
  for (const std::string& f : files) {
    testutil::write_file(path, f);
    c.stations();
    EXPECT_EQ(c.status, MST_NO_DATA);
  }
  // A sound file is read as before.
  put_metar(2);
  c.stations();
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.nsta, 2);
}

TEST_F(BadInput, NonFinitePositionsAreNoPositions) {
  ASSERT_EQ(minit(), 0);
  std::string cdl = metar_cdl(4);
  cdl.replace(cdl.find(" latitude = 35.000000,"), 22, " latitude = NaN,");
  cdl.replace(cdl.find(" longitude = -100.000000, -101.000000,"), 38, " longitude = -100.000000, Infinity,");
  cdl.replace(cdl.find(" elevation = 300, 300, 300,"), 27, " elevation = 300, 300, -Infinity,");
  ASSERT_TRUE(testutil::ncgen(cdl, data_ + METAR_DIR + STEM)) << cdl;
  Call c;
  c.stations();
  ASSERT_EQ(c.status, 0);
  // Only the fourth station has a whole position.
  ASSERT_EQ(c.nsta, 1);
  EXPECT_EQ(c.stid.substr(0, 5), "KDAA ");
  EXPECT_FLOAT_EQ(c.lat[0], 38.0f);
}

TEST_F(BadInput, NonFiniteValuesAreMissing) {
  ASSERT_EQ(minit(), 0);
  std::string cdl = metar_cdl(4);
  cdl.replace(cdl.find(" temperature = 290, 291, 292, 293 ;"), 35,
              " temperature = NaN, Infinity, -Infinity, 293 ;");
  ASSERT_TRUE(testutil::ncgen(cdl, data_ + METAR_DIR + STEM)) << cdl;
  Call c;
  c.stations();
  ASSERT_EQ(c.status, 0);
  ASSERT_EQ(c.nsta, 4);
  c.get("T");
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(c.nobs, 1);
  const float want[] = {VORAN_MISSING, VORAN_MISSING, VORAN_MISSING, 293.0f};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(c.obs[k], want[k]) << k;
  // Derived from it: the dew point of a station without temperature is missing too.
  c.get("TD");
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(std::isnan(c.obs[k])) << k;
}

}  // namespace
