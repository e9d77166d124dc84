#include "testutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testutil {

std::string make_tmpdir() {
  std::string base = (std::filesystem::temp_directory_path() / "voran_test_XXXXXX").string();
  if (mkdtemp(base.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return base;
}

void write_file(const std::string& path, const std::string& text) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

int start_program(const std::string& dir, const char* const argv[], const std::string& out,
                  const std::string& err) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fo < 0 || fe < 0) _exit(127);
    dup2(fo, 1);
    dup2(fe, 2);
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  return pid;
}

int wait_program(int pid) {
  int st = 0;
  if (pid <= 0 || waitpid(pid, &st, 0) != pid) return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

int run_program(const std::string& dir, const char* const argv[], const std::string& out,
                const std::string& err) {
  return wait_program(start_program(dir, argv, out, err));
}

bool ncgen(const std::string& cdl, const std::string& path) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::string cdlpath = path + ".cdl";
  write_file(cdlpath, cdl);
  const char* argv[] = {NCGEN_PATH, "-b", "-o", path.c_str(), cdlpath.c_str(), nullptr};
  int rc = run_program("", argv, path + ".ncgen.out", path + ".ncgen.err");
  std::filesystem::remove(cdlpath);
  std::filesystem::remove(path + ".ncgen.out");
  if (rc == 0) std::filesystem::remove(path + ".ncgen.err");
  return rc == 0;
}

const std::string& sample_tree() {
  static const std::string tree = [] {
    static std::string root = make_tmpdir();
    std::atexit([] { std::filesystem::remove_all(root); });
    const std::string gen = VORAN_BINARY_DIR "/gen_sample";
    const std::string tables = VORAN_SOURCE_DIR "/static";
    const char* argv[] = {gen.c_str(), "tree", tables.c_str(), nullptr};
    if (run_program(root, argv, root + "/gen.out", root + "/gen.err") != 0) std::abort();
    return root + "/tree";
  }();
  return tree;
}

}  // namespace testutil
