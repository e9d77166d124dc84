#!/usr/bin/python3
"""What the Python package costs: processor time of voran.read against the
same query through the C++ layer, and against the NumPy peer.

    python_bench.py --build BUILD [--large DIR] [--sample DIR] [--reps N] [--rounds N]

(1) voran.read of stalist's 41 variables (every mesonet provider) on the
    large MESONET file, against voran_layer_time (a C++ program making the
    same voran::fetch); target: at most 1.3 times the layer.
(2) voran.read of T, TD, U, V, PCP1H (mesonet providers), DataFrame
    included, against bench/peer.py on the same file; target: at least 6
    times faster. The peer's columns are checked against the frame's.

Processor time (process_time; the peer's imports are made before its clock
starts), every process on one processor. Each side of a comparison runs in
its own process, a first cold run and then --reps warm ones (their median);
--rounds rounds alternate the two sides and the medians over rounds are
reported, with the range of the rounds' ratios. The machine is shared: the
rounds' spread says how much other load moved the figures.
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


def paired(a_times, b_times, rounds):
    """Rounds alternate the two sides, so that a spell of other load slows
    both sides of a round; each side is the median of its warm runs."""
    a, b, ratio = [], [], []
    for _ in range(rounds):
        ta, tb = median_warm(a_times()), median_warm(b_times())
        a.append(ta)
        b.append(tb)
        ratio.append(tb / ta)
    return statistics.median(a), statistics.median(b), statistics.median(ratio), min(ratio), \
        max(ratio)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", type=pathlib.Path, required=True)
    ap.add_argument("--large", default=str(TOP / "data" / "bench" / "large-netcdf4-280000"))
    ap.add_argument("--sample", default=None, help="a sample tree, measured as well")
    ap.add_argument("--reps", type=int, default=3, help="warm runs a process")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--cpu", type=int, default=0, help="the processor every run is kept on")
    a = ap.parse_args()
    build = a.build.resolve()
    static = str(build / "static")
    # On one processor: moved between processors, runs spread widely.
    os.sched_setaffinity(0, {a.cpu})
    trees = [("280,000-record MESONET file", a.large)]
    if a.sample:
        trees.append(("sample tree", a.sample))
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "peer.out")
        for label, data in trees:
            print(f"== {label} ({data})\n   processor time; {a.rounds} rounds, each side the "
                  f"median of {a.reps} warm runs in one process")
            lay, py, r, lo, hi = paired(
                lambda: layer_times(build, static, data, STALIST, a.reps),
                lambda: read_times(build, static, data, STALIST, a.reps), a.rounds)
            print(f"  41 variables: C++ layer {lay:.3f} s, voran.read {py:.3f} s; "
                  f"voran.read / layer {r:.2f} (rounds {lo:.2f}-{hi:.2f}; target <= 1.3)")
            lay5, py5, r5, lo5, hi5 = paired(
                lambda: layer_times(build, static, data, PEER_VARS, a.reps),
                lambda: read_times(build, static, data, PEER_VARS, a.reps), a.rounds)
            print(f"  peer's 5 variables: C++ layer {lay5:.3f} s, voran.read {py5:.3f} s; "
                  f"voran.read / layer {r5:.2f} (rounds {lo5:.2f}-{hi5:.2f})")
            peer, py5b, rp, lop, hip = paired(
                lambda: peer_times(static, data, a.reps, out),
                lambda: read_times(build, static, data, PEER_VARS, a.reps), a.rounds)
            print(f"  peer {peer:.3f} s, voran.read {py5b:.3f} s; peer / voran.read "
                  f"{1 / rp:.1f} (rounds {1 / hip:.1f}-{1 / lop:.1f}; target >= 6); "
                  f"peer / layer {peer / lay5:.1f}")
            check_peer(build, static, data, out)


if __name__ == "__main__":
    main()
