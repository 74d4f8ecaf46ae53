#!/usr/bin/env bash
# Installs what is needed, builds, and runs the command-line host on a
# configuration folder: the one named by $SESSIONDECK_CONFIG, else a demo
# folder inside the build tree. With arguments, runs `sessiondeck ARGS...`;
# without, sets up a small demo (global options, a firewall, a session) once
# and shows it.
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

echo "-- where the host settles its configuration folder"
"$cli" where
if [ ! -e "$SESSIONDECK_CONFIG/Global.ini" ]; then
  # The first change to the global options writes every default once, with the
  # configuration format identifier.
  "$cli" global set "Anonymous Password" "guest@"
  "$cli" firewall set Office "Firewall Type" HTTP_BASICAUTH
  "$cli" firewall set Office "Firewall Address" proxy.example.net
  "$cli" firewall set Office "Firewall Password" "s3cret"
  "$cli" store set 'Sessions\Servers\web1' Hostname string web1.example.net
  "$cli" store set 'Sessions\Servers\web1' Port dword 22
fi
echo "-- keys of the root"
"$cli" store keys ''
echo "-- global options that differ from their defaults"
"$cli" global show | grep -v $'\tdefault$' || true
echo "-- firewalls"
"$cli" firewall ls
"$cli" firewall show Office
echo "-- Sessions\\Servers\\web1 as JSON"
"$cli" store dump 'Sessions\Servers\web1' --json
