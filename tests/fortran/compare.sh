#!/usr/bin/env bash
# Install the library, build the Fortran reference listing program and the C
# caller against the installed copy (pkg-config), and require the Fortran
# listing to be identical to the C++ stalist's on a fresh sample tree.
# Arguments: build directory, static directory, source directory.
set -euo pipefail
bin=$1
static=$2
src=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$bin" --prefix "$work/inst" >/dev/null
export PKG_CONFIG_PATH="$work/inst/lib/pkgconfig"
# shellcheck disable=SC2046  # pkg-config prints separate flags
gfortran -o "$work/stalist_f" "$src/tests/fortran/stalist.f" $(pkg-config --libs voran)
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror -o "$work/caller" "$src/tests/c/caller.c" $(pkg-config --cflags --libs voran)
"$bin/gen_sample" "$work/data" >/dev/null
VORAN_STATIC="$static" VORAN_DATA="$work/data" "$work/caller"
mkdir "$work/cpp" "$work/f"
(cd "$work/cpp" && VORAN_STATIC="$static" VORAN_DATA="$work/data" "$bin/stalist" >stdout.txt)
(cd "$work/f" && VORAN_STATIC="$static" VORAN_DATA="$work/data" "$work/stalist_f" >stdout.txt)
echo "C++ listing: $(head -1 "$work/cpp/run.out")"
[ "$(wc -l <"$work/cpp/run.out")" -gt 2 ] || { echo "listing has no stations"; exit 1; }
cmp "$work/cpp/run.out" "$work/f/run.out"
cmp "$work/cpp/stdout.txt" "$work/f/stdout.txt"
echo "listings identical"
