// Structure-aware fuzz target: takes a sample data file of one network and
// rewrites it through the NetCDF library with a sequence of changes chosen by
// the input (record dimension emptied or inflated, other dimension lengths,
// variables of another type, shape or width, removed variables, provider
// counts announcing more entries than the file holds, NaN/Inf/sentinels, fill
// attributes removed or of another type), then runs a whole MSFCSTA/MGETSFC
// cycle on it.
//
// The samples are read from $VORAN_FUZZ_SAMPLES/1 .. /10 (source numbers),
// as written by make_seeds.
#include <netcdf.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "fuzz_env.h"
#include "nc_model.h"

namespace {

ncmodel::File SAMPLES[10];
bool HAVE[10];
int LAST = 0;  // source whose data file is in place

constexpr int TYPES[] = {NC_BYTE, NC_CHAR,   NC_SHORT, NC_INT,   NC_FLOAT,  NC_DOUBLE,
                         NC_UBYTE, NC_USHORT, NC_UINT, NC_INT64, NC_UINT64, NC_STRING};
constexpr std::size_t RECORDS[] = {0, 1, 2, 3, 5, 8, 17, 40, 100, 1000, 4096};
constexpr std::size_t WIDTHS[] = {1, 2, 3, 4, 5, 8, 10, 24, 64, 300};

double special(int k) {
  switch (k % 12) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return std::numeric_limits<double>::infinity();
    case 2: return -std::numeric_limits<double>::infinity();
    case 3: return 9.9692099683868690e36;  // NetCDF default float fill
    case 4: return -9999.0;
    case 5: return 999999.0;
    case 6: return 3.4028234663852886e38;
    case 7: return -2147483647.0;
    case 8: return 1e30;
    case 9: return -1e30;
    case 10: return 0.0;
    default: return -99999.0;
  }
}

void change_type(ncmodel::File& f, ncmodel::Var& v, int t) {
  if (t == v.type) return;
  if (t == NC_CHAR) {
    v.text.clear();
    for (double x : v.num)
      v.text += std::isfinite(x) ? static_cast<char>(static_cast<int>(std::fmod(std::fabs(x), 95.0)) + 32) : '?';
    v.num.clear();
  } else if (v.type == NC_CHAR) {
    v.num.clear();
    for (char c : v.text) v.num.push_back(static_cast<unsigned char>(c));
    v.text.clear();
  }
  v.type = t;
  if (t > NC_DOUBLE) f.netcdf4 = true;
  f.fit(v);
}

void apply(ncmodel::File& f, uint8_t op, uint8_t a, uint8_t b) {
  const int rd = f.record_dim();
  const std::size_t nv = f.vars.size(), nd = f.dims.size();
  ncmodel::Var* v = nv > 0 ? &f.vars[a % nv] : nullptr;
  switch (op % 10) {
    case 0:
      f.set_records(RECORDS[b % std::size(RECORDS)]);
      break;
    case 1: {  // another length of a fixed dimension
      if (nd == 0) break;
      const int d = a % static_cast<int>(nd);
      if (d == rd) break;
      f.dims[static_cast<std::size_t>(d)].len = WIDTHS[b % std::size(WIDTHS)];
      for (auto& w : f.vars) f.fit(w);
      break;
    }
    case 2:
      if (v) change_type(f, *v, TYPES[b % std::size(TYPES)]);
      break;
    case 3:
      if (v) f.vars.erase(f.vars.begin() + (a % nv));
      break;
    case 4: {  // another shape
      if (!v) break;
      switch (b % 5) {
        case 0: if (!v->dims.empty()) v->dims.erase(v->dims.begin()); break;
        case 1: if (!v->dims.empty()) v->dims.pop_back(); break;
        case 2: if (nd > 0) { const int d = (b / 5) % static_cast<int>(nd); if (d != rd) v->dims.push_back(d); } break;
        case 3: v->dims.clear(); break;
        default: if (rd >= 0 && (v->dims.empty() || v->dims[0] != rd)) v->dims.insert(v->dims.begin(), rd); break;
      }
      f.fit(*v);
      break;
    }
    case 5: {  // special values
      if (!v) break;
      const std::size_t n = v->type == NC_CHAR ? v->text.size() : v->num.size();
      if (n == 0) break;
      const std::size_t i0 = b >= 128 ? 0 : (static_cast<std::size_t>(b) * 7919u) % n;
      const std::size_t i1 = b >= 128 ? n : i0 + 1;
      for (std::size_t i = i0; i < i1; ++i) {
        if (v->type == NC_CHAR) {
          static constexpr char CH[] = {'\0', '\xff', ' ', 'A', '\n', '-', '9', '\t'};
          v->text[i] = CH[b % 8];
        } else {
          v->num[i] = special(b);
        }
      }
      break;
    }
    case 6: {  // fill attributes
      if (!v) break;
      auto drop = [&](const char* name) {
        std::erase_if(v->atts, [&](const ncmodel::Att& x) { return x.name == name; });
      };
      switch (b % 6) {
        case 0: drop("_FillValue"); break;
        case 1: drop("missing_value"); break;
        case 2: drop("missing_value"); v->atts.push_back({"missing_value", NC_CHAR, {}, "missing"}); break;
        case 3: drop("missing_value"); v->atts.push_back({"missing_value", NC_DOUBLE, {1.0, 2.0, 3.0}, ""}); break;
        case 4: drop("missing_value"); v->atts.push_back({"missing_value", NC_DOUBLE, {}, ""}); break;
        default:
          drop("_FillValue");
          if (v->type != NC_CHAR && v->type != NC_STRING)
            v->atts.push_back({"_FillValue", v->type, {special(a)}, ""});
          break;
      }
      break;
    }
    case 7: {  // provider-table counts and other "num" words
      static constexpr double NUM[] = {0, -1, 1000, 2147483647.0, 101, 201, 100000, -2147483647.0};
      for (auto& w : f.vars)
        if (w.name.rfind("num", 0) == 0 && w.type != NC_CHAR)
          for (double& x : w.num) x = NUM[b % std::size(NUM)];
      break;
    }
    case 8:  // a variable under another variable's name (the other removed)
      if (v && nv > 1) {
        const std::size_t j = b % nv;
        if (j == a % nv) break;
        v->name = f.vars[j].name;
        f.vars.erase(f.vars.begin() + j);
      }
      break;
    default:  // record dimension no longer unlimited, or no record dimension
      if (rd >= 0) {
        if (b % 2) {
          f.dims[static_cast<std::size_t>(rd)].unlimited = false;
          if (f.dims[static_cast<std::size_t>(rd)].len == 0) f.dims[static_cast<std::size_t>(rd)].len = 1;
          for (auto& w : f.vars) f.fit(w);
        } else {
          for (auto& w : f.vars)
            if (!w.dims.empty() && w.dims[0] == rd) w.dims.erase(w.dims.begin());
          for (auto& w : f.vars) f.fit(w);
        }
      }
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::init_surface();
  const char* dir = std::getenv("VORAN_FUZZ_SAMPLES");
  if (dir == nullptr) fuzzenv::fail("VORAN_FUZZ_SAMPLES not set");
  int n = 0;
  for (int k = 1; k <= 10; ++k) {
    HAVE[k - 1] = ncmodel::read(std::string(dir) + "/" + std::to_string(k), SAMPLES[k - 1]);
    n += HAVE[k - 1];
  }
  if (n == 0) fuzzenv::fail("no sample files in VORAN_FUZZ_SAMPLES");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int k = 1 + data[0] % 10;
  if (!HAVE[k - 1]) return 0;
  ncmodel::File f = SAMPLES[k - 1];
  for (size_t i = 1; i + 2 < size && i < 1 + 3 * 24; i += 3) apply(f, data[i], data[i + 1], data[i + 2]);
  if (LAST != 0) std::filesystem::remove(fuzzenv::data_file(LAST));
  LAST = k;
  if (!ncmodel::write(f, fuzzenv::data_file(k))) {
    std::filesystem::remove(fuzzenv::data_file(k));
    return 0;  // the NetCDF library refused the shape: nothing to test
  }
  fuzzenv::run_cycle();
  return 0;
}
