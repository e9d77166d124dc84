// gen_large TEMPLATE OUT NREC classic|netcdf4
//
// Writes a large MESONET file for the benchmark: the variables, dimensions
// and attributes of TEMPLATE (a MESONET file of the sample tree), and NREC
// records made by repeating the template's records in order. Each record gets
// its own station identifier, so every record is a station of its own; all
// other values are the template record's, so the large file exercises the
// same providers, sensors, QC companions and missing values as the sample.
//
// classic writes the classic format (64-bit offsets when the file needs
// them); netcdf4 writes NetCDF-4 with record chunks of 32768 records and no
// compression.
#include <netcdf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool ok(int rc, const char* what) {
  if (rc == NC_NOERR) return true;
  std::fprintf(stderr, "gen_large: %s: %s\n", what, nc_strerror(rc));
  return false;
}

std::size_t type_size(nc_type t) {
  switch (t) {
    case NC_BYTE: case NC_CHAR: case NC_UBYTE: return 1;
    case NC_SHORT: case NC_USHORT: return 2;
    case NC_DOUBLE: case NC_INT64: case NC_UINT64: return 8;
    default: return 4;
  }
}

// Station identifier of record k: six characters, unique for 36^6 records.
void station_id(long k, char* out, std::size_t width) {
  static const char* dig = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::memset(out, 0, width);
  char s[6];
  for (int i = 5; i >= 0; --i) {
    s[i] = dig[k % 36];
    k /= 36;
  }
  s[0] = static_cast<char>('L' + (s[0] - '0') % 10);  // begins with a letter
  std::memcpy(out, s, width < 6 ? width : 6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: gen_large TEMPLATE OUT NREC classic|netcdf4\n");
    return 2;
  }
  const char* tpl = argv[1];
  const char* out = argv[2];
  const long nrec = std::atol(argv[3]);
  const bool nc4 = std::strcmp(argv[4], "netcdf4") == 0;
  if (nrec <= 0 || (!nc4 && std::strcmp(argv[4], "classic") != 0)) {
    std::fprintf(stderr, "gen_large: bad record count or format\n");
    return 2;
  }

  int in = -1;
  if (!ok(nc_open(tpl, NC_NOWRITE, &in), tpl)) return 1;
  int ndims = 0, nvars = 0, ngatts = 0, unlim = -1;
  if (!ok(nc_inq(in, &ndims, &nvars, &ngatts, &unlim), "inquire") || unlim < 0) return 1;
  size_t nrec0 = 0;
  if (!ok(nc_inq_dimlen(in, unlim, &nrec0), "record count") || nrec0 == 0) return 1;

  // Large classic files need 64-bit offsets; the whole file is built in
  // memory and written once.
  int mode = nc4 ? (NC_NETCDF4 | NC_CLOBBER) : (NC_64BIT_OFFSET | NC_CLOBBER | NC_DISKLESS | NC_PERSIST);
  int o = -1;
  if (!ok(nc_create(out, mode, &o), out)) return 1;
  if (!nc4 && !ok(nc_set_fill(o, NC_NOFILL, nullptr), "nofill")) return 1;

  std::vector<int> dimmap(static_cast<std::size_t>(ndims));
  for (int d = 0; d < ndims; ++d) {
    char name[NC_MAX_NAME + 1];
    size_t len = 0;
    if (!ok(nc_inq_dim(in, d, name, &len), "dimension")) return 1;
    if (!ok(nc_def_dim(o, name, d == unlim ? NC_UNLIMITED : len, &dimmap[static_cast<std::size_t>(d)]), name))
      return 1;
  }
  auto copy_atts = [&](int vin, int vout, int natts) {
    for (int a = 0; a < natts; ++a) {
      char an[NC_MAX_NAME + 1];
      if (!ok(nc_inq_attname(in, vin, a, an), "attribute") ||
          !ok(nc_copy_att(in, vin, an, o, vout), an))
        return false;
    }
    return true;
  };
  if (!copy_atts(NC_GLOBAL, NC_GLOBAL, ngatts)) return 1;

  struct Var {
    std::string name;
    nc_type type;
    int nd;
    int dims[NC_MAX_VAR_DIMS];
    bool rec;
    std::size_t per_rec;  // values per record (whole variable when not a record variable)
  };
  std::vector<Var> vars(static_cast<std::size_t>(nvars));
  for (int v = 0; v < nvars; ++v) {
    Var& x = vars[static_cast<std::size_t>(v)];
    char name[NC_MAX_NAME + 1];
    int natts = 0;
    if (!ok(nc_inq_var(in, v, name, &x.type, &x.nd, x.dims, &natts), "variable")) return 1;
    x.name = name;
    x.rec = x.nd > 0 && x.dims[0] == unlim;
    x.per_rec = 1;
    int od[NC_MAX_VAR_DIMS];
    size_t chunk[NC_MAX_VAR_DIMS];
    for (int d = 0; d < x.nd; ++d) {
      od[d] = dimmap[static_cast<std::size_t>(x.dims[d])];
      size_t len = 0;
      nc_inq_dimlen(in, x.dims[d], &len);
      chunk[d] = len;
      if (d == 0 && x.rec) {
        chunk[d] = 32768;
      } else {
        x.per_rec *= len;
      }
    }
    int id = -1;
    if (!ok(nc_def_var(o, name, x.type, x.nd, od, &id), name)) return 1;
    if (nc4 && x.rec && !ok(nc_def_var_chunking(o, id, NC_CHUNKED, chunk), name)) return 1;
    if (!copy_atts(v, id, natts)) return 1;
  }
  if (!ok(nc_enddef(o), "enddef")) return 1;

  int sid = -1;
  nc_inq_varid(in, "stationId", &sid);
  std::vector<unsigned char> src, dst;
  for (int v = 0; v < nvars; ++v) {
    const Var& x = vars[static_cast<std::size_t>(v)];
    const std::size_t es = type_size(x.type);
    size_t start[NC_MAX_VAR_DIMS] = {0}, count[NC_MAX_VAR_DIMS];
    if (!x.rec) {
      src.resize(x.per_rec * es);
      if (!ok(nc_get_var(in, v, src.data()), x.name.c_str()) ||
          !ok(nc_put_var(o, v, src.data()), x.name.c_str()))
        return 1;
      continue;
    }
    const std::size_t rb = x.per_rec * es;  // bytes per record
    src.resize(nrec0 * rb);
    if (!ok(nc_get_var(in, v, src.data()), x.name.c_str())) return 1;
    dst.resize(static_cast<std::size_t>(nrec) * rb);
    for (long k = 0; k < nrec; ++k) {
      unsigned char* d = dst.data() + static_cast<std::size_t>(k) * rb;
      if (v == sid) {
        station_id(k, reinterpret_cast<char*>(d), rb);
      } else {
        std::memcpy(d, src.data() + static_cast<std::size_t>(k % static_cast<long>(nrec0)) * rb, rb);
      }
    }
    for (int d = 0; d < x.nd; ++d) {
      size_t len = 0;
      nc_inq_dimlen(in, x.dims[d], &len);
      count[d] = d == 0 ? static_cast<size_t>(nrec) : len;
    }
    if (!ok(nc_put_vara(o, v, start, count, dst.data()), x.name.c_str())) return 1;
  }
  nc_close(in);
  return ok(nc_close(o), out) ? 0 : 1;
}
