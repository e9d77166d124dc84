#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets in build-fuzz,
# seeds their corpora (tests/fuzz/corpus-*, not committed) from the static
# tables and from sample files of gen_sample, and runs each target for
# SECONDS (default 60), one after another, at the lowest priority.
# A finding stops the script with the fuzzer's exit status; the reproducer
# is left in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_tables fuzz_time fuzz_datafile fuzz_ncstruct)
root=$PWD
b=$root/build-fuzz
corp=$root/tests/fuzz

mkdir -p "$b"
cmake -S "$root" -B "$b" -DVORAN_FUZZ=ON -DVORAN_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORAN_WERROR=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > "$b/fuzz-cmake.log" 2>&1 ||
  { cat "$b/fuzz-cmake.log"; exit 1; }
nice -n 19 cmake --build "$b" -j2 --target "${targets[@]}" make_seeds gen_sample static_dir > "$b/fuzz-build.log" 2>&1 ||
  { tail -50 "$b/fuzz-build.log"; exit 1; }

# Table seeds: the selector byte followed by an installed table.
seed_table() {  # selector table-file
  local dir=$corp/corpus-fuzz_tables
  mkdir -p "$dir"
  { printf "\\$(printf '%03o' "$1")"; cat "$b/static/$2"; } > "$dir/seed-$1-$2"
}
seed_table 0 sfctbl.txt
seed_table 1 sfcvcn.txt
seed_table 2 stadic.txt
seed_table 3 sfcsrcin.txt
seed_table 4 topomini.txt
seed_table 5 raobtbl.txt
seed_table 6 snowsrcin.txt
seed_table 14 snowtbl.txt
seed_table 7 raobvcn.txt

# Time seeds: a few valid calendar values per routine.
mkdir -p "$corp/corpus-fuzz_time"
for s in 0 1 2 3; do
  printf "\\$(printf '%03o' $s)212372000\\0\\0\\7\\345\\0\\0\\0\\10\\0\\0\\0\\31" > "$corp/corpus-fuzz_time/seed$s"
done

# Data-file seeds: the 20:00 files of gen_sample, cut to a few records.
if [ ! -d "$b/sample/point" ]; then
  "$b/gen_sample" "$b/sample" > /dev/null
fi
"$b/make_seeds" "$b/sample" "$b/samples" "$corp/corpus-fuzz_datafile" "$corp/corpus-fuzz_ncstruct"

export VORAN_FUZZ_SAMPLES=$b/samples VORAN_FUZZ_STATIC=$b/static
# A corrupt header may announce gigabytes: the NetCDF library then asks for
# them and must be told no (as the system would), not stop the run.
export ASAN_OPTIONS=allocator_may_return_null=1
mkdir -p "$b/findings"
for t in "${targets[@]}"; do
  echo "== $t: $secs s"
  mkdir -p "$corp/corpus-$t"
  rc=0
  # The structure-aware target reads its input as a list of changes: let it
  # use several at once from the start.
  extra=()
  [ "$t" = fuzz_ncstruct ] && extra=(-len_control=0)
  nice -n 19 "$b/$t" "${extra[@]}" -max_total_time="$secs" -timeout=60 -rss_limit_mb=4096 -malloc_limit_mb=1048576 -max_len=65536 \
    -artifact_prefix="$b/findings/$t-" -print_final_stats=1 "$corp/corpus-$t" \
    > "$b/findings/$t.log" 2>&1 || rc=$?
  grep -E '^(stat::|FUZZ CHECK|SUMMARY|Done)|runtime error|ERROR' "$b/findings/$t.log" | tail -20 || true
  if [ "$rc" -ne 0 ]; then
    echo "$t: finding (exit $rc), see $b/findings"
    exit "$rc"
  fi
done
