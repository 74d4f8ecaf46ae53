#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds and runs examples/host against it twice:
# once through the CMake package, once through pkg-config. A broken install fails here.
# Usage: scripts/check-install.sh BUILD-DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: check-install.sh BUILD-DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

libdir=$(dirname "$(find "$prefix" -name 'libSessionDeck60U.so' | head -n1)")
for way in cmake pkg-config; do
  echo "-- example host through $way"
  if [ "$way" = cmake ]; then
    cmake -S examples/host -B "$work/build-$way" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  else
    PKG_CONFIG_PATH="$libdir/pkgconfig" \
      cmake -S examples/host -B "$work/build-$way" -G Ninja -DUSE_PKG_CONFIG=ON >/dev/null
  fi
  cmake --build "$work/build-$way" >/dev/null
  config="$work/config-$way"
  mkdir -p "$config"
  # The installed library is found through the loader's path; the host
  # itself knows nothing of the prefix layout.
  LD_LIBRARY_PATH="$libdir" XDG_CONFIG_HOME="$work/xdg" XDG_DATA_HOME="$work/xdg" \
    "$work/build-$way/example_host" "$config" | tee "$work/out-$way"
  grep -q '^files.example.net: files.example.net port 2222$' "$work/out-$way"
  grep -q '^files.example.net$' "$work/out-$way"
  test -f "$config/Sessions/files.example.net.ini"
done
echo "-- installed package works through the CMake package and pkg-config"
