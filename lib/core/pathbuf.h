// Fixed-size text buffer for building paths and messages without allocation.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace voran {

class TextBuf {
 public:
  static constexpr std::size_t CAP = 1023;
  TextBuf& add(std::string_view s) {
    std::size_t n = s.size() < CAP - len_ ? s.size() : CAP - len_;
    std::memcpy(buf_ + len_, s.data(), n);
    len_ += n;
    overflow_ = overflow_ || n < s.size();
    buf_[len_] = '\0';
    return *this;
  }
  // Drop trailing blanks (a blank suffix field adds nothing to a path).
  TextBuf& rtrim() {
    while (len_ > 0 && (buf_[len_ - 1] == ' ' || buf_[len_ - 1] == '\0')) --len_;
    buf_[len_] = '\0';
    return *this;
  }
  void clear() { len_ = 0; overflow_ = false; buf_[0] = '\0'; }
  const char* c_str() const { return buf_; }
  std::string_view view() const { return {buf_, len_}; }
  // True when some text did not fit: such a path must not be used.
  bool overflow() const { return overflow_; }

 private:
  char buf_[CAP + 1] = {};
  std::size_t len_ = 0;
  bool overflow_ = false;
};

// The first n characters of a fixed field, n clamped to the field.
inline std::string_view lead(std::string_view s, long n) {
  if (n <= 0) return {};
  return s.substr(0, static_cast<std::size_t>(n) < s.size() ? static_cast<std::size_t>(n) : s.size());
}

// The same for a fixed character field of the state blocks (no NUL ending).
template <std::size_t N>
inline std::string_view lead(const char (&field)[N], long n) {
  return lead(std::string_view(field, N), n);
}

}  // namespace voran
