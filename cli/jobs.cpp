#include "cli/jobs.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace voran::cli {
namespace {

// One hour on the wire: a fixed header, then the columns in order. Both
// ends are this program on this machine, so native layout is fine.
struct Header {
  uint64_t magic = 0x766f72616e686f75ull;  // "voranhou"
  int64_t minutes = 0;
  int32_t status = 0;
  uint32_t count = 0;
  uint32_t columns = 0;
};

void put(std::FILE* f, const void* p, std::size_t n) {
  if (n != 0 && std::fwrite(p, 1, n, f) != n) throw std::runtime_error("worker: cannot write to the parent");
}
template <class T>
void put_vec(std::FILE* f, const std::vector<T>& v) {
  put(f, v.data(), v.size() * sizeof(T));
}
bool get(std::FILE* f, void* p, std::size_t n) { return n == 0 || std::fread(p, 1, n, f) == n; }
template <class T>
bool get_vec(std::FILE* f, std::vector<T>& v, std::size_t n) {
  v.resize(n);
  return get(f, v.data(), n * sizeof(T));
}

void put_header(std::FILE* f, const Hour& h) {
  Header hd;
  hd.minutes = to_minutes(h.time);
  hd.status = h.status;
  hd.count = uint32_t(h.count());
  hd.columns = uint32_t(h.columns.size());
  put(f, &hd, sizeof hd);
}

void write_hour(std::FILE* f, const Hour& h) {
  put_header(f, h);
  put_vec(f, h.station_ids);
  put_vec(f, h.provider_ids);
  put_vec(f, h.wmo);
  put_vec(f, h.source);
  put_vec(f, h.lat);
  put_vec(f, h.lon);
  put_vec(f, h.elev);
  put_vec(f, h.obs_minutes);
  for (const Column& c : h.columns) {
    put(f, &c.status, sizeof c.status);
    put_vec(f, c.values);
    put_vec(f, c.qcd);
    put_vec(f, c.qca);
    put_vec(f, c.qcr);
  }
  if (std::fflush(f) != 0) throw std::runtime_error("worker: cannot write to the parent");
}

// A text hour: the header, then its lines in blocks, each its length and
// its bytes, and a block of length 0.
void put_block(std::FILE* f, std::string_view s) {
  const auto n = uint32_t(s.size());
  put(f, &n, sizeof n);
  put(f, s.data(), s.size());
}

bool get_header(std::FILE* f, Header& hd, std::size_t columns) {
  return get(f, &hd, sizeof hd) && hd.magic == Header().magic && hd.columns == columns;
}

// The blocks of a text hour to `w`; false when the stream ends short.
bool copy_blocks(std::FILE* f, Writer& w, std::string& buf) {
  for (;;) {
    uint32_t n = 0;
    if (!get(f, &n, sizeof n)) return false;
    if (n == 0) return true;
    buf.resize(n);
    if (!get(f, buf.data(), n)) return false;
    w.text(buf);
  }
}

// False at a clean end of the stream or a short one.
bool read_hour(std::FILE* f, Hour& h, const std::vector<VariableInfo>& infos) {
  Header hd;
  if (!get_header(f, hd, infos.size())) return false;
  const std::size_t n = hd.count;
  h.time = from_minutes(hd.minutes);
  h.status = hd.status;
  bool ok = get_vec(f, h.station_ids, n * ID_WIDTH) && get_vec(f, h.provider_ids, n * PROVIDER_WIDTH) &&
            get_vec(f, h.wmo, n) && get_vec(f, h.source, n) && get_vec(f, h.lat, n) &&
            get_vec(f, h.lon, n) && get_vec(f, h.elev, n) && get_vec(f, h.obs_minutes, n);
  h.columns.resize(infos.size());
  for (std::size_t k = 0; ok && k < infos.size(); ++k) {
    Column& c = h.columns[k];
    c.info = infos[k];
    const std::size_t m = n * std::size_t(c.info.levels);
    ok = get(f, &c.status, sizeof c.status) && get_vec(f, c.values, m) && get_vec(f, c.qcd, m) &&
         get_vec(f, c.qca, m) && get_vec(f, c.qcr, m);
  }
  return ok;
}

struct Worker {
  pid_t pid = -1;
  std::FILE* in = nullptr;
};

std::string self_path() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) throw std::runtime_error("cannot find this program to start workers");
  return std::string(buf, std::size_t(n));
}

Worker start(const std::string& exe, std::vector<std::string> args) {
  int fd[2];
  if (::pipe(fd) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  // Hours are megabytes: a larger pipe (where the system allows one) means
  // fewer switches between worker and parent.
  ::fcntl(fd[1], F_SETPIPE_SZ, 1 << 20);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fd[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&fa, fd[0]);
  posix_spawn_file_actions_addclose(&fa, fd[1]);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Worker w;
  const int rc = ::posix_spawn(&w.pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(fd[1]);
  if (rc != 0) {
    ::close(fd[0]);
    throw std::runtime_error(std::string("cannot start a worker: ") + std::strerror(rc));
  }
  w.in = ::fdopen(fd[0], "r");
  return w;
}

// How a worker ended, in words.
std::string ending(pid_t pid) {
  int st = 0;
  if (::waitpid(pid, &st, 0) < 0) return "was lost";
  if (WIFSIGNALED(st)) return std::string("was killed by signal ") + std::to_string(WTERMSIG(st));
  if (WIFEXITED(st) && WEXITSTATUS(st) != 0)
    return "failed with exit status " + std::to_string(WEXITSTATUS(st));
  return "ended early";
}

}  // namespace

void run_in_workers(const Query& q, int jobs, const std::vector<std::string>& worker_args,
                    const std::vector<VariableInfo>& infos, bool text, Writer& out,
                    const std::function<void(std::size_t)>& done) {
  const std::vector<Time> times = q.times();
  const int n = std::max(1, std::min<int>(jobs, int(times.size())));
  const std::string exe = self_path();
  // A worker whose parent stopped reading must not linger on a full pipe.
  ::signal(SIGPIPE, SIG_DFL);
  std::vector<Worker> workers;
  auto stop_all = [&]() {
    for (Worker& w : workers) {
      if (w.pid > 0) {
        ::kill(w.pid, SIGTERM);
        ::waitpid(w.pid, nullptr, 0);
        w.pid = -1;
      }
      if (w.in) std::fclose(w.in);
      w.in = nullptr;
    }
  };
  try {
    for (int k = 0; k < n; ++k) {
      std::vector<std::string> args = worker_args;
      args.insert(args.begin(), exe);
      args.push_back("--worker");
      args.push_back(std::to_string(k) + "/" + std::to_string(n));
      workers.push_back(start(exe, args));
    }
    Hour h;
    Header hd;
    std::string buf;
    for (std::size_t t = 0; t < times.size(); ++t) {
      Worker& w = workers[t % std::size_t(n)];
      // A text hour's lines are written as they arrive, the columns of an
      // hour once it is whole; a short hour fails the run either way, and
      // the output is then removed.
      const bool ok = text ? get_header(w.in, hd, infos.size()) &&
                                 from_minutes(hd.minutes) == times[t] &&
                                 copy_blocks(w.in, out, buf)
                           : read_hour(w.in, h, infos) && h.time == times[t];
      if (!ok) {
        const pid_t pid = w.pid;
        w.pid = -1;
        const std::string how = ending(pid);
        throw std::runtime_error("the worker fetching " + format_time(times[t]) + " " + how +
                                 "; nothing was written");
      }
      if (!text) out.hour(h);
      done(text ? hd.count : h.count());
    }
    for (Worker& w : workers) {
      std::fclose(w.in);
      w.in = nullptr;
      int st = 0;
      ::waitpid(w.pid, &st, 0);
      w.pid = -1;
      if (!WIFEXITED(st) || WEXITSTATUS(st) != 0)
        throw std::runtime_error("a worker failed after its last hour; nothing was written");
    }
  } catch (...) {
    stop_all();
    throw;
  }
}

void serve_as_worker(const Query& q, int k, int n, const std::string& format,
                     const std::vector<VariableInfo>& infos) {
  const std::vector<Time> times = q.times();
  if (std::size_t(k) >= times.size()) return;
  Query mine = q;
  mine.time = times[std::size_t(k)];
  mine.step_minutes = q.step_minutes * n;
  mine.end = times.back();
  if (format == "netcdf") return run(mine, [](const Hour& h) { write_hour(stdout, h); });
  const auto lines = text_renderer(format == "jsonl", [](std::string_view s) { put_block(stdout, s); });
  lines->begin(infos);
  run(mine, [&](const Hour& h) {
    put_header(stdout, h);
    lines->hour(h);
    put_block(stdout, {});
    if (std::fflush(stdout) != 0) throw std::runtime_error("worker: cannot write to the parent");
  });
}

}  // namespace voran::cli
