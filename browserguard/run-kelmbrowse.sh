#!/bin/sh
# Runs kelmbrowse with the popup guard add-on against korvad, on a local demo
# page that opens a popup while it loads (the add-on refuses it) and has a
# button that opens one (the click asks for it, so it opens).
#
#   browserguard/run-kelmbrowse.sh BUILD_DIR [URL] [-- kelmbrowse options...]
#
# Everything lives under a fresh state root (registry, service data, the
# service's running marker), removed at the end unless KELM_STATE_ROOT was
# given. Without a session bus a private one is started. Extra options go to
# kelmbrowse, e.g. "-- --screenshot shot.png --delay 2500".
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run-kelmbrowse.sh BUILD_DIR [URL] [-- kelmbrowse options...]}
shift
url=
if [ $# -gt 0 ] && [ "$1" != "--" ]; then url=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" = "--" ]; then shift; fi

build=$(cd "$build" && pwd)
korvad=$build/platform/service/korvad
browser=$build/platform/browser/kelmbrowse
addon=$build/browserguard/qvbrowserguard.so
register=$build/browserguard/qvbrowserguard-register
for f in "$korvad" "$browser" "$addon" "$register"; do
  [ -e "$f" ] || { echo "run-kelmbrowse: $f is missing; build korvad, kelmbrowse, qvbrowserguard and qvbrowserguard-register" >&2; exit 1; }
done

pids=
keep_root=${KELM_STATE_ROOT:+yes}
KELM_STATE_ROOT=${KELM_STATE_ROOT:-$(mktemp -d /tmp/kelm-demo-XXXXXX)}
export KELM_STATE_ROOT
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "$keep_root" ] || rm -rf "$KELM_STATE_ROOT"
}
trap cleanup EXIT INT TERM

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  out=$(dbus-daemon --session --print-address=1 --print-pid=1 --fork)
  DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | sed -n 1p)
  pids="$pids $(echo "$out" | sed -n 2p)"
  export DBUS_SESSION_BUS_ADDRESS
  echo "run-kelmbrowse: private session bus at $DBUS_SESSION_BUS_ADDRESS"
fi

"$korvad" 2>"$KELM_STATE_ROOT/korvad.log" &
pids="$pids $!"
# korvad holds its running marker once it serves; wait for its bus name.
i=0
until dbus-send --session --dest=org.freedesktop.DBus --print-reply /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.kelm.Korva 2>/dev/null | grep -q 'boolean true'; do
  i=$((i + 1))
  [ $i -lt 100 ] || { echo "run-kelmbrowse: korvad did not start (see $KELM_STATE_ROOT/korvad.log)" >&2; exit 1; }
  sleep 0.1
done

"$register" "$addon"

if [ -z "$url" ]; then
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$here/demo" >/dev/null 2>&1 &
  pids="$pids $!"
  url=http://127.0.0.1:$port/index.html
  i=0
  until python3 -c "import urllib.request; urllib.request.urlopen('$url')" 2>/dev/null; do
    i=$((i + 1)); [ $i -lt 50 ] || { echo "run-kelmbrowse: demo server did not start" >&2; exit 1; }
    sleep 0.1
  done
fi

echo "run-kelmbrowse: opening $url"
status=0
"$browser" "$@" "$url" || status=$?
count=$(busctl --address="$DBUS_SESSION_BUS_ADDRESS" call org.kelm.Korva /org/kelm/Korva org.kelm.Korva1 Request \
          'sa{ss}a(sasaas)' korva.justice.popup.query_statistics 0 0 2>/dev/null |
        sed -n 's/.*"\([0-9][0-9]*\)"$/\1/p') || true
[ -z "$count" ] || echo "run-kelmbrowse: popups refused so far: $count"
exit $status
