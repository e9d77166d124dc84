#!/usr/bin/python3
"""What a user would write instead of the library, for one MESONET file.

peer.py MESONET_FILE SFCSRCIN OUT

Builds the station list of the file with the library's default filters (all
mesonet providers selected, no time window, no duplicate resolution, no
domain: a report is kept when it has a position, an elevation and an
observation time) and returns, per station, the temperature, the dew point
(reported, or derived from relative humidity and temperature), the wind
components and the one-hour precipitation (accumulation of providers whose
period is one hour, else the rate), computing in single precision as the
library does. Writes OUT: the station count (int32), the identifiers (10
bytes each) and five float32 columns T, TD, U, V, PCP1H (999999.0 missing).
Prints the wall and processor seconds spent from opening the file to the
finished columns, the seconds its imports took, and the versions it ran on.
"""
import time

# Taken before the imports so that their cost is known: the benchmark counts
# the work from the open on and reports the start-up apart.
START_WALL, START_CPU = time.perf_counter(), time.process_time()

import ctypes  # noqa: E402
import platform  # noqa: E402
import sys  # noqa: E402
import types  # noqa: E402

import netCDF4  # noqa: E402
import numpy as np  # noqa: E402

IMPORT_WALL = time.perf_counter() - START_WALL
IMPORT_CPU = time.process_time() - START_CPU

MISS = np.float32(999999.0)
FLT_MAX = np.float32(3.4028235e38)
F = np.float32


def sig_len(raw):
    """Length up to the last significant character of each fixed field
    (printable ASCII other than blank and grave accent)."""
    sig = (raw > 32) & (raw < 127) & (raw != 96)
    w = raw.shape[1]
    last = w - np.argmax(sig[:, ::-1], axis=1)
    return np.where(sig.any(axis=1), last, 0)


def fields(raw, width):
    """Fixed fields blank after their last significant character, as bytes."""
    n, w = raw.shape
    keep = sig_len(raw)
    out = np.full((n, width), 32, dtype=np.uint8)
    k = min(w, width)
    cols = np.arange(k)
    part = raw[:, :k].copy()
    part[cols[None, :] >= keep[:, None]] = 32
    part[part == 0] = 32
    out[:, :k] = part
    return out


def chars(ds, name):
    v = ds.variables[name][:]
    return np.asarray(v).view(np.uint8).reshape(v.shape[0], -1)


def numbers(ds, name):
    """A numeric variable as float32 with the file's no-value markers
    (fill value, missing_value with -999, the largest float) made MISS."""
    var = ds.variables[name]
    raw = np.asarray(var[:])
    bad = np.zeros(raw.shape, dtype=bool)
    fill = var.getncattr("_FillValue") if "_FillValue" in var.ncattrs() else None
    if fill is not None:
        bad |= raw == raw.dtype.type(fill)
    elif raw.dtype == np.float32:
        bad |= raw == np.float32(netCDF4.default_fillvals["f4"])
    elif raw.dtype == np.int32:
        bad |= raw == np.int32(netCDF4.default_fillvals["i4"])
    if "missing_value" in var.ncattrs():
        bad |= (raw == raw.dtype.type(var.getncattr("missing_value"))) | (raw == -999)
    if raw.dtype == np.float32:
        bad |= raw == FLT_MAX
    return np.where(bad, MISS, raw.astype(np.float32))


def c_sin_cos(a):
    """Single-precision sine and cosine of the C library, as the library uses.
    NumPy's own float32 sine and cosine differ from them in the last place for
    about one value in eight; directions are whole degrees in practice, so
    there are few distinct angles to evaluate."""
    libm = ctypes.CDLL("libm.so.6")
    for fn in (libm.sinf, libm.cosf):
        fn.restype = ctypes.c_float
        fn.argtypes = [ctypes.c_float]
    uniq, inv = np.unique(a, return_inverse=True)
    s = np.array([libm.sinf(float(v)) for v in uniq], dtype=np.float32)
    c = np.array([libm.cosf(float(v)) for v in uniq], dtype=np.float32)
    return s[inv], c[inv]


def qc_chars(ds, name):
    return chars(ds, name + "DD")[:, 0]


def providers(path):
    """Provider and subtype tables of the static provider file."""
    prov, sub = [], []
    with open(path, "rb") as f:
        for line in f:
            rec = line.rstrip(b"\n").ljust(31)
            if rec[1:2] == b"P":
                prov.append([rec[7:17].rstrip(b" \0"), int(rec[19:21]), int(rec[29:31])])
            elif rec[1:2] == b"S":
                sub.append([rec[7:18].rstrip(b" \0"), int(rec[19:21])])
    return prov, sub


def merge_file_table(ds, prov, sub):
    """The provider table a MESONET file carries updates the static one."""
    if "numPST" not in ds.variables:
        return
    n = int(np.asarray(ds.variables["numPST"][:]).reshape(-1)[0])
    types = chars(ds, "typePST")[:, 0]
    names = chars(ds, "namePST")
    c1 = np.asarray(ds.variables["code1PST"][:])
    c3 = np.asarray(ds.variables["code3PST"][:])
    for j in range(n):
        t = bytes(types[j:j + 1])
        if t == b"P":
            name = bytes(names[j, :10]).replace(b"\0", b" ").rstrip(b" ")
            for e in prov:
                if e[0] == name:
                    e[1], e[2] = int(c1[j]), int(c3[j])
                    break
            else:
                prov.append([name, int(c1[j]), int(c3[j])])
        elif t == b"S":
            name = bytes(names[j, :11]).replace(b"\0", b" ").rstrip(b" ")
            for e in sub:
                if e[0] == name:
                    e[1] = int(c1[j])
                    break
            else:
                sub.append([name, int(c1[j])])


def period_codes(prov_names, stn_names, prov, sub):
    """Precipitation period code of every report; -99 when no provider matches."""
    code = np.full(len(prov_names), -99, dtype=np.int64)
    pn = np.array([bytes(r).rstrip(b" ") for r in prov_names])
    sn = np.array([bytes(r).rstrip(b" ") for r in stn_names])
    for name in np.unique(pn):
        rows = pn == name
        undecided = rows.copy()
        for pname, c1, c3 in prov:
            if pname != name or not undecided.any():
                continue
            if c3 == 0:
                code[undecided] = c1
                undecided[:] = False
                break
            # Period given per station subtype (first 11 characters of the name).
            blank = undecided & (sn == b"")
            undecided &= ~blank
            for sname, s1 in sub:
                hit = undecided & (sn == sname)
                code[hit] = s1
                undecided &= ~hit
    return code


def identity(ds):
    """The station fields of every record of a MESONET file and which records
    the default filters keep (position, elevation and time present; none of
    the providers that "ALL-SFC" off leaves deselected)."""
    stid = fields(chars(ds, "stationId"), 10)
    prov_raw = chars(ds, "dataProvider")
    prov10 = fields(prov_raw, 10)
    wmovar = ds.variables["wmoId"]
    wmo = np.asarray(wmovar[:])
    wfill = wmovar.getncattr("_FillValue") if "_FillValue" in wmovar.ncattrs() else None
    wmo_ok = (wmo != -9999) & (wmo > 0) & (wmo < 100000)
    if wfill is not None:
        wmo_ok &= wmo != wfill
    blank_id = sig_len(stid) == 0
    for k in np.nonzero(blank_id & wmo_ok)[0]:
        digits = str(int(wmo[k])).encode()
        stid[k, :] = 32
        stid[k, :len(digits)] = np.frombuffer(digits, dtype=np.uint8)

    def real(name, extra=None):
        var = ds.variables[name]
        v = np.asarray(var[:]).astype(np.float32)
        bad = np.zeros(v.shape, dtype=bool)
        if "_FillValue" in var.ncattrs():
            bad |= v == np.float32(var.getncattr("_FillValue"))
        if extra is not None:
            bad |= v == np.float32(extra)
        return np.where(bad, MISS, v)

    lat, lon = real("latitude"), real("longitude")
    elev = real("elevation", -9999.0)

    def times(name):
        var = ds.variables[name]
        return np.asarray(var[:]).astype(np.float64), var.getncattr("_FillValue")

    ot, otf = times("observationTime")
    rt, rtf = times("reportTime")
    rc, _ = times("receivedTime")
    o_ok = (ot != -9999.0) & (ot != 0.0) & (ot < otf)
    r_ok = (rt != -9999.0) & (rt != 0.0) & (rt < rtf)
    f = np.where(o_ok, ot, rt)
    has_time = (o_ok | r_ok) & ~(rc < f)
    obtime = np.where(has_time, np.trunc(f) - 1325376000.0, 999999.0)

    # Reports of the providers that "ALL-SFC" off leaves deselected.
    provname = np.array([bytes(r).rstrip(b" ") for r in prov10])
    usable = (~blank_id | wmo_ok) & (provname != b"") & (obtime != 999999.0)
    deselected = usable & np.isin(provname, [b"ASOS", b"COOP", b"OTHER-MTR", b"SAO",
                                              b"MARITIME", b"ASOS-HFM"])
    keep = ((lat != MISS) & (lon != MISS) & (elev != MISS) & (obtime != 999999.0)
            & ~deselected)
    return types.SimpleNamespace(stid=stid, prov_raw=prov_raw, prov10=prov10, wmo=wmo,
                                 wmo_ok=wmo_ok, lat=lat, lon=lon, elev=elev, obtime=obtime,
                                 keep=keep)


def dew_point(T, RH):
    """Dew point (K) from temperature (K) and relative humidity (%), in the
    single-precision steps of the library's formula; MISS where it overflows."""
    with np.errstate(over="ignore", invalid="ignore"):
        c = np.where(T > F(150.0), T - F(273.15), T)
        x = F(1.0) - F(0.01) * RH
        y = (F(0.007) * c + F(2.5)) * x
        x2 = x * x
        x4 = x2 * x2
        x7 = x4 * (x2 * x)
        dew = F(273.15) - (y * y) * y
        dew = dew + c
        dew = dew - (F(0.117) * c + F(15.9)) * (x7 * x7)
        dew = dew - (F(0.114) * c + F(14.55)) * x
    return np.where(np.isfinite(dew), dew, MISS)


def hour_precip(ds, prov_raw, prov, sub):
    """The accumulation (mm to m) of the reports whose provider's period is one
    hour and the rate (m/s to mm/s) of every report, MISS elsewhere. The
    provider tables `prov` and `sub` take the file's own updates."""
    merge_file_table(ds, prov, sub)
    stname = fields(chars(ds, "stationName")[:, :11], 11)
    period = period_codes(fields(prov_raw, 11), stname, prov, sub)
    A = numbers(ds, "precipAccum")
    A = np.where(period == 1, A, MISS)
    A = np.where(A != MISS, A * F(0.001), MISS)
    R = numbers(ds, "precipRate")
    R = np.where(R != MISS, R * F(1000.0), MISS)
    return A, R


def main():
    path, srcin, out = sys.argv[1], sys.argv[2], sys.argv[3]
    t0, c0 = time.perf_counter(), time.process_time()
    ds = netCDF4.Dataset(path)
    ds.set_auto_maskandscale(False)

    # ---- station list ----
    st = identity(ds)
    stid, prov_raw, keep = st.stid, st.prov_raw, st.keep

    # ---- temperature and dew point ----
    T = numbers(ds, "temperature")
    tq = qc_chars(ds, "temperature")
    TD = numbers(ds, "dewpoint")
    RH = numbers(ds, "relHumidity")
    rq = qc_chars(ds, "relHumidity")
    bxq = np.frombuffer(b"BXQ", dtype=np.uint8)
    t_ok = (T != MISS) & ~np.isin(tq, bxq) & (T >= F(89.0)) & (T <= F(422.0))
    rh_ok = (RH != MISS) & ~np.isin(rq, bxq) & (RH >= F(0.0)) & (RH <= F(100.0))
    dew = dew_point(T, RH)
    TDo = np.where(TD != MISS, TD, np.where(t_ok & rh_ok, dew, MISS))

    # ---- wind components ----
    dd = numbers(ds, "windDir")
    ff = numbers(ds, "windSpeed")
    wq_ok = ~np.isin(qc_chars(ds, "windSpeed"), bxq) & ~np.isin(qc_chars(ds, "windDir"), bxq)
    have = (dd < MISS) & (ff < MISS)
    a = np.where(have, F(0.017453292) * dd, F(0.0))
    sin_a, cos_a = c_sin_cos(a)
    with np.errstate(invalid="ignore", over="ignore"):
        U = np.where(have, -ff * sin_a, MISS)
        V = np.where(have, -ff * cos_a, MISS)
    wind_ok = have & wq_ok & (U != MISS) & (V != MISS)
    U = np.where(wind_ok, U, MISS)
    V = np.where(wind_ok, V, MISS)

    # ---- one-hour precipitation ----
    A, R = hour_precip(ds, prov_raw, *providers(srcin))
    P = np.where(A != MISS, A, np.where(R != MISS, R * F(3600.0) / F(1000.0), MISS))

    idx = np.nonzero(keep)[0]
    cols = [col[idx].astype(np.float32) for col in (T, TDo, U, V, P)]
    ids = stid[idx]
    elapsed, cpu = time.perf_counter() - t0, time.process_time() - c0
    ds.close()
    with open(out, "wb") as fo:
        fo.write(np.int32(len(idx)).tobytes())
        fo.write(ids.tobytes())
        for col in cols:
            fo.write(col.tobytes())
    print("peer_seconds %.6f" % elapsed)
    print("peer_cpu_seconds %.6f" % cpu)
    print("import_seconds %.6f" % IMPORT_WALL)
    print("import_cpu_seconds %.6f" % IMPORT_CPU)
    print("versions python=%s numpy=%s netCDF4=%s netcdf=%s hdf5=%s" % (
        platform.python_version(), np.__version__, netCDF4.__version__,
        netCDF4.__netcdf4libversion__, netCDF4.__hdf5libversion__))


if __name__ == "__main__":
    main()
