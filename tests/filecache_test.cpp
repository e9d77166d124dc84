// Memory images and kept values of data files: every read gives exactly what
// NetCDF gives for the file as opened, however often it is repeated and
// however files are closed and reopened.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/filecache.h"
#include "testutil.h"

namespace {

// A small observation file whose values depend on tag, so that two files
// made from it differ in every value.
std::string cdl(int tag) {
  std::string t = std::to_string(tag);
  return std::string("netcdf f {\n") +
         "dimensions:\n  recNum = UNLIMITED ;\n  len = 4 ;\nvariables:\n"
         "  float temperature(recNum) ;\n    temperature:_FillValue = 3.0e36f ;\n"
         "  int qca(recNum) ;\n  short s(recNum) ;\n  byte b(recNum) ;\n"
         "  char name(recNum, len) ;\n"
         "data:\n  temperature = " + t + ".5, 2" + t + ", _, 3" + t + " ;\n"
         "  qca = " + t + ", 6, 62, 126 ;\n  s = " + t + ", -999, 7, 8 ;\n"
         "  b = " + t + ", 2, 3, 4 ;\n"
         "  name = \"A" + t + "\", \"BB\", \"C" + t + "C\", \"DDDD\" ;\n}\n";
}

class FileCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    voran::fc_set_limits(std::size_t{1} << 30, std::size_t{512} << 20);
  }
  void TearDown() override {
    voran::fc_set_limits(std::size_t{1} << 30, std::size_t{512} << 20);
    std::filesystem::remove_all(dir_);
  }
  std::string make(const std::string& name, int tag) {
    std::string p = dir_ + "/" + name;
    EXPECT_TRUE(testutil::ncgen(cdl(tag), p));
    return p;
  }
  std::string dir_;
};

std::vector<float> temps(int ncid) {
  int v = -1;
  EXPECT_EQ(nc_inq_varid(ncid, "temperature", &v), NC_NOERR);
  size_t start = 0, count = 4;
  std::vector<float> out(4, -1.0f);
  EXPECT_EQ(voran::fc_get_vara(ncid, v, 1, &start, &count, 4, out.data()), NC_NOERR);
  return out;
}

// A file of another format (ncgen writes classic ones) with four temperatures.
const float TEMPS[4] = {5.5f, 6.5f, 7.5f, 8.5f};
bool write_temperatures(const std::string& path, int format) {
  int w = -1, dim = -1, var = -1;
  size_t st = 0, ct = 4;
  return nc_create(path.c_str(), format | NC_CLOBBER, &w) == NC_NOERR &&
         nc_def_dim(w, "recNum", NC_UNLIMITED, &dim) == NC_NOERR &&
         nc_def_var(w, "temperature", NC_FLOAT, 1, &dim, &var) == NC_NOERR &&
         nc_enddef(w) == NC_NOERR && nc_put_vara_float(w, var, &st, &ct, TEMPS) == NC_NOERR &&
         nc_close(w) == NC_NOERR;
}

std::vector<float> reference_temps(const std::string& path) {
  int id = -1;
  EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id), NC_NOERR);
  std::vector<float> out(4, -1.0f);
  int v = -1;
  EXPECT_EQ(nc_inq_varid(id, "temperature", &v), NC_NOERR);
  EXPECT_EQ(nc_get_var_float(id, v, out.data()), NC_NOERR);
  nc_close(id);
  return out;
}

TEST_F(FileCacheTest, ClassicFileOpensFromImageAndReadsAsNetCDF) {
  std::string p = make("a", 1);
  auto before = voran::fc_stats();
  int id = -1;
  ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR);
  auto after = voran::fc_stats();
  EXPECT_EQ(after.images, before.images + 1);
  EXPECT_GT(after.image_bytes, 0u);
  EXPECT_EQ(temps(id), reference_temps(p));
  // The same read again is served from kept values, identically.
  auto s1 = voran::fc_stats();
  EXPECT_EQ(temps(id), reference_temps(p));
  auto s2 = voran::fc_stats();
  EXPECT_EQ(s2.hits, s1.hits + 1);
  EXPECT_EQ(s2.reads, s1.reads);
  EXPECT_EQ(voran::fc_close(id), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().image_bytes, before.image_bytes);
  EXPECT_EQ(voran::fc_stats().kept_bytes, 0u);
}

TEST_F(FileCacheTest, DifferentHyperslabsAreDifferentReads) {
  std::string p = make("a", 3);
  int id = -1;
  ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR);
  int v = -1;
  ASSERT_EQ(nc_inq_varid(id, "qca", &v), NC_NOERR);
  size_t s0 = 0, c4 = 4, s2 = 2, c2 = 2;
  int32_t all[4], tail[2];
  ASSERT_EQ(voran::fc_get_vara(id, v, 1, &s0, &c4, 4, all), NC_NOERR);
  ASSERT_EQ(voran::fc_get_vara(id, v, 1, &s2, &c2, 4, tail), NC_NOERR);
  EXPECT_EQ(tail[0], 62);
  EXPECT_EQ(tail[1], 126);
  ASSERT_EQ(voran::fc_get_vara(id, v, 1, &s0, &c4, 4, all), NC_NOERR);
  EXPECT_EQ(all[0], 3);
  EXPECT_EQ(all[3], 126);
  // Text and the narrow types keep their own bytes.
  int vn = -1, vs = -1, vb = -1;
  ASSERT_EQ(nc_inq_varid(id, "name", &vn), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(id, "s", &vs), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(id, "b", &vb), NC_NOERR);
  size_t ts[2] = {0, 0}, tc[2] = {4, 4};
  for (int rep = 0; rep < 2; ++rep) {
    char text[16];
    int16_t sv[4];
    signed char bv[4];
    ASSERT_EQ(voran::fc_get_vara(id, vn, 2, ts, tc, 1, text), NC_NOERR);
    EXPECT_EQ(std::string(text, 16), std::string("A3\0\0BB\0\0C3C\0DDDD", 16));
    ASSERT_EQ(voran::fc_get_vara(id, vs, 1, &s0, &c4, 2, sv), NC_NOERR);
    EXPECT_EQ(sv[1], -999);
    ASSERT_EQ(voran::fc_get_vara(id, vb, 1, &s0, &c4, 1, bv), NC_NOERR);
    EXPECT_EQ(bv[0], 3);
  }
  voran::fc_close(id);
}

// A file closed and another opened under the same id must never be answered
// with the first file's values.
TEST_F(FileCacheTest, ReopenedIdReadsTheNewFile) {
  std::string a = make("a", 1), b = make("b", 2);
  int ida = -1, idb = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), ida), NC_NOERR);
  EXPECT_EQ(temps(ida), reference_temps(a));
  ASSERT_EQ(voran::fc_close(ida), NC_NOERR);
  ASSERT_EQ(voran::fc_open(b.c_str(), idb), NC_NOERR);
  EXPECT_EQ(temps(idb), reference_temps(b));
  EXPECT_NE(reference_temps(a), reference_temps(b));
  voran::fc_close(idb);
}

TEST_F(FileCacheTest, FileClosedBehindTheCacheIsForgotten) {
  std::string a = make("a", 1), b = make("b", 2);
  int ida = -1, idb = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), ida), NC_NOERR);
  EXPECT_EQ(temps(ida), reference_temps(a));
  ASSERT_EQ(nc_close(ida), NC_NOERR);  // not through fc_close
  ASSERT_EQ(voran::fc_open(b.c_str(), idb), NC_NOERR);
  EXPECT_EQ(temps(idb), reference_temps(b));
  voran::fc_close(idb);
}

// The image is a snapshot: the file changing on disk while it is open changes
// nothing the reader sees, and nothing crashes.
TEST_F(FileCacheTest, FileRewrittenWhileOpenKeepsItsImage) {
  std::string a = make("a", 1);
  const std::vector<float> ref = reference_temps(a);
  int id = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), id), NC_NOERR);
  std::filesystem::resize_file(a, 8);
  EXPECT_EQ(temps(id), ref);
  voran::fc_close(id);
}

TEST_F(FileCacheTest, MissingAndBrokenFilesFailLikeNetCDF) {
  int id = 7;
  EXPECT_NE(voran::fc_open((dir_ + "/none").c_str(), id), NC_NOERR);
  EXPECT_EQ(id, -1);
  testutil::write_file(dir_ + "/junk", "this is not a NetCDF file at all");
  int ref = -1;
  int rc_ref = nc_open((dir_ + "/junk").c_str(), NC_NOWRITE, &ref);
  EXPECT_NE(rc_ref, NC_NOERR);
  EXPECT_EQ(voran::fc_open((dir_ + "/junk").c_str(), id), rc_ref);
  // Classic files cut short at several places: the verdict of the open and
  // of the read is NetCDF's own, and a refused image frees its buffer.
  std::string a = make("a", 1);
  const auto full = std::filesystem::file_size(a);
  for (std::uintmax_t cut : {std::uintmax_t{2}, std::uintmax_t{40}, full / 2, full - 3}) {
    std::string c = dir_ + "/cut" + std::to_string(cut);
    std::filesystem::copy_file(a, c);
    std::filesystem::resize_file(c, cut);
    auto before = voran::fc_stats();
    int want_id = -1;
    int want = nc_open(c.c_str(), NC_NOWRITE, &want_id);
    EXPECT_EQ(voran::fc_open(c.c_str(), id), want) << cut;
    if (want != NC_NOERR) {
      EXPECT_EQ(voran::fc_stats().image_bytes, before.image_bytes) << cut;
      continue;
    }
    int v1 = -1, v2 = -1;
    float got[4] = {0, 0, 0, 0}, ref[4] = {0, 0, 0, 0};
    size_t s0 = 0, c4 = 4;
    if (nc_inq_varid(want_id, "temperature", &v1) == NC_NOERR &&
        nc_inq_varid(id, "temperature", &v2) == NC_NOERR) {
      int rref = nc_get_vara(want_id, v1, &s0, &c4, ref);
      EXPECT_EQ(voran::fc_get_vara(id, v2, 1, &s0, &c4, 4, got), rref) << cut;
      if (rref == NC_NOERR) {
        EXPECT_EQ(std::memcmp(got, ref, sizeof got), 0) << cut;
      }
    }
    nc_close(want_id);
    voran::fc_close(id);
  }
  EXPECT_EQ(voran::fc_open(dir_.c_str(), id) == NC_NOERR, false);  // a directory
}

TEST_F(FileCacheTest, NetCDF4FileOpensFromDisk) {
  std::string p4 = dir_ + "/h4";
  ASSERT_TRUE(write_temperatures(p4, NC_NETCDF4));
  auto before = voran::fc_stats();
  int id = -1;
  ASSERT_EQ(voran::fc_open(p4.c_str(), id), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().direct_opens, before.direct_opens + 1);
  std::vector<float> expect(TEMPS, TEMPS + 4);
  EXPECT_EQ(temps(id), expect);
  EXPECT_EQ(temps(id), expect);
  voran::fc_close(id);
}

// With no room for images or kept values, files still open and read right.
TEST_F(FileCacheTest, LimitsOnlyCostSpeed) {
  std::string a = make("a", 4);
  voran::fc_set_limits(0, 0);
  auto before = voran::fc_stats();
  int id = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), id), NC_NOERR);
  auto s = voran::fc_stats();
  EXPECT_EQ(s.images, before.images);
  EXPECT_EQ(temps(id), reference_temps(a));
  EXPECT_EQ(temps(id), reference_temps(a));
  EXPECT_EQ(voran::fc_stats().hits, s.hits);
  voran::fc_close(id);
}

// More files open at once than there are image buffers: the rest come from
// disk, every one reads its own values.
TEST_F(FileCacheTest, ManyFilesOpenAtOnce) {
  std::vector<std::string> paths;
  std::vector<int> ids;
  for (int k = 0; k < 66; ++k) paths.push_back(make(testutil::numbered("m", k), k + 10));
  for (const std::string& p : paths) {
    int id = -1;
    ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR);
    ids.push_back(id);
  }
  for (std::size_t k = 0; k < ids.size(); ++k) EXPECT_EQ(temps(ids[k]), reference_temps(paths[k]));
  for (int id : ids) EXPECT_EQ(voran::fc_close(id), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().image_bytes, 0u);
}

// The readers give the same results through kept values as on first read.
TEST_F(FileCacheTest, ReadersRepeatIdentically) {
  std::string a = make("a", 6);
  int id = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), id), NC_NOERR);
  int recdim = -1;
  ASSERT_EQ(nc_inq_unlimdim(id, &recdim), NC_NOERR);
  for (const char* name : {"temperature", "qca", "s", "b"}) {
    float first[4], again[4];
    int32_t st = -1;
    MRDNUM(name, id, recdim, 1, 4, 999999.0f, first, st);
    ASSERT_EQ(st, 0) << name;
    MRDNUM(name, id, recdim, 1, 4, 999999.0f, again, st);
    ASSERT_EQ(st, 0) << name;
    EXPECT_EQ(std::memcmp(first, again, sizeof first), 0) << name;
  }
  EXPECT_EQ(voran::fc_stats().kept_bytes, 4u * 4 + 4 * 4 + 4 * 2 + 4);
  char c1[16], c2[16];
  int32_t nchar = 0, st = -1;
  MRDCHR("name", id, recdim, 1, 4, c1, 16, nchar, st);
  ASSERT_EQ(st, 0);
  MRDCHR("name", id, recdim, 1, 4, c2, 16, nchar, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(nchar, 4);
  EXPECT_EQ(std::memcmp(c1, c2, 16), 0);
  // A numeric variable read as text is refused as before.
  MRDCHR("temperature", id, recdim, 1, 4, c1, 16, nchar, st);
  EXPECT_NE(st, 0);
  voran::fc_close(id);
}

}  // namespace

namespace {

// Every variable of path read whole and record by record through the cache
// equals what NetCDF itself reads from the file.
void expect_reads_like_netcdf(const std::string& path, int ncid) {
  int ref = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ref), NC_NOERR);
  int nvars = 0;
  ASSERT_EQ(nc_inq_nvars(ref, &nvars), NC_NOERR);
  for (int v = 0; v < nvars; ++v) {
    char name[NC_MAX_NAME + 1];
    nc_type t;
    int nd = 0, dims[NC_MAX_VAR_DIMS];
    ASSERT_EQ(nc_inq_var(ref, v, name, &t, &nd, dims, nullptr), NC_NOERR);
    size_t es = 0;
    nc_inq_type(ref, t, nullptr, &es);
    size_t start[NC_MAX_VAR_DIMS] = {0}, count[NC_MAX_VAR_DIMS];
    std::size_t n = es;
    for (int d = 0; d < nd; ++d) {
      nc_inq_dimlen(ref, dims[d], &count[d]);
      n *= count[d];
    }
    std::vector<unsigned char> a(n + 1, 0xAB), b(n + 1, 0xCD);
    int ra = nc_get_vara(ref, v, start, count, a.data());
    for (int rep = 0; rep < 2; ++rep) {
      std::fill(b.begin(), b.end(), 0xCD);
      EXPECT_EQ(voran::fc_get_vara(ncid, v, nd, start, count, es, b.data()), ra) << name;
      if (ra == NC_NOERR) {
        EXPECT_EQ(std::memcmp(a.data(), b.data(), n), 0) << name;
      }
    }
    // One record at a time, and the middle records together.
    if (nd > 0 && count[0] > 2) {
      size_t nrec = count[0];
      for (size_t r = 0; r < nrec; ++r) {
        start[0] = r;
        count[0] = 1;
        std::size_t m = n / nrec;
        EXPECT_EQ(voran::fc_get_vara(ncid, v, nd, start, count, es, b.data()), NC_NOERR) << name;
        EXPECT_EQ(std::memcmp(a.data() + r * m, b.data(), m), 0) << name << " record " << r;
      }
      start[0] = 1;
      count[0] = nrec - 2;
      EXPECT_EQ(voran::fc_get_vara(ncid, v, nd, start, count, es, b.data()), NC_NOERR) << name;
      EXPECT_EQ(std::memcmp(a.data() + n / nrec, b.data(), n / nrec * (nrec - 2)), 0) << name;
    }
  }
  nc_close(ref);
}

const char* MIXED_CDL = R"(netcdf mixed {
dimensions:
  recNum = UNLIMITED ;
  len = 3 ;
  lev = 2 ;
  n = 5 ;
variables:
  byte b(recNum) ;
  char c(recNum, len) ;
  short s(recNum) ;
  int i(recNum, lev) ;
  float f(recNum) ;
  double d(recNum) ;
  int fixed(n) ;
  char label(len) ;
  float scalar ;
  short s2(recNum, len) ;
data:
  b = -1, 2, -3, 4, 5 ;
  c = "ab", "cde", "f", "", "ghi" ;
  s = -999, 1, 2, 300, -32768 ;
  i = 1, 2, 3, 4, 5, 6, 7, 8, 9, -2147483647 ;
  f = 1.5, -2.25, 3.0e36, 9.96921e+36, -0.0 ;
  d = 1.0e300, -1, 0.5, 2, 3 ;
  fixed = 10, 20, 30, 40, 50 ;
  label = "xyz" ;
  scalar = 7.5 ;
  s2 = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 ;
}
)";

}  // namespace

TEST_F(FileCacheTest, LayoutReadsEqualNetCDFForEveryTypeAndShape) {
  for (const char* kind : {"classic", "64-bit offset"}) {
    std::string cdl = MIXED_CDL;
    std::string p = dir_ + "/mixed";
    std::filesystem::remove(p);
    ASSERT_TRUE(testutil::ncgen(cdl, p));
    if (std::string(kind) == "64-bit offset") {
      // Rewrite the file with 64-bit offsets through NetCDF itself.
      std::string q = dir_ + "/mixed64";
      int in = -1, out = -1;
      ASSERT_EQ(nc_open(p.c_str(), NC_NOWRITE, &in), NC_NOERR);
      ASSERT_EQ(nc_create(q.c_str(), NC_64BIT_OFFSET | NC_CLOBBER, &out), NC_NOERR);
      int ndims = 0, nvars = 0, unlim = -1;
      nc_inq(in, &ndims, &nvars, nullptr, &unlim);
      for (int d = 0; d < ndims; ++d) {
        char dn[NC_MAX_NAME + 1];
        size_t len = 0;
        nc_inq_dim(in, d, dn, &len);
        int id = -1;
        ASSERT_EQ(nc_def_dim(out, dn, d == unlim ? NC_UNLIMITED : len, &id), NC_NOERR);
      }
      for (int v = 0; v < nvars; ++v) {
        char vn[NC_MAX_NAME + 1];
        nc_type t;
        int nd = 0, dims[NC_MAX_VAR_DIMS], id = -1;
        nc_inq_var(in, v, vn, &t, &nd, dims, nullptr);
        ASSERT_EQ(nc_def_var(out, vn, t, nd, dims, &id), NC_NOERR);
      }
      ASSERT_EQ(nc_enddef(out), NC_NOERR);
      for (int v = 0; v < nvars; ++v) {
        unsigned char data[256];
        size_t start[4] = {0, 0, 0, 0}, count[4];
        nc_type t;
        int nd = 0, dims[NC_MAX_VAR_DIMS];
        nc_inq_var(in, v, nullptr, &t, &nd, dims, nullptr);
        for (int d = 0; d < nd; ++d) nc_inq_dimlen(in, dims[d], &count[d]);
        ASSERT_EQ(nc_get_vara(in, v, start, count, data), NC_NOERR);
        ASSERT_EQ(nc_put_vara(out, v, start, count, data), NC_NOERR);
      }
      nc_close(in);
      nc_close(out);
      p = q;
    }
    auto before = voran::fc_stats();
    int id = -1;
    ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR) << kind;
    auto after = voran::fc_stats();
    EXPECT_EQ(after.layouts, before.layouts + 1) << kind;
    expect_reads_like_netcdf(p, id);
    EXPECT_GT(voran::fc_stats().image_reads, after.image_reads) << kind;
    voran::fc_close(id);
  }
}

// A file of one short record variable stores its records unpadded.
TEST_F(FileCacheTest, SingleRecordVariableIsNotPadded) {
  std::string p = dir_ + "/single";
  ASSERT_TRUE(testutil::ncgen("netcdf one {\ndimensions:\n  recNum = UNLIMITED ;\nvariables:\n"
                              "  short s(recNum) ;\ndata:\n  s = 1, -2, 3, -4, 5, -6, 7 ;\n}\n",
                              p));
  int id = -1;
  ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR);
  expect_reads_like_netcdf(p, id);
  voran::fc_close(id);
}

// Data cut off after the header: the file is read from disk, so every read
// answers as NetCDF always did.
TEST_F(FileCacheTest, CutDataReadsAsNetCDFDoes) {
  std::string p = dir_ + "/mixed";
  ASSERT_TRUE(testutil::ncgen(MIXED_CDL, p));
  const auto full = std::filesystem::file_size(p);
  for (std::uintmax_t keep : {full - 1, full - 20, full / 2 + 3}) {
    std::string c = dir_ + "/cut" + std::to_string(keep);
    std::filesystem::copy_file(p, c);
    std::filesystem::resize_file(c, keep);
    int id = -1, ref = -1;
    int want = nc_open(c.c_str(), NC_NOWRITE, &ref);
    auto before = voran::fc_stats();
    ASSERT_EQ(voran::fc_open(c.c_str(), id), want);
    if (want != NC_NOERR) continue;
    // Values missing from the file (not just its last padding byte): no image.
    if (keep <= full - 20) {
      EXPECT_EQ(voran::fc_stats().images, before.images) << keep;
    }
    nc_close(ref);
    expect_reads_like_netcdf(c, id);
    voran::fc_close(id);
  }
}

// A CDF-5 file is not read through its header here, and still reads right.
TEST_F(FileCacheTest, Cdf5FileReadsThroughNetCDF) {
  std::string p = dir_ + "/c5";
  ASSERT_TRUE(write_temperatures(p, NC_64BIT_DATA));
  auto before = voran::fc_stats();
  int id = -1;
  ASSERT_EQ(voran::fc_open(p.c_str(), id), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().layouts, before.layouts);
  expect_reads_like_netcdf(p, id);
  voran::fc_close(id);
}

// Kept values of a closed file are given back when the region runs full,
// and the values of the files still open stay right.
TEST_F(FileCacheTest, FullRegionGivesBackValuesOfClosedFiles) {
  std::string a = make("a", 1), b = make("b", 2);
  voran::fc_set_limits(std::size_t{1} << 30, 64);  // room for four 16-byte reads
  int ida = -1, idb = -1;
  ASSERT_EQ(voran::fc_open(a.c_str(), ida), NC_NOERR);
  ASSERT_EQ(voran::fc_open(b.c_str(), idb), NC_NOERR);
  auto read_int = [](int id, const char* name, std::vector<int32_t>& out) {
    int v = -1;
    ASSERT_EQ(nc_inq_varid(id, name, &v), NC_NOERR);
    size_t s0 = 0, c4 = 4;
    out.assign(4, -7);
    ASSERT_EQ(voran::fc_get_vara(id, v, 1, &s0, &c4, 4, out.data()), NC_NOERR);
  };
  std::vector<int32_t> q;
  EXPECT_EQ(temps(ida), reference_temps(a));
  read_int(ida, "qca", q);
  EXPECT_EQ(temps(idb), reference_temps(b));
  read_int(idb, "qca", q);
  EXPECT_EQ(voran::fc_stats().kept_bytes, 64u);
  ASSERT_EQ(voran::fc_close(ida), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().kept_bytes, 32u);
  // Does not fit behind the dead values: the region is compacted first.
  int vs = -1;
  ASSERT_EQ(nc_inq_varid(idb, "s", &vs), NC_NOERR);
  size_t s0 = 0, c4 = 4;
  int16_t sv[4];
  ASSERT_EQ(voran::fc_get_vara(idb, vs, 1, &s0, &c4, 2, sv), NC_NOERR);
  EXPECT_EQ(voran::fc_stats().kept_bytes, 40u);
  auto before = voran::fc_stats();
  EXPECT_EQ(temps(idb), reference_temps(b));
  read_int(idb, "qca", q);
  EXPECT_EQ(q, (std::vector<int32_t>{2, 6, 62, 126}));
  EXPECT_EQ(voran::fc_stats().hits, before.hits + 2);
  voran::fc_close(idb);
}
