#!/usr/bin/env bash
# How the program ends when it is not asked through its own menu.
# - --version, --help and a wrong option answer without any display.
# - SIGTERM (logout, shutdown, `kill`) while a clip plays: the exit routine
#   runs, the clip's position is in date_f.dat, and no process the program
#   started is left (web engine helpers, PeerTerminal).
# - SIGKILL: the web engine's helpers still end (nothing the program started
#   holds their sockets); only PeerTerminal stays, as it does by design.
# - A normal run keeps the web engine's start-up report off standard error.
# Every process here is started by this script (or by a program it started,
# found by this run's own runtime folder) and ended by its pid.
set -euo pipefail
. "$(dirname "$0")/own_processes.sh"
exe=$(realpath "$1")
tmp=$(mktemp -d)
home="$tmp/home"
mkdir "$home"
pids=()
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
  end_processes_of_runtime "$XDG_RUNTIME_DIR"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
ours() { # "pid executable" of every process of this run but this script
  local p pid
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    [ "$pid" = $$ ] && continue
    [ "$pid" = "${BASHPID:-$$}" ] && continue
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
      echo "$pid $(readlink "$p/exe" 2>/dev/null || echo '?')"
    fi
  done
  return 0
}
helpers_run() { [[ "$(ours)" == *QtWebEngineProcess* ]]; }
terminal_runs() { [[ "$(ours)" == *PeerTerminal* ]]; }
none_left() { [ -z "$(ours)" ]; }
no_helpers_left() { ! helpers_run; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# --- answers without a display --------------------------------------------
(
  unset DISPLAY WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  out=$("$exe" --version 2>&1) || fail "--version without a display: exit $? ($out)"
  grep -q '^vantoli ' <<<"$out" || fail "--version says: $out"
  out=$("$exe" --help 2>&1) || fail "--help without a display: exit $?"
  grep -q -- '--home' <<<"$out" || fail "--help says: $out"
  rc=0; out=$("$exe" --no-such-option 2>&1) || rc=$?
  [ "$rc" = 1 ] || fail "a wrong option without a display: exit $rc ($out)"
  grep -q 'no-such-option' <<<"$out" || fail "a wrong option says: $out"
)

export QT_QPA_PLATFORM=offscreen VANTOLI_AUDIO_OUTPUT=null

# --- SIGTERM while a clip plays --------------------------------------------
clip="$tmp/clip one.mp4"
ffmpeg -loglevel error -f lavfi -i testsrc=duration=120:size=160x120:rate=10 -pix_fmt yuv420p "$clip" ||
  fail "ffmpeg could not make the clip"
"$exe" --home "$home" --content-base http://127.0.0.1:9/ "$clip" >"$tmp/out" 2>"$tmp/err" &
main=$!; pids+=("$main")
wait_for 60 grep -qs "clip one.mp4|$clip|0" "$home/date_f.dat" || fail "the clip was not played"
wait_for 30 helpers_run || fail "no web engine helper ran: $(ours)"
wait_for 30 terminal_runs || fail "PeerTerminal did not run: $(ours)"
sleep 6 # a few seconds of the clip
kill -TERM "$main"
wait_for 30 gone "$main" || fail "the program did not end after SIGTERM"
wait "$main" 2>/dev/null || true
line=$(tr -d '\r' <"$home/date_f.dat" | grep -F "clip one.mp4|$clip|" || true)
position=${line##*|}
[ -n "$position" ] && [ "$position" -ge 3 ] || fail "the position was not saved: '$line'"
wait_for 15 none_left || fail "left behind after SIGTERM: $(ours)"
if grep -q 'Init Parameters' "$tmp/err"; then fail "the web engine's start-up report reached standard error"; fi

# --- SIGKILL ----------------------------------------------------------------
"$exe" --home "$home" --content-base http://127.0.0.1:9/ >/dev/null 2>&1 &
main=$!; pids+=("$main")
wait_for 60 helpers_run || fail "no web engine helper ran: $(ours)"
wait_for 30 terminal_runs || fail "PeerTerminal did not run: $(ours)"
sleep 3
kill -KILL "$main"
wait "$main" 2>/dev/null || true
wait_for 15 no_helpers_left || fail "web engine helpers outlived a killed program: $(ours)"
echo "ending: ok"
