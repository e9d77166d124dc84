"""The voran tool's three formats carry the same fields and values, and the
CF NetCDF file reads back with xarray."""
import csv
import io
import json
import math
import os
import subprocess

import numpy as np
import pytest
import xarray as xr

BUILD = os.environ["VORAN_BUILD"]
TOOL = os.path.join(BUILD, "cli", "voran")
STATIC = os.path.join(BUILD, "static")
SOURCE = os.environ["VORAN_SOURCE"]


@pytest.fixture(scope="module")
def tree(tmp_path_factory):
    root = tmp_path_factory.mktemp("sample")
    subprocess.run([os.path.join(BUILD, "gen_sample"), str(root / "tree"),
                    os.path.join(SOURCE, "static")], check=True, capture_output=True)
    return str(root / "tree")


def extract(tree, *args):
    cmd = [TOOL, "extract", "--static", STATIC, "--data", tree, *args]
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


ASK = ["--time", "2021-08-25T19:00", "--end", "2021-08-25T21:00", "--vars", "T,FF,CLDBAS",
       "--providers", "ALL-MTR,ALL-MESO", "--box", "30,45,-110,-90"]


def test_csv_and_jsonl_carry_the_same_fields_and_values(tree):
    rows = list(csv.DictReader(io.StringIO(extract(tree, *ASK))))
    lines = [json.loads(x) for x in extract(tree, *ASK, "--format", "jsonl").splitlines()]
    assert len(rows) == len(lines) > 500
    assert list(rows[0].keys()) == list(lines[0].keys())
    assert "CLDBAS_6_qcr" in lines[0]
    nulls = 0
    for r, j in zip(rows, lines):
        for k, v in r.items():
            if v == "":
                assert j[k] is None, k
                nulls += 1
            elif isinstance(j[k], str):
                assert j[k] == v
            else:
                assert float(j[k]) == float(v), k
    assert nulls > 0


def test_netcdf_reads_back_with_xarray_and_equals_the_csv(tree, tmp_path):
    out = tmp_path / "x.nc"
    extract(tree, *ASK, "--format", "netcdf", "-o", str(out))
    rows = list(csv.DictReader(io.StringIO(extract(tree, *ASK))))
    ds = xr.open_dataset(out)
    assert ds.attrs["Conventions"] == "CF-1.8"
    assert ds.attrs["featureType"] == "timeSeries"
    assert ds.attrs["voran_variables"] == "T,FF,CLDBAS"
    assert ds.station_id.attrs["cf_role"] == "timeseries_id"
    assert ds.station_index.attrs["instance_dimension"] == "station"
    assert ds["T"].attrs["units"] == "K"
    assert ds["T"].attrs["standard_name"] == "air_temperature"
    assert ds["T"].attrs["ancillary_variables"] == "T_qcd T_qca T_qcr"
    assert list(ds["T_qcd"].attrs["flag_values"][:2]) == [ord("Z"), ord("C")]
    assert ds["FF_qca"].attrs["flag_masks"][3] == 8
    assert ds.sizes["obs"] == len(rows)
    # Each station once; every observation points at its own.
    ids = ds.station_id.values[ds.station_index.values]
    assert len(set(ds.station_id.values)) == ds.sizes["station"]
    assert [r["station"] for r in rows] == list(ids)
    times = ds.time.values.astype("datetime64[m]").astype(str)
    assert [r["time"] for r in rows] == [t + "Z" for t in times]
    for name in ["T", "FF", "CLDBAS_3"]:
        got = ds[name].values
        assert got.dtype == np.float32
        want = np.array([float(r[name]) if r[name] else np.nan for r in rows], np.float32)
        assert np.array_equal(got, want, equal_nan=True), name
        assert np.isnan(got).any() and not np.isnan(got).all()
    qcd = ds["T_qcd"].values.astype(np.uint8).tobytes().decode()
    assert qcd == "".join(r["T_qcd"] for r in rows)
    assert np.array_equal(ds["FF_qca"].values, [int(r["FF_qca"]) for r in rows])


def test_stations_lists_the_station_fields(tree):
    out = subprocess.run([TOOL, "stations", "--time", "2021-08-25T20:00", "--radius",
                          "39.74,-104.99,200", "--static", STATIC, "--data", tree],
                         check=True, capture_output=True, text=True).stdout
    rows = list(csv.DictReader(io.StringIO(out)))
    assert rows and list(rows[0]) == ["time", "station", "wmo", "provider", "network",
                                      "lat", "lon", "elev", "obs_time"]
    for r in rows:
        la, lo = math.radians(float(r["lat"])), math.radians(float(r["lon"]))
        la0, lo0 = math.radians(39.74), math.radians(-104.99)
        d = 2 * 6371 * math.asin(math.sqrt(math.sin((la - la0) / 2) ** 2 + math.cos(la) *
                                           math.cos(la0) * math.sin((lo - lo0) / 2) ** 2))
        assert d <= 200.001
