// voran: the layout of delivered data, shared by every writer (the tool's
// CSV, JSON Lines and CF NetCDF, the Python package), so that all of them
// name, order and describe the fields the same way.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "voran/voran.hpp"

namespace voran {

// The station fields come first, in this order: time, station, wmo,
// provider, network, lat, lon, elev, obs_time. Then, for each variable V,
// its value, descriptor, applied mask and failed mask: V, V_qcd, V_qca,
// V_qcr; a variable with several levels gives V_1, V_1_qcd, ..., V_n_qcr.
enum class FieldKind { Value, Descriptor, Applied, Failed };

struct Field {
  std::string name;        // "T", "T_qcd", "CLDBAS_1_qca", ...
  FieldKind kind;
  std::size_t column = 0;  // index into Hour::columns (and the query's variables)
  int32_t level = 0;       // 0-based level within the column
};

const std::vector<std::string>& station_field_names();
std::vector<Field> fields(const std::vector<VariableInfo>& vars);

// One attribute of the CF layout: text, or integers (flag values and masks).
struct Attribute {
  std::string name;
  std::string text;
  std::vector<int32_t> ints;  // used when non-empty
};

// Attributes of a field in the CF NetCDF layout (long_name, units,
// standard_name where CF has one, ancillary_variables on values naming their
// QC fields; flag_values / flag_meanings for descriptors, stored as the
// letters' character codes; flag_masks / flag_meanings for masks). Values
// also get _FillValue = MISSING, in their own type, from the writer.
std::vector<Attribute> cf_attributes(const Field& f, const VariableInfo& v);

// The shortest decimal text that reads back to the same float ("271.15",
// "1e-05"); empty for MISSING.
std::string float_text(float x);

}  // namespace voran
