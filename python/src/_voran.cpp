// voran._voran: the C++ layer for Python, kept thin. Queries run with the GIL
// released; an hour's columns reach Python as NumPy arrays over the Hour's
// own vectors, kept alive by a capsule that owns the Hour. Everything
// Pythonic (frames, NaN, categories, times) is done in the package.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "voran/layout.hpp"
#include "voran/voran.hpp"

namespace py = pybind11;

namespace {

const char* kind_name(voran::ErrorKind k) {
  switch (k) {
    case voran::ErrorKind::BadArgument:
      return "argument";
    case voran::ErrorKind::NoData:
      return "nodata";
    case voran::ErrorKind::Environment:
      return "environment";
    case voran::ErrorKind::BadTable:
      return "table";
    case voran::ErrorKind::BadFile:
      return "file";
    case voran::ErrorKind::Internal:
      break;
  }
  return "internal";
}

// The kinds of field by the names Python uses, both ways.
constexpr std::pair<voran::FieldKind, const char*> FIELD_KINDS[] = {
    {voran::FieldKind::Value, "value"},
    {voran::FieldKind::Descriptor, "descriptor"},
    {voran::FieldKind::Applied, "applied"},
    {voran::FieldKind::Failed, "failed"},
};

const char* field_kind_name(voran::FieldKind k) {
  for (const auto& [kind, name] : FIELD_KINDS)
    if (kind == k) return name;
  return "failed";
}

voran::FieldKind field_kind(const std::string& s) {
  for (const auto& [kind, name] : FIELD_KINDS)
    if (s == name) return kind;
  throw py::value_error("unknown field kind '" + s + "'");
}

// An array over `n` elements of `base`'s memory (no copy); `base` keeps the
// owning Hour alive for as long as any array refers to it.
template <class T>
py::array view(const std::vector<T>& v, const py::capsule& base) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data(), base);
}

// Fixed-width character fields as an 'S<width>' array, still blank-padded.
py::array chars(const std::vector<char>& v, int width, const py::capsule& base) {
  const auto n = static_cast<py::ssize_t>(v.size() / static_cast<std::size_t>(width));
  return py::array(py::dtype("S" + std::to_string(width)), {n}, {static_cast<py::ssize_t>(width)},
                   v.data(), base);
}

// One-character fields as bytes (uint8), which the package turns into
// categories through a lookup table.
py::array bytes_of(const std::vector<char>& v, const py::capsule& base) {
  return py::array(py::dtype("u1"), {static_cast<py::ssize_t>(v.size())}, {1}, v.data(), base);
}

// Takes ownership of `hour` and describes it with arrays over its vectors.
// Needs the GIL.
py::dict hour_dict(std::unique_ptr<voran::Hour> hour) {
  const voran::Hour& h = *hour;
  py::capsule base(hour.release(),
                   [](void* p) { delete static_cast<voran::Hour*>(p); });
  py::dict d;
  d["time"] = h.time;
  d["status"] = h.status;
  d["count"] = h.count();
  d["station"] = chars(h.station_ids, voran::ID_WIDTH, base);
  d["provider"] = chars(h.provider_ids, voran::PROVIDER_WIDTH, base);
  d["wmo"] = view(h.wmo, base);
  d["source"] = view(h.source, base);
  d["lat"] = view(h.lat, base);
  d["lon"] = view(h.lon, base);
  d["elev"] = view(h.elev, base);
  d["obs_minutes"] = view(h.obs_minutes, base);
  // Few networks, many stations: their names once per source number.
  std::map<int32_t, std::string> networks;
  for (std::size_t i = 0; i < h.count(); ++i)
    if (networks.find(h.source[i]) == networks.end())
      networks.emplace(h.source[i], std::string(h.network(i)));
  d["networks"] = networks;
  py::list columns;
  for (const voran::Column& c : h.columns) {
    py::dict col;
    col["info"] = c.info;
    col["status"] = c.status;
    col["values"] = view(c.values, base);
    col["qcd"] = bytes_of(c.qcd, base);
    col["qca"] = view(c.qca, base);
    col["qcr"] = view(c.qcr, base);
    columns.append(std::move(col));
  }
  d["columns"] = std::move(columns);
  return d;
}

// The hour `get` (the layer's fetch or stations) gives for `q`, got with
// the GIL released.
py::dict one_hour(voran::Hour (*get)(const voran::Query&), const voran::Query& q) {
  std::unique_ptr<voran::Hour> h;
  {
    py::gil_scoped_release release;
    h = std::make_unique<voran::Hour>(get(q));
  }
  return hour_dict(std::move(h));
}

}  // namespace

PYBIND11_MODULE(_voran, m) {
  m.doc() = "The voran C++ layer (use the voran package rather than this module).";
  m.attr("MISSING") = voran::MISSING;
  m.attr("NO_TIME") = voran::NO_TIME;
  m.attr("ID_WIDTH") = voran::ID_WIDTH;
  m.attr("PROVIDER_WIDTH") = voran::PROVIDER_WIDTH;
  {
    // The network of each surface source number, in source order (1, 2, ...).
    voran::Hour probe;
    py::list networks;
    for (int32_t s = 1;; ++s) {
      probe.source = {s};
      if (probe.network(0).empty()) break;
      networks.append(std::string(probe.network(0)));
    }
    m.attr("NETWORKS") = networks;
  }

  // Failures reach Python as (status, kind, call, message) or, for a bad
  // argument found by the layer, (argument, message); the package raises
  // its own exception classes from them.
  static py::exception<voran::Error> library_error(m, "LibraryError", PyExc_RuntimeError);
  static py::exception<voran::ArgumentError> argument_error(m, "ArgumentError",
                                                            PyExc_ValueError);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const voran::Error& e) {
      py::tuple args = py::make_tuple(e.status(), kind_name(e.kind()), e.call(), e.message());
      PyErr_SetObject(library_error.ptr(), args.ptr());
    } catch (const voran::ArgumentError& e) {
      py::tuple args = py::make_tuple(e.argument(), std::string(e.what()));
      PyErr_SetObject(argument_error.ptr(), args.ptr());
    }
  });

  py::class_<voran::Time>(m, "Time")
      .def(py::init([](int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi) {
             return voran::Time{y, mo, d, h, mi};
           }),
           py::arg("year"), py::arg("month"), py::arg("day"), py::arg("hour") = 0,
           py::arg("minute") = 0)
      .def_readwrite("year", &voran::Time::year)
      .def_readwrite("month", &voran::Time::month)
      .def_readwrite("day", &voran::Time::day)
      .def_readwrite("hour", &voran::Time::hour)
      .def_readwrite("minute", &voran::Time::minute)
      .def("__eq__", [](const voran::Time& a, const voran::Time& b) { return a == b; })
      .def("__repr__", [](const voran::Time& t) { return "Time('" + voran::format_time(t) + "')"; });
  m.def("parse_time", [](const std::string& s) { return voran::parse_time(s); });
  m.def("format_time", &voran::format_time);
  m.def("to_minutes", &voran::to_minutes);
  m.def("from_minutes", &voran::from_minutes);

  py::class_<voran::Box>(m, "Box")
      .def(py::init([](float a, float b, float c, float d) { return voran::Box{a, b, c, d}; }),
           py::arg("latmin"), py::arg("latmax"), py::arg("lonmin"), py::arg("lonmax"))
      .def_readwrite("latmin", &voran::Box::latmin)
      .def_readwrite("latmax", &voran::Box::latmax)
      .def_readwrite("lonmin", &voran::Box::lonmin)
      .def_readwrite("lonmax", &voran::Box::lonmax);
  py::class_<voran::Radius>(m, "Radius")
      .def(py::init([](float lat, float lon, float km) { return voran::Radius{lat, lon, km}; }),
           py::arg("lat"), py::arg("lon"), py::arg("km"))
      .def_readwrite("lat", &voran::Radius::lat)
      .def_readwrite("lon", &voran::Radius::lon)
      .def_readwrite("km", &voran::Radius::km);
  py::class_<voran::Lambert>(m, "Lambert")
      .def(py::init([](float lat1, float lon1, float dx, float orient, float tanlat, float cone,
                       float xmin, float xmax, float ymin, float ymax) {
             return voran::Lambert{lat1, lon1, dx, orient, tanlat, cone, xmin, xmax, ymin, ymax};
           }),
           py::arg("lat1"), py::arg("lon1"), py::arg("dx"), py::arg("orient"), py::arg("tanlat"),
           py::arg("cone"), py::arg("xmin"), py::arg("xmax"), py::arg("ymin"), py::arg("ymax"))
      .def_readwrite("lat1", &voran::Lambert::lat1)
      .def_readwrite("lon1", &voran::Lambert::lon1)
      .def_readwrite("dx", &voran::Lambert::dx)
      .def_readwrite("orient", &voran::Lambert::orient)
      .def_readwrite("tanlat", &voran::Lambert::tanlat)
      .def_readwrite("cone", &voran::Lambert::cone)
      .def_readwrite("xmin", &voran::Lambert::xmin)
      .def_readwrite("xmax", &voran::Lambert::xmax)
      .def_readwrite("ymin", &voran::Lambert::ymin)
      .def_readwrite("ymax", &voran::Lambert::ymax);
  py::class_<voran::Polar>(m, "Polar")
      .def(py::init([](float xpole, float ypole, float orient, float truelat, float xmin,
                       float xmax, float ymin, float ymax) {
             return voran::Polar{xpole, ypole, orient, truelat, xmin, xmax, ymin, ymax};
           }),
           py::arg("xpole"), py::arg("ypole"), py::arg("orient"), py::arg("truelat"),
           py::arg("xmin"), py::arg("xmax"), py::arg("ymin"), py::arg("ymax"))
      .def_readwrite("xpole", &voran::Polar::xpole)
      .def_readwrite("ypole", &voran::Polar::ypole)
      .def_readwrite("orient", &voran::Polar::orient)
      .def_readwrite("truelat", &voran::Polar::truelat)
      .def_readwrite("xmin", &voran::Polar::xmin)
      .def_readwrite("xmax", &voran::Polar::xmax)
      .def_readwrite("ymin", &voran::Polar::ymin)
      .def_readwrite("ymax", &voran::Polar::ymax);
  py::class_<voran::Window>(m, "Window")
      .def(py::init([](int32_t before, int32_t after, int32_t mode) {
             return voran::Window{before, after, mode};
           }),
           py::arg("before") = 0, py::arg("after") = 0, py::arg("mode") = 0)
      .def_readwrite("before", &voran::Window::before)
      .def_readwrite("after", &voran::Window::after)
      .def_readwrite("mode", &voran::Window::mode);

  py::class_<voran::Query>(m, "Query")
      .def(py::init<>())
      .def_readwrite("static_dir", &voran::Query::static_dir)
      .def_readwrite("data_dir", &voran::Query::data_dir)
      .def_readwrite("database", &voran::Query::database)
      .def_readwrite("time", &voran::Query::time)
      .def_readwrite("end", &voran::Query::end)
      .def_readwrite("step_minutes", &voran::Query::step_minutes)
      .def_readwrite("variables", &voran::Query::variables)
      .def_readwrite("providers", &voran::Query::providers)
      .def_readwrite("qc_level", &voran::Query::qc_level)
      .def_readwrite("window", &voran::Query::window)
      .def_readwrite("domain", &voran::Query::domain)
      .def_readwrite("stations", &voran::Query::stations)
      .def("times", &voran::Query::times);

  py::class_<voran::VariableInfo>(m, "VariableInfo")
      .def(py::init<>())
      .def_readwrite("name", &voran::VariableInfo::name)
      .def_readwrite("code", &voran::VariableInfo::code)
      .def_readwrite("type", &voran::VariableInfo::type)
      .def_readwrite("levels", &voran::VariableInfo::levels)
      .def_readwrite("units", &voran::VariableInfo::units)
      .def_readwrite("standard_name", &voran::VariableInfo::standard_name)
      .def_readwrite("description", &voran::VariableInfo::description)
      .def("__repr__", [](const voran::VariableInfo& v) { return "VariableInfo('" + v.name + "')"; });

  m.def("validate", [](const voran::Query& q) {
    py::gil_scoped_release release;
    voran::validate(q);
  });
  m.def("fetch", [](const voran::Query& q) { return one_hour(voran::fetch, q); });
  m.def("stations", [](const voran::Query& q) { return one_hour(voran::stations, q); });
  // An hour without stations carrying these columns: the types of a frame
  // before any hour is read.
  m.def("empty_hour", [](const std::vector<voran::VariableInfo>& vars) {
    auto h = std::make_unique<voran::Hour>();
    for (const voran::VariableInfo& v : vars) h->columns.emplace_back().info = v;
    return hour_dict(std::move(h));
  });
  // Calls `sink(hour_dict)` for each time of the query. A Python exception
  // raised by the sink stops the range and is raised again here.
  m.def("run", [](const voran::Query& q, const py::function& sink) {
    struct Stop {};
    std::optional<py::error_already_set> raised;
    try {
      py::gil_scoped_release release;
      voran::run(q, [&](const voran::Hour& hour) {
        auto copy = std::make_unique<voran::Hour>(hour);  // the layer reuses its Hour
        py::gil_scoped_acquire acquire;
        try {
          sink(hour_dict(std::move(copy)));
        } catch (py::error_already_set& e) {
          raised = std::move(e);
          throw Stop{};
        }
      });
    } catch (const Stop&) {
      throw *raised;
    }
  });
  m.def("variables", [](const std::string& static_dir, const std::string& database) {
        py::gil_scoped_release release;
        return voran::variables(static_dir, database);
      },
      py::arg("static_dir") = "", py::arg("database") = "ZEM");
  m.def("providers", [](const std::string& static_dir, const std::string& database) {
        voran::Providers p;
        {
          py::gil_scoped_release release;
          p = voran::providers(static_dir, database);
        }
        py::dict d;
        d["networks"] = p.networks;
        d["groups"] = p.groups;
        d["providers"] = p.providers;
        return d;
      },
      py::arg("static_dir") = "", py::arg("database") = "ZEM");

  // The shared output layout: field names and their CF attributes.
  m.def("station_field_names", &voran::station_field_names);
  m.def("fields", [](const std::vector<voran::VariableInfo>& vars) {
    py::list out;
    for (const voran::Field& f : voran::fields(vars))
      out.append(py::make_tuple(f.name, field_kind_name(f.kind), f.column, f.level));
    return out;
  });
  m.def("cf_attributes", [](const std::string& name, const std::string& kind, std::size_t column,
                            int32_t level, const voran::VariableInfo& v) {
    const voran::Field f{name, field_kind(kind), column, level};
    py::dict out;
    for (const voran::Attribute& a : voran::cf_attributes(f, v)) {
      if (a.ints.empty())
        out[py::str(a.name)] = a.text;
      else
        out[py::str(a.name)] = a.ints;
    }
    return out;
  });
  m.def("float_text", &voran::float_text);
}
