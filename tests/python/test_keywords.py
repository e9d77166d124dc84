"""Each keyword of voran.read changes the result the way it says, and
agrees with the layer's own query."""
import datetime
import math

import numpy as np
import pandas as pd
import pytest

import voran
from conftest import RECORDS, TIME

# Descriptors QC level 2 accepts (the library's table).
LEVEL2 = {"S", "V", "G", "I", "W", "T"}


@pytest.fixture(scope="module")
def everything():
    return voran.read(TIME, ["T", "TD", "FF"])


def test_providers(everything):
    meso = voran.read(TIME, ["T"], providers=["ALL-MESO"])
    assert meso["network"].eq("MESONET").all()
    assert len(meso) == everything["network"].eq("MESONET").sum()
    no_raws = voran.read(TIME, ["T"], providers="ALL-MESO,-RAWS")
    assert (meso["provider"] == "RAWS").any() and not (no_raws["provider"] == "RAWS").any()
    assert len(no_raws) == len(meso) - (meso["provider"] == "RAWS").sum()
    one = voran.read(TIME, ["T"], providers=["RAWS"])
    assert set(one["provider"]) == {"RAWS"}
    assert everything["network"].nunique() == 10


def test_qc_level(everything):
    qc2 = voran.read(TIME, ["T", "TD", "FF"], qc_level=2)
    assert (qc2["station"] == everything["station"]).all()
    meso = (everything["network"] == "MESONET").to_numpy()
    for v in ("T", "TD", "FF"):
        before, after = everything[v].to_numpy(), qc2[v].to_numpy()
        letters = everything[f"{v}_qcd"].astype(object).to_numpy()
        refused = meso & ~np.isin(letters, list(LEVEL2)) & (letters != "Z")
        assert refused.any() and np.isfinite(before[refused]).any()
        assert np.isnan(after[refused]).all()
        kept = meso & np.isin(letters, list(LEVEL2))
        assert (after[kept].view(np.int32) == before[kept].view(np.int32)).all()
        # Descriptors are what the file says, filtered or not.
        assert (qc2[f"{v}_qcd"].astype(object) == everything[f"{v}_qcd"].astype(object)).all()


def test_window(everything):
    t = pd.Timestamp(TIME, tz="UTC")
    w = voran.read(TIME, ["T"], window=(-10, 10, 4))
    assert 0 < len(w) < len(everything)
    assert (w["obs_time"] >= t - pd.Timedelta("10min")).all()
    assert (w["obs_time"] <= t + pd.Timedelta("10min")).all()
    # Mode 1 (nearest) of a wider window: reports before 20:00 come in.
    near = voran.read(TIME, ["T"], window={"before": -30, "after": 0, "mode": 1})
    assert near["obs_time"].min() < t <= everything["obs_time"].min()
    assert (near["obs_time"] <= t).all()


def test_box(everything):
    b = voran.read(TIME, ["T"], box=(36, 42, -110, -101))
    assert 0 < len(b) < len(everything)
    assert b["lat"].between(36, 42).all() and b["lon"].between(-110, -101).all()
    inside = everything["lat"].between(36, 42) & everything["lon"].between(-110, -101)
    assert set(b["station"]) == set(everything.loc[inside, "station"])


def great_circle_km(lat1, lon1, lat2, lon2):
    p1, p2 = np.radians(lat1), np.radians(lat2)
    d = np.sin((p2 - p1) / 2) ** 2 + np.cos(p1) * np.cos(p2) * np.sin(np.radians(lon2 - lon1) / 2) ** 2
    return 2 * 6371.0 * np.arcsin(np.sqrt(d))


def test_radius(everything):
    r = voran.read(TIME, ["T"], radius={"lat": 39.74, "lon": -104.99, "km": 150})
    assert 0 < len(r) < len(everything)
    d = great_circle_km(39.74, -104.99, r["lat"].to_numpy(np.float64),
                        r["lon"].to_numpy(np.float64))
    assert (d <= 151).all()
    d_all = great_circle_km(39.74, -104.99, everything["lat"].to_numpy(np.float64),
                            everything["lon"].to_numpy(np.float64))
    assert set(r["station"]) >= set(everything.loc[d_all < 149, "station"])


def polar_xy(lat, lon, xpole, ypole, truelat, orient):
    la = np.radians(lat)
    r = 6366707.0 * np.cos(la) * (1 + math.sin(math.radians(truelat))) / (1 + np.sin(la))
    a = np.radians(lon - 90.0 - orient)
    return xpole + r * np.cos(a), ypole + r * np.sin(a)


def test_grid(everything):
    # The national polar stereographic frame, cut to a window over the west.
    g = voran.Polar(xpole=3897800.0, ypole=9182641.0, orient=-105.0, truelat=60.0,
                    xmin=2.0e6, xmax=3.5e6, ymin=3.0e6, ymax=4.5e6)
    p = voran.read(TIME, ["T"], grid=g)
    assert 0 < len(p) < len(everything)
    x, y = polar_xy(p["lat"].to_numpy(np.float64), p["lon"].to_numpy(np.float64),
                    3897800.0, 9182641.0, 60.0, -105.0)
    assert (x >= 2.0e6 - 1e3).all() and (x <= 3.5e6 + 1e3).all()
    assert (y >= 3.0e6 - 1e3).all() and (y <= 4.5e6 + 1e3).all()
    as_dict = voran.read(TIME, ["T"], grid=dict(g._asdict(), projection="polar"))
    assert (as_dict["station"] == p["station"]).all()
    lam = voran.read(TIME, ["T"], grid=voran.Lambert(
        lat1=30.0, lon1=-110.0, dx=40000.0, orient=-100.0, tanlat=40.0, cone=0.6428,
        xmin=0.0, xmax=8.0e5, ymin=0.0, ymax=8.0e5))
    assert 0 < len(lam) < len(everything)
    assert lam["lon"].min() > -116 and lam["lat"].min() > 27


def test_stations(everything):
    s = voran.read(TIME, ["T"], stations=["KDEN", "KBOS", "NOSUCH"])
    assert sorted(s["station"]) == ["KBOS", "KDEN"]
    t = everything.set_index("station").loc[s["station"], "T"].to_numpy()
    assert (s["T"].to_numpy().view(np.int32) == t.view(np.int32)).all()


def test_times_of_every_kind():
    want = voran.read(TIME, ["T"], stations=["KDEN"])
    for t in (datetime.datetime(2021, 8, 25, 20, 0),
              datetime.datetime(2021, 8, 25, 22, 0,
                                tzinfo=datetime.timezone(datetime.timedelta(hours=2))),
              pd.Timestamp("2021-08-25 20:00", tz="UTC"), np.datetime64("2021-08-25T20:00"),
              "2021-08-25 20:00", "2021-08-25T20Z"):
        got = voran.read(t, ["T"], stations=["KDEN"])
        assert got.attrs["time"] == "2021-08-25T20:00Z"
        assert got["T"].equals(want["T"])


def test_directories_by_keyword(monkeypatch, static, sample):
    monkeypatch.delenv("VORAN_STATIC")
    monkeypatch.delenv("VORAN_DATA")
    with pytest.raises(voran.Error):
        voran.read(TIME, ["T"])
    df = voran.read(TIME, ["T"], static=static, data=sample, stations=["KDEN"])
    assert len(df) == 1 and df.attrs["static"] == static


def test_nothing_leaks_between_queries(everything):
    voran.read(TIME, ["T"], providers=["RAWS"], qc_level=3, window=(-10, 10, 4),
               box=(36, 42, -110, -101))
    again = voran.read(TIME, ["T", "TD", "FF"])
    assert again.equals(everything)


def test_threads_share_the_package(everything):
    import concurrent.futures as cf
    asks = [dict(), dict(providers=["ALL-MESO"]), dict(qc_level=2), dict(box=(36, 42, -110, -101))]
    alone = [voran.read(TIME, ["T", "TD", "FF"], **kw) for kw in asks]
    with cf.ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda kw: voran.read(TIME, ["T", "TD", "FF"], **kw), asks * 3))
    for k, df in enumerate(together):
        assert df.equals(alone[k % len(asks)])


def test_the_library_works_without_the_gil():
    import sys
    import threading
    from voran import _query, _voran
    q = _query.build(TIME, ["T", "TD", "DD", "FF", "P", "PCP1H", "CLDBAS"])
    count, stop = [0], [False]

    def spin():
        while not stop[0]:
            count[0] += 1

    old = sys.getswitchinterval()
    # With a long switch interval the spinning thread runs only when the
    # main thread gives the GIL up, which it does inside the call alone.
    sys.setswitchinterval(0.5)
    t = threading.Thread(target=spin)
    t.start()
    try:
        before = count[0]
        _voran.fetch(q)
        during = count[0] - before
    finally:
        stop[0] = True
        t.join()
        sys.setswitchinterval(old)
    assert during > 0


def test_a_named_directory_is_not_the_next_querys_default(small_tree, everything):
    assert len(voran.read(TIME, ["T"], providers=["ALL-MESO"], data=small_tree)) == len(RECORDS)
    assert voran.read(TIME, ["T", "TD", "FF"]).equals(everything)
