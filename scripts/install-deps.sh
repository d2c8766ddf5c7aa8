#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Quick when everything is already there; uses sudo when not run as root.
set -euo pipefail

packages=(
  qt6-base-dev libqt6opengl6-dev libtag1-dev libsqlite3-dev libicu-dev libxxhash-dev pkg-config cmake g++ make
  xvfb xauth xdg-utils shared-mime-info desktop-file-utils poppler-utils fonts-dejavu-core
  dpkg-dev appstream
  openbox at-spi2-core dbus-x11 python3-pyatspi xdotool imagemagick x11-utils
  libxml2-utils # xmllint, for the tests of the XSPF export
)
# `install-deps.sh fuzz` (run by `make fuzz`) adds clang and its libFuzzer
# runtime, which the everyday build does not need.
if [ "${1:-}" = fuzz ]; then
  packages=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
