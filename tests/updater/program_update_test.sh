#!/usr/bin/env bash
# The real program's update check against the reference server ("up" is "2"
# on a first start, so nothing asks):
# 1. The server announces the build's own version and an updater stand-in
#    lies beside the program: after the check the program still runs and
#    never started it.
# 2. Built with a release key, the program finds a newer release six seconds
#    after start and quits; its updater (built with the tests' key pair,
#    whose secret the server signs with) installs the release and starts
#    the new version with the program's arguments.
#    Built without one, the program never starts the updater stand-in
#    beside it (a leftover or planted updater is not trusted).
#
#   program_update_test.sh PROGRAM TEST_UPDATER SERVER TEST_SECRET_KEY SELF_UPDATE(0|1)
set -euo pipefail
. "$(dirname "$0")/../app/own_processes.sh"
exe=$1 updater=$2 server=$3 secret=$4 self_update=$5
tmp=$(mktemp -d)
server_pid= program_pid=
runs=0
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  for r in $(seq "$runs"); do end_processes_of_runtime "$tmp/run$r"; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$tmp/program.log" ] && tail -20 "$tmp/program.log" >&2; exit 1; }
# The desktop's "open" only records what it was asked to open.
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "$@" >> "%s/opened.txt"\n' "$tmp" >"$tmp/bin/xdg-open"
chmod +x "$tmp/bin/xdg-open"
export PATH="$tmp/bin:$PATH"

version=$("$exe" --version | sed -n 's/^vantoli //p')
[ -n "$version" ] || fail "no version from --version"

"$server" demo --data "$tmp/data" --clip-seconds 1 --size 64x36 >/dev/null
mkdir -m 700 "$tmp/data/keys"
cp "$secret" "$tmp/data/keys/release-signing.key"
"$server" serve --data "$tmp/data" --port 0 >"$tmp/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  base=$(sed -n 's|.* on \(http://127\.0\.0\.1:[0-9]*/\)$|\1|p' "$tmp/server.log")
  [ -n "$base" ] && break
  sleep 0.1
done
[ -n "$base" ] || fail "the server did not start"

mkdir -p "$tmp/app"
cp "$exe" "$tmp/app/vantoli"
printf '#!/bin/sh\necho "$@" > "$(dirname "$0")/updater-started.txt"\n' >"$tmp/app/vantoli-update"
chmod +x "$tmp/app/vantoli-update"

start_program() {
  # Each run has a runtime folder of its own: no earlier run is found as a
  # running instance.
  runs=$((runs + 1))
  export XDG_RUNTIME_DIR="$tmp/run$runs"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  "$tmp/app/vantoli" --home "$tmp/home" --content-base "$base" --stats-base "${base}stat/" \
    >"$tmp/program.log" 2>&1 &
  program_pid=$!
}
checks() { grep -c 'GET /lib/wen.txt ' "$tmp/server.log" || true; }
# Waits for the program's timed check, then gives it time to act on it.
wait_for_check() { # number of checks so far
  for _ in $(seq 600); do
    [ "$(checks)" -gt "$1" ] && break
    sleep 0.1
  done
  [ "$(checks)" -gt "$1" ] || fail "the program did not fetch its control file within a minute"
  sleep 3
}
end_program() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=
  end_processes_of_runtime "$XDG_RUNTIME_DIR"
}

# 1. Its own version is not offered.
"$server" operator --data "$tmp/data" set-switches --latest "$version" || fail "set-switches"
start_program
wait_for_check 0
[ -f "$tmp/app/updater-started.txt" ] && fail "its own version $version was offered: $(cat "$tmp/app/updater-started.txt")"
kill -0 "$program_pid" 2>/dev/null || fail "the program quit after announcing its own version"
end_program

# 2. A newer release.
mkdir -p "$tmp/rel"
printf '#!/bin/sh\necho "$@" > "$(dirname "$0")/started.txt"\n' >"$tmp/rel/vantoli"
chmod +x "$tmp/rel/vantoli"
echo 99.1 >"$tmp/rel/VERSION"
"$server" operator --data "$tmp/data" publish-release 99.1 "$tmp/rel/vantoli" "$tmp/rel/VERSION" >/dev/null 2>&1 ||
  fail "publish-release"

if [ "$self_update" = 0 ]; then
  seen=$(checks)
  start_program
  wait_for_check "$seen"
  [ -f "$tmp/app/updater-started.txt" ] &&
    fail "a build without a release key started the updater beside it: $(cat "$tmp/app/updater-started.txt")"
  grep -q 'GET /update/99.1/' "$tmp/server.log" && fail "a build without a release key fetched the release"
  end_program
  echo "ok: own version $version not offered; no updater started without a release key"
  exit 0
fi

cp "$updater" "$tmp/app/vantoli-update"
start_program
for _ in $(seq 600); do
  [ -f "$tmp/app/started.txt" ] && break
  sleep 0.1
done
[ -f "$tmp/app/started.txt" ] || fail "the new version did not start within a minute"
kill -0 "$program_pid" 2>/dev/null && fail "the old program still runs"
program_pid=
grep -q -- "--content-base $base" "$tmp/app/started.txt" || fail "new version's arguments: $(cat "$tmp/app/started.txt")"
[ "$(cat "$tmp/app/VERSION")" = 99.1 ] || fail "release not installed"
cmp -s "$exe" "$tmp/app.previous/vantoli" || fail "previous version not kept"
[ -x "$tmp/app/vantoli-update" ] || fail "the updater was not kept"
grep -q 'GET /update/99.1/release.tar 200' "$tmp/server.log" || fail "no release download in the server log"
echo "ok: own version $version not offered; $(grep 'vantoli-update' "$tmp/program.log" | tr '\n' ' ')"
