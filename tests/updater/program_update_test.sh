#!/usr/bin/env bash
# The real program updates itself: the reference server publishes a signed
# release, the program (first start: "up" is "2", so no question) finds it
# in its control file six seconds after start, starts its updater and
# quits; the updater installs the release into the program's folder (a
# copy made for this test) and starts the new version, a stand-in that
# records its start.
set -euo pipefail
. "$(dirname "$0")/../app/own_processes.sh"
exe=$1 updater=$2 server=$3
tmp=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
  end_processes_of_runtime "$tmp/run"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$tmp/program.log" ] && tail -20 "$tmp/program.log" >&2; exit 1; }
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$server" demo --data "$tmp/data" --clip-seconds 1 --size 64x36 >/dev/null
"$server" serve --data "$tmp/data" --port 0 >"$tmp/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  base=$(sed -n 's|.* on \(http://127\.0\.0\.1:[0-9]*/\)$|\1|p' "$tmp/server.log")
  [ -n "$base" ] && break
  sleep 0.1
done
[ -n "$base" ] || fail "the server did not start"

mkdir -p "$tmp/rel"
printf '#!/bin/sh\necho "$@" > "$(dirname "$0")/started.txt"\n' >"$tmp/rel/vantoli"
chmod +x "$tmp/rel/vantoli"
echo 1.1 >"$tmp/rel/VERSION"
"$server" operator --data "$tmp/data" publish-release 1.1 "$tmp/rel/vantoli" "$tmp/rel/VERSION" >/dev/null 2>&1 ||
  fail "publish-release"

mkdir -p "$tmp/app"
cp "$exe" "$tmp/app/vantoli"
cp "$updater" "$tmp/app/vantoli-update"
"$tmp/app/vantoli" --home "$tmp/home" --content-base "$base" --stats-base "${base}stat/" \
  >"$tmp/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 600); do
  [ -f "$tmp/app/started.txt" ] && break
  sleep 0.1
done
[ -f "$tmp/app/started.txt" ] || fail "the new version did not start within a minute"
kill -0 "$program_pid" 2>/dev/null && fail "the old program still runs"
program_pid=
grep -q -- "--content-base $base" "$tmp/app/started.txt" || fail "new version's arguments: $(cat "$tmp/app/started.txt")"
[ "$(cat "$tmp/app/VERSION")" = 1.1 ] || fail "release not installed"
cmp -s "$exe" "$tmp/app.previous/vantoli" || fail "previous version not kept"
[ -x "$tmp/app/vantoli-update" ] || fail "the updater was not kept"
grep -q 'GET /update/1.1/release.tar 200' "$tmp/server.log" || fail "no release download in the server log"
echo "ok: $(grep 'vantoli-update' "$tmp/program.log" | tr '\n' ' ')"
