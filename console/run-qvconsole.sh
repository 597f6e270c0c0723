#!/usr/bin/env bash
# Starts the control panel against korvad: uses the session bus when one is
# reachable and starts a private one otherwise; starts korvad when nobody owns
# its bus name; runs qvconsole with the given arguments; stops what it started.
#
#   console/run-qvconsole.sh [BUILD_DIR] [qvconsole switches...]
set -euo pipefail
build=${1:-build}
shift || true
started=()
cleanup() { for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

if ! busctl --user status >/dev/null 2>&1 && ! dbus-send --session --dest=org.freedesktop.DBus \
     --print-reply / org.freedesktop.DBus.GetId >/dev/null 2>&1; then
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  export DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | sed -n 1p)
  started+=("$(echo "$out" | sed -n 2p)")
  echo "run-qvconsole: private session bus at $DBUS_SESSION_BUS_ADDRESS"
fi

if ! dbus-send --session --dest=org.freedesktop.DBus --print-reply / \
     org.freedesktop.DBus.NameHasOwner string:org.kelm.Korva 2>/dev/null | grep -q 'boolean true'; then
  "$build/platform/service/korvad" &
  started+=("$!")
  for _ in $(seq 100); do
    dbus-send --session --dest=org.freedesktop.DBus --print-reply / \
      org.freedesktop.DBus.NameHasOwner string:org.kelm.Korva 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.05
  done
fi

"$build/console/qvconsole" "$@"
