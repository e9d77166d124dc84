"""An hour (or several) of the layer as a pandas DataFrame.

The layer's columns arrive as NumPy arrays over its own memory; values,
masks and positions go into the frame without a copy. Missing values become
NaN in place, descriptors become categories of one-character strings, times
become timezone-aware UTC."""
import functools
import sys

import numpy as np
import pandas as pd

from . import _voran

MISSING = np.float32(_voran.MISSING)
NO_TIME = _voran.NO_TIME
NO_WMO = 999999  # the wmo the library gives a station without one
MINUTE_NS = 60_000_000_000
# Descriptor letters that mean a check failed or the file marked the value
# bad: such values are rejected at any QC level.
REJECTED = ("X", "Q", "B")


def concat(arrays):
    return arrays[0] if len(arrays) == 1 else np.concatenate(arrays)


def trimmed(row):
    """One fixed-width field as the layer trims it: trailing blanks and
    NULs, then leading blanks."""
    return bytes(row).rstrip(b" \0").lstrip(b" ").decode("latin-1")


def decode(b):
    """Rows of bytes (n, width) as an object array of trimmed str."""
    n, w = b.shape
    if n == 0:
        return np.empty(0, dtype=object)
    # Blanks made NUL, so that NumPy's str drops them from the end; rows
    # where that would leave a NUL inside are done one by one. Columns that
    # are NUL in every row are left out (shorter strings convert faster).
    z = b * (b != 32)
    k = w
    while k > 1 and not z[:, k - 1].any():
        k -= 1
    z = np.ascontiguousarray(z[:, :k])
    out = z.astype(np.uint32).view(f"U{k}").reshape(n).astype(object)
    inner = (np.unique(np.flatnonzero((z[:, 1:] != 0) & (z[:, :-1] == 0)) // (k - 1))
             if k > 1 else [])
    for i in inner:
        out[i] = trimmed(b[i])
    return out


def texts(raw):
    """Blank-padded fixed-width identifiers ('S<n>') as an object array of
    str, trimmed as the layer trims them."""
    n, w = len(raw), raw.dtype.itemsize
    b = np.ascontiguousarray(raw).view(np.uint8).reshape(n, w)
    if n > 1024 and 8 <= w <= 16:
        # Few distinct values over many rows (providers) are decoded once
        # each, numbered by their first eight bytes (read in place) when the
        # rest of each row follows from them, else by the pair of first and
        # last eight bytes, which together cover the row.
        def part(offset):
            return np.ndarray((n,), np.uint64, buffer=b, offset=offset, strides=(w,))
        lo, hi = part(0), part(w - 8)
        if len(pd.unique(lo[:1024])) < 64:
            codes, _ = pd.factorize(lo)
            top = np.maximum.accumulate(codes)
            first = np.flatnonzero(np.diff(top, prepend=-1))  # each code's first row
            if not (hi == hi[first][codes]).all():
                clo, _ = pd.factorize(lo)
                chi, uhi = pd.factorize(hi)
                codes, _ = pd.factorize(clo * len(uhi) + chi)
                top = np.maximum.accumulate(codes)
                first = np.flatnonzero(np.diff(top, prepend=-1))
            return decode(b[first])[codes]
    return decode(b)


def utc(minutes):
    """Minutes since 1970 (NO_TIME where unknown) as tz-aware UTC times."""
    minutes = np.asarray(minutes, dtype=np.int64)
    ns = np.where(minutes == NO_TIME, np.iinfo(np.int64).min, minutes * MINUTE_NS)
    return pd.arrays.DatetimeArray(ns.view("M8[ns]"), dtype=pd.DatetimeTZDtype(tz="UTC"))


def floats(a):
    """float32 with NaN where the library says missing (in place: the array
    belongs to this frame alone)."""
    a = np.asarray(a, dtype=np.float32)
    np.putmask(a, a == MISSING, np.float32(np.nan))
    return a


UNKNOWN = -2  # category code of a byte that is no known letter


@functools.lru_cache(maxsize=16)
def lookups(codes):
    """Lookup tables from descriptor bytes to category codes, one byte and
    two bytes at a time, and the categorical type (kept: every frame uses
    the same letters)."""
    lut = np.full(256, UNKNOWN, dtype=np.int8)
    lut[[0, 32]] = -1
    lut[list(codes)] = np.arange(len(codes), dtype=np.int8)
    # The same for two descriptors at once, which halves the lookups.
    pair = np.arange(65536)
    two = np.empty((65536, 2), dtype=np.int8)
    two[:, 0] = lut[pair & 255] if sys.byteorder == "little" else lut[pair >> 8]
    two[:, 1] = lut[pair >> 8] if sys.byteorder == "little" else lut[pair & 255]
    return lut, two.view(np.int16).reshape(65536), pd.CategoricalDtype([chr(c) for c in codes])


class Descriptors:
    """One-character descriptors as categorical columns sharing one set of
    categories: the letters the layout names, then any other the data hold
    (blank and NUL are no descriptor)."""

    def __init__(self, letters):
        self.letters = [ord(x) for x in letters]
        self.set(self.letters)

    def set(self, codes):
        self.lut, self.lut2, self.dtype = lookups(tuple(codes))

    def codes(self, raw):
        n = len(raw)
        out = np.empty(n, dtype=np.int8)
        m = n - n % 2
        if m and raw.flags.c_contiguous and raw.ctypes.data % 2 == 0:
            np.take(self.lut2, raw[:m].view(np.uint16), out=out[:m].view(np.int16))
        else:
            m = 0
        out[m:] = np.take(self.lut, raw[m:])
        return out

    def columns(self, raws):
        """The categorical columns of these descriptor arrays (uint8)."""
        codes = [self.codes(r) for r in raws]
        odd = [r for r, c in zip(raws, codes) if len(c) and c.min() == UNKNOWN]
        if odd:
            seen = sum(np.bincount(r, minlength=256) for r in odd)
            extra = [int(b) for b in np.nonzero(seen)[0] if self.lut[b] == UNKNOWN]
            self.set(self.letters + extra)
            codes = [self.codes(r) for r in raws]
        return [pd.Categorical.from_codes(c, dtype=self.dtype) for c in codes]


def descriptor_letters():
    """The letters in the layout's flag_values of a descriptor."""
    info = _voran.VariableInfo()
    info.name = "T"
    name, kind, column, level = _voran.fields([info])[1]
    return "".join(chr(c) for c in _voran.cf_attributes(name, kind, column, level, info)
                   ["flag_values"])


LETTERS = descriptor_letters()

def cf_attributes(name, kind, column, level, info):
    """The layout's CF attributes of a field (kept per field and table
    entry: ranges and repeated reads ask for the same ones)."""
    return _cf_attributes(name, kind, column, level, info.name, info.code, info.type,
                          info.levels, info.units, info.standard_name, info.description)


@functools.lru_cache(maxsize=4096)
def _cf_attributes(name, kind, column, level, *entry):
    info = _voran.VariableInfo()
    (info.name, info.code, info.type, info.levels, info.units, info.standard_name,
     info.description) = entry
    return _voran.cf_attributes(name, kind, column, level, info)


# What each kind of field takes from a column of the layer.
PART = {"value": "values", "descriptor": "qcd", "applied": "qca", "failed": "qcr"}


def infos_of(hours):
    return [c["info"] for c in hours[0]["columns"]]


def field_arrays(hours, fields):
    """The layer's arrays of each field, over all hours (one level of a
    multi-level column is a strided view)."""
    out = []
    infos = infos_of(hours)
    for name, kind, column, level in fields:
        lev = infos[column].levels
        parts = [h["columns"][column][PART[kind]] for h in hours]
        if lev > 1:
            parts = [p[level::lev] for p in parts]
        out.append(concat(parts))
    return out


def station_columns(hours, with_time):
    """The station fields of the layout, in its order ("time" only for
    ranges)."""
    cols = {}
    if with_time:
        counts = [h["count"] for h in hours]
        minutes = np.repeat([_voran.to_minutes(h["time"]) for h in hours], counts)
        cols["time"] = utc(minutes)
    cols["station"] = texts(concat([h["station"] for h in hours]))
    wmo = concat([h["wmo"] for h in hours])
    cols["wmo"] = pd.arrays.IntegerArray(wmo, wmo == NO_WMO)
    cols["provider"] = texts(concat([h["provider"] for h in hours]))
    source = concat([h["source"] for h in hours]).astype(np.int64)
    known = (source >= 1) & (source <= len(_voran.NETWORKS))
    cols["network"] = pd.Categorical.from_codes(np.where(known, source - 1, -1),
                                                categories=_voran.NETWORKS)
    for k in ("lat", "lon", "elev"):
        cols[k] = floats(concat([h[k] for h in hours]))
    cols["obs_time"] = utc(concat([h["obs_minutes"] for h in hours]))
    names = [n for n in _voran.station_field_names() if with_time or n != "time"]
    return {n: cols[n] for n in names}


STATION_ATTRS = {
    "time": ("time of the listing", None),
    "station": ("station identifier", None),
    "wmo": ("WMO station number", None),
    "provider": ("data provider", None),
    "network": ("observing network", None),
    "lat": ("latitude", "degrees_north"),
    "lon": ("longitude", "degrees_east"),
    "elev": ("station elevation", "m"),
    "obs_time": ("time of the report", None),
}


def frame(hours, with_time, attrs):
    """The DataFrame of these hours (raw dicts of the binding), with `attrs`
    completed by each column's units and descriptions."""
    cols = station_columns(hours, with_time)
    infos = infos_of(hours)
    fields = _voran.fields(infos)
    arrays = field_arrays(hours, fields)
    qcd = iter(Descriptors(LETTERS).columns(
        [a for a, f in zip(arrays, fields) if f[1] == "descriptor"]))
    long_name, units, standard = {}, {}, {}
    for n in cols:
        long_name[n], u = STATION_ATTRS[n]
        if u:
            units[n] = u
    for (name, kind, column, level), a in zip(fields, arrays):
        if kind == "value":
            cols[name] = floats(a)
        elif kind == "descriptor":
            cols[name] = next(qcd)
        else:
            cols[name] = a
        cf = cf_attributes(name, kind, column, level, infos[column])
        long_name[name] = cf.get("long_name", "")
        if cf.get("units"):
            units[name] = cf["units"]
        if cf.get("standard_name"):
            standard[name] = cf["standard_name"]
    df = pd.DataFrame(cols, copy=False)
    attrs = dict(attrs)
    attrs["units"] = units
    attrs["long_name"] = long_name
    attrs["standard_name"] = standard
    attrs["variables"] = {
        v.name: {"code": v.code, "levels": v.levels, "units": v.units,
                 "standard_name": v.standard_name, "description": v.description}
        for v in infos}
    # A variable none of whose stations got a value, hour by hour.
    attrs["empty_variables"] = sorted({c["info"].name for h in hours for c in h["columns"]
                                       if c["status"] == 1005})
    df.attrs = attrs
    return df
