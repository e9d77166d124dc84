"""Pictures: PNGs of the asked size that are not blank, colour bars over the
data's range, missing and rejected stations drawn, the terrain grid where
the library's projection puts it, and the command line."""
import os
import subprocess
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.image as mpimg  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import voran  # noqa: E402
from voran import plot, terrain  # noqa: E402
from conftest import TIME  # noqa: E402


@pytest.fixture(scope="module")
def hour():
    return voran.read(TIME, ["T", "TD", "U", "V", "DD", "FF"])


def png_pixels(path):
    img = mpimg.imread(path)
    return img[..., :3]


def assert_not_blank(rgb, background=0.8):
    colours = np.unique((rgb * 255).astype(np.uint8).reshape(-1, 3), axis=0)
    assert len(colours) > 100
    # Not one colour with a little noise: a good share of pixels differs
    # from the most common one.
    flat = (rgb * 255).astype(np.uint8).reshape(-1, 3)
    values, counts = np.unique(flat, axis=0, return_counts=True)
    assert counts.max() < background * len(flat)


def coloured(ax):
    """The scatter that carries the colour bar."""
    found = [c for c in ax.collections if getattr(c, "colorbar", None) is not None]
    assert len(found) == 1
    return found[0]


def test_station_map_png(hour, tmp_path):
    ax = plot.station_map(hour, "T", wind=True, figsize=(9, 6), dpi=80)
    path = tmp_path / "map.png"
    ax.figure.savefig(path, dpi=80)
    rgb = png_pixels(path)
    assert rgb.shape[:2] == (480, 720)
    assert_not_blank(rgb)

    sc = coloured(ax)
    good = hour["T"].notna() & ~hour["T_qcd"].isin(voran.REJECTED)
    assert sc.norm.vmin == pytest.approx(float(hour.loc[good, "T"].min()))
    assert sc.norm.vmax == pytest.approx(float(hour.loc[good, "T"].max()))
    assert tuple(sc.colorbar.ax.get_ylim()) == pytest.approx((sc.norm.vmin, sc.norm.vmax))
    assert len(sc.get_offsets()) == good.sum()
    assert sc.colorbar.ax.get_ylabel() == "T (K)"
    assert "2021-08-25 20:00 UTC" in ax.get_title()
    legend = [t.get_text() for t in ax.get_legend().get_texts()]
    rejected = hour["T_qcd"].isin(voran.REJECTED).sum()
    missing = (hour["T"].isna() & ~hour["T_qcd"].isin(voran.REJECTED)).sum()
    assert f"QC rejected, X/Q/B ({rejected})" in legend
    assert f"no value ({missing})" in legend
    assert any(t.startswith("wind barbs") for t in legend)
    assert len([c for c in ax.collections if type(c).__name__ == "Barbs"]) == 1


def test_station_map_range_and_choices(hour):
    box = hour[hour["lat"].between(36, 42) & hour["lon"].between(-110, -101)]
    ax = plot.station_map(box, "TD", vmin=270, vmax=290, terrain=False)
    sc = coloured(ax)
    assert (sc.norm.vmin, sc.norm.vmax) == (270, 290)
    # The map spans the stations with a margin.
    lo, hi = box["lon"].min(), box["lon"].max()
    pad = max(0.04 * (hi - lo), 0.5)
    assert ax.get_xlim() == pytest.approx((lo - pad, hi + pad))
    with pytest.raises(ValueError):
        plot.station_map(hour[["station", "lat", "lon", "T", "T_qcd"]], "T", wind=True)
    r = voran.read_range("2021-08-25T19:00", "2021-08-25T20:00", ["T"], progress=False)
    with pytest.raises(ValueError):
        plot.station_map(r, "T")
    ax = plot.station_map(r, "T", time="2021-08-25T19:00", terrain=False)
    assert "19:00 UTC" in ax.get_title()


def test_terrain_grid(static):
    lat, lon, h = terrain.load(static)
    assert h.shape == (62, 81)
    # The grid's own projection takes each point back to its indices.
    j, i = np.mgrid[1:63, 1:82]
    x, y = terrain.grid_xy(lat, lon)
    assert np.allclose(x, i, atol=1e-6) and np.allclose(y, j, atol=1e-6)
    # Point (1,1) lies at x = y = 0 of the frame whose pole is at
    # (1854642, 6691869) m; north of the grid at 65N 110W, y is about 4.38e6 m.
    _, y65 = terrain.grid_xy(65.0, -110.0)
    assert (y65 - 1.0) * 60000.0 == pytest.approx(4.38e6, rel=2e-3)
    # Records "i j height", first index fastest.
    with open(os.path.join(static, "topomini.txt")) as f:
        recs = [line.split() for line in f]
    for k in (0, 80, 81, 5021):
        ri, rj, rh = int(recs[k][0]), int(recs[k][1]), float(recs[k][2])
        assert h[rj - 1, ri - 1] == np.float32(rh)


def test_terrain_free_format(tmp_path):
    # Commas, a record continued on the next line, values after the third.
    lines = []
    for k in range(81 * 62):
        if k == 1:
            lines += ["2,", "1 7.5 99 99"]
        else:
            lines.append(f"{k % 81 + 1}, {k // 81 + 1}, {k}")
    (tmp_path / "topomini.txt").write_text("\n".join(lines) + "\n")
    h = terrain.read_heights(tmp_path / "topomini.txt")
    assert h[0, 1] == 7.5 and h[0, 2] == 2 and h[61, 80] == 81 * 62 - 1


def test_meteogram(tmp_path):
    r = voran.read_range("2021-08-25T19:00", "2021-08-25T21:00", ["T", "TD", "FF"],
                         providers=["ALL-MESO"], progress=False)
    # A station with a rejected value among its hours.
    flagged = r[r["T_qcd"].isin(voran.REJECTED)]["station"]
    station = flagged.iloc[0]
    axes = plot.meteogram(r, station, ["T", "TD", "FF"], figsize=(8, 6), dpi=75)
    assert len(axes) == 3
    path = tmp_path / "m.png"
    axes[0].figure.savefig(path, dpi=75)
    rgb = png_pixels(path)
    assert rgb.shape[:2] == (450, 600)
    assert_not_blank(rgb, background=0.97)  # lines on white
    rows = r[r["station"] == station]
    labels = [line.get_label() for line in axes[0].get_lines()]
    assert any(label.startswith("QC rejected") for label in labels)
    n_flagged = rows["T_qcd"].isin(voran.REJECTED).sum()
    marked = sum(len(line.get_xdata()) for line in axes[0].get_lines()
                 if line.get_label().startswith("QC rejected"))
    assert marked == n_flagged
    assert axes[0].get_ylabel() == "T (K)" and station in axes[0].get_title()
    # The scale is that of the accepted values, whatever the rejected ones.
    accepted = rows.loc[~rows["T_qcd"].isin(voran.REJECTED), "T"].dropna()
    lo, hi = axes[0].get_ylim()
    assert lo <= accepted.min() and hi >= accepted.max()
    assert hi - lo <= 1.2 * (accepted.max() - accepted.min()) + 2.0 * max(1.0, 0.01 * hi)
    with pytest.raises(ValueError):
        plot.meteogram(r, "NOSUCH", ["T"])


def run_cli(*args):
    env = dict(os.environ)
    return subprocess.run([sys.executable, "-m", "voran", *args], capture_output=True,
                          text=True, env=env)


def test_command_line(tmp_path):
    out = tmp_path / "map.png"
    r = run_cli("map", "--time", TIME, "--var", "T", "--wind", "--size", "640x480", "-o",
                str(out))
    assert r.returncode == 0, r.stderr
    rgb = png_pixels(out)
    assert rgb.shape[:2] == (480, 640)
    assert_not_blank(rgb)
    out2 = tmp_path / "met.png"
    r = run_cli("meteogram", "--start", "2021-08-25T19:00", "--end", "2021-08-25T21:00",
                "--station", "KDEN", "--vars", "T,TD", "-q", "-o", str(out2))
    assert r.returncode == 0, r.stderr
    assert png_pixels(out2).shape[:2] == (120 + 2 * 280, 1200)
    bad = run_cli("map", "--time", "2021-02-30T20:00", "--var", "T", "-o", str(tmp_path / "x.png"))
    assert bad.returncode == 2 and "time" in bad.stderr
    assert not (tmp_path / "x.png").exists()
    none = run_cli("map", "--time", "2021-08-26T05:00", "--var", "T", "-o",
                   str(tmp_path / "y.png"))
    assert none.returncode == 1 and "1006" in none.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["map.png", "met.png"]
