#!/usr/bin/env bash
# Installs the Debian packages the build, tests and benchmarks need, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  # Clang builds the sanitizer preset and the fuzz targets; libFuzzer and the
  # sanitizer runtimes are in libclang-rt-dev, only recommended by clang.
  clang libclang-rt-dev
  libicu-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  nettle-dev libsodium-dev
  libsqlite3-dev
  python3  # scripts/check-layers.py, run by test.sh and CTest
  libglib2.0-dev  # the benchmarks' peer (GLib key files); bench/ only
  libwxgtk3.2-dev  # the session manager's views (ui/wx) and sessiondeck-gui
  xvfb xauth xdotool  # the views' tests run on a virtual display
  libx11-dev  # the views' tests read their screenshots back from the X server
  # `sessiondeck connect` is tested against the real clients: a throwaway sshd of the test's
  # own, ssh and sftp, and nc for the SOCKS and HTTP firewalls' ProxyCommand.
  openssh-server openssh-client netcat-openbsd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
