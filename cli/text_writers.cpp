// CSV and JSON Lines: one line per station and hour, the fields of the
// shared layout, floats as the shortest text that reads back to the same
// single-precision value.
#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "cli/writers.hpp"

namespace voran::cli {
namespace {

using Emit = std::function<void(std::string_view)>;

Emit to_stream(std::FILE* f) {
  return [f](std::string_view s) {
    if (std::fwrite(s.data(), 1, s.size(), f) != s.size())
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(errno));
  };
}

// An output buffer handed on in large blocks.
class Out {
 public:
  explicit Out(Emit emit) : emit_(std::move(emit)) { buf_.reserve(CAP + 256); }
  void put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= CAP) flush();
  }
  void put(char c) { buf_.push_back(c); }
  void number(float x) {
    char b[32];
    buf_.append(b, std::to_chars(b, b + sizeof b, x).ptr);
  }
  void number(int64_t x) {
    if (x == 0) return buf_.push_back('0');  // most masks
    char b[32];
    buf_.append(b, std::to_chars(b, b + sizeof b, x).ptr);
  }
  void flush() {
    if (!buf_.empty()) emit_(buf_);
    buf_.clear();
  }

 private:
  static constexpr std::size_t CAP = 1 << 20;
  Emit emit_;
  std::string buf_;
};

// One field value of a station and hour, in the form each format wants.
struct Style {
  bool json;
  void missing(Out& o) const {
    if (json) o.put("null");
  }
  void text(Out& o, std::string_view s) const {
    if (!json) {
      // Identifiers hold no commas or quotes in practice; quote any that do.
      if (s.find_first_of(",\"\n") == std::string_view::npos) return o.put(s);
      o.put('"');
      for (char c : s) {
        if (c == '"') o.put('"');
        o.put(c);
      }
      return o.put('"');
    }
    o.put('"');
    for (char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        o.put('\\');
        o.put(c);
      } else if (u < 0x20 || u >= 0x7f) {
        char b[8];
        std::snprintf(b, sizeof b, "\\u%04x", u);
        o.put(b);
      } else {
        o.put(c);
      }
    }
    o.put('"');
  }
};

std::string iso(int64_t minutes) { return format_time(from_minutes(minutes)); }

class TextWriter : public Writer {
 public:
  // `f`: the stream to flush when done (none for a renderer).
  TextWriter(Emit emit, std::FILE* f, bool json, bool heading)
      : out_(std::move(emit)), f_(f), style_{json}, heading_(heading) {}

  void begin(const std::vector<VariableInfo>& vars) override {
    fields_ = fields(vars);
    names_ = station_field_names();
    for (const Field& f : fields_) names_.push_back(f.name);
    if (style_.json || !heading_) return;
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (i) out_.put(',');
      out_.put(names_[i]);
    }
    out_.put('\n');
  }

  void hour(const Hour& h) override {
    const std::string time = format_time(h.time);
    for (std::size_t i = 0; i < h.count(); ++i) {
      k_ = 0;
      if (style_.json) out_.put('{');
      key();
      style_.text(out_, time);
      key();
      style_.text(out_, h.station(i));
      key();
      if (h.wmo[i] == 999999)
        style_.missing(out_);
      else
        out_.number(int64_t(h.wmo[i]));
      key();
      style_.text(out_, h.provider(i));
      key();
      style_.text(out_, h.network(i));
      for (float x : {h.lat[i], h.lon[i], h.elev[i]}) {
        key();
        value(x);
      }
      key();
      if (h.obs_minutes[i] == NO_TIME)
        style_.missing(out_);
      else
        style_.text(out_, report_time(h.obs_minutes[i]));
      for (const Field& f : fields_) {
        key();
        const Column& c = h.columns[f.column];
        const std::size_t e = i * std::size_t(c.info.levels) + std::size_t(f.level);
        switch (f.kind) {
          case FieldKind::Value:
            value(c.values[e]);
            break;
          case FieldKind::Descriptor: {
            const char d = c.qcd[e];
            if (d == ' ' || d == '\0')
              style_.missing(out_);
            else
              style_.text(out_, std::string_view(&d, 1));
            break;
          }
          case FieldKind::Applied:
            out_.number(int64_t(c.qca[e]));
            break;
          case FieldKind::Failed:
            out_.number(int64_t(c.qcr[e]));
            break;
        }
      }
      out_.put(style_.json ? "}\n" : "\n");
    }
    out_.flush();
  }

  void text(std::string_view lines) override { out_.put(lines); }

  void finish() override {
    out_.flush();
    if (f_ && std::fflush(f_) != 0)
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(errno));
  }

 private:
  // The separator before the next field and, in JSON, its key.
  void key() {
    if (style_.json) {
      if (k_) out_.put(',');
      out_.put('"');
      out_.put(names_[k_]);
      out_.put("\":");
    } else if (k_) {
      out_.put(',');
    }
    ++k_;
  }
  // Reports of an hour share a few times: format each once.
  const std::string& report_time(int64_t minutes) {
    if (minutes != last_minutes_) {
      last_minutes_ = minutes;
      last_text_ = iso(minutes);
    }
    return last_text_;
  }
  void value(float x) {
    if (x == MISSING)
      style_.missing(out_);
    else
      out_.number(x);
  }

  Out out_;
  std::FILE* f_;
  Style style_;
  bool heading_;
  std::vector<Field> fields_;
  std::vector<std::string> names_;
  std::size_t k_ = 0;
  int64_t last_minutes_ = NO_TIME;
  std::string last_text_;
};

}  // namespace

void Writer::text(std::string_view) {
  throw std::logic_error("this format takes hours, not rendered lines");
}

std::unique_ptr<Writer> csv_writer(std::FILE* out) {
  return std::make_unique<TextWriter>(to_stream(out), out, false, true);
}
std::unique_ptr<Writer> jsonl_writer(std::FILE* out) {
  return std::make_unique<TextWriter>(to_stream(out), out, true, true);
}
std::unique_ptr<Writer> text_renderer(bool json, std::function<void(std::string_view)> emit) {
  return std::make_unique<TextWriter>(std::move(emit), nullptr, json, false);
}

}  // namespace voran::cli
