#!/usr/bin/env bash
# Run the C++ stalist and the Fortran reference program on the same sample
# tree and require identical listings and standard output.
# Arguments: build directory, static directory.
set -euo pipefail
bin=$1
static=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/gen_sample" "$work/data" >/dev/null
mkdir "$work/cpp" "$work/f"
(cd "$work/cpp" && VORAN_STATIC="$static" VORAN_DATA="$work/data" "$bin/stalist" >stdout.txt)
(cd "$work/f" && VORAN_STATIC="$static" VORAN_DATA="$work/data" "$bin/stalist_fortran" >stdout.txt)
n=$(head -1 "$work/cpp/run.out")
echo "C++ listing: $n"
[ "$(wc -l <"$work/cpp/run.out")" -gt 2 ] || { echo "listing has no stations"; exit 1; }
cmp "$work/cpp/run.out" "$work/f/run.out"
cmp "$work/cpp/stdout.txt" "$work/f/stdout.txt"
echo "listings identical"
