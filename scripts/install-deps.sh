#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, only where missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev
  srecord
  libgtk-3-dev xvfb xdotool imagemagick
  clang libclang-rt-14-dev
  dpkg-dev file groff-base desktop-file-utils
)

# The Windows cross builds and their runs under Wine. Installed without
# recommended packages: wine64 recommends wine32, which breaks wine on a
# 64-bit-only kernel.
windows_packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest
  wine wine64 xvfb xauth xdotool imagemagick
)

updated=0
# install_missing [apt-get install options] -- packages...
install_missing() {
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    ((updated)) || "${sudo_cmd[@]}" apt-get update -qq
    updated=1
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${options[@]}" "${missing[@]}"
  fi
}

install_missing -- "${packages[@]}"
install_missing --no-install-recommends -- "${windows_packages[@]}"
