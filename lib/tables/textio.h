// Reading layer of the static text tables: fixed-column records and
// list-directed values, read the way a Fortran formatted read reads them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace voran::textio {

enum class Rd { Ok, End, Bad };

// One list-directed item: the value is stored only when the file supplies it
// (a null value or a slash leaves the destination unchanged).
struct Item {
  enum Kind { Int, Real } kind;
  void* dst;  // int32_t* or float*
};

// A static table opened for sequential reading on a borrowed I/O channel.
// The file is closed and the channel given back by close() or the destructor.
class TableFile {
 public:
  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  ~TableFile() { close(); }

  // Opens an existing regular file; false when it is missing, not a regular
  // file, cannot be opened, or no channel is free.
  bool open(std::string_view path);
  void close();

  // Next record as a fixed-width field rec[0..width): characters beyond the
  // width are skipped without being stored, a short line is padded with
  // blanks, and a CR before the newline is dropped. len receives the number of
  // characters present (at most width), which fixed-column reads need. End at
  // end of file; Bad for a line holding a NUL byte or an I/O error.
  Rd line(char* rec, int32_t width, int32_t& len);

  // Number of lines that line() has read so far (unreadable ones included).
  int64_t lines_read() const { return nlines_; }

  // One list-directed read of n items: values are separated by blanks, tabs,
  // commas or line ends and may span lines; "r*v" repeats, ",," and "r*" are
  // null values, "/" ends the read; the rest of the line holding the last
  // value is skipped. End when the file ends before the first value; Bad for
  // a malformed value or a file ending within the read.
  Rd list(const Item* items, int32_t n);

 private:
  int next_char();
  void skip_line();
  std::FILE* fp_ = nullptr;
  int32_t lun_ = 0;
  bool at_line_start_ = true;  // the previous character read ended a line
  int64_t nlines_ = 0;
};

// Calls f(rd, len, line) for every line of the file read into rec[0..width)
// (line counts from 1) until the file ends or f returns false.
template <typename F>
void each_line(TableFile& file, char* rec, int32_t width, F f) {
  int32_t len;
  for (Rd r; (r = file.line(rec, width, len)) != Rd::End;)
    if (!f(r, len, file.lines_read())) return;
}

// Fixed-column integer field of columns c1..c2 (1-based) of a record of which
// len characters are present: blanks are ignored and an all-blank or absent
// field is 0, an optional sign then digits otherwise; anything else (or a
// value beyond 32 bits) fails.
bool fixed_int(const char* rec, int32_t len, int32_t c1, int32_t c2, int32_t& value);

// Line number as an I3 field ("***" when it does not fit).
void fmt_i3(int64_t n, char out[3]);

// Loads a provider file ("P" and "S" records) into provider table p (1..9).
// Returns 0, or 2002 with the message "<routine>: BIF - OPEN ERROR - SUBSRCIN"
// or "<routine>: BIF - READ ERROR - SUBSRCIN".
int32_t load_providers(int32_t p, std::string_view path, std::string_view routine);

}  // namespace voran::textio
