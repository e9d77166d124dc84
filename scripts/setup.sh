#!/usr/bin/env bash
# Install the Debian packages the project needs, when they are missing.
set -euo pipefail
# The library, its tests and the tool; then the Python package, its plots,
# Dask and the benchmarks' peers.
pkgs=(libnetcdf-dev netcdf-bin pkg-config cmake g++ libgtest-dev zlib1g-dev libcli11-dev
  gfortran clang python3-dev pybind11-dev python3-setuptools python3-pip python3-numpy
  python3-pandas python3-xarray python3-netcdf4 python3-matplotlib python3-tqdm python3-dask
  python3-distributed python3-pytest)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
