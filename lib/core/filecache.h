// Data-file access for speed: memory images of classic-format files and the
// values read from each file kept until it is closed.
//
// A classic-format file stores its record variables interleaved record by
// record, so reading one variable from disk strides through the whole file.
// fc_open reads such a file into a memory image once and opens the image.
// It also reads where each variable lies from the file's header, and trusts
// that only when it agrees with NetCDF's description of the file and, for
// each variable, with NetCDF's values of its first and last record; a read
// of whole records is then gathered from the image directly, a small part of
// the cost of NetCDF's per-record machinery. fc_get_vara keeps the raw result
// of every hyperslab read of a file opened here, so that the same variable
// asked for again while the file stays open (the temperature read for the
// dew point, the virtual temperature and the temperature itself; the
// provider names read for every precipitation code) costs a copy only.
//
// The results are exactly those of nc_open and nc_get_vara on the file as it
// was when it was opened. Images and kept values live in regions reserved
// once and reused by later files; storage that is never needed is never
// touched.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voran {

// Open a data file read-only; returns the NetCDF status and the id in ncid.
int fc_open(const char* path, int& ncid);

// Close a file opened by fc_open (or any NetCDF id): returns nc_close's status.
int fc_close(int ncid);

// nc_get_vara into dest in the variable's own type; elem is the size of one
// value of that type, ndims the variable's number of dimensions.
int fc_get_vara(int ncid, int varid, int ndims, const size_t* start, const size_t* count,
                std::size_t elem, void* dest);

// fc_get_vara that may leave values already kept where they are: 'values'
// points at the result, in dest or in the kept region. It stays valid until
// the next call of any fc_ routine.
int fc_read(int ncid, int varid, int ndims, const size_t* start, const size_t* count,
            std::size_t elem, void* dest, const void*& values);

// nc_inq_dimlen, remembered for files opened by fc_open: the length of a
// NetCDF-4 record dimension is found by asking every variable of the file,
// and the readers ask for it on every read. Files are opened read-only, so
// a length cannot change while the file stays open.
int fc_inq_dimlen(int ncid, int dimid, size_t& len);

// Changes with every fc_open and fc_close: something derived from a file
// opened by fc_open and tagged with its id and this number is still that
// file's while fc_is_open says so. Ids of files opened otherwise may be
// reused behind our back: nothing derived from them is kept.
int64_t fc_epoch();
bool fc_is_open(int ncid);

// Counters for tests and the benchmark.
struct FcStats {
  int64_t images;        // files opened from a memory image
  int64_t direct_opens;  // files opened from disk
  int64_t layouts;       // images whose layout is read from their header
  int64_t reads;         // hyperslab reads through NetCDF
  int64_t image_reads;   // hyperslab reads gathered from an image directly
  int64_t hits;          // reads served from kept values
  std::size_t image_bytes;  // bytes of the images now open
  std::size_t kept_bytes;   // bytes of values now kept
};
FcStats fc_stats();

// Limits of the two regions, in bytes (defaults: 1 GiB of images, 512 MiB of
// kept values). A file larger than what is left is opened from disk; a read
// that does not fit is not kept. Takes effect for later opens and reads.
void fc_set_limits(std::size_t image_limit, std::size_t keep_limit);

// Calls fn with the file and variable of every fc_get_vara (the benchmark
// lists what the library reads); nullptr stops it.
void fc_set_trace(void (*fn)(int ncid, int varid));

}  // namespace voran
