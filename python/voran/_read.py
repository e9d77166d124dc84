"""The package's queries: one hour, a range, the station list, the tables."""
import pandas as pd

from . import _voran
from ._errors import NoDataError
from ._frame import frame
from ._query import build, call, describe, directory, locked, static_dir, variable_names

NO_DATA = 1006


def _attrs(q, static):
    a = {"query": describe(q), "static": static_dir(static)}
    if q.end is None:
        a["time"] = _voran.format_time(q.time)
    return a


def _no_data(q, hours=None):
    what = (_voran.format_time(q.time) if q.end is None else
            f"{_voran.format_time(q.time)} to {_voran.format_time(q.end)}")
    return NoDataError(NO_DATA, f"no station reported for {what}", "MSFCSTA")


def read(time, variables, *, providers=None, qc_level=0, window=None, box=None, radius=None,
         grid=None, stations=None, static=None, data=None, database="ZEM"):
    """The stations of one time and their values: a DataFrame, one row per
    station, with the columns of the voran tool's CSV (station, wmo,
    provider, network, lat, lon, elev, obs_time, then V, V_qcd, V_qca, V_qcr
    for each variable V; a variable with levels gives V_1, ..., V_n).

    time       "2021-08-25T20:00", a datetime (naive means UTC), a Timestamp
    variables  names of the code table (voran.variables()), or "all"
    providers  None: the tables' own selection; else every source is
               deselected, then each name selected ("ALL-MESO", "RAWS") or
               deselected ("-RAWS") in order
    qc_level   0 (none), 1, 2, 3 or 99 (the highest each variable has)
    window     (before, after[, mode]) minutes around the time and the record
               mode: 0 every report of the file, 1 nearest, 2 earliest,
               3 latest, 4 every report in the window
    box        (latmin, latmax, lonmin, lonmax)
    radius     (lat, lon, km)
    grid       voran.Lambert(...) or voran.Polar(...)
    stations   identifiers to keep
    static, data, database   the installation (default $VORAN_STATIC,
               $VORAN_DATA, "ZEM")

    Raises voran.NoDataError when no station reported, voran.ArgumentError
    for a bad argument, other voran.Error subclasses for the library's
    failures. ``df.attrs`` holds what was asked and each column's units,
    long_name and standard_name.
    """
    names = variable_names(variables, static, database)
    q = build(time, names, providers=providers, qc_level=qc_level, window=window, box=box,
              radius=radius, grid=grid, stations=stations, static=static, data=data,
              database=database)
    hour = locked(_voran.fetch, q)
    if hour["status"] == NO_DATA:
        raise _no_data(q)
    return frame([hour], False, _attrs(q, static))


def _hours(q, progress):
    """Every hour of a range query, as the binding gives them."""
    from tqdm import tqdm

    times = call(q.times)
    hours = []
    with tqdm(total=len(times), unit="h", desc="voran", disable=not progress) as bar:
        def sink(hour):
            hours.append(hour)
            bar.set_postfix(stations=hour["count"], refresh=False)
            bar.update(1)

        locked(_voran.run, q, sink)
    missing = [_voran.format_time(h["time"]) for h in hours if h["status"] == NO_DATA]
    if len(missing) == len(hours):
        raise _no_data(q)
    return hours, missing


def read_range(start, end, variables, *, freq="1h", progress=True, providers=None, qc_level=0,
               window=None, box=None, radius=None, grid=None, stations=None, static=None,
               data=None, database="ZEM"):
    """voran.read for each time from `start` to `end` (inclusive) every
    `freq` ("1h", "30min", or minutes), as one DataFrame with a leading
    `time` column (tz-aware UTC). Hours without stations add no rows and are
    listed in ``df.attrs["missing_times"]``; voran.NoDataError only when no
    hour had any. A progress bar (tqdm, on standard error) unless
    progress=False. The other keywords are those of voran.read."""
    names = variable_names(variables, static, database)
    q = build(start, names, end=end, freq=freq, providers=providers, qc_level=qc_level,
              window=window, box=box, radius=radius, grid=grid, stations=stations,
              static=static, data=data, database=database)
    hours, missing = _hours(q, progress)
    attrs = _attrs(q, static)
    attrs["missing_times"] = missing
    return frame(hours, True, attrs)


def read_dataset(start, end, variables, *, freq="1h", progress=True, providers=None,
                 qc_level=0, window=None, box=None, radius=None, grid=None, stations=None,
                 static=None, data=None, database="ZEM"):
    """The range of voran.read_range as an xarray.Dataset in the layout of
    the voran tool's CF NetCDF (``voran extract --format netcdf``): a
    `station` dimension (station_id, lat, lon, elev, wmo, provider, network;
    each station described by its first report) and an `obs` dimension
    (time, station_index, obs_time and the fields of every variable).
    ``ds.to_netcdf(path)`` writes a file of that layout; xarray.open_dataset
    gives back an equal Dataset. `end` may be None for one time."""
    from ._dataset import dataset

    names = variable_names(variables, static, database)
    q = build(start, names, end=start if end is None else end, freq=freq, providers=providers,
              qc_level=qc_level, window=window, box=box, radius=radius, grid=grid,
              stations=stations, static=static, data=data, database=database)
    hours, missing = _hours(q, progress)
    return dataset(hours, describe(q), missing)


def stations(time, *, providers=None, window=None, box=None, radius=None, grid=None,
             stations=None, static=None, data=None, database="ZEM"):
    """The station list of one time alone (the station columns of
    voran.read); the keywords are those of voran.read."""
    q = build(time, [], providers=providers, window=window, box=box, radius=radius, grid=grid,
              stations=stations, static=static, data=data, database=database)
    hour = locked(_voran.stations, q)
    if hour["status"] == NO_DATA:
        raise _no_data(q)
    return frame([hour], False, _attrs(q, static))


def variables(*, static=None, database="ZEM"):
    """Every variable of the code table, in the table's order: a DataFrame
    indexed by name with code, type ("N" numeric, "C" character), levels,
    units, standard_name and description."""
    table = locked(_voran.variables, directory(static), database)
    df = pd.DataFrame({
        "name": [v.name for v in table],
        "code": [v.code for v in table],
        "type": [v.type for v in table],
        "levels": [v.levels for v in table],
        "units": [v.units for v in table],
        "standard_name": [v.standard_name for v in table],
        "description": [v.description for v in table],
    })
    return df.set_index("name")


def providers(*, static=None, database="ZEM"):
    """What the provider tables know: {"networks": the ten surface sources,
    "groups": "ALL-SFC", "ALL-MESO", ..., "providers": the provider table's
    names in order}. Any of them may be named in ``providers=``."""
    return locked(_voran.providers, directory(static), database)
