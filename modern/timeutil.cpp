// Times of the C++ layer (UTC, minutes) and its error types.
#include <charconv>
#include <chrono>
#include <cstdio>

#include "voran/voran.hpp"

namespace voran {

ErrorKind kind_of(int32_t status) {
  switch (status) {
    case 4:
    case 10:
    case 13:
    case 15:
    case 3001:
      return ErrorKind::BadArgument;
    case 1006:
      return ErrorKind::NoData;
    case 2002:
    case 4002:
      return ErrorKind::BadTable;
    case 2001:
    case 3004:
    case 4001:
      return ErrorKind::BadFile;
    default:
      return status >= 1001 && status <= 1008 ? ErrorKind::Environment : ErrorKind::Internal;
  }
}

namespace {
std::string error_text(int32_t status, const std::string& call, const std::string& message) {
  return call + " failed with status " + std::to_string(status) +
         (message.empty() ? std::string() : ": " + message);
}
}  // namespace

Error::Error(int32_t status, std::string call, std::string message)
    : std::runtime_error(error_text(status, call, message)),
      status_(status),
      call_(std::move(call)),
      message_(std::move(message)) {}

ArgumentError::ArgumentError(std::string argument, const std::string& what)
    : std::invalid_argument(what), argument_(std::move(argument)) {}

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// Reads exactly `width` digits at `pos`.
bool digits(std::string_view s, std::size_t pos, std::size_t width, int32_t& out) {
  if (pos + width > s.size()) return false;
  for (std::size_t i = pos; i < pos + width; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  std::from_chars(s.data() + pos, s.data() + pos + width, out);
  return true;
}

}  // namespace

Time parse_time(std::string_view text) {
  auto bad = [&](const char* why) -> Time {
    throw ArgumentError("time", "invalid time '" + std::string(text) + "': " + why);
  };
  std::string_view s = text;
  if (!s.empty() && (s.back() == 'Z' || s.back() == 'z')) s.remove_suffix(1);
  Time t;
  if (!digits(s, 0, 4, t.year) || s.size() < 10 || s[4] != '-' || !digits(s, 5, 2, t.month) ||
      s[7] != '-' || !digits(s, 8, 2, t.day))
    return bad("expected YYYY-MM-DDTHH:MM");
  if (s.size() > 10) {
    if ((s[10] != 'T' && s[10] != ' ') || !digits(s, 11, 2, t.hour))
      return bad("expected YYYY-MM-DDTHH:MM");
    if (s.size() > 13) {
      if (s[13] != ':' || !digits(s, 14, 2, t.minute) || s.size() != 16)
        return bad("expected YYYY-MM-DDTHH:MM");
    }
  }
  const year_month_day ymd{std::chrono::year(t.year), std::chrono::month(t.month),
                           std::chrono::day(t.day)};
  if (!ymd.ok()) return bad("no such day");
  if (t.hour > 23 || t.minute > 59) return bad("no such hour or minute");
  return t;
}

std::string format_time(const Time& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02dZ", t.year, t.month, t.day, t.hour,
                t.minute);
  return buf;
}

int64_t to_minutes(const Time& t) {
  const sys_days d{year_month_day{std::chrono::year(t.year), std::chrono::month(t.month),
                                  std::chrono::day(t.day)}};
  return static_cast<int64_t>(d.time_since_epoch().count()) * 1440 + t.hour * 60 + t.minute;
}

Time from_minutes(int64_t minutes) {
  int64_t d = minutes / 1440;
  int64_t m = minutes % 1440;
  if (m < 0) {
    m += 1440;
    --d;
  }
  const year_month_day ymd{sys_days{days{d}}};
  return Time{static_cast<int32_t>(int(ymd.year())), static_cast<int32_t>(unsigned(ymd.month())),
              static_cast<int32_t>(unsigned(ymd.day())), static_cast<int32_t>(m / 60),
              static_cast<int32_t>(m % 60)};
}

std::vector<Time> Query::times() const {
  if (step_minutes <= 0) throw ArgumentError("step", "the step must be a positive number of minutes");
  std::vector<Time> out;
  const int64_t first = to_minutes(time);
  const int64_t last = end ? to_minutes(*end) : first;
  if (last < first) throw ArgumentError("end", "the end of the range is before its start");
  for (int64_t m = first; m <= last; m += step_minutes) out.push_back(from_minutes(m));
  return out;
}

}  // namespace voran
