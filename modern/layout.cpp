// The names, order and CF description of delivered fields, one place for
// every writer.
#include "voran/layout.hpp"

#include <charconv>

namespace voran {

const std::vector<std::string>& station_field_names() {
  static const std::vector<std::string> names = {"time", "station", "wmo", "provider", "network",
                                                 "lat",  "lon",     "elev", "obs_time"};
  return names;
}

std::vector<Field> fields(const std::vector<VariableInfo>& vars) {
  static constexpr struct {
    FieldKind kind;
    const char* suffix;
  } parts[] = {{FieldKind::Value, ""},
               {FieldKind::Descriptor, "_qcd"},
               {FieldKind::Applied, "_qca"},
               {FieldKind::Failed, "_qcr"}};
  std::vector<Field> out;
  for (std::size_t c = 0; c < vars.size(); ++c) {
    const VariableInfo& v = vars[c];
    for (int32_t l = 0; l < v.levels; ++l) {
      const std::string base = v.levels > 1 ? v.name + "_" + std::to_string(l + 1) : v.name;
      for (const auto& p : parts) out.push_back(Field{base + p.suffix, p.kind, c, l});
    }
  }
  return out;
}

namespace {

// The descriptor letters: those the library makes and those data files
// carry. Stored as their character codes.
constexpr struct {
  char letter;
  const char* meaning;
} DESCRIPTORS[] = {
    {'Z', "no_qc_applied"},       {'C', "level1_passed"},
    {'S', "level1_and_level2_passed"}, {'V', "all_levels_passed"},
    {'Q', "level2_or_level3_failed"},  {'X', "level1_failed"},
    {'G', "good_in_file"},        {'B', "bad_in_file"},
};

// Bits 1..12 of the masks and the QC level each belongs to.
constexpr int BIT_LEVEL[12] = {0, 1, 1, 2, 2, 2, 3, 2, 2, 2, 2, 2};

std::string level_name(const VariableInfo& v, const Field& f) {
  return v.levels > 1 ? v.description + " (level " + std::to_string(f.level + 1) + ")"
                      : v.description;
}

std::string base_name(const Field& f) {
  switch (f.kind) {
    case FieldKind::Value:
      return f.name;
    default:
      return f.name.substr(0, f.name.size() - 4);
  }
}

}  // namespace

std::vector<Attribute> cf_attributes(const Field& f, const VariableInfo& v) {
  std::vector<Attribute> a;
  const std::string base = base_name(f);
  switch (f.kind) {
    case FieldKind::Value:
      a.push_back({"long_name", level_name(v, f), {}});
      if (!v.units.empty()) a.push_back({"units", v.units, {}});
      if (!v.standard_name.empty()) a.push_back({"standard_name", v.standard_name, {}});
      a.push_back({"ancillary_variables", base + "_qcd " + base + "_qca " + base + "_qcr", {}});
      a.push_back({"voran_name", v.name, {}});
      a.push_back({"voran_code", "", {v.code}});
      break;
    case FieldKind::Descriptor: {
      a.push_back({"long_name", "QC descriptor of " + base, {}});
      std::vector<int32_t> values;
      std::string meanings;
      for (const auto& d : DESCRIPTORS) {
        values.push_back(static_cast<unsigned char>(d.letter));
        if (!meanings.empty()) meanings += ' ';
        meanings += d.meaning;
      }
      a.push_back({"flag_values", "", values});
      a.push_back({"flag_meanings", meanings, {}});
      a.push_back({"comment", "character codes of the letters Z C S V Q X G B; files may "
                              "carry further letters",
                   {}});
      break;
    }
    case FieldKind::Applied:
    case FieldKind::Failed: {
      const bool applied = f.kind == FieldKind::Applied;
      a.push_back({"long_name", std::string(applied ? "QC checks applied to " : "QC checks failed by ") + base, {}});
      std::vector<int32_t> masks;
      std::string meanings;
      for (int b = 1; b <= 12; ++b) {
        masks.push_back(int32_t(1) << (b - 1));
        const int lv = BIT_LEVEL[b - 1];
        if (b > 1) meanings += ' ';
        if (lv == 0) {
          meanings += "check_1";
        } else {
          meanings += "level";
          meanings += std::to_string(lv);
          meanings += "_check_";
          meanings += std::to_string(b);
        }
      }
      a.push_back({"flag_masks", "", masks});
      a.push_back({"flag_meanings", meanings, {}});
      break;
    }
  }
  return a;
}

std::string float_text(float x) {
  if (x == MISSING) return {};
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

}  // namespace voran
