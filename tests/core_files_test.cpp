// Data files: template timing, file ranges, open and close in every mode.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <string>

#include "core/core.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

const char* STEM = "20210825_2000";

std::string tpl_cdl(const std::string& attrs) {
  return "netcdf t {\n// global attributes:\n" + attrs + "}\n";
}

std::string data_cdl() {
  return "netcdf d {\ndimensions:\n recNum = UNLIMITED ; // (2 currently)\n"
         "variables:\n float temperature(recNum) ;\n"
         "data:\n temperature = 280.5, 281.5 ;\n}\n";
}

void gzip_file(const std::string& src, const std::string& dst) {
  std::string bytes = testutil::read_file(src);
  gzFile gz = gzopen(dst.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())),
            static_cast<int>(bytes.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
}

// Library state for data under dir (blank suffix: normal mode).
void use_data_dir(const std::string& dir) {
  voran::fset(VORANCOM1.DATA_DIR, voran::PATHLEN, dir);
  VORANCOM2.DATA_LEN = static_cast<int32_t>(dir.size());
  voran::fset(VORANCOM1.FILE_SUFFIX, 11, "");
  MCOM2.DBNUM = 1;
}

void use_server(const std::string& root) {
  voran::fset(VORANCOM1.SERVER_ROOT, voran::PATHLEN, root);
  VORANCOM2.ROOT_LEN = static_cast<int32_t>(root.size());
  voran::fset(VORANCOM1.FILE_SUFFIX, 11, ".tmp.004711");
}

int32_t itime(int y, int mo, int d, int h, int mi) {
  int32_t st = 0;
  int32_t t = M_GTI4TM(y, mo, d, h, mi, 0, st);
  EXPECT_EQ(st, 0);
  return t;
}

struct Opened {
  int32_t ncid = -99, rcode = -99;
};
Opened open_metar(const char* stem = STEM) {
  Opened o;
  MVORANOPEN("/point/metar/netcdf/", 20, stem, o.ncid, o.rcode);
  return o;
}

}  // namespace

TEST(CoreFiles, TemplateTiming) {
  std::string dir = testutil::make_tmpdir();
  ASSERT_TRUE(testutil::ncgen(tpl_cdl(":filePeriod = 3600 ;\n:fileEndOffset = 90 ;\n"),
                              dir + "/a.template"));
  ASSERT_TRUE(testutil::ncgen(tpl_cdl(":filePeriod = 900s ;\n:fileEndOffset = 59 ;\n"),
                              dir + "/b.template"));
  MCOM2.MSGFLAG = true;
  MCOM2.DBNUM = 1;

  int32_t off = -1, per = -1, st = -1;
  std::string a = dir + "/a.template";
  // Only the first tlen characters name the file.
  std::string padded = a + "XYZ";
  MTMRNG(padded, static_cast<int32_t>(a.size()), off, per, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(off, 1);
  EXPECT_EQ(per, 3600);
  std::string b = dir + "/b.template";
  MTMRNG(b, static_cast<int32_t>(b.size()), off, per, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(off, 0);
  EXPECT_EQ(per, 900);  // a short attribute is converted, not copied bytewise

  std::string missing = dir + "/none.template";
  testing::internal::CaptureStdout();
  MTMRNG(missing, static_cast<int32_t>(missing.size()), off, per, st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " MTMRNG: BIF - NCOPN ERROR ON " + missing + "\n");
  EXPECT_EQ(st, 2002);

  // Wrong type, several values or an unusable period: refused, outputs kept.
  struct Case {
    const char* attrs;
    const char* which;
  } cases[] = {
      {":fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = 3600.f ;\n:fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = 3600, 7200 ;\n:fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = \"3600\" ;\n:fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = 0 ;\n:fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = -3600 ;\n:fileEndOffset = 0 ;\n", "filePeriod"},
      {":filePeriod = 3600 ;\n", "fileEndOffset"},
      {":filePeriod = 3600 ;\n:fileEndOffset = 60, 120, 180 ;\n", "fileEndOffset"},
      {":filePeriod = 3600 ;\n:fileEndOffset = 1.5 ;\n", "fileEndOffset"},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string path = dir + "/t" + std::to_string(n++) + ".template";
    ASSERT_TRUE(testutil::ncgen(tpl_cdl(c.attrs), path)) << c.attrs;
    off = 7, per = 8;
    testing::internal::CaptureStdout();
    MTMRNG(path, static_cast<int32_t>(path.size()), off, per, st);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string(" MTMRNG: BIF - NCAGT ERROR ") + c.which + " " + path + "\n")
        << c.attrs;
    EXPECT_EQ(st, 2002) << c.attrs;
    EXPECT_EQ(off, 7);
    EXPECT_EQ(per, 8);
  }
}

TEST(CoreFiles, FileRange) {
  auto& c = VORANCOM2;
  c.FILE_PERIOD[0] = 3600;
  c.FILE_ENDOFF[0] = 14;
  const int32_t t20 = itime(2021, 8, 25, 20, 0);
  int32_t first = 0, n = 0;

  c.WIN_BEFORE = 0;
  c.WIN_AFTER = 0;
  MSFILES(1, t20, first, n);
  EXPECT_EQ(first, t20);
  EXPECT_EQ(n, 1);

  c.WIN_BEFORE = -50;  // 19:10 .. 20:00
  MSFILES(1, t20, first, n);
  EXPECT_EQ(first, itime(2021, 8, 25, 19, 0));
  EXPECT_EQ(n, 2);
  c.WIN_BEFORE = -40;  // 19:20 belongs to the 20:00 file
  MSFILES(1, t20, first, n);
  EXPECT_EQ(first, t20);
  EXPECT_EQ(n, 1);

  // 20:14 is still the 20:00 file, 20:15 the 21:00 one; across midnight too.
  c.WIN_BEFORE = 0;
  c.WIN_AFTER = 1;
  MSFILES(1, t20 + 14 * 60, first, n);
  EXPECT_EQ(first, t20);
  EXPECT_EQ(n, 2);
  c.WIN_AFTER = 0;
  MSFILES(1, itime(2021, 8, 25, 23, 30), first, n);
  EXPECT_EQ(first, itime(2021, 8, 26, 0, 0));
  EXPECT_EQ(n, 1);

  // Three-hour files, boundaries counted from midnight, window of six hours.
  c.UA_PERIOD[1] = 10800;
  c.UA_ENDOFF[1] = 0;
  c.WIN_BEFORE = -360;
  MSFILES(12, itime(2021, 8, 25, 12, 0), first, n);
  EXPECT_EQ(first, itime(2021, 8, 25, 6, 0));
  EXPECT_EQ(n, 3);

  c.OTHER_PERIOD[2] = 3600;
  c.OTHER_ENDOFF[2] = 59;
  c.WIN_BEFORE = 0;
  MSFILES(19, t20 + 59 * 60, first, n);
  EXPECT_EQ(first, t20);
  EXPECT_EQ(n, 1);

  // No timing read (period 0) or an unknown family: no files, no crash.
  c.FILE_PERIOD[2] = 0;
  MSFILES(3, t20, first, n);
  EXPECT_EQ(n, 0);
  MSFILES(0, t20, first, n);
  EXPECT_EQ(n, 0);
  MSFILES(24, t20, first, n);
  EXPECT_EQ(n, 0);
}

TEST(CoreFiles, OpenNormalAndArchive) {
  std::string dir = testutil::make_tmpdir();
  use_data_dir(dir);
  ASSERT_TRUE(testutil::ncgen(data_cdl(), dir + "/point/metar/netcdf/" + STEM));
  ASSERT_TRUE(testutil::ncgen(
      data_cdl(), dir + "/archive/2021/08/24/point/metar/netcdf/20210824_1200"));

  Opened o = open_metar();
  ASSERT_EQ(o.rcode, 0);
  int nvars = 0;
  EXPECT_EQ(nc_inq_nvars(o.ncid, &nvars), NC_NOERR);
  EXPECT_EQ(nvars, 1);
  MVORANCLS1(o.ncid, "/point/metar/netcdf/", 20, STEM);
  EXPECT_NE(nc_inq_nvars(o.ncid, &nvars), NC_NOERR);  // closed

  o = open_metar("20210824_1200");
  ASSERT_EQ(o.rcode, 0);
  MVORANCLS1(o.ncid, "/point/metar/netcdf/", 20, "20210824_1200");

  o = open_metar("20210824_1300");
  EXPECT_NE(o.rcode, 0);
  EXPECT_EQ(o.ncid, -1);

  // Only dirlen characters of the directory count.
  int32_t ncid = 0, rc = 0;
  MVORANOPEN("/point/metar/netcdf/XXXX", 20, STEM, ncid, rc);
  EXPECT_EQ(rc, 0);
  MVORANCLS1(ncid, "/point/metar/netcdf/", 20, STEM);
  fs::remove_all(dir);
}

TEST(CoreFiles, ServerModeWorkingCopies) {
  std::string dir = testutil::make_tmpdir();
  std::string data = dir + "/data", root = dir + "/work";
  use_data_dir(data);
  use_server(root);
  fs::create_directories(root + "/point/metar/netcdf");
  const std::string plain = dir + "/plain.nc";
  ASSERT_TRUE(testutil::ncgen(data_cdl(), plain));
  const std::string sub = "/point/metar/netcdf/";
  fs::create_directories(data + sub);
  gzip_file(plain, data + sub + STEM + ".gz");
  const std::string work = root + sub + STEM + ".tmp.004711";
  auto files_in_work = [&] {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(root + sub)) ++n;
    return n;
  };

  // The copy has no name once open (server_mode_test follows it further).
  Opened o = open_metar();
  ASSERT_EQ(o.rcode, 0);
  EXPECT_EQ(files_in_work(), 0);
  float v[2] = {0, 0};
  int varid = -1;
  ASSERT_EQ(nc_inq_varid(o.ncid, "temperature", &varid), NC_NOERR);
  ASSERT_EQ(nc_get_var_float(o.ncid, varid, v), NC_NOERR);
  EXPECT_EQ(v[1], 281.5f);
  MVORANCLS1(o.ncid, sub, 20, STEM);
  EXPECT_FALSE(fs::exists(work));

  // A symbolic link planted at the working path is not written through.
  const std::string victim = dir + "/victim";
  testutil::write_file(victim, "keep me");
  fs::create_symlink(victim, work);
  o = open_metar();
  ASSERT_EQ(o.rcode, 0);
  EXPECT_EQ(testutil::read_file(victim), "keep me");
  MVORANCLS1(o.ncid, sub, 20, STEM);
  EXPECT_FALSE(fs::exists(work));

  // Truncated or non-gzip data: the open fails and leaves no copy.
  const std::string gz = data + sub + STEM + ".gz";
  const auto size = fs::file_size(gz);
  fs::resize_file(gz, size / 2);
  o = open_metar();
  EXPECT_NE(o.rcode, 0);
  EXPECT_EQ(o.ncid, -1);
  EXPECT_EQ(files_in_work(), 0);
  fs::copy_file(plain, gz, fs::copy_options::overwrite_existing);
  o = open_metar();
  EXPECT_NE(o.rcode, 0);
  EXPECT_EQ(files_in_work(), 0);
  // gzip of something that is not NetCDF: unpacked, refused, removed.
  testutil::write_file(dir + "/text", "not a netcdf file\n");
  gzip_file(dir + "/text", gz);
  o = open_metar();
  EXPECT_NE(o.rcode, 0);
  EXPECT_EQ(files_in_work(), 0);
  fs::remove(gz);

  // Found in the archive of its date.
  const std::string arch = data + "/archive/2021/08/25" + sub;
  fs::create_directories(arch);
  gzip_file(plain, arch + STEM + ".gz");
  o = open_metar();
  ASSERT_EQ(o.rcode, 0);
  EXPECT_EQ(files_in_work(), 0);
  // A blank stem deletes nothing (here a copy an earlier process left).
  testutil::write_file(work, "stale");
  MVORANCLS1(o.ncid, sub, 20, "             ");
  EXPECT_TRUE(fs::exists(work));
  fs::remove(work);

  // Missing everywhere: failure, and a stale copy of ours is removed.
  testutil::write_file(root + sub + "20210825_2100.tmp.004711", "stale");
  o = open_metar("20210825_2100");
  EXPECT_NE(o.rcode, 0);
  EXPECT_FALSE(fs::exists(root + sub + "20210825_2100.tmp.004711"));

  use_data_dir(data);
  fs::remove_all(dir);
}
