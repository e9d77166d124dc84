#!/usr/bin/env bash
# Run the Fortran settings program on a freshly generated sample tree.
# Arguments: build directory, static directory.
set -euo pipefail
bin=$1
static=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/gen_sample" "$work/data" >/dev/null
cd "$work"
VORAN_STATIC="$static" VORAN_DATA="$work/data" "$bin/settings_fortran"
