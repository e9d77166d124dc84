// Archive temperature, pressure change, COOP snow depth and road freezing
// temperature, each run on a small file in slot 1 of the open-file table.

#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/core.h"
#include "testutil.h"
#include "variables/variables.h"

namespace {

constexpr float M = 999999.0f;

class SmallDerivationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    std::memset(&VARTBL, 0, sizeof VARTBL);
    MCOM2.MSGFLAG = false;
    MCOM2.CURDSET = 0;
    MCOM2.DBNUM = 1;
    MCOM2.XMISS1 = -99999.0f;
    MCOM2.XMISS2 = 3.4028235e38f;
    val_.assign(64, -1.0f);
    qcd_.assign(64, '?');
    qca_.assign(64, -1.0f);
    qcr_.assign(64, -1.0f);
  }
  void TearDown() override {
    if (ncid_ >= 0) nc_close(ncid_);
    SFCSTRN.FILE_NCID[0] = -1;
  }

  // Variable code's name and QC letter for a network.
  static void table(int32_t code, int32_t dset, const char* name, char qc) {
    VARTBL.NAMLEN[code - 1][dset - 1] = static_cast<int32_t>(std::strlen(name));
    voran::fset(VARTBL.NCNAME[code - 1][dset - 1], 24, name);
    VARTBL.NCTYPE[code - 1][dset - 1] = 'f';
    VARTBL.QCFLAG[code - 1][dset - 1] = qc;
  }

  // A file of the given variables (CDL declarations and data sections),
  // opened into slot 1 for network dset.
  void open(int32_t dset, const std::string& decls, const std::string& data) {
    if (ncid_ >= 0) nc_close(ncid_);
    ncid_ = -1;
    const std::string path = dir_ + "/f" + std::to_string(++nfiles_) + ".nc";
    const std::string cdl = "netcdf f {\ndimensions:\n recNum = UNLIMITED ;\n"
                            "variables:\n" + decls + "data:\n" + data + "}\n";
    ASSERT_TRUE(testutil::ncgen(cdl, path)) << cdl;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid_), NC_NOERR);
    int recdim = -1;
    size_t nrec = 0;
    ASSERT_EQ(nc_inq_unlimdim(ncid_, &recdim), NC_NOERR);
    ASSERT_EQ(nc_inq_dimlen(ncid_, recdim, &nrec), NC_NOERR);
    SFCSTRN.FILE_NCID[0] = ncid_;
    SFCSTRN.FILE_RECDIM[0] = recdim;
    SFCSTRN.FILE_NREC[0] = static_cast<int32_t>(nrec);
    SFCSTRN.FILE_DSET[0] = dset;
    nrec_ = static_cast<int>(nrec);
  }

  // A float variable with fill -9999 and its QC companions.
  static std::string fvar(const std::string& name, bool qc = true) {
    std::string s = " float " + name + "(recNum) ;\n  " + name + ":_FillValue = -9999.f ;\n";
    if (qc) {
      s += " int " + name + "QCA(recNum) ;\n int " + name + "QCR(recNum) ;\n char " + name +
           "DD(recNum) ;\n";
    }
    return s;
  }

  void expect(const std::vector<float>& want, const std::string& desc) {
    ASSERT_EQ(static_cast<int>(want.size()), nrec_);
    for (int i = 0; i < nrec_; ++i) {
      EXPECT_FLOAT_EQ(val_[i], want[i]) << "record " << i + 1;
      EXPECT_EQ(qcd_[i], desc[i]) << "record " << i + 1;
    }
  }

  std::string dir_;
  int ncid_ = -1;
  int nfiles_ = 0;
  int nrec_ = 0;
  std::vector<float> val_, qca_, qcr_;
  std::vector<char> qcd_;
  int32_t st_ = -1;
};

// ---- pressure change ----

TEST_F(SmallDerivationsTest, PressureChangeTakesItsSignFromTheCharacteristic) {
  table(4, 1, "pressChange3Hour", 'Q');
  table(5, 1, "pressChangeChar", ' ');
  open(1, fvar("pressChange3Hour") + fvar("pressChangeChar", false),
       " pressChange3Hour = 150, 150, 150, 150, _, 150, 80 ;\n"
       " pressChange3HourQCA = 6, 6, 6, 6, 6, 6, 6 ;\n"
       " pressChange3HourQCR = 0, 0, 2, 0, 0, 0, 0 ;\n"
       " pressChange3HourDD = \"SSXSZSV\" ;\n"
       " pressChangeChar = 7, 2, 4, 5, 8, _, 0 ;\n");
  VORANCOM2.QC_SOURCE = 0;
  MSFCPCHG(4, 1, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({-150, 150, 150, -150, M, 150, 80}, "SSXSZSV");
  EXPECT_EQ(qca_[0], 6.0f);
  EXPECT_EQ(qcr_[2], 2.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
}

TEST_F(SmallDerivationsTest, PressureChangeOfSaoFilesInPascals) {
  table(4, 3, "pressChange3Hour", 'Q');
  table(5, 3, "pressChangeChar", ' ');
  // No QCA variable: the values come without QC. A corrupt amount too large
  // to convert to Pa is missing, not infinite.
  open(3, fvar("pressChange3Hour", false) + fvar("pressChangeChar", false),
       " pressChange3Hour = 1.5, 2, _, 5.e36 ;\n pressChangeChar = 8, 1, 6, 8 ;\n");
  MSFCPCHG(4, 3, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({-150, 200, M, M}, "ZZZZ");
  EXPECT_EQ(qca_[0], 0.0f);
  EXPECT_EQ(qcr_[0], 0.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
}

TEST_F(SmallDerivationsTest, PressureChangeNeedsAmountAndCharacteristic) {
  table(4, 1, "pressChange3Hour", ' ');
  table(5, 1, "pressChangeChar", ' ');
  open(1, fvar("pressChange3Hour", false), " pressChange3Hour = 150, 120 ;\n");
  MSFCPCHG(4, 1, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
  open(1, fvar("pressChangeChar", false), " pressChangeChar = 5, 6 ;\n");
  MSFCPCHG(4, 1, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
  // The network has no characteristic at all.
  table(5, 1, "", ' ');
  open(1, fvar("pressChange3Hour", false) + fvar("pressChangeChar", false),
       " pressChange3Hour = 150, 120 ;\n pressChangeChar = 5, 6 ;\n");
  MSFCPCHG(4, 1, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
}

TEST_F(SmallDerivationsTest, PressureChangeBeyondTheCharacteristicBuffer) {
  // More records than the characteristic is read at once: the records past
  // the first chunk get their signs too.
  table(4, 1, "pressChange3Hour", ' ');
  table(5, 1, "pressChangeChar", ' ');
  const int n = voran::MAXSTATIONS + 3;
  std::string amounts;
  std::string chars = "7";
  amounts.reserve(5 * n);
  chars.reserve(3 * n);
  for (int i = 0; i < n; ++i) amounts += i ? ", 150" : "150";
  for (int i = 1; i < n - 3; ++i) chars += ", 2";
  chars += ", 7, 2, 8";
  open(1, fvar("pressChange3Hour", false) + fvar("pressChangeChar", false),
       " pressChange3Hour = " + amounts + " ;\n pressChangeChar = " + chars + " ;\n");
  std::vector<float> val(n), qca(n), qcr(n);
  std::vector<char> qcd(n);
  MSFCPCHG(4, 1, 1, val.data(), qcd.data(), qca.data(), qcr.data(), st_);
  ASSERT_EQ(st_, 0);
  EXPECT_EQ(val[0], -150.0f);
  EXPECT_EQ(val[n - 5], 150.0f);
  EXPECT_EQ(val[n - 4], 150.0f);
  EXPECT_EQ(val[n - 3], -150.0f);
  EXPECT_EQ(val[n - 2], 150.0f);
  EXPECT_EQ(val[n - 1], -150.0f);
}

// ---- archive temperature ----

const char* const ART_DATA =
    " temperature = 280, 280, _, 275 ;\n"
    " temperatureQCA = 6, 6, 6, 6 ;\n temperatureQCR = 0, 0, 0, 0 ;\n"
    " temperatureDD = \"SSSS\" ;\n"
    " archiveTemperature = 281.5, _, 279, _ ;\n"
    " archiveTemperatureQCA = 70, 70, 70, 70 ;\n archiveTemperatureQCR = 0, 0, 0, 0 ;\n"
    " archiveTemperatureDD = \"VVVV\" ;\n";

TEST_F(SmallDerivationsTest, ArchiveTemperaturePreferredWherePresent) {
  for (int32_t net : {9, 10}) {
    table(8, net, "temperature", 'Q');
    open(net, fvar("temperature") + fvar("archiveTemperature"), ART_DATA);
    MSFCART(8, net, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
    ASSERT_EQ(st_, 0);
    expect({281.5f, 280, 279, 275}, "VSVS");
    EXPECT_EQ(qca_[0], 70.0f);
    EXPECT_EQ(qca_[1], 6.0f);
    EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);
  }
}

TEST_F(SmallDerivationsTest, ArchiveTemperatureWithoutQcVariables) {
  // QC letter "Q" but neither temperature has its QCA variable.
  table(8, 10, "temperature", 'Q');
  open(10, fvar("temperature", false) + fvar("archiveTemperature", false),
       " temperature = 280, 280 ;\n archiveTemperature = 281.5, _ ;\n");
  MSFCART(8, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({281.5f, 280}, "ZZ");
  EXPECT_EQ(qca_[0], 0.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);

  // A blank QC letter: no QC is read, and where the archive value is
  // missing the ordinary temperature is kept.
  table(8, 9, "temperature", ' ');
  open(9, fvar("temperature") + fvar("archiveTemperature"), ART_DATA);
  MSFCART(8, 9, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({281.5f, 280, 279, 275}, "ZZZZ");
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);
}

TEST_F(SmallDerivationsTest, ArchiveTemperatureAbsentOrAlone) {
  table(8, 10, "temperature", 'Q');
  open(10, fvar("temperature"),
       " temperature = 280, 281 ;\n temperatureQCA = 6, 6 ;\n temperatureQCR = 0, 0 ;\n"
       " temperatureDD = \"SS\" ;\n");
  MSFCART(8, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);

  // Only the archive temperature: it is delivered with its own QC.
  open(10, fvar("archiveTemperature"),
       " archiveTemperature = 281.5, _ ;\n archiveTemperatureQCA = 70, 70 ;\n"
       " archiveTemperatureQCR = 0, 64 ;\n archiveTemperatureDD = \"VQ\" ;\n");
  MSFCART(8, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({281.5f, M}, "VQ");
  EXPECT_EQ(qcr_[1], 64.0f);

  // QCA present but DD missing: the DD read's status is returned.
  open(10, fvar("temperature", false) + " int temperatureQCA(recNum) ;\n int temperatureQCR(recNum) ;\n",
       " temperature = 280 ;\n temperatureQCA = 6 ;\n temperatureQCR = 0 ;\n");
  MSFCART(8, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
}

// ---- snow depth ----

const char* const SNOW_DATA =
    " snowDepth6H = 150, _, 150, _, 30 ;\n"
    " snowDepth6HQCA = 6, 6, 6, 6, 6 ;\n snowDepth6HQCR = 0, 0, 0, 0, 0 ;\n"
    " snowDepth6HDD = \"SSSSS\" ;\n"
    " snowDepth24H = 200, 200, _, _, 40 ;\n"
    " snowDepth24HQCA = 2, 2, 2, 2, 2 ;\n snowDepth24HQCR = 0, 0, 0, 0, 2 ;\n"
    " snowDepth24HDD = \"CCCCX\" ;\n";

TEST_F(SmallDerivationsTest, SnowDepthChoosesBetweenSixAndTwentyFourHours) {
  struct Row {
    bool qc6, qc24;
    std::vector<float> want;
    const char* desc;
    int32_t qcsrc;
  };
  const Row rows[] = {
      {true, true, {0.15f, 0.2f, 0.15f, M, 0.03f}, "SCSZS", 1},
      {false, false, {0.15f, 0.2f, 0.15f, M, 0.03f}, "ZZZZZ", 2},
      {false, true, {0.2f, 0.2f, 0.15f, M, 0.04f}, "CCZZX", 1},
      {true, false, {0.15f, 0.2f, 0.15f, M, 0.03f}, "SZSZS", 1},
  };
  for (const Row& r : rows) {
    // Without QC the companions are left out of the file.
    std::string data;
    for (const char* line = SNOW_DATA; *line;) {
      const char* end = std::strchr(line, '\n') + 1;
      std::string l(line, end);
      const bool is6 = l.find("snowDepth6H") != std::string::npos;
      const bool companion = l.find("QC") != std::string::npos || l.find("DD") != std::string::npos;
      if (!companion || (is6 ? r.qc6 : r.qc24)) data += l;
      line = end;
    }
    open(5, fvar("snowDepth6H", r.qc6) + fvar("snowDepth24H", r.qc24), data);
    MSFCSNOW(73, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
    ASSERT_EQ(st_, 0) << r.qc6 << r.qc24;
    expect(r.want, r.desc);
    EXPECT_EQ(VORANCOM2.QC_SOURCE, r.qcsrc);
    if (r.qc24 && !r.qc6) {
      EXPECT_EQ(val_[4], 40.0f / 1000.0f);
      EXPECT_EQ(qcr_[4], 2.0f);
    }
  }
}

TEST_F(SmallDerivationsTest, SnowDepthNeedsBothVariables) {
  open(5, fvar("snowDepth6H", false), " snowDepth6H = 150 ;\n");
  MSFCSNOW(73, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
  open(5, fvar("snowDepth24H", false), " snowDepth24H = 150 ;\n");
  MSFCSNOW(73, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
}

// ---- road freezing temperature ----

TEST_F(SmallDerivationsTest, RoadFreezingTemperatureUnderEitherName) {
  table(91, 4, "roadLiquidFreezeTemp3", 'Q');
  table(89, 4, "roadLiquidFreezeTemp1", ' ');
  // The file's network has no QC letter; the MESONET one counts.
  open(1,
       fvar("roadLiquidFreezeTemp3") + fvar("roadAntiIceFreezeTemp3") +
           fvar("roadAntiIceFreezeTemp1", false),
       " roadLiquidFreezeTemp3 = 270, _ ;\n roadLiquidFreezeTemp3QCA = 2, 2 ;\n"
       " roadLiquidFreezeTemp3QCR = 0, 2 ;\n roadLiquidFreezeTemp3DD = \"CX\" ;\n"
       " roadAntiIceFreezeTemp3 = 250, 251 ;\n roadAntiIceFreezeTemp3QCA = 2, 2 ;\n"
       " roadAntiIceFreezeTemp3QCR = 0, 0 ;\n roadAntiIceFreezeTemp3DD = \"CC\" ;\n"
       " roadAntiIceFreezeTemp1 = 265.5, 266 ;\n");
  MSFCRDLFT(91, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({270, M}, "CX");
  EXPECT_EQ(qcr_[1], 2.0f);
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 1);

  MSFCRDLFT(89, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({265.5f, 266}, "ZZ");
  EXPECT_EQ(VORANCOM2.QC_SOURCE, 2);

  for (int32_t code : {90, 92}) {
    MSFCRDLFT(code, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
    EXPECT_EQ(st_, MST_NOT_IN_DATABASE) << code;
  }
  MSFCRDLFT(93, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, MST_BAD_TABLE);

  open(4, fvar("roadAntiIceFreezeTemp3"),
       " roadAntiIceFreezeTemp3 = 250, 251 ;\n roadAntiIceFreezeTemp3QCA = 2, 2 ;\n"
       " roadAntiIceFreezeTemp3QCR = 0, 0 ;\n roadAntiIceFreezeTemp3DD = \"CC\" ;\n");
  MSFCRDLFT(91, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  ASSERT_EQ(st_, 0);
  expect({250, 251}, "CC");
}

TEST_F(SmallDerivationsTest, RoadFreezingTemperatureMessages) {
  open(4, fvar("airTemperature", false), " airTemperature = 250, 251 ;\n");
  for (bool msg : {false, true}) {
    MCOM2.MSGFLAG = msg;
    testing::internal::CaptureStdout();
    MSFCRDLFT(92, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(st_, MST_NOT_IN_DATABASE);
    EXPECT_EQ(MCOM2.MSGFLAG, msg);
    // Only the second name's failure is reported, once.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), msg ? 1 : 0) << out;
  }
  // A successful read leaves the switch as it was, too.
  open(4, fvar("roadLiquidFreezeTemp4", false), " roadLiquidFreezeTemp4 = 250, 251 ;\n");
  MCOM2.MSGFLAG = true;
  MSFCRDLFT(92, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, 0);
  EXPECT_TRUE(MCOM2.MSGFLAG);
}

// A file without records gives nothing to fill and no failure.
TEST_F(SmallDerivationsTest, EmptyFiles) {
  table(4, 10, "pressChange3Hour", 'Q');
  table(5, 10, "pressChangeChar", ' ');
  table(8, 10, "temperature", 'Q');
  open(10, fvar("pressChange3Hour") + fvar("pressChangeChar", false) + fvar("temperature") +
       fvar("archiveTemperature") + fvar("snowDepth6H") + fvar("snowDepth24H") +
       fvar("roadLiquidFreezeTemp1"), "");
  MSFCPCHG(4, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, 0);
  MSFCART(8, 10, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, 0);
  MSFCSNOW(73, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, 0);
  MSFCRDLFT(89, 1, val_.data(), qcd_.data(), qca_.data(), qcr_.data(), st_);
  EXPECT_EQ(st_, 0);
  EXPECT_EQ(val_[0], -1.0f);
}
}  // namespace
