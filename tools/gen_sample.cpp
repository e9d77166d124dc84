// gen_sample OUTDIR [STATIC_DIR] [--start YYYY-MM-DDTHH:00] [--hours N]:
// writes a sample observation tree, one NetCDF file per network and hour,
// laid out as the library expects (OUTDIR/point/metar/netcdf/20210825_2000,
// OUTDIR/KORB/mesonet/netCDF/20210825_2000, ...). Without options it holds
// 2021-08-25 19, 20 and 21 UTC.
//
// The data are synthetic but shaped like the real networks: fixed stations
// over North America (ships and buoys at sea and on the Great Lakes), a late
// summer afternoon with a thunderstorm area over the lower Mississippi valley
// and monsoon showers in the Southwest, mesonet providers with their own
// sensor sets and precipitation periods, and QC companions (QCA, QCR, DD) on
// the mesonet variables. Hours outside that afternoon come from a model of
// their own (see "the hours before and after the afternoon") matched to it at
// its edges. Everything comes from fixed-seed generators keyed by network,
// station and hour, so the tree is the same on every run and each hour's
// files do not depend on the range asked for.
#include <netcdf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr float FILLF = 3.4028235e+38f;
constexpr double FILLD = 3.4028234663852886e+38;
constexpr int FILLI = -2147483647;
// 2021-08-25 00:00 UTC in seconds since 1970.
constexpr double DAY0 = 1629849600.0;

// ---- deterministic random numbers ----
uint64_t mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(mix(seed)) {}
  uint64_t next() { return s = mix(s); }
  double uni() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  double range(double a, double b) { return a + (b - a) * uni(); }
  bool chance(double p) { return uni() < p; }
  double normal() {
    double u1 = std::max(uni(), 1e-12), u2 = uni();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

uint64_t key(uint64_t a, uint64_t b, uint64_t c = 0) { return mix(a * 1000003ULL + mix(b * 7919ULL + c)); }

uint64_t name_hash(const std::string& s) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return h;
}

double wrap360(double d) {
  d = std::fmod(std::round(d), 360.0);
  return d < 0 ? d + 360.0 : d;
}

// ---- a crude climate of the afternoon ----
double terrain(double lat, double lon) {
  double rockies = 2200.0 * std::exp(-std::pow((lon + 108.0) / 5.5, 2)) *
                   (lat > 31.0 ? 1.0 : std::exp(-(31.0 - lat)));
  double plains = std::max(0.0, 1200.0 - 28.0 * (lon + 104.0) * (lon > -104.0 ? 1.0 : 0.0));
  double appal = 600.0 * std::exp(-std::pow((lon + 81.0 + 0.8 * (lat - 36.0)) / 2.0, 2));
  double coast = std::min(1.0, std::max(0.0, (lon + 124.0) / 2.0));
  return std::max(2.0, coast * (rockies + 0.25 * plains + appal) + 15.0);
}

// A rough outline of the contiguous United States, enough to keep land
// stations off the sea.
double lerp(double x, double x0, double x1, double y0, double y1) {
  return y0 + (y1 - y0) * std::clamp((x - x0) / (x1 - x0), 0.0, 1.0);
}

bool on_land(double lat, double lon) {
  if (lat < 25.0 || lat > 49.0) return false;
  double west = lat >= 42.0 ? -124.3 : lat >= 38.0 ? -123.5
              : lat >= 34.5 ? lerp(lat, 38.0, 34.5, -122.5, -120.4) : lerp(lat, 34.5, 32.5, -120.4, -117.2);
  if (lon < west) return false;
  double east = lat < 30.0 ? -80.1 : lat < 35.0 ? lerp(lat, 30.0, 35.0, -81.4, -75.6)
              : lat < 40.0 ? lerp(lat, 35.0, 40.0, -75.6, -74.0) : lerp(lat, 40.0, 45.0, -72.0, -67.0);
  if (lon > east) return false;
  if (lon < -108.2 && lat < 31.4) return false;                                     // Mexico
  if (lon >= -108.2 && lon < -97.2 && lat < lerp(lon, -106.5, -97.2, 31.8, 25.9)) return false;
  if (lon >= -97.2 && lon < -82.8 && lat < lerp(lon, -97.2, -89.0, 27.5, 29.3)) return false;  // Gulf
  if (lon >= -87.0 && lon < -82.8 && lat < 30.2) return false;
  if (lon >= -82.8 && lon < -80.1 && lat < lerp(lon, -82.8, -80.6, 27.0, 25.2)) return false;
  if (lon > -95.0 && lon < -89.0 && lat > 48.5) return false;
  if (lon > -84.0 && lon < -76.0 && lat > 45.0) return false;                       // Ontario
  return true;
}

double rain_rate(double lat, double lon, int hour) {  // mm/h
  double cx = -91.5 + 0.6 * (hour - 20), cy = 33.0 + 0.2 * (hour - 20);
  double d1 = std::hypot(lat - cy, (lon - cx) * 0.85);
  double d2 = std::hypot(lat - 33.5, lon + 111.0);
  double r = 0.0;
  if (d1 < 3.0) r += 22.0 * std::exp(-d1 * d1 / 1.6);
  if (d2 < 2.0 && hour >= 20) r += 9.0 * std::exp(-d2 * d2 / 0.8);
  return r < 0.2 ? 0.0 : r;
}

struct Weather {
  double t, td, pstn, alt, slp, dir, spd, gust, vis, rate;
  // Set by the model of the hours around the afternoon only: the extremes
  // of the last 24 hours, the pressure change of the last 3 hours and the
  // share of the clear-sky sunshine (0 at night).
  double tmax = 0, tmin = 0, tend = 0, sun = 0;
  bool modelled = false;
};

// The afternoon's weather. Without a generator (r null) every random term
// takes its middle value: the mean state the hours before and after are
// matched to.
Weather weather(double lat, double lon, double elev, int hour, Rng* r) {
  auto normal = [r] { return r != nullptr ? r->normal() : 0.0; };
  auto uni = [r] { return r != nullptr ? r->uni() : 0.5; };
  Weather w{};
  double rate = rain_rate(lat, lon, hour);
  w.t = 306.0 - 0.55 * (lat - 30.0) - 0.0062 * elev + 0.6 * (hour - 19) + 1.2 * normal();
  if (lon < -117.0) w.t -= 5.0 * std::exp(-std::pow((lon + 123.0) / 3.0, 2));
  if (rate > 0) w.t -= std::min(8.0, 0.6 * rate);
  double dry = (lon < -100.0 ? 12.0 + 6.0 * (lon < -110.0) : 4.0) + 1.5 * std::fabs(normal());
  w.td = w.t - (rate > 0 ? std::min(dry, 1.5) : dry);
  w.alt = 101500.0 - 60.0 * (lat - 38.0) + 25.0 * (lon + 95.0) * 0.3 + 90.0 * normal();
  w.pstn = w.alt * std::pow(1.0 - 2.25577e-5 * elev, 5.25588);
  w.slp = w.alt + 40.0 * normal() - 0.002 * elev * 10.0;
  w.dir = std::fmod(200.0 + 40.0 * std::sin(lat / 4.0) + 35.0 * normal() + 360.0, 360.0);
  w.spd = std::max(0.0, 3.5 + 2.0 * normal() + (rate > 0 ? 4.0 : 0.0));
  w.gust = w.spd + std::max(1.0, 3.0 + 2.0 * normal() + 0.3 * rate);
  w.vis = rate > 8 ? 4000.0 + 3000.0 * uni() : 16093.0;
  w.rate = rate > 0 ? rate * (0.6 + 0.8 * uni()) : 0.0;
  return w;
}

double rel_humidity(double t, double td) {
  auto es = [](double k) { return 6.112 * std::exp(17.67 * (k - 273.15) / (k - 29.65)); };
  return std::min(100.0, 100.0 * es(td) / es(t));
}

// ---- one file's variables, held until the file is written ----
struct Column {
  std::string name;
  nc_type type = NC_FLOAT;
  int width = 1;  // values (or characters) per record
  bool record = true;
  std::vector<float> f;
  std::vector<int> i;
  std::vector<double> d;
  std::vector<char> c;
  std::string units;
};

class File {
 public:
  explicit File(int nrec) : nrec_(nrec) {}

  std::vector<float>& floats(const std::string& name, const char* units, int width = 1) {
    Column& c = add(name, NC_FLOAT, width);
    c.units = units;
    c.f.assign(static_cast<std::size_t>(nrec_) * width, FILLF);
    return c.f;
  }
  std::vector<int>& ints(const std::string& name, int fill = FILLI) {
    Column& c = add(name, NC_INT, 1);
    c.i.assign(static_cast<std::size_t>(nrec_), fill);
    return c.i;
  }
  std::vector<double>& times(const std::string& name) {
    Column& c = add(name, NC_DOUBLE, 1);
    c.units = "seconds since 1970-1-1 00:00:00.0";
    c.d.assign(static_cast<std::size_t>(nrec_), FILLD);
    return c.d;
  }
  std::vector<char>& chars(const std::string& name, int width) {
    Column& c = add(name, NC_CHAR, width);
    c.c.assign(static_cast<std::size_t>(nrec_) * width, '\0');
    return c.c;
  }
  // A variable of the file's provider table (not per record).
  Column& table(const std::string& name, nc_type type, int entries, int width = 1) {
    Column& c = add(name, type, width);
    c.record = false;
    if (type == NC_CHAR) c.c.assign(static_cast<std::size_t>(entries) * width, '\0');
    if (type == NC_INT) c.i.assign(static_cast<std::size_t>(entries), 0);
    return c;
  }

  bool write(const std::string& path, int npst) const;

 private:
  bool fill_first_records(int ncid, const std::vector<int>& ids) const;

 private:
  Column& add(const std::string& name, nc_type type, int width) {
    cols_.push_back(Column{});
    Column& c = cols_.back();
    c.name = name;
    c.type = type;
    c.width = width;
    return c;
  }
  int nrec_;
  std::deque<Column> cols_;  // stable element addresses while columns are added
};

bool check(int rc, const std::string& what) {
  if (rc == NC_NOERR) return true;
  std::fprintf(stderr, "gen_sample: %s: %s\n", what.c_str(), nc_strerror(rc));
  return false;
}

bool File::write(const std::string& path, int npst) const {
  int ncid = 0, recdim = 0, pstdim = -1;
  if (!check(nc_create(path.c_str(), NC_CLOBBER | NC_DISKLESS | NC_PERSIST, &ncid), path)) return false;
  bool ok = check(nc_def_dim(ncid, "recNum", NC_UNLIMITED, &recdim), "recNum");
  if (npst > 0) ok = ok && check(nc_def_dim(ncid, "maxPSTEntries", npst, &pstdim), "maxPST");
  std::vector<int> ids;
  for (const Column& c : cols_) {
    int dims[2], nd = 0, id = 0;
    dims[nd++] = c.record ? recdim : pstdim;
    if (c.width > 1) {
      // One inner dimension per width, shared by the variables that use it.
      const std::string dn = (c.type == NC_CHAR ? "maxLen" : "level") + std::to_string(c.width);
      int dim = 0;
      if (nc_inq_dimid(ncid, dn.c_str(), &dim) != NC_NOERR)
        ok = ok && check(nc_def_dim(ncid, dn.c_str(), static_cast<size_t>(c.width), &dim), dn);
      dims[nd++] = dim;
    }
    if (c.name == "numPST") nd = 0;  // a scalar
    ok = ok && check(nc_def_var(ncid, c.name.c_str(), c.type, nd, dims, &id), c.name);
    if (ok && c.type == NC_FLOAT) ok = check(nc_put_att_float(ncid, id, "_FillValue", NC_FLOAT, 1, &FILLF), c.name);
    if (ok && c.type == NC_DOUBLE) ok = check(nc_put_att_double(ncid, id, "_FillValue", NC_DOUBLE, 1, &FILLD), c.name);
    if (ok && c.type == NC_INT && c.record) ok = check(nc_put_att_int(ncid, id, "_FillValue", NC_INT, 1, &FILLI), c.name);
    if (ok && !c.units.empty())
      ok = check(nc_put_att_text(ncid, id, "units", c.units.size(), c.units.c_str()), c.name);
    ids.push_back(id);
  }
  ok = ok && check(nc_enddef(ncid), "enddef");
  ok = ok && fill_first_records(ncid, ids);
  for (std::size_t k = 0; ok && k < cols_.size(); ++k) {
    const Column& c = cols_[k];
    if (c.name == "numPST") {
      ok = check(nc_put_var_int(ncid, ids[k], c.i.data()), c.name);
      continue;
    }
    std::size_t n = c.type == NC_FLOAT ? c.f.size() : c.type == NC_INT ? c.i.size()
                  : c.type == NC_DOUBLE ? c.d.size() : c.c.size();
    std::size_t start[2] = {0, 0}, count[2] = {n / static_cast<std::size_t>(c.width),
                                              static_cast<std::size_t>(c.width)};
    if (count[0] == 0) continue;
    switch (c.type) {
      case NC_FLOAT: ok = check(nc_put_vara_float(ncid, ids[k], start, count, c.f.data()), c.name); break;
      case NC_INT: ok = check(nc_put_vara_int(ncid, ids[k], start, count, c.i.data()), c.name); break;
      case NC_DOUBLE: ok = check(nc_put_vara_double(ncid, ids[k], start, count, c.d.data()), c.name); break;
      default: ok = check(nc_put_vara_text(ncid, ids[k], start, count, c.c.data()), c.name); break;
    }
  }
  return check(nc_close(ncid), path) && ok;
}

// Filling every record of every variable before it is overwritten costs
// the NetCDF library a name lookup per variable and record, most of the
// generator's time. Only the bytes no variable covers (the padding of text
// values) need it: memory the in-memory file grows into starts zeroed, the
// first block it allocates does not. So the records within that first block
// are filled as usual and the rest is written without filling.
bool File::fill_first_records(int ncid, const std::vector<int>& ids) const {
  constexpr std::size_t FIRST_BLOCK = 65536;  // larger than any page size
  std::size_t recbytes = 0, first = cols_.size();
  for (std::size_t k = 0; k < cols_.size(); ++k) {
    const Column& c = cols_[k];
    if (!c.record) continue;
    const std::size_t size = c.type == NC_DOUBLE ? 8 : c.type == NC_CHAR ? 1 : 4;
    recbytes += (size * static_cast<std::size_t>(c.width) + 3) / 4 * 4;
    if (first == cols_.size()) first = k;
  }
  if (first == cols_.size() || nrec_ == 0) return true;
  const Column& c = cols_[first];
  std::size_t start[2] = {0, 0}, count[2] = {std::min(static_cast<std::size_t>(nrec_), FIRST_BLOCK / recbytes + 1),
                                            static_cast<std::size_t>(c.width)};
  int rc = c.type == NC_FLOAT ? nc_put_vara_float(ncid, ids[first], start, count, c.f.data())
         : c.type == NC_INT ? nc_put_vara_int(ncid, ids[first], start, count, c.i.data())
         : c.type == NC_DOUBLE ? nc_put_vara_double(ncid, ids[first], start, count, c.d.data())
         : nc_put_vara_text(ncid, ids[first], start, count, c.c.data());
  int old = 0;
  return check(rc, c.name) && check(nc_set_fill(ncid, NC_NOFILL, &old), "fill mode");
}

void put_text(std::vector<char>& buf, int rec, int width, const std::string& s) {
  for (int k = 0; k < width && k < static_cast<int>(s.size()); ++k)
    buf[static_cast<std::size_t>(rec) * width + k] = s[static_cast<std::size_t>(k)];
}

// ---- stations ----
// A station's mean state in one hour, as far as the hours around the
// afternoon are matched to it.
struct Mean {
  double t = 0, dep = 0, alt = 0, slp = 0, dir = 0, spd = 0;
};

struct Station {
  std::string id, name, provider;
  double lat = 0, lon = 0, elev = 0;
  int wmo = FILLI;
  int minute = 0;       // minute of the hour of its report
  unsigned sensors = 0;  // mesonet sensor set, bits below
  int kind = 0;         // network-specific: METAR auto type, HFMETAR metarType, COOP report kind
  bool marine = false;  // a ship, buoy or tide gauge: almost no daily cycle
  int serial = 0;       // place in the network's station list
  uint64_t self = 0;    // seed of the station's slowly changing departures
  // Of one report: the seed of its random values, a special report besides
  // the hourly one, a report sent a second time.
  uint64_t seed = 0;
  bool special = false;
  bool resend = false;
  // The afternoon's first and last hour less the model's, faded out over
  // the hours before and after.
  Mean before, after;
};

// ---- the hours before and after the afternoon ----
// 2021-08-25 19 to 21 UTC stay the afternoon above. Every other hour comes
// from a model of its own: a daily cycle by local solar time, a train of
// cold fronts crossing from the north-west, the afternoon's thunderstorm
// area drifting east and dying out, showers on the following afternoons,
// and departures of each station that change over hours rather than from
// one hour to the next. Hours are counted from 2021-08-25 00 UTC.
constexpr long FIRST_HOUR = 19, LAST_HOUR = 21;
constexpr double PI = 3.141592653589793;

bool afternoon(long hour) { return hour >= FIRST_HOUR && hour <= LAST_HOUR; }
long floor_div(long a, long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int hour_of_day(long hour) { return static_cast<int>(hour - 24 * floor_div(hour, 24)); }

double smoothstep(double e0, double e1, double x) {
  double u = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return u * u * (3.0 - 2.0 * u);
}

// -1 at 06 local solar time, +1 at 15: nine hours of warming, then a
// cooling fastest in the early evening and slow towards dawn.
double diurnal(double lst) {
  const double h = std::fmod(lst - 6.0 + 48.0, 24.0);
  if (h <= 9.0) return -std::cos(PI * h / 9.0);
  auto cooled = [](double x) { return 1.0 - (1.0 + x / 3.5) * std::exp(-x / 3.5); };
  return 1.0 - 2.0 * cooled(h - 9.0) / cooled(15.0);
}

// Clear-sky sunshine with the given noon value. The afternoon used the
// cosine unwrapped; wrapping it to a day changes none of its hours.
double sunshine(long hour, double lon, double peak) {
  const double x = std::remainder(static_cast<double>(hour) - 19.5 + (lon + 90.0) / 15.0, 24.0);
  return std::max(0.0, peak * std::cos(x * 0.26));
}

// A unit departure of one station that drifts from one value to the next
// over `span` hours.
double drift(uint64_t station, uint64_t channel, long hour, long span) {
  const long j = floor_div(hour, span);
  const double f = static_cast<double>(hour - j * span) / static_cast<double>(span);
  const double s = f * f * (3.0 - 2.0 * f);
  Rng a(key(station, channel, static_cast<uint64_t>(j)));
  Rng b(key(station, channel, static_cast<uint64_t>(j + 1)));
  const double x = a.normal(), y = b.normal();
  return (x + (y - x) * s) / std::sqrt((1.0 - s) * (1.0 - s) + s * s);
}

// Cold fronts: lines from south-west to north-east moving south-east at
// FRONT_SPEED degrees an hour, one every FRONT_PERIOD hours at a place. The
// first of the hours after the afternoon forms along the Pacific Northwest
// at 21 UTC (where it would have passed earlier, it passes then); the last
// of the hours before it dissolves at 19 UTC, on its way to the south-east.
constexpr double FRONT_SPEED = 0.3;
constexpr double FRONT_PERIOD = 35.0 / FRONT_SPEED;
constexpr double NEVER = 1e6;  // hours since or until a front that does not come

double across_fronts(double lat, double lon) { return (lon + 95.0) * 0.788 * 0.766 - (lat - 38.0) * 0.643; }
double along_fronts(double lat, double lon) { return (lon + 95.0) * 0.788 * 0.643 + (lat - 38.0) * 0.766; }

struct FrontClock {
  double since, until;  // hours since the last front passed, until the next
  double strength;      // weaker in the south
};

FrontClock front_clock(double lat, double lon, long hour) {
  const double h = static_cast<double>(hour);
  // When front 0 passes; front k passes k periods later.
  const double pass0 = LAST_HOUR + (across_fronts(lat, lon) + 20.0) / FRONT_SPEED;
  FrontClock c{NEVER, NEVER, 0.35 + 0.65 * smoothstep(29.0, 38.0, lat)};
  if (hour >= LAST_HOUR) {
    const double first = std::max(pass0, static_cast<double>(LAST_HOUR));
    if (h >= first) {
      const double k = std::floor((h - pass0) / FRONT_PERIOD);
      const double last = std::max(pass0 + std::max(k, 0.0) * FRONT_PERIOD, first);
      c.since = h - last;
      c.until = pass0 + (std::max(k, 0.0) + 1.0) * FRONT_PERIOD - h;
    } else {
      c.until = first - h;
    }
  } else {
    const double k = std::min(std::floor((h - pass0) / FRONT_PERIOD), -1.0);  // the last one passed
    c.since = h - (pass0 + k * FRONT_PERIOD);
    const double next = pass0 + (k + 1.0) * FRONT_PERIOD;
    if (k < -1.0 && next <= FIRST_HOUR) c.until = next - h;
  }
  return c;
}

double model_rain(double lat, double lon, long hour, const FrontClock& fc) {  // mm/h
  const double h = static_cast<double>(hour);
  double r = 0.0;
  // The afternoon's thunderstorm area keeps drifting and dies out; before
  // the afternoon it grows.
  const double amp = hour > LAST_HOUR ? 22.0 * std::exp(-(h - LAST_HOUR) / 10.0)
                                      : 22.0 * std::exp(-(FIRST_HOUR - h) / 4.0);
  const double cx = -91.5 + 0.6 * (h - 20.0), cy = 33.0 + 0.2 * (h - 20.0);
  const double d1 = std::hypot(lat - cy, (lon - cx) * 0.85);
  if (d1 < 3.0) r += amp * std::exp(-d1 * d1 / 1.6);
  // Monsoon showers over Arizona every afternoon, elsewhere on other days;
  // scaled to the afternoon's strength at 21 UTC.
  const long day = floor_div(hour - 7, 24);  // from local midnight
  double my = 33.5, mx = -111.0;
  if (day != 0) {
    Rng d(key(300, static_cast<uint64_t>(day)));
    my += d.range(-1.5, 1.5);
    mx += d.range(-2.0, 2.5);
  }
  const double d2 = std::hypot(lat - my, lon - mx);
  if (d2 < 2.0) {
    const double l = std::fmod(hour_of_day(hour) - 7.4 + 24.0, 24.0);
    const double k = (l - 15.5) / 3.5, k21 = (13.6 - 15.5) / 3.5;
    r += 9.0 * std::exp(k21 * k21 - k * k) * std::exp(-d2 * d2 / 0.8);
  }
  // Showers of the humid East from the second day on, peaking in the
  // late afternoon and drifting east.
  for (long d = floor_div(hour, 24) - 1; d <= floor_div(hour, 24); ++d) {
    if (d == 0) continue;
    for (int c = 0; c < 12; ++c) {
      Rng g(key(301, static_cast<uint64_t>(d), static_cast<uint64_t>(c)));
      const double y = g.range(28.0, 41.0), x = g.range(-100.0, -76.0);
      const double dt = h - (24.0 * static_cast<double>(d) + 21.0 - (x + 85.0) / 15.0 + g.range(-1.5, 1.5));
      if (std::fabs(dt) > 6.0) continue;
      const double rad = g.range(0.5, 1.2), peak = g.range(6.0, 25.0);
      const double dd = std::hypot(lat - y - 0.05 * dt, (lon - x - 0.25 * dt) * 0.85);
      if (dd < 3.0 * rad) r += peak * std::exp(-dt * dt / 4.5 - dd * dd / (rad * rad));
    }
  }
  // The fronts' rain band, in waves along the front, thin in the dry West;
  // it builds after the afternoon and fades into it.
  const double rel = fc.since < fc.until ? fc.since : -fc.until;  // hours after the passage
  const double away = hour > LAST_HOUR ? h - LAST_HOUR : FIRST_HOUR - h;
  const double band = (1.0 - std::exp(-away / 3.0)) * std::exp(-(rel + 1.0) * (rel + 1.0) / 2.25);
  if (fc.strength > 0 && band > 1e-3) {
    const double wave = 0.5 + 0.5 * std::sin(along_fronts(lat, lon) / 1.7 + 0.04 * h);
    r += 6.0 * fc.strength * band * (0.3 + 0.7 * wave) * (0.3 + 0.7 * smoothstep(-110.0, -98.0, lon));
  }
  return r < 0.2 ? 0.0 : r;
}

// The pressure's slow part: the daily tide, the fronts' trough and the high
// behind it, and the station's drift.
double pressure_wave(const Station& s, long hour, bool drifting) {
  const FrontClock fc = front_clock(s.lat, s.lon, hour);
  const double lst = hour_of_day(hour) + s.lon / 15.0;
  const double near = std::min(fc.since, fc.until);
  return 80.0 * std::cos(4.0 * PI * (lst - 10.0) / 24.0) +
         fc.strength * (-350.0 * std::exp(-near * near / 72.0) +
                        600.0 * (fc.since / 24.0) * std::exp(1.0 - fc.since / 24.0)) +
         (drifting ? 60.0 * drift(s.self, 3, hour, 12) : 0.0);
}

// The weather of a station in an hour outside the afternoon. Without a
// generator the mean state, unmatched; with one, the report's weather.
Weather model(const Station& s, long hour, Rng* r) {
  auto normal = [r] { return r != nullptr ? r->normal() : 0.0; };
  auto uni = [r] { return r != nullptr ? r->uni() : 0.5; };
  auto slow = [&](uint64_t channel, long span) {
    return r != nullptr ? drift(s.self, channel, hour, span) : 0.0;
  };
  const double lat = s.lat, lon = s.lon, elev = s.elev;
  const FrontClock fc = front_clock(lat, lon, hour);
  const double rate = model_rain(lat, lon, hour, fc);
  const double lst = hour_of_day(hour) + lon / 15.0;
  const double shape = diurnal(lst);
  const double amp = s.marine ? 0.4 : 4.0 + 2.5 * smoothstep(98.0, 110.0, -lon);
  // Behind a front: a drop of the temperature and dew point and a veer of
  // the wind within hours, recovering over days; ahead of it warm, moist
  // southerly air and a stronger wind.
  const double behind = (1.0 - std::exp(-fc.since / 2.0));
  const double ahead = std::exp(-fc.until / 12.0);
  const double near = std::min(fc.since, fc.until);
  const double f = fc.strength;

  double t = 306.0 - 0.55 * (lat - 30.0) - 0.0062 * elev + 1.2 + amp * (shape - 1.0) +
             f * (-7.0 * behind * std::exp(-fc.since / 40.0) + 1.5 * (ahead + std::exp(-fc.since / 2.0)));
  if (lon < -117.0) t -= 5.0 * std::exp(-std::pow((lon + 123.0) / 3.0, 2));
  t += slow(1, 6) + 0.4 * normal();
  if (rate > 0) t -= std::min(8.0, 0.6 * rate);
  double dep = (lon < -100.0 ? 12.0 + 6.0 * (lon < -110.0) : 4.0) * (1.0 + 0.3 * shape) +
               f * (4.0 * behind * std::exp(-fc.since / 30.0) - 1.5 * ahead) +
               1.5 * std::fabs(normal()) + 0.8 * slow(2, 6);
  double alt = 101500.0 - 60.0 * (lat - 38.0) + 25.0 * (lon + 95.0) * 0.3 +
               pressure_wave(s, hour, r != nullptr) + 8.0 * normal();
  double slp = 20.0 * slow(6, 12) - 0.002 * elev * 10.0;
  double dir = 200.0 + 40.0 * std::sin(lat / 4.0) +
               f * (110.0 * behind * std::exp(-fc.since / 30.0) - 20.0 * ahead) + 25.0 * slow(4, 6) +
               10.0 * normal();
  double spd = 3.5 + (s.marine ? 0.0 : 1.2 * shape) +
               f * (3.0 * std::exp(-near * near / 32.0) + 2.0 * behind * std::exp(-fc.since / 18.0)) +
               1.3 * slow(5, 6) + 0.6 * normal() + 4.0 * std::min(1.0, rate / 2.0);
  if (r != nullptr) {
    // Matched to the afternoon's first or last hour.
    const bool later = hour > LAST_HOUR;
    const Mean& m = later ? s.after : s.before;
    const double fade = std::exp(-static_cast<double>(later ? hour - LAST_HOUR : FIRST_HOUR - hour) / 6.0);
    t += fade * m.t;
    dep += fade * m.dep;
    alt += fade * m.alt;
    slp += fade * m.slp;
    dir += fade * m.dir;
    spd += fade * m.spd;
  }
  // Rain moistens the air the more the harder it falls.
  if (rate > 0 && dep > 1.0) dep = 1.0 + (dep - 1.0) * std::exp(-rate);
  dep = std::max(0.3, dep);

  Weather w{};
  w.modelled = true;
  w.t = t;
  w.td = t - dep;
  w.alt = alt;
  w.pstn = alt * std::pow(1.0 - 2.25577e-5 * elev, 5.25588);
  w.slp = alt + slp;
  w.dir = std::fmod(std::fmod(dir, 360.0) + 360.0, 360.0);
  w.spd = std::max(0.0, spd);
  w.gust = w.spd + std::max(1.0, 3.0 + 2.0 * normal() + 0.3 * rate);
  w.vis = rate > 8 ? 4000.0 + 3000.0 * uni() : 16093.0;
  w.rate = rate > 0 ? rate * (0.6 + 0.8 * uni()) : 0.0;
  w.tmax = t + amp * (1.0 - shape);
  w.tmin = t - amp * (1.0 + shape);
  w.tend = r != nullptr ? pressure_wave(s, hour, true) - pressure_wave(s, hour - 3, true) : 0.0;
  w.sun = sunshine(hour, lon, 1.0);
  return w;
}

Mean mean_of(const Weather& w) {
  return {w.t, w.t - w.td, w.alt, w.slp - w.alt, w.dir, w.spd};
}

// The afternoon's mean state less the model's at the afternoon's first and
// last hour.
void match(Station& s) {
  for (long hour : {FIRST_HOUR, LAST_HOUR}) {
    const Mean a = mean_of(weather(s.lat, s.lon, s.elev, static_cast<int>(hour), nullptr));
    const Mean m = mean_of(model(s, hour, nullptr));
    Mean& d = hour == FIRST_HOUR ? s.before : s.after;
    d = {a.t - m.t, a.dep - m.dep, a.alt - m.alt, a.slp - m.slp,
         std::remainder(a.dir - m.dir, 360.0), a.spd - m.spd};
  }
}

// A report's weather: the afternoon's from the report's generator, any
// other hour's from the model.
Weather station_weather(const Station& s, long hour, Rng& r) {
  return afternoon(hour) ? weather(s.lat, s.lon, s.elev, static_cast<int>(hour), &r) : model(s, hour, &r);
}

// Values the afternoon drew at random and the model derives.
double soil_temp(const Weather& w) {  // the daily mean and a damped share of the swing
  const double mean = 0.5 * (w.tmax + w.tmin);
  return mean + 0.3 * (w.t - mean);
}
float tendency_char(double tend) { return tend > 20.0 ? 2.0f : tend < -20.0 ? 7.0f : 4.0f; }
double water_temp(const Station& s, double lo, double hi, const Weather& w) {
  Rng r(key(s.self, 11));
  return r.range(lo, hi) + 0.4 * w.sun;
}
double water_level(const Station& s, long hour) {  // a semidiurnal tide
  Rng r(key(s.self, 12));
  const double phase = r.range(0.0, 2.0 * PI), range = r.range(0.3, 0.9), datum = r.range(0.0, 0.4);
  return datum + range * std::cos(2.0 * PI * static_cast<double>(hour) / 12.42 + phase);
}

enum : unsigned {
  S_PRES = 1, S_ALT = 2, S_SLP = 4, S_WIND = 8, S_GUST = 16, S_PCP = 32, S_RATE = 64, S_SOLAR = 128,
  S_ROAD = 256, S_SOIL = 512, S_FUEL = 1024, S_WATER = 2048, S_VIS = 4096, S_TEND = 8192,
  S_MAXMIN = 16384, S_SNOW = 32768, S_ROAD4 = 65536,
};

struct Provider {
  const char* name;
  int period, radiation, per_station;  // codes 1-3 of the provider table
  int weight;                          // share of the mesonet stations
  unsigned sensors;
  double lat0, lat1, lon0, lon1;
};

// Mesonet providers: the table's places 7-30 and one met only in the files.
const Provider PROVIDERS[] = {
    {"APRSWXNET", -3, 1, 0, 30, S_PRES | S_ALT | S_WIND | S_GUST | S_PCP | S_SOLAR, 25, 49, -124, -68},
    {"MesoWest", 0, 0, 1, 8, S_PRES | S_ALT | S_WIND | S_GUST | S_PCP | S_SNOW, 37, 42, -114, -109},
    {"UTMESNET", -1, 3, 0, 4, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR, 37, 42, -114, -109},
    {"OKMESO", -1, 2, 0, 5, S_PRES | S_ALT | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 34, 37, -103, -94.5},
    {"WTXMESO", 1, 2, 0, 3, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 30, 35, -104, -99},
    {"NCECONET", 1, 3, 0, 2, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 34, 36.5, -84, -76},
    {"DEOS", -2, 8, 0, 1, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 38.5, 39.8, -75.8, -75.1},
    {"KSMESO", -1, 3, 0, 2, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 37, 40, -102, -95},
    {"RAWS", 1, 3, 0, 9, S_WIND | S_GUST | S_PCP | S_SOLAR | S_FUEL, 31, 49, -124, -103},
    {"AZMET", 1, 6, 0, 1, S_WIND | S_PCP | S_SOLAR | S_SOIL, 31.5, 35, -114.5, -109.5},
    {"CIMIS", 1, 6, 0, 3, S_WIND | S_PCP | S_SOLAR | S_SOIL, 33, 41, -123, -115},
    {"FAWN", -2, 2, 0, 1, S_WIND | S_PCP | S_SOLAR | S_SOIL, 25.5, 30.5, -87, -80.5},
    {"GAEMN", 1, 2, 0, 2, S_PRES | S_WIND | S_PCP | S_SOLAR | S_SOIL, 30.5, 35, -85, -81},
    {"MNDOT", -4, 0, 0, 3, S_WIND | S_GUST | S_PCP | S_RATE | S_ROAD | S_ROAD4 | S_VIS, 43.5, 49, -97, -90},
    {"IADOT", -4, 0, 0, 2, S_WIND | S_GUST | S_PCP | S_RATE | S_ROAD | S_VIS, 40.5, 43.5, -96.5, -90.5},
    {"WIDOT", 0, 0, 0, 2, S_WIND | S_GUST | S_RATE | S_ROAD | S_VIS, 42.5, 46.5, -92.5, -87.5},
    {"CODOT", -5, 0, 0, 2, S_WIND | S_GUST | S_PCP | S_RATE | S_ROAD | S_ROAD4, 37, 41, -108.5, -102.5},
    {"NOS-NWLON", 6, 0, 0, 2, S_PRES | S_WIND | S_GUST | S_WATER, 0, 0, 0, 0},
    {"SFWMD", 1, 2, 0, 1, S_WIND | S_PCP | S_SOLAR | S_WATER, 25.3, 27.5, -81.5, -80.2},
    {"ISWS", 1, 7, 0, 1, S_PRES | S_WIND | S_PCP | S_SOLAR | S_SOIL, 37.5, 42.3, -91, -88},
    {"KYMN", -1, 8, 0, 2, S_PRES | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 36.7, 39, -89, -82.5},
    {"NEBRMESO", 1, 4, 0, 2, S_PRES | S_WIND | S_PCP | S_SOLAR | S_SOIL, 40, 43, -103.5, -96},
    {"AWS", -2, 1, 1, 6, S_PRES | S_ALT | S_SLP | S_WIND | S_GUST | S_PCP | S_SOLAR | S_TEND | S_MAXMIN, 29, 47, -100, -72},
    {"GPSMET", 0, 0, 0, 2, S_PRES, 26, 48, -122, -70},
    {"NJWXNET", 1, 1, 0, 2, S_PRES | S_ALT | S_WIND | S_GUST | S_PCP | S_SOLAR | S_SOIL, 39, 41.3, -75.5, -74},
};

// Station names that select a per-station period and radiation kind
// ("S" records of the provider list) for the providers that use them.
const char* SUBTYPES[] = {"ALTA GUARD", "SNOWBIRD", "PARK CITY", "LOGAN RIVER", "BRYCE CANYN",
                          "KSLC TOWER", "MOAB", "VERNAL", "WEATHERBUG1", "WEATHERBUG2", "SCHOOLNET 3"};

const char* CITY[] = {"CREEK", "HILL", "VALLEY", "RIDGE", "FIELD", "LAKE", "PARK", "SPRINGS", "FORK",
                      "MESA", "BEND", "GROVE", "FLATS", "POINT", "HOLLOW", "CROSSING"};

std::string base36(int v, int width) {
  static const char* dig = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string s(static_cast<std::size_t>(width), '0');
  for (int k = width - 1; k >= 0; --k) {
    s[static_cast<std::size_t>(k)] = dig[v % 36];
    v /= 36;
  }
  return s;
}

// Great Lakes, Gulf and ocean points for ships and buoys.
void marine_position(Rng& r, double& lat, double& lon) {
  static const double BOX[][4] = {
      {46.6, 48.2, -91.5, -85.5},  // Lake Superior
      {42.2, 45.5, -87.6, -86.5},  // Lake Michigan
      {41.6, 42.6, -82.8, -79.5},  // Lake Erie
      {43.3, 43.9, -79.2, -76.5},  // Lake Ontario
      {26.0, 29.0, -94.5, -84.0},  // Gulf of Mexico
      {31.0, 41.0, -74.0, -64.0},  // western Atlantic
      {33.0, 47.0, -131.0, -125.0},  // eastern Pacific
      {42.0, 50.0, -60.0, -45.0},  // Grand Banks
  };
  const double* b = BOX[r.below(8)];
  lat = r.range(b[0], b[1]);
  lon = r.range(b[2], b[3]);
}

// ---- the networks ----
struct Network {
  const char* name;
  const char* dir;
  int nsta;
  int idwidth;
  bool madis_times;  // observationTime/reportTime/receivedTime, else timeObs
};

const Network NETS[] = {
    {"METAR", "/point/metar/netcdf/", 1700, 5, false},
    {"MARITIME", "/point/maritime/netcdf/", 420, 8, false},
    {"SAO", "/point/sao/netcdf/", 140, 5, false},
    {"MESONET", "/KORB/mesonet/netCDF/", 0, 6, true},
    {"COOP", "/KORB/coop/netCDF/", 320, 6, true},
    {"UrbaNet", "/KORB/urbanet/netCDF/", 60, 6, true},
    {"HFMETAR", "/KORB/hfmetar/netCDF/", 850, 6, true},
    {"NEPP", "/KORB/nepp/netCDF/", 90, 6, true},
    {"HCN", "/KORB/hcn/netCDF/", 220, 6, true},
    {"CRN", "/KORB/crn/netCDF/", 130, 6, true},
};
constexpr int MESONET_STATIONS = 3600;

std::vector<Station> make_stations(int net) {
  std::vector<Station> out;
  const Network& nw = NETS[net - 1];
  if (net == 4) {
    int total = 0;
    for (const Provider& p : PROVIDERS) total += p.weight;
    int serial = 0;
    for (const Provider& p : PROVIDERS) {
      int n = MESONET_STATIONS * p.weight / total;
      for (int k = 0; k < n; ++k, ++serial) {
        Rng r(key(4, static_cast<uint64_t>(serial)));
        Station s;
        s.provider = p.name;
        if (std::strcmp(p.name, "NOS-NWLON") == 0) {
          marine_position(r, s.lat, s.lon);
          s.elev = 3.0;
          s.marine = true;
        } else {
          for (int tries = 0; tries < 50; ++tries) {
            s.lat = r.range(p.lat0, p.lat1);
            s.lon = r.range(p.lon0, p.lon1);
            if (on_land(s.lat, s.lon)) break;
          }
          s.elev = std::round(terrain(s.lat, s.lon) * r.range(0.85, 1.15));
        }
        // Identifiers: a provider letter pair and a serial number.
        std::string pre = std::string(1, p.name[0]) + static_cast<char>('A' + (serial / 1296) % 26);
        s.id = pre + base36(serial % 1296, 3);
        if (p.per_station && k < 40) {
          s.name = std::string(SUBTYPES[k % 11]) + " " + CITY[r.below(16)];
        } else {
          s.name = std::string(CITY[r.below(16)]) + " " + CITY[r.below(16)] + " " + std::to_string(k);
        }
        s.sensors = p.sensors;
        // Not every station of a provider carries every sensor.
        if (r.chance(0.25)) s.sensors &= ~(S_GUST | S_SOLAR);
        if (r.chance(0.10)) s.sensors &= ~S_PCP;
        if ((s.sensors & (S_PRES | S_ALT)) == 0 && r.chance(0.5)) s.sensors |= S_ALT;
        s.minute = r.below(12) * 5;
        if (r.chance(0.03)) s.wmo = 70000 + r.below(9000);
        out.push_back(s);
      }
    }
    // Two stations known only by their WMO number.
    for (int k = 0; k < 2; ++k) {
      out[static_cast<std::size_t>(k) * 97].id.clear();
      out[static_cast<std::size_t>(k) * 97].wmo = 72480 + k;
    }
    // Records follow the reports' arrival, not the provider list.
    std::stable_sort(out.begin(), out.end(),
                     [](const Station& a, const Station& b) { return a.minute < b.minute; });
    return out;
  }
  for (int k = 0; k < nw.nsta; ++k) {
    Rng r(key(static_cast<uint64_t>(net), static_cast<uint64_t>(k)));
    Station s;
    if (net == 2) {
      marine_position(r, s.lat, s.lon);
      bool buoy = r.chance(0.55);
      s.id = buoy ? std::to_string(41000 + r.below(6000)) : "SHIP" + base36(k, 4);
      s.elev = 0.0;  // lake reports get their terrain height from the library
      s.marine = true;
      s.minute = buoy ? 50 : 0;
    } else if (net == 3) {
      s.lat = r.range(49.0, 60.0);
      s.lon = r.range(-130.0, -60.0);
      s.elev = std::round(terrain(std::min(s.lat, 49.0), s.lon) * 0.6 + 50.0);
      s.id = "CY" + base36(k + 100, 2);
      s.wmo = 71000 + k;
      s.minute = 0;
      s.kind = r.chance(0.9) ? 1 : 0;  // automatic station
    } else {
      do {
        s.lat = r.range(25.5, 48.8);
        s.lon = r.range(-123.5, -68.0);
      } while (!on_land(s.lat, s.lon));
      s.elev = std::round(terrain(s.lat, s.lon) * r.range(0.9, 1.1));
      s.minute = net == 1 ? 53 : net == 7 ? r.below(12) * 5 : r.below(4) * 15;
      if (net == 1) {
        s.id = "K" + base36(k + 1300, 3);
        if (k < 124) s.id.clear();  // filled from the ASOS list below
        s.wmo = r.chance(0.6) ? 72000 + r.below(5000) : FILLI;
        s.kind = r.chance(0.85) ? 2 : 1;
      } else {
        s.id = std::string(1, nw.name[0]) + nw.name[1] + base36(k, 4);
        if (net == 7) s.kind = r.chance(0.7) ? (r.chance(0.5) ? 1 : 4) : 2 + r.below(2) * 3;
        if (net == 5) s.kind = r.chance(0.6) ? 100 : 1 + r.below(3);
      }
    }
    out.push_back(s);
  }
  return out;
}

// ASOS identifiers of the static list, used for the first METAR stations.
std::vector<std::string> asos_ids(const std::string& path) {
  std::vector<std::string> ids;
  if (std::FILE* f = std::fopen(path.c_str(), "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, f)) {
      std::string s(line, strnlen(line, 5));
      while (!s.empty() && (s.back() == ' ' || s.back() == '\n')) s.pop_back();
      if (!s.empty()) ids.push_back(s);
    }
    std::fclose(f);
  }
  return ids;
}

// QC companions of one value: descriptor and the masks that make it.
struct Qc {
  char dd;
  int qca, qcr;
};
Qc qc_for(Rng& r, bool present) {
  if (!present) return {'Z', 0, 0};
  double u = r.uni();
  if (u < 0.60) return {'V', 126, 0};
  if (u < 0.82) return {'S', 62, 0};
  if (u < 0.92) return {'C', 6, 0};
  if (u < 0.98) return {'Q', 126, 16};
  return {'X', 126, 2};
}

// Mesonet variables with QC companions: filled per record by the caller.
struct QcVar {
  std::vector<float>* v;
  std::vector<int>* qca;
  std::vector<int>* qcr;
  std::vector<char>* dd;
};

QcVar qc_var(File& f, const std::string& name, const char* units) {
  QcVar q;
  q.v = &f.floats(name, units);
  q.qca = &f.ints(name + "QCA", 0);
  q.qcr = &f.ints(name + "QCR", 0);
  q.dd = &f.chars(name + "DD", 1);
  return q;
}

void set_qc(QcVar& q, int rec, double value, bool present, Rng& r) {
  Qc c = qc_for(r, present);
  if (present) {
    // A value that fails the range check looks like one.
    if (c.dd == 'X') value = value * 1.5 + 40.0;
    (*q.v)[static_cast<std::size_t>(rec)] = static_cast<float>(value);
  }
  (*q.qca)[static_cast<std::size_t>(rec)] = c.qca;
  (*q.qcr)[static_cast<std::size_t>(rec)] = c.qcr;
  (*q.dd)[static_cast<std::size_t>(rec)] = c.dd;
}

// Accumulation (mm) over a provider's precipitation period ending now.
double accumulation(int period, const Weather& w, Rng& r, int hour_of_day) {
  double h1 = w.rate;
  switch (period) {
    case 1: return h1;
    case 3: case 6: case 12: case 18: return h1 * (1.0 + 0.3 * period * r.uni());
    case -3: return h1 * 1.3 + (r.chance(0.2) ? r.range(0.3, 12.0) : 0.0);
    case -1: return h1 * 1.2 + (r.chance(0.15) ? r.range(0.3, 8.0) : 0.0) * hour_of_day / 24.0;
    case -2: return h1 * 1.1 + (r.chance(0.1) ? r.range(0.3, 5.0) : 0.0);
    case -4: return h1 / 12.0;
    case -5: return h1 * 1.5 + (r.chance(0.05) ? r.range(5.0, 40.0) : 0.0);
    default: return h1 * r.range(0.5, 2.0);
  }
}

int period_of(const Station& s) {
  for (const Provider& p : PROVIDERS)
    if (s.provider == p.name) {
      if (!p.per_station) return p.period;
      static const int SUBPERIOD[] = {1, 1, -1, 6, -2, 1, 3, -1, -4, -2, -2};
      for (int k = 0; k < 11; ++k)
        if (s.name.rfind(SUBTYPES[k], 0) == 0) return SUBPERIOD[k];
      return 0;
    }
  return 0;
}

float round_to(double v, double step) { return static_cast<float>(std::round(v / step) * step); }

// Identity variables shared by every network.
void identity(File& f, const std::vector<Station>& st, const Network& nw, long hour, int net) {
  const int n = static_cast<int>(st.size());
  auto& id = f.chars("stationId", nw.idwidth);
  auto& lat = f.floats("latitude", "degree_north");
  auto& lon = f.floats("longitude", "degree_east");
  auto& elev = f.floats("elevation", "meter");
  const double t0 = DAY0 + 3600.0 * static_cast<double>(hour);
  for (int k = 0; k < n; ++k) {
    const Station& s = st[static_cast<std::size_t>(k)];
    put_text(id, k, nw.idwidth, s.id);
    lat[static_cast<std::size_t>(k)] = static_cast<float>(s.lat);
    lon[static_cast<std::size_t>(k)] = static_cast<float>(s.lon);
    elev[static_cast<std::size_t>(k)] = static_cast<float>(s.elev);
  }
  if (net == 1 || net == 3 || net == 4) {
    auto& wmo = f.ints("wmoId");
    for (int k = 0; k < n; ++k) wmo[static_cast<std::size_t>(k)] = st[static_cast<std::size_t>(k)].wmo;
  }
  if (!nw.madis_times) {
    auto& to = f.times("timeObs");
    for (int k = 0; k < n; ++k) to[static_cast<std::size_t>(k)] = t0 + 60.0 * st[static_cast<std::size_t>(k)].minute;
    return;
  }
  auto& ot = f.times("observationTime");
  auto& rt = f.times("reportTime");
  auto& rc = f.times("receivedTime");
  for (int k = 0; k < n; ++k) {
    const Station& s = st[static_cast<std::size_t>(k)];
    Rng r(key(static_cast<uint64_t>(net), s.seed, static_cast<uint64_t>(hour) + 77));
    double t = t0 + 60.0 * s.minute;
    ot[static_cast<std::size_t>(k)] = t;
    rt[static_cast<std::size_t>(k)] = t + 60.0 * r.below(3);
    rc[static_cast<std::size_t>(k)] = t + 120.0 + 60.0 * r.below(15) + (s.resend ? 600.0 : 0.0);
  }
  // A few reports that a careful reader drops: no position, a receipt
  // time before the observation.
  if (n > 50) {
    for (int k = 0; k < n; ++k) {
      if (st[static_cast<std::size_t>(k)].serial == 13) lat[static_cast<std::size_t>(k)] = FILLF;
      if (st[static_cast<std::size_t>(k)].serial == 29) rc[static_cast<std::size_t>(k)] = ot[static_cast<std::size_t>(k)] - 600.0;
    }
  }
}

constexpr int NP = static_cast<int>(sizeof PROVIDERS / sizeof PROVIDERS[0]);
constexpr int NS = static_cast<int>(sizeof SUBTYPES / sizeof SUBTYPES[0]);
constexpr int NPST = NP + NS;

void provider_table(File& f) {
  constexpr int N = NPST;
  Column& num = f.table("numPST", NC_INT, 1);
  num.i[0] = N;
  Column& type = f.table("typePST", NC_CHAR, N);
  Column& name = f.table("namePST", NC_CHAR, N, 11);
  Column* code[4] = {&f.table("code1PST", NC_INT, N), &f.table("code2PST", NC_INT, N),
                     &f.table("code3PST", NC_INT, N), &f.table("code4PST", NC_INT, N)};
  static const int SUBCODE[NS][2] = {{1, 3}, {1, 3}, {-1, 6}, {6, 0}, {-2, 2}, {1, 1},
                                     {3, 7}, {-1, 3}, {-4, 1}, {-2, 1}, {-2, 9}};
  for (int k = 0; k < NP; ++k) {
    const Provider& p = PROVIDERS[k];
    type.c[static_cast<std::size_t>(k)] = 'P';
    put_text(name.c, k, 11, p.name);
    code[0]->i[static_cast<std::size_t>(k)] = p.period;
    code[1]->i[static_cast<std::size_t>(k)] = p.radiation;
    code[2]->i[static_cast<std::size_t>(k)] = p.per_station;
    code[3]->i[static_cast<std::size_t>(k)] = 0;
  }
  for (int k = 0; k < NS; ++k) {
    int e = NP + k;
    type.c[static_cast<std::size_t>(e)] = 'S';
    put_text(name.c, e, 11, SUBTYPES[k]);
    code[0]->i[static_cast<std::size_t>(e)] = SUBCODE[k][0];
    code[1]->i[static_cast<std::size_t>(e)] = SUBCODE[k][1];
  }
}

void mesonet(File& f, const std::vector<Station>& st, long hour) {
  const int n = static_cast<int>(st.size());
  auto& prov = f.chars("dataProvider", 11);
  auto& sname = f.chars("stationName", 51);
  for (int k = 0; k < n; ++k) {
    put_text(prov, k, 11, st[static_cast<std::size_t>(k)].provider);
    put_text(sname, k, 51, st[static_cast<std::size_t>(k)].name);
  }
  provider_table(f);
  QcVar t = qc_var(f, "temperature", "kelvin"), td = qc_var(f, "dewpoint", "kelvin"),
        rh = qc_var(f, "relHumidity", "percent"), ps = qc_var(f, "stationPressure", "pascal"),
        alt = qc_var(f, "altimeter", "pascal"), slp = qc_var(f, "seaLevelPressure", "pascal"),
        dir = qc_var(f, "windDir", "degree"), spd = qc_var(f, "windSpeed", "meter/sec"),
        gust = qc_var(f, "windGust", "meter/sec"), gdir = qc_var(f, "windDirMax", "degree"),
        pcp = qc_var(f, "precipAccum", "mm"), rate = qc_var(f, "precipRate", "meter/sec"),
        sol = qc_var(f, "solarRadiation", "watt/meter2"), vis = qc_var(f, "visibility", "meter"),
        tend = qc_var(f, "pressChange3Hour", "pascal"), tmax = qc_var(f, "maxTemp24Hour", "kelvin"),
        tmin = qc_var(f, "minTemp24Hour", "kelvin"), soilt = qc_var(f, "soilTemperature", "kelvin"),
        soilm = qc_var(f, "soilMoisture", "percent"), fuelt = qc_var(f, "fuelTemperature", "kelvin"),
        fuelm = qc_var(f, "fuelMoisture", "percent"), wtemp = qc_var(f, "waterTemperature", "kelvin"),
        wlev = qc_var(f, "waterLevel", "meter"), sst = qc_var(f, "seaSurfaceTemp", "kelvin"),
        snow = qc_var(f, "snowDepth", "meter"), leaf = qc_var(f, "leafWetness", "");
  auto& pchar = f.floats("pressChangeChar", "");
  QcVar road[5][4];
  const char* RNAME[5] = {"roadTemperature", "roadLiquidFreezeTemp", "roadLiquidIcePercent",
                          "roadLiquidDepth", "roadState"};
  const char* RUNIT[5] = {"kelvin", "kelvin", "percent", "meter", ""};
  for (int v = 0; v < 5; ++v)
    for (int s = 0; s < 4; ++s) road[v][s] = qc_var(f, RNAME[v] + std::to_string(s + 1), RUNIT[v]);

  for (int k = 0; k < n; ++k) {
    const Station& s = st[static_cast<std::size_t>(k)];
    Rng r(key(4, s.seed, static_cast<uint64_t>(hour)));
    const Weather w = station_weather(s, hour, r);
    unsigned m = s.sensors;
    bool has_t = !r.chance(0.02);
    set_qc(t, k, round_to(w.t, 0.01), has_t, r);
    bool has_td = has_t && s.provider != "RAWS" && !r.chance(0.15);
    set_qc(td, k, round_to(w.td, 0.01), has_td, r);
    set_qc(rh, k, round_to(rel_humidity(w.t, w.td), 0.1), has_t && !r.chance(0.05), r);
    set_qc(ps, k, round_to(w.pstn, 10.0), (m & S_PRES) != 0, r);
    set_qc(alt, k, round_to(w.alt, 10.0), (m & S_ALT) != 0, r);
    set_qc(slp, k, round_to(w.slp, 10.0), (m & S_SLP) != 0, r);
    bool wind = (m & S_WIND) != 0 && !r.chance(0.03);
    set_qc(dir, k, std::round(w.dir), wind, r);
    set_qc(spd, k, round_to(w.spd, 0.1), wind, r);
    set_qc(gust, k, round_to(w.gust, 0.1), wind && (m & S_GUST) != 0, r);
    set_qc(gdir, k, wrap360(w.dir + 10.0 * r.normal()), wind && (m & S_GUST) != 0 && r.chance(0.5), r);
    set_qc(pcp, k, round_to(accumulation(period_of(s), w, r, hour_of_day(hour)), 0.25), (m & S_PCP) != 0, r);
    set_qc(rate, k, w.rate / 3600.0 / 1000.0, (m & S_RATE) != 0, r);
    double sun = sunshine(hour, s.lon, 880.0);
    set_qc(sol, k, std::round(sun * (w.rate > 0 ? 0.25 : r.range(0.7, 1.0))), (m & S_SOLAR) != 0, r);
    set_qc(vis, k, std::round(w.vis), (m & S_VIS) != 0, r);
    bool tendency = (m & S_TEND) != 0;
    set_qc(tend, k, round_to(std::fabs(w.modelled ? w.tend : 60.0 * r.normal()), 10.0), tendency, r);
    if (tendency)
      pchar[static_cast<std::size_t>(k)] = w.modelled ? tendency_char(w.tend) : static_cast<float>(r.below(9));
    set_qc(tmax, k, round_to((w.modelled ? w.tmax : w.t) + r.range(0.0, 1.5), 0.1), (m & S_MAXMIN) != 0, r);
    set_qc(tmin, k, round_to(w.modelled ? w.tmin - r.range(0.5, 2.0) : w.t - r.range(10.0, 16.0), 0.1),
           (m & S_MAXMIN) != 0, r);
    set_qc(soilt, k, round_to((w.modelled ? soil_temp(w) : w.t) - r.range(1.0, 4.0), 0.1), (m & S_SOIL) != 0, r);
    set_qc(soilm, k, round_to(r.range(8.0, 40.0), 0.1), (m & S_SOIL) != 0 && r.chance(0.6), r);
    set_qc(leaf, k, std::round(r.range(0.0, 15.0)), (m & S_SOIL) != 0 && r.chance(0.3), r);
    set_qc(fuelt, k, round_to(w.modelled ? w.t - 0.5 + w.sun * r.range(2.0, 9.0) : w.t + r.range(2.0, 9.0), 0.1),
           (m & S_FUEL) != 0, r);
    set_qc(fuelm, k, round_to(r.range(4.0, 14.0), 0.1), (m & S_FUEL) != 0, r);
    set_qc(wtemp, k, round_to(w.modelled ? water_temp(s, 298.0, 303.5, w) : r.range(298.0, 303.5), 0.1),
           (m & S_WATER) != 0, r);
    set_qc(wlev, k, round_to(w.modelled ? water_level(s, hour) : r.range(-0.4, 1.2), 0.01), (m & S_WATER) != 0, r);
    set_qc(sst, k, round_to(w.modelled ? water_temp(s, 296.0, 303.0, w) : r.range(296.0, 303.0), 0.1),
           (m & S_WATER) != 0 && s.lat < 41.0, r);
    set_qc(snow, k, 0.0, (m & S_SNOW) != 0 && s.elev > 2000.0, r);
    int sensors = (m & S_ROAD) == 0 ? 0 : (m & S_ROAD4) != 0 ? 4 : 2;
    for (int j = 0; j < 4; ++j) {
      bool on = j < sensors;
      double wet = w.rate > 0 ? r.range(0.0002, 0.002) : 0.0;
      set_qc(road[0][j], k,
             round_to(w.modelled ? w.t - 1.0 + w.sun * r.range(5.0, 15.0) : w.t + r.range(4.0, 14.0), 0.1), on, r);
      set_qc(road[1][j], k, round_to(273.15 - r.range(0.0, 6.0), 0.1), on && r.chance(0.7), r);
      set_qc(road[2][j], k, 0.0, on, r);
      set_qc(road[3][j], k, wet, on, r);
      set_qc(road[4][j], k, wet > 0 ? 2.0 : 1.0, on, r);
    }
  }
}

// Plain variables of the other networks, by NetCDF name.
void other(File& f, const std::vector<Station>& st, long hour, int net) {
  const int n = static_cast<int>(st.size());
  const bool sao = net == 3;
  const bool metar_units = net == 1;  // METAR precipitation in m, the others in mm
  struct Var {
    const char* name;
    const char* units;
    unsigned nets;  // bit k: network k
  };
  constexpr unsigned M = 1 << 1, MAR = 1 << 2, S = 1 << 3, C = 1 << 5, U = 1 << 6, H = 1 << 7,
                     N = 1 << 8, HC = 1 << 9, CR = 1 << 10;
  const Var VARS[] = {
      {"temperature", "kelvin", M | MAR | S | C | U | H | N | HC | CR},
      {"dewpoint", "kelvin", M | MAR | S | H | N | HC},
      {"relHumidity", "percent", C | U | CR},
      {"altimeter", sao ? "hectopascal" : "pascal", M | S | U | H | N},
      {"stationPressure", "pascal", MAR},
      {"seaLevelPressure", sao ? "hectopascal" : "pascal", M | MAR | S},
      {"windDir", "degree", M | MAR | S | C | U | H | N},
      {"windSpeed", "meter/sec", M | MAR | S | C | U | H | N | CR},
      {"windGust", "meter/sec", M | MAR | U | H | N},
      {"windDirMax", "degree", M | H},
      {"visibility", sao ? "kilometer" : "meter", M | MAR | S | H | N},
      {"precip1Hour", metar_units ? "meter" : "mm", M | S | U | H | N | HC | CR},
      {"precip3Hour", metar_units ? "meter" : "mm", M | S},
      {"precip6Hour", metar_units ? "meter" : "mm", M | MAR | S},
      {"precip24Hour", metar_units ? "meter" : "mm", M | S | C | HC | CR},
      {"pressChange3Hour", sao ? "hectopascal" : "pascal", M | MAR | S},
      {"pressChangeChar", "", M | MAR | S},
      {"maxTemp24Hour", "kelvin", M | C | HC | CR},
      {"minTemp24Hour", "kelvin", M | C | HC | CR},
      {"seaSurfaceTemp", "kelvin", MAR},
      {"waveHeight", "meter", MAR},
      {"solarRadiation", "watt/meter2", C | CR},
      {"precip5Min", "mm", C | H},
      {"precipRate", "meter/sec", C},
      {"precipAccum", "mm", C},
      {"archiveTemperature", "kelvin", HC | CR},
      {"archivePrecipAccum1h", "mm", HC | CR},
      {"temperatureUpper", "kelvin", U},
      {"relHumidityUpper", "percent", U},
      {"temperatureLower", "kelvin", U},
      {"relHumidityLower", "percent", U},
      {"reportKind", "", C},
      {"temperature2", "kelvin", C},
      {"relHumidity2", "percent", C},
      {"windDir2", "degree", C}, {"windSpeed2", "meter/sec", C},
      {"windDir3", "degree", C}, {"windSpeed3", "meter/sec", C},
      {"windDir4", "degree", C}, {"windSpeed4", "meter/sec", C},
      {"windDir5", "degree", C}, {"windSpeed5", "meter/sec", C},
      {"snowDepth6H", "mm", C}, {"snowDepth24H", "mm", C},
      {"snowWaterEquiv", "mm", C}, {"snowfall24Hour", "mm", C},
      {"precipManual", "mm", C}, {"precipMonth", "mm", C},
  };
  const double pscale = sao ? 0.01 : 1.0;
  const double vscale = sao ? 0.001 : 1.0;
  const double mscale = metar_units ? 0.001 : 1.0;
  // Synoptic hours carry the 3- and 6-hour values, one hour of the day the
  // daily ones; the afternoon has them at 21 and 19 UTC.
  const int hod = hour_of_day(hour);
  const bool synoptic = hod % 3 == 0, daily = hod == 19;
  // One weather per report for all its variables.
  std::vector<Weather> weathers;
  weathers.reserve(st.size());
  for (const Station& s : st) {
    Rng base(key(static_cast<uint64_t>(net), s.seed, static_cast<uint64_t>(hour)));
    Weather w = station_weather(s, hour, base);
    if (net == 2) {
      w.alt = w.slp;
      w.t = std::min(w.t, 302.0) - (s.lat > 41.0 ? 6.0 : 0.0);
    }
    weathers.push_back(w);
  }
  for (const Var& v : VARS) {
    if ((v.nets & (1u << net)) == 0) continue;
    const std::string name = v.name;
    auto& col = f.floats(name, v.units);
    for (int k = 0; k < n; ++k) {
      const Station& s = st[static_cast<std::size_t>(k)];
      const Weather& w = weathers[static_cast<std::size_t>(k)];
      Rng r(key(static_cast<uint64_t>(net) + 50, s.seed, name_hash(name) + static_cast<uint64_t>(hour)));
      float& out = col[static_cast<std::size_t>(k)];
      double x = FILLF;
      if (name == "temperature" || name == "archiveTemperature") x = round_to(w.t, 0.1);
      else if (name == "dewpoint") x = r.chance(0.95) ? round_to(w.td, 0.1) : FILLF;
      else if (name == "relHumidity") x = std::round(rel_humidity(w.t, w.td));
      else if (name == "altimeter") x = round_to(w.alt, 10.0) * pscale;
      else if (name == "stationPressure") x = round_to(w.pstn, 10.0);
      else if (name == "seaLevelPressure") x = r.chance(0.8) ? round_to(w.slp, 10.0) * pscale : FILLF;
      else if (name == "windDir") x = std::round(w.dir / 10.0) * 10.0;
      else if (name == "windSpeed") x = round_to(w.spd, 0.5);
      else if (name == "windGust" || name == "windDirMax") {
        if (w.gust > w.spd + 4.0) x = name == "windGust" ? round_to(w.gust, 0.5) : std::round(w.dir / 10.0) * 10.0;
      } else if (name == "visibility") x = std::round(w.vis) * vscale;
      else if (name == "precip1Hour" || name == "archivePrecipAccum1h") x = w.rate > 0 || r.chance(0.7) ? round_to(w.rate, 0.25) * mscale : FILLF;
      else if (name == "precip3Hour" || name == "precip6Hour") x = synoptic || net == 2 ? round_to(w.rate * 1.4, 0.25) * mscale : FILLF;
      else if (name == "precip24Hour") x = daily || net >= 5 ? round_to(accumulation(-3, w, r, hod), 0.25) * mscale : FILLF;
      else if (name == "pressChange3Hour") {
        if (synoptic) x = round_to(std::fabs(w.modelled ? w.tend : 70.0 * r.normal()), 10.0) * pscale;
      } else if (name == "pressChangeChar") {
        if (synoptic) x = w.modelled ? tendency_char(w.tend) : r.below(9);
      } else if (name == "maxTemp24Hour") {
        if (daily || net >= 5) x = round_to((w.modelled ? w.tmax : w.t) + r.range(0.0, 1.5), 0.1);
      } else if (name == "minTemp24Hour") {
        if (daily || net >= 5) x = round_to(w.modelled ? w.tmin - r.range(0.5, 2.0) : w.t - r.range(10.0, 16.0), 0.1);
      } else if (name == "seaSurfaceTemp") {
        const bool cool = s.lat > 41.5 && s.lon > -92.0;  // the Great Lakes
        x = round_to(w.modelled ? water_temp(s, cool ? 292.0 : 296.0, cool ? 297.0 : 304.0, w)
                     : cool ? r.range(292.0, 297.0) : r.range(296.0, 304.0), 0.1);
      } else if (name == "waveHeight") x = round_to(w.modelled ? 0.3 + 0.18 * w.spd + 0.2 * r.uni() : r.range(0.2, 2.5), 0.1);
      else if (name == "solarRadiation") x = std::round(sunshine(hour, s.lon, 850.0) * r.range(0.6, 1.0));
      else if (name == "precip5Min") x = round_to(w.rate / 12.0, 0.1);
      else if (name == "precipRate") x = w.rate / 3600.0 / 1000.0;
      else if (name == "precipAccum") x = round_to(w.rate * 2.0, 0.25);
      else if (name == "temperatureUpper") x = round_to(w.t - 0.8, 0.1);
      else if (name == "temperatureLower") x = round_to(w.t + 0.3, 0.1);
      else if (name.rfind("relHumidity", 0) == 0) x = std::round(rel_humidity(w.t, w.td) + r.range(-3.0, 3.0));
      else if (name == "reportKind") x = s.kind;
      else if (name == "temperature2") x = round_to(w.t - 0.5, 0.1);
      else if (name.rfind("windDir", 0) == 0) x = wrap360(w.dir + 10.0 * r.normal());
      else if (name.rfind("windSpeed", 0) == 0) x = round_to(w.spd * r.range(0.8, 1.2), 0.1);
      else if (name.rfind("snow", 0) == 0) x = 0.0;
      else if (name == "precipManual") x = round_to(accumulation(-2, w, r, hod), 0.25);
      else if (name == "precipMonth") x = round_to(r.range(20.0, 140.0), 0.25);
      out = static_cast<float>(x);
    }
  }
  if (net >= 5) {
    // The cooperative and climate networks name their provider and station
    // like the mesonets do.
    auto& prov = f.chars("dataProvider", 11);
    auto& sname = f.chars("stationName", 51);
    for (int k = 0; k < n; ++k) {
      const Station& s = st[static_cast<std::size_t>(k)];
      const char* pname = net == 7 ? (s.kind == 1 || s.kind == 4 ? "ASOS-HFM" : "OTHER-HFM") : NETS[net - 1].name;
      put_text(prov, k, 11, pname);
      put_text(sname, k, 51, std::string(CITY[s.serial % 16]) + " " + std::to_string(s.serial + 1));
    }
  }
  if (net == 1 || net == 3) {
    auto& at = f.chars("autoStationType", 6);
    auto& rt = f.chars("reportType", net == 1 ? 6 : 5);
    for (int k = 0; k < n; ++k) {
      const Station& s = st[static_cast<std::size_t>(k)];
      put_text(at, k, 6, net == 1 ? (s.kind == 2 ? "A02" : "A01") : (s.kind ? "AUTO" : "MAN"));
      const bool speci = s.special || s.serial % 23 == 7;
      put_text(rt, k, net == 1 ? 6 : 5, net == 1 ? (speci ? "SPECI" : "METAR") : "SA");
    }
  }
  if (net == 1 || net == 3 || net == 7) {
    const int nlev = net == 1 ? 6 : net == 3 ? 5 : 3;
    auto& sky = f.floats("skyLayerBase", "meter", nlev);
    for (int k = 0; k < n; ++k) {
      Rng r(key(static_cast<uint64_t>(net) + 90, st[static_cast<std::size_t>(k)].seed, static_cast<uint64_t>(hour)));
      int layers = r.below(nlev + 1);
      double base = r.range(600.0, 2500.0);
      for (int j = 0; j < layers; ++j, base += r.range(300.0, 2000.0))
        sky[static_cast<std::size_t>(k) * nlev + j] = round_to(base, 30.0);
    }
  }
  if (net == 7) {
    auto& mt = f.ints("metarType");
    for (int k = 0; k < n; ++k) mt[static_cast<std::size_t>(k)] = st[static_cast<std::size_t>(k)].kind;
  }
}

bool make_dirs(const std::string& path) {
  for (std::size_t pos = 1; pos != std::string::npos; pos = path.find('/', pos + 1)) {
    std::string part = path.substr(0, pos);
    if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// The reports of one hour: every station but those out of service, and a
// few twice (METAR specials besides the hourly report, mesonet reports sent
// again) after the rest. The afternoon has every station once.
bool out_of_service(const Station& s, long hour, int net) {
  // An outage starts in some hour of a half day and lasts one to four hours.
  const long block = floor_div(hour, 12);
  for (long b = block - 1; b <= block; ++b) {
    Rng r(key(static_cast<uint64_t>(net) + 500, static_cast<uint64_t>(s.serial), static_cast<uint64_t>(b)));
    if (!r.chance(0.03)) continue;
    const long from = 12 * b + r.below(12), to = from + 1 + r.below(4);
    if (hour >= from && hour < to) return true;
  }
  return false;
}

constexpr uint64_t SPECIAL_SEED = 1000000;

std::vector<Station> reports(const std::vector<Station>& all, long hour, int net) {
  if (afternoon(hour)) return all;
  std::vector<Station> out, twice;
  out.reserve(all.size());
  for (const Station& s : all) {
    if (out_of_service(s, hour, net)) continue;
    out.push_back(s);
    Rng r(key(static_cast<uint64_t>(net) + 400, static_cast<uint64_t>(s.serial), static_cast<uint64_t>(hour)));
    if (net == 1 && r.chance(0.01)) {
      twice.push_back(s);
      twice.back().special = true;
      twice.back().seed = s.seed + SPECIAL_SEED;
      twice.back().minute = 10 + r.below(40);
    } else if (net == 4 && r.chance(0.003)) {
      twice.push_back(s);
      twice.back().resend = true;
    }
  }
  out.insert(out.end(), twice.begin(), twice.end());
  return out;
}

// ---- times ----
// Days since 1970-01-01 of a date of the Gregorian calendar, and back.
long days_from_civil(long y, long m, long d) {
  y -= m <= 2;
  const long era = floor_div(y, 400);
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

void civil_from_days(long z, long& y, long& m, long& d) {
  z += 719468;
  const long era = floor_div(z, 146097);
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

const long DAY0_DAYS = days_from_civil(2021, 8, 25);

// The file name of an hour: YYYYMMDD_HH00.
std::string stem_of(long hour) {
  long y = 0, m = 0, d = 0;
  civil_from_days(DAY0_DAYS + floor_div(hour, 24), y, m, d);
  char stem[64];
  std::snprintf(stem, sizeof stem, "%04d%02d%02d_%02d00", static_cast<int>(y), static_cast<int>(m),
                static_cast<int>(d), hour_of_day(hour));
  return stem;
}

// YYYY-MM-DDTHH or YYYY-MM-DDTHH:00 (a blank for the T too) to hours from
// 2021-08-25 00 UTC; false for anything else.
bool parse_start(const std::string& s, long& hour) {
  auto digits = [&s](std::size_t at, std::size_t n, long& v) {
    if (at + n > s.size()) return false;
    v = 0;
    for (std::size_t k = at; k < at + n; ++k) {
      if (s[k] < '0' || s[k] > '9') return false;
      v = v * 10 + (s[k] - '0');
    }
    return true;
  };
  long y = 0, mo = 0, d = 0, h = 0, mi = 0;
  if (!digits(0, 4, y) || s.size() < 13 || s[4] != '-' || !digits(5, 2, mo) || s[7] != '-' ||
      !digits(8, 2, d) || (s[10] != 'T' && s[10] != ' ') || !digits(11, 2, h))
    return false;
  if (s.size() == 16 ? s[13] != ':' || !digits(14, 2, mi) || mi != 0 : s.size() != 13) return false;
  static const int LEN[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1900 || y > 2099 || mo < 1 || mo > 12 || d < 1 || h > 23) return false;
  if (d > LEN[mo - 1] || (mo == 2 && d == 29 && !leap)) return false;
  hour = (days_from_civil(y, mo, d) - DAY0_DAYS) * 24 + h;
  return true;
}

// ---- arguments ----
struct Options {
  std::string out, statics;
  long start = FIRST_HOUR;
  long hours = LAST_HOUR - FIRST_HOUR + 1;
};

constexpr long MAX_HOURS = 24 * 366;

bool parse_options(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  for (int k = 1; k < argc; ++k) {
    std::string a = argv[k], value;
    const bool start = a.rfind("--start", 0) == 0, hours = a.rfind("--hours", 0) == 0;
    if (!start && !hours) {
      if (a.size() > 1 && a[0] == '-') return false;
      positional.push_back(a);
      continue;
    }
    if (a.size() > 7 && a[7] == '=') {
      value = a.substr(8);
    } else if (a.size() == 7 && k + 1 < argc) {
      value = argv[++k];
    } else {
      return false;
    }
    if (start && !parse_start(value, o.start)) return false;
    if (hours) {
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || errno != 0 || n < 1 || n > MAX_HOURS) return false;
      o.hours = n;
    }
  }
  if (positional.empty() || positional.size() > 2) return false;
  o.out = positional[0];
  if (positional.size() == 2) o.statics = positional[1];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: gen_sample OUTDIR [STATIC_DIR] [--start YYYY-MM-DDTHH:00] [--hours N]\n"
                 "  (default: 2021-08-25T19:00, 3 hours; N from 1 to %ld)\n",
                 MAX_HOURS);
    return 2;
  }
  // The first METAR stations take the identifiers of the ASOS list.
  std::string stadic = o.statics.empty() ? "" : o.statics + "/stadic.txt";
  std::vector<std::string> asos = stadic.empty() ? std::vector<std::string>{} : asos_ids(stadic);
  for (int net = 1; net <= 10; ++net) {
    const Network& nw = NETS[net - 1];
    std::vector<Station> st = make_stations(net);
    if (net == 1) {
      for (std::size_t k = 0; k < st.size(); ++k)
        if (st[k].id.empty()) st[k].id = k < asos.size() ? asos[k] : "K" + base36(static_cast<int>(k) + 600, 3);
    }
    for (std::size_t k = 0; k < st.size(); ++k) {
      Station& s = st[k];
      s.serial = static_cast<int>(k);
      s.seed = k;
      s.self = key(static_cast<uint64_t>(net) + 200, k);
      match(s);
    }
    std::string dir = o.out + nw.dir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!make_dirs(dir)) {
      std::fprintf(stderr, "gen_sample: cannot create %s\n", dir.c_str());
      return 1;
    }
    for (long hour = o.start; hour < o.start + o.hours; ++hour) {
      const std::vector<Station> rep = reports(st, hour, net);
      File f(static_cast<int>(rep.size()));
      identity(f, rep, nw, hour, net);
      if (net == 4)
        mesonet(f, rep, hour);
      else
        other(f, rep, hour, net);
      if (!f.write(dir + "/" + stem_of(hour), net == 4 ? NPST : 0)) return 1;
    }
  }
  return 0;
}
