"""Hours of the layer as an xarray.Dataset in the CF layout the voran tool
writes (time series as an indexed ragged array), decoded as
xarray.open_dataset decodes that file, with encodings that make to_netcdf
write it back the same way."""
import numpy as np
import pandas as pd
import xarray as xr

from . import _voran
from ._frame import (MISSING, NO_TIME, NO_WMO, STATION_ATTRS, concat, field_arrays, floats,
                     infos_of, texts)

TIME_UNITS = "minutes since 1970-01-01 00:00:00"
NO_OBS_TIME = -1.0e30  # the tool's fill value of obs_time
COORDINATES = "time lat lon elev station_id"


def minutes_to_datetime(minutes):
    minutes = np.asarray(minutes, dtype=np.int64)
    ns = np.where(minutes == NO_TIME, np.iinfo(np.int64).min, minutes * 60_000_000_000)
    return ns.view("M8[ns]")


def attrs_of(name, units=True):
    long_name, u = STATION_ATTRS[name]
    a = {"long_name": long_name}
    if u and units:
        a["units"] = u
    return a


def dataset(hours, asked, missing_times):
    counts = [h["count"] for h in hours]
    station = texts(concat([h["station"] for h in hours]))
    source = concat([h["source"] for h in hours]).astype(np.int64)
    # A station is its network and identifier, numbered in order of first
    # appearance; its first report describes it.
    ids, id_names = pd.factorize(station, sort=False)
    index, _ = pd.factorize(source * (len(id_names) + 1) + ids, sort=False)
    first = np.unique(index, return_index=True)[1]

    networks = np.array(list(_voran.NETWORKS) + [""], dtype=object)
    known = (source >= 1) & (source <= len(_voran.NETWORKS))
    network = networks[np.where(known, source - 1, len(_voran.NETWORKS))]
    provider = texts(concat([h["provider"] for h in hours]))
    wmo = concat([h["wmo"] for h in hours])

    data, enc = {}, {}
    data["station_id"] = ("station", station[first],
                            {"cf_role": "timeseries_id", **attrs_of("station")})
    for k, standard in (("lat", "latitude"), ("lon", "longitude"), ("elev", "surface_altitude")):
        a = attrs_of(k)
        a["standard_name"] = standard
        if k == "elev":
            a["positive"] = "up"
        data[k] = ("station", floats(concat([h[k] for h in hours])[first]), a)
        enc[k] = {"_FillValue": MISSING, "dtype": "float32"}
    w = wmo[first].astype(np.float64)
    w[wmo[first] == NO_WMO] = np.nan
    data["wmo"] = ("station", w, attrs_of("wmo"))
    enc["wmo"] = {"_FillValue": np.int32(NO_WMO), "dtype": "int32"}
    data["provider"] = ("station", provider[first], attrs_of("provider"))
    data["network"] = ("station", network[first], attrs_of("network"))

    minutes = np.repeat([_voran.to_minutes(h["time"]) for h in hours], counts)
    data["time"] = ("obs", minutes_to_datetime(minutes),
                      {"long_name": "time of the listing", "standard_name": "time"})
    enc["time"] = {"units": TIME_UNITS, "calendar": "standard", "dtype": "float64",
                   "_FillValue": None}
    data["station_index"] = ("obs", index.astype(np.int32),
                             {"long_name": "index of the station of this observation",
                              "instance_dimension": "station"})
    data["obs_time"] = ("obs", minutes_to_datetime(concat([h["obs_minutes"] for h in hours])),
                        attrs_of("obs_time"))
    enc["obs_time"] = {"units": TIME_UNITS, "calendar": "standard", "dtype": "float64",
                       "_FillValue": NO_OBS_TIME}

    infos = infos_of(hours)
    fields = _voran.fields(infos)
    for (name, kind, column, level), a in zip(fields, field_arrays(hours, fields)):
        # Integer attributes take the type of their variable, as the tool
        # writes them (descriptors are bytes, everything else int).
        ints = np.int8 if kind == "descriptor" else np.int32
        cf = {k: (v if not isinstance(v, list) else
                  ints(v[0]) if len(v) == 1 else np.array(v, dtype=ints))
              for k, v in _voran.cf_attributes(name, kind, column, level, infos[column]).items()}
        if kind == "value":
            a = floats(np.array(a, dtype=np.float32))
            enc[name] = {"_FillValue": MISSING, "dtype": "float32", "coordinates": COORDINATES}
        elif kind == "descriptor":
            a = np.array(a).view(np.int8)
            enc[name] = {"dtype": "int8"}
        else:
            a = np.array(a, dtype=np.int32)
            enc[name] = {"dtype": "int32"}
        data[name] = ("obs", a, cf)

    attrs = {"Conventions": "CF-1.8", "featureType": "timeSeries",
             "title": "Surface observations extracted by voran",
             "source": "voran, surface dataset",
             "history": "voran.read_dataset"}
    attrs.update(asked)
    if missing_times:
        attrs["voran_missing_times"] = ",".join(missing_times)
    ds = xr.Dataset(data_vars=data, attrs=attrs).set_coords(COORDINATES.split())
    for k, v in ds.variables.items():
        # xarray would name the coordinates of every variable; the tool names
        # them on values only.
        v.encoding.update(enc.get(k, {}))
        v.encoding.setdefault("coordinates", None)
    ds.encoding["unlimited_dims"] = {"station", "obs"}
    return ds
