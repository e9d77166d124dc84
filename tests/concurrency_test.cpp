// Several processes extracting the same range at once, on one data tree and
// in server mode on one shared server root: each gets exactly what a single
// process gets, and server mode leaves no working copy behind. The sample
// afternoon always; with VORAN_SOAK=1 (CI) a week of every network, twice.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testutil.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int PROCESSES = 4;

// The sanitizer build runs too slowly for the week: it keeps the afternoon.
bool soak() {
#ifdef __SANITIZE_ADDRESS__
  return false;
#else
  const char* s = std::getenv("VORAN_SOAK");
  return s != nullptr && std::strcmp(s, "1") == 0;
#endif
}

// What every process extracts: a range starting and ending on hours without
// files around the sample afternoon, or the week; a window that takes two
// files per hour and keeps the nearest report of each station.
struct Range {
  std::string start, end, vars;
  int32_t hours;
  int rounds;  // races show only now and then: the long run repeats them
};

Range range() {
  if (soak()) return {"2021-08-25T19:00", "2021-09-01T18:00", "T,TD,FF,PCP1H", 168, 2};
  return {"2021-08-25T18:00", "2021-08-25T22:00", "T,TD,DD,FF,PCP1H,P,CLDBAS", 5, 1};
}

class Concurrent : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new std::string(testutil::make_tmpdir());
    tree_ = new fs::path(testutil::sample_tree());
    if (soak()) {
      *tree_ = fs::path(*work_) / "week";
      const std::string gen = VORAN_BINARY_DIR "/gen_sample", tables = VORAN_SOURCE_DIR "/static";
      const std::string t = tree_->string();
      const char* argv[] = {gen.c_str(), t.c_str(), tables.c_str(), "--start",
                            "2021-08-25T19:00", "--hours", "168", nullptr};
      ASSERT_EQ(testutil::run_program(*work_, argv, *work_ + "/gen.out", *work_ + "/gen.err"), 0)
          << testutil::read_file(*work_ + "/gen.err");
    }
    // The packed tree of server mode: every data file gzip-compressed
    // under its own name followed by ".gz".
    for (const auto& e : fs::recursive_directory_iterator(*tree_)) {
      const fs::path rel = fs::relative(e.path(), *tree_);
      if (e.is_directory()) {
        fs::create_directories(packed() / rel);
        fs::create_directories(server_root() / rel);
        continue;
      }
      const std::string bytes = testutil::read_file(e.path().string());
      gzFile gz = gzopen((packed() / rel).concat(".gz").c_str(), "wb1");
      ASSERT_NE(gz, nullptr);
      ASSERT_EQ(gzwrite(gz, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
      ASSERT_EQ(gzclose(gz), Z_OK);
    }
  }
  static void TearDownTestSuite() {
    fs::remove_all(*work_);
    delete work_;
    delete tree_;
  }

  static fs::path packed() { return fs::path(*work_) / "packed"; }
  static fs::path server_root() { return fs::path(*work_) / "server"; }

  // The environment of a child: ours without server settings, plus `extra`.
  static std::vector<std::string> environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "VORAN_SERVER", 12) != 0) env.emplace_back(*e);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  static pid_t start(const fs::path& data, const std::string& out,
                     const std::vector<std::string>& env) {
    const Range r = range();
    const std::string prog = VORAN_BINARY_DIR "/extract_week";
    const std::string st = testutil::static_dir(), d = data.string(), err = out + ".err";
    std::vector<const char*> argv = {prog.c_str(), "--static", st.c_str(), "--data", d.c_str(),
                                     "--start", r.start.c_str(), "--end", r.end.c_str(),
                                     "--vars", r.vars.c_str(), "--window", "-30,30,1",
                                     "-o", out.c_str(), nullptr};
    std::vector<char*> envp;
    for (const std::string& s : env) envp.push_back(const_cast<char*>(s.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, const_cast<char**>(argv.data()),
                               envp.data());
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
  }

  static int finish(pid_t pid) {
    int st = 0;
    if (pid < 0 || waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }

  // Runs `n` extractions at once; returns the paths of their dumps.
  static std::vector<std::string> run(int n, const fs::path& data,
                                      const std::vector<std::string>& env, const std::string& tag) {
    std::vector<pid_t> pids;
    std::vector<std::string> outs;
    for (int i = 0; i < n; ++i) {
      outs.push_back(*work_ + "/" + tag + std::to_string(i) + ".dump");
      pids.push_back(start(data, outs.back(), env));
    }
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(finish(pids[std::size_t(i)]), 0)
          << tag << i << ": " << testutil::read_file(outs[std::size_t(i)] + ".err");
    return outs;
  }

  // The dump of one process alone on the plain tree.
  static const std::string& serial() {
    static const std::string path = run(1, *tree_, environment({}), "serial").at(0);
    return path;
  }

  // True when the dump at `path` equals the serial one byte for byte; the
  // dump is removed (a week's dumps are large).
  static bool same_as_serial(const std::string& path) {
    std::ifstream a(serial(), std::ios::binary), b(path, std::ios::binary);
    bool same = a.good() && b.good();
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same && a && b) {
      a.read(x.data(), std::streamsize(x.size()));
      b.read(y.data(), std::streamsize(y.size()));
      same = a.gcount() == b.gcount() && std::memcmp(x.data(), y.data(), std::size_t(a.gcount())) == 0;
    }
    same = same && a.eof() && b.eof();
    fs::remove(path);
    return same;
  }

  static std::vector<std::string> left_in(const fs::path& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (!e.is_directory()) files.push_back(fs::relative(e.path(), dir).string());
    return files;
  }

  static std::string* work_;
  static fs::path* tree_;
};
std::string* Concurrent::work_ = nullptr;
fs::path* Concurrent::tree_ = nullptr;

// The dump ends with "END." and the number of hours; the range's stations
// of every network are far more than a megabyte.
void expect_complete(const std::string& path) {
  ASSERT_GT(fs::file_size(path), std::uintmax_t(1) << 20);
  std::ifstream f(path, std::ios::binary);
  char head[8], tail[8];
  f.read(head, 8);
  f.seekg(-8, std::ios::end);
  f.read(tail, 8);
  ASSERT_TRUE(f.good());
  EXPECT_EQ(std::string(head, 8), "VRNDUMP1");
  EXPECT_EQ(std::string(tail, 4), "END.");
  int32_t hours = 0;
  std::memcpy(&hours, tail + 4, 4);
  EXPECT_EQ(hours, range().hours);
}

TEST_F(Concurrent, ProcessesOnOneTreeGetTheSerialResult) {
  expect_complete(serial());
  for (int r = 0; r < range().rounds; ++r) {
    const auto dumps = run(PROCESSES, *tree_, environment({}), "plain");
    for (std::size_t i = 0; i < dumps.size(); ++i)
      EXPECT_TRUE(same_as_serial(dumps[i])) << "round " << r << ", process " << i;
  }
}

TEST_F(Concurrent, ServerModeOnOneRootGetsTheSerialResultAndCleansUp) {
  const std::vector<std::string> env =
      environment({"VORAN_SERVER=ACTIVE", "VORAN_SERVER_ROOT=" + server_root().string()});
  // One process alone, then several sharing the root.
  EXPECT_TRUE(same_as_serial(run(1, packed(), env, "server-alone").at(0)))
      << "server mode alone differs from the plain tree";
  EXPECT_EQ(left_in(server_root()), std::vector<std::string>{});
  for (int r = 0; r < range().rounds; ++r) {
    const auto dumps = run(PROCESSES, packed(), env, "server");
    for (std::size_t i = 0; i < dumps.size(); ++i)
      EXPECT_TRUE(same_as_serial(dumps[i])) << "round " << r << ", process " << i;
    EXPECT_EQ(left_in(server_root()), std::vector<std::string>{}) << "round " << r;
  }
  // Nothing was written next to the packed files either.
  for (const std::string& f : left_in(packed()))
    EXPECT_EQ(f.substr(f.size() - 3), ".gz") << f;
}

}  // namespace
