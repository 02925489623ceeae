#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, fuzzing and the
# example need. Only missing packages are installed (apt-get, with sudo
# unless run as root). The one list of packages for the whole project.
set -euo pipefail

PACKAGES=(
  ca-certificates cmake make g++ clang libclang-rt-14-dev pkg-config
  libace-dev libacexml-dev libexpat1-dev
  libomniorb4-dev omniidl omniorb
  libgtest-dev googletest
  tcl tcl-combat
  python3 libpython3.11 libpython3.11-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "== installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
