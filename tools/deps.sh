#!/usr/bin/env bash
# Installs what building, testing and running Sizewalk needs on Debian 12.
# Does nothing when everything is already there.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config libgtest-dev
  libzstd-dev rapidjson-dev  # saved scans
  libpcre2-dev  # regular expressions in searches
  qt6-base-dev libgl-dev fonts-dejavu-core
  xvfb xauth xdotool imagemagick
  desktop-file-utils appstream dpkg-dev file
  python3  # the benchmark test checks its JSON with it
  ncdu gdu  # saved scans are tested against their readers and writers
  btrfs-progs  # the scan test of subvolumes makes a btrfs image
)
if dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -qv 'install ok installed' \
   || [ "$(dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | wc -l)" -ne "${#packages[@]}" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi
