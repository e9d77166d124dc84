// Several processes extracting the same range at once, on one data tree and
// in server mode on one shared server root: each gets exactly what a single
// process gets, and server mode leaves no working copy behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "testutil.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int PROCESSES = 4;

// Rounds of concurrent runs: races show only now and then, so CI's long
// run (VORAN_SOAK=1) repeats them.
int rounds() {
  const char* soak = std::getenv("VORAN_SOAK");
  return soak != nullptr && std::strcmp(soak, "1") == 0 ? 8 : 1;
}

class Concurrent : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new std::string(testutil::make_tmpdir());
    // The packed tree of server mode: every data file gzip-compressed
    // under its own name followed by ".gz".
    const fs::path tree = testutil::sample_tree();
    for (const auto& e : fs::recursive_directory_iterator(tree)) {
      const fs::path rel = fs::relative(e.path(), tree);
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

  // Starts extract_week over 18 to 22 UTC (the tree has 19 to 21) with a
  // window that takes two files per hour and keeps the nearest report.
  static pid_t start(const fs::path& data, const std::string& out,
                     const std::vector<std::string>& env) {
    const std::string prog = VORAN_BINARY_DIR "/extract_week";
    const std::string st = testutil::static_dir(), d = data.string(), err = out + ".err";
    std::vector<const char*> argv = {prog.c_str(), "--static", st.c_str(), "--data", d.c_str(),
                                     "--start", "2021-08-25T18:00", "--end", "2021-08-25T22:00",
                                     "--vars", "T,TD,DD,FF,PCP1H,P,CLDBAS", "--window",
                                     "-30,30,1", "-o", out.c_str(), nullptr};
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

  // Runs `n` extractions at once; returns their dumps.
  static std::vector<std::string> run(int n, const fs::path& data,
                                      const std::vector<std::string>& env, const std::string& tag) {
    std::vector<pid_t> pids;
    std::vector<std::string> outs;
    for (int i = 0; i < n; ++i) {
      outs.push_back(*work_ + "/" + tag + std::to_string(i) + ".dump");
      pids.push_back(start(data, outs.back(), env));
    }
    std::vector<std::string> dumps;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(finish(pids[std::size_t(i)]), 0)
          << tag << i << ": " << testutil::read_file(outs[std::size_t(i)] + ".err");
      dumps.push_back(testutil::read_file(outs[std::size_t(i)]));
    }
    return dumps;
  }

  // What one process alone gets on the plain tree.
  static const std::string& serial() {
    static const std::string dump = [] {
      auto d = run(1, testutil::sample_tree(), environment({}), "serial");
      return d.at(0);
    }();
    return dump;
  }

  static std::vector<std::string> left_in(const fs::path& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (!e.is_directory()) files.push_back(fs::relative(e.path(), dir).string());
    return files;
  }

  static std::string* work_;
};
std::string* Concurrent::work_ = nullptr;

// The dump ends with "END." and the number of hours; five hours of two
// networks' worth of stations are far more than a megabyte.
void expect_complete(const std::string& dump) {
  ASSERT_GT(dump.size(), std::size_t(1) << 20);
  ASSERT_EQ(dump.compare(0, 8, "VRNDUMP1"), 0);
  ASSERT_EQ(dump.compare(dump.size() - 8, 4, "END."), 0);
  int32_t hours = 0;
  std::memcpy(&hours, dump.data() + dump.size() - 4, 4);
  EXPECT_EQ(hours, 5);
}

TEST_F(Concurrent, ProcessesOnOneTreeGetTheSerialResult) {
  expect_complete(serial());
  for (int r = 0; r < rounds(); ++r) {
    const auto dumps = run(PROCESSES, testutil::sample_tree(), environment({}), "plain");
    for (std::size_t i = 0; i < dumps.size(); ++i)
      EXPECT_TRUE(dumps[i] == serial()) << "round " << r << ", process " << i;
  }
}

TEST_F(Concurrent, ServerModeOnOneRootGetsTheSerialResultAndCleansUp) {
  const std::vector<std::string> env =
      environment({"VORAN_SERVER=ACTIVE", "VORAN_SERVER_ROOT=" + server_root().string()});
  // One process alone, then several sharing the root.
  const auto alone = run(1, packed(), env, "server-alone");
  EXPECT_TRUE(alone.at(0) == serial()) << "server mode alone differs from the plain tree";
  EXPECT_EQ(left_in(server_root()), std::vector<std::string>{});
  for (int r = 0; r < rounds(); ++r) {
    const auto dumps = run(PROCESSES, packed(), env, "server");
    for (std::size_t i = 0; i < dumps.size(); ++i)
      EXPECT_TRUE(dumps[i] == serial()) << "round " << r << ", process " << i;
    EXPECT_EQ(left_in(server_root()), std::vector<std::string>{}) << "round " << r;
  }
  // Nothing was written next to the packed files either.
  for (const std::string& f : left_in(packed()))
    EXPECT_EQ(f.substr(f.size() - 3), ".gz") << f;
}

}  // namespace
