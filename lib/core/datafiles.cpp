// Data files: the file timing of a family from its template, the files that
// cover a time window, and opening and closing a data file in normal, web,
// archive and server mode.
#include <fcntl.h>
#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/core.h"
#include "core/filecache.h"
#include "core/pathbuf.h"

using voran::lead;
using voran::TextBuf;

namespace {

// Persistent fields of the open and close routines.
char ERRTPL[voran::PATHLEN];
struct FileNames {
  char LDNAME[voran::PATHLEN];
  char LCLFNAME[13];
};
FileNames OPEN_NAMES, CLOSE_NAMES;
char ANAME[voran::PATHLEN + 32];

// Decompression buffer, reused by every unpack.
unsigned char UNPACK_BUF[1 << 16];

bool server_mode() { return std::string_view(VORANCOM1.FILE_SUFFIX, 4) == ".tmp"; }

// Copy the directory (first dirlen characters) and the stem into names;
// the returned length is dirlen clamped to what was given.
int32_t keep_names(FileNames& names, std::string_view dir, int32_t dirlen,
                   std::string_view stem) {
  std::string_view d = lead(dir, std::min<int32_t>(dirlen, voran::PATHLEN));
  voran::fset(names.LDNAME, voran::PATHLEN, d);
  voran::fset(names.LCLFNAME, 13, stem);
  return static_cast<int32_t>(d.size());
}

// Read a single-valued integer global attribute. Anything else (missing,
// another type, several values, out of the 32-bit range) is refused.
bool int_attribute(int ncid, const char* name, int32_t& out) {
  nc_type type;
  size_t len;
  if (nc_inq_att(ncid, NC_GLOBAL, name, &type, &len) != NC_NOERR || len != 1) return false;
  switch (type) {
    case NC_BYTE: case NC_UBYTE: case NC_SHORT: case NC_USHORT:
    case NC_INT: case NC_UINT: case NC_INT64: case NC_UINT64:
      break;
    default:
      return false;
  }
  long long v;
  if (nc_get_att_longlong(ncid, NC_GLOBAL, name, &v) != NC_NOERR) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool write_all(int fd, const unsigned char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// A working copy as unpack leaves it: the descriptor it was written through
// (open while the copy has no name) and the path NetCDF opens it by.
struct Copy {
  int fd = -1;
  TextBuf path;
};

// True when path (a descriptor link of /proc) reopens the file open as fd.
bool reopens(const char* path, int fd) {
  int again = ::open(path, O_RDONLY | O_CLOEXEC);
  if (again < 0) return false;
  struct stat a, b;
  const bool same = ::fstat(again, &a) == 0 && ::fstat(fd, &b) == 0 && a.st_dev == b.st_dev &&
                    a.st_ino == b.st_ino;
  ::close(again);
  return same;
}

// Unpack the gzip file src into a working copy beside dst, created
// exclusively, mode 0600, under a name of its own. A classic file loses that
// name at once: it is written and then opened through its descriptor's link
// in /proc, so it cannot outlive the process, however that ends (the kernel
// frees the data with the last descriptor). HDF5 resolves the path it is given to
// the file's name, so a NetCDF-4 file (and any file where /proc is not
// there) is renamed over dst when complete (a symbolic link planted at dst
// is replaced, not written through) and the caller removes that name as
// soon as NetCDF has the file open. Returns 0, or a nonzero code with no
// file left behind.
int unpack(const char* src, const TextBuf& dst, Copy& copy) {
  int in = ::open(src, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return errno != 0 ? errno : ENOENT;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return NC_ENOTNC;
  }
  gzFile gz = gzdopen(in, "rb");
  if (gz == nullptr) {
    ::close(in);
    return NC_ENOMEM;
  }
  gzbuffer(gz, 1 << 17);  // fewer reads of large files
  if (gzdirect(gz)) {     // not gzip data
    gzclose(gz);
    return NC_ENOTNC;
  }
  // The first block tells the format before any file is made.
  int n = gzread(gz, UNPACK_BUF, sizeof UNPACK_BUF);
  if (n < 0) {
    gzclose(gz);
    return NC_ENOTNC;
  }
  const bool classic = n >= 3 && std::memcmp(UNPACK_BUF, "CDF", 3) == 0;
  TextBuf tmp;
  tmp.add(dst.view()).add(".XXXXXX");
  char name[TextBuf::CAP + 1];
  std::memcpy(name, tmp.c_str(), tmp.view().size() + 1);
  int out = tmp.overflow() ? -1 : ::mkostemp(name, O_CLOEXEC);
  if (out < 0) {
    int e = tmp.overflow() ? ENAMETOOLONG : errno != 0 ? errno : EACCES;
    gzclose(gz);
    return e;
  }
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", out);
  const bool anonymous = classic && reopens(link, out) && ::unlink(name) == 0;
  bool ok = true;
  while (n > 0) {
    if (!write_all(out, UNPACK_BUF, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
    n = gzread(gz, UNPACK_BUF, sizeof UNPACK_BUF);
    if (n < 0) ok = false;
  }
  // gzclose reports a stream that ended early (truncated file).
  if (gzclose(gz) != Z_OK) ok = false;
  copy.path.clear();
  if (anonymous) {
    if (!ok) {
      ::close(out);
      return NC_ENOTNC;
    }
    copy.fd = out;
    copy.path.add(link);
    return 0;
  }
  if (::close(out) != 0) ok = false;
  if (ok && std::rename(name, dst.c_str()) == 0) {
    copy.path.add(dst.view());
    return 0;
  }
  ::unlink(name);
  return NC_ENOTNC;
}

// Working copy of the file in server mode.
void working_path(TextBuf& w, int32_t dirlen, const FileNames& names) {
  w.clear();
  w.add(lead(VORANCOM1.SERVER_ROOT, VORANCOM2.ROOT_LEN))
      .add(lead(names.LDNAME, dirlen))
      .add({names.LCLFNAME, 13})
      .add({VORANCOM1.FILE_SUFFIX, 11});
}

// Sanity check of a classic-format header (CDF-1, CDF-2, CDF-5) before the
// NetCDF library parses it: every count and every attribute's values must fit
// in the bytes the file has left. A corrupt header can otherwise announce
// billions of entries, which the library tries to allocate and walk (minutes
// of work and gigabytes of memory for a file of a few bytes). Variables must
// be of a type the format has: the library divides by the size of one value
// and stops the process on a string variable in a classic header. Other
// formats pass unchecked.
class HeaderScan {
 public:
  explicit HeaderScan(int fd) : fd_(fd) {}

  bool ok() {
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size_ = st.st_size;
    unsigned char magic[4];
    if (!get(magic, 4)) return true;  // too short for any header: the library refuses it
    if (magic[0] != 'C' || magic[1] != 'D' || magic[2] != 'F') return true;
    const int v = magic[3];
    if (v != 1 && v != 2 && v != 5) return false;
    wide_ = v == 5;
    offset8_ = v != 1;
    uint64_t n;
    if (!word(n, wide_ ? 8 : 4)) return false;  // number of records (or "streaming")
    // Dimensions: name and length each.
    if (!list(0x0A, 8, n)) return false;
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t len;
      if (!name() || !count(len)) return false;
    }
    if (!attributes()) return false;
    if (!list(0x0B, 16, n)) return false;
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t nd, type, vsize;
      if (!name() || !count(nd) || !fits(nd, wide_ ? 8 : 4) || !skip(nd * (wide_ ? 8 : 4)) ||
          !attributes() || !word(type, 4) || !word(vsize, wide_ ? 8 : 4) ||
          !skip(offset8_ ? 8 : 4))
        return false;
      // A variable of no known type has values of size 0, and NetCDF's own
      // size check divides by it.
      if (type < 1 || type > (wide_ ? 11u : 6u)) return false;
    }
    return true;
  }

 private:
  bool get(unsigned char* p, int64_t n) {
    if (n > size_ - pos_) return false;
    if (::pread(fd_, p, static_cast<size_t>(n), pos_) != n) return false;
    pos_ += n;
    return true;
  }
  bool skip(uint64_t n) {
    if (n > static_cast<uint64_t>(size_ - pos_)) return false;
    pos_ += static_cast<int64_t>(n);
    return true;
  }
  // n items of at least `each` bytes fit in the rest of the file.
  bool fits(uint64_t n, uint64_t each) const {
    return n <= static_cast<uint64_t>(size_ - pos_) / each;
  }
  bool word(uint64_t& v, int width) {
    unsigned char b[8];
    if (!get(b, width)) return false;
    v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b[i];
    return true;
  }
  bool count(uint64_t& v) {
    if (!word(v, wide_ ? 8 : 4)) return false;
    return wide_ ? v < (uint64_t{1} << 62) : v < (uint64_t{1} << 31);
  }
  bool name() {
    uint64_t len;
    return count(len) && skip((len + 3) / 4 * 4);
  }
  // A list header: absent (two zero words) or the tag and a count of items
  // of at least min_item bytes each.
  bool list(uint64_t tag, uint64_t min_item, uint64_t& n) {
    uint64_t t;
    if (!word(t, 4) || !count(n)) return false;
    if (t == 0 && n == 0) return true;
    return t == tag && fits(n, min_item);
  }
  bool attributes() {
    uint64_t n;
    if (!list(0x0C, 12, n)) return false;
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t type, nelems;
      if (!name() || !word(type, 4) || !count(nelems)) return false;
      static constexpr uint64_t SIZE[12] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
      if (type < 1 || type > (wide_ ? 11u : 6u)) return false;
      if (!fits(nelems, SIZE[type]) || !skip((nelems * SIZE[type] + 3) / 4 * 4)) return false;
    }
    return true;
  }

  int fd_;
  int64_t size_ = 0, pos_ = 0;
  bool wide_ = false, offset8_ = false;
};

bool sane_header(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;  // the open that follows reports it
  const bool ok = HeaderScan(fd).ok();
  ::close(fd);
  return ok;
}

// One open attempt of the file in directory base (ending in "/").
int open_in(const TextBuf& base, int32_t dirlen, int& ncid) {
  TextBuf path;
  path.add(base.view()).add({OPEN_NAMES.LCLFNAME, 13});
  if (!server_mode()) {
    path.add({VORANCOM1.FILE_SUFFIX, 11}).rtrim();
    if (path.overflow()) return NC_EINVAL;
    if (!sane_header(path.c_str())) return NC_ENOTNC;
    return voran::fc_open(path.c_str(), ncid);
  }
  path.add(".gz");
  TextBuf work;
  working_path(work, dirlen, OPEN_NAMES);
  if (path.overflow() || work.overflow()) return NC_EINVAL;
  Copy copy;
  int rc = unpack(path.c_str(), work, copy);
  if (rc != 0) return rc;
  rc = sane_header(copy.path.c_str()) ? voran::fc_open(copy.path.c_str(), ncid) : NC_ENOTNC;
  // NetCDF holds the data now, in a memory image or through a descriptor of
  // its own, and never opens the file by its name again.
  if (copy.fd >= 0) {
    ::close(copy.fd);
  } else {
    ::unlink(work.c_str());
  }
  return rc;
}

}  // namespace

void MTMRNG(std::string_view tpl, int32_t tlen, int32_t& endoff, int32_t& period,
            int32_t& status) {
  status = MST_BAD_FILE;
  std::string_view path = lead(tpl, tlen);
  voran::fset(ERRTPL, voran::PATHLEN, path);

  TextBuf name;
  name.add(path).rtrim();
  TextBuf msg;
  int ncid = -1;
  if (name.overflow() || !sane_header(name.c_str()) ||
      nc_open(name.c_str(), NC_NOWRITE, &ncid) != NC_NOERR) {
    MERROR(msg.add("MTMRNG: BIF - NCOPN ERROR ON ").add(path).view());
    return;
  }
  int32_t per = 0, off = 0;
  // A period must be positive: every file time is a multiple of it.
  if (!int_attribute(ncid, "filePeriod", per) || per <= 0) {
    MERROR(msg.add("MTMRNG: BIF - NCAGT ERROR filePeriod ").add(path).view());
  } else if (!int_attribute(ncid, "fileEndOffset", off)) {
    MERROR(msg.add("MTMRNG: BIF - NCAGT ERROR fileEndOffset ").add(path).view());
  } else {
    period = per;
    endoff = off / 60;
    status = MST_OK;
  }
  nc_close(ncid);
}

void MSFILES(int32_t family, int32_t itime, int32_t& first, int32_t& nfiles) {
  first = itime;
  nfiles = 0;
  const auto& c = VORANCOM2;
  int64_t p, off;
  if (family >= 1 && family <= 10) {
    p = c.FILE_PERIOD[family - 1];
    off = c.FILE_ENDOFF[family - 1];
  } else if (family >= 11 && family <= 16) {
    p = c.UA_PERIOD[family - 11];
    off = c.UA_ENDOFF[family - 11];
  } else if (family >= 17 && family <= 23) {
    p = c.OTHER_PERIOD[family - 17];
    off = c.OTHER_ENDOFF[family - 17];
  } else {
    return;
  }
  if (p <= 0) return;  // timing never read: no files

  const int64_t e = (off + 1) * 60;
  const int64_t t_beg = itime + 60 * static_cast<int64_t>(c.WIN_BEFORE);
  const int64_t t_end = itime + 60 * static_cast<int64_t>(c.WIN_AFTER);
  if (t_beg < INT32_MIN || t_beg > INT32_MAX || t_end < INT32_MIN || t_end > INT32_MAX) return;

  // Seconds since midnight (whole minutes) of a time; false outside the calendar.
  auto day_seconds = [](int64_t t, int64_t& q) {
    int32_t y, mo, d, h, mi, s, st = 0;
    M_CNVTTM(static_cast<int32_t>(t), y, mo, d, h, mi, s, st);
    q = 3600 * static_cast<int64_t>(h) + 60 * static_cast<int64_t>(mi);
    return st == 0;
  };
  int64_t q_beg, q_end;
  if (!day_seconds(t_beg, q_beg) || !day_seconds(t_end, q_end)) return;

  const int64_t r = q_beg % p;
  int64_t f = t_beg - r;
  if (r >= e) f += p;
  int64_t last = (t_end - q_end) + p * (q_end / p);
  if (q_end % p >= e) last += p;
  const int64_t n = (last - f) / p + 1;
  if (f < INT32_MIN || f > INT32_MAX || n <= 0) return;
  first = static_cast<int32_t>(f);
  nfiles = static_cast<int32_t>(n);
}

void MVORANOPEN(std::string_view dir, int32_t dirlen, std::string_view stem, int32_t& ncid,
                int32_t& rcode) {
  const int32_t dl = keep_names(OPEN_NAMES, dir, dirlen, stem);
  const std::string_view ldname = lead(OPEN_NAMES.LDNAME, dl);
  const std::string_view data = lead(VORANCOM1.DATA_DIR, VORANCOM2.DATA_LEN);
  int id = -1;

  TextBuf base;
  base.add(data).add(ldname);
  int rc = open_in(base, dl, id);
  if (rc != NC_NOERR) {
    // The archive keeps files under the date of their stem.
    const std::string_view s(OPEN_NAMES.LCLFNAME, 13);
    TextBuf arch;
    arch.add(data).add("/archive/").add(s.substr(0, 4)).add("/").add(s.substr(4, 2))
        .add("/").add(s.substr(6, 2)).add(ldname);
    voran::fset(ANAME, sizeof ANAME, arch.view());
    rc = open_in(arch, dl, id);
  }
  if (rc != NC_NOERR && server_mode()) {
    TextBuf work;
    working_path(work, dl, OPEN_NAMES);
    if (!work.overflow()) ::unlink(work.c_str());
  }
  rcode = rc;
  ncid = rc == NC_NOERR ? id : -1;
}

void MVORANCLS1(int32_t ncid, std::string_view dir, int32_t dirlen, std::string_view stem) {
  const int32_t dl = keep_names(CLOSE_NAMES, dir, dirlen, stem);
  if (voran::fc_close(ncid) != NC_NOERR) return;
  if (!server_mode() || M_LSTCHR({CLOSE_NAMES.LCLFNAME, 13}, 13) == 0) return;
  // Our copy lost its name when it was opened; what is removed here was
  // left by an earlier process of the same tag.
  TextBuf work;
  working_path(work, dl, CLOSE_NAMES);
  if (!work.overflow()) ::unlink(work.c_str());
}
