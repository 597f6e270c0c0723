#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: when everything is already there it prints nothing and exits 0.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  gcc-multilib g++-multilib
  # Qt 6: widgets, D-Bus, network, WebEngine and WebChannel
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webchannel-dev
  qt6-webengine-dev-tools libqt6opengl6-dev libgl-dev libxkbcommon-dev
  qt6-image-formats-plugins
  # byte formats and storage
  zlib1g-dev nettle-dev libsqlite3-dev libmspack-dev sqlite3
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # running the real programs in tests: session bus, X server, screenshots
  dbus dbus-x11 xvfb xauth python3 imagemagick fonts-dejavu-core
  # the socket shim's end-to-end tests run curl through it
  curl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
