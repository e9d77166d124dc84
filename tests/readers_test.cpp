#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"
#include "testutil.h"

namespace {

constexpr float MISS = 999999.0f;

const char* OBS_CDL = R"(netcdf obs {
dimensions:
  recNum = UNLIMITED ;
  level = 3 ;
  len = 6 ;
  fixed = 4 ;
variables:
  float tf(recNum) ;
    tf:_FillValue = 3.0e36f ;
  float tm(recNum) ;
    tm:_FillValue = 3.0e36f ;
    tm:missing_value = -9999.f ;
  float tdbl(recNum) ;
    tdbl:missing_value = -9999.5 ;
  float tnone(recNum) ;
  short s(recNum) ;
  short smv(recNum) ;
    smv:missing_value = -9999s ;
  short sint(recNum) ;
    sint:missing_value = 65535 ;
  int i(recNum) ;
  int imv(recNum) ;
    imv:missing_value = 10.7 ;
  int ifill(recNum) ;
    ifill:_FillValue = -1 ;
  byte b(recNum) ;
    b:_FillValue = -1b ;
    b:missing_value = 200 ;
  float lev(recNum, level) ;
  char name(recNum, len) ;
  char label(len) ;
  float fixedv(fixed) ;
  double d(recNum) ;
  float big(recNum) ;
  float nanv(recNum) ;
    nanv:_FillValue = NaNf ;
data:
  tf = 1.5, 3.0e36, -999, _ ;
  tm = -9999, -999, 2, _ ;
  tdbl = -9999.5, -999, -9999, 4 ;
  tnone = 1, _, -999, 3e36 ;
  s = -999, 5, _, -32768 ;
  smv = -999, -9999, 7, 8 ;
  sint = -1, 1, -999, 0 ;
  i = -99999, -999, 12, _ ;
  imv = 10, 11, -999, -1 ;
  ifill = -1, 2, -2147483647, 3 ;
  b = -1, -56, -127, 100 ;
  lev = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ;
  name = "KDEN", "KBOU12", "", "X" ;
  label = "ABC" ;
  fixedv = 1, 2, 3, 4 ;
  d = 1, 2, 3, 4 ;
  big = 3.4028235e38, 99999, -99999, -1 ;
  nanv = NaNf, 1, 2, 3 ;
}
)";

// Levels stored with the record dimension second (possible only in netCDF-4).
const char* SHAPE_CDL = R"(netcdf shape {
dimensions:
  recNum = UNLIMITED ;
  level = 2 ;
variables:
  float v(level, recNum) ;
  float ok(recNum, level) ;
// global attributes:
  :_Format = "netCDF-4" ;
data:
  v = {1, 2}, {3, 4} ;
  ok = 1, 2, 3, 4 ;
}
)";

const char* EMPTY_CDL = R"(netcdf empty {
dimensions:
  recNum = UNLIMITED ;
  len = 5 ;
variables:
  float t(recNum) ;
  char id(recNum, len) ;
}
)";

std::string sounding_cdl() {
  std::string c =
      "netcdf snd {\ndimensions:\n recNum = UNLIMITED ;\n l50 = 50 ;\n l40 = 40 ;\n"
      "variables:\n float temperature(recNum, l50) ;\n float dewpoint(recNum, l50) ;\n"
      " float pressure(recNum, l40) ;\n float staLon(recNum) ;\ndata:\n";
  auto var = [&c](const char* name, int nlev) {
    c += std::string(" ") + name + " = ";
    for (int r = 0; r < 3; ++r)
      for (int l = 0; l < nlev; ++l)
        c += std::to_string(r * 100 + l) + ((r == 2 && l == nlev - 1) ? " ;\n" : ", ");
  };
  var("temperature", 50);
  var("dewpoint", 50);
  var("pressure", 40);
  c += " staLon = -105, -104.5, -103 ;\n}\n";
  return c;
}

class Readers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = testutil::make_tmpdir();
    ASSERT_TRUE(testutil::ncgen(OBS_CDL, dir_ + "/obs.nc"));
    ASSERT_TRUE(testutil::ncgen(SHAPE_CDL, dir_ + "/shape.nc"));
    ASSERT_TRUE(testutil::ncgen(EMPTY_CDL, dir_ + "/empty.nc"));
    ASSERT_TRUE(testutil::ncgen(sounding_cdl(), dir_ + "/snd.nc"));
  }

  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

  void SetUp() override {
    MCOM2.MSGFLAG = true;
    MCOM2.DBNUM = 1;
    MCOM2.CURDSET = 0;
    MCOM2.XMISS1 = -99999.0f;
    MCOM2.XMISS2 = 3.4028235e38f;
  }
  void TearDown() override {
    for (int id : open_) nc_close(id);
    open_.clear();
  }

  int open(const char* file, int& recdim) {
    int id = -1;
    EXPECT_EQ(nc_open((dir_ + "/" + file).c_str(), NC_NOWRITE, &id), NC_NOERR);
    nc_inq_unlimdim(id, &recdim);
    open_.push_back(id);
    return id;
  }

  // Reads name for records [r0, r0 + n) through MRDNUM1 with a private work
  // buffer; status and output in the members.
  std::vector<float> rd(int ncid, int recdim, const char* name, int r0 = 1, int n = 4,
                        int nmax = 64) {
    std::vector<float> v(static_cast<size_t>(nmax) + 4, -12345.0f);
    std::vector<int32_t> work(static_cast<size_t>(nmax) + 4);
    MRDNUM1(name, ncid, recdim, r0, n, MISS, v.data(), nmax, work.data(), nvals_, status_);
    v.resize(static_cast<size_t>(nvals_));
    return v;
  }

  static std::string dir_;
  std::vector<int> open_;
  int32_t nvals_ = -1, status_ = -1;
};
std::string Readers::dir_;

using V = std::vector<float>;

TEST_F(Readers, FileMarkersBecomeMissing) {
  int rd_ = 0;
  int id = open("obs.nc", rd_);
  // _FillValue only: -999 is data.
  EXPECT_EQ(rd(id, rd_, "tf"), (V{1.5f, MISS, -999.0f, MISS}));
  EXPECT_EQ(status_, 0);
  EXPECT_EQ(nvals_, 4);
  // missing_value present: it and -999 are markers.
  EXPECT_EQ(rd(id, rd_, "tm"), (V{MISS, MISS, 2.0f, MISS}));
  // A double missing_value on a float variable is rounded to float.
  EXPECT_EQ(rd(id, rd_, "tdbl"), (V{MISS, MISS, -9999.0f, 4.0f}));
  // No attributes: unwritten values (the type's default fill) are missing,
  // other values are data.
  EXPECT_EQ(rd(id, rd_, "tnone"), (V{1.0f, MISS, -999.0f, 3e36f}));
  EXPECT_EQ(rd(id, rd_, "s"), (V{-999.0f, 5.0f, MISS, -32768.0f}));
  EXPECT_EQ(rd(id, rd_, "smv"), (V{MISS, MISS, 7.0f, 8.0f}));
  // An int missing_value keeps the low 16 bits on a short variable.
  EXPECT_EQ(rd(id, rd_, "sint"), (V{MISS, 1.0f, MISS, 0.0f}));
  // A double missing_value is truncated on an int variable.
  EXPECT_EQ(rd(id, rd_, "imv"), (V{MISS, 11.0f, MISS, -1.0f}));
  // An explicit fill replaces the default one.
  EXPECT_EQ(rd(id, rd_, "ifill"), (V{MISS, 2.0f, -2147483647.0f, 3.0f}));
  // Bytes: fill and missing_value (200 is -56 in a byte); -127 is data.
  EXPECT_EQ(rd(id, rd_, "b"), (V{MISS, MISS, -127.0f, 100.0f}));
  // NaN is never a value, with or without a NaN fill value.
  EXPECT_EQ(rd(id, rd_, "nanv"), (V{MISS, 1.0f, 2.0f, 3.0f}));

  // Database sentinels. Database 1: XMISS2 on reals only.
  MCOM2.XMISS2 = 99999.0f;
  EXPECT_EQ(rd(id, rd_, "big"), (V{3.4028235e38f, MISS, -99999.0f, -1.0f}));
  EXPECT_EQ(rd(id, rd_, "i"), (V{-99999.0f, -999.0f, 12.0f, MISS}));
  // Database 2: -99999 on ints and reals, XMISS1 on ints.
  MCOM2.DBNUM = 2;
  MCOM2.XMISS1 = -1.0f;
  EXPECT_EQ(rd(id, rd_, "big"), (V{3.4028235e38f, 99999.0f, MISS, -1.0f}));
  EXPECT_EQ(rd(id, rd_, "i"), (V{MISS, -999.0f, 12.0f, MISS}));
  EXPECT_EQ(rd(id, rd_, "imv"), (V{MISS, 11.0f, MISS, MISS}));
  // No database chosen: neither.
  MCOM2.DBNUM = 0;
  EXPECT_EQ(rd(id, rd_, "big"), (V{3.4028235e38f, 99999.0f, -99999.0f, -1.0f}));
}

TEST_F(Readers, RecordRangesShapesAndCapacity) {
  int rd_ = 0;
  int id = open("obs.nc", rd_);
  EXPECT_EQ(rd(id, rd_, "lev", 2, 2), (V{4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(rd(id, rd_, "tf", 4, 1), (V{MISS}));
  EXPECT_EQ(rd(id, rd_, "tf", 3, 0), V{});
  EXPECT_EQ(status_, 0);
  // Not a record variable: read whole whatever the range.
  EXPECT_EQ(rd(id, rd_, "fixedv", 3, 99), (V{1, 2, 3, 4}));
  EXPECT_EQ(status_, 0);

  // Capacity: exactly full succeeds; one short is refused before the read.
  EXPECT_EQ(rd(id, rd_, "lev", 1, 4, 12).size(), 12u);
  EXPECT_EQ(status_, 0);
  std::vector<float> v(16, -5.0f);
  std::vector<int32_t> work(16, 77);
  testing::internal::CaptureStdout();
  MRDNUM1("lev", id, rd_, 1, 4, MISS, v.data(), 11, work.data(), nvals_, status_);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status_, 4001);
  EXPECT_EQ(nvals_, 0);
  EXPECT_EQ(out, " MRDNUM1: EXCEEDED INTERNAL ARRAY SIZE - lev\n");
  EXPECT_EQ(v[0], -5.0f);
  EXPECT_EQ(work[0], 77);

  // Records outside the file.
  testing::internal::CaptureStdout();
  rd(id, rd_, "tf", 4, 2);
  EXPECT_EQ(status_, 2001);
  rd(id, rd_, "tf", 0, 1);
  EXPECT_EQ(status_, 2001);
  rd(id, rd_, "tf", 1, -1);
  EXPECT_EQ(status_, 2001);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" MRDNUM1: BAD NCVGT - tf\n"), std::string::npos) << out;

  // The values may share storage with the work buffer (short widened in place).
  std::vector<float> shared(8, 0.0f);
  MRDNUM1("s", id, rd_, 1, 4, MISS, shared.data(), 8, shared.data(), nvals_, status_);
  EXPECT_EQ(status_, 0);
  EXPECT_EQ(V(shared.begin(), shared.begin() + 4), (V{-999.0f, 5.0f, MISS, -32768.0f}));

  // Record dimension not first: refused.
  int rs = 0;
  int sid = open("shape.nc", rs);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(rd(sid, rs, "v", 1, 2).empty());
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status_, 2001);
  EXPECT_EQ(out, " MRDNUM1: BAD NCDINQ - v\n");
  EXPECT_EQ(rd(sid, rs, "ok", 2, 1), (V{3, 4}));

  // A file without records.
  int re = 0;
  int eid = open("empty.nc", re);
  EXPECT_TRUE(rd(eid, re, "t", 1, 0).empty());
  EXPECT_EQ(status_, 0);
  char cb[8];
  int32_t nchar = -1;
  MRDCHR("id", eid, re, 1, 0, cb, sizeof cb, nchar, status_);
  EXPECT_EQ(status_, 0);
  EXPECT_EQ(nchar, 5);
}

TEST_F(Readers, TypesAbsenceAndMessages) {
  int rd_ = 0;
  int id = open("obs.nc", rd_);
  testing::internal::CaptureStdout();
  rd(id, rd_, "d");
  EXPECT_EQ(status_, 2001);
  rd(id, rd_, "name");
  EXPECT_EQ(status_, 2001);
  rd(id, rd_, "TD");
  EXPECT_EQ(status_, 1005);
  rd(id, rd_, "temperatureQCR   ");
  EXPECT_EQ(status_, 1005);
  rd(id, rd_, "QCA");
  EXPECT_EQ(status_, 1005);
  rd(id, rd_, std::string("tf\0x", 4).c_str());
  EXPECT_EQ(status_, 0) << "a C string ends at its NUL";
  std::vector<float> v(8);
  std::vector<int32_t> work(8);
  MRDNUM1(std::string_view("tf\0x", 4), id, rd_, 1, 4, MISS, v.data(), 8, work.data(), nvals_,
          status_);
  EXPECT_EQ(status_, 1005) << "a field with a NUL inside names no variable";
  rd(id, -1, "tf", 1, 4, 64);
  EXPECT_EQ(status_, 0) << "without a record dimension the variable is read whole";
  rd(id + 1000, rd_, "tf");
  EXPECT_EQ(status_, 2001);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            " MRDNUM1: BAD VARIABLE TYPE d\n"
            " MRDNUM1: BAD VARIABLE TYPE name\n"
            " MRDNUM1: VARIABLE NOT IN SELECTED DATABASE\n"
            " MRDNUM1: VARIABLE NOT IN SELECTED DATABASE\n"
            " MRDNUM1: VARIABLE NOT IN SELECTED DATABASE\n"
            " MRDNUM1: BAD NCVID - tf\n");

  MCOM2.MSGFLAG = false;
  testing::internal::CaptureStdout();
  rd(id, rd_, "TD");
  EXPECT_EQ(status_, 1005);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(Readers, CharacterVariables) {
  int rd_ = 0;
  int id = open("obs.nc", rd_);
  char cb[32];
  std::memset(cb, '#', sizeof cb);
  int32_t nchar = -1, st = -1;
  MRDCHR("name", id, rd_, 2, 3, cb, 18, nchar, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(nchar, 6);
  EXPECT_EQ(std::string(cb, 19), std::string("KBOU12\0\0\0\0\0\0X\0\0\0\0\0#", 19));
  EXPECT_TRUE(voran::feq_nul({cb + 12, 6}, "X"));

  // Not a record variable: read whole, characters per record unchanged.
  nchar = 42;
  MRDCHR("label", id, rd_, 1, 4, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(nchar, 42);
  EXPECT_EQ(std::string(cb, 3), "ABC");

  testing::internal::CaptureStdout();
  std::memset(cb, '#', sizeof cb);
  MRDCHR("name", id, rd_, 1, 4, cb, 23, nchar, st);
  EXPECT_EQ(st, 4001);
  EXPECT_EQ(cb[0], '#');
  MRDCHR("nameDD", id, rd_, 1, 4, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 1005);
  MRDCHR("nameQCA", id, rd_, 1, 4, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 1005);
  MRDCHR("tf", id, rd_, 1, 4, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 2001);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            " MRDCHR: EXCEEDED INTERNAL ARRAY SIZE - name\n"
            " MRDCHR: VARIABLE NOT IN SELECTED DATABASE\n"
            " MRDCHR: BAD NCVGTC - tf\n");
}

TEST_F(Readers, FetchLayerAndSoundingCompaction) {
  int rd_ = 0;
  int id = open("snd.nc", rd_);
  static float v[NWORK];
  int32_t st = -1;

  // Database 2 satellite soundings: 50 levels per record become 40.
  MCOM2.DBNUM = 2;
  MCOM2.CURDSET = 10;
  MGTNUM("temperature", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 0);
  for (int r = 0; r < 3; ++r)
    for (int l = 0; l < 40; ++l) ASSERT_EQ(v[40 * r + l], float(100 * r + l)) << r << " " << l;
  for (int k = 120; k < 150; ++k) ASSERT_EQ(v[k], MISS) << k;
  MRDNUM("temperature", id, rd_, 2, 1, MISS, v, st);
  EXPECT_EQ(v[39], 139.0f);
  EXPECT_EQ(v[40], MISS);
  // Other names, and data already 40 levels deep, are left as read.
  MGTNUM("dewpoint", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(v[40], 40.0f);
  EXPECT_EQ(v[50], 100.0f);
  MGTNUM("pressure", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(v[40], 100.0f);
  EXPECT_EQ(v[119], 239.0f);
  // Database 1: no compaction.
  MCOM2.DBNUM = 1;
  MGTNUM("temperature", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(v[40], 40.0f);

  // Surface dataset: an absent variable is 1005.
  MCOM2.CURDSET = 0;
  MCOM2.MSGFLAG = false;
  MGTNUM("TD", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 1005);
  char cb[16];
  int32_t nchar = 0;
  MGTCHR("TD", id, rd_, 1, 3, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 1005);

  // Radiosonde dataset: no sounding store is held, so its names are 1005;
  // names outside the tables 4002; station longitude comes from the file
  // (records r1..r2).
  MCOM2.CURDSET = 1;
  MCOM2.MSGFLAG = true;
  testing::internal::CaptureStdout();
  MGTNUM("windSpeedQCR", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 1005);
  MGTNUM("numLev", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 1005);
  MGTNUM("press", id, rd_, 1, 3, MISS, v, st);
  EXPECT_EQ(st, 4002);
  MGTNUM("staLon", id, rd_, 2, 3, MISS, v, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(v[0], -104.5f);
  EXPECT_EQ(v[1], -103.0f);
  MGTCHR("windDirDD", id, rd_, 1, 3, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 1005);
  MGTCHR("windDir", id, rd_, 1, 3, cb, sizeof cb, nchar, st);
  EXPECT_EQ(st, 4002);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            " MRAOBNUM: INTV - INVALID RAOB VARIABLE\n"
            " MRAOBCHR: INTV - INVALID RAOB VARIABLE\n");
  MCOM2.CURDSET = 0;
}

}  // namespace
