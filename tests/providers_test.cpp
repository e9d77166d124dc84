// Provider selection, provider numbering of data-file reports and the merge
// of the provider tables that mesonet files carry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "provtest_fixture.h"
#include "tables/tables.h"

namespace {

using voran::RMISS;

// The surface provider table as the installation lists it: places 1-6 and
// 31-35 fixed, mesonet providers at 7-30.
void standard_table() {
  pfix::clear_providers();
  const char* fixed[] = {"ASOS", "COOP", "OTHER-MTR", "SAO", "MARITIME", "ASOS-HFM"};
  for (const char* n : fixed) pfix::add_provider(n);
  for (int k = 7; k <= 30; ++k) pfix::add_provider("MESO" + std::to_string(k));
  const char* late[] = {"UrbaNet", "OTHER-HFM", "NEPP", "HCN", "CRN"};
  for (const char* n : late) pfix::add_provider(n);
}

class Selection : public ::testing::Test {
 protected:
  void SetUp() override {
    standard_table();
    VORANCOM2.DSINIT[0] = voran::INIT_MARK;
    for (bool& b : VORANCOM2.SRC_AVAIL) b = true;
    for (bool& b : VORANCOM2.SRC_SELECT) b = true;
    MCOM2.CURDSET = 0;
    MCOM2.MSGFLAG = false;
  }
  static void select(std::string_view name, bool on) {
    int32_t st = -1;
    MSETSFCPVDR(name, on, st);
    ASSERT_EQ(st, 0);
  }
  static std::string sources() {
    std::string s;
    for (bool b : VORANCOM2.SRC_SELECT) s += b ? '1' : '0';
    return s;
  }
  static bool sel(int k) { return PROVTBL.SUBSRC_SELECTED[0][k - 1]; }
};

TEST_F(Selection, DriverSequenceLeavesOnlyMesonet) {
  VORANCOM2.DSINIT[0] = 0;
  int32_t st = 0;
  MSETSFCPVDR("ALL-SFC", false, st);
  EXPECT_EQ(st, MST_NOT_INITIALIZED);
  EXPECT_EQ(sources(), "1111111111");
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;

  std::memcpy(VORANCOM1.LIST_TIME[0], "212372000", 9);
  select("ALL-SFC", false);
  EXPECT_EQ(std::string(VORANCOM1.LIST_TIME[0], 9), "         ");
  select("ALL-MESO", true);
  EXPECT_EQ(sources(), "0001000000");
  for (int k = 1; k <= 6; ++k) EXPECT_FALSE(sel(k)) << k;
  for (int k = 7; k <= 35; ++k) EXPECT_TRUE(sel(k)) << k;
  // A provider seen later is selected too.
  char names[20];
  voran::fset(names, 10, "NEWNET");
  voran::fset(names + 10, 10, "MESO9");
  int32_t num[2] = {0, 0};
  M_IDSUBSRC(2, names, num, st);
  EXPECT_EQ(num[0], 36);
  EXPECT_EQ(num[1], 9);
  EXPECT_TRUE(sel(36));
}

TEST_F(Selection, SingleNamesAndGroups) {
  select("ALL-SFC", false);
  select("ASOS", true);
  EXPECT_EQ(sources(), "1000000000");
  EXPECT_TRUE(sel(1));
  EXPECT_FALSE(sel(3));
  // Deselecting the last METAR provider switches METAR off in the
  // consistency pass.
  select("ASOS", false);
  EXPECT_EQ(sources(), "0000000000");

  select(std::string_view("ALL-HFMTR\0", 10), true);  // NUL-padded like a C field
  EXPECT_EQ(sources(), "0000001000");
  EXPECT_TRUE(sel(6));
  EXPECT_TRUE(sel(32));
  select("MARITIME", true);
  EXPECT_EQ(sources(), "0100001000");
  select("MARITIME", false);
  EXPECT_EQ(sources(), "0000001000");

  // A single-name deselection only deselects the provider number; sources
  // whose files this installation lacks are never selected.
  select("SAO", true);
  select("SAO", false);
  EXPECT_TRUE(VORANCOM2.SRC_SELECT[2]);
  EXPECT_FALSE(sel(4));
  VORANCOM2.SRC_AVAIL[5] = false;  // HCN
  select("HCN", true);
  EXPECT_FALSE(VORANCOM2.SRC_SELECT[8]);
}

TEST_F(Selection, UnknownNamesBecomeRequests) {
  select("ALL-SFC", false);
  // Group names are case-sensitive: this is a provider name.
  select("all-meso", true);
  EXPECT_EQ(sources(), "0001000000");
  ASSERT_EQ(PROVTBL.REQ_COUNT[0], 1);
  EXPECT_EQ(std::string(PROVTBL.REQ_NAME[0][0], 10), "all-meso  ");
  select("LATENET", true);
  // Only the first 10 characters of a name count.
  select("QUIETNET12345", false);
  char names[31] = "LATENET   QUIETNET12OTHERNET  ";
  int32_t num[3], st = -1;
  M_IDSUBSRC(3, names, num, st);
  EXPECT_EQ(num[2], 38);
  EXPECT_TRUE(sel(36));
  EXPECT_FALSE(sel(37));
  EXPECT_FALSE(sel(38));  // the default after ALL-SFC false

  // At most 100 requests are remembered.
  for (int i = PROVTBL.REQ_COUNT[0]; i < 110; ++i) select(testutil::numbered("R", i), false);
  EXPECT_EQ(PROVTBL.REQ_COUNT[0], 100);
  EXPECT_EQ(std::string(PROVTBL.REQ_NAME[0][99], 10), "R99       ");
}

TEST(ProviderNumbers, BlankNamesAndTheFullTable) {
  pfix::clear_providers();
  MCOM2.CURDSET = 0;
  char names[30];
  int32_t num[3] = {-1, -1, -1}, st = -1;
  // Into an empty table a blank name is entered as provider 1.
  voran::fset(names, 10, "");
  M_IDSUBSRC(1, names, num, st);
  EXPECT_EQ(num[0], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][0], 0);

  // Names from data files come NUL-padded; they match blank-padded table
  // names and are stored blank-padded.
  std::memcpy(names, "OKMESO\0\0\0\0", 10);
  std::memcpy(names + 10, "\0\0\0\0\0\0\0\0\0\0", 10);
  std::memcpy(names + 20, "OKMESO    ", 10);
  pfix::clear_providers();
  pfix::add_provider("ASOS");
  M_IDSUBSRC(3, names, num, st);
  EXPECT_EQ(num[0], 2);
  EXPECT_EQ(num[1], 0);
  EXPECT_EQ(num[2], 2);
  EXPECT_EQ(std::string(PROVTBL.SUBSRC_NAME[0][1], 10), "OKMESO    ");
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][1], 6);
  EXPECT_EQ(PROVTBL.SUBSRC_LISTED[0], 2);

  // Up to 99 real providers; the 100th place collects the rest.
  for (int k = 3; k <= 99; ++k) pfix::add_provider(testutil::numbered("P", k));
  voran::fset(names, 10, "LATE1");
  voran::fset(names + 10, 10, "LATE2");
  voran::fset(names + 20, 10, "P50");
  M_IDSUBSRC(3, names, num, st);
  EXPECT_EQ(num[0], 999);
  EXPECT_EQ(num[1], 999);
  EXPECT_EQ(num[2], 50);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 100);
  EXPECT_EQ(std::string(PROVTBL.SUBSRC_NAME[0][99], 10), "ALL ELSE  ");
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][99], 8);

  // Other datasets number in their own table; RAOB has none.
  MCOM2.CURDSET = 7;  // HYDRO: provider table 2
  M_IDSUBSRC(1, names, num, st);
  EXPECT_EQ(num[0], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[1], 1);
  MCOM2.CURDSET = 1;
  M_IDSUBSRC(1, names, num, st);
  EXPECT_EQ(num[0], 0);
  MCOM2.CURDSET = 0;
}

// A mesonet file's provider table: 6 entries of which numPST announces n.
std::string pst_file(const std::string& numpst, int maxpst, const std::string& names,
                     const std::string& types, const std::string& codes, bool with_code4 = true,
                     bool with_names = true) {
  std::string cdl = "netcdf t {\ndimensions:\n  recNum = UNLIMITED ;\n  maxPST = " +
                    std::to_string(maxpst) +
                    " ;\n  pstLen = 11 ;\nvariables:\n  float numPST ;\n"
                    "  int code1PST(maxPST) ;\n  int code2PST(maxPST) ;\n"
                    "  float code3PST(maxPST) ;\n" +
                    std::string(with_code4 ? "  int code4PST(maxPST) ;\n" : "") +
                    "  char typePST(maxPST) ;\n" +
                    std::string(with_names ? "  char namePST(maxPST, pstLen) ;\n" : "") +
                    "  float x(recNum) ;\ndata:\n numPST = " + numpst + " ;\n" + codes +
                    " typePST = " + types + " ;\n" +
                    (with_names ? " namePST = " + names + " ;\n" : "") + "}\n";
  return cdl;
}

class FileTable : public ::testing::Test {
 protected:
  void SetUp() override {
    pfix::clear_providers();
    pfix::add_provider("ASOS");
    pfix::add_provider("OKMESO", -1, 2, 0, 0);
    pfix::add_subtype("SNOWBIRD", 1, 3);
    MCOM2.CURDSET = 0;
    MCOM2.MSGFLAG = true;
    MCOM2.DBNUM = 1;
    VORANCOM2.DSINIT[0] = voran::INIT_MARK;
  }
  void TearDown() override { MCOM2.MSGFLAG = false; }
  // Merge the table of a file; the call is silent and keeps MSGFLAG.
  static void merge(const std::string& cdl) {
    std::string path = testutil::make_tmpdir() + "/pst.nc";
    ASSERT_TRUE(testutil::ncgen(cdl, path));
    int ncid = -1, recdim = -1;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
    nc_inq_unlimdim(ncid, &recdim);
    int32_t st = -1;
    testing::internal::CaptureStdout();
    M_UPDSRCIN(ncid, recdim, st);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(st, 0);
    EXPECT_TRUE(MCOM2.MSGFLAG);
    nc_close(ncid);
  }
  static const std::string codes6;
};

const std::string FileTable::codes6 =
    " code1PST = 1, 7, 6, 2, 9, 4 ;\n code2PST = 5, 8, 0, 4, 9, 4 ;\n"
    " code3PST = 0, 0, 0, 0, 9, 0 ;\n code4PST = 1, 1, 0, 0, 9, 0 ;\n";
const std::string NAMES6 = "\"OKMESO\", \"NEWPROV\", \"SNOWBIRD\", \"NEWSTN\", \"ODD\", \"EXTRA\"";

TEST_F(FileTable, MergesProvidersAndSubtypes) {
  int32_t st = -1;
  MSETSFCPVDR("NEWPROV", false, st);  // a request before the provider is known
  merge(pst_file("5.7", 6, NAMES6, "\"PPSSXP\"", codes6));
  // Known provider: all four codes refreshed.
  EXPECT_EQ(PROVTBL.SUBSRC_CODE1[0][1], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE2[0][1], 5);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE4[0][1], 1);
  // New provider: appended blank-padded, its selection from the request.
  ASSERT_EQ(PROVTBL.SUBSRC_COUNT[0], 3);
  EXPECT_EQ(std::string(PROVTBL.SUBSRC_NAME[0][2], 10), "NEWPROV   ");
  EXPECT_EQ(PROVTBL.SUBSRC_NAMLEN[0][2], 7);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE1[0][2], 7);
  EXPECT_FALSE(PROVTBL.SUBSRC_SELECTED[0][2]);
  // Subtypes: one refreshed, one appended; the entry of type X ignored and
  // the sixth entry lies beyond the announced count.
  EXPECT_EQ(PROVTBL.SUBTYPE_CODE1[0][0], 6);
  EXPECT_EQ(PROVTBL.SUBTYPE_CODE2[0][0], 0);
  ASSERT_EQ(PROVTBL.SUBTYPE_COUNT[0], 2);
  EXPECT_EQ(std::string(PROVTBL.SUBTYPE_NAME[0][1], 11), "NEWSTN     ");
  EXPECT_EQ(PROVTBL.SUBTYPE_CODE2[0][1], 4);
  EXPECT_EQ(PROVTBL.SUBSRC_LISTED[0], 3);
  EXPECT_EQ(PROVTBL.SUBTYPE_LISTED[0], 2);

  // A second merge of the same table changes nothing.
  merge(pst_file("5", 6, NAMES6, "\"PPSSXP\"", codes6));
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 3);
  EXPECT_EQ(PROVTBL.SUBTYPE_COUNT[0], 2);
}

TEST_F(FileTable, NeverTrustsTheAnnouncedCount) {
  // More announced than the arrays hold: only what is present is taken.
  merge(pst_file("1.e9", 2, "\"AAA\", \"BBB\"", "\"PP\"",
                 " code1PST = 1, 2 ;\n code2PST = 0, 0 ;\n code3PST = 0, 0 ;\n"
                 " code4PST = 0, 0 ;\n"));
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 4);
  // NaN, negative, zero and missing counts take nothing.
  for (const char* n : {"NaNf", "-3", "0", "_"}) {
    merge(pst_file(n, 6, NAMES6, "\"PPSSXP\"", codes6));
    EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 4) << n;
    EXPECT_EQ(PROVTBL.SUBTYPE_COUNT[0], 1) << n;
  }
  // A NaN code is stored as 0, never converted blindly.
  merge(pst_file("1", 1, "\"NANPROV\"", "\"P\"",
                 " code1PST = 3 ;\n code2PST = 1 ;\n code3PST = NaNf ;\n code4PST = 0 ;\n"));
  ASSERT_EQ(PROVTBL.SUBSRC_COUNT[0], 5);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE3[0][4], 0);
  // Without code4PST the fourth code is 0; without names nothing changes.
  merge(pst_file("1", 1, "\"NOCODE4\"", "\"P\"",
                 " code1PST = 3 ;\n code2PST = 1 ;\n code3PST = 0 ;\n", false));
  ASSERT_EQ(PROVTBL.SUBSRC_COUNT[0], 6);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE4[0][5], 0);
  merge(pst_file("6", 6, "", "\"PPSSXP\"", codes6, true, false));
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], 6);
  // The tables never grow past their sizes.
  while (PROVTBL.SUBSRC_COUNT[0] < voran::NPROV) pfix::add_provider("X");
  merge(pst_file("2", 2, "\"FULL1\", \"OKMESO\"", "\"PP\"",
                 " code1PST = 1, 3 ;\n code2PST = 0, 3 ;\n code3PST = 0, 0 ;\n"
                 " code4PST = 0, 0 ;\n"));
  EXPECT_EQ(PROVTBL.SUBSRC_COUNT[0], voran::NPROV);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE1[0][1], 3);
}

// The whole path of a mesonet file: selection, station list (provider
// numbering and the file's provider table), then precipitation and
// radiation by provider codes.
class MesonetFlow : public ::testing::Test {
 protected:
  static constexpr const char* CDL = R"(netcdf m {
dimensions:
  recNum = UNLIMITED ; idLen = 6 ; provLen = 11 ; nameLen = 51 ; qcl = 1 ;
  maxPST = 3 ; pstLen = 11 ;
variables:
  char stationId(recNum, idLen) ; char dataProvider(recNum, provLen) ;
  char stationName(recNum, nameLen) ;
  int wmoId(recNum) ; wmoId:_FillValue = -2147483647 ;
  float latitude(recNum) ; latitude:_FillValue = 3.e36f ;
  float longitude(recNum) ; longitude:_FillValue = 3.e36f ;
  float elevation(recNum) ; elevation:_FillValue = 3.e36f ;
  double observationTime(recNum) ; observationTime:_FillValue = 3.4e38 ;
  double reportTime(recNum) ; reportTime:_FillValue = 3.4e38 ;
  double receivedTime(recNum) ; receivedTime:_FillValue = 3.4e38 ;
  float precipAccum(recNum) ; precipAccum:_FillValue = 3.e36f ;
  float solarRadiation(recNum) ; solarRadiation:_FillValue = 3.e36f ;
  int numPST ; char typePST(maxPST) ; char namePST(maxPST, pstLen) ;
  int code1PST(maxPST) ; int code2PST(maxPST) ; int code3PST(maxPST) ; int code4PST(maxPST) ;
data:
  stationId = "KS001", "KS002", "KS003", "KS004" ;
  dataProvider = "OKMESO", "NEWNET", "APRSWXNET", "DEOS" ;
  stationName = "A", "B", "C", "D" ;
  wmoId = _, _, _, _ ;
  latitude = 35, 36, 37, 38 ;
  longitude = -97, -98, -99, -75 ;
  elevation = 300, 310, 320, 10 ;
  observationTime = 1629921900, 1629921900, 1629921900, 1629921900 ;
  reportTime = _, _, _, _ ;
  receivedTime = 1629922000, 1629922000, 1629922000, 1629922000 ;
  precipAccum = 5, 2, 10, 4 ;
  solarRadiation = 100, 200, 300, 400 ;
  numPST = 2 ; typePST = "PPP" ; namePST = "NEWNET", "OKMESO", "IGNORED" ;
  code1PST = 1, -1, 0 ; code2PST = 7, 2, 0 ; code3PST = 0, 0, 0 ; code4PST = 0, 0, 0 ;
}
)";
  void SetUp() override {
    std::string data = testutil::make_tmpdir();
    ASSERT_TRUE(testutil::ncgen(CDL, data + "/KORB/mesonet/netCDF/20210825_2000"));
    setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
    setenv("VORAN_DATA", data.c_str(), 1);
    unsetenv("VORAN_SERVER");
    int32_t st = -1;
    MINIT("SFC", "ZEM", true, st);
    ASSERT_EQ(st, 0);
  }
  // One variable for the listed stations; 999999 marks missing values.
  static std::vector<float> get(std::string_view name) {
    int32_t nsta = 0, nobs = 0, st = -1;
    static float obs[8];
    static char qcd[8];
    static int32_t qca[8], qcr[8];
    MGETSFC("212372000", name, nsta, nobs, obs, qcd, qca, qcr, st);
    EXPECT_TRUE(st == 0 || st == MST_NOT_IN_DATABASE) << name << " " << st;
    return std::vector<float>(obs, obs + nsta);
  }
};

TEST_F(MesonetFlow, ProvidersDecideWhatIsListedAndDelivered) {
  // Messages are on: an optional variable missing from the file is no error.
  testing::internal::CaptureStdout();
  int32_t st = -1;
  MSETSFCPVDR("ALL-SFC", false, st);
  MSETSFCPVDR("ALL-MESO", true, st);
  MSETSFCPVDR("DEOS", false, st);
  ASSERT_EQ(st, 0);
  int32_t nsta = 0;
  static char stid[8 * 10], obstime[8 * 9], prov[8 * 10];
  static int32_t wmo[8], source[8];
  static float lat[8], lon[8], elev[8];
  MSFCSTA("212372000", nsta, stid, wmo, lat, lon, elev, obstime, prov, st, source);
  ASSERT_EQ(st, 0);
  // DEOS is deselected; the new provider is appended after the listed ones.
  ASSERT_EQ(nsta, 3);
  EXPECT_EQ(std::string(stid, 5), "KS001");
  EXPECT_EQ(source[0], 4);
  EXPECT_EQ(std::string(prov + 10, 10), "NEWNET    ");
  int newnet = PROVTBL.SUBSRC_COUNT[0];
  EXPECT_EQ(std::string(PROVTBL.SUBSRC_NAME[0][newnet - 1], 10), "NEWNET    ");
  // The file's table gave NEWNET hourly precipitation and radiation kind 7.
  EXPECT_EQ(PROVTBL.SUBSRC_CODE1[0][newnet - 1], 1);
  EXPECT_EQ(PROVTBL.SUBSRC_CODE2[0][newnet - 1], 7);

  std::vector<float> v = get("PCP1H");
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0], RMISS);
  EXPECT_NEAR(v[1], 0.002, 1e-9);
  EXPECT_EQ(v[2], RMISS);
  v = get("PCPUTCM");
  EXPECT_NEAR(v[0], 0.005, 1e-9);
  v = get("PCP24H");
  EXPECT_NEAR(v[2], 0.010, 1e-9);
  EXPECT_EQ(v[1], RMISS);
  v = get("DSRD24H");
  EXPECT_EQ(v[1], 200.0f);
  EXPECT_EQ(v[0], RMISS);
  v = get("FSRD15M");  // OKMESO's kind 2
  EXPECT_EQ(v[0], 100.0f);
  EXPECT_EQ(v[2], RMISS);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  MCOM2.MSGFLAG = false;
}

}  // namespace
