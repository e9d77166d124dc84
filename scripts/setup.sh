#!/usr/bin/env bash
# Install the Debian packages the project needs, when they are missing.
set -euo pipefail
pkgs=(libnetcdf-dev netcdf-bin pkg-config cmake g++ libgtest-dev zlib1g-dev)
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
