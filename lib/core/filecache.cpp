// Memory images of classic-format data files and the raw values read from
// each open file (see filecache.h).
#include "core/filecache.h"

#include <fcntl.h>
#include <netcdf.h>
#include <netcdf_mem.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace voran {
namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;
constexpr int NIMAGES = 64;      // image buffers (more than the 40 surface file slots)
constexpr int NFILES = 64;       // files opened through fc_open at once
constexpr int NKEPT = 16384;     // kept reads
constexpr int KEEP_DIMS = 4;     // reads of variables with more dimensions are not kept
constexpr std::size_t KEEP_RESERVE = std::size_t{4} << 30;  // address space, never all touched
constexpr std::size_t BIG_HINT = 64 * MIB;  // read buffer of a file opened from disk

std::size_t IMAGE_LIMIT = std::size_t{1} << 30;
std::size_t KEEP_LIMIT = std::size_t{512} << 20;

// An image buffer: capacity mapped once and reused by later files.
struct Image {
  unsigned char* buf;
  std::size_t cap;
  std::size_t size;
  bool busy;
};
Image IMAGES[NIMAGES];
std::size_t MAPPED = 0;  // total capacity of the image buffers

// Where each variable of a classic image lies, read from the file's header
// and checked against what NetCDF reports of the file. Reads of whole
// records of such a variable are gathered from the image directly, which
// costs a small part of a read through NetCDF's per-record machinery.
constexpr int LAYOUT_VARS = 1024;  // files with more variables are read through NetCDF
constexpr int LAYOUT_DIMS = 8;     // variables of more dimensions are read through NetCDF
struct VarLayout {
  uint64_t begin;    // offset of the variable (of its slab in the first record)
  uint64_t bytes;    // bytes of one record's slab (of the whole variable when fixed)
  uint32_t elem;     // bytes of one value
  bool rec;          // record variable
  bool direct;       // reads may be gathered from the image
  int8_t checked;    // 0 not yet, 1 agrees with NetCDF, -1 read through NetCDF
  int ndims;
  uint64_t len[LAYOUT_DIMS];  // dimension lengths (the record count first)
};
struct Layout {
  bool ok;
  int nvars;
  uint64_t recsize;  // bytes of one record
  VarLayout var[LAYOUT_VARS];
};
Layout LAYOUTS[NIMAGES];

// A file opened here: its id and image (-1: opened from disk).
struct OpenFile {
  int ncid;
  int image;
  bool used;
};
OpenFile FILES[NFILES];
int NOPEN = 0;

// A kept read: the variable, its hyperslab and where its bytes are.
struct Kept {
  int ncid;  // -1: dead
  int varid;
  int ndims;
  size_t start[KEEP_DIMS];
  size_t count[KEEP_DIMS];
  std::size_t off;
  std::size_t bytes;
};
Kept KEPT[NKEPT];
int NKEPT_USED = 0;
unsigned char* ARENA = nullptr;
bool ARENA_FAILED = false;
std::size_t ARENA_USED = 0;
std::size_t KEPT_LIVE = 0;

FcStats STATS;
void (*TRACE)(int, int) = nullptr;
int64_t EPOCH = 0;

// Dimension lengths of the open files, asked for once each.
constexpr int NDIMLENS = 512;
struct DimLen {
  int ncid;  // -1: free
  int dimid;
  size_t len;
};
DimLen DIMLENS[NDIMLENS];
int NDIMLENS_USED = 0;

void drop_dimlens(int ncid) {
  int out = 0;
  for (int k = 0; k < NDIMLENS_USED; ++k)
    if (DIMLENS[k].ncid != ncid) DIMLENS[out++] = DIMLENS[k];
  NDIMLENS_USED = out;
}

void drop_kept(int ncid) {
  for (int k = 0; k < NKEPT_USED; ++k) {
    if (KEPT[k].ncid == ncid) {
      KEPT[k].ncid = -1;
      KEPT_LIVE -= KEPT[k].bytes;
    }
  }
}

// Drop the dead entries and move the live values to the front of the region.
void compact() {
  int out = 0;
  std::size_t used = 0;
  for (int k = 0; k < NKEPT_USED; ++k) {
    Kept e = KEPT[k];
    if (e.ncid < 0) continue;
    const std::size_t off = (used + 15) / 16 * 16;
    if (e.bytes > 0 && off != e.off) std::memmove(ARENA + off, ARENA + e.off, e.bytes);
    e.off = off;
    used = off + e.bytes;
    KEPT[out++] = e;
  }
  NKEPT_USED = out;
  ARENA_USED = used;
}

// Forget a file (closed through fc_close, or found closed behind our back).
void forget(int f) {
  OpenFile& of = FILES[f];
  drop_kept(of.ncid);
  drop_dimlens(of.ncid);
  if (of.image >= 0) {
    Image& im = IMAGES[of.image];
    STATS.image_bytes -= im.size;
    im.busy = false;
    im.size = 0;
  }
  of.used = false;
  --NOPEN;
  if (NOPEN == 0) {  // nothing open: the kept region starts over
    NKEPT_USED = 0;
    ARENA_USED = 0;
    KEPT_LIVE = 0;
  }
}

int find_file(int ncid) {
  for (int f = 0; f < NFILES; ++f)
    if (FILES[f].used && FILES[f].ncid == ncid) return f;
  return -1;
}

void unmap(Image& im) {
  if (im.buf != nullptr) {
    munmap(im.buf, im.cap);
    MAPPED -= im.cap;
  }
  im.buf = nullptr;
  im.cap = 0;
}

// A free image buffer of at least size bytes, or -1.
int take_image(std::size_t size) {
  // Buffers mapped under a higher limit give their space back first.
  for (int i = 0; i < NIMAGES && MAPPED > IMAGE_LIMIT; ++i)
    if (!IMAGES[i].busy) unmap(IMAGES[i]);
  int best = -1;
  for (int i = 0; i < NIMAGES; ++i) {
    const Image& im = IMAGES[i];
    if (!im.busy && im.cap >= size && (best < 0 || im.cap < IMAGES[best].cap)) best = i;
  }
  if (best >= 0) return best;
  const std::size_t cap = (size + MIB - 1) / MIB * MIB;
  // Free buffers too small for this file give their space back.
  int slot = -1;
  for (int i = 0; i < NIMAGES; ++i) {
    if (IMAGES[i].busy) continue;
    if (MAPPED + cap > IMAGE_LIMIT) unmap(IMAGES[i]);
    if (slot < 0 || IMAGES[slot].buf != nullptr) slot = i;
  }
  if (slot < 0 || MAPPED + cap > IMAGE_LIMIT) return -1;
  unmap(IMAGES[slot]);
  void* p = mmap(nullptr, cap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return -1;
  IMAGES[slot].buf = static_cast<unsigned char*>(p);
  IMAGES[slot].cap = cap;
  MAPPED += cap;
  return slot;
}

// Read the whole file into image i; false on any failure. A file that shrinks
// while it is read is taken as far as it goes (the NetCDF open judges it).
bool fill_image(int fd, int i, std::size_t size) {
  Image& im = IMAGES[i];
  std::size_t got = 0;
  while (got < size) {
    ssize_t r = pread(fd, im.buf + got, size - got, static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  im.size = got;
  return got > 0;
}

bool classic_magic(int fd) {
  unsigned char m[4] = {0, 0, 0, 0};
  if (pread(fd, m, 4, 0) != 4) return false;
  return m[0] == 'C' && m[1] == 'D' && m[2] == 'F' && (m[3] == 1 || m[3] == 2 || m[3] == 5);
}

int open_from_disk(const char* path, std::size_t size, int& ncid) {
  size_t hint = size < BIG_HINT ? (size < 8192 ? 8192 : size) : BIG_HINT;
  int rc = nc__open(path, NC_NOWRITE, &hint, &ncid);
  if (rc == NC_NOERR) ++STATS.direct_opens;
  return rc;
}


// ---- classic header ----

// Big-endian reader over the image; every read checks the bounds.
struct Cursor {
  const unsigned char* p;
  uint64_t size;
  uint64_t at;
  bool bad;
  uint64_t u32() {
    if (bad || size - at < 4 || at > size) {
      bad = true;
      return 0;
    }
    const unsigned char* q = p + at;
    at += 4;
    return (uint64_t{q[0]} << 24) | (uint64_t{q[1]} << 16) | (uint64_t{q[2]} << 8) | q[3];
  }
  uint64_t u64() {
    uint64_t hi = u32();
    return (hi << 32) | u32();
  }
  // A name: its length, then its characters padded to 4 bytes.
  bool name(char* out) {
    uint64_t n = u32();
    if (bad || n > NC_MAX_NAME) return bad = true, false;
    skip(n, out);
    return !bad;
  }
  void skip(uint64_t n, char* out = nullptr) {
    uint64_t padded = (n + 3) / 4 * 4;
    if (bad || n > size || padded > size - at) {
      bad = true;
      return;
    }
    if (out != nullptr) {
      std::memcpy(out, p + at, n);
      out[n] = '\0';
    }
    at += padded;
  }
};

uint32_t type_size(uint64_t t) {
  switch (t) {
    case NC_BYTE: case NC_CHAR: return 1;
    case NC_SHORT: return 2;
    case NC_INT: case NC_FLOAT: return 4;
    case NC_DOUBLE: return 8;
    default: return 0;
  }
}

// Reads the header of a CDF-1 or CDF-2 image into lay and checks every
// variable against NetCDF's own description of the open file. False leaves
// the file to NetCDF.
bool read_layout(const Image& im, int ncid, Layout& lay) {
  lay.ok = false;
  Cursor c{im.buf, im.size, 4, false};
  if (im.size < 8 || (im.buf[3] != 1 && im.buf[3] != 2)) return false;
  const bool off64 = im.buf[3] == 2;
  const uint64_t numrecs = c.u32();
  if (numrecs == 0xFFFFFFFFu) return false;  // streaming: no record count
  char name[NC_MAX_NAME + 1];
  uint64_t dimlen[NC_MAX_DIMS];
  int ndims = 0;
  // dimensions
  uint64_t tag = c.u32(), n = c.u32();
  if (c.bad || (tag != 0 && tag != 10) || n > NC_MAX_DIMS) return false;
  for (uint64_t d = 0; d < n; ++d) {
    if (!c.name(name)) return false;
    dimlen[ndims++] = c.u32();
  }
  // attributes (global, and of each variable)
  char attname[NC_MAX_NAME + 1];
  auto skip_atts = [&]() {
    uint64_t t = c.u32(), k = c.u32();
    if (c.bad || (t != 0 && t != 12)) return false;
    for (uint64_t a = 0; a < k && !c.bad; ++a) {
      c.name(attname);
      uint64_t ty = c.u32(), cnt = c.u32();
      uint32_t es = type_size(ty);
      if (es == 0 || cnt > c.size) return false;
      c.skip(cnt * es);
    }
    return !c.bad;
  };
  if (!skip_atts()) return false;
  // variables
  tag = c.u32();
  n = c.u32();
  if (c.bad || (tag != 0 && tag != 11) || n > LAYOUT_VARS) return false;
  int nv_nc = 0, unlim = -1;
  if (nc_inq_nvars(ncid, &nv_nc) != NC_NOERR || static_cast<uint64_t>(nv_nc) != n) return false;
  nc_inq_unlimdim(ncid, &unlim);
  uint64_t recsize = 0;
  int nrecvars = 0;
  for (uint64_t v = 0; v < n; ++v) {
    VarLayout& vl = lay.var[v];
    if (!c.name(name)) return false;
    uint64_t nd = c.u32();
    if (c.bad || nd > NC_MAX_VAR_DIMS) return false;
    int dimids[NC_MAX_VAR_DIMS];
    for (uint64_t d = 0; d < nd; ++d) {
      uint64_t id = c.u32();
      if (id >= static_cast<uint64_t>(ndims)) return false;
      dimids[d] = static_cast<int>(id);
    }
    if (!skip_atts()) return false;
    uint64_t ty = c.u32();
    c.u32();  // vsize: recomputed below
    vl.begin = off64 ? c.u64() : c.u32();
    vl.elem = type_size(ty);
    if (c.bad || vl.elem == 0) return false;
    // NetCDF must see the same variable.
    char ncname[NC_MAX_NAME + 1];
    nc_type nct;
    int ncnd = 0, ncdims[NC_MAX_VAR_DIMS];
    if (nc_inq_var(ncid, static_cast<int>(v), ncname, &nct, &ncnd, ncdims, nullptr) != NC_NOERR ||
        std::strcmp(ncname, name) != 0 || static_cast<uint64_t>(nct) != ty ||
        static_cast<uint64_t>(ncnd) != nd)
      return false;
    vl.ndims = static_cast<int>(nd);
    vl.rec = nd > 0 && dimlen[dimids[0]] == 0;
    vl.direct = nd <= static_cast<uint64_t>(LAYOUT_DIMS);
    vl.checked = 0;
    if (vl.rec && dimids[0] != unlim) return false;
    uint64_t per = vl.elem;
    for (uint64_t d = 0; d < nd; ++d) {
      if (ncdims[d] != dimids[d]) return false;
      if (d > 0 && dimlen[dimids[d]] == 0) return false;  // record dimension only first
      const uint64_t len = (d == 0 && vl.rec) ? numrecs : dimlen[dimids[d]];
      if (d < static_cast<uint64_t>(LAYOUT_DIMS)) vl.len[d] = len;
      if (d > 0 || !vl.rec) {
        if (len != 0 && per > UINT64_MAX / 4 / len) return false;
        per *= len;
      }
    }
    vl.bytes = per;
    if (vl.rec) {
      recsize += (per + 3) / 4 * 4;
      ++nrecvars;
    }
  }
  if (c.bad) return false;
  // A file of one record variable does not pad its records.
  if (nrecvars == 1) {
    for (uint64_t v = 0; v < n; ++v)
      if (lay.var[v].rec) recsize = lay.var[v].bytes;
  }
  size_t nrec_nc = 0;
  if (unlim >= 0 && (nc_inq_dimlen(ncid, unlim, &nrec_nc) != NC_NOERR || nrec_nc != numrecs))
    return false;
  lay.nvars = static_cast<int>(n);
  lay.recsize = recsize;
  lay.ok = true;
  return true;
}

inline uint16_t bswap(uint16_t x) { return __builtin_bswap16(x); }
inline uint32_t bswap(uint32_t x) { return __builtin_bswap32(x); }
inline uint64_t bswap(uint64_t x) { return __builtin_bswap64(x); }

// Values of count records from first, each slab of per bytes, big-endian in
// the image, native in dest.
template <class U>
void gather(const unsigned char* src, uint64_t stride, uint64_t nrec, uint64_t per,
            unsigned char* dest) {
  const uint64_t nv = per / sizeof(U);
  for (uint64_t r = 0; r < nrec; ++r, src += stride) {
    for (uint64_t k = 0; k < nv; ++k) {
      U x;
      std::memcpy(&x, src + k * sizeof(U), sizeof(U));
      if constexpr (sizeof(U) == 1) {
        dest[k] = x;
      } else {
        x = bswap(x);
        std::memcpy(dest + k * sizeof(U), &x, sizeof(U));
      }
    }
    dest += per;
  }
}

// A read of whole slabs (all of every dimension but the first) from an image
// whose layout is known; false when NetCDF must do it.
bool gather_from_image(int img, int varid, int ndims, const size_t* start, const size_t* count,
                       std::size_t elem, void* dest) {
  const Layout& lay = LAYOUTS[img];
  if (!lay.ok || varid < 0 || varid >= lay.nvars) return false;
  const VarLayout& vl = lay.var[varid];
  if (!vl.direct || vl.ndims != ndims || vl.elem != elem) return false;
  uint64_t first = 0, nrec = 1;
  for (int d = 0; d < ndims; ++d) {
    if (d == 0 && vl.rec) {
      if (start[0] > vl.len[0] || count[0] > vl.len[0] - start[0]) return false;
      first = start[0];
      nrec = count[0];
    } else if (start[d] != 0 || count[d] != vl.len[d]) {
      return false;
    }
  }
  if (nrec == 0 || vl.bytes == 0) return true;
  const Image& im = IMAGES[img];
  const uint64_t stride = vl.rec ? lay.recsize : 0;
  // Every byte must lie in the image (a file cut short is NetCDF's to judge).
  if (vl.begin > im.size) return false;
  uint64_t last = vl.begin;
  if (vl.rec) {
    if (first + nrec - 1 > (im.size - vl.begin) / (stride == 0 ? 1 : stride)) return false;
    last += (first + nrec - 1) * stride;
  }
  if (last > im.size || vl.bytes > im.size - last) return false;
  const unsigned char* src = im.buf + vl.begin + first * stride;
  auto* out = static_cast<unsigned char*>(dest);
  switch (elem) {
    case 1: gather<uint8_t>(src, stride, nrec, vl.bytes, out); break;
    case 2: gather<uint16_t>(src, stride, nrec, vl.bytes, out); break;
    case 4: gather<uint32_t>(src, stride, nrec, vl.bytes, out); break;
    default: gather<uint64_t>(src, stride, nrec, vl.bytes, out); break;
  }
  return true;
}

// The image holds every byte of every variable.
bool complete(const Image& im, const Layout& lay) {
  for (int v = 0; v < lay.nvars; ++v) {
    const VarLayout& vl = lay.var[v];
    uint64_t nrec = vl.rec ? vl.len[0] : 1;
    if (vl.ndims > LAYOUT_DIMS || nrec == 0 || vl.bytes == 0) continue;
    uint64_t stride = vl.rec ? lay.recsize : 0;
    if (vl.begin > im.size) return false;
    if (stride > 0 && nrec - 1 > (im.size - vl.begin) / stride) return false;
    uint64_t last = vl.begin + (nrec - 1) * stride;
    if (last > im.size || vl.bytes > im.size - last) return false;
  }
  return true;
}

// A variable's place in the image is trusted only when it gives NetCDF's
// values for its first and last record (or the whole of it, when small):
// checked the first time the variable is gathered.
bool check_variable(int img, int ncid, int v) {
  VarLayout& vl = LAYOUTS[img].var[v];
  static unsigned char a[4096], b[4096];
  if (vl.bytes > sizeof a) return false;  // slabs this large are NetCDF's to read
  size_t start[LAYOUT_DIMS] = {0}, count[LAYOUT_DIMS];
  for (int d = 0; d < vl.ndims; ++d) count[d] = vl.len[d];
  const uint64_t nrec = vl.rec ? vl.len[0] : 1;
  if (nrec == 0) return true;
  for (uint64_t r : {uint64_t{0}, nrec - 1}) {
    if (vl.rec) {
      start[0] = r;
      count[0] = 1;
    }
    if (nc_get_vars(ncid, v, start, count, nullptr, a) != NC_NOERR ||
        !gather_from_image(img, v, vl.ndims, start, count, vl.elem, b) ||
        std::memcmp(a, b, vl.bytes) != 0)
      return false;
  }
  return true;
}

bool read_from_image(int img, int ncid, int varid, int ndims, const size_t* start,
                     const size_t* count, std::size_t elem, void* dest) {
  Layout& lay = LAYOUTS[img];
  if (!lay.ok || varid < 0 || varid >= lay.nvars) return false;
  VarLayout& vl = lay.var[varid];
  if (vl.checked == 0) vl.checked = check_variable(img, ncid, varid) ? 1 : -1;
  return vl.checked == 1 && gather_from_image(img, varid, ndims, start, count, elem, dest);
}
}  // namespace

int fc_open(const char* path, int& ncid) {
  ++EPOCH;
  ncid = -1;
  int f = -1;
  for (int k = 0; k < NFILES && f < 0; ++k)
    if (!FILES[k].used) f = k;

  int img = -1;
  std::size_t size = 0;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      size = static_cast<std::size_t>(st.st_size);
      if (f >= 0 && classic_magic(fd)) {
        img = take_image(size);
        if (img >= 0 && !fill_image(fd, img, size)) img = -1;
      }
    }
    ::close(fd);
  }

  int id = -1;
  int rc;
  rc = NC_ENOTNC;
  if (img >= 0) {
    rc = nc_open_mem(path, NC_NOWRITE, IMAGES[img].size, IMAGES[img].buf, &id);
    // The image is used only when its layout is known and it holds every
    // byte the header promises; any other file is NetCDF's to read from disk
    // (a file cut short reads there as it always did).
    if (rc == NC_NOERR &&
        !(read_layout(IMAGES[img], id, LAYOUTS[img]) && complete(IMAGES[img], LAYOUTS[img]))) {
      nc_close(id);
      LAYOUTS[img].ok = false;
      rc = NC_ENOTNC;
    }
    if (rc == NC_NOERR) {
      ++STATS.images;
      ++STATS.layouts;
    } else {
      IMAGES[img].size = 0;
      img = -1;
    }
  }
  if (img < 0) {
    // Not a classic file (NetCDF-4 reads each variable's own chunks), too
    // large for the image region, unreadable, or an image NetCDF refused:
    // NetCDF opens the file itself and reports what is wrong with it.
    rc = open_from_disk(path, size, id);
  }
  if (rc != NC_NOERR) return rc;
  // An id still listed belongs to a file closed without fc_close.
  for (int old = find_file(id); old >= 0; old = find_file(id)) forget(old);
  for (int k = 0; k < NFILES && f < 0; ++k)
    if (!FILES[k].used) f = k;
  if (f >= 0) {
    FILES[f] = {id, img, true};
    ++NOPEN;
    if (img >= 0) {
      IMAGES[img].busy = true;
      STATS.image_bytes += IMAGES[img].size;
    }
  }
  ncid = id;
  return NC_NOERR;
}

int fc_close(int ncid) {
  ++EPOCH;
  int rc = nc_close(ncid);
  int f = find_file(ncid);
  if (f >= 0) forget(f);
  return rc;
}

int fc_get_vara(int ncid, int varid, int ndims, const size_t* start, const size_t* count,
                std::size_t elem, void* dest) {
  const void* values = nullptr;
  const int rc = fc_read(ncid, varid, ndims, start, count, elem, dest, values);
  if (rc == NC_NOERR && values != dest) {
    std::size_t n = elem;
    for (int d = 0; d < ndims; ++d) n *= count[d];
    if (n > 0) std::memcpy(dest, values, n);
  }
  return rc;
}

int fc_read(int ncid, int varid, int ndims, const size_t* start, const size_t* count,
            std::size_t elem, void* dest, const void*& values) {
  values = dest;
  if (TRACE != nullptr) TRACE(ncid, varid);
  std::size_t n = elem;
  for (int d = 0; d < ndims; ++d) n *= count[d];
  const bool keepable = ndims >= 0 && ndims <= KEEP_DIMS && find_file(ncid) >= 0;
  if (keepable) {
    for (int k = 0; k < NKEPT_USED; ++k) {
      const Kept& e = KEPT[k];
      if (e.ncid != ncid || e.varid != varid || e.ndims != ndims || e.bytes != n) continue;
      bool same = true;
      for (int d = 0; d < ndims && same; ++d)
        same = e.start[d] == start[d] && e.count[d] == count[d];
      if (!same) continue;
      if (n > 0) values = ARENA + e.off;
      ++STATS.hits;
      return NC_NOERR;
    }
  }
  // A read to be kept goes straight into the kept region.
  unsigned char* target = static_cast<unsigned char*>(dest);
  std::size_t off = 0;
  bool keep = false;
  if (keepable) {
    if (ARENA == nullptr && !ARENA_FAILED) {
      void* p = mmap(nullptr, KEEP_RESERVE, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
      if (p == MAP_FAILED) {
        ARENA_FAILED = true;
      } else {
        ARENA = static_cast<unsigned char*>(p);
      }
    }
    const std::size_t limit = KEEP_LIMIT < KEEP_RESERVE ? KEEP_LIMIT : KEEP_RESERVE;
    if (ARENA != nullptr && n <= limit) {
      // Values of files closed while others stay open are given back when
      // the region runs full: the live ones move down, in order.
      if (ARENA_USED + 15 > limit || n > limit - (ARENA_USED + 15) || NKEPT_USED >= NKEPT)
        compact();
      off = (ARENA_USED + 15) / 16 * 16;
      keep = off <= limit && n <= limit - off && NKEPT_USED < NKEPT;
      if (keep) target = ARENA + off;
    }
  }
  const int f = find_file(ncid);
  int rc;
  if (f >= 0 && FILES[f].image >= 0 &&
      read_from_image(FILES[f].image, ncid, varid, ndims, start, count, elem, target)) {
    ++STATS.image_reads;
    rc = NC_NOERR;
  } else {
    ++STATS.reads;
    rc = nc_get_vara(ncid, varid, start, count, target);
  }
  if (rc != NC_NOERR || !keep) return rc;
  Kept& e = KEPT[NKEPT_USED++];
  e.ncid = ncid;
  e.varid = varid;
  e.ndims = ndims;
  for (int d = 0; d < ndims; ++d) {
    e.start[d] = start[d];
    e.count[d] = count[d];
  }
  e.off = off;
  e.bytes = n;
  ARENA_USED = off + n;
  KEPT_LIVE += n;
  values = target;
  return rc;
}

int fc_inq_dimlen(int ncid, int dimid, size_t& len) {
  for (int k = 0; k < NDIMLENS_USED; ++k) {
    if (DIMLENS[k].ncid == ncid && DIMLENS[k].dimid == dimid) {
      len = DIMLENS[k].len;
      return NC_NOERR;
    }
  }
  const int rc = nc_inq_dimlen(ncid, dimid, &len);
  if (rc == NC_NOERR && NDIMLENS_USED < NDIMLENS && find_file(ncid) >= 0)
    DIMLENS[NDIMLENS_USED++] = {ncid, dimid, len};
  return rc;
}

int64_t fc_epoch() { return EPOCH; }

bool fc_is_open(int ncid) { return find_file(ncid) >= 0; }

FcStats fc_stats() {
  FcStats s = STATS;
  s.kept_bytes = KEPT_LIVE;
  return s;
}

void fc_set_trace(void (*fn)(int ncid, int varid)) { TRACE = fn; }

void fc_set_limits(std::size_t image_limit, std::size_t keep_limit) {
  IMAGE_LIMIT = image_limit;
  KEEP_LIMIT = keep_limit;
}

}  // namespace voran
