// MGETSFC and MSFCELEV on NetCDF fixtures: the station list, variable table
// and code table are set up directly so that each case controls exactly
// which files, records and table entries the dispatcher sees.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"
#include "stations/stations.h"
#include "testutil.h"
#include "variables/variables.h"

namespace {

constexpr const char* TIME = "212372000";

// Mesonet file: temperature with QC companions (QCA held as float so that
// fractional masks reach the dispatcher), a soil variable with the network's
// absent-value markers, a code-78 variable that is scaled, and a 6-level
// variable.
const char* MESO_CDL = R"(netcdf meso {
dimensions:
  recNum = UNLIMITED ;
  lev = 6 ;
variables:
  float temperature(recNum) ;
    temperature:_FillValue = 3.e+36f ;
  float temperatureQCA(recNum) ;
  int temperatureQCR(recNum) ;
  char temperatureDD(recNum) ;
  float soilMoisture(recNum) ;
  float fuelMoisture(recNum) ;
    fuelMoisture:_FillValue = 3.e+36f ;
  float presWx(recNum, lev) ;
  float relHumidity(recNum) ;
  float relHumidityQCA(recNum) ;
data:
  temperature = 290.5, _, 280.25, 270 ;
  temperatureQCA = 3.9, 1e10, NaN, -5.5 ;
  temperatureQCR = 1, 0, 2, 4 ;
  temperatureDD = "CVSZ" ;
  soilMoisture = -9999, 1e36, 5, 2e30 ;
  fuelMoisture = 250, _, -9999, 1 ;
  presWx = 1,2,3,4,5,6, 11,12,13,14,15,16, 21,22,23,24,25,26, 31,32,33,34,35,36 ;
  relHumidity = 50, 60, 70, 80 ;
  relHumidityQCA = 1, 1, 1, 1 ;
}
)";

// A second mesonet file without any of the variables above but temperature.
const char* MESO2_CDL = R"(netcdf meso2 {
dimensions:
  recNum = UNLIMITED ;
variables:
  float temperature(recNum) ;
  float other(recNum) ;
data:
  temperature = 300, 301, 302 ;
  other = 0, 0, 0 ;
}
)";

const char* SAO_CDL = R"(netcdf sao {
dimensions:
  recNum = UNLIMITED ;
  lev = 5 ;
variables:
  float visibility(recNum) ;
    visibility:_FillValue = -99999.f ;
  float gust(recNum) ;
  float presWx(recNum, lev) ;
data:
  visibility = 1.5, -99999 ;
  gust = 2, 3 ;
  presWx = 1,2,3,4,5, 6,7,8,9,10 ;
}
)";

const char* HFM_CDL = R"(netcdf hfm {
dimensions:
  recNum = UNLIMITED ;
  lev = 3 ;
variables:
  float presWx(recNum, lev) ;
  double dbl(recNum) ;
data:
  presWx = 7,8,9 ;
  dbl = 1 ;
}
)";

class Dispatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(testutil::make_tmpdir());
    ASSERT_TRUE(testutil::ncgen(MESO_CDL, *dir_ + "/meso.nc"));
    ASSERT_TRUE(testutil::ncgen(MESO2_CDL, *dir_ + "/meso2.nc"));
    ASSERT_TRUE(testutil::ncgen(SAO_CDL, *dir_ + "/sao.nc"));
    ASSERT_TRUE(testutil::ncgen(HFM_CDL, *dir_ + "/hfm.nc"));
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*dir_);
    delete dir_;
  }

  void SetUp() override {
    MCOM2.MSGFLAG = false;
    MCOM2.DBNUM = 1;
    MCOM2.CURDSET = 0;
    MCOM2.XMISS1 = -99999.0f;
    MCOM2.XMISS2 = 3.4028235e38f;
    VORANCOM2.DSINIT[0] = voran::INIT_MARK;
    VORANCOM2.QC_LEVEL = 0;
    std::memcpy(VORANCOM1.LIST_TIME[0], TIME, 9);
    for (auto& row : VARTBL.NAMLEN)
      for (auto& n : row) n = 0;
    VCNTBL.VCN_COUNT[0] = 0;
    SFCSTRN.FILE_COUNT = 0;
    SFCSTRN.STATION_COUNT = 0;
    for (int s = 0; s < voran::NFSLOTS; ++s) SFCSTRN.FILE_NCID[s] = -1;
    // Code table, in ascending name order.
    add_code("ELEV", 16);
    add_code("FUEL", 78);
    add_code("GUST", 6);
    add_code("PWX", 44);
    add_code("RHX", 201);
    add_code("SOILM", 80);
    add_code("T", 158);  // codes without a derivation: read directly
    add_code("TT", 8);
    add_code("VIS", 13);
    add_code("XDBL", 270);
  }

  void TearDown() override {
    for (int s = 0; s < SFCSTRN.FILE_COUNT; ++s)
      if (SFCSTRN.FILE_NCID[s] >= 0) nc_close(SFCSTRN.FILE_NCID[s]);
    SFCSTRN.FILE_COUNT = 0;
    SFCSTRN.STATION_COUNT = 0;
  }

  static void add_code(const char* name, int32_t code) {
    int32_t k = VCNTBL.VCN_COUNT[0]++;
    voran::fset(VCNTBL.VCN_NAME[0][k], 7, name);
    VCNTBL.VCN_CODE[0][k] = code;
    VCNTBL.VCN_TYPE[0][k] = 'N';
  }

  static void set_var(int32_t code, int32_t dset, const char* name, char type = 'f',
                      char qc = ' ', int32_t stage = 0) {
    voran::fset(VARTBL.NCNAME[code - 1][dset - 1], 24, name);
    VARTBL.NAMLEN[code - 1][dset - 1] = static_cast<int32_t>(std::strlen(name));
    VARTBL.NCTYPE[code - 1][dset - 1] = type;
    VARTBL.QCFLAG[code - 1][dset - 1] = qc;
    VARTBL.QCSTAGE[code - 1][0] = stage;
  }

  // Open a fixture into the next file slot; returns the slot.
  static int32_t open(const char* file, int32_t dset) {
    int32_t s = ++SFCSTRN.FILE_COUNT;
    int ncid = -1, recdim = -1;
    size_t len = 0;
    EXPECT_EQ(nc_open((*dir_ + "/" + file).c_str(), NC_NOWRITE, &ncid), NC_NOERR);
    EXPECT_EQ(nc_inq_unlimdim(ncid, &recdim), NC_NOERR);
    EXPECT_EQ(nc_inq_dimlen(ncid, recdim, &len), NC_NOERR);
    SFCSTRN.FILE_NCID[s - 1] = ncid;
    SFCSTRN.FILE_RECDIM[s - 1] = recdim;
    SFCSTRN.FILE_NREC[s - 1] = static_cast<int32_t>(len);
    SFCSTRN.FILE_DSET[s - 1] = dset;
    return s;
  }

  static void station(int32_t slot, int32_t rec) {
    int32_t k = SFCSTRN.STATION_COUNT++;
    SFCSTRN.STA_FILE[k] = slot;
    SFCSTRN.STA_REC[k] = rec;
  }

  struct Out {
    int32_t nsta = -1, nobs = -1, status = -1;
    std::vector<float> obs = std::vector<float>(64, -1.0f);
    std::vector<char> qcd = std::vector<char>(64, '?');
    std::vector<int32_t> qca = std::vector<int32_t>(64, -7), qcr = std::vector<int32_t>(64, -7);
  };
  static Out get(const char* name, const char* time = TIME) {
    Out o;
    MGETSFC(time, name, o.nsta, o.nobs, o.obs.data(), o.qcd.data(), o.qca.data(), o.qcr.data(),
            o.status);
    return o;
  }

  static std::string* dir_;
};
std::string* Dispatch::dir_ = nullptr;

TEST_F(Dispatch, RefusalsLeaveTheArraysUntouched) {
  set_var(158, 4, "temperature");
  station(open("meso.nc", 4), 1);

  VORANCOM2.DSINIT[0] = 0;
  Out o = get("T");
  EXPECT_EQ(o.status, MST_NOT_INITIALIZED);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.nobs, 0);
  EXPECT_EQ(o.obs[0], -1.0f);
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;

  // Another time is refused before the name is looked up.
  o = get("NOSUCH", "212372100");
  EXPECT_EQ(o.status, MST_TIME_NOT_SET);
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
  o = get("T", "         ");
  EXPECT_EQ(o.status, MST_TIME_NOT_SET);
  std::memcpy(VORANCOM1.LIST_TIME[0], TIME, 9);

  o = get("NOSUCH");
  EXPECT_EQ(o.status, MST_BAD_VARNAME);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.qcd[0], '?');

  int32_t keep = SFCSTRN.STATION_COUNT;
  SFCSTRN.STATION_COUNT = 0;
  o = get("T");
  EXPECT_EQ(o.status, MST_NO_DATA);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.obs[0], -1.0f);
  SFCSTRN.STATION_COUNT = keep;

  // A variable no network of the list carries.
  o = get("VIS");
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.nobs, 0);
  EXPECT_EQ(o.obs[0], 999999.0f);
  EXPECT_EQ(o.qcd[0], 'Z');
}

TEST_F(Dispatch, DirectReadScattersValuesAndQcInListOrder) {
  set_var(158, 4, "temperature", 'f', 'Q');
  int32_t a = open("meso.nc", 4);
  // List order differs from record order; two entries share record 1.
  station(a, 3);
  station(a, 1);
  station(a, 2);
  station(a, 1);
  station(a, 4);
  Out o = get("T");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.nsta, 5);
  EXPECT_EQ(o.nobs, 4);
  const float want[] = {280.25f, 290.5f, 999999.0f, 290.5f, 270.0f};
  const char dd[] = {'S', 'C', 'V', 'C', 'Z'};
  // Masks are truncated reals; values no integer holds clamp, and a NaN is
  // missing like a fill value.
  const int32_t qca[] = {999999, 3, INT32_MAX, 3, -5};
  const int32_t qcr[] = {2, 1, 0, 1, 4};
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(o.obs[j], want[j]) << j;
    EXPECT_EQ(o.qcd[j], dd[j]) << j;
    EXPECT_EQ(o.qca[j], qca[j]) << j;
    EXPECT_EQ(o.qcr[j], qcr[j]) << j;
  }
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);

  // Another dataset initialised since the list was made: the name is still
  // looked up among the surface names.
  MCOM2.CURDSET = 1;
  VCNTBL.VCN_COUNT[1] = 0;
  o = get("T");
  EXPECT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[0], 280.25f);
  EXPECT_EQ(MCOM2.CURDSET, 0);
}

TEST_F(Dispatch, MissingCompanionsAndAbsentVariables) {
  // QC letter "Q" but no "QCA": values unfiltered with "Z" and zero masks.
  set_var(158, 4, "fuelMoisture", 'f', 'Q', 2);
  int32_t a = open("meso.nc", 4);
  station(a, 4);
  VORANCOM2.QC_LEVEL = 2;
  Out o = get("T");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[0], 1.0f);
  EXPECT_EQ(o.qcd[0], 'Z');
  EXPECT_EQ(o.qca[0], 0);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);

  // "QCA" present, "QCR" absent: the call fails with the fetch's status.
  set_var(201, 4, "relHumidity", 'f', 'Q');
  o = get("RHX");
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.nobs, 0);
}

TEST_F(Dispatch, AbsentVariableGivesMissingNotAnotherFilesValues) {
  // The first file is read whole but only its record 1 is listed; the
  // second file lacks the variable, so its stations must stay missing.
  set_var(158, 4, "fuelMoisture");
  int32_t a = open("meso.nc", 4);
  int32_t b = open("meso2.nc", 4);
  station(a, 4);
  station(b, 1);
  station(b, 2);
  station(b, 3);
  Out o = get("T");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.nobs, 1);
  EXPECT_EQ(o.obs[0], 1.0f);
  for (int j = 1; j < 4; ++j) {
    EXPECT_EQ(o.obs[j], 999999.0f) << j;
    EXPECT_EQ(o.qcd[j], 'Z') << j;
  }
}

TEST_F(Dispatch, NetworkCorrectionsAndScaleFactors) {
  set_var(80, 4, "soilMoisture");
  set_var(78, 4, "fuelMoisture");
  set_var(13, 3, "visibility");
  set_var(6, 3, "gust");
  int32_t m = open("meso.nc", 4);
  int32_t s = open("sao.nc", 3);
  for (int r = 1; r <= 4; ++r) station(m, r);
  station(s, 1);
  station(s, 2);

  Out o = get("SOILM");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[0], 999999.0f);  // -9999
  EXPECT_EQ(o.obs[1], 999999.0f);  // 1e36
  EXPECT_EQ(o.obs[2], 5.0f);
  EXPECT_EQ(o.obs[3], 999999.0f);  // above 1e30
  EXPECT_EQ(o.obs[4], 999999.0f);  // SAO does not carry code 80
  EXPECT_EQ(o.nobs, 1);

  o = get("FUEL");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_FLOAT_EQ(o.obs[0], 2.5f);
  EXPECT_EQ(o.obs[1], 999999.0f);
  EXPECT_EQ(o.obs[2], 999999.0f);
  EXPECT_FLOAT_EQ(o.obs[3], 0.01f);

  o = get("VIS");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[4], 1500.0f);
  EXPECT_EQ(o.obs[5], 999999.0f);  // never scaled
  EXPECT_EQ(o.nobs, 1);

  o = get("GUST");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[4], 200.0f);
  EXPECT_EQ(o.obs[5], 300.0f);
}

TEST_F(Dispatch, LevelsPerNetwork) {
  set_var(44, 4, "presWx");
  set_var(44, 3, "presWx");
  set_var(44, 7, "presWx");
  int32_t m = open("meso.nc", 4);
  int32_t s = open("sao.nc", 3);
  int32_t h = open("hfm.nc", 7);
  station(s, 2);
  station(h, 1);
  station(m, 3);
  Out o = get("PWX");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.nobs, 3);  // stations, not values
  const float want[18] = {6, 7, 8, 9, 10, 999999, 7, 8, 9, 999999, 999999, 999999,
                          21, 22, 23, 24, 25, 26};
  for (int e = 0; e < 18; ++e) {
    EXPECT_EQ(o.obs[e], want[e]) << e;
    EXPECT_EQ(o.qcd[e], 'Z') << e;
    EXPECT_EQ(o.qca[e], 0) << e;
  }
  EXPECT_EQ(o.obs[18], -1.0f);  // nothing beyond NLEV x nsta
}

TEST_F(Dispatch, TypeAndCapacityFailures) {
  set_var(270, 4, "temperature");
  set_var(270, 7, "dbl", 'd');
  int32_t m = open("meso.nc", 4);
  int32_t h = open("hfm.nc", 7);
  station(m, 1);
  station(h, 1);
  Out o = get("XDBL");
  EXPECT_EQ(o.status, MST_BAD_TYPE);
  EXPECT_EQ(o.nsta, 0);
  EXPECT_EQ(o.obs[0], 290.5f);  // filled before the failing file

  // A file whose values cannot fit the scratch arrays is refused, not read.
  set_var(44, 4, "presWx");
  SFCSTRN.FILE_NREC[m - 1] = voran::NSCRATCH / 6 + 1;
  o = get("PWX");
  EXPECT_EQ(o.status, MST_ARRAY_SIZE);
  EXPECT_EQ(o.nsta, 0);
  SFCSTRN.FILE_NREC[m - 1] = 4;
}

TEST_F(Dispatch, QcLevelFilterUsesTheFileDescriptors) {
  set_var(158, 4, "temperature", 'f', 'Q', 3);
  int32_t m = open("meso.nc", 4);
  for (int r = 1; r <= 3; ++r) station(m, r);
  VORANCOM2.QC_LEVEL = 2;
  Out o = get("T");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[0], 999999.0f);  // "C" fails level 2
  EXPECT_EQ(o.qcd[0], 'C');        // the descriptor is kept
  EXPECT_EQ(o.obs[2], 280.25f);    // "S" passes
  EXPECT_EQ(VORANCOM2.QCFLTR_SLOT, m);
  VORANCOM2.QC_LEVEL = 1;
  o = get("T");
  EXPECT_EQ(o.obs[0], 290.5f);
}

TEST_F(Dispatch, ElevationWithLakeTerrain) {
  const char* cdl = R"(netcdf mar {
dimensions:
  recNum = UNLIMITED ;
variables:
  float elevation(recNum) ;
  float latitude(recNum) ;
  float longitude(recNum) ;
data:
  elevation = 0, 0, 183, 5 ;
  latitude = 47, 45, 47, 47 ;
  longitude = -88, -60, -88, -88 ;
}
)";
  ASSERT_TRUE(testutil::ncgen(cdl, *dir_ + "/mar.nc"));
  for (auto& row : SFCTBL.TOPO)
    for (auto& v : row) v = 200.0f;
  set_var(16, 2, "elevation", 'f', 'Q');
  set_var(17, 2, "latitude");
  set_var(18, 2, "longitude");
  int32_t s = open("mar.nc", 2);
  for (int r = 1; r <= 4; ++r) station(s, r);
  Out o = get("ELEV");
  ASSERT_EQ(o.status, MST_OK);
  // Lake Superior at 0 m takes the (flat) terrain; the Atlantic ship and
  // reported lake elevations stay.
  EXPECT_NEAR(o.obs[0], 200.0f, 1e-3);
  EXPECT_EQ(o.obs[1], 0.0f);
  EXPECT_EQ(o.obs[2], 183.0f);
  EXPECT_EQ(o.obs[3], 5.0f);
  EXPECT_EQ(o.qcd[0], 'Z');  // "Q" letter but no companions in the file
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);

  // Companions present: the elevation comes with the file's QC.
  const char* qc_cdl = R"(netcdf elev {
dimensions:
  recNum = UNLIMITED ;
variables:
  float elevation(recNum) ;
  int elevationQCA(recNum) ;
  int elevationQCR(recNum) ;
  char elevationDD(recNum) ;
data:
  elevation = 1609, 12 ;
  elevationQCA = 6, 126 ;
  elevationQCR = 0, 16 ;
  elevationDD = "CQ" ;
}
)";
  ASSERT_TRUE(testutil::ncgen(qc_cdl, *dir_ + "/elev.nc"));
  set_var(16, 1, "elevation", 'f', 'Q');
  int32_t m = open("elev.nc", 1);
  float v[4];
  char d[4];
  float qa[4], qr[4];
  int32_t st = -1;
  MSFCELEV(1, m, v, d, qa, qr, st);
  ASSERT_EQ(st, MST_OK);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  EXPECT_EQ(v[0], 1609.0f);
  EXPECT_EQ(v[1], 12.0f);
  EXPECT_EQ(d[0], 'C');
  EXPECT_EQ(d[1], 'Q');
  EXPECT_EQ(qa[1], 126.0f);
  EXPECT_EQ(qr[1], 16.0f);

  // Without latitude in the table the maritime call fails with the read's
  // status; a network without the elevation skips its file.
  VARTBL.NAMLEN[16][1] = 0;
  MSFCELEV(2, s, v, d, qa, qr, st);
  EXPECT_EQ(st, MST_NOT_IN_DATABASE);
  MSFCELEV(4, s, v, d, qa, qr, st);
  EXPECT_EQ(st, MST_NOT_IN_DATABASE);
}

}  // namespace

TEST_F(Dispatch, ClimateTemperatureWithoutArchiveIsReadDirectly) {
  // An HCN file with the ordinary temperature but no archive temperature:
  // the climate-network routine cannot serve it, the direct read does.
  set_var(8, 9, "temperature");
  const int32_t s = open("meso2.nc", 9);
  station(s, 2);
  station(s, 3);
  Out o = get("TT");
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(o.nobs, 2);
  EXPECT_EQ(o.obs[0], 301.0f);
  EXPECT_EQ(o.obs[1], 302.0f);
  EXPECT_EQ(o.qcd[0], 'Z');
  EXPECT_EQ(o.qca[1], 0);
}

namespace {

// One file that holds the inputs of several derivations; opened under
// different networks it must be routed by code and network.
const char* ROUTE_CDL = R"(netcdf route {
dimensions:
  recNum = UNLIMITED ;
variables:
  float snowDepth(recNum) ;
  float snowDepth6H(recNum) ;
  float snowDepth24H(recNum) ;
  float temperature(recNum) ;
  float archiveTemperature(recNum) ;
  float solarRadiation(recNum) ;
  float precip1Hour(recNum) ;
data:
  snowDepth = 0.25 ;
  snowDepth6H = _ ;
  snowDepth24H = 500 ;
  temperature = 280 ;
  archiveTemperature = 281.5 ;
  solarRadiation = 100 ;
  precip1Hour = 0.0036 ;
}
)";

TEST_F(Dispatch, RoutingFollowsCodeAndNetwork) {
  ASSERT_TRUE(testutil::ncgen(ROUTE_CDL, *dir_ + "/route.nc"));
  VCNTBL.VCN_COUNT[0] = 0;
  add_code("DSRD24H", 132);
  add_code("DSRDLCM", 137);
  add_code("PCPRATE", 39);
  add_code("SNOWD", 73);
  add_code("TT", 8);
  for (int32_t n = 1; n <= 10; ++n) {
    set_var(8, n, "temperature");
    set_var(39, n, "precip1Hour");
    set_var(132, n, "solarRadiation");
    set_var(137, n, "solarRadiation");
  }
  set_var(73, 4, "snowDepth");
  set_var(73, 5, "snowDepth24H");
  // One station in each of the networks METAR, MESONET, COOP, HCN, CRN.
  const int32_t nets[] = {1, 4, 5, 9, 10};
  for (int32_t n : nets) station(open("route.nc", n), 1);

  // Snow depth: MESONET reads its own variable, COOP derives it from the
  // 6- and 24-hour depths in mm.
  Out o = get("SNOWD");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[1], 0.25f);
  EXPECT_EQ(o.obs[2], 0.5f);
  EXPECT_EQ(o.obs[0], 999999.0f);

  // Temperature: the archive value only for the climate networks.
  o = get("TT");
  ASSERT_EQ(o.status, MST_OK);
  const float temp[] = {280.0f, 280.0f, 280.0f, 281.5f, 281.5f};
  for (int j = 0; j < 5; ++j) EXPECT_EQ(o.obs[j], temp[j]) << nets[j];

  // Radiation: a COOP report is of one kind only; the others have no
  // provider in the table and deliver nothing.
  o = get("DSRDLCM");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.nobs, 1);
  EXPECT_EQ(o.obs[2], 100.0f);
  o = get("DSRD24H");
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);

  // Precipitation rate: hourly amounts (m, METAR; mm elsewhere) in mm/s.
  o = get("PCPRATE");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_FLOAT_EQ(o.obs[0], 0.001f);
  EXPECT_FLOAT_EQ(o.obs[3], 0.000001f);
}

TEST_F(Dispatch, OneDescriptorPerRecordServesEveryLevel) {
  const char* cdl = R"(netcdf lev {
dimensions:
  recNum = UNLIMITED ;
  lev = 6 ;
variables:
  float presWx(recNum, lev) ;
  int presWxQCA(recNum, lev) ;
  int presWxQCR(recNum, lev) ;
  char presWxDD(recNum) ;
data:
  presWx = 1,2,3,4,5,6, 11,12,13,14,15,16 ;
  presWxQCA = 1,1,1,1,1,1, 2,2,2,2,2,2 ;
  presWxQCR = 0,0,0,0,0,0, 0,0,0,0,0,0 ;
  presWxDD = "VS" ;
}
)";
  ASSERT_TRUE(testutil::ncgen(cdl, *dir_ + "/lev.nc"));
  set_var(44, 4, "presWx", 'f', 'Q');
  const int32_t m = open("lev.nc", 4);
  station(m, 2);
  station(m, 1);
  Out o = get("PWX");
  ASSERT_EQ(o.status, MST_OK);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(o.obs[k], 11.0f + k) << k;
    EXPECT_EQ(o.qcd[k], 'S') << k;
    EXPECT_EQ(o.qca[k], 2) << k;
    EXPECT_EQ(o.qcd[6 + k], 'V') << k;
    EXPECT_EQ(o.qca[6 + k], 1) << k;
  }
}

}  // namespace

TEST_F(Dispatch, VariablesOfAnotherShapeAndOverflowingUnits) {
  // A value read for one level per record that the file stores with two,
  // or with QC companions of two per record, would put values on the wrong
  // stations: the read fails instead. A unit change that overflows gives no
  // value.
  ASSERT_TRUE(testutil::ncgen(R"(netcdf odd {
dimensions:
  recNum = UNLIMITED ;
  two = 2 ;
variables:
  float temperature(recNum, two) ;
  float relHumidity(recNum) ;
  float relHumidityQCA(recNum, two) ;
  float relHumidityQCR(recNum) ;
  char relHumidityDD(recNum, two) ;
  float gust(recNum) ;
data:
  temperature = 280, 281, 290, 291 ;
  relHumidity = 50, 60 ;
  relHumidityQCA = 1, 1, 1, 1 ;
  relHumidityQCR = 0, 0 ;
  relHumidityDD = "VV", "VV" ;
  gust = 1e37, 3 ;
}
)", *dir_ + "/odd.nc"));
  set_var(158, 4, "temperature");
  set_var(201, 4, "relHumidity", 'f', 'Q');
  set_var(6, 3, "gust");
  const int32_t m = open("odd.nc", 4);
  station(m, 1);
  station(m, 2);
  Out o = get("T");
  EXPECT_EQ(o.status, MST_NETCDF);
  EXPECT_EQ(o.nsta, 0);
  o = get("RHX");
  EXPECT_EQ(o.status, MST_NETCDF);

  const int32_t s = open("odd.nc", 3);
  station(s, 1);
  station(s, 2);
  o = get("GUST");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.obs[2], 999999.0f);  // 1e37 hPa in Pa is beyond a float
  EXPECT_EQ(o.obs[3], 300.0f);
}

// One value per station is written by each file's scatter only; every entry
// no scatter reaches must still come back missing, never as what the
// caller's arrays held before.
TEST_F(Dispatch, EntriesNoScatterReachesAreMissing) {
  set_var(270, 4, "temperature");
  int32_t m = open("meso.nc", 4);
  int32_t h = open("hfm.nc", 7);  // no name for this network
  station(m, 3);
  station(0, 1);       // no file slot
  station(h, 1);       // network without the variable
  station(m, 9);       // record beyond the file
  station(41, 1);      // slot out of range
  station(m, 1);
  auto missing_at = [](const Out& o, int j) {
    return o.obs[j] == 999999.0f && o.qcd[j] == 'Z' && o.qca[j] == 0 && o.qcr[j] == 0;
  };
  Out o = get("XDBL");
  ASSERT_EQ(o.status, MST_OK);
  EXPECT_EQ(o.nsta, 6);
  EXPECT_EQ(o.nobs, 2);
  EXPECT_EQ(o.obs[0], 280.25f);
  EXPECT_EQ(o.obs[5], 290.5f);
  for (int j : {1, 2, 3, 4}) EXPECT_TRUE(missing_at(o, j)) << j;

  // A call that fails on its second file: the first file's entries keep
  // their values, all others are missing.
  set_var(270, 7, "dbl", 'd');
  o = get("XDBL");
  EXPECT_EQ(o.status, MST_BAD_TYPE);
  EXPECT_EQ(o.obs[0], 280.25f);
  EXPECT_EQ(o.obs[5], 290.5f);
  for (int j : {1, 2, 3, 4}) EXPECT_TRUE(missing_at(o, j)) << j;

  // Nothing in any file: every entry missing, status 1005.
  set_var(270, 7, "");
  set_var(270, 4, "noSuchVariable");
  o = get("XDBL");
  EXPECT_EQ(o.status, MST_NOT_IN_DATABASE);
  for (int j = 0; j < 6; ++j) EXPECT_TRUE(missing_at(o, j)) << j;
}
