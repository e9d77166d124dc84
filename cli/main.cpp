// voran: surface observations from the command line.
//
//   voran extract   values of any variables for any hours, as CSV, JSON Lines or CF NetCDF
//   voran stations  the station list alone
//   voran vars      the variables the tables know
//   voran providers the networks, groups and providers the tables know
//
// Exit status: 0 done, 1 the library failed (its status and message on
// standard error), 2 the command line was wrong (nothing done).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

#include "cli/jobs.hpp"
#include "cli/output.hpp"
#include "cli/writers.hpp"

namespace {

using voran::cli::Output;

constexpr int USAGE = 2;
constexpr int FAILED = 1;

// Command-line text of the selection options, parsed after CLI11 is done.
struct Selection {
  std::string time, end, vars, providers, window, box, radius, lambert, polar, stations;
  std::string static_dir, data_dir, database = "ZEM";
  int step = 60;
  int qc_level = 0;
};

struct UsageError {
  std::string argument, message;
};

std::vector<std::string> split(const std::string& s, char sep = ',') {
  std::vector<std::string> out;
  std::stringstream ss(s);
  std::string part;
  while (std::getline(ss, part, sep)) out.push_back(part);
  if (!s.empty() && s.back() == sep) out.emplace_back();
  return out;
}

std::vector<float> numbers(const std::string& text, std::size_t n, const char* option) {
  std::vector<float> out;
  for (const std::string& p : split(text)) {
    char* end = nullptr;
    const float x = std::strtof(p.c_str(), &end);
    if (p.empty() || *end != '\0' || !std::isfinite(x))
      throw UsageError{option, "'" + p + "' is not a number"};
    out.push_back(x);
  }
  if (out.size() != n)
    throw UsageError{option, "expected " + std::to_string(n) + " comma-separated numbers"};
  return out;
}

voran::Query build_query(const Selection& s, bool with_vars) {
  voran::Query q;
  q.static_dir = s.static_dir;
  q.data_dir = s.data_dir;
  q.database = s.database;
  q.time = voran::parse_time(s.time);
  if (!s.end.empty()) q.end = voran::parse_time(s.end);
  q.step_minutes = s.step;
  q.qc_level = s.qc_level;
  if (with_vars) {
    if (s.vars == "all") {
      for (const auto& v : voran::variables(s.static_dir, s.database))
        if (v.type == 'N') q.variables.push_back(v.name);
    } else {
      q.variables = split(s.vars);
      for (const auto& v : q.variables)
        if (v.empty()) throw UsageError{"vars", "an empty variable name"};
    }
  }
  if (!s.providers.empty()) q.providers = split(s.providers);
  if (!s.window.empty()) {
    const auto w = numbers(s.window, 3, "window");
    for (float x : w)
      if (x != float(int32_t(x))) throw UsageError{"window", "expected whole numbers"};
    q.window = {int32_t(w[0]), int32_t(w[1]), int32_t(w[2])};
  }
  int domains = 0;
  if (!s.box.empty()) {
    const auto b = numbers(s.box, 4, "box");
    q.domain = voran::Box{b[0], b[1], b[2], b[3]};
    ++domains;
  }
  if (!s.radius.empty()) {
    const auto r = numbers(s.radius, 3, "radius");
    q.domain = voran::Radius{r[0], r[1], r[2]};
    ++domains;
  }
  if (!s.lambert.empty()) {
    const auto l = numbers(s.lambert, 10, "lambert");
    q.domain = voran::Lambert{l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8], l[9]};
    ++domains;
  }
  if (!s.polar.empty()) {
    const auto p = numbers(s.polar, 8, "polar");
    q.domain = voran::Polar{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
    ++domains;
  }
  if (domains > 1) throw UsageError{"box", "give at most one of --box, --radius, --lambert, --polar"};
  if (!s.stations.empty()) q.stations = split(s.stations);
  return q;
}

void selection_options(CLI::App* c, Selection& s) {
  c->add_option("--time", s.time, "first (or only) time, UTC: 2021-08-25T20:00")->required();
  c->add_option("--end", s.end, "last time of a range, inclusive");
  c->add_option("--step", s.step, "minutes between the times of a range")->capture_default_str();
  c->add_option("--providers", s.providers,
                "deselect every source, then select each NAME (or deselect -NAME) in turn: "
                "ALL-MESO,-RAWS (default: the tables' own selection)");
  c->add_option("--qc-level", s.qc_level, "0 none, 1, 2, 3, or 99 (highest the variable has)")
      ->capture_default_str();
  c->add_option("--window", s.window,
                "BEFORE,AFTER,MODE: minutes around the time and the record mode (0 every "
                "report of the file, 1 nearest, 2 earliest, 3 latest, 4 all in the window)");
  c->add_option("--box", s.box, "LATMIN,LATMAX,LONMIN,LONMAX");
  c->add_option("--radius", s.radius, "LAT,LON,KM");
  c->add_option("--lambert", s.lambert, "LAT1,LON1,DX,ORIENT,TANLAT,CONE,XMIN,XMAX,YMIN,YMAX (m)");
  c->add_option("--polar", s.polar, "XPOLE,YPOLE,ORIENT,TRUELAT,XMIN,XMAX,YMIN,YMAX (m)");
  c->add_option("--stations", s.stations, "only these station identifiers: ID,ID,...");
  c->add_option("--static", s.static_dir, "static tables (default: $VORAN_STATIC)");
  c->add_option("--data", s.data_dir, "observation tree (default: $VORAN_DATA)");
  c->add_option("--database", s.database, "ZEM, TESKA or TESKA2")->capture_default_str();
}

// The layer names a setting as a program or a Python caller gives it; the
// tool words the same message in terms of its options and subcommands.
std::string in_tool_terms(std::string message) {
  static constexpr std::pair<std::string_view, std::string_view> terms[] = {
      {"no static directory given", "no --static directory given"},
      {"no data directory given", "no --data directory given"},
      {"variables() lists them", "voran vars lists them"},
      {"providers() lists them", "voran providers lists them"},
  };
  for (const auto& [layer, tool] : terms)
    if (const auto at = message.find(layer); at != std::string::npos)
      message.replace(at, layer.size(), tool);
  return message;
}

std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ",") + x;
  return s;
}

voran::cli::Provenance provenance(const voran::Query& q, const Selection& s, int argc,
                                  char** argv) {
  voran::cli::Provenance p;
  // How many processes did the work is not part of what was asked: the
  // file is the same whatever --jobs says.
  std::string history = "voran";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-j" || a == "--jobs") {
      ++i;
      continue;
    }
    if (a.rfind("--jobs=", 0) == 0 || (a.rfind("-j", 0) == 0 && a.size() > 2)) continue;
    history += " " + a;
  }
  p.attributes = {{"history", history},
                  {"voran_time", voran::format_time(q.time)},
                  {"voran_end", voran::format_time(q.end.value_or(q.time))},
                  {"voran_step_minutes", std::to_string(q.step_minutes)},
                  {"voran_variables", join(q.variables)},
                  {"voran_providers", q.providers ? join(*q.providers) : "(tables' selection)"},
                  {"voran_qc_level", std::to_string(q.qc_level)},
                  {"voran_window", std::to_string(q.window.before) + "," +
                                       std::to_string(q.window.after) + "," +
                                       std::to_string(q.window.mode)},
                  {"voran_domain", !s.box.empty()       ? "box " + s.box
                                   : !s.radius.empty()  ? "radius " + s.radius
                                   : !s.lambert.empty() ? "lambert " + s.lambert
                                   : !s.polar.empty()   ? "polar " + s.polar
                                                        : "none"},
                  {"voran_stations", s.stations.empty() ? "all" : s.stations},
                  {"voran_database", q.database}};
  return p;
}

// The columns' descriptions, known before the first hour arrives.
std::vector<voran::VariableInfo> columns_of(const voran::Query& q) {
  std::vector<voran::VariableInfo> infos;
  const auto table = voran::variables(q.static_dir, q.database);
  for (const auto& name : q.variables)
    for (const auto& v : table)
      if (v.name == name) infos.push_back(v);
  return infos;
}

// Runs the query into the chosen format; the output exists only when done.
void extract(const voran::Query& q, const std::string& format, const std::string& out_path,
             bool quiet, const voran::cli::Provenance& what, int jobs,
             const std::vector<std::string>& args) {
  voran::validate(q);
  const std::size_t total = q.times().size();
  Output out(out_path);
  std::unique_ptr<voran::cli::Writer> w;
  if (format == "csv") w = voran::cli::csv_writer(out.stream());
  else if (format == "jsonl") w = voran::cli::jsonl_writer(out.stream());
  else w = voran::cli::netcdf_writer(out.path(), what);
  const std::vector<voran::VariableInfo> infos = columns_of(q);
  w->begin(infos);
  voran::cli::Progress bar(total, !quiet);
  if (jobs > 1 && total > 1) {
    voran::cli::run_in_workers(q, jobs, args, infos, format != "netcdf", *w,
                               [&](std::size_t stations) { bar.step(stations); });
  } else {
    voran::run(q, [&](const voran::Hour& h) {
      w->hour(h);
      bar.step(h.count());
    });
  }
  w->finish();
  bar.done();
  out.commit();
}

int list_variables(const Selection& s) {
  for (const auto& v : voran::variables(s.static_dir, s.database)) {
    std::printf("%-8s %4d %c %d  %-14s %s\n", v.name.c_str(), v.code, v.type, v.levels,
                v.units.empty() ? "-" : v.units.c_str(), v.description.c_str());
  }
  return 0;
}

int list_providers(const Selection& s) {
  const voran::Providers p = voran::providers(s.static_dir, s.database);
  std::printf("networks: %s\n", join(p.networks).c_str());
  std::printf("groups:   %s\n", join(p.groups).c_str());
  std::printf("providers:\n");
  for (const auto& name : p.providers) std::printf("  %s\n", name.c_str());
  return 0;
}

constexpr const char* EXAMPLE_EXTRACT =
    "Example (the sample tree of gen_sample):\n"
    "  voran extract --time 2021-08-25T19:00 --end 2021-08-25T21:00 --vars T,TD,DD,FF \\\n"
    "    --providers ALL-MESO --qc-level 2 --box 37,41,-109,-102 --static build/static \\\n"
    "    --data sample -o colorado.csv\n";
constexpr const char* EXAMPLE_STATIONS =
    "Example:\n  voran stations --time 2021-08-25T20:00 --radius 39.74,-104.99,100 "
    "--static build/static --data sample\n";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"voran: surface observations of many networks in fixed units, with QC"};
  app.require_subcommand(1);
  Selection sel;
  std::string format = "csv", out_path, worker;
  bool quiet = false;
  int jobs = 1;

  CLI::App* ex = app.add_subcommand("extract", "values of variables for a time or a range of hours");
  selection_options(ex, sel);
  ex->add_option("--vars", sel.vars, "variable names, comma-separated, or 'all' (voran vars lists them)")
      ->required();
  ex->add_option("--format", format, "csv, jsonl or netcdf")
      ->check(CLI::IsMember({"csv", "jsonl", "netcdf"}))
      ->capture_default_str();
  ex->add_option("-o,--output", out_path, "output file (default: standard output; needed for netcdf)");
  ex->add_flag("-q,--quiet", quiet, "no progress bar");
  ex->add_option("-j,--jobs", jobs, "worker processes sharing the hours of a range (output "
                                    "identical to one process)")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  ex->add_option("--worker", worker, "")->group("");  // K/N: run as worker K of N
  ex->footer(EXAMPLE_EXTRACT);

  CLI::App* st = app.add_subcommand("stations", "the station list of a time or a range");
  selection_options(st, sel);
  st->add_option("--format", format, "csv or jsonl")
      ->check(CLI::IsMember({"csv", "jsonl"}))
      ->capture_default_str();
  st->add_option("-o,--output", out_path, "output file (default: standard output)");
  st->add_flag("-q,--quiet", quiet, "no progress bar");
  st->footer(EXAMPLE_STATIONS);

  CLI::App* vs = app.add_subcommand("vars", "every variable of the code table: name, code, type, "
                                            "levels, units, description");
  vs->add_option("--static", sel.static_dir, "static tables (default: $VORAN_STATIC)");
  vs->add_option("--database", sel.database, "ZEM, TESKA or TESKA2");
  vs->footer("Example:\n  voran vars --static build/static\n");
  CLI::App* pv = app.add_subcommand("providers", "the networks, provider groups and providers");
  pv->add_option("--static", sel.static_dir, "static tables (default: $VORAN_STATIC)");
  pv->add_option("--database", sel.database, "ZEM, TESKA or TESKA2");
  pv->footer("Example:\n  voran providers --static build/static\n");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return USAGE;
  }

  try {
    if (vs->parsed()) return list_variables(sel);
    if (pv->parsed()) return list_providers(sel);
    const bool values = ex->parsed();
    if (values && format == "netcdf" && out_path.empty())
      throw UsageError{"output", "NetCDF needs a file: give -o FILE"};
    const voran::Query q = build_query(sel, values);
    if (!worker.empty()) {
      int k = 0, n = 0;
      if (std::sscanf(worker.c_str(), "%d/%d", &k, &n) != 2 || n < 1 || k < 0 || k >= n)
        throw UsageError{"worker", "expected K/N"};
      voran::cli::serve_as_worker(q, k, n, format, columns_of(q));
      return 0;
    }
    extract(q, format, out_path, quiet, provenance(q, sel, argc, argv), jobs,
            std::vector<std::string>(argv + 1, argv + argc));
    return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "voran: --%s: %s\n", e.argument.c_str(), e.message.c_str());
    return USAGE;
  } catch (const voran::ArgumentError& e) {
    std::fprintf(stderr, "voran: --%s: %s\n", e.argument().c_str(),
                 in_tool_terms(e.what()).c_str());
    return USAGE;
  } catch (const voran::Error& e) {
    std::fprintf(stderr, "voran: %s\n", e.what());
    return FAILED;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "voran: %s\n", e.what());
    return FAILED;
  }
}
