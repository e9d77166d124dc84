#!/usr/bin/env bash
# Scale-out benchmark over a week of hourly sample data (168 hours, all ten
# networks, made by gen_sample into data/week, git-ignored): the MESONET
# variables T, TD, DD, FF and PCP1H of the mesonet providers (ALL-MESO), one
# report per station and provider within half an hour of each hour, taken by
#   - the Python peer bench/week_peer.py (xarray and pandas, CSV out),
#   - voran extract --jobs 1 and --jobs 2 (CSV out),
#   - voran.read_range (a DataFrame),
#   - voran.dask.read_range on a LocalCluster of 1 and 2 worker processes:
#     gathered with partitions of an hour and of a day, and counted in the
#     workers.
# Each figure is the median of three runs of wall and processor time (the
# processor time of every process involved: children, and Dask's workers).
# A tool not built yet is skipped with a line naming what is missing. The
# peer's values are checked against the tool's CSV (or, without the tool,
# against the C++ layer's dump from extract_week), and --jobs 2 against
# --jobs 1 byte for byte.
#
# Lines a script can read:
#   machine: cpu="MODEL" cores=N hours=N
#   summary: figure=NAME wall_s=X cpu_s=X runs=3
#   summary: check=NAME ok=yes|no ...
#   summary: ratio=NAME value=X
#
#   bench/scale_bench.sh [BUILD_DIR]   (default build-scale, configured here)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build-scale}")
python=/usr/bin/python3
data="$top/data/week"
out="$top/data/scale"
runs=3
start=2021-08-25T19:00
hours=168
vars=T,TD,DD,FF,PCP1H
window=-30,30,1

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORAN_WERROR=ON >/dev/null
fi
targets=$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p')
want=(gen_sample static_dir)
for t in extract_week voran_cli voran_python; do
  if grep -qx "$t" <<<"$targets"; then want+=("$t"); fi
done
cmake --build "$build" -j2 --target "${want[@]}" >/dev/null

# The week, made again only when the generator changed. A gen_sample of
# before the range options makes the three afternoon hours only: the run
# says so and goes on with those (in data/afternoon, so that a later run
# makes the week).
mkdir -p "$out"
# The generator's source and the range name what the tree holds.
made_by="$(md5sum <"$top/tools/gen_sample.cpp" | cut -d' ' -f1) $start $hours"
if [ "$(cat "$data/.complete" 2>/dev/null)" != "$made_by" ]; then
  rm -rf "$data"
  if "$build/gen_sample" "$data" "$top/static" --start "$start" --hours "$hours" \
      2>"$out/gen.err"; then
    echo "$made_by" >"$data/.complete"
  else
    echo "skipped: the week (gen_sample has no --start/--hours); three hours instead"
    rm -rf "$data"
    data="$top/data/afternoon"
    hours=3
    made_by="$(md5sum <"$top/tools/gen_sample.cpp" | cut -d' ' -f1) afternoon"
    if [ "$(cat "$data/.complete" 2>/dev/null)" != "$made_by" ]; then
      rm -rf "$data"
      "$build/gen_sample" "$data" "$top/static"
      echo "$made_by" >"$data/.complete"
    fi
  fi
fi
end=$("$python" -c 'import sys, datetime as d; t = d.datetime.fromisoformat(sys.argv[1]); print((t + d.timedelta(hours=int(sys.argv[2]) - 1)).strftime("%Y-%m-%dT%H:%M"))' "$start" "$hours")
static="$build/static"
voran="$build/cli/voran"
pypath="$build/python"

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
echo "machine: cpu=\"$cpu\" cores=$(nproc) hours=$hours"

# Runs a command $runs times; prints the medians of wall and processor time
# (user and system time of the command and everything it waited for).
timed() {
  local name=$1
  shift
  "$python" - "$name" "$runs" "$@" <<'EOF'
import resource, statistics, subprocess, sys, time
name, runs, cmd = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
wall, cpu = [], []
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    wall.append(time.perf_counter() - t0)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print("summary: figure=%s wall_s=%.3f cpu_s=%.3f runs=%d"
      % (name, statistics.median(wall), statistics.median(cpu), runs))
EOF
}

log="$out/scale.log"
: >"$log"
say() { echo "$@" | tee -a "$log"; }
# Runs a command that prints one summary line and logs the line; a failing
# command ends the benchmark.
record() {
  local line
  line=$("$@")
  say "$line"
}

record timed peer "$python" "$top/bench/week_peer.py" extract --data "$data" --static "$static" \
  --start "$start" --end "$end" --window="$window" -o "$out/peer.csv"

if [ ! -x "$voran" ]; then
  say "skipped: voran extract --jobs 1 and 2 (no voran tool in $build/cli)"
else
  extract=("$voran" extract --time "$start" --end "$end" --vars "$vars" --providers ALL-MESO
    --window="$window" --format csv --static "$static" --data "$data" -q)
  if "$voran" extract --help 2>&1 | grep -q -- '--jobs'; then
    record timed jobs1 "${extract[@]}" --jobs 1 -o "$out/jobs1.csv"
    record timed jobs2 "${extract[@]}" --jobs 2 -o "$out/jobs2.csv"
    if cmp -s "$out/jobs1.csv" "$out/jobs2.csv"; then same=yes; else same=no; fi
    say "summary: check=jobs2_equals_jobs1 ok=$same"
  else
    say "skipped: voran extract --jobs (the tool has no --jobs); one process instead"
    record timed extract "${extract[@]}" -o "$out/jobs1.csv"
  fi
fi

# The peer's values against the library's.
if [ -f "$out/jobs1.csv" ]; then
  against=(--csv "$out/jobs1.csv")
  what="the tool's CSV"
elif [ -x "$build/extract_week" ]; then
  "$build/extract_week" --static "$static" --data "$data" --start "$start" --end "$end" \
    --vars "$vars" --providers ALL-MESO --window "$window" -o "$out/layer.dump"
  against=(--dump "$out/layer.dump")
  what="the C++ layer's dump"
else
  against=()
fi
if [ ${#against[@]} -eq 0 ]; then
  say "skipped: the peer's check (neither the voran tool nor extract_week is built)"
else
  result=$("$python" "$top/bench/week_peer.py" check --data "$data" --static "$static" \
    --start "$start" --end "$end" --window="$window" "${against[@]}" | tail -1) || true
  echo "peer against $what: $result"
  say "$("$python" - "$result" <<'EOF'
import re, sys
m = re.match(r"compared (\d+) fields of (\d+) station-hours in (\d+) hours \((\d+) values present\); (\d+) differ", sys.argv[1])
if m is None:
    print("summary: check=peer_equals_library ok=no")
else:
    f, s, h, v, d = m.groups()
    print("summary: check=peer_equals_library ok=%s fields=%s station_hours=%s values=%s differ=%s"
          % ("yes" if d == "0" else "no", f, s, v, d))
EOF
)"
fi

# voran.read_range, and voran.dask.read_range on one and two workers.
if ! PYTHONPATH="$pypath" "$python" -c 'import voran; voran.read_range' 2>/dev/null; then
  say "skipped: voran.read_range (no voran Python package in $pypath)"
else
  PYTHONPATH="$pypath" record timed read_range "$python" -c '
import sys, voran
s, e, v, st, d, w = sys.argv[1:]
df = voran.read_range(s, e, v.split(","), providers=["ALL-MESO"], window=[int(x) for x in w.split(",")],
                      static=st, data=d, progress=False)
print(len(df))' "$start" "$end" "$vars" "$static" "$data" "$window"
fi
if ! PYTHONPATH="$pypath" "$python" -c 'import voran.dask, distributed' 2>/dev/null; then
  say "skipped: voran.dask.read_range (no voran.dask in $pypath, or no distributed)"
else
  # The cluster is started once, outside the timed runs; processor time is
  # that of the client and of every worker process. The driver is a file:
  # worker processes started by spawning import the main module again.
  cat >"$out/dask_run.py" <<'EOF'
import resource, statistics, sys, time
import distributed
import voran.dask

def cpu_seconds():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


if __name__ == "__main__":
    n, runs, s, e, v, st, d, w = sys.argv[1:]
    n, runs = int(n), int(runs)
    t0 = time.perf_counter()
    with distributed.LocalCluster(n_workers=n, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        startup = time.perf_counter() - t0
        # The frame gathered here, with partitions of an hour and of a day;
        # and a day's partitions counted in the workers (nothing gathered:
        # what a job that writes or reduces in the workers pays for Dask).
        for name, partition, gather in (("", "1h", True), ("_1D", "1D", True),
                                        ("_1D_count", "1D", False)):
            wall, cpu = [], []
            for _ in range(runs):
                before = sum(client.run(cpu_seconds).values()) + cpu_seconds()
                t1 = time.perf_counter()
                ddf = voran.dask.read_range(s, e, v.split(","), partition=partition,
                                            providers=["ALL-MESO"],
                                            window=[int(x) for x in w.split(",")],
                                            static=st, data=d)
                rows = len(ddf.compute()) if gather else len(ddf)  # len: counted in the workers
                wall.append(time.perf_counter() - t1)
                cpu.append(sum(client.run(cpu_seconds).values()) + cpu_seconds() - before)
            print("summary: figure=dask%d%s wall_s=%.3f cpu_s=%.3f runs=%d rows=%d "
                  "cluster_start_s=%.3f"
                  % (n, name, statistics.median(wall), statistics.median(cpu), runs, rows,
                     startup), flush=True)
EOF
  for n in 1 2; do
    PYTHONPATH="$pypath" timeout 1800 "$python" "$out/dask_run.py" "$n" "$runs" \
      "$start" "$end" "$vars" "$static" "$data" "$window" | tee -a "$log"
  done
fi

# Ratios of the figures there are: the targets are the tool at least 10
# times faster than the peer, two processes at least 1.7 times faster than
# one (--jobs and Dask alike), and Dask at most 15% slower than --jobs.
"$python" - "$log" <<'EOF' | tee -a "$log"
import re, sys
wall = {}
for line in open(sys.argv[1]):
    m = re.match(r"summary: figure=(\w+) wall_s=([\d.]+)", line)
    if m:
        wall[m.group(1)] = float(m.group(2))
one = "jobs1" if "jobs1" in wall else "extract"
pairs = [("peer_over_tool", "peer", one), ("jobs1_over_jobs2", "jobs1", "jobs2"),
         ("read_range_over_tool", "read_range", one)]
for p in ("", "_1D", "_1D_count"):
    pairs += [("dask1%s_over_dask2%s" % (p, p), "dask1" + p, "dask2" + p),
              ("dask1%s_over_jobs1" % p, "dask1" + p, "jobs1"),
              ("dask2%s_over_jobs2" % p, "dask2" + p, "jobs2")]
pairs.append(("dask1_1D_over_read_range", "dask1_1D", "read_range"))
for name, a, b in pairs:
    if a in wall and b in wall and wall[b] > 0:
        print("summary: ratio=%s value=%.2f" % (name, wall[a] / wall[b]))
EOF
