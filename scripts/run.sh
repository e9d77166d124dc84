#!/usr/bin/env bash
# Build, make the sample data if it is not there yet, and run stalist on the
# bundled static directory and the sample data. The listing is left in
# run/run.out.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORAN_TESTS=OFF >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target stalist static_dir gen_sample
if [ ! -f "$top/sample/.complete" ]; then
  rm -rf "$top/sample"
  "$top/build/gen_sample" "$top/sample" "$top/static"
  touch "$top/sample/.complete"
fi
mkdir -p "$top/run"
cd "$top/run"
VORAN_STATIC="$top/build/static" VORAN_DATA="$top/sample" "$top/build/stalist"
echo "stalist finished; listing in $top/run/run.out ($(wc -l < run.out) lines)"
