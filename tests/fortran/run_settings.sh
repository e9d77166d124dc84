#!/usr/bin/env bash
# Run the Fortran settings programs: settings_fortran on a fresh sample tree,
# window_fortran on the hand-made MESONET tree of the CDL files beside this.
# Arguments: build directory, static directory, source directory.
set -euo pipefail
bin=$1
static=$2
src=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/gen_sample" "$work/data" >/dev/null
(cd "$work" && VORAN_STATIC="$static" VORAN_DATA="$work/data" "$bin/settings_fortran")
meso="$work/fixture/KORB/mesonet/netCDF"
mkdir -p "$meso"
ncgen -b -o "$meso/20210825_1900" "$src/tests/fortran/mesonet_1900.cdl"
ncgen -b -o "$meso/20210825_2000" "$src/tests/fortran/mesonet_2000.cdl"
(cd "$work" && VORAN_STATIC="$static" VORAN_DATA="$work/fixture" "$bin/window_fortran")
