// voran: the C++ layer for programs written today.
//
// A Query names what is wanted (the time or a range of hours, variables,
// providers, QC level, window, domain, stations); run() hands back one Hour
// per time, each owning its columns, sized to what was found. Errors are
// thrown as voran::Error carrying the library's status and message.
//
// The library underneath keeps process-wide state. This layer serialises
// every call into it with one lock. It initialises the library (MINIT) once
// per static directory, data directory and database and keeps the tables
// loaded; every query, and every hour after another query used the library,
// sets each setting it depends on again (provider selection, QC level,
// window, domain), so nothing leaks from one query to the next. A program
// that calls MINIT itself for other directories should not mix that with
// this layer. Threads may share the layer safely, but only one hour is
// worked at a time: parallel work uses processes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace voran {

// Missing values of every float column, as the library writes them.
inline constexpr float MISSING = 999999.0f;

// ---- errors

// What kind of failure a status is, for callers that handle some of them.
enum class ErrorKind {
  BadArgument,  // a time, name or setting the library refused (4, 10, 13, 15, 3001)
  NoData,       // nothing for the time (1006)
  Environment,  // static or data directory missing or unusable (1001-1008)
  BadTable,     // a static table or template is unreadable or invalid (2002, 4002)
  BadFile,      // a data file could not be read (2001, 3004, 4001)
  Internal,     // calls out of order and anything else
};

ErrorKind kind_of(int32_t status);

class Error : public std::runtime_error {
 public:
  // `call` names the library call that failed; `message` is the library's
  // own message, or a description when the library composed none.
  Error(int32_t status, std::string call, std::string message);
  int32_t status() const { return status_; }
  ErrorKind kind() const { return kind_of(status_); }
  const std::string& call() const { return call_; }
  const std::string& message() const { return message_; }

 private:
  int32_t status_;
  std::string call_;
  std::string message_;
};

// A bad argument found by the layer itself, before any library call (an
// unparseable time, an unknown variable or provider, a box upside down):
// status 0, and `argument` names what was wrong.
class ArgumentError : public std::invalid_argument {
 public:
  ArgumentError(std::string argument, const std::string& what);
  const std::string& argument() const { return argument_; }

 private:
  std::string argument_;
};

// ---- time (UTC, minute resolution)

struct Time {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
  friend bool operator==(const Time&, const Time&) = default;
};

// "2021-08-25T20:00", with an optional trailing "Z", "2021-08-25T20" or
// "2021-08-25 20:00" likewise; throws ArgumentError("time", ...) for text
// that is not such a time or names a day that does not exist.
Time parse_time(std::string_view text);
// "2021-08-25T20:00Z".
std::string format_time(const Time& t);
// Minutes since 1970-01-01T00:00Z and back.
int64_t to_minutes(const Time& t);
Time from_minutes(int64_t minutes);

// ---- the query

struct Box {
  float latmin, latmax, lonmin, lonmax;
};
// Stations within `km` kilometres (great circle) of a point.
struct Radius {
  float lat, lon, km;
};
// Lambert conformal grid, as MSETLCDOM takes it.
struct Lambert {
  float lat1, lon1, dx, orient, tanlat, cone, xmin, xmax, ymin, ymax;
};
// Polar stereographic grid, as MSETPSDOM takes it.
struct Polar {
  float xpole, ypole, orient, truelat, xmin, xmax, ymin, ymax;
};
using Domain = std::variant<std::monostate, Box, Radius, Lambert, Polar>;

// Retrieval window [t + before, t + after] in minutes and record mode
// (0 every report of the file holding t, 1 nearest, 2 earliest, 3 latest,
// 4 every report in the window).
struct Window {
  int32_t before = 0, after = 0, mode = 0;
};

struct Query {
  std::string static_dir;  // empty: $VORAN_STATIC
  std::string data_dir;    // empty: $VORAN_DATA
  std::string database = "ZEM";
  Time time;                // the first (or only) hour
  std::optional<Time> end;  // last time of a range, inclusive
  int32_t step_minutes = 60;
  std::vector<std::string> variables;  // public names ("T", "TD", ...)
  // Unset: the tables' own selection. Set: every source is deselected
  // first, then each name is selected, or deselected with a leading '-',
  // in order, as MSETSFCPVDR takes it.
  std::optional<std::vector<std::string>> providers;
  int32_t qc_level = 0;  // 0, 1, 2, 3 or 99
  Window window;
  Domain domain;
  std::vector<std::string> stations;  // empty: every station

  // The times of the query, first to last.
  std::vector<Time> times() const;
};

// ---- results

// What the tables say about a variable.
struct VariableInfo {
  std::string name;
  int32_t code = 0;
  char type = 'N';     // 'N' numeric, 'C' character
  int32_t levels = 1;  // values per station
  std::string units, standard_name, description;
};

// One variable's columns for the stations of an hour: `levels` entries per
// station, station after station (value of station s, level l at
// s * levels + l).
struct Column {
  VariableInfo info;
  // 0, or 1005 when no listed station got a value (every value missing).
  int32_t status = 0;
  std::vector<float> values;   // MISSING where there is no value
  std::vector<char> qcd;       // one-character QC descriptors
  std::vector<int32_t> qca;    // QC tests applied (bit mask)
  std::vector<int32_t> qcr;    // QC tests failed (bit mask)
};

// Fixed widths of the station character columns.
inline constexpr int ID_WIDTH = 10;
inline constexpr int PROVIDER_WIDTH = 10;

// The stations of one time and the variables asked for, in the library's
// order.
struct Hour {
  Time time;
  // 0, or 1006 when there were no stations for the time (count() is then 0).
  int32_t status = 0;
  // Blank-padded fields of ID_WIDTH and PROVIDER_WIDTH characters each.
  std::vector<char> station_ids, provider_ids;
  std::vector<int32_t> wmo, source;
  std::vector<float> lat, lon, elev;
  // Report time in minutes since 1970 (INT64_MIN where the library left the
  // report time blank).
  std::vector<int64_t> obs_minutes;
  std::vector<Column> columns;

  std::size_t count() const { return lat.size(); }
  // Identifier and provider without their padding.
  std::string_view station(std::size_t i) const;
  std::string_view provider(std::size_t i) const;
  // The network (surface source) of station i: "METAR", "MESONET", ...
  std::string_view network(std::size_t i) const;
};

inline constexpr int64_t NO_TIME = INT64_MIN;

// ---- calls

// Checks a query without fetching: directories readable, times valid,
// variables and providers known, domain sensible. Throws ArgumentError
// naming the argument, or Error for a library failure (tables unreadable).
void validate(const Query& q);

// Fetches each time of the query in turn and hands the hour to `sink` as
// soon as it is complete; the Hour is reused, so the sink copies what it
// keeps. A time without stations gives an Hour with status 1006; other
// failures throw. Memory stays that of one hour whatever the range.
void run(const Query& q, const std::function<void(const Hour&)>& sink);

// One time (q.time; q.end is ignored).
Hour fetch(const Query& q);

// The station list alone (no variables fetched; q.variables ignored).
Hour stations(const Query& q);

// Every variable of the code table, in the table's order.
std::vector<VariableInfo> variables(const std::string& static_dir = {},
                                    const std::string& database = "ZEM");

// What the provider tables know.
struct Providers {
  std::vector<std::string> networks;  // the ten surface sources
  std::vector<std::string> groups;    // "ALL-SFC", "ALL-MESO", ...
  std::vector<std::string> providers; // names of the provider table, in order
};
Providers providers(const std::string& static_dir = {}, const std::string& database = "ZEM");

}  // namespace voran
