#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: install the Debian packages the project needs (only those missing), then configure and build.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}

packages=(
  build-essential cmake pkg-config
  libxml2-dev libxml2-utils
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libxcb1-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-dbfread
  xvfb xauth xdotool x11-utils
  time valgrind
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Instalando paquetes: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
