"""voran.read gives the C++ layer's values bit for bit: NaN exactly where
the layer says missing, descriptors, masks, stations and times unchanged;
and the same values as the voran tool's CSV."""
import csv
import io
import subprocess

import numpy as np
import pandas as pd
import pytest

import voran
from voran import _query, _voran
from conftest import RECORDS, STALIST, TIME

MISSING = np.float32(999999.0)


def raw_hour(time, variables, **kw):
    """The layer's own Hour for the query voran.read makes of these
    arguments (the binding's arrays, before any conversion)."""
    return _voran.fetch(_query.build(time, variables, **kw))


def layer_trim(field):
    """An identifier as the layer's Hour::station trims it."""
    return field.rstrip(b" \0").lstrip(b" ").decode("latin-1")


def assert_frame_is_hour(df, h):
    """Every column of the frame against the layer's arrays."""
    n = h["count"]
    assert len(df) == n
    assert list(df["station"]) == [layer_trim(s) for s in h["station"].tolist()]
    assert list(df["provider"]) == [layer_trim(s) for s in h["provider"].tolist()]
    wmo = h["wmo"]
    assert (df["wmo"].isna().to_numpy() == (wmo == 999999)).all()
    assert (df["wmo"].fillna(999999).to_numpy(dtype=np.int64) == wmo).all()
    assert list(df["network"]) == [h["networks"][s] for s in h["source"]]
    for k in ("lat", "lon", "elev"):
        assert_float_column(df[k], h[k])
    minutes = h["obs_minutes"]
    blank = minutes == _voran.NO_TIME
    assert (df["obs_time"].isna().to_numpy() == blank).all()
    got = df["obs_time"][~blank].dt.tz_localize(None).to_numpy().astype("datetime64[m]")
    assert (got.astype(np.int64) == minutes[~blank]).all()

    infos = [c["info"] for c in h["columns"]]
    for name, kind, column, level in _voran.fields(infos):
        c = h["columns"][column]
        lev = infos[column].levels
        part = {"value": "values", "descriptor": "qcd", "applied": "qca", "failed": "qcr"}[kind]
        want = c[part][level::lev]
        if kind == "value":
            assert_float_column(df[name], want)
        elif kind == "descriptor":
            letters = [None if pd.isna(x) else x for x in df[name]]
            assert letters == [None if b in (0, 32) else chr(b) for b in want], name
        else:
            assert df[name].dtype == np.int32
            assert (df[name].to_numpy() == want).all(), name


def assert_float_column(col, raw):
    a = col.to_numpy()
    assert a.dtype == np.float32
    missing = raw == MISSING
    assert (np.isnan(a) == missing).all()
    assert (a[~missing].view(np.int32) == raw[~missing].view(np.int32)).all()


@pytest.mark.parametrize("providers", [["ALL-MESO", "ALL-MTR"], None])
def test_values_are_the_layers_bit_for_bit(providers):
    variables = STALIST + ["CLDBAS", "U", "V"]
    df = voran.read(TIME, variables, providers=providers)
    h = raw_hour(TIME, variables, providers=providers)
    assert h["status"] == 0 and h["count"] > 1000
    assert_frame_is_hour(df, h)
    # The conversion must not be an identity that also passes: the sample has
    # missing values, several letters and stations of several networks.
    assert df["T"].isna().any() and df["T"].notna().any()
    assert df["T_qcd"].nunique() >= 4
    assert df["CLDBAS_6"].notna().any()


def test_columns_dtypes_and_attrs():
    df = voran.read(TIME, ["T", "CLDBAS"])
    assert list(df.columns[:8]) == ["station", "wmo", "provider", "network", "lat", "lon",
                                    "elev", "obs_time"]
    assert list(df.columns[8:12]) == ["T", "T_qcd", "T_qca", "T_qcr"]
    assert list(df.columns[12:16]) == ["CLDBAS_1", "CLDBAS_1_qcd", "CLDBAS_1_qca",
                                       "CLDBAS_1_qcr"]
    assert df.columns[-1] == "CLDBAS_6_qcr"
    assert str(df["obs_time"].dtype) == "datetime64[ns, UTC]"
    assert str(df["wmo"].dtype) == "Int32"
    assert isinstance(df["T_qcd"].iloc[0], str) and len(df["T_qcd"].iloc[0]) == 1
    assert df.attrs["time"] == "2021-08-25T20:00Z"
    assert df.attrs["units"]["T"] == "K"
    assert df.attrs["units"]["lat"] == "degrees_north"
    assert df.attrs["standard_name"]["T"] == "air_temperature"
    assert df.attrs["long_name"]["CLDBAS_2"].endswith("(level 2)")
    assert df.attrs["variables"]["CLDBAS"]["levels"] == 6
    # A column taken from the frame carries the same description.
    assert df["T"].attrs["units"]["T"] == "K"


def test_small_file_edges(small_tree):
    df = voran.read(TIME, ["T"], providers=["ALL-MESO"], data=small_tree)
    by_id = df.set_index("station")
    # "AB CD" keeps its blank, " LEAD" loses it, as the layer trims them.
    assert list(df["station"]) == [r["id"].lstrip() for r in RECORDS]
    assert by_id.loc["AB CD", "T"] == np.float32(273.15)
    assert np.isnan(by_id.loc["KXYZ", "T"])  # the file's fill value
    assert by_id.loc["KXYZ", "T_qcd"] == "S"
    assert by_id.loc["Q1", "T"] == np.float32(300.5) and by_id.loc["Q1", "T_qcd"] == "Q"
    assert by_id.loc["Q2", "T_qcd"] == "K"  # a letter the layout does not name
    assert "K" in list(df["T_qcd"].cat.categories)
    assert pd.isna(by_id.loc["LEAD", "T_qcd"])  # a blank descriptor is none
    assert " " not in list(df["T_qcd"].cat.categories)
    assert by_id.loc["KXYZ", "wmo"] == 72469 and pd.isna(by_id.loc["Q1", "wmo"])
    assert by_id.loc["KXYZ", "obs_time"] == pd.Timestamp("2021-08-25T19:55", tz="UTC")
    assert list(df["T_qcr"]) == [r["T_qcr"] for r in RECORDS]
    assert_frame_is_hour(df, raw_hour(TIME, ["T"], providers=["ALL-MESO"], data=small_tree))


def test_same_values_as_the_tools_csv(tool, static, sample):
    variables = ["T", "TD", "DD", "FF", "CLDBAS", "PCP1H"]
    out = subprocess.run([tool, "extract", "--time", TIME, "--vars", ",".join(variables),
                          "--providers", "ALL-MESO,ALL-MTR", "--static", static, "--data", sample,
                          "-q"], check=True, capture_output=True, text=True).stdout
    rows = list(csv.reader(io.StringIO(out)))
    header, rows = rows[0], rows[1:]
    df = voran.read(TIME, variables, providers=["ALL-MESO", "ALL-MTR"])
    assert header == ["time"] + list(df.columns)
    assert len(rows) == len(df)
    cols = {name: [r[k] for r in rows] for k, name in enumerate(header)}
    assert set(cols["time"]) == {"2021-08-25T20:00Z"}
    for name in df.columns:
        text, mine = cols[name], df[name]
        if mine.dtype == np.float32:
            theirs = np.array([np.float32(t) if t else np.float32(np.nan) for t in text])
            m = mine.to_numpy()
            assert (np.isnan(theirs) == np.isnan(m)).all(), name
            ok = ~np.isnan(m)
            assert (theirs[ok].view(np.int32) == m[ok].view(np.int32)).all(), name
        elif name == "obs_time":
            want = ["" if pd.isna(t) else t.strftime("%Y-%m-%dT%H:%MZ") for t in mine]
            assert text == want
        else:
            want = ["" if pd.isna(v) else str(v) for v in mine]
            assert text == want, name


def test_stations_alone():
    st = voran.stations(TIME, providers=["ALL-MESO"])
    df = voran.read(TIME, ["T"], providers=["ALL-MESO"])
    assert list(st.columns) == list(df.columns[:8])
    assert (st["station"] == df["station"]).all()
    assert st["network"].eq("MESONET").all()


def test_tables():
    v = voran.variables()
    assert v.loc["T", "units"] == "K" and v.loc["CLDBAS", "levels"] == 6
    assert v.loc["T", "type"] == "N"
    p = voran.providers()
    assert p["networks"][:4] == ["METAR", "MARITIME", "SAO", "MESONET"]
    assert "ALL-MESO" in p["groups"] and "RAWS" in p["providers"]
    everything = voran.read(TIME, "all", stations=["KDEN"])
    numeric = list(v.index[v["type"] == "N"])
    assert [c for c in everything.columns if c in numeric] == \
        [n for n in numeric if v.loc[n, "levels"] == 1]
