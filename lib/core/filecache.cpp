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

namespace voran {
namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;
constexpr int NIMAGES = 64;      // image buffers (more than the 40 surface file slots)
constexpr int NFILES = 64;       // files opened through fc_open at once
constexpr int NKEPT = 16384;     // kept reads
constexpr int KEEP_DIMS = 4;     // reads of variables with more dimensions are not kept
constexpr std::size_t KEEP_RESERVE = std::size_t{4} << 30;  // address space, never all touched
constexpr std::size_t BIG_HINT = 64 * MIB;  // read buffer of a file opened from disk

std::size_t IMAGE_LIMIT = std::size_t{2} << 30;
std::size_t KEEP_LIMIT = std::size_t{1} << 30;

// An image buffer: capacity mapped once and reused by later files.
struct Image {
  unsigned char* buf;
  std::size_t cap;
  std::size_t size;
  bool busy;
};
Image IMAGES[NIMAGES];
std::size_t MAPPED = 0;  // total capacity of the image buffers

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

void drop_kept(int ncid) {
  for (int k = 0; k < NKEPT_USED; ++k) {
    if (KEPT[k].ncid == ncid) {
      KEPT[k].ncid = -1;
      KEPT_LIVE -= KEPT[k].bytes;
    }
  }
}

// Forget a file (closed through fc_close, or found closed behind our back).
void forget(int f) {
  OpenFile& of = FILES[f];
  drop_kept(of.ncid);
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
  ++STATS.direct_opens;
  return nc__open(path, NC_NOWRITE, &hint, &ncid);
}

}  // namespace

int fc_open(const char* path, int& ncid) {
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
    if (rc == NC_NOERR) {
      ++STATS.images;
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
  int rc = nc_close(ncid);
  int f = find_file(ncid);
  if (f >= 0) forget(f);
  return rc;
}

int fc_get_vara(int ncid, int varid, int ndims, const size_t* start, const size_t* count,
                std::size_t elem, void* dest) {
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
      if (n > 0) std::memcpy(dest, ARENA + e.off, n);
      ++STATS.hits;
      return NC_NOERR;
    }
  }
  ++STATS.reads;
  int rc = nc_get_vara(ncid, varid, start, count, dest);
  if (rc != NC_NOERR || !keepable || NKEPT_USED >= NKEPT) return rc;
  if (ARENA == nullptr && !ARENA_FAILED) {
    void* p = mmap(nullptr, KEEP_RESERVE, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
      ARENA_FAILED = true;
    } else {
      ARENA = static_cast<unsigned char*>(p);
    }
  }
  const std::size_t off = (ARENA_USED + 15) / 16 * 16;
  const std::size_t limit = KEEP_LIMIT < KEEP_RESERVE ? KEEP_LIMIT : KEEP_RESERVE;
  if (ARENA == nullptr || off > limit || n > limit - off) return rc;
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
  if (n > 0) std::memcpy(ARENA + off, dest, n);
  ARENA_USED = off + n;
  KEPT_LIVE += n;
  return rc;
}

FcStats fc_stats() {
  FcStats s = STATS;
  s.kept_bytes = KEPT_LIVE;
  return s;
}

void fc_set_limits(std::size_t image_limit, std::size_t keep_limit) {
  IMAGE_LIMIT = image_limit;
  KEEP_LIMIT = keep_limit;
}

}  // namespace voran
