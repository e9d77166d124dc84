#!/usr/bin/env bash
# Benchmark: builds optimised in build-bench, makes the sample tree and two
# large MESONET files (classic and NetCDF-4) under data/bench (git-ignored),
# and runs voran_bench on each: the library against the read floor and the
# Python peer. Then checks that the library's memory images and kept values
# change no result: a dump of all 41 variables with them and one without them
# must be identical. Each tree ends with a line a script can read,
#   summary: tree=LABEL a_over_floor_mem=X a_over_floor_open=X python_over_library=X peak_rss_mib=X
# and the summaries are repeated together at the end.
#
#   scripts/bench.sh [RECORDS]     (default 280000 records in the large files)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
records=${1:-280000}
build="$top/build-bench"
data="$top/data/bench"
# Debian's interpreter, whose NumPy and netCDF4 come from apt and use the same
# NetCDF and HDF5 as the library; an interpreter of the PATH may lack them.
python=/usr/bin/python3

if ! "$python" -c 'import netCDF4, numpy' 2>/dev/null; then
  echo "installing python3-netcdf4 and python3-numpy"
  apt-get install -y python3-netcdf4 python3-numpy >/dev/null ||
    { apt-get update >/dev/null && apt-get install -y python3-netcdf4 python3-numpy >/dev/null; }
fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORAN_TESTS=OFF \
  -DVORAN_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target voran_bench voran_gen_large gen_sample static_dir

mkdir -p "$data"
if [ ! -f "$data/sample/.complete" ]; then
  rm -rf "$data/sample"
  "$build/gen_sample" "$data/sample" "$top/static"
  touch "$data/sample/.complete"
fi
template="$data/sample/KORB/mesonet/netCDF/20210825_2000"
for kind in classic netcdf4; do
  dir="$data/large-$kind-$records/KORB/mesonet/netCDF"
  if [ ! -f "$dir/.complete" ]; then
    mkdir -p "$dir"
    "$build/voran_gen_large" "$template" "$dir/20210825_2000" "$records" "$kind"
    touch "$dir/.complete"
  fi
done

# Figures are medians over rounds of ratios taken within a round, so that a
# spell of other load on a shared machine moves both sides of a ratio. The
# classic file gets five rounds, not nine: its floor after nc_open alone
# takes a quarter of a minute a round.
bench() { "$build/voran_bench" --static "$build/static" --python "$python" "$@"; }
log="$data/bench.log"
: >"$log"
bench --reps 9 --data "$data/sample" --peer "$top/bench/peer.py" --label "sample tree" \
  --tree sample | tee -a "$log"
bench --reps 5 --data "$data/large-classic-$records" --peer "$top/bench/peer.py" \
  --label "MESONET, $records records, classic" --tree "classic-$records" | tee -a "$log"
bench --reps 9 --data "$data/large-netcdf4-$records" --peer "$top/bench/peer.py" \
  --label "MESONET, $records records, netcdf4" --tree "netcdf4-$records" | tee -a "$log"
echo "== summaries =="
grep '^summary: ' "$log"

echo "== results with and without memory images and kept values =="
status=0
for tree in sample "large-classic-$records" "large-netcdf4-$records"; do
  bench --data "$data/$tree" --reps 1 --a-only --dump "$data/dump.fast" >/dev/null
  bench --data "$data/$tree" --reps 1 --a-only --plain --dump "$data/dump.plain" >/dev/null
  if cmp -s "$data/dump.fast" "$data/dump.plain"; then
    echo "$tree: identical"
  else
    echo "$tree: DIFFERENT"
    status=1
  fi
done
rm -f "$data/dump.fast" "$data/dump.plain"
exit $status
