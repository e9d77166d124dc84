"""Pictures of voran frames with matplotlib: station maps over the
installation's terrain grid, and meteograms of one station.

Both functions draw on the axes they are given (ax=...) or on a new figure
of their own (Agg canvas, no pyplot state), and return the axes; they never
show anything. Save with ``ax.figure.savefig("map.png")``.

Values whose descriptor says a check failed or the file marked them bad
(voran.REJECTED: "X", "Q", "B") are drawn as rejected, whatever their value;
missing values are drawn as hollow markers, never dropped.
"""
import numpy as np
import pandas as pd
from matplotlib.backends.backend_agg import FigureCanvasAgg
from matplotlib.colors import LinearSegmentedColormap, Normalize
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
import matplotlib.dates as mdates

from . import terrain as _terrain
from ._frame import REJECTED

MS_TO_KNOTS = 1.0 / 0.514444
MISSING_COLOUR = "0.45"
REJECTED_COLOUR = "#b2182b"
SEA_COLOUR = "#dbe8f3"
TERRAIN_COLOURS = LinearSegmentedColormap.from_list(
    "voran_terrain", ["#f4f1e8", "#e6dfcf", "#d3c9b2", "#bdb097", "#a3967c"])


def new_axes(figsize, dpi, nrows=1):
    fig = Figure(figsize=figsize, dpi=dpi, layout="constrained")
    FigureCanvasAgg(fig)
    axes = fig.subplots(nrows, 1, sharex=True, squeeze=False)[:, 0]
    return list(axes)


def colormap_for(variable, units):
    """A colour map that suits the quantity: diverging for temperatures,
    sequential for amounts."""
    v = variable.upper()
    if v.startswith(("PCP", "SNOW")):
        return "YlGnBu"
    if v.startswith(("RH", "ABSHUM", "MIXR", "SPHUM")):
        return "BrBG"
    if units == "K" or v in ("T", "TD", "TV", "THETA") or v.startswith(("T2", "TD2", "SOILT")):
        return "RdYlBu_r"
    return "viridis"


def nice_time(t):
    t = pd.Timestamp(t)
    if t.tzinfo is None:
        t = t.tz_localize("UTC")
    return t.tz_convert("UTC").strftime("%Y-%m-%d %H:%M UTC")


def one_time(df, time):
    """The rows of one time of a frame and that time's text."""
    if "time" in df.columns:
        if time is not None:
            t = pd.Timestamp(time)
            df = df[df["time"] == (t.tz_localize("UTC") if t.tzinfo is None
                                   else t.tz_convert("UTC"))]
        times = df["time"].unique()
        if len(times) > 1:
            raise ValueError("the frame holds several times; choose one with time=...")
        return df, (nice_time(times[0]) if len(times) else "")
    t = df.attrs.get("time")
    return df, (nice_time(t.rstrip("Z")) if t else "")


def rejected_mask(df, column):
    qcd = df.get(f"{column}_qcd")
    if qcd is None:
        return np.zeros(len(df), dtype=bool)
    return np.asarray(qcd.isin(REJECTED), dtype=bool)


def label_of(df, column):
    units = df.attrs.get("units", {}).get(column, "")
    return f"{column} ({units})" if units else column


def wind_components(df):
    """u and v (m/s) where both are usable: from U and V when the frame has
    them, else from DD and FF."""
    cols = df.columns
    if "U" in cols and "V" in cols:
        u = df["U"].to_numpy(dtype=np.float64)
        v = df["V"].to_numpy(dtype=np.float64)
        bad = rejected_mask(df, "U") | rejected_mask(df, "V")
    elif "DD" in cols and "FF" in cols:
        dd = np.radians(df["DD"].to_numpy(dtype=np.float64))
        ff = df["FF"].to_numpy(dtype=np.float64)
        u, v = -ff * np.sin(dd), -ff * np.cos(dd)
        bad = rejected_mask(df, "DD") | rejected_mask(df, "FF")
    else:
        raise ValueError("wind barbs need U and V, or DD and FF, in the frame")
    ok = np.isfinite(u) & np.isfinite(v) & ~bad
    return u, v, ok


def thin(lon, lat, extent, cells):
    """Indices keeping at most one position per cell of a cells x cells grid
    over the extent (barbs of thousands of stations would cover the map)."""
    x0, x1, y0, y1 = extent
    ix = np.clip(((lon - x0) / max(x1 - x0, 1e-9) * cells).astype(int), 0, cells - 1)
    iy = np.clip(((lat - y0) / max(y1 - y0, 1e-9) * cells).astype(int), 0, cells - 1)
    return np.sort(np.unique(iy * cells + ix, return_index=True)[1])


def draw_terrain(ax, static, extent):
    """Filled height contours of the grid (sea and lakes at height 0 in
    pale blue) with lines every 500 m."""
    lat, lon, h = _terrain.load(static)
    # The colour scale is that of the terrain near the map.
    x0, x1, y0, y1 = extent
    near = (lon >= x0 - 5) & (lon <= x1 + 5) & (lat >= y0 - 5) & (lat <= y1 + 5)
    if not near.any():
        return
    top = float(max(np.percentile(h[near], 99), 500.0))
    sea = h <= 0.0
    # Sea under the whole grid, land over it: no seam along the coasts.
    ax.contourf(lon, lat, np.zeros_like(h), levels=[-1.0, 1.0], colors=[SEA_COLOUR], zorder=0)
    ax.contourf(lon, lat, np.ma.masked_where(sea, h), levels=np.linspace(0.0, top, 12),
                cmap=TERRAIN_COLOURS, extend="max", zorder=0)
    ax.contour(lon, lat, h, levels=np.arange(500.0, top + 1.0, 500.0), colors="0.5",
               linewidths=0.4, alpha=0.6, zorder=1)


def station_map(df, variable, *, ax=None, time=None, wind=False, terrain=True, static=None,
                cmap=None, vmin=None, vmax=None, extent=None, title=None, figsize=(10, 7.5),
                dpi=100, marker_size=None, barbs=25):
    """Stations of one time coloured by `variable`, over the terrain grid.

    df       a frame of voran.read (or voran.read_range with time=...)
    wind     draw wind barbs (knots) from U/V or DD/FF of the frame, at most
             one per cell of a `barbs` x `barbs` grid over the map
    terrain  draw the installation's terrain grid (static/topomini.txt of
             `static`, default the frame's static directory)
    vmin, vmax  colour range (default: the range of the values drawn)
    extent   (lonmin, lonmax, latmin, latmax); default: the stations'

    Stations without a value are drawn as hollow grey circles, rejected
    ones as crosses, each with its count in the legend.
    """
    if variable not in df.columns:
        raise KeyError(f"{variable} is not a column of the frame")
    df, when = one_time(df, time)
    if ax is None:
        ax = new_axes(figsize, dpi)[0]
    fig = ax.figure
    lat = df["lat"].to_numpy(dtype=np.float64)
    lon = df["lon"].to_numpy(dtype=np.float64)
    value = df[variable].to_numpy(dtype=np.float64)
    placed = np.isfinite(lat) & np.isfinite(lon)
    rejected = rejected_mask(df, variable) & placed
    good = np.isfinite(value) & placed & ~rejected
    missing = ~np.isfinite(value) & placed & ~rejected

    if extent is None:
        if placed.any():
            x0, x1 = np.min(lon[placed]), np.max(lon[placed])
            y0, y1 = np.min(lat[placed]), np.max(lat[placed])
        else:
            x0, x1, y0, y1 = -125.0, -66.0, 24.0, 50.0
        px, py = max(0.04 * (x1 - x0), 0.5), max(0.04 * (y1 - y0), 0.5)
        extent = (x0 - px, x1 + px, y0 - py, y1 + py)
    extent = tuple(float(e) for e in extent)

    if terrain:
        draw_terrain(ax, static or df.attrs.get("static"), extent)

    n = max(int(placed.sum()), 1)
    size = marker_size or float(np.clip(6000.0 / n, 4.0, 60.0))
    handles = []
    if missing.any():
        ax.scatter(lon[missing], lat[missing], s=size, facecolors="none",
                   edgecolors=MISSING_COLOUR, linewidths=0.6, zorder=2)
        handles.append(Line2D([], [], ls="none", marker="o", mfc="none", mec=MISSING_COLOUR,
                              label=f"no value ({int(missing.sum())})"))
    if rejected.any():
        ax.scatter(lon[rejected], lat[rejected], s=size, marker="x", c=REJECTED_COLOUR,
                   linewidths=0.8, zorder=3)
        handles.append(Line2D([], [], ls="none", marker="x", color=REJECTED_COLOUR,
                              label=f"QC rejected, {'/'.join(REJECTED)} ({int(rejected.sum())})"))
    lo = vmin if vmin is not None else (np.min(value[good]) if good.any() else 0.0)
    hi = vmax if vmax is not None else (np.max(value[good]) if good.any() else 1.0)
    if hi <= lo:
        hi = lo + 1.0
    norm = Normalize(vmin=float(lo), vmax=float(hi))
    cm = cmap or colormap_for(variable, df.attrs.get("units", {}).get(variable, ""))
    sc = ax.scatter(lon[good], lat[good], c=value[good], s=size, cmap=cm, norm=norm,
                    edgecolors="0.2", linewidths=0.2, zorder=4)
    handles.insert(0, Line2D([], [], ls="none", marker="o", color="0.3",
                             label=f"value ({int(good.sum())})"))
    if wind:
        u, v, ok = wind_components(df)
        ok &= placed
        inside = ok & (lon >= extent[0]) & (lon <= extent[1]) & (lat >= extent[2]) & \
            (lat <= extent[3])
        idx = np.nonzero(inside)[0]
        keep = idx[thin(lon[idx], lat[idx], extent, barbs)]
        if len(keep):
            ax.barbs(lon[keep], lat[keep], u[keep] * MS_TO_KNOTS, v[keep] * MS_TO_KNOTS,
                     length=5.5, linewidth=0.6, color="0.1", zorder=5,
                     sizes={"emptybarb": 0.06})
        handles.append(Line2D([], [], ls="none", marker=r"$\rightarrow$", color="0.1",
                              label=f"wind barbs, kt ({len(keep)} of {int(ok.sum())})"))

    # On the axes' own box, which the fixed aspect makes smaller than its
    # share of the figure.
    cb = fig.colorbar(sc, cax=ax.inset_axes([1.015, 0.0, 0.022, 1.0]))
    cb.set_label(label_of(df, variable))
    ax.set_xlim(extent[0], extent[1])
    ax.set_ylim(extent[2], extent[3])
    ax.set_aspect(1.0 / max(np.cos(np.radians(0.5 * (extent[2] + extent[3]))), 0.1))
    ax.set_xlabel("longitude (°E)")
    ax.set_ylabel("latitude (°N)")
    long_name = df.attrs.get("long_name", {}).get(variable, variable)
    ax.set_title(title if title is not None else f"{long_name}\n{when}", fontsize=11)
    ax.legend(handles=handles, loc="lower left", fontsize=8, framealpha=0.85)
    return ax


def position(lat, lon):
    return (f"{abs(lat):.2f}°{'N' if lat >= 0 else 'S'} "
            f"{abs(lon):.2f}°{'E' if lon >= 0 else 'W'}")


def meteogram(df, station, variables, *, ax=None, network=None, figsize=None, dpi=100,
              title=None):
    """Time series of one station from a voran.read_range frame, one panel
    per variable; values whose descriptor is rejected are marked (with a
    tick at the foot of the panel when the value itself is missing).

    ax       axes to draw on, one per variable (default: a new figure)
    network  the station's network, where one identifier is used by two
    Returns the list of axes.
    """
    if isinstance(variables, str):
        variables = [variables]
    if "time" not in df.columns:
        raise ValueError("a meteogram needs the time column of voran.read_range")
    rows = df[df["station"] == station]
    if network is not None:
        rows = rows[rows["network"] == network]
    if rows.empty:
        raise ValueError(f"no rows of station {station!r} in the frame")
    rows = rows.sort_values("time")
    if ax is None:
        axes = new_axes(figsize or (10, 1.2 + 2.3 * len(variables)), dpi, len(variables))
    else:
        axes = list(np.atleast_1d(ax))
        if len(axes) != len(variables):
            raise ValueError("give one axes per variable")
    t = rows["time"].dt.tz_convert("UTC").dt.tz_localize(None).to_numpy()
    for a, var in zip(axes, variables):
        if var not in rows.columns:
            raise KeyError(f"{var} is not a column of the frame")
        y = rows[var].to_numpy(dtype=np.float64)
        bad = rejected_mask(rows, var)
        shown = np.where(bad, np.nan, y)
        a.plot(t, shown, "-", color="#2166ac", lw=1.3, zorder=2)
        a.plot(t, shown, "o", color="#2166ac", ms=3.5, zorder=3, label="value")
        # The scale is that of the accepted values: a rejected value far
        # off (a failed range check) is marked at the edge it lies beyond.
        ok = np.isfinite(shown)
        lo, hi = -np.inf, np.inf
        if ok.any():
            lo, hi = float(np.min(shown[ok])), float(np.max(shown[ok]))
            if hi > lo:
                pad = 0.08 * (hi - lo)
                lo, hi = lo - pad, hi + pad
                a.set_ylim(lo, hi)
            else:
                lo, hi = a.get_ylim()  # matplotlib's margins around a constant
        flagged_value = bad & np.isfinite(y)
        inside = flagged_value & (y >= lo) & (y <= hi)
        if inside.any():
            a.plot(t[inside], y[inside], "x", color=REJECTED_COLOUR, ms=7, mew=1.6,
                   zorder=4, label=f"QC rejected ({'/'.join(REJECTED)})")
        for beyond, edge, marker in ((flagged_value & (y > hi), 0.96, "^"),
                                     (flagged_value & (y < lo), 0.04, "v")):
            if beyond.any():
                a.plot(t[beyond], np.full(beyond.sum(), edge), marker, color=REJECTED_COLOUR,
                       ms=7, transform=a.get_xaxis_transform(), zorder=4, clip_on=False,
                       label=f"QC rejected ({'/'.join(REJECTED)}), off scale")
        flagged_gone = bad & ~np.isfinite(y)
        if flagged_gone.any():
            a.plot(t[flagged_gone], np.full(flagged_gone.sum(), 0.04), "|", ms=12, mew=2,
                   color=REJECTED_COLOUR, transform=a.get_xaxis_transform(), zorder=4,
                   label="QC rejected, value withheld")
        missing = ~np.isfinite(y) & ~bad
        if missing.any():
            a.plot(t[missing], np.full(missing.sum(), 0.04), "|", ms=8, mew=1,
                   color=MISSING_COLOUR, transform=a.get_xaxis_transform(), zorder=4,
                   label="no value")
        a.set_ylabel(label_of(rows, var))
        a.grid(True, lw=0.4, alpha=0.5)
        a.legend(loc="best", fontsize=7, framealpha=0.8)
    axes[-1].xaxis.set_major_formatter(mdates.DateFormatter("%m-%d %H:%M"))
    axes[-1].set_xlabel("time (UTC)")
    first = rows.iloc[0]
    axes[0].set_title(title if title is not None else
                      f"{station} ({first['network']}, {first['provider']}) "
                      f"{position(first['lat'], first['lon'])}, {first['elev']:.0f} m",
                      fontsize=11)
    return axes
