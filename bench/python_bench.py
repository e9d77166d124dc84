#!/usr/bin/python3
"""What the Python package costs: processor time of voran.read against the
same query through the C++ layer, and against the NumPy peer.

    python_bench.py --build BUILD [--large DIR] [--sample DIR] [--reps N]

(1) voran.read of stalist's 41 variables (every mesonet provider) on the
    large MESONET file, against voran_layer_time (a C++ program making the
    same voran::fetch); target: at most 1.3 times the layer.
(2) voran.read of T, TD, U, V, PCP1H (mesonet providers), DataFrame
    included, against bench/peer.py on the same file; target: at least 6
    times faster. The peer's columns are checked against the frame's.

Each figure is the median of N runs (default 5) after a first, cold run,
each kind in its own process, as processor time (process_time; the peer's
imports are made before its clock starts). The machine is shared: run it
when it is quiet, or read the medians with that in mind.
"""
import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
TOP = HERE.parent
PYTHON = "/usr/bin/python3"
TIME = "2021-08-25T20:00"
STALIST = ("TD ALTSE P T DD FF SOILM SOILT PCP1H PCP24H PCPUTCM PCPRATE DDGUST FFGUST RDT1 RDT2 "
           "RDT3 RDT4 RDLFT1 RDLFT2 RDLFT3 RDLFT4 RDLIP1 RDLIP2 RDLIP3 RDLIP4 RDLDP1 RDLDP2 "
           "RDLDP3 RDLDP4 RDSTA1 RDSTA2 RDSTA3 RDSTA4 FSRD15M FSRD1H FSRD24H DSRD15M DSRD1H "
           "DSRD24H VIS").split()
PEER_VARS = ["T", "TD", "U", "V", "PCP1H"]

# Runs voran.read REPS times in a fresh interpreter; prints one CPU time a run.
READ = r"""
import sys, time
import voran
static, data, reps, variables = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4].split(",")
for _ in range(reps):
    t = time.process_time()
    df = voran.read("%s", variables, providers=["ALL-MESO"], static=static, data=data)
    print("seconds %%.6f stations %%d" %% (time.process_time() - t, len(df)), flush=True)
    del df
""" % TIME

# The peer's main() with its imports made before the clock starts.
PEER = r"""
import runpy, sys, time
import ctypes, netCDF4, numpy
path, srcin, out = sys.argv[1:4]
sys.argv = [sys.argv[4], path, srcin, out]
t = time.process_time()
runpy.run_path(sys.argv[0], run_name="__main__")
print("seconds %.6f" % (time.process_time() - t), flush=True)
"""


def seconds(lines):
    return [float(line.split()[1]) for line in lines.splitlines() if line.startswith("seconds")]


def run(cmd, env=None):
    r = subprocess.run(cmd, capture_output=True, text=True, env=env)
    if r.returncode != 0:
        sys.exit(f"python_bench: {cmd[0]} failed:\n{r.stderr}")
    return r.stdout


def median_warm(times):
    return statistics.median(times[1:] if len(times) > 1 else times)


def python_env(build):
    env = dict(os.environ)
    env["PYTHONPATH"] = str(build / "python")
    return env


def read_times(build, static, data, variables, reps):
    return seconds(run([PYTHON, "-c", READ, static, data, str(reps + 1), ",".join(variables)],
                       python_env(build)))


def layer_times(build, static, data, variables, reps):
    return seconds(run([str(build / "python" / "voran_layer_time"), static, data, TIME,
                        str(reps + 1), "ALL-MESO", ",".join(variables)]))


def peer_times(static, data, reps, out):
    mesonet = os.path.join(data, "KORB", "mesonet", "netCDF", "20210825_2000")
    times = []
    for _ in range(reps + 1):
        times += seconds(run([PYTHON, "-c", PEER, mesonet, os.path.join(static, "sfcsrcin.txt"),
                              out, str(HERE / "peer.py")]))
    return times


def check_peer(build, static, data, out):
    """The peer's station count and columns equal voran.read's."""
    code = r"""
import sys, numpy as np, voran
static, data, out = sys.argv[1:4]
df = voran.read("%s", ["T", "TD", "U", "V", "PCP1H"], providers=["ALL-MESO"],
                static=static, data=data)
raw = open(out, "rb").read()
n = int(np.frombuffer(raw[:4], np.int32)[0])
ids = np.frombuffer(raw[4:4 + 10 * n], "S10")
cols = np.frombuffer(raw[4 + 10 * n:], np.float32).reshape(5, n)
bad = 0 if n == len(df) else 1
if not bad:
    bad += int((np.char.strip(ids.astype("U10")) != df.station.to_numpy().astype("U10")).sum())
    for k, name in enumerate(["T", "TD", "U", "V", "PCP1H"]):
        mine = df[name].to_numpy()
        mine = np.where(np.isnan(mine), np.float32(999999.0), mine)
        bad += int((mine.view(np.int32) != cols[k].view(np.int32)).sum())
print("peer stations %%d, voran %%d, differing entries %%d" %% (n, len(df), bad))
""" % TIME
    print("  " + run([PYTHON, "-c", code, static, data, out], python_env(build)).strip())


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", type=pathlib.Path, required=True)
    ap.add_argument("--large", default=str(TOP / "data" / "bench" / "large-netcdf4-280000"))
    ap.add_argument("--sample", default=None, help="a sample tree, measured as well")
    ap.add_argument("--reps", type=int, default=5)
    a = ap.parse_args()
    build = a.build.resolve()
    static = str(build / "static")
    trees = [("280,000-record MESONET file", a.large)]
    if a.sample:
        trees.append(("sample tree", a.sample))
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "peer.out")
        for label, data in trees:
            print(f"== {label} ({data}); median of {a.reps} warm runs, processor time")
            lay = median_warm(layer_times(build, static, data, STALIST, a.reps))
            py = median_warm(read_times(build, static, data, STALIST, a.reps))
            print(f"  41 variables: C++ layer {lay:.3f} s, voran.read {py:.3f} s, "
                  f"ratio {py / lay:.2f} (target <= 1.3)")
            peer = median_warm(peer_times(static, data, a.reps, out))
            py5 = median_warm(read_times(build, static, data, PEER_VARS, a.reps))
            print(f"  peer's 5 variables: peer {peer:.3f} s, voran.read {py5:.3f} s, "
                  f"peer / voran.read {peer / py5:.1f} (target >= 6)")
            check_peer(build, static, data, out)


if __name__ == "__main__":
    main()
