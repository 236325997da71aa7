#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference content server on
# 127.0.0.1:8260 (creating its demo catalog on first use) with its tracker on
# 127.0.0.1:6969, and then the program.
# Extra arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=build
server="$build/server/vantoli-content-server"
data="${VANTOLI_DATA:-$HOME/.local/share/vantoli-server}"
cmake -S . -B "$build" -G Ninja >/dev/null
# The server first: its data folder holds the release signing key the
# program is built to trust.
cmake --build "$build" --target vantoli-content-server
# A catalog made by an older build is moved aside, never served beside
# current links; the demo is then made anew.
if [ -f "$data/catalog.db" ] && ! "$server" check --data "$data" 2>/dev/null; then
  old="$data.old-$(date +%Y%m%d%H%M%S)"
  echo "The catalog in $data was made by an older build; it is moved to $old" >&2
  mv "$data" "$old"
fi
# The demo's release key pair is made on this machine on first use (the
# secret stays in $data/keys/, mode 0600) and the program is built with its
# public half, so the demo's signed releases update it. Only what runs here
# is built: the program (with its updater) and the server; tests and
# benchmarks are scripts/test.sh's.
key=$("$server" operator --data "$data" release-key)
cmake -S . -B "$build" -DVANTOLI_RELEASE_PUBLIC_KEY="$key" >/dev/null
cmake --build "$build" --target vantoli vantoli-content-server

if [ -x "$server" ]; then
  # The demo catalog (about a minute of ffmpeg work) is made on first use.
  [ -f "$data/catalog.db" ] || "$server" demo --data "$data"
  # Episodes are also shared between viewers: torrents for media files that
  # are new or changed (a catalog made before torrents gets them here), and
  # Debian's opentracker on loopback, serving only the catalog's torrents.
  "$server" operator --data "$data" make-torrents >/dev/null
  tracker_args=()
  tracker_pid=
  if command -v opentracker >/dev/null && ! (exec 3<>/dev/tcp/127.0.0.1/6969) 2>/dev/null; then
    opentracker -d "$data/torrents" -w whitelist.txt -i 127.0.0.1 -p 6969 -P 6969 >"$build/tracker.log" 2>&1 &
    tracker_pid=$!
    tracker_args=(--tracker http://127.0.0.1:6969/announce)
  else
    echo "No tracker on 127.0.0.1:6969 (port in use or opentracker missing): episodes play over http only" >&2
  fi
  "$server" serve --data "$data" --port 8260 "${tracker_args[@]}" >"$build/server.log" 2>&1 &
  server_pid=$!
  trap 'kill "$server_pid" $tracker_pid 2>/dev/null || true' EXIT
  # Start the program only once the server accepts connections, so its
  # first page loads do not fail.
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/8260) 2>/dev/null && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "The content server did not start (is port 8260 in use?); see $build/server.log" >&2
      break
    fi
    sleep 0.1
  done
  echo "Content server: http://127.0.0.1:8260/ (data in $data, log in $build/server.log)" >&2
fi

args=(--home "${VANTOLI_HOME:-$HOME/.local/share/vantoli}" --content-base http://127.0.0.1:8260/
      --stats-base http://127.0.0.1:8260/stat/)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running under Xvfb." >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/vantoli" "${args[@]}" "$@"
else
  "$build/src/vantoli" "${args[@]}" "$@"
fi
