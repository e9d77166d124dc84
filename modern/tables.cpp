// The tables as the layer presents them: the code table with units and
// descriptions, and the provider table.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "modern/internal.hpp"
#include "voran.h"

namespace voran {
namespace detail {

namespace {
std::string trimmed(const char* s, std::size_t n) {
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return std::string(s, n);
}

struct Description {
  std::string units, standard_name, description;
};

// sfcdesc.txt: name, code, levels, units, standard name, description,
// separated by tabs; '#' starts a comment line. A missing file only means
// no units and descriptions.
std::map<std::string, Description> descriptions(const std::string& static_dir) {
  std::map<std::string, Description> out;
  std::ifstream in(static_dir + "/sfcdesc.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, '\t')) f.push_back(part);
    if (f.size() < 6) continue;
    out[f[0]] = Description{f[3], f[4], f[5]};
  }
  return out;
}
}  // namespace

int32_t levels_of(int32_t code) { return code == 44 ? 6 : (code == 40 || code == 41) ? 2 : 1; }

std::vector<VariableInfo> code_table(const std::string& static_dir) {
  const auto desc = descriptions(static_dir);
  std::vector<VariableInfo> out;
  int32_t count = 0, status = 0;
  for (int32_t i = 1;; ++i) {
    char name[7];
    char type = ' ';
    int32_t code = 0;
    MVCNINQ(i, name, code, &type, count, status);
    if (status != MST_OK) break;
    VariableInfo v;
    v.name = trimmed(name, 7);
    v.code = code;
    v.type = type;
    v.levels = levels_of(code);
    if (auto it = desc.find(v.name); it != desc.end()) {
      v.units = it->second.units;
      v.standard_name = it->second.standard_name;
      v.description = it->second.description;
    }
    out.push_back(std::move(v));
  }
  if (status == MST_NOT_INITIALIZED) check(status, "MVCNINQ");
  return out;
}

std::vector<std::string> provider_names() {
  std::vector<std::string> out;
  int32_t count = 0, status = 0;
  for (int32_t i = 1;; ++i) {
    char name[10];
    bool selected = false;
    MSFCPVDRINQ(i, name, selected, count, status);
    if (status != MST_OK) break;
    out.push_back(trimmed(name, 10));
  }
  return out;
}

}  // namespace detail

namespace {
// Table-only calls need no data, but MINIT insists on a data directory.
std::string data_or_placeholder() {
  const char* d = std::getenv("VORAN_DATA");
  return d != nullptr && *d != '\0' ? std::string(d) : std::string("/");
}
}  // namespace

std::vector<VariableInfo> variables(const std::string& static_dir, const std::string& database) {
  const std::string dir = detail::resolve_dir(static_dir, "VORAN_STATIC", "static");
  std::lock_guard<std::mutex> lock(detail::core_mutex());
  detail::init_surface(dir, data_or_placeholder(), database);
  return detail::code_table(dir);
}

Providers providers(const std::string& static_dir, const std::string& database) {
  const std::string dir = detail::resolve_dir(static_dir, "VORAN_STATIC", "static");
  Providers p;
  p.networks.assign(detail::NETWORKS.begin(), detail::NETWORKS.end());
  p.groups.assign(detail::PROVIDER_GROUPS.begin(), detail::PROVIDER_GROUPS.end());
  std::lock_guard<std::mutex> lock(detail::core_mutex());
  detail::init_surface(dir, data_or_placeholder(), database);
  p.providers = detail::provider_names();
  return p;
}

}  // namespace voran
