"""From Python arguments to the layer's Query, and calls into the layer
under the package's lock."""
import collections
import datetime
import os
import threading

import numpy as np

from . import _voran
from ._errors import KINDS, ArgumentError

# The library's state is process-wide and the layer works one hour at a
# time; this lock keeps Python threads from queueing inside the layer with
# the GIL released, and makes each of the package's calls one unit.
LOCK = threading.Lock()

Lambert = collections.namedtuple(
    "Lambert", "lat1 lon1 dx orient tanlat cone xmin xmax ymin ymax")
Lambert.__doc__ = """Lambert conformal grid domain: the latitude and longitude of grid
point (1,1), the spacing (m), orientation longitude, tangent latitude, cone
factor, and the accepted ranges of x and y (m)."""
Polar = collections.namedtuple("Polar", "xpole ypole orient truelat xmin xmax ymin ymax")
Polar.__doc__ = """Polar stereographic grid domain: the pole's x and y (m),
orientation longitude, true latitude, and the accepted ranges of x and y (m)."""


def call(fn, *args):
    """Calls the layer, turning its failures into the package's exceptions."""
    try:
        return fn(*args)
    except _voran.LibraryError as e:
        status, kind, name, message = e.args
        raise KINDS[kind](status, message, name) from None
    except _voran.ArgumentError as e:
        argument, message = e.args
        raise ArgumentError(0, message, argument=argument) from None


def locked(fn, *args):
    with LOCK:
        return call(fn, *args)


def bad(argument, message):
    return ArgumentError(0, message, argument=argument)


def to_time(t, argument="time"):
    """A string ("2021-08-25T20:00"), datetime, date, pandas Timestamp or
    numpy datetime64 as the layer's Time (UTC; naive times are UTC)."""
    if isinstance(t, str):
        return call(_voran.parse_time, t)
    if isinstance(t, np.datetime64):
        if np.isnat(t):
            raise bad(argument, "the time is NaT")
        t = datetime.datetime(1970, 1, 1) + datetime.timedelta(
            microseconds=int(t.astype("datetime64[us]").astype(np.int64)))
    if isinstance(t, datetime.datetime):
        if t.tzinfo is not None:
            t = t.astimezone(datetime.timezone.utc)
        if t.second or t.microsecond or getattr(t, "nanosecond", 0):
            raise bad(argument, f"{t.isoformat()} is not a whole minute")
        return _voran.Time(t.year, t.month, t.day, t.hour, t.minute)
    if isinstance(t, datetime.date):
        return _voran.Time(t.year, t.month, t.day, 0, 0)
    raise bad(argument, f"expected a time such as '2021-08-25T20:00', not {t!r}")


def to_step(freq):
    """Minutes between the times of a range: an int (minutes), or a pandas
    frequency or timedelta ("1h", "30min")."""
    if isinstance(freq, (int, np.integer)) and not isinstance(freq, bool):
        minutes = int(freq)
    else:
        import pandas as pd
        try:
            ns = pd.Timedelta(freq).value
        except (ValueError, TypeError):
            raise bad("freq", f"{freq!r} is not a frequency such as '1h' or '30min'") from None
        if ns % 60_000_000_000:
            raise bad("freq", f"{freq!r} is not a whole number of minutes")
        minutes = ns // 60_000_000_000
    if minutes <= 0:
        raise bad("freq", "the step must be positive")
    return minutes


def names(value, argument):
    """A name or a list of names."""
    if value is None:
        return None
    if isinstance(value, str):
        value = value.split(",") if "," in value else [value]
    value = list(value)
    for v in value:
        if not isinstance(v, str):
            raise bad(argument, f"expected names, not {v!r}")
    return value


def numbers(value, fields, argument):
    """A sequence or mapping of `fields` numbers."""
    if isinstance(value, dict):
        missing = [f for f in fields if f not in value]
        extra = [k for k in value if k not in fields]
        if missing or extra:
            raise bad(argument, f"expected the keys {', '.join(fields)}")
        value = [value[f] for f in fields]
    try:
        value = [float(x) for x in value]
    except (TypeError, ValueError):
        raise bad(argument, f"expected {len(fields)} numbers ({', '.join(fields)})") from None
    if len(value) != len(fields):
        raise bad(argument, f"expected {len(fields)} numbers ({', '.join(fields)})")
    if not all(np.isfinite(value)):
        raise bad(argument, "the numbers must be finite")
    return value


def to_window(window):
    if window is None:
        return _voran.Window()
    if isinstance(window, _voran.Window):
        return window
    if isinstance(window, dict):
        window = [window.get("before", 0), window.get("after", 0), window.get("mode", 0)]
    window = list(window)
    if len(window) == 2:
        window.append(0)
    if len(window) != 3 or not all(
            isinstance(x, (int, np.integer)) and not isinstance(x, bool) for x in window):
        raise bad("window", "expected (before, after[, mode]) as whole minutes and a mode 0-4")
    return _voran.Window(*(int(x) for x in window))


def to_domain(box, radius, grid):
    given = [(k, v) for k, v in (("box", box), ("radius", radius), ("grid", grid)) if v is not None]
    if len(given) > 1:
        raise bad(given[1][0], "give at most one of box, radius and grid")
    if box is not None:
        return _voran.Box(*numbers(box, ("latmin", "latmax", "lonmin", "lonmax"), "box"))
    if radius is not None:
        return _voran.Radius(*numbers(radius, ("lat", "lon", "km"), "radius"))
    if grid is not None:
        if isinstance(grid, Lambert) or (isinstance(grid, dict)
                                         and grid.get("projection") == "lambert"):
            g = dict(grid._asdict()) if isinstance(grid, Lambert) else dict(grid)
            g.pop("projection", None)
            return _voran.Lambert(*numbers(g, Lambert._fields, "grid"))
        if isinstance(grid, Polar) or (isinstance(grid, dict)
                                       and grid.get("projection") == "polar"):
            g = dict(grid._asdict()) if isinstance(grid, Polar) else dict(grid)
            g.pop("projection", None)
            return _voran.Polar(*numbers(g, Polar._fields, "grid"))
        raise bad("grid", "expected voran.Lambert(...), voran.Polar(...) or a dict with "
                          "projection='lambert' or 'polar'")
    return None


def directory(path, env="VORAN_STATIC", argument="static"):
    """The directory a query names, else the environment's. Resolved here,
    and always handed to the layer explicitly: the layer exports the
    directories of each query it sets up into the process environment, so
    its own fallback would find the last query's directory rather than the
    caller's setting."""
    if path is not None and os.fspath(path):
        return os.fspath(path)
    value = os.environ.get(env, "")
    if not value:
        raise bad(argument, f"no {argument} directory given and {env} is not set")
    return value


def static_dir(path):
    """The static directory a query uses (for the package's own reads of
    it, such as the terrain grid)."""
    return directory(path)


def variable_names(variables, static, database):
    variables = names(variables, "variables")
    if not variables:
        raise bad("vars", "no variables asked for")
    if variables == ["all"]:
        table = locked(_voran.variables, directory(static), database)
        variables = [v.name for v in table if v.type == "N"]
    return variables


def build(time, variables=(), *, end=None, freq=60, providers=None, qc_level=0, window=None,
          box=None, radius=None, grid=None, stations=None, static=None, data=None,
          database="ZEM"):
    """The layer's Query for these arguments."""
    q = _voran.Query()
    q.static_dir = directory(static)
    q.data_dir = directory(data, "VORAN_DATA", "data")
    q.database = database
    q.time = to_time(time)
    if end is not None:
        q.end = to_time(end, "end")
    q.step_minutes = to_step(freq)
    q.variables = list(variables)
    q.providers = names(providers, "providers")
    if isinstance(qc_level, bool) or not isinstance(qc_level, (int, np.integer)):
        raise bad("qc-level", "the QC level must be 0, 1, 2, 3 or 99")
    q.qc_level = int(qc_level)
    q.window = to_window(window)
    q.domain = to_domain(box, radius, grid)
    q.stations = names(stations, "stations") or []
    return q


def describe(q):
    """What was asked, as the tool's NetCDF names it in its global
    attributes (and the frames keep in attrs)."""
    def nums(obj, fields):
        return ",".join(f"{getattr(obj, f):g}" for f in fields)

    d = q.domain
    if isinstance(d, _voran.Box):
        domain = "box " + nums(d, ("latmin", "latmax", "lonmin", "lonmax"))
    elif isinstance(d, _voran.Radius):
        domain = "radius " + nums(d, ("lat", "lon", "km"))
    elif isinstance(d, _voran.Lambert):
        domain = "lambert " + nums(d, Lambert._fields)
    elif isinstance(d, _voran.Polar):
        domain = "polar " + nums(d, Polar._fields)
    else:
        domain = "none"
    w = q.window
    return {
        "voran_time": _voran.format_time(q.time),
        "voran_end": _voran.format_time(q.end if q.end is not None else q.time),
        "voran_step_minutes": str(q.step_minutes),
        "voran_variables": ",".join(q.variables),
        "voran_providers": (",".join(q.providers) if q.providers is not None
                            else "(tables' selection)"),
        "voran_qc_level": str(q.qc_level),
        "voran_window": f"{w.before},{w.after},{w.mode}",
        "voran_domain": domain,
        "voran_stations": ",".join(q.stations) if q.stations else "all",
        "voran_database": q.database,
    }
