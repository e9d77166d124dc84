#include "cli/output.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace voran::cli {
namespace {

// The temporary an interrupted run must not leave behind. Only the signal
// handler and Output touch it.
char pending[4096];

void remove_pending(int sig) {
  if (pending[0] != '\0') ::unlink(pending);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

Output::Output(const std::string& target) : target_(target) {
  if (target_.empty()) {
    stream_ = stdout;
    return;
  }
  const std::size_t slash = target_.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string templ = dir + "." + base + ".part.XXXXXX";
  if (templ.size() >= sizeof pending) throw std::runtime_error("output path too long: " + target_);
  const int fd = ::mkstemp(templ.data());
  if (fd < 0)
    throw std::runtime_error("cannot create a file beside " + target_ + ": " + std::strerror(errno));
  temp_ = templ;
  std::memcpy(pending, temp_.c_str(), temp_.size() + 1);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(sig, remove_pending);
  stream_ = ::fdopen(fd, "w");
  if (stream_ == nullptr) {
    ::close(fd);
    ::unlink(temp_.c_str());
    throw std::runtime_error("cannot open " + temp_);
  }
}

Output::~Output() {
  if (!target_.empty()) {
    if (stream_ != nullptr) std::fclose(stream_);
    if (!done_) ::unlink(temp_.c_str());
    pending[0] = '\0';
  }
}

void Output::commit() {
  if (target_.empty()) {
    if (std::fflush(stdout) != 0) throw std::runtime_error("cannot write standard output");
    return;
  }
  const int st = std::fclose(stream_);
  stream_ = nullptr;
  if (st != 0) throw std::runtime_error("cannot write " + temp_ + ": " + std::strerror(errno));
  // mkstemp makes the file private; the result gets the usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp_.c_str(), 0666 & ~mask);
  if (::rename(temp_.c_str(), target_.c_str()) != 0)
    throw std::runtime_error("cannot move the output to " + target_ + ": " + std::strerror(errno));
  done_ = true;
  pending[0] = '\0';
}

Progress::Progress(std::size_t total, bool enabled)
    : total_(total), on_(enabled && ::isatty(STDERR_FILENO)) {
  start_ = last_ = std::chrono::steady_clock::now();
}

void Progress::step(std::size_t stations) {
  ++done_;
  stations_ = stations;
  if (!on_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::milliseconds(100) && done_ < total_) return;
  last_ = now;
  draw(false);
}

void Progress::done() {
  if (on_) draw(true);
}

void Progress::draw(bool final) {
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = secs > 0 ? double(done_) / secs : 0.0;
  const double left = rate > 0 ? double(total_ - done_) / rate : 0.0;
  constexpr int WIDTH = 30;
  const int filled = total_ ? int(double(WIDTH) * double(done_) / double(total_)) : WIDTH;
  char bar[WIDTH + 1];
  for (int i = 0; i < WIDTH; ++i) bar[i] = i < filled ? '#' : '.';
  bar[WIDTH] = '\0';
  const long l = long(left + 0.5);
  std::fprintf(stderr, "\r[%s] %zu/%zu h  %zu stations  %.1f h/s  %ld:%02ld:%02ld left%s", bar,
               done_, total_, stations_, rate, l / 3600, (l / 60) % 60, l % 60, final ? "\n" : "");
  std::fflush(stderr);
}

}  // namespace voran::cli
