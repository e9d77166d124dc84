#!/usr/bin/python3
"""Whole-process costs of the voran tool against the public calls alone.

    bench/tool_bench.py BUILD STATIC LARGE_TREE SAMPLE_RANGE_TREE [ROUNDS]

(1) `voran extract` of stalist's 41 variables, MESONET providers, over the
large file's hour, to NetCDF and to CSV, against lib_calls (the same calls
with nothing written); (2) a 24-hour range of the sample tree. Every figure
is processor time (user + system) of the process, as the kernel accounts it
when the process ends; each ratio is taken within a round and the median,
minimum and maximum over the rounds are printed, then one line a script can
read:  summary: netcdf_over_calls=X csv_over_calls=X range_hours_per_s=X
"""
import os
import platform
import statistics
import subprocess
import sys
import tempfile

VARS = ("TD,ALTSE,P,T,DD,FF,SOILM,SOILT,PCP1H,PCP24H,PCPUTCM,PCPRATE,DDGUST,FFGUST,RDT1,RDT2,"
        "RDT3,RDT4,RDLFT1,RDLFT2,RDLFT3,RDLFT4,RDLIP1,RDLIP2,RDLIP3,RDLIP4,RDLDP1,RDLDP2,RDLDP3,"
        "RDLDP4,RDSTA1,RDSTA2,RDSTA3,RDSTA4,FSRD15M,FSRD1H,FSRD24H,DSRD15M,DSRD1H,DSRD24H,VIS")


def cpu(cmd):
    """Processor seconds of one run of cmd, on processor 0."""
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         preexec_fn=lambda: os.sched_setaffinity(0, {0}))
    _, status, ru = os.wait4(p.pid, 0)
    err = p.stderr.read().decode()
    if status != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), err))
    return ru.ru_utime + ru.ru_stime


def spread(xs):
    return "median %.3f (min %.3f, max %.3f)" % (statistics.median(xs), min(xs), max(xs))


def main():
    build, static, large, sample = sys.argv[1:5]
    rounds = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    tool = os.path.join(build, "cli", "voran")
    calls = os.path.join(build, "lib_calls")
    model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
                  if l.startswith("model name")), platform.processor())
    print("machine: %s, %d processors; runs kept on processor 0" % (model, os.cpu_count()))
    out = tempfile.mkdtemp()
    base = [tool, "extract", "--static", static, "--quiet"]
    hour = ["--time", "2021-08-25T20:00", "--vars", VARS, "--providers", "ALL-MESO"]
    lib = [calls, static, large, "2021", "08", "25", "20"]
    nc = base + ["--data", large] + hour + ["--format", "netcdf", "-o", out + "/x.nc"]
    csv = base + ["--data", large] + hour + ["--format", "csv", "-o", out + "/x.csv"]
    rng = base + ["--data", sample, "--time", "2021-08-25T19:00", "--end", "2021-08-26T18:00",
                  "--vars", "T,TD,DD,FF,PCP1H", "-o", out + "/r.csv"]
    for c in (lib, nc, csv, rng):  # warm the page cache and check each runs
        cpu(c)
    print("csv output: %.0f MB" % (os.path.getsize(out + "/x.csv") / 1e6))
    r_nc, r_csv, t_lib, t_nc, t_csv, hps = [], [], [], [], [], []
    for _ in range(rounds):
        a, b, c, d = cpu(lib), cpu(nc), cpu(csv), cpu(rng)
        t_lib.append(a)
        t_nc.append(b)
        t_csv.append(c)
        r_nc.append(b / a)
        r_csv.append(c / a)
        hps.append(24 / d)
    print("library calls alone, s:      " + spread(t_lib))
    print("voran extract to NetCDF, s:  " + spread(t_nc))
    print("voran extract to CSV, s:     " + spread(t_csv))
    print("NetCDF / calls:              " + spread(r_nc))
    print("CSV / calls:                 " + spread(r_csv))
    print("24-hour range, hours per s:  " + spread(hps))
    print("summary: netcdf_over_calls=%.2f csv_over_calls=%.2f range_hours_per_s=%.1f" %
          (statistics.median(r_nc), statistics.median(r_csv), statistics.median(hps)))


if __name__ == "__main__":
    main()
