#!/usr/bin/env bash
# The main job on a fresh machine: installs what is needed, builds
# everything, then reports a first-run milestone with qvbeacon to a tracking
# server started here on 127.0.0.1, and prints what the beacon recorded.
#
# Everything runs in a private state root (KELM_STATE_ROOT), so the user's
# own registry and settings are not touched; set KELM_STATE_ROOT to keep it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/install-deps.sh
build=${KELM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

export KELM_STATE_ROOT=${KELM_STATE_ROOT:-$(mktemp -d)}
echo "state root: $KELM_STATE_ROOT"

# A local tracking server that logs each request it answers.
site_dir=$(mktemp -d)
mkdir -p "$site_dir/director" "$site_dir/app"
echo '<html><body>first run tracked</body></html>' > "$site_dir/director/index.html"
echo '<html><body>scan tracked</body></html>' > "$site_dir/app/SCAN_TRACKING.do"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site_dir" 2>"$site_dir/server.log" &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$site_dir"' EXIT
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1',$port))" 2>/dev/null && break
  sleep 0.1
done

reg="$build/platform/win/tools/kreg/kreg"
key='HKLM\Software\KLMS\Tavrel\Tracking'
"$reg" add "$key" /v server /d "http://127.0.0.1:$port" /f >/dev/null

echo "== qvbeacon (first run)"
"$build/beacon/qvbeacon"
echo "== qvbeacon (scan milestone: 12 items)"
"$build/beacon/qvbeacon" qvtrackpoint:4 qvitem:12 qvinstancekey:DEMO-KEY
echo "== qvbeacon (first run again: already reported, loads nothing)"
"$build/beacon/qvbeacon"

echo "== the tracking server saw"
grep -o '"GET [^"]*"' "$site_dir/server.log" || true
echo "== recorded in $key"
"$reg" query "$key"
