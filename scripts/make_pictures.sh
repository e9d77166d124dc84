#!/usr/bin/env bash
# The README's pictures: builds the Python module, makes a sample tree under
# data/pictures and writes two maps and a meteogram into pictures/ (both
# git-ignored), with the package's own command line.
#
#   scripts/make_pictures.sh [BUILD_DIR]     (default build-pictures)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-pictures}
python=/usr/bin/python3
"$top/scripts/setup.sh"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORAN_TESTS=OFF \
  -DPython3_EXECUTABLE="$python" >/dev/null
cmake --build "$build" -j2 --target voran_python gen_sample static_dir

# A day of the sample when the generator takes a range, else its three hours.
data="$top/data/pictures"
start=2021-08-25T19:00
end=2021-08-25T21:00
usage=$("$build/gen_sample" 2>&1 || true)
if [[ $usage == *--hours* ]]; then
  range=(--start 2021-08-25T00:00 --hours 24)
  start=2021-08-25T00:00
  end=2021-08-25T23:00
else
  range=()
fi
if [ ! -f "$data/.complete" ] || [ "$(cat "$data/.complete")" != "${range[*]:-default}" ]; then
  rm -rf "$data"
  "$build/gen_sample" "$data" "$top/static" "${range[@]}" >/dev/null
  echo "${range[*]:-default}" > "$data/.complete"
fi

export PYTHONPATH="$build/python" VORAN_STATIC="$build/static" VORAN_DATA="$data"
out="$top/pictures"
mkdir -p "$out"
voran() { "$python" -m voran "$@"; }

# Every network's temperature with wind barbs.
voran map --time 2021-08-25T20:00 --var T --wind -o "$out/map_temperature.png"
# Colorado's dew points, mesonet and METAR stations, QC level 2.
voran map --time 2021-08-25T20:00 --var TD --wind --providers ALL-MESO,ALL-MTR --qc-level 2 \
  --box 36.5,41.5,-109.5,-101.5 -o "$out/map_colorado_dewpoint.png"
# A mesonet station over the whole range with some rejected values (the
# sample is made from a fixed seed, so it is the same station every time).
station=$("$python" - "$start" "$end" <<'EOF'
import sys
import voran
df = voran.read_range(sys.argv[1], sys.argv[2], ["T", "TD", "FF", "P"], providers=["ALL-MESO"],
                      box=(36.5, 41.5, -109.5, -101.5), progress=False)
df["flagged"] = df["T_qcd"].isin(voran.REJECTED) | df["TD_qcd"].isin(voran.REJECTED)
df["complete"] = df[["FF", "P"]].notna().all(axis=1)
g = df.groupby("station").agg(hours=("flagged", "size"), flagged=("flagged", "sum"),
                              complete=("complete", "sum"))
g = g[(g.hours == g.hours.max()) & (g.complete >= g.hours - 1)]
print(g.sort_values("flagged", ascending=False, kind="stable").index[0])
EOF
)
echo "meteogram of $station"
voran meteogram --start "$start" --end "$end" --station "$station" --vars T,TD,FF,P \
  --providers ALL-MESO -q -o "$out/meteogram.png"
ls -l "$out"
