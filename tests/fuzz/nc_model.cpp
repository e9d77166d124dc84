#include "nc_model.h"

#include <netcdf.h>

#include <cstring>

namespace ncmodel {

namespace {

bool is_char(int t) { return t == NC_CHAR; }

bool read_att(int ncid, int varid, int i, Att& a) {
  char name[NC_MAX_NAME + 1];
  nc_type t;
  size_t len;
  if (nc_inq_attname(ncid, varid, i, name) || nc_inq_att(ncid, varid, name, &t, &len)) return false;
  a.name = name;
  a.type = t;
  if (t == NC_CHAR) {
    a.text.assign(len, '\0');
    return len == 0 || nc_get_att_text(ncid, varid, name, a.text.data()) == NC_NOERR;
  }
  if (t == NC_STRING) return false;
  a.num.assign(len, 0.0);
  return len == 0 || nc_get_att_double(ncid, varid, name, a.num.data()) == NC_NOERR;
}

int put_att(int ncid, int varid, const Att& a) {
  if (a.type == NC_CHAR) return nc_put_att_text(ncid, varid, a.name.c_str(), a.text.size(), a.text.data());
  int rc = nc_put_att_double(ncid, varid, a.name.c_str(), a.type, a.num.size(), a.num.data());
  return rc == NC_ERANGE ? NC_NOERR : rc;
}

}  // namespace

int File::record_dim() const {
  for (std::size_t i = 0; i < dims.size(); ++i)
    if (dims[i].unlimited) return static_cast<int>(i);
  return -1;
}

std::size_t File::size_of(const Var& v) const {
  std::size_t n = 1;
  for (int d : v.dims) n *= dims[static_cast<std::size_t>(d)].len;
  return n;
}

void File::fit(Var& v) const {
  const std::size_t n = size_of(v);
  if (is_char(v.type)) {
    std::string old = v.text;
    v.text.resize(n);
    for (std::size_t i = old.size(); i < n; ++i) v.text[i] = old.empty() ? ' ' : old[i % old.size()];
  } else {
    std::vector<double> old = v.num;
    v.num.resize(n);
    for (std::size_t i = old.size(); i < n; ++i) v.num[i] = old.empty() ? 0.0 : old[i % old.size()];
  }
}

void File::set_records(std::size_t n) {
  const int rd = record_dim();
  if (rd < 0) return;
  dims[static_cast<std::size_t>(rd)].len = n;
  for (Var& v : vars)
    if (!v.dims.empty() && v.dims[0] == rd) fit(v);
}

bool read(const std::string& path, File& f) {
  int ncid;
  if (nc_open(path.c_str(), NC_NOWRITE, &ncid) != NC_NOERR) return false;
  bool ok = true;
  int nd, nv, na, unl;
  int fmt = 0;
  ok = nc_inq(ncid, &nd, &nv, &na, &unl) == NC_NOERR && nc_inq_format(ncid, &fmt) == NC_NOERR;
  f = File{};
  f.netcdf4 = fmt == NC_FORMAT_NETCDF4 || fmt == NC_FORMAT_NETCDF4_CLASSIC;
  for (int i = 0; ok && i < nd; ++i) {
    char name[NC_MAX_NAME + 1];
    size_t len;
    ok = nc_inq_dim(ncid, i, name, &len) == NC_NOERR;
    f.dims.push_back({name, len, i == unl});
  }
  for (int i = 0; ok && i < na; ++i) {
    Att a;
    ok = read_att(ncid, NC_GLOBAL, i, a);
    f.gatts.push_back(a);
  }
  for (int i = 0; ok && i < nv; ++i) {
    Var v;
    char name[NC_MAX_NAME + 1];
    nc_type t;
    int vd, dimids[NC_MAX_VAR_DIMS], vna;
    ok = nc_inq_var(ncid, i, name, &t, &vd, dimids, &vna) == NC_NOERR && t != NC_STRING;
    if (!ok) break;
    v.name = name;
    v.type = t;
    v.dims.assign(dimids, dimids + vd);
    for (int k = 0; ok && k < vna; ++k) {
      Att a;
      ok = read_att(ncid, i, k, a);
      v.atts.push_back(a);
    }
    const std::size_t n = f.size_of(v);
    if (t == NC_CHAR) {
      v.text.assign(n, '\0');
      if (n > 0) ok = ok && nc_get_var_text(ncid, i, v.text.data()) == NC_NOERR;
    } else {
      v.num.assign(n, 0.0);
      if (n > 0) ok = ok && nc_get_var_double(ncid, i, v.num.data()) == NC_NOERR;
    }
    f.vars.push_back(std::move(v));
  }
  nc_close(ncid);
  return ok;
}

bool write(const File& f, const std::string& path) {
  int ncid;
  const int mode = NC_CLOBBER | (f.netcdf4 ? NC_NETCDF4 : 0);
  if (nc_create(path.c_str(), mode, &ncid) != NC_NOERR) return false;
  bool ok = true;
  std::vector<int> dimid(f.dims.size(), -1);
  for (std::size_t i = 0; ok && i < f.dims.size(); ++i) {
    const Dim& d = f.dims[i];
    ok = nc_def_dim(ncid, d.name.c_str(), d.unlimited ? NC_UNLIMITED : d.len, &dimid[i]) == NC_NOERR;
  }
  for (std::size_t i = 0; ok && i < f.gatts.size(); ++i) ok = put_att(ncid, NC_GLOBAL, f.gatts[i]) == NC_NOERR;
  std::vector<int> varid(f.vars.size(), -1);
  for (std::size_t i = 0; ok && i < f.vars.size(); ++i) {
    const Var& v = f.vars[i];
    std::vector<int> ids;
    for (int d : v.dims) ids.push_back(dimid[static_cast<std::size_t>(d)]);
    ok = nc_def_var(ncid, v.name.c_str(), v.type, static_cast<int>(ids.size()), ids.data(),
                    &varid[i]) == NC_NOERR;
    for (std::size_t k = 0; ok && k < v.atts.size(); ++k) {
      const Att& a = v.atts[k];
      // A fill value must match the variable's type: write it as such.
      if (a.name == "_FillValue" && (a.type != v.type || a.num.size() + a.text.size() != 1)) {
        Att b = a;
        b.name = "_FillValue_";
        ok = put_att(ncid, varid[i], b) == NC_NOERR;
        continue;
      }
      ok = put_att(ncid, varid[i], a) == NC_NOERR;
    }
  }
  ok = ok && nc_enddef(ncid) == NC_NOERR;
  for (std::size_t i = 0; ok && i < f.vars.size(); ++i) {
    const Var& v = f.vars[i];
    if (f.size_of(v) == 0) continue;
    std::vector<size_t> start(v.dims.size(), 0), count;
    for (int d : v.dims) count.push_back(f.dims[static_cast<std::size_t>(d)].len);
    int rc;
    if (v.type == NC_CHAR) {
      rc = nc_put_vara_text(ncid, varid[i], start.data(), count.data(), v.text.data());
    } else if (v.type == NC_STRING) {
      std::vector<std::string> s(v.num.size());
      std::vector<const char*> p(v.num.size());
      for (std::size_t k = 0; k < s.size(); ++k) {
        s[k] = std::to_string(v.num[k]);
        p[k] = s[k].c_str();
      }
      rc = nc_put_vara_string(ncid, varid[i], start.data(), count.data(), p.data());
    } else {
      rc = nc_put_vara_double(ncid, varid[i], start.data(), count.data(), v.num.data());
      if (rc == NC_ERANGE) rc = NC_NOERR;  // out-of-range values are written converted
    }
    ok = rc == NC_NOERR;
  }
  ok = nc_close(ncid) == NC_NOERR && ok;
  return ok;
}

}  // namespace ncmodel
