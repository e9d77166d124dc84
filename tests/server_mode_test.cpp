// Server mode's working copies: they lose their names as soon as they are
// open, so none outlives the process that made it, however it ends; while
// open they stay private to the process and NetCDF reads them to the end.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fcntl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/filecache.h"
#include "testutil.h"
#include "voran.h"

namespace fs = std::filesystem;

namespace {

const char* const STEM = "20210825_2000";
const char* const TAG = ".tmp.004711";

// Every file of the tree src packed as dst/<same path>.gz, as a server keeps
// its data; the server root gets the same directories, empty.
void pack_tree(const std::string& src, const std::string& dst, const std::string& root) {
  for (const auto& e : fs::recursive_directory_iterator(src)) {
    const fs::path rel = fs::relative(e.path(), src);
    if (e.is_directory()) {
      fs::create_directories(fs::path(dst) / rel);
      fs::create_directories(fs::path(root) / rel);
      continue;
    }
    const std::string bytes = testutil::read_file(e.path().string());
    const std::string out = (fs::path(dst) / rel).string() + ".gz";
    gzFile gz = gzopen(out.c_str(), "wb1");
    ASSERT_NE(gz, nullptr) << out;
    for (std::size_t at = 0; at < bytes.size();) {
      const unsigned n = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
      ASSERT_EQ(gzwrite(gz, bytes.data() + at, n), static_cast<int>(n)) << out;
      at += n;
    }
    ASSERT_EQ(gzclose(gz), Z_OK) << out;
  }
}

// Files (not directories) anywhere under root.
std::vector<std::string> files_under(const std::string& root) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) found.push_back(e.path().string());
  return found;
}

// Descriptors of process pid (or this one) on files whose path begins with
// root: the link text, which ends in " (deleted)" once the name is gone.
std::vector<std::string> descriptors_into(const std::string& root, pid_t pid = 0) {
  std::vector<std::string> found;
  const std::string dir = pid == 0 ? "/proc/self/fd" : "/proc/" + std::to_string(pid) + "/fd";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::error_code lec;
    const std::string target = fs::read_symlink(e.path(), lec).string();
    if (!lec && target.rfind(root, 0) == 0) found.push_back(e.path().string() + " " + target);
  }
  return found;
}

// ---- one file opened and closed by hand ----

class WorkingCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    data_ = dir_ + "/data";
    root_ = dir_ + "/work";
    fs::create_directories(data_ + SUB);
    fs::create_directories(root_ + SUB);
    voran::fset(VORANCOM1.DATA_DIR, voran::PATHLEN, data_);
    VORANCOM2.DATA_LEN = static_cast<int32_t>(data_.size());
    voran::fset(VORANCOM1.SERVER_ROOT, voran::PATHLEN, root_);
    VORANCOM2.ROOT_LEN = static_cast<int32_t>(root_.size());
    voran::fset(VORANCOM1.FILE_SUFFIX, 11, TAG);
    MCOM2.DBNUM = 1;
  }
  void TearDown() override {
    voran::fset(VORANCOM1.FILE_SUFFIX, 11, "");
    voran::fc_set_limits(std::size_t{1} << 30, std::size_t{512} << 20);
    fs::remove_all(dir_);
  }

  // A packed file of n temperatures 250, 251, ... in the given format.
  void make_file(const char* kind, int n) {
    std::string cdl = "netcdf d {\ndimensions:\n recNum = UNLIMITED ;\nvariables:\n"
                      " float temperature(recNum) ;\ndata:\n temperature = ";
    for (int k = 0; k < n; ++k) cdl += (k ? ", " : "") + std::to_string(250 + k);
    cdl += " ;\n}\n";
    const std::string plain = dir_ + "/plain", text = plain + ".cdl";
    testutil::write_file(text, cdl);
    const char* argv[] = {NCGEN_PATH, "-k", kind, "-b", "-o", plain.c_str(), text.c_str(), nullptr};
    ASSERT_EQ(testutil::run_program("", argv, dir_ + "/ncgen.out", dir_ + "/ncgen.err"), 0);
    fs::create_directories(dir_ + "/packed");
    fs::rename(plain, dir_ + "/packed/" + STEM);
    pack_tree(dir_ + "/packed", data_ + SUB, root_ + SUB);
    fs::remove_all(dir_ + "/packed");
  }

  static constexpr const char* SUB = "/point/metar/netcdf/";
  std::string dir_, data_, root_;
};

TEST_F(WorkingCopy, NamelessOnceOpenAndReadToTheEnd) {
  constexpr int N = 20000;  // values beyond the first buffers NetCDF reads
  struct Case {
    const char* kind;
    bool image;  // the file cache holds the classic file in memory
  };
  for (const Case c : {Case{"classic", true}, Case{"classic", false}, Case{"nc4", false}}) {
    SCOPED_TRACE(std::string(c.kind) + (c.image ? " image" : " from disk"));
    voran::fc_set_limits(c.image ? std::size_t{1} << 30 : 0, 0);
    make_file(c.kind, N);
    const int64_t direct = voran::fc_stats().direct_opens;
    int32_t ncid = -1, rc = -1;
    MVORANOPEN(SUB, 20, STEM, ncid, rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(voran::fc_stats().direct_opens - direct, c.image ? 0 : 1);
    EXPECT_EQ(files_under(root_), std::vector<std::string>{});

    // A file NetCDF reads from disk is held by its descriptor alone: no
    // name, private to the process, and named after it while it had one.
    const std::vector<std::string> held = descriptors_into(root_);
    if (c.image) {
      EXPECT_TRUE(held.empty());
    } else {
      ASSERT_EQ(held.size(), 1u);
      const std::string link = held[0].substr(0, held[0].find(' '));
      const std::string target = held[0].substr(link.size() + 1);
      EXPECT_EQ(target.rfind(root_ + SUB + STEM + TAG, 0), 0u) << target;
      EXPECT_NE(target.find(" (deleted)"), std::string::npos) << target;
      struct stat st;
      ASSERT_EQ(stat(link.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u);
      EXPECT_EQ(st.st_nlink, 0u);
    }

    int varid = -1;
    ASSERT_EQ(nc_inq_varid(ncid, "temperature", &varid), NC_NOERR);
    std::vector<float> v(N, 0.0f);
    ASSERT_EQ(nc_get_var_float(ncid, varid, v.data()), NC_NOERR);
    EXPECT_EQ(v[0], 250.0f);
    EXPECT_EQ(v[N - 1], static_cast<float>(250 + N - 1));
    MVORANCLS1(ncid, SUB, 20, STEM);
    EXPECT_TRUE(descriptors_into(root_).empty());
    EXPECT_EQ(files_under(root_), std::vector<std::string>{});
  }
}

// ---- whole programs ----

class ServerRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::make_tmpdir();
    root_ = dir_ + "/work";
    pack_tree(testutil::sample_tree(), dir_ + "/packed", root_);
    setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
    unsetenv("VORAN_SERVER");
    // The listing without server mode, from the unpacked tree.
    setenv("VORAN_DATA", testutil::sample_tree().c_str(), 1);
    fs::create_directories(dir_ + "/plain");
    ASSERT_EQ(testutil::wait_program(stalist(dir_ + "/plain")), 0);
    expected_ = testutil::read_file(dir_ + "/plain/run.out");
    ASSERT_GT(expected_.size(), 100000u);
    setenv("VORAN_DATA", (dir_ + "/packed").c_str(), 1);
    setenv("VORAN_SERVER", "ACTIVE", 1);
    setenv("VORAN_SERVER_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VORAN_SERVER");
    unsetenv("VORAN_SERVER_ROOT");
    fs::remove_all(dir_);
  }
  pid_t stalist(const std::string& run) {
    fs::create_directories(run);
    const char* argv[] = {VORAN_BINARY_DIR "/stalist", nullptr};
    return testutil::start_program(run, argv, run + "/stdout", run + "/stdout.err");
  }
  void expect_listing(const std::string& run) {
    EXPECT_EQ(testutil::read_file(run + "/stdout"), "") << run;
    EXPECT_TRUE(testutil::read_file(run + "/run.out") == expected_) << run;
  }

  std::string dir_, root_, expected_;
};

TEST_F(ServerRuns, StalistLeavesNoCopies) {
  // stalist ends without closing its files.
  for (int k = 0; k < 3; ++k) {
    const std::string run = dir_ + "/run" + std::to_string(k);
    ASSERT_EQ(testutil::wait_program(stalist(run)), 0);
    expect_listing(run);
    EXPECT_EQ(files_under(root_), std::vector<std::string>{});
  }
  // Two processes on the same hour at once.
  const pid_t a = stalist(dir_ + "/a"), b = stalist(dir_ + "/b");
  EXPECT_EQ(testutil::wait_program(a), 0);
  EXPECT_EQ(testutil::wait_program(b), 0);
  expect_listing(dir_ + "/a");
  expect_listing(dir_ + "/b");
  EXPECT_EQ(files_under(root_), std::vector<std::string>{});
}

// A child that reads the hour through the library and is stopped inside
// MGETSFC, at its first read of a file: it reports there and waits.
int TO_PARENT = -1;
void stop_here(int, int) {
  const char c = 'r';
  if (write(TO_PARENT, &c, 1) != 1) _exit(3);
  voran::fc_set_trace(nullptr);
  for (;;) pause();
}

enum class End { Killed, Returns };

[[noreturn]] void child(End end, bool from_disk) {
  if (from_disk) voran::fc_set_limits(0, 0);
  int32_t st = 0;
  MINIT("SFC", "ZEM", false, st);
  if (st != 0) _exit(10);
  MSETSFCPVDR("ALL-SFC", true, st);
  char atime[9];
  MCHRTIM(2021, 8, 25, 20, 0, atime, st);
  if (st != 0) _exit(11);
  const int cap = VORAN_MAX_STATIONS;
  std::vector<char> id(10 * static_cast<std::size_t>(cap)), ot(9 * static_cast<std::size_t>(cap)),
      prov(10 * static_cast<std::size_t>(cap));
  std::vector<int32_t> wmo(cap), src(cap), qca(cap), qcr(cap);
  std::vector<float> lat(cap), lon(cap), elev(cap), obs(cap);
  std::vector<char> qcd(cap);
  int32_t nsta = 0, nobs = 0;
  MSFCSTA({atime, 9}, nsta, id.data(), wmo.data(), lat.data(), lon.data(), elev.data(), ot.data(),
          prov.data(), st, src.data());
  if (st != 0 || nsta < 1000) _exit(12);
  if (end == End::Killed) voran::fc_set_trace(stop_here);
  MGETSFC({atime, 9}, "T      ", nsta, nobs, obs.data(), qcd.data(), qca.data(), qcr.data(), st);
  if (st != 0) _exit(13);
  // Ends without closing anything (_exit: the handlers the test program
  // registered are not the child's to run).
  const char c = 'd';
  if (write(TO_PARENT, &c, 1) != 1) _exit(3);
  _exit(0);
}

TEST_F(ServerRuns, ProcessKilledOrEndingWithoutClosingLeavesNoCopies) {
  for (const End end : {End::Killed, End::Returns}) {
    for (const bool from_disk : {false, true}) {
      SCOPED_TRACE(std::string(end == End::Killed ? "killed" : "returns") +
                   (from_disk ? ", from disk" : ", images"));
      int fds[2];
      ASSERT_EQ(pipe(fds), 0);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(fds[0]);
        TO_PARENT = fds[1];
        child(end, from_disk);
      }
      close(fds[1]);
      char c = 0;
      const ssize_t got = read(fds[0], &c, 1);
      close(fds[0]);
      if (end == End::Killed) {
        ASSERT_EQ(got, 1);
        EXPECT_EQ(c, 'r');
        // Mid-read: the files are open, and none has a name.
        EXPECT_EQ(files_under(root_), std::vector<std::string>{});
        if (from_disk) {
          EXPECT_FALSE(descriptors_into(root_, pid).empty());
        }
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int st = 0;
        ASSERT_EQ(waitpid(pid, &st, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL);
      } else {
        EXPECT_EQ(got, 1);
        EXPECT_EQ(c, 'd');
        EXPECT_EQ(testutil::wait_program(pid), 0);
      }
      EXPECT_EQ(files_under(root_), std::vector<std::string>{});
    }
  }
}

TEST_F(ServerRuns, ProcessKilledWhileUnpackingLeavesNoCopy) {
  // A limit on the size of the files it writes stops the child by a signal
  // (SIGXFSZ, fatal and not handled, as SIGKILL) partway through writing the
  // hour's MESONET copy (3 MB).
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const rlimit none{0, 0}, small{32 << 10, 32 << 10};
    if (setrlimit(RLIMIT_CORE, &none) != 0 || setrlimit(RLIMIT_FSIZE, &small) != 0) _exit(20);
    child(End::Returns, false);
  }
  int st = 0;
  ASSERT_EQ(waitpid(pid, &st, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGXFSZ) << st;
  EXPECT_EQ(files_under(root_), std::vector<std::string>{});
}

}  // namespace
