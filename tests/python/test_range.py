"""read_range: hour after hour, the same rows as read of each hour, missing
hours noted; read_dataset: the tool's CF layout, round trip through NetCDF."""
import pathlib
import shutil
import subprocess

import numpy as np
import pandas as pd
import pytest
import xarray as xr

import voran

HOURS = ["2021-08-25T19:00", "2021-08-25T20:00", "2021-08-25T21:00"]
VARS = ["T", "TD", "CLDBAS"]


@pytest.fixture(scope="module")
def gap_tree(sample, tmp_path_factory):
    """The sample tree without any file of 20 UTC."""
    tree = tmp_path_factory.mktemp("gap") / "tree"
    shutil.copytree(sample, tree)
    removed = [p for p in tree.rglob("20210825_2000")]
    assert len(removed) == 10
    for p in removed:
        p.unlink()
    return str(tree)


def test_range_is_the_hours_one_after_another():
    r = voran.read_range(HOURS[0], HOURS[-1], VARS, progress=False)
    parts = [voran.read(t, VARS) for t in HOURS]
    assert len(r) == sum(len(p) for p in parts)
    assert list(r.columns) == ["time"] + list(parts[0].columns)
    assert str(r["time"].dtype) == "datetime64[ns, UTC]"
    start = 0
    for t, p in zip(HOURS, parts):
        chunk = r.iloc[start:start + len(p)].drop(columns="time").reset_index(drop=True)
        assert (r["time"].iloc[start:start + len(p)] == pd.Timestamp(t, tz="UTC")).all()
        pd.testing.assert_frame_equal(chunk, p)
        start += len(p)
    assert r.attrs["missing_times"] == []
    assert r.attrs["query"]["voran_end"] == "2021-08-25T21:00Z"


def test_missing_hour(gap_tree):
    r = voran.read_range(HOURS[0], HOURS[-1], ["T"], data=gap_tree, progress=False)
    assert r.attrs["missing_times"] == ["2021-08-25T20:00Z"]
    assert set(r["time"].dt.hour) == {19, 21}
    ends = voran.read_range("2021-08-25T18:00", HOURS[-1], ["T"], progress=False)
    assert ends.attrs["missing_times"] == ["2021-08-25T18:00Z"]
    assert len(ends) == len(voran.read_range(HOURS[0], HOURS[-1], ["T"], progress=False))


def test_progress_bar(capsys):
    voran.read_range(HOURS[0], HOURS[-1], ["T"], stations=["KDEN"], progress=False)
    assert capsys.readouterr().err == ""
    voran.read_range(HOURS[0], HOURS[-1], ["T"], stations=["KDEN"])
    err = capsys.readouterr().err
    assert "3/3" in err and "stations=1" in err


def test_step():
    half = voran.read_range(HOURS[0], HOURS[-1], ["T"], stations=["KDEN"], freq="30min",
                            progress=False)
    assert list(half["time"].dt.strftime("%H:%M")) == ["19:00", "19:30", "20:00", "20:30",
                                                       "21:00"]
    two = voran.read_range(HOURS[0], HOURS[-1], ["T"], stations=["KDEN"], freq=120,
                           progress=False)
    assert list(two["time"].dt.hour) == [19, 21]


def test_dataset_round_trip(tmp_path, gap_tree):
    ds = voran.read_dataset(HOURS[0], HOURS[-1], VARS, data=gap_tree, progress=False)
    path = tmp_path / "ds.nc"
    ds.to_netcdf(path)
    back = xr.open_dataset(path)
    xr.testing.assert_identical(ds, back)
    assert ds.attrs["voran_missing_times"] == "2021-08-25T20:00Z"
    import netCDF4
    with netCDF4.Dataset(path) as nc:
        assert nc.dimensions["obs"].isunlimited() and nc.dimensions["station"].isunlimited()
        assert nc.variables["T"].getncattr("_FillValue") == np.float32(999999.0)
        assert nc.variables["T_qcd"].dtype == np.int8
        raw = nc.variables["T"][:].filled(np.float32(999999.0))
    assert (np.isnan(ds["T"].values) == (raw == np.float32(999999.0))).all()


def test_dataset_layout_matches_the_frame():
    ds = voran.read_dataset(HOURS[0], HOURS[-1], VARS, progress=False)
    df = voran.read_range(HOURS[0], HOURS[-1], VARS, progress=False)
    assert ds.dims["obs"] == len(df)
    idx = ds["station_index"].values
    assert (ds["station_id"].values[idx] == df["station"].to_numpy()).all()
    assert (ds["network"].values[idx] == df["network"].astype(object).to_numpy()).all()
    assert (ds["time"].values == df["time"].dt.tz_localize(None).to_numpy()).all()
    for name in ("T", "CLDBAS_3"):
        a, b = ds[name].values, df[name].to_numpy()
        assert (np.isnan(a) == np.isnan(b)).all()
        assert (a[~np.isnan(a)].view(np.int32) == b[~np.isnan(b)].view(np.int32)).all()
    assert (ds["T_qcd"].values.view(np.uint8) ==
            np.array([ord(c) for c in df["T_qcd"].astype(str)])).all()
    # Each station once, described by its first report.
    key = list(zip(ds["network"].values, ds["station_id"].values))
    assert len(set(key)) == len(key) == ds.dims["station"]
    assert ds["T"].attrs["ancillary_variables"] == "T_qcd T_qca T_qcr"
    assert list(ds["T_qcd"].attrs["flag_values"].view(np.uint8)) == \
        [ord(c) for c in "ZCSVQXGB"]


def test_dataset_is_the_tools_netcdf(tool, static, sample, tmp_path):
    path = tmp_path / "tool.nc"
    subprocess.run([tool, "extract", "--time", HOURS[0], "--end", HOURS[-1], "--vars",
                    ",".join(VARS), "--format", "netcdf", "-o", str(path), "-q",
                    "--static", static, "--data", sample], check=True)
    theirs = xr.open_dataset(path)
    mine = voran.read_dataset(HOURS[0], HOURS[-1], VARS, progress=False)
    assert set(mine.variables) == set(theirs.variables)
    assert set(mine.coords) == set(theirs.coords)
    for k in mine.variables:
        assert mine[k].identical(theirs[k]), k
    differ = {k for k in set(mine.attrs) | set(theirs.attrs)
              if mine.attrs.get(k) != theirs.attrs.get(k)}
    assert differ == {"history"}


def test_an_error_in_the_middle_of_a_range_stops_it():
    from voran import _query, _voran
    q = _query.build(HOURS[0], ["T"], end=HOURS[-1])
    seen = []

    def sink(hour):
        seen.append(hour["count"])
        if len(seen) == 2:
            raise KeyError("stop here")

    with pytest.raises(KeyError, match="stop here"):
        _voran.run(q, sink)
    assert len(seen) == 2
    # The layer's lock was given back: the next range runs to its end.
    assert len(voran.read_range(HOURS[0], HOURS[-1], ["T"], stations=["KDEN"],
                                progress=False)) == 3
