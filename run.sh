#!/usr/bin/env bash
# Installs what is needed, builds, and runs the command-line host on a
# configuration folder: the one named by $SESSIONDECK_CONFIG, else a demo
# folder inside the build tree. With arguments, runs `sessiondeck ARGS...` (the
# demo folder is set up first); without, sets up a small demo (global options, a
# firewall, a few folders and sessions of different protocols) once and shows it.
# `./run.sh gui [ARGS...]` sets up the same demo and opens it in the desktop host,
# sessiondeck-gui ARGS.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
gui=0
if [ "${1:-}" = gui ]; then
  gui=1
  shift
fi
targets=(sessiondeck)
[ "$gui" = 1 ] && targets+=(sessiondeck-gui)
cmake --build --preset default -j "$(nproc)" --target "${targets[@]}" >/dev/null

cli=build/default/tools/sessiondeck
own_config=${SESSIONDECK_CONFIG:+1}
export SESSIONDECK_CONFIG="${SESSIONDECK_CONFIG:-$PWD/build/demo/Config}"

make_demo() {
if [ ! -e "$SESSIONDECK_CONFIG/Global.ini" ]; then
  # The first change to the global options writes every default once, with the
  # configuration format identifier.
  "$cli" global set "Anonymous Password" "guest@"
  "$cli" firewall set Office "Firewall Type" HTTP_BASICAUTH
  "$cli" firewall set Office "Firewall Address" proxy.example.net
  "$cli" firewall set Office "Firewall Password" "s3cret"
fi
if [ ! -e "$SESSIONDECK_CONFIG/Sessions" ]; then
  "$cli" mkdir Servers
  "$cli" mkdir Lab
  "$cli" mkdir 'Lab\Serial lines'
  "$cli" new 'Servers\web1' --protocol SSH2 --host web1.example.net --user admin
  "$cli" new 'Servers\files' --protocol FTP --host files.example.net --port 2121
  "$cli" new 'Lab\router' --protocol Telnet --host 192.0.2.1
  "$cli" new 'Lab\Serial lines\console' --protocol Serial --host ttyS0
  "$cli" new --url 'sftp://deploy@releases.example.net:2222/srv/releases' 'Servers\releases'
  "$cli" set 'Servers\web1' "Title Bar" "Web server"
  "$cli" move 'Servers\files' --before web1
fi
}

# A command runs on the demo folder (made first, so that `./run.sh connect 'Servers\web1'
# --dry-run` has its session on a fresh clone), or on the caller's own folder as it is.
if [ "$gui" = 0 ] && [ $# -gt 0 ]; then
  [ -n "$own_config" ] || make_demo >/dev/null
  exec "$cli" "$@"
fi

if [ "$gui" = 1 ]; then
  make_demo >/dev/null
  exec build/default/tools/sessiondeck-gui "$@"
fi

echo "-- where the host settles its configuration folder"
"$cli" where
make_demo
echo "-- the session tree (folders end in a backslash)"
"$cli" ls -r
echo "-- keys of the root"
"$cli" store keys ''
echo "-- global options that differ from their defaults"
"$cli" global show | grep -v $'\tdefault$' || true
echo "-- firewalls"
"$cli" firewall ls
"$cli" firewall show Office
echo "-- Sessions\\Servers\\web1 as JSON"
"$cli" store dump 'Sessions\Servers\web1' --json
