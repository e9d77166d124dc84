// stalist end to end on a small mesonet tree, its failure lines, and the
// Fortran edit descriptors of its listing (reference texts from gfortran).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "../driver/fortran_format.h"
#include "testutil.h"

namespace {

std::string f(int w, int d, float v) {
  std::string s;
  fortran::put_f(s, w, d, v);
  return s;
}
std::string i(int w, int32_t v) {
  std::string s;
  fortran::put_i(s, w, v);
  return s;
}

TEST(DriverFormat, FieldsMatchGfortran) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(f(10, 2, 999999.0f), " 999999.00");
  EXPECT_EQ(f(10, 2, -0.001f), "     -0.00");
  EXPECT_EQ(f(10, 2, -0.0f), "     -0.00");
  EXPECT_EQ(f(10, 2, 0.0f), "      0.00");
  EXPECT_EQ(f(10, 2, 1e10f), "**********");
  EXPECT_EQ(f(10, 2, 9999999.0f), "9999999.00");
  EXPECT_EQ(f(10, 2, -9999999.0f), "**********");
  EXPECT_EQ(f(10, 2, -123456.8f), "-123456.80");
  EXPECT_EQ(f(10, 2, std::nanf("")), "       NaN");
  EXPECT_EQ(f(10, 2, inf), "  Infinity");
  EXPECT_EQ(f(10, 2, -inf), " -Infinity");
  EXPECT_EQ(f(8, 2, -inf), "    -Inf");
  EXPECT_EQ(f(3, 2, inf), "Inf");
  EXPECT_EQ(f(2, 2, -inf), "**");
  // Rounding of the exact binary value, ties to even.
  EXPECT_EQ(f(10, 2, 0.125f), "      0.12");
  EXPECT_EQ(f(10, 2, 0.375f), "      0.38");
  EXPECT_EQ(f(10, 2, 2.675f), "      2.67");
  EXPECT_EQ(f(10, 2, 0.005f), "      0.00");
  // The leading zero goes when only that makes the value fit.
  EXPECT_EQ(f(4, 2, -0.5f), "-.50");
  EXPECT_EQ(f(3, 2, 0.5f), ".50");
  EXPECT_EQ(f(5, 2, -0.5f), "-0.50");

  EXPECT_EQ(i(7, 1234567), "1234567");
  EXPECT_EQ(i(7, -123456), "-123456");
  EXPECT_EQ(i(7, 12345678), "*******");
  EXPECT_EQ(i(7, -1234567), "*******");
  EXPECT_EQ(i(7, std::numeric_limits<int32_t>::min()), "*******");
  EXPECT_EQ(i(7, 0), "      0");

  int32_t v = -1;
  EXPECT_TRUE(fortran::read_i(" 1 2", v));
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(fortran::read_i("    ", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(fortran::read_i(" -07", v));
  EXPECT_EQ(v, -7);
  v = 5;
  EXPECT_FALSE(fortran::read_i("-   ", v));
  EXPECT_FALSE(fortran::read_i("1-2 ", v));
  EXPECT_FALSE(fortran::read_i("20_1", v));
  EXPECT_FALSE(fortran::read_i("9999999999", v));
  EXPECT_EQ(v, 5);
}

// Three mesonet reports of 20 UTC: a provider with hourly precipitation, one
// reporting 24-hour totals and one not in the provider list (period
// unknown). Every QC-carrying value has its companions.
struct QcVar {
  const char *name, *values, *qca, *qcr, *dd;
};
const QcVar QCVARS[] = {
    {"temperature", "305.15, 299.85, 301.25", "126, 62, 126", "0, 0, 16", "VSQ"},
    {"dewpoint", "285.25, _, 294.05", "126, 0, 6", "0, 0, 0", "VZC"},
    {"relHumidity", "28, _, 66", "126, 0, 126", "0, 0, 0", "VZV"},
    {"altimeter", "101320, 101570, 101450", "126, 126, 126", "0, 0, 0", "VVV"},
    {"stationPressure", "90110, 83480, 101080", "126, 126, 126", "0, 0, 0", "VVV"},
    {"windDir", "200, 90, 12345678", "126, 126, 126", "0, 0, 0", "VVV"},
    {"windSpeed", "6.5, 2.25, 3", "126, 126, 126", "0, 0, 0", "VVV"},
    {"precipAccum", "12.7, 25.4, 3", "126, 62, 126", "0, 0, 0", "VSV"},
};

std::string mesonet_cdl() {
  std::string decl, data;
  for (const QcVar& v : QCVARS) {
    const std::string n = v.name;
    decl += "  float " + n + "(recNum) ;\n    " + n + ":_FillValue = 3.4028235e+38f ;\n";
    decl += "  int " + n + "QCA(recNum) ;\n  int " + n + "QCR(recNum) ;\n";
    decl += "  char " + n + "DD(recNum) ;\n";
    data += "  " + n + " = " + v.values + " ;\n  " + n + "QCA = " + v.qca + " ;\n";
    data += "  " + n + "QCR = " + v.qcr + " ;\n  " + n + "DD = \"" + v.dd + "\" ;\n";
  }
  return std::string(R"(netcdf m {
dimensions:
  recNum = UNLIMITED ;
  idLen = 6 ;
  provLen = 11 ;
  nameLen = 51 ;
variables:
  char stationId(recNum, idLen) ;
  char dataProvider(recNum, provLen) ;
  char stationName(recNum, nameLen) ;
  int wmoId(recNum) ;
    wmoId:_FillValue = -2147483647 ;
  float latitude(recNum) ;
  float longitude(recNum) ;
  float elevation(recNum) ;
  double observationTime(recNum) ;
    observationTime:_FillValue = 3.40282346638529e+38 ;
  double reportTime(recNum) ;
    reportTime:_FillValue = 3.40282346638529e+38 ;
  double receivedTime(recNum) ;
    receivedTime:_FillValue = 3.40282346638529e+38 ;
  float precipRate(recNum) ;
    precipRate:_FillValue = 3.4028235e+38f ;
)") + decl + R"(data:
  stationId = "WTX01", "CW1234", "NJ0001" ;
  dataProvider = "WTXMESO", "APRSWXNET", "NJWXNET" ;
  stationName = "LUBBOCK 3SW", "BOULDER", "PRINCETON" ;
  wmoId = _, _, _ ;
  latitude = 33.5, 40.02, 40.35 ;
  longitude = -101.9, -105.27, -74.65 ;
  elevation = 992, 1655, 30 ;
  observationTime = 1629921900, 1629922200, 1629922500 ;
  reportTime = 1629921900, 1629922200, 1629922500 ;
  receivedTime = 1629922000, 1629922300, 1629922600 ;
  precipRate = _, _, _ ;
)" + data + "}\n";
}

// Written by hand from the fixture: the station table, then five records a
// station with TD, ALTSE, P, T, DD, FF, PCP1H and PCP24H.
const char* EXPECTED_RUN_OUT =
    "number of retrieved stations =      3\n"
    "            STID    PROVIDER     RPTTIM        LAT     LONG      ELEV\n"
    "      1  WTX01       WTXMESO     212372005     33.50   -101.90    992.00\n"
    "      2  CW1234      APRSWXNET   212372010     40.02   -105.27   1655.00\n"
    "      3  NJ0001      NJWXNET     212372015     40.35    -74.65     30.00\n"
    "\n"
    "data for station #      1\n"
    "obs =     285.25 101320.00  90110.00    305.15    200.00      6.50      0.01 999999.00\n"
    "qcd =   V  V  V  V  V  V  V  Z\n"
    "iqca =     126    126    126    126    126    126    126      0\n"
    "iqcr =       0      0      0      0      0      0      0      0\n"
    "\n"
    "data for station #      2\n"
    "obs =  999999.00 101570.00  83480.00    299.85     90.00      2.25 999999.00      0.03\n"
    "qcd =   Z  V  V  S  V  V  Z  S\n"
    "iqca =       0    126    126     62    126    126      0     62\n"
    "iqcr =       0      0      0      0      0      0      0      0\n"
    "\n"
    "data for station #      3\n"
    "obs =     294.05 101450.00 101080.00    301.25**********      3.00 999999.00 999999.00\n"
    "qcd =   C  V  V  Q  V  V  Z  Z\n"
    "iqca =       6    126    126    126    126    126      0      0\n"
    "iqcr =       0      0      0     16      0      0      0      0\n";

class Stalist : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    data_ = dir_ + "/data";
    run_ = dir_ + "/run";
    testutil::write_file(run_ + "/run.out", "stale listing of an earlier run\n");
    setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
    setenv("VORAN_DATA", data_.c_str(), 1);
    unsetenv("VORAN_SERVER");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int run() {
    const char* argv[] = {VORAN_BINARY_DIR "/stalist", nullptr};
    return testutil::run_program(run_, argv, dir_ + "/stdout", dir_ + "/stderr");
  }
  std::string out() { return testutil::read_file(dir_ + "/stdout"); }
  std::string listing() { return testutil::read_file(run_ + "/run.out"); }

  std::string dir_, data_, run_;
};

TEST_F(Stalist, ListsTheMesonetStationsOfTheHour) {
  ASSERT_TRUE(testutil::ncgen(mesonet_cdl(), data_ + "/KORB/mesonet/netCDF/20210825_2000"));
  // Files of other hours and of deselected networks are not listed.
  ASSERT_TRUE(testutil::ncgen(mesonet_cdl(), data_ + "/KORB/mesonet/netCDF/20210825_2100"));
  ASSERT_TRUE(testutil::ncgen(mesonet_cdl(), data_ + "/KORB/coop/netCDF/20210825_2000"));
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(out(), "");
  EXPECT_EQ(listing(), EXPECTED_RUN_OUT);
}

TEST_F(Stalist, FailuresEndTheRunWithOneLine) {
  // No file for the hour: nothing but the line on standard output, and the
  // listing of an earlier run is gone.
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(out(), " contained no reports\n");
  EXPECT_EQ(listing(), "");

  unsetenv("VORAN_STATIC");
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(out(), " bad return from MINIT with ierfin =         1001\n");
  EXPECT_EQ(listing(), "");

  // A static directory without its tables.
  setenv("VORAN_STATIC", dir_.c_str(), 1);
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(out(), " bad return from MINIT with ierfin =         2002\n");
  EXPECT_EQ(testutil::read_file(dir_ + "/stderr"), "");
}

}  // namespace

namespace {

// The bundled sample tree: deterministic, and rich enough that the listing
// shows thousands of mesonet stations with most of their values.
TEST(DriverSample, GeneratedTreeFeedsTheListing) {
  const std::string dir = testutil::make_tmpdir();
  struct Cleanup {
    std::string d;
    ~Cleanup() { std::filesystem::remove_all(d); }
  } cleanup{dir};
  const std::string gen = VORAN_BINARY_DIR "/gen_sample";
  const std::string tables = VORAN_SOURCE_DIR "/static";
  const char* argv1[] = {gen.c_str(), "a", tables.c_str(), nullptr};
  const char* argv2[] = {gen.c_str(), "b", tables.c_str(), nullptr};
  ASSERT_EQ(testutil::run_program(dir, argv1, dir + "/gen.out", dir + "/gen.err"), 0);
  ASSERT_EQ(testutil::run_program(dir, argv2, dir + "/gen.out", dir + "/gen.err"), 0);
  for (const char* f : {"/KORB/mesonet/netCDF/20210825_2000", "/point/metar/netcdf/20210825_1900",
                        "/KORB/crn/netCDF/20210825_2100", "/point/maritime/netcdf/20210825_2000"}) {
    std::string a = testutil::read_file(dir + "/a" + f);
    EXPECT_GT(a.size(), 1000u) << f;
    EXPECT_TRUE(a == testutil::read_file(dir + "/b" + f)) << f;
  }

  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", (dir + "/a").c_str(), 1);
  const char* argv[] = {VORAN_BINARY_DIR "/stalist", nullptr};
  ASSERT_EQ(testutil::run_program(dir, argv, dir + "/stdout", dir + "/stderr"), 0);
  EXPECT_EQ(testutil::read_file(dir + "/stdout"), "");
  const std::string out = testutil::read_file(dir + "/run.out");
  int32_t nsta = 0;
  ASSERT_TRUE(fortran::read_i(out.substr(30, 7), nsta));
  EXPECT_GT(nsta, 2000);
  // Non-missing values per listed column, from the "obs =" records.
  int present[8] = {0};
  int blocks = 0;
  for (std::size_t p = out.find("\nobs = "); p != std::string::npos; p = out.find("\nobs = ", p + 1)) {
    ++blocks;
    for (int c = 0; c < 8; ++c)
      if (out.compare(p + 7 + 10 * c, 10, " 999999.00") != 0) ++present[c];
  }
  EXPECT_EQ(blocks, nsta);
  for (int c = 0; c < 6; ++c) EXPECT_GT(present[c], nsta * 8 / 10) << c;  // TD .. FF
  EXPECT_GT(present[6], nsta / 10);  // PCP1H: the hourly providers
  EXPECT_GT(present[7], nsta / 10);  // PCP24H: the 24-hour providers
  EXPECT_LT(present[6], nsta * 9 / 10);
}

}  // namespace
