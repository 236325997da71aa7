#!/usr/bin/env bash
# One window per user: a second start hands its file to the first and ends;
# two starts at the same moment leave one running; the lock of an instance
# that was killed does not keep the next start from becoming the first.
# Every process here is started by this script and ended by its pid.
set -euo pipefail
. "$(dirname "$0")/own_processes.sh"
exe=$(realpath "$1")
home=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  end_processes_of_runtime "$home/run"
  rm -rf "$home"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export VANTOLI_AUDIO_OUTPUT=null
fail() { echo "FAIL: $*" >&2; exit 1; }
alive() { kill -0 "$1" 2>/dev/null; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
listening() { [ -S "$XDG_RUNTIME_DIR/vantoli-$(id -u).sock" ]; }

"$exe" --home "$home" --content-base http://127.0.0.1:9/ >/dev/null 2>&1 &
first=$!; pids+=("$first")
wait_for 60 listening || fail "the first start does not listen"

# A second start with a file: it ends, the first plays the file.
media="$home/second start.mp4"
# A real clip: a file the player cannot open is reported and not recorded.
ffmpeg -loglevel error -f lavfi -i testsrc=duration=2:size=160x120:rate=10 -pix_fmt yuv420p "$media" ||
  fail "ffmpeg could not make the clip"
( cd "$home" && timeout 30 "$exe" --home "$home" "second start.mp4" >/dev/null 2>&1 ) ||
  fail "the second start did not end by itself"
wait_for 20 grep -q "second start.mp4|$media|0" "$home/date_f.dat" || fail "the first did not play the file"
alive "$first" || fail "the first instance ended"

# A name that is not UTF-8 ("été.mp4" in Latin-1) reaches the first by its
# bytes, plays and is recorded as %XX bytes.
latin=$'\xe9t\xe9.mp4'
cp "$media" "$home/$latin"
timeout 30 "$exe" --home "$home" "$home/$latin" >/dev/null 2>&1 || fail "the second start with a Latin-1 name did not end"
wait_for 20 env LC_ALL=C grep -qF "|$home/%E9t%E9.mp4|0" "$home/date_f.dat" ||
  fail "the first did not play the Latin-1 name by its bytes"

# Without a file the second start only brings the first to the front.
timeout 30 "$exe" --home "$home" >/dev/null 2>&1 || fail "the second start without a file did not end"
alive "$first" || fail "the first instance ended"

# Killed without a chance to clean up: the next start takes over. It
# plays the Latin-1 name given relative to its folder.
kill -KILL "$first"; wait "$first" 2>/dev/null || true
printf '\r\n' >"$home/date_f.dat"
( cd "$home" && exec "$exe" --home "$home" --content-base http://127.0.0.1:9/ "$latin" >/dev/null 2>&1 ) &
again=$!; pids+=("$again")
wait_for 20 env LC_ALL=C grep -qF "|$home/%E9t%E9.mp4|0" "$home/date_f.dat" ||
  fail "a first start did not play the Latin-1 name on its command line"
sleep 2
env LC_ALL=C grep -qF "|$home/%E9t%E9.mp4|" "$home/date_f.dat" || fail "the Latin-1 name was taken back as unplayable"
alive "$again" || fail "a start after a killed instance did not stay"
kill "$again"; wait "$again" 2>/dev/null || true

# Two starts at the same moment: one stays.
"$exe" --home "$home" --content-base http://127.0.0.1:9/ >/dev/null 2>&1 &
a=$!; pids+=("$a")
"$exe" --home "$home" --content-base http://127.0.0.1:9/ >/dev/null 2>&1 &
b=$!; pids+=("$b")
sleep 12
running=0
alive "$a" && running=$((running + 1))
alive "$b" && running=$((running + 1))
[ "$running" -eq 1 ] || fail "$running instances run after two simultaneous starts"
echo "second start: ok"
