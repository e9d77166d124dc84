// CF-1.8 discrete sampling geometry, time series as an indexed ragged
// array: a `station` dimension holding each station once (identified by
// network and identifier, described by its first report) and an `obs`
// dimension with one element per station and hour, pointing at its station
// through `station_index`. Both dimensions grow as hours arrive, so memory
// stays that of one hour.
#include <netcdf.h>

#include <algorithm>
#include <unordered_map>
#include <stdexcept>

#include "cli/writers.hpp"

namespace voran::cli {
namespace {

void nc(int status, const char* what) {
  if (status != NC_NOERR)
    throw std::runtime_error(std::string("NetCDF output: ") + what + ": " + nc_strerror(status));
}

void text_attr(int id, int var, const std::string& name, const std::string& value) {
  nc(nc_put_att_text(id, var, name.c_str(), value.size(), value.c_str()), name.c_str());
}


class NetcdfWriter : public Writer {
 public:
  NetcdfWriter(const std::string& path, const Provenance& what) : path_(path), what_(what) {}
  ~NetcdfWriter() override {
    if (id_ >= 0) nc_close(id_);
  }

  void begin(const std::vector<VariableInfo>& vars) override {
    vars_ = vars;
    fields_ = fields(vars);
  }

 private:
  // The file is defined when the first hour shows how large an hour is:
  // a chunk holds about one hour of one variable.
  void define(std::size_t hour_size) {
    chunk_ = std::clamp<std::size_t>(hour_size, 1024, std::size_t(1) << 22);
    nc(nc_create(path_.c_str(), NC_NETCDF4 | NC_CLOBBER, &id_), path_.c_str());
    nc(nc_def_dim(id_, "station", NC_UNLIMITED, &dstation_), "station dimension");
    nc(nc_def_dim(id_, "obs", NC_UNLIMITED, &dobs_), "obs dimension");

    // Fixed-width text: variable-length strings cost HDF5 far more per row.
    nc(nc_def_dim(id_, "id_strlen", ID_WIDTH, &did_), "id_strlen dimension");
    nc(nc_def_dim(id_, "name_strlen", 10, &dname_), "name_strlen dimension");
    station_id_ = text_var("station_id", did_);
    text_attr(id_, station_id_, "cf_role", "timeseries_id");
    text_attr(id_, station_id_, "long_name", "station identifier");
    lat_ = var("lat", NC_FLOAT, dstation_);
    describe(lat_, "latitude", "latitude", "degrees_north");
    lon_ = var("lon", NC_FLOAT, dstation_);
    describe(lon_, "longitude", "longitude", "degrees_east");
    elev_ = var("elev", NC_FLOAT, dstation_);
    describe(elev_, "station elevation", "surface_altitude", "m");
    text_attr(id_, elev_, "positive", "up");
    for (int v : {lat_, lon_, elev_}) fill(v);
    wmo_ = var("wmo", NC_INT, dstation_);
    text_attr(id_, wmo_, "long_name", "WMO station number");
    const int wmo_fill = 999999;
    nc(nc_put_att_int(id_, wmo_, "_FillValue", NC_INT, 1, &wmo_fill), "wmo fill");
    provider_ = text_var("provider", dname_);
    text_attr(id_, provider_, "long_name", "data provider");
    network_ = text_var("network", dname_);
    text_attr(id_, network_, "long_name", "observing network");

    time_ = var("time", NC_DOUBLE, dobs_);
    describe(time_, "time of the listing", "time", "minutes since 1970-01-01 00:00:00");
    text_attr(id_, time_, "calendar", "standard");
    station_index_ = var("station_index", NC_INT, dobs_);
    text_attr(id_, station_index_, "long_name", "index of the station of this observation");
    text_attr(id_, station_index_, "instance_dimension", "station");
    obs_time_ = var("obs_time", NC_DOUBLE, dobs_);
    describe(obs_time_, "time of the report", "", "minutes since 1970-01-01 00:00:00");
    const double time_fill = -1.0e30;
    nc(nc_put_att_double(id_, obs_time_, "_FillValue", NC_DOUBLE, 1, &time_fill), "time fill");

    for (const Field& f : fields_) {
      const nc_type t = f.kind == FieldKind::Value        ? NC_FLOAT
                        : f.kind == FieldKind::Descriptor ? NC_BYTE
                                                          : NC_INT;
      const int v = var(f.name, t, dobs_);
      for (const Attribute& a : cf_attributes(f, vars_[f.column])) {
        if (!a.ints.empty()) {
          if (t == NC_BYTE) {
            std::vector<signed char> b(a.ints.begin(), a.ints.end());
            nc(nc_put_att_schar(id_, v, a.name.c_str(), NC_BYTE, b.size(), b.data()), a.name.c_str());
          } else {
            nc(nc_put_att_int(id_, v, a.name.c_str(), NC_INT, a.ints.size(), a.ints.data()),
               a.name.c_str());
          }
        } else {
          text_attr(id_, v, a.name, a.text);
        }
      }
      if (t == NC_FLOAT) {
        fill(v);
        text_attr(id_, v, "coordinates", "time lat lon elev station_id");
      }
      ids_.push_back(v);
    }

    text_attr(id_, NC_GLOBAL, "Conventions", "CF-1.8");
    text_attr(id_, NC_GLOBAL, "featureType", "timeSeries");
    text_attr(id_, NC_GLOBAL, "title", "Surface observations extracted by voran");
    text_attr(id_, NC_GLOBAL, "source", "voran, surface dataset");
    for (const auto& [k, v] : what_.attributes) text_attr(id_, NC_GLOBAL, k, v);
    nc(nc_enddef(id_), "definitions");
  }

 public:
  void hour(const Hour& h) override {
    const std::size_t n = h.count();
    if (n == 0) return;
    if (id_ < 0) define(n);
    index_.resize(n);
    const std::size_t first_new = nstation_;
    std::vector<std::size_t> fresh;
    for (std::size_t i = 0; i < n; ++i) {
      std::string key(h.network(i));
      key += '\x1f';
      key += h.station(i);
      auto [it, added] = stations_.try_emplace(std::move(key), int32_t(nstation_));
      if (added) {
        fresh.push_back(i);
        ++nstation_;
      }
      index_[i] = it->second;
    }
    if (!fresh.empty()) write_stations(h, fresh, first_new);

    const std::size_t start[] = {nobs_};
    const std::size_t count[] = {n};
    std::vector<double> t(n, double(to_minutes(h.time)));
    nc(nc_put_vara_double(id_, time_, start, count, t.data()), "time");
    nc(nc_put_vara_int(id_, station_index_, start, count, index_.data()), "station_index");
    for (std::size_t i = 0; i < n; ++i)
      t[i] = h.obs_minutes[i] == NO_TIME ? -1.0e30 : double(h.obs_minutes[i]);
    nc(nc_put_vara_double(id_, obs_time_, start, count, t.data()), "obs_time");

    for (std::size_t k = 0; k < fields_.size(); ++k) {
      const Field& f = fields_[k];
      const Column& c = h.columns[f.column];
      const std::size_t lev = std::size_t(c.info.levels);
      switch (f.kind) {
        case FieldKind::Value:
          nc(nc_put_vara_float(id_, ids_[k], start, count, level(c.values, lev, f.level, fbuf_)),
             f.name.c_str());
          break;
        case FieldKind::Descriptor:
          nc(nc_put_vara_schar(id_, ids_[k], start, count,
                               reinterpret_cast<const signed char*>(level(c.qcd, lev, f.level, cbuf_))),
             f.name.c_str());
          break;
        case FieldKind::Applied:
          nc(nc_put_vara_int(id_, ids_[k], start, count, level(c.qca, lev, f.level, ibuf_)),
             f.name.c_str());
          break;
        case FieldKind::Failed:
          nc(nc_put_vara_int(id_, ids_[k], start, count, level(c.qcr, lev, f.level, ibuf_)),
             f.name.c_str());
          break;
      }
    }
    nobs_ += n;
  }

  void finish() override {
    if (id_ < 0) define(0);  // no hour had stations: an empty file of the same layout
    const int st = nc_close(id_);
    id_ = -1;
    nc(st, "closing the file");
  }

 private:
  int var(const std::string& name, nc_type type, int dim) {
    int v = -1;
    nc(nc_def_var(id_, name.c_str(), type, 1, &dim, &v), name.c_str());
    nc(nc_def_var_chunking(id_, v, NC_CHUNKED, &chunk_), name.c_str());
    return v;
  }
  int text_var(const char* name, int width_dim) {
    int v = -1;
    const int dims[] = {dstation_, width_dim};
    nc(nc_def_var(id_, name, NC_CHAR, 2, dims, &v), name);
    std::size_t len = 0;
    nc(nc_inq_dimlen(id_, width_dim, &len), name);
    const std::size_t chunks[] = {chunk_, len};
    nc(nc_def_var_chunking(id_, v, NC_CHUNKED, chunks), name);
    text_attr(id_, v, "_Encoding", "utf-8");  // read back as text, not bytes
    return v;
  }
  void describe(int v, const char* long_name, const char* standard, const char* units) {
    text_attr(id_, v, "long_name", long_name);
    if (*standard) text_attr(id_, v, "standard_name", standard);
    text_attr(id_, v, "units", units);
  }
  void fill(int v) {
    const float m = MISSING;
    nc(nc_put_att_float(id_, v, "_FillValue", NC_FLOAT, 1, &m), "_FillValue");
  }

  // Level l of a station-major column, without a copy when there is one.
  template <class T>
  static const T* level(const std::vector<T>& col, std::size_t lev, int32_t l, std::vector<T>& buf) {
    if (lev == 1) return col.data();
    const std::size_t n = col.size() / lev;
    buf.resize(n);
    for (std::size_t i = 0; i < n; ++i) buf[i] = col[i * lev + std::size_t(l)];
    return buf.data();
  }

  // Text blank-padded into row k; NetCDF readers strip the padding.
  static void put(std::vector<char>& to, std::size_t k, std::size_t width, std::string_view s) {
    std::fill_n(to.begin() + std::ptrdiff_t(k * width), width, '\0');
    std::copy_n(s.begin(), std::min(width, s.size()), to.begin() + std::ptrdiff_t(k * width));
  }

  void write_stations(const Hour& h, const std::vector<std::size_t>& rows, std::size_t first) {
    const std::size_t m = rows.size();
    std::vector<char> id(m * ID_WIDTH), prov(m * 10), net(m * 10);
    std::vector<float> la(m), lo(m), el(m);
    std::vector<int> wmo(m);
    for (std::size_t k = 0; k < m; ++k) {
      const std::size_t i = rows[k];
      put(id, k, ID_WIDTH, h.station(i));
      put(prov, k, 10, h.provider(i));
      put(net, k, 10, h.network(i));
      la[k] = h.lat[i];
      lo[k] = h.lon[i];
      el[k] = h.elev[i];
      wmo[k] = h.wmo[i];
    }
    const std::size_t start[] = {first};
    const std::size_t count[] = {m};
    const std::size_t tstart[] = {first, 0};
    const std::size_t tid[] = {m, std::size_t(ID_WIDTH)}, tname[] = {m, 10};
    nc(nc_put_vara_text(id_, station_id_, tstart, tid, id.data()), "station_id");
    nc(nc_put_vara_text(id_, provider_, tstart, tname, prov.data()), "provider");
    nc(nc_put_vara_text(id_, network_, tstart, tname, net.data()), "network");
    nc(nc_put_vara_float(id_, lat_, start, count, la.data()), "lat");
    nc(nc_put_vara_float(id_, lon_, start, count, lo.data()), "lon");
    nc(nc_put_vara_float(id_, elev_, start, count, el.data()), "elev");
    nc(nc_put_vara_int(id_, wmo_, start, count, wmo.data()), "wmo");
  }

  std::string path_;
  Provenance what_;
  int id_ = -1;
  int dstation_ = -1, dobs_ = -1, did_ = -1, dname_ = -1;
  int station_id_ = -1, lat_ = -1, lon_ = -1, elev_ = -1, wmo_ = -1, provider_ = -1, network_ = -1;
  int time_ = -1, station_index_ = -1, obs_time_ = -1;
  std::vector<int> ids_;
  std::vector<VariableInfo> vars_;
  std::vector<Field> fields_;
  std::unordered_map<std::string, int32_t> stations_;
  std::vector<int32_t> index_;
  std::vector<float> fbuf_;
  std::vector<char> cbuf_;
  std::vector<int32_t> ibuf_;
  std::size_t nstation_ = 0, nobs_ = 0, chunk_ = 1024;
};

}  // namespace

std::unique_ptr<Writer> netcdf_writer(const std::string& path, const Provenance& what) {
  return std::make_unique<NetcdfWriter>(path, what);
}

}  // namespace voran::cli
