// Library core: messages, strings, channel numbers, time, data files,
// NetCDF readers and the fetch layer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/state.h"
#include "voran.h"

// ---- messages and strings (errors.cpp, strings.cpp) ----
void MERROR(std::string_view message);
// Position (1-based) of the last significant character of s[0..len): printable
// ASCII other than the blank and the grave accent; 0 when there is none.
int32_t M_LSTCHR(std::string_view s, int32_t len);
// MODE 1 borrows a unit into lun, MODE 2 gives lun back.
void M_GETLUN(int32_t& lun, int32_t mode);

namespace voran {
// Fortran character comparison: the shorter operand counts as blank-padded.
bool feq(std::string_view a, std::string_view b);
// The same, with NUL counted as blank (names read from data files).
bool feq_nul(std::string_view a, std::string_view b);
// Copy src into the fixed field dst[0..width), blank-padding or truncating.
void fset(char* dst, std::size_t width, std::string_view src);
// fset from srcw characters read from a file, NULs made blanks: names from
// files are kept so, since they compare with NUL counted as blank.
inline void fset_nul(char* dst, int64_t width, const char* src, int64_t srcw) {
  const int64_t n = srcw < width ? (srcw > 0 ? srcw : 0) : width;
  for (int64_t k = 0; k < n; ++k) dst[k] = src[k] == '\0' ? ' ' : src[k];
  for (int64_t k = n; k < width; ++k) dst[k] = ' ';
}
// The field dst[0..width) as a view.
inline std::string_view fview(const char* p, std::size_t width) { return {p, width}; }
// M_LSTCHR of the n characters at p, inline for loops over every record.
inline int32_t last_significant(const char* p, int32_t n) {
  while (n > 0) {
    const auto c = static_cast<unsigned char>(p[n - 1]);
    if (c > 32 && c < 127 && c != 96) return n;
    --n;
  }
  return 0;
}
// Hashing of names for the lookup tables of the per-record loops: a name
// goes in eight characters at a time.
inline uint64_t hash_mix(uint64_t h, uint64_t v) {
  h = (h ^ v) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 32);
}
// Every NUL byte of a word made a blank. (v & 0x7f..) + 0x7f.. sets a byte's
// high bit exactly when its low seven bits are not all zero, without carries
// between bytes; or-ing v adds the bytes whose own high bit is set.
inline uint64_t nul_to_blank(uint64_t v) {
  constexpr uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
  constexpr uint64_t high = 0x8080808080808080ull;
  const uint64_t nonzero = ((v & low7) + low7) | v;
  const uint64_t zero_high = ~nonzero & high;  // 0x80 in every NUL byte
  return v | (zero_high >> 7) * 0x20u;
}
// h mixed with the n characters at p, NULs as blanks when nul_blank (names
// equal with NUL counted as blank then hash alike).
inline uint64_t hash_field(uint64_t h, const char* p, int32_t n, bool nul_blank) {
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = hash_mix(h, nul_blank ? nul_to_blank(w) : w);
  }
  if (n > 0) {
    uint64_t w = 0;
    std::memcpy(&w, p, static_cast<std::size_t>(n));
    h = hash_mix(h, nul_blank ? nul_to_blank(w) : w);
  }
  return h;
}
// Loops over every value of a file are built twice, for AVX2 and for any
// x86-64, and the processor's kind picks one when the program starts. The
// operations are element-wise, so both give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VORAN_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VORAN_WIDE_LOOP
#endif
// Significant part of a fixed field (trailing blanks and NULs dropped).
std::string_view ftrim(std::string_view s);
}  // namespace voran

// ---- time (time.cpp) ----
int32_t M_GTI4TM(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                 int32_t second, int32_t& status);
void M_CNVTTM(int32_t itime, int32_t& year1900, int32_t& month, int32_t& day, int32_t& hour,
              int32_t& minute, int32_t& second, int32_t& status);
void M_MKFNAM(int32_t itime, char* atime, int32_t& status);          // atime: 9 chars
void M_MKI4TM(std::string_view atime, int32_t& itime, int32_t& status);
void M_CVJLMD(int32_t jday, int32_t year, int32_t& month, int32_t& day, int32_t& status);
void M_MKWFNM(std::string_view atime, char* stem, int32_t& status);  // stem: 13 chars

// ---- data files (datafiles.cpp) ----
void MTMRNG(std::string_view tpl, int32_t tlen, int32_t& endoff, int32_t& period,
            int32_t& status);
void MSFILES(int32_t family, int32_t itime, int32_t& first, int32_t& nfiles);
void MVORANOPEN(std::string_view dir, int32_t dirlen, std::string_view stem, int32_t& ncid,
                int32_t& rcode);
void MVORANCLS1(int32_t ncid, std::string_view dir, int32_t dirlen, std::string_view stem);

// ---- NetCDF readers (netcdf_read.cpp) ----
// work: at least nmax 4-byte elements (the four views of the design share it).
void MRDNUM1(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart,
             int32_t rcount, float missing, float* values, int32_t nmax, void* work,
             int32_t& nvals, int32_t& status);
void MRDNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart, int32_t rcount,
            float missing, float* values, int32_t& status);
// cbuf holds cbufcap characters; nchar receives the characters per record.
void MRDCHR(std::string_view name, int32_t ncid, int32_t recdim, int32_t rstart, int32_t rcount,
            char* cbuf, int64_t cbufcap, int32_t& nchar, int32_t& status);

// ---- fetch layer (fetch.cpp) ----
void MGTNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
            float missing, float* values, int32_t& status);
void MGTCHR(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
            char* cbuf, int64_t cbufcap, int32_t& nchar, int32_t& status);
void MRAOBNUM(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
              float missing, float* values, int32_t& status);
void MRAOBCHR(std::string_view name, int32_t ncid, int32_t recdim, int32_t r1, int32_t r2,
              char* cbuf, int64_t cbufcap, int32_t& nchar, int32_t& status);
