// extract_week: one range of hours through the C++ layer into a dump file,
// for the tests that run several extractions at once and compare their
// output, and for the benchmark peer's check.
//
//   extract_week --static DIR --data DIR --start T --end T --vars V,V,...
//                [--providers P,P,...] [--window BEFORE,AFTER,MODE] -o FILE
//
// The dump holds, per hour, everything the layer hands back (stations,
// positions, report times, values, descriptors, masks), in native byte
// order:
//   "VRNDUMP1", int32 nvars, nvars names of 16 blank-padded characters;
//   per hour: "HOUR", int64 minutes since 1970, int32 status, int32 n,
//     n*10 identifier and n*10 provider characters, int32 wmo[n],
//     int32 source[n], float lat[n], lon[n], elev[n], int64 obs_minutes[n],
//     then per variable: int32 levels, int32 status, float values[n*levels],
//     char qcd[n*levels], int32 qca[n*levels], int32 qcr[n*levels];
//   "END." and the int32 number of hours, so that a cut-off dump shows.
// The file appears under its name only when complete.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "voran/voran.hpp"

namespace {

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> out;
  std::size_t b = 0;
  while (b <= s.size()) {
    const std::size_t e = s.find(',', b);
    out.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return out;
}

class Dump {
 public:
  explicit Dump(std::FILE* f) : f_(f) {}
  template <class T>
  void put(const T* p, std::size_t n) {
    if (n != 0 && std::fwrite(p, sizeof(T), n, f_) != n) ok_ = false;
  }
  template <class T>
  void put(const std::vector<T>& v) {
    put(v.data(), v.size());
  }
  template <class T>
  void one(T x) {
    put(&x, 1);
  }
  void tag(const char (&t)[5]) { put(t, 4); }
  bool ok() const { return ok_; }

 private:
  std::FILE* f_;
  bool ok_ = true;
};

void hour(Dump& d, const voran::Hour& h) {
  d.tag("HOUR");
  d.one(voran::to_minutes(h.time));
  d.one(h.status);
  d.one(static_cast<int32_t>(h.count()));
  d.put(h.station_ids);
  d.put(h.provider_ids);
  d.put(h.wmo);
  d.put(h.source);
  d.put(h.lat);
  d.put(h.lon);
  d.put(h.elev);
  d.put(h.obs_minutes);
  for (const voran::Column& c : h.columns) {
    d.one(c.info.levels);
    d.one(c.status);
    d.put(c.values);
    d.put(c.qcd);
    d.put(c.qca);
    d.put(c.qcr);
  }
}

int usage() {
  std::fprintf(stderr,
               "usage: extract_week --static DIR --data DIR --start T --end T --vars V,V "
               "[--providers P,P] [--window B,A,M] -o FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  voran::Query q;
  std::string start, end, out;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string k = argv[i], v = argv[i + 1];
    if (k == "--static") {
      q.static_dir = v;
    } else if (k == "--data") {
      q.data_dir = v;
    } else if (k == "--start") {
      start = v;
    } else if (k == "--end") {
      end = v;
    } else if (k == "--vars") {
      q.variables = split(v);
    } else if (k == "--providers") {
      q.providers = split(v);
    } else if (k == "--window") {
      const auto w = split(v);
      if (w.size() != 3) return usage();
      q.window = {std::stoi(w[0]), std::stoi(w[1]), std::stoi(w[2])};
    } else if (k == "-o") {
      out = v;
    } else {
      return usage();
    }
  }
  if (argc % 2 != 1 || start.empty() || out.empty() || q.variables.empty()) return usage();

  const std::string part = out + ".part";
  std::FILE* f = std::fopen(part.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "extract_week: %s: %s\n", part.c_str(), std::strerror(errno));
    return 1;
  }
  Dump d(f);
  int32_t hours = 0;
  try {
    q.time = voran::parse_time(start);
    if (!end.empty()) q.end = voran::parse_time(end);
    voran::validate(q);
    d.put("VRNDUMP1", 8);
    d.one(static_cast<int32_t>(q.variables.size()));
    for (const std::string& name : q.variables) {
      std::string padded = name;
      padded.resize(16, ' ');
      d.put(padded.data(), 16);
    }
    voran::run(q, [&](const voran::Hour& h) {
      hour(d, h);
      ++hours;
    });
    d.tag("END.");
    d.one(hours);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract_week: %s\n", e.what());
    std::fclose(f);
    std::remove(part.c_str());
    return 1;
  }
  if (std::fclose(f) != 0 || !d.ok() || std::rename(part.c_str(), out.c_str()) != 0) {
    std::fprintf(stderr, "extract_week: cannot write %s\n", out.c_str());
    std::remove(part.c_str());
    return 1;
  }
  return 0;
}
