"""voran.dask: long ranges across worker processes with Dask.

    from distributed import Client, LocalCluster
    import voran.dask

    client = Client(LocalCluster(n_workers=2, threads_per_worker=1, processes=True))
    ddf = voran.dask.read_range("2021-08-25T19:00", "2021-09-01T18:00", ["T", "TD"],
                                providers=["ALL-MESO"], partition="1D")
    df = ddf.compute()                      # the frame of voran.read_range
    ddf.to_csv("out/voran-*.csv")           # or one file per partition

Each partition is one call of voran.read_range in a worker process, so the
columns and values are those of voran.read_range over the same hours. The
library's state belongs to the process and a query holds it for the whole
hour: give workers one thread each (more threads only wait for one
another). A worker initialises the library once per static directory, data
directory and database and keeps its tables across partitions. Workers of
a cluster must see the same data tree and static directory (pass absolute
paths, or set VORAN_STATIC and VORAN_DATA where the workers start).
"""
import dask
import dask.dataframe as dd
import pandas as pd

from . import _voran
from ._errors import NoDataError
from ._frame import frame
from ._query import build, directory, locked, variable_names


def _timestamp(t):
    ts = pd.Timestamp(t)
    return ts.tz_localize("UTC") if ts.tzinfo is None else ts.tz_convert("UTC")


def _spans(start, end, partition, freq):
    """[first, last] times of each partition: whole partitions of the
    calendar, cut to the range."""
    step = pd.Timedelta(freq if not isinstance(freq, (int, float)) else f"{freq}min")
    size = pd.Timedelta(partition)
    if size < step:
        raise ValueError("a partition must hold at least one time")
    t0, t1 = _timestamp(start), _timestamp(end)
    spans = []
    first = t0
    while first <= t1:
        edge = first.floor(size) + size
        last = min(t1, first + ((edge - first - pd.Timedelta(1, "ns")) // step) * step)
        spans.append((first, last))
        first = last + step
    return spans


def _naive(t):
    return t.tz_convert("UTC").tz_localize(None).to_pydatetime()


def _part(first, last, variables, keywords, meta):
    """One partition, in the worker: `meta` (no rows) when no hour of it
    had data."""
    from . import read_range

    try:
        return read_range(_naive(first), _naive(last), variables, progress=False, **keywords)
    except NoDataError:
        return meta


def _meta(names, static, database):
    """The frame's columns and types without rows, from the variable table
    alone: no hour is read before the partitions go out."""
    table = {v.name: v for v in locked(_voran.variables, static, database)}
    return frame([_voran.empty_hour([table[n] for n in names])], True, {})


def read_range(start, end, variables, *, partition="1h", client=None, **keywords):
    """voran.read_range(start, end, variables, **keywords) as a
    dask.dataframe.DataFrame with one partition per `partition` ("1h",
    "6h", "1D", ...; aligned to the calendar), computed in the workers of
    Dask's current scheduler (the newest distributed.Client) when the frame
    is computed or written: nothing is read before. Given a `client`, the
    partitions are computed at once in its workers and kept there
    (client.persist), for frames that fit in the cluster's memory. The
    keywords are those of voran.read_range (freq, providers, qc_level,
    window, box, radius, grid, stations, static, data, database); progress
    bars are off in the workers. Partitions without data are empty, and so
    is the whole frame of a range where no station reported (where
    voran.read_range raises voran.NoDataError)."""
    keywords = dict(keywords)
    keywords.pop("progress", None)
    freq = keywords.get("freq", "1h")
    # Workers may start elsewhere: hand them the directories resolved here.
    for key, env in (("static", "VORAN_STATIC"), ("data", "VORAN_DATA")):
        if keywords.get(key) is None:
            keywords[key] = directory(None, env)
    # Bad arguments are refused here, before any work is sent out.
    check = {k: v for k, v in keywords.items() if k != "freq"}
    database = check.get("database", "ZEM")
    names = variable_names(variables, check["static"], database)
    locked(_voran.validate, build(start, names, end=end, freq=freq, **check))
    meta = _meta(names, check["static"], database)
    spans = _spans(start, end, partition, freq)
    parts = [dask.delayed(_part, pure=True)(a, b, names, keywords, meta) for a, b in spans]
    ddf = dd.from_delayed(parts, meta=meta, divisions=None, verify_meta=False)
    return ddf if client is None else client.persist(ddf)


__all__ = ["read_range"]
