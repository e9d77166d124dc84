// Where the tool's data go: standard output, or a file that appears only
// when complete (written beside the target under a temporary name, renamed
// into place at the end, removed on failure or interruption).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace voran::cli {

class Output {
 public:
  // An empty path means standard output.
  explicit Output(const std::string& target);
  ~Output();  // removes the temporary unless commit() ran
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  std::FILE* stream() const { return stream_; }
  // The temporary's path (for writers that create their own file).
  const std::string& path() const { return temp_; }
  bool to_stdout() const { return target_.empty(); }
  void commit();

 private:
  std::string target_, temp_;
  std::FILE* stream_ = nullptr;
  bool done_ = false;
};

// A one-line progress bar on standard error, drawn only on a terminal.
class Progress {
 public:
  Progress(std::size_t total, bool enabled);
  void step(std::size_t stations);
  void done();

 private:
  void draw(bool final);
  std::size_t total_, done_ = 0, stations_ = 0;
  bool on_;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace voran::cli
