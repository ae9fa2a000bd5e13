#!/usr/bin/env bash
# Installs the Debian packages kelvarin's build and tests need, when they are missing.
# Usage: tools/install-deps.sh [extra package ...]
set -euo pipefail
packages=(cmake g++ make git pkg-config libgtest-dev libgmock-dev libnetcdf-dev "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
