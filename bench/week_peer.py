#!/usr/bin/python3
"""What a user would write instead of the library for a range of hours of
MESONET data, with xarray and pandas.

  week_peer.py extract --data DIR --static DIR --start T --end T [--window B,A,M] [-o OUT.csv]
  week_peer.py check   --data DIR --static DIR --start T --end T [--window B,A,M]
                       (--dump FILE | --csv FILE)

For every hour t of the range it builds the MESONET station list as the
library does with every mesonet provider selected and no other network
(what the library calls ALL-MESO): it reads the files whose period covers
the window [t + B, t + A] minutes, drops reports without position,
elevation or time and reports of the non-mesonet provider numbers, and with
record mode 1, 2 or 3 keeps one report per station and provider (the
nearest to t, the earliest or the latest in the window; a tie goes to the
report read later; the station keeps the place of its first report in the
window). For the stations it returns T, TD (reported, else derived from the
relative humidity), DD, FF and PCP1H (the accumulation of providers whose
period is one hour, else the rate), each with its QC descriptor letter and
its applied and failed masks, in the library's units (K, degrees, m s-1, m)
and single precision.

extract writes the result as CSV (the columns of the voran tool) and prints
the seconds spent; check compares every field with what the library gave
(a dump of the test program extract_week, or the CSV of `voran extract
--format csv`), bit for bit, and prints how many values it compared.
"""
import argparse
import os
import sys
import time

START_WALL, START_CPU = time.perf_counter(), time.process_time()

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402
import xarray as xr  # noqa: E402

# The one-hour peer's readers (fixed-width text, numbers with their no-value
# markers, station identity, provider tables, the dew-point formula) take
# the dataset through the netCDF4 calls; NetcdfView gives them xarray's.
from peer import dew_point, hour_precip, identity, numbers, providers, qc_chars  # noqa: E402

IMPORT_WALL = time.perf_counter() - START_WALL
IMPORT_CPU = time.process_time() - START_CPU

MISS = np.float32(999999.0)
F = np.float32
EPOCH = 1325376000  # the library's integer time counts seconds from 2012-01-01
NO_TIME = np.iinfo(np.int64).min
VARS = ["T", "TD", "DD", "FF", "PCP1H"]
# NetCDF names of the variables read directly.
DIRECT = {"T": "temperature", "DD": "windDir", "FF": "windSpeed"}
MESONET_DIR = "KORB/mesonet/netCDF"
BXQ = np.frombuffer(b"BXQ", dtype=np.uint8)
Z = np.uint8(ord("Z"))


class NetcdfView:
    """An xarray dataset opened without decoding, seen through the netCDF4
    calls the one-hour peer makes: ds.variables[name][...], ncattrs(),
    getncattr()."""

    class Variable:
        def __init__(self, var):
            self.var = var

        @property
        def shape(self):
            return self.var.shape

        def __getitem__(self, key):
            return np.atleast_1d(self.var.values)[key]

        def ncattrs(self):
            return list(self.var.attrs)

        def getncattr(self, name):
            return self.var.attrs[name]

    def __init__(self, ds):
        self.ds = ds
        self.variables = self

    def __contains__(self, name):
        return name in self.ds.variables

    def __getitem__(self, name):
        return NetcdfView.Variable(self.ds[name])


def qc(ds, name):
    """Descriptor letter and the two masks of a variable, as the library
    hands them on (masks read as numbers, truncated to integers)."""
    return (qc_chars(ds, name), numbers(ds, name + "QCA").astype(np.int32),
            numbers(ds, name + "QCR").astype(np.int32))


def read_file(path, static_prov, static_sub):
    """Every record of one MESONET file: identity, report time, whether the
    provider selection keeps it, and the five variables with their QC."""
    raw = xr.open_dataset(path, engine="netcdf4", decode_cf=False)
    ds = NetcdfView(raw)
    try:
        st = identity(ds)
        stid, prov_raw, prov10 = st.stid, st.prov_raw, st.prov10
        lat, lon, elev = st.lat, st.lon, st.elev
        wmo = np.where(st.wmo_ok, st.wmo, 999999).astype(np.int32)
        obtime = np.where(st.obtime != 999999.0, st.obtime, 0).astype(np.int64)
        present = st.keep

        cols = {}
        for v, name in DIRECT.items():
            cols[v] = (numbers(ds, name),) + qc(ds, name)

        # Dew point: the reported one, else from a usable relative humidity
        # and temperature, with the humidity's QC.
        t, tq = cols["T"][0], cols["T"][1]
        td, tdq, tda, tdr = (numbers(ds, "dewpoint"),) + qc(ds, "dewpoint")
        rh, rhq, rha, rhr = (numbers(ds, "relHumidity"),) + qc(ds, "relHumidity")
        t_ok = (t != MISS) & ~np.isin(tq, BXQ) & (t >= F(89.0)) & (t <= F(422.0))
        rh_ok = (rh != MISS) & ~np.isin(rhq, BXQ) & (rh >= F(0.0)) & (rh <= F(100.0))
        have = td != MISS
        derive = ~have & t_ok & rh_ok
        cols["TD"] = (np.where(have, td, np.where(derive, dew_point(t, rh), MISS)),
                      np.where(have, tdq, np.where(derive, rhq, Z)),
                      np.where(have, tda, np.where(derive, rha, 0)).astype(np.int32),
                      np.where(have, tdr, np.where(derive, rhr, 0)).astype(np.int32))

        # One-hour precipitation: the accumulation (mm to m) of providers
        # whose period is one hour, else the rate (m/s to mm/s, then m/h).
        acc, rate = hour_precip(ds, prov_raw, [list(e) for e in static_prov],
                                [list(e) for e in static_sub])
        aq, aa, ar = qc(ds, "precipAccum")
        rq, ra, rr = qc(ds, "precipRate")
        use_a = acc != MISS
        use_r = ~use_a & (rate != MISS)
        cols["PCP1H"] = (np.where(use_a, acc, np.where(use_r, rate * F(3600.0) / F(1000.0), MISS)),
                         np.where(use_a, aq, np.where(use_r, rq, Z)),
                         np.where(use_a, aa, np.where(use_r, ra, 0)).astype(np.int32),
                         np.where(use_a, ar, np.where(use_r, rr, 0)).astype(np.int32))
    finally:
        raw.close()

    frame = pd.DataFrame({
        "station": [bytes(r).rstrip(b" ").decode("latin-1") for r in stid],
        "provider": [bytes(r).rstrip(b" ").decode("latin-1") for r in prov10],
        "wmo": wmo, "lat": lat, "lon": lon, "elev": elev, "obtime": obtime,
        "present": present})
    for v in VARS:
        val, qcd, qca, qcr = cols[v]
        frame[v] = val.astype(np.float32)
        frame[v + "_qcd"] = qcd.astype(np.uint8)
        frame[v + "_qca"] = qca
        frame[v + "_qcr"] = qcr
    return frame[frame["present"]].drop(columns="present")


def parse_time(text):
    return pd.Timestamp(text.rstrip("Z")).tz_localize(None)


def lib_seconds(ts):
    return int((ts - pd.Timestamp("2012-01-01")).total_seconds())


class Reader:
    """Files of the range, each read once and kept while a window needs it."""

    def __init__(self, data, static):
        self.dir = os.path.join(data, MESONET_DIR)
        self.prov, self.sub = providers(os.path.join(static, "sfcsrcin.txt"))
        self.kept = {}

    def file(self, ts):
        if ts not in self.kept:
            path = os.path.join(self.dir, ts.strftime("%Y%m%d_%H%M"))
            self.kept[ts] = read_file(path, self.prov, self.sub) if os.path.exists(path) else None
        return self.kept[ts]

    def forget_before(self, ts):
        for k in [k for k in self.kept if k < ts]:
            del self.kept[k]


def hour(reader, t, window):
    """The station list of hour t and its values, in the library's order."""
    before, after, mode = window
    ts, te = t + pd.Timedelta(minutes=before), t + pd.Timedelta(minutes=after)
    # Files are hourly and hold the reports of their hour; the window's ends
    # fall into the files of their hours.
    first, last = ts.floor("h"), te.floor("h")
    reader.forget_before(first)
    parts = [reader.file(first + pd.Timedelta(hours=k))
             for k in range(int((last - first) / pd.Timedelta(hours=1)) + 1)]
    parts = [p for p in parts if p is not None]
    if not parts:
        return None
    reports = pd.concat(parts, ignore_index=True)
    if mode == 0:
        chosen = reports
    else:
        t0, s0, e0 = lib_seconds(t), lib_seconds(ts), lib_seconds(te)
        o = reports["obtime"].to_numpy()
        m = o - o % 60
        inside = (s0 <= o) & (m <= e0)
        if mode == 4:
            chosen = reports[inside]
        else:
            chosen = one_per_station(reports, o, m, inside, t0, s0, e0, mode)
    chosen = chosen.copy()
    chosen["time"] = t
    return chosen


def one_per_station(reports, o, m, inside, t0, s0, e0, mode):
    """Record modes 1-3. A station (identifier and provider) enters the list
    with its first report inside the window and keeps that place; every later
    report of it up to the window's end replaces the one held when it is at
    least as near to t (1), at least as early and not before the window (2),
    or at least as late (3). So the last of the best reports wins."""
    key = reports["station"] + "\x00" + reports["provider"]
    order = np.arange(len(reports))
    first_inside = pd.Series(np.where(inside, order, len(reports)))
    anchor = first_inside.groupby(key.to_numpy()).transform("min").to_numpy()
    cand = (order >= anchor) & (m <= e0)
    if mode == 2:
        cand &= (order == anchor) | (s0 <= m)
    score = {1: np.abs(o - t0), 2: o, 3: -o}[mode]
    pick = pd.DataFrame({"key": key.to_numpy(), "score": score, "order": order,
                         "anchor": anchor})[cand]
    pick = pick.sort_values(["key", "score", "order"], ascending=[True, True, False],
                            kind="mergesort")
    pick = pick.drop_duplicates("key").sort_values("anchor")
    return reports.iloc[pick["order"].to_numpy()]


def extract(args):
    reader = Reader(args.data, args.static)
    start, end = parse_time(args.start), parse_time(args.end)
    t = start
    while t <= end:
        h = hour(reader, t, args.window)
        if h is not None:
            yield h
        t += pd.Timedelta(hours=1)


def obs_minutes(frame):
    return (frame["obtime"].to_numpy() + EPOCH) // 60


def text(values):
    """Shortest text of each float32 that reads back to it, "" for MISS."""
    t = values.astype(str)
    whole = np.char.endswith(t, ".0")
    t[whole] = np.char.rstrip(np.char.rstrip(t[whole], "0"), ".")
    t[values == MISS] = ""
    return t


def to_csv(frames, out):
    """The tool's CSV columns (station fields, then value, descriptor and the
    two masks per variable), floats as the shortest text of the float."""
    first = True
    with open(out, "w", newline="") as f:
        for h in frames:
            o = pd.DataFrame({
                "time": h["time"].dt.strftime("%Y-%m-%dT%H:%MZ"),
                "station": h["station"],
                "wmo": h["wmo"].astype(str).where(h["wmo"] != 999999, ""),
                "provider": h["provider"], "network": "MESONET",
                "lat": text(h["lat"].to_numpy()), "lon": text(h["lon"].to_numpy()),
                "elev": text(h["elev"].to_numpy()),
                "obs_time": pd.to_datetime(obs_minutes(h), unit="m").strftime("%Y-%m-%dT%H:%MZ")})
            for v in VARS:
                o[v] = text(h[v].to_numpy())
                o[v + "_qcd"] = [chr(c) if c not in (0, 32) else "" for c in h[v + "_qcd"]]
                o[v + "_qca"] = h[v + "_qca"]
                o[v + "_qcr"] = h[v + "_qcr"]
            o.to_csv(f, header=first, index=False)
            first = False


# ---- what the library gave

def read_dump(path):
    """The dump of extract_week: per hour its stations and columns."""
    buf = open(path, "rb").read()
    pos = 0

    def take(dtype, n):
        nonlocal pos
        a = np.frombuffer(buf, dtype=dtype, count=n, offset=pos)
        pos += a.nbytes
        return a

    if buf[:8] != b"VRNDUMP1":
        raise SystemExit("%s: not a dump of extract_week" % path)
    pos = 8
    nvars = int(take(np.int32, 1)[0])
    names = [bytes(take(np.uint8, 16)).rstrip(b" ").decode() for _ in range(nvars)]
    hours = []
    while True:
        tag = bytes(take(np.uint8, 4))
        if tag == b"END.":
            break
        minutes, = take(np.int64, 1)
        status, n = take(np.int32, 2)
        ids = take(np.uint8, n * 10).reshape(n, 10)
        provs = take(np.uint8, n * 10).reshape(n, 10)
        h = pd.DataFrame({
            "station": [bytes(r).rstrip(b" ").decode("latin-1") for r in ids],
            "provider": [bytes(r).rstrip(b" ").decode("latin-1") for r in provs],
            "wmo": take(np.int32, n)})
        take(np.int32, n)  # source numbers
        for c in ("lat", "lon", "elev"):
            h[c] = take(np.float32, n)
        h["obs_min"] = take(np.int64, n)
        for name in names:
            levels, _ = take(np.int32, 2)
            k = n * levels
            h[name] = take(np.float32, k)
            h[name + "_qcd"] = take(np.uint8, k)
            h[name + "_qca"] = take(np.int32, k)
            h[name + "_qcr"] = take(np.int32, k)
        h["time"] = pd.Timestamp("1970-01-01") + pd.Timedelta(minutes=int(minutes))
        if n:
            hours.append(h)
    return hours


def read_csv(path):
    """The tool's CSV, hour by hour, in the dump's terms."""
    raw = pd.read_csv(path, dtype=str, keep_default_na=False)
    out = pd.DataFrame({"station": raw["station"], "provider": raw["provider"]})
    out["wmo"] = raw["wmo"].replace("", "999999").astype(np.int32)

    def floats(texts):
        # Through float64, which the shortest text of a float32 reads back to.
        return np.array([float(x) if x else 999999.0 for x in texts]).astype(np.float32)

    for c in ("lat", "lon", "elev"):
        out[c] = floats(raw[c])
    obs = pd.to_datetime(raw["obs_time"].str.rstrip("Z"), errors="coerce")
    out["obs_min"] = np.where(obs.isna(), NO_TIME,
                              (obs - pd.Timestamp("1970-01-01")) // pd.Timedelta(minutes=1))
    for v in VARS:
        out[v] = floats(raw[v])
        out[v + "_qcd"] = np.array([ord(c) if c else 32 for c in raw[v + "_qcd"]], dtype=np.uint8)
        out[v + "_qca"] = raw[v + "_qca"].astype(np.int32)
        out[v + "_qcr"] = raw[v + "_qcr"].astype(np.int32)
    out["time"] = pd.to_datetime(raw["time"].str.rstrip("Z"))
    return [g.reset_index(drop=True) for _, g in out.groupby("time", sort=True)]


def same(a, b):
    """Equal bit for bit (floats compared as their bits)."""
    a, b = np.asarray(a), np.asarray(b)
    if a.dtype == np.float32:
        return a.view(np.uint32) == b.astype(np.float32).view(np.uint32)
    return a == b


def check(args):
    lib = read_dump(args.dump) if args.dump else read_csv(args.csv)
    peer = list(extract(args))
    problems, compared, present, differ = [], 0, 0, 0
    if [h["time"].iloc[0] for h in lib] != [h["time"].iloc[0] for h in peer]:
        problems.append("hours differ: library %d, peer %d" % (len(lib), len(peer)))
        differ += 1
    for lh, ph in zip(lib, peer):
        when = lh["time"].iloc[0].strftime("%Y-%m-%dT%H:%MZ")
        if len(lh) != len(ph):
            problems.append("%s: %d stations in the library, %d in the peer"
                            % (when, len(lh), len(ph)))
            differ += max(len(lh), len(ph))
            continue
        ph = ph.reset_index(drop=True)
        ph["obs_min"] = obs_minutes(ph)
        for c in ["station", "provider", "wmo", "lat", "lon", "elev", "obs_min"] + [
                v + s for v in VARS for s in ("", "_qcd", "_qca", "_qcr")]:
            x, y = lh[c].to_numpy(), ph[c].to_numpy()
            if c.endswith("_qcd"):
                # A blank or NUL descriptor is no descriptor in every form.
                x, y = np.where(x == 0, 32, x), np.where(y == 0, 32, y)
            ok = same(x, y)
            compared += len(ok)
            differ += int((~ok).sum())
            if c in VARS:
                present += int((x != MISS).sum())
            for i in np.nonzero(~ok)[0][:3]:
                problems.append("%s %s %s: library %r, peer %r"
                                % (when, lh["station"][i], c, x[i], y[i]))
    for p in problems[:40]:
        print(p)
    print("compared %d fields of %d station-hours in %d hours (%d values present); %d differ"
          % (compared, sum(len(h) for h in lib), len(lib), present, differ))
    return 1 if problems else 0


def window(text):
    parts = [int(x) for x in text.split(",")]
    if len(parts) != 3 or parts[0] > parts[1] or not 0 <= parts[2] <= 4:
        raise argparse.ArgumentTypeError("expected BEFORE,AFTER,MODE")
    return tuple(parts)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("mode", choices=["extract", "check"])
    ap.add_argument("--data", required=True)
    ap.add_argument("--static", required=True)
    ap.add_argument("--start", required=True)
    ap.add_argument("--end", required=True)
    ap.add_argument("--window", type=window, default=(0, 0, 0),
                    help="minutes before and after t and record mode, as voran extract --window")
    ap.add_argument("-o", "--output")
    ap.add_argument("--dump")
    ap.add_argument("--csv")
    args = ap.parse_args()
    if args.mode == "check":
        if not (args.dump or args.csv):
            ap.error("check needs --dump or --csv")
        return check(args)
    t0, c0 = time.perf_counter(), time.process_time()
    frames = extract(args)
    if args.output:
        to_csv(frames, args.output)
    else:
        rows = sum(len(h) for h in frames)
        print("rows %d" % rows)
    print("peer_seconds %.3f" % (time.perf_counter() - t0))
    print("peer_cpu_seconds %.3f" % (time.process_time() - c0))
    print("import_seconds %.3f" % IMPORT_WALL)
    return 0


if __name__ == "__main__":
    sys.exit(main())
