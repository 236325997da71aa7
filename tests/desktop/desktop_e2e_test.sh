#!/usr/bin/env bash
# The program as a desktop sees it, end to end: the first window runs
# against the reference server on a private session bus with a recording
# screensaver; later starts hand it links as a browser would.
# "open://1" and "delk://1" change nothing (no play, no history line gone);
# a "kxbovod://" link makes the first window look the episode up on the
# server and play it, as a click in the catalog would. The desktop's player
# controls step episodes, pause and quit; the screensaver is held off
# exactly while a video plays, and a killed window holds nothing.
# Every process here is started by this script (or by a program it started,
# found by this run's own runtime folder) and ended by its pid.
set -euo pipefail
exe=$(realpath "$1")
server=$(realpath "$2")
screensaver=$(realpath "$3")
tmp=$(mktemp -d)
home="$tmp/home"
mkdir -p "$home"
pids=()
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ours() { # pids of processes that run with this test's runtime folder
  local p
  for p in /proc/[0-9]*; do
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" && echo "${p#/proc/}"
  done
  return 0
}
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for p in $(ours); do [ "$p" != $$ ] && kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
export QT_QPA_PLATFORM=offscreen VANTOLI_AUDIO_OUTPUT=null

# The reference server with its demonstration catalog.
"$server" demo --data "$tmp/data" --clip-seconds 6 --size 160x120 >/dev/null 2>&1 || fail "demo data"
"$server" serve --data "$tmp/data" --port 0 >"$tmp/server.log" 2>&1 &
pids+=($!)
wait_for 10 grep -q 'on http://127.0.0.1:[0-9]*/' "$tmp/server.log" || fail "server did not start"
base=$(grep -o 'http://127.0.0.1:[0-9]*/' "$tmp/server.log" | head -1)
http_body() { # path on the server; the reply's body
  local port=${base#http://127.0.0.1:}; port=${port%/}
  exec 5<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /%s HTTP/1.0\r\nHost: 127.0.0.1:%s\r\n\r\n' "$1" "$port" >&5
  sed '1,/^\r*$/d' <&5
  exec 5<&-
}
reply=$(http_body "h.php?id=1&v=0&v1=1")
address=${reply#*\$}; address=${address%%\$*}
[ -n "$address" ] || fail "the server does not know episode 1-0-1: $reply"

# A private session bus to read what the window plays.
dbus-daemon --session --nofork --print-address=3 3>"$tmp/bus" 2>/dev/null &
pids+=($!)
wait_for 10 test -s "$tmp/bus" || fail "no private bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$tmp/bus")
saver="$tmp/screensaver.log"
: >"$saver"
"$screensaver" "$saver" &
pids+=($!)
wait_for 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetNameOwner \
  string:org.freedesktop.ScreenSaver >/dev/null 2>&1 || fail "the screensaver stand-in did not start"
last_saver_event() { tail -1 "$saver" | grep -q "^$1"; }
property() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null
}
status_is() { property PlaybackStatus | grep -q "string \"$1\""; }

# Line 1 of the network history is another episode, playable if anyone
# opened it.
other="${base}media/demo/t1/s0e01.mp4"
printf '1|%s|%s|%s|0|0|0\r\n\r\n' '%u6F14%u793A' '%u7B2C1%u96C6' "$other" >"$home/date.dat"
cp "$home/date.dat" "$tmp/date.before"

"$exe" --home "$home" --content-base "$base" --stats-base "${base}stat/" >"$tmp/first.log" 2>&1 &
first=$!; pids+=("$first")
wait_for 60 status_is Stopped || fail "the first window does not answer on the bus"

# History links from outside: nothing plays, nothing is deleted.
for link in "open://1" "delk://1" "OPEN://1/" "javascript:alert(1)"; do
  timeout 30 "$exe" --home "$home" "$link" >/dev/null 2>&1 || fail "the start with $link did not end"
done
sleep 3
status_is Stopped || fail "a history link from outside played something"
property Metadata | grep -q 'TrackList/NoTrack' || fail "a history link from outside loaded an item"
cmp -s "$home/date.dat" "$tmp/date.before" || fail "a history link from outside changed the history"
[ ! -s "$saver" ] || fail "the screensaver was inhibited with nothing playing: $(cat "$saver")"
kill -0 "$first" 2>/dev/null || fail "the first window ended"

# A by-number link: looked up on the server and played.
timeout 30 "$exe" --home "$home" "kxbovod://1-0-1-%u6F14%u793A/" >/dev/null 2>&1 ||
  fail "the start with a kxbovod link did not end"
wait_for 30 status_is Playing || fail "the episode does not play"
property Metadata | grep -qF "$address" || fail "the window plays something else: $(property Metadata)"
head -1 "$home/date.dat" | grep -qF "1|%u6F14%u793A|" || fail "no history line for the episode"
head -1 "$home/date.dat" | grep -qF "|0|1|" || fail "the history line names another episode: $(head -1 "$home/date.dat")"
wait_for 10 last_saver_event inhibit || fail "the screensaver is not held off while playing: $(cat "$saver")"

# The desktop's Next and Previous step episodes like the window's buttons.
player_call() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
    "org.mpris.MediaPlayer2.Player.$1" >/dev/null || fail "$1 was not answered"
}
top_is_episode() { head -1 "$home/date.dat" | grep -qF "|0|$1|"; }
player_call Next
wait_for 30 top_is_episode 2 || fail "Next did not play episode 2: $(head -1 "$home/date.dat")"
wait_for 30 status_is Playing || fail "episode 2 does not play"
player_call Previous
wait_for 30 top_is_episode 1 || fail "Previous did not play episode 1: $(head -1 "$home/date.dat")"
player_call Pause
wait_for 10 status_is Paused || fail "Pause did not pause"
wait_for 5 last_saver_event release || fail "a pause does not release the screensaver: $(cat "$saver")"
player_call PlayPause
wait_for 10 status_is Playing || fail "PlayPause did not play again"
wait_for 5 last_saver_event inhibit || fail "playing again does not hold the screensaver off: $(cat "$saver")"

# The desktop's Quit ends the window the way its exit command does.
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
  org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
wait_for 20 eval '! kill -0 "$first" 2>/dev/null' || fail "Quit did not end the window"
last_saver_event release || fail "the exit did not release the screensaver: $(cat "$saver")"

# A first start with a link plays it once the window is up.
"$exe" --home "$home" --content-base "$base" --stats-base "${base}stat/" "KXBOVOD://1-0-2-%u6F14%u793A" \
  >"$tmp/again.log" 2>&1 &
again=$!; pids+=("$again")
wait_for 60 status_is Playing || fail "a first start with a link does not play it"
head -1 "$home/date.dat" | grep -qF "|0|2|" || fail "a first start played another episode: $(head -1 "$home/date.dat")"

# Killed while playing: the screensaver sees the holder leave the bus.
wait_for 10 last_saver_event inhibit || fail "the screensaver is not held off: $(cat "$saver")"
kill -KILL "$again"
wait "$again" 2>/dev/null || true
wait_for 10 last_saver_event gone || fail "the inhibition outlived the killed window: $(cat "$saver")"
echo "desktop: ok"
