#!/usr/bin/env bash
# Installs what is needed, builds, and runs the command-line host on a
# configuration folder: the one named by $SESSIONDECK_CONFIG, else a demo
# folder inside the build tree. With arguments, runs `sessiondeck ARGS...`;
# without, shows what is in the folder's "Global" key after a first set-up.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target sessiondeck >/dev/null

cli=build/default/tools/sessiondeck
export SESSIONDECK_CONFIG="${SESSIONDECK_CONFIG:-$PWD/build/demo/Config}"

if [ $# -gt 0 ]; then
  exec "$cli" "$@"
fi

echo "Configuration folder: $SESSIONDECK_CONFIG"
if [ ! -e "$SESSIONDECK_CONFIG/Global.ini" ]; then
  "$cli" store set Global "Show Toolbar" dword 1
  "$cli" store set Global "Anonymous Password" string "guest@"
  "$cli" store set Global "Selected Termcap Entries" multi first second
  "$cli" store set 'Sessions\Servers\web1' Hostname string web1.example.net
  "$cli" store set 'Sessions\Servers\web1' Port dword 22
fi
echo "-- keys of the root"
"$cli" store keys ''
echo "-- values of Global"
"$cli" store dump Global
echo "-- Sessions\\Servers\\web1 as JSON"
"$cli" store dump 'Sessions\Servers\web1' --json
