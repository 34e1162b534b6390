#!/usr/bin/env bash
# Installs the Debian packages the project builds with, when any are missing.
# Usage: tools/install-deps.sh [extra-package...]
# Works as root, through sudo when available, and otherwise prints the exact
# apt-get line to run and fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev
  libopencv-dev
  libtiff-dev libpng-dev zlib1g-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

install_line="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  runner=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  runner=(sudo)
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root, then run this again:" >&2
  echo "  $install_line" >&2
  exit 1
fi

echo "Installing missing packages: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${runner[@]}" apt-get update -q
"${runner[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
