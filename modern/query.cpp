// Queries of the C++ layer: each hour through MCHRTIM, MSFCSTA and MGETSFC,
// with every setting the query depends on made before it.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>

#include "modern/internal.hpp"
#include "voran.h"

namespace voran {
namespace detail {

namespace {

// What the library was last set up for by this layer (guarded by the lock):
// a text holding every input of the set-up, so that a query that finds its
// own there need not set anything again.
std::string configured_for;
// What the library was last initialised for (MINIT's inputs): a query that
// finds its own there sets its settings again but keeps the tables loaded.
std::string initialised_for;

std::string env_or_empty(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

}  // namespace

std::mutex& core_mutex() {
  static std::mutex m;
  return m;
}

void forget_configuration() { configured_for.clear(); }

void ensure_surface(const std::string& static_dir, const std::string& data_dir,
                    const std::string& database) {
  std::string key = static_dir + '\n' + data_dir + '\n' + database;
  for (const char* e : {"VORAN_SERVER", "VORAN_SERVER_ROOT"}) key += '\n' + env_or_empty(e);
  if (key == initialised_for) {
    forget_configuration();
    return;
  }
  init_surface(static_dir, data_dir, database);
  initialised_for = key;
}

// The library reads its directories from the environment, in MINIT only:
// the layer puts them there for the call and then gives the caller's
// environment back, so a later query that names none gets the caller's.
class EnvFor {
 public:
  EnvFor(const char* name, const std::string& value) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) before_ = v;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvFor() {
    if (had_)
      ::setenv(name_, before_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string before_;
};

std::string resolve_dir(const std::string& given, const char* env, const char* argument) {
  if (!given.empty()) return given;
  std::string v = env_or_empty(env);
  if (v.empty())
    throw ArgumentError(argument, std::string("no ") + argument + " directory given and " + env +
                                      " is not set");
  return v;
}

std::string last_message() {
  char text[512];
  const int32_t n = MGETMSG(text, sizeof text);
  std::string s(text, static_cast<std::size_t>(std::min<int32_t>(n, sizeof text)));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void check(int32_t status, const char* call) {
  if (status != MST_OK) throw Error(status, call, last_message());
}

void init_surface(const std::string& static_dir, const std::string& data_dir,
                  const std::string& database) {
  forget_configuration();
  initialised_for.clear();
  const EnvFor s("VORAN_STATIC", static_dir), d("VORAN_DATA", data_dir);
  MCLRMSG();
  int32_t status = 0;
  MINIT("SFC", database, false, status);
  check(status, "MINIT");
}

}  // namespace detail

namespace {

using detail::check;

constexpr double EARTH_RADIUS_KM = 6371.0;

struct Resolved {
  std::string static_dir, data_dir;
};

Resolved resolve(const Query& q) {
  return {detail::resolve_dir(q.static_dir, "VORAN_STATIC", "static"),
          detail::resolve_dir(q.data_dir, "VORAN_DATA", "data")};
}

// Everything the library's state depends on for this query.
std::string fingerprint(const Query& q, const Resolved& r) {
  std::string s = r.static_dir + '\n' + r.data_dir + '\n' + q.database + '\n';
  for (const char* e : {"VORAN_SERVER", "VORAN_SERVER_ROOT"}) s += detail::env_or_empty(e) + '\n';
  if (q.providers) {
    s += "P";
    for (const auto& p : *q.providers) s += p + '\x1f';
  }
  s += '\n' + std::to_string(q.qc_level) + ' ' + std::to_string(q.window.before) + ' ' +
       std::to_string(q.window.after) + ' ' + std::to_string(q.window.mode) + ' ' +
       std::to_string(q.domain.index());
  auto add = [&s](std::initializer_list<float> xs) {
    for (float x : xs) {
      char b[sizeof x];
      std::memcpy(b, &x, sizeof x);
      s.append(b, sizeof x);
    }
  };
  if (auto* b = std::get_if<Box>(&q.domain)) add({b->latmin, b->latmax, b->lonmin, b->lonmax});
  if (auto* c = std::get_if<Radius>(&q.domain)) add({c->lat, c->lon, c->km});
  if (auto* l = std::get_if<Lambert>(&q.domain))
    add({l->lat1, l->lon1, l->dx, l->orient, l->tanlat, l->cone, l->xmin, l->xmax, l->ymin,
         l->ymax});
  if (auto* p = std::get_if<Polar>(&q.domain))
    add({p->xpole, p->ypole, p->orient, p->truelat, p->xmin, p->xmax, p->ymin, p->ymax});
  return s;
}

// The library's box around a radius domain; the circle itself is cut out
// of the list afterwards. Near a pole or across 180 degrees the box takes
// every longitude.
Box box_around(const Radius& c) {
  const double dlat = c.km / EARTH_RADIUS_KM * 180.0 / M_PI;
  Box b{static_cast<float>(std::max(-90.0, c.lat - dlat)),
        static_cast<float>(std::min(90.0, c.lat + dlat)), -180.0f, 180.0f};
  const double coslat = std::cos(c.lat * M_PI / 180.0);
  if (b.latmin > -90.0f && b.latmax < 90.0f && coslat > 1e-6) {
    const double dlon = dlat / coslat;
    if (c.lon - dlon >= -180.0 && c.lon + dlon <= 180.0) {
      b.lonmin = static_cast<float>(c.lon - dlon);
      b.lonmax = static_cast<float>(c.lon + dlon);
    }
  }
  // The float limits must not cut off a station the circle holds.
  b.latmin = std::nextafter(b.latmin, -91.0f);
  b.latmax = std::nextafter(b.latmax, 91.0f);
  if (b.lonmin > -180.0f) b.lonmin = std::nextafter(b.lonmin, -181.0f);
  if (b.lonmax < 180.0f) b.lonmax = std::nextafter(b.lonmax, 181.0f);
  return b;
}

double distance_km(double lat1, double lon1, double lat2, double lon2) {
  const double r = M_PI / 180.0;
  const double a = std::pow(std::sin((lat2 - lat1) * r / 2), 2) +
                   std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
  return 2.0 * EARTH_RADIUS_KM * std::asin(std::min(1.0, std::sqrt(a)));
}

void setting_error(int32_t status, const char* call, const char* argument) {
  if (status == MST_INVALID_SETTING)
    throw ArgumentError(argument, std::string(call) + " refused the " + argument + " (status 15)");
  check(status, call);
}

// Every setting of the query, in the library (lock held).
void configure(const Query& q, const Resolved& r) {
  const std::string fp = fingerprint(q, r);
  if (fp == detail::configured_for) return;
  detail::ensure_surface(r.static_dir, r.data_dir, q.database);
  int32_t st = 0;
  // The selection is made whole every time: every provider on (the tables'
  // own selection) or every one off and then the query's names.
  MSETSFCPVDR("ALL-SFC", !q.providers, st);
  check(st, "MSETSFCPVDR");
  if (q.providers) {
    for (const std::string& p : *q.providers) {
      const bool off = !p.empty() && p[0] == '-';
      MSETSFCPVDR(off ? std::string_view(p).substr(1) : std::string_view(p), !off, st);
      check(st, "MSETSFCPVDR");
    }
  }
  MSETQCLVL(q.qc_level, st);
  setting_error(st, "MSETQCLVL", "qc-level");
  MSETWIN(q.window.before, q.window.after, q.window.mode, st);
  setting_error(st, "MSETWIN", "window");
  if (auto* b = std::get_if<Box>(&q.domain)) {
    MSETBOXDOM(b->latmin, b->latmax, b->lonmin, b->lonmax, st);
    setting_error(st, "MSETBOXDOM", "box");
  } else if (auto* c = std::get_if<Radius>(&q.domain)) {
    const Box b = box_around(*c);
    MSETBOXDOM(b.latmin, b.latmax, b.lonmin, b.lonmax, st);
    setting_error(st, "MSETBOXDOM", "radius");
  } else if (auto* l = std::get_if<Lambert>(&q.domain)) {
    MSETLCDOM(l->lat1, l->lon1, l->dx, l->orient, l->tanlat, l->cone, l->xmin, l->xmax, l->ymin,
              l->ymax, st);
    setting_error(st, "MSETLCDOM", "lambert");
  } else if (auto* p = std::get_if<Polar>(&q.domain)) {
    MSETPSDOM(p->xpole, p->ypole, p->orient, p->truelat, p->xmin, p->xmax, p->ymin, p->ymax, st);
    setting_error(st, "MSETPSDOM", "polar");
  } else {
    MSETNODOM(st);
    check(st, "MSETNODOM");
  }
  detail::configured_for = fp;
}

bool readable_dir(const std::string& path) {
  struct stat sb;
  return ::stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode) &&
         ::access(path.c_str(), R_OK | X_OK) == 0;
}

// The library's arrays for a station list, as large as it can return;
// made once and kept (lock held while used).
struct StationScratch {
  std::vector<char> stid, obstime, provider;
  std::vector<int32_t> wmo, source;
  std::vector<float> lat, lon, elev;
  StationScratch()
      : stid(std::size_t(VORAN_MAX_STATIONS) * ID_WIDTH),
        obstime(std::size_t(VORAN_MAX_STATIONS) * 9),
        provider(std::size_t(VORAN_MAX_STATIONS) * PROVIDER_WIDTH),
        wmo(VORAN_MAX_STATIONS),
        source(VORAN_MAX_STATIONS),
        lat(VORAN_MAX_STATIONS),
        lon(VORAN_MAX_STATIONS),
        elev(VORAN_MAX_STATIONS) {}
};

StationScratch& scratch() {
  static StationScratch s;
  return s;
}

// Report time YYJJJHHMM to minutes since 1970; NO_TIME when blank or odd.
int64_t report_minutes(const char* t) {
  int32_t v[4] = {0, 0, 0, 0};
  const int widths[4] = {2, 3, 2, 2};
  int pos = 0;
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < widths[k]; ++i, ++pos) {
      if (t[pos] < '0' || t[pos] > '9') return NO_TIME;
      v[k] = v[k] * 10 + (t[pos] - '0');
    }
  }
  const int32_t year = v[0] < 80 ? 2000 + v[0] : 1900 + v[0];
  if (v[1] < 1 || v[1] > 366 || v[2] > 23 || v[3] > 59) return NO_TIME;
  return to_minutes(Time{year, 1, 1, 0, 0}) + (v[1] - 1) * 1440 + v[2] * 60 + v[3];
}

std::string trim(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

// The variables of the query as the tables describe them (lock held, after
// configure). Throws ArgumentError for a name the code table lacks.
std::vector<VariableInfo> infos_of(const Query& q, const Resolved& r) {
  if (q.variables.empty()) return {};
  const auto table = detail::code_table(r.static_dir);
  std::vector<VariableInfo> out;
  for (const std::string& name : q.variables) {
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const VariableInfo& v) { return v.name == name; });
    if (it == table.end())
      throw ArgumentError("vars", "unknown variable '" + name + "' (variables() lists them)");
    if (it->type != 'N')
      throw ArgumentError("vars", "'" + name + "' is a character variable; only numeric "
                                  "variables are fetched (the identifier is the station column)");
    out.push_back(*it);
  }
  return out;
}

class Runner {
 public:
  Runner(const Query& q, bool with_variables) : q_(q), r_(resolve(q)) {
    for (const auto& s : q.stations) wanted_.insert(trim(s));
    std::lock_guard<std::mutex> lock(detail::core_mutex());
    configure(q_, r_);
    if (with_variables) infos_ = infos_of(q_, r_);
  }

  // Fills `h` for time t.
  void hour(const Time& t, Hour& h) {
    std::lock_guard<std::mutex> lock(detail::core_mutex());
    configure(q_, r_);
    h.time = t;
    h.status = MST_OK;
    char atime[9];
    int32_t st = 0;
    MCLRMSG();
    MCHRTIM(t.year, t.month, t.day, t.hour, t.minute, atime, st);
    if (st == MST_BAD_TIME)
      throw ArgumentError("time", format_time(t) + " cannot be named to the library");
    check(st, "MCHRTIM");
    StationScratch& s = scratch();
    int32_t nsta = 0;
    MCLRMSG();
    MSFCSTA(std::string_view(atime, 9), nsta, s.stid.data(), s.wmo.data(), s.lat.data(),
            s.lon.data(), s.elev.data(), s.obstime.data(), s.provider.data(), st, s.source.data());
    h.columns.resize(infos_.size());
    if (st == MST_NO_DATA) {
      nsta = 0;
      h.status = MST_NO_DATA;
    } else {
      check(st, "MSFCSTA");
    }
    select_rows(nsta);
    copy_stations(h);
    for (std::size_t k = 0; k < infos_.size(); ++k) {
      Column& c = h.columns[k];
      c.info = infos_[k];
      fetch_column(atime, nsta, c);
    }
  }

  const Query& query() const { return q_; }

 private:
  // Which list entries the query keeps: all of them unless it names
  // stations or a radius.
  void select_rows(int32_t nsta) {
    keep_.clear();
    all_ = true;
    const Radius* c = std::get_if<Radius>(&q_.domain);
    if (wanted_.empty() && c == nullptr) {
      nsta_ = nsta;
      return;
    }
    all_ = false;
    const StationScratch& s = scratch();
    for (int32_t i = 0; i < nsta; ++i) {
      if (!wanted_.empty() &&
          !wanted_.count(trim(std::string_view(&s.stid[std::size_t(i) * ID_WIDTH], ID_WIDTH))))
        continue;
      if (c != nullptr && distance_km(c->lat, c->lon, s.lat[i], s.lon[i]) > c->km) continue;
      keep_.push_back(i);
    }
    nsta_ = nsta;
  }

  std::size_t kept() const { return all_ ? std::size_t(nsta_) : keep_.size(); }
  std::size_t row(std::size_t k) const { return all_ ? k : std::size_t(keep_[k]); }

  template <class T>
  void gather(const std::vector<T>& from, std::vector<T>& to, std::size_t width) const {
    const std::size_t n = kept();
    to.resize(n * width);
    if (all_) {
      std::copy_n(from.begin(), n * width, to.begin());
      return;
    }
    for (std::size_t k = 0; k < n; ++k)
      std::copy_n(from.begin() + std::ptrdiff_t(row(k) * width), width,
                  to.begin() + std::ptrdiff_t(k * width));
  }

  void copy_stations(Hour& h) const {
    const StationScratch& s = scratch();
    gather(s.stid, h.station_ids, ID_WIDTH);
    gather(s.provider, h.provider_ids, PROVIDER_WIDTH);
    gather(s.wmo, h.wmo, 1);
    gather(s.source, h.source, 1);
    gather(s.lat, h.lat, 1);
    gather(s.lon, h.lon, 1);
    gather(s.elev, h.elev, 1);
    const std::size_t n = kept();
    h.obs_minutes.resize(n);
    for (std::size_t k = 0; k < n; ++k) h.obs_minutes[k] = report_minutes(&s.obstime[row(k) * 9]);
  }

  // MGETSFC straight into the column; entries of stations the query does
  // not keep are squeezed out afterwards.
  void fetch_column(const char* atime, int32_t nsta, Column& c) {
    const std::size_t lev = std::size_t(detail::levels_of(c.info.code));
    const std::size_t full = std::size_t(nsta) * lev;
    c.values.resize(full);
    c.qcd.resize(full);
    c.qca.resize(full);
    c.qcr.resize(full);
    c.status = MST_OK;
    if (nsta == 0) return;
    int32_t n = 0, nobs = 0, st = 0;
    MCLRMSG();
    MGETSFC(std::string_view(atime, 9), c.info.name, n, nobs, c.values.data(), c.qcd.data(),
            c.qca.data(), c.qcr.data(), st);
    if (st == MST_NOT_IN_DATABASE) {
      c.status = st;
    } else {
      check(st, "MGETSFC");
      if (n != nsta)
        throw Error(MST_OK, "MGETSFC", "returned " + std::to_string(n) + " stations for a list of " +
                                           std::to_string(nsta));
    }
    if (all_) return;
    squeeze(c.values, lev);
    squeeze(c.qcd, lev);
    squeeze(c.qca, lev);
    squeeze(c.qcr, lev);
  }

  template <class T>
  void squeeze(std::vector<T>& v, std::size_t lev) const {
    // Kept rows are ascending, so moving them forward never overwrites one
    // still to be moved.
    for (std::size_t k = 0; k < keep_.size(); ++k)
      std::copy_n(v.begin() + std::ptrdiff_t(std::size_t(keep_[k]) * lev), lev,
                  v.begin() + std::ptrdiff_t(k * lev));
    v.resize(keep_.size() * lev);
  }

  Query q_;
  Resolved r_;
  std::set<std::string> wanted_;
  std::vector<VariableInfo> infos_;
  std::vector<int32_t> keep_;
  bool all_ = true;
  int32_t nsta_ = 0;
};

}  // namespace

void validate(const Query& q) {
  const auto times = q.times();
  for (const Time& t : times) {
    if (t.year < 1980 || t.year > 2079)
      throw ArgumentError("time", format_time(t) + " is outside 1980-2079, the years the "
                                                   "library's time strings can name");
  }
  const Resolved r = resolve(q);
  if (!readable_dir(r.static_dir))
    throw ArgumentError("static", "cannot read the static directory '" + r.static_dir + "'");
  if (r.data_dir.find("://") == std::string::npos && !readable_dir(r.data_dir))
    throw ArgumentError("data", "cannot read the data directory '" + r.data_dir + "'");
  if (q.qc_level != 0 && q.qc_level != 1 && q.qc_level != 2 && q.qc_level != 3 &&
      q.qc_level != 99)
    throw ArgumentError("qc-level", "the QC level must be 0, 1, 2, 3 or 99");
  const Window& w = q.window;
  if (w.before > w.after || std::abs(w.before) > 100000 || std::abs(w.after) > 100000 ||
      w.mode < 0 || w.mode > 4)
    throw ArgumentError("window", "the window needs BEFORE <= AFTER, each within +-100000 "
                                  "minutes, and a mode 0 to 4");
  if (auto* b = std::get_if<Box>(&q.domain)) {
    if (!(b->latmin <= b->latmax) || !(b->lonmin <= b->lonmax) || b->latmin < -90 ||
        b->latmax > 90 || b->lonmin < -180 || b->lonmax > 180)
      throw ArgumentError("box", "the box needs -90 <= LATMIN <= LATMAX <= 90 and "
                                 "-180 <= LONMIN <= LONMAX <= 180");
  }
  if (auto* c = std::get_if<Radius>(&q.domain)) {
    if (!(c->km > 0) || !(std::abs(c->lat) <= 90) || !(std::abs(c->lon) <= 180))
      throw ArgumentError("radius", "the radius needs a latitude within +-90, a longitude "
                                    "within +-180 and a positive distance");
  }
  std::lock_guard<std::mutex> lock(detail::core_mutex());
  detail::ensure_surface(r.static_dir, r.data_dir, q.database);
  if (q.providers) {
    std::set<std::string> known(detail::PROVIDER_GROUPS.begin(), detail::PROVIDER_GROUPS.end());
    for (const std::string& name : detail::provider_names()) known.insert(trim(name));
    for (const std::string& p : *q.providers) {
      const std::string name = !p.empty() && p[0] == '-' ? p.substr(1) : p;
      if (!known.count(name))
        throw ArgumentError("providers", "unknown provider '" + name +
                                             "' (providers() lists them; METAR stations "
                                             "are ALL-MTR, ASOS or OTHER-MTR)");
    }
  }
  configure(q, r);
  infos_of(q, r);
}

void run(const Query& q, const std::function<void(const Hour&)>& sink) {
  validate(q);
  Runner runner(q, true);
  Hour h;
  for (const Time& t : q.times()) {
    runner.hour(t, h);
    sink(h);
  }
}

namespace {
// The query's first time alone (its end dropped), with its variables or
// only the station list.
Hour one_time(const Query& q, bool with_variables) {
  Query one = q;
  one.end.reset();
  if (!with_variables) one.variables.clear();
  validate(one);
  Runner runner(one, with_variables);
  Hour h;
  runner.hour(one.time, h);
  return h;
}
}  // namespace

Hour fetch(const Query& q) { return one_time(q, true); }

Hour stations(const Query& q) { return one_time(q, false); }

// ---- Hour accessors

namespace {
std::string_view padded(const std::vector<char>& v, std::size_t i, std::size_t width) {
  std::string_view s(&v[i * width], width);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}
}  // namespace

std::string_view Hour::station(std::size_t i) const { return padded(station_ids, i, ID_WIDTH); }
std::string_view Hour::provider(std::size_t i) const {
  return padded(provider_ids, i, PROVIDER_WIDTH);
}
std::string_view Hour::network(std::size_t i) const {
  const int32_t s = source[i];
  return s >= 1 && s <= int32_t(detail::NETWORKS.size()) ? detail::NETWORKS[std::size_t(s - 1)]
                                                         : std::string_view();
}

}  // namespace voran
