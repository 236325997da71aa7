#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed
# program offscreen on a private session bus: it keeps its files in the
# data folder (not beside itself), starts the transfer program from
# lib/vantoli/Peer/, and answers as the desktop's media player.
# Every process here is started by this script (or by the program it
# started) and ended by its pid.
set -euo pipefail
build=$(realpath "$1")
tmp=$(mktemp -d)
prefix="$tmp/prefix"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  # What the program started (the transfer program) runs with this test's
  # runtime folder.
  local p
  for p in /proc/[0-9]*; do
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "XDG_RUNTIME_DIR=$tmp/run"; then
      [ "${p#/proc/}" != $$ ] && kill "${p#/proc/}" 2>/dev/null || true
    fi
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$tmp/program.log" ] && tail -20 "$tmp/program.log" >&2; exit 1; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# Pids of this user's processes running the given executable.
running_exe() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}
any_terminal_running() {
  local p
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/exe" 2>/dev/null)" in */PeerTerminal) return 0 ;; esac
  done
  return 1
}

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log" >&2; fail "install"; }

# The layout.
for f in bin/vantoli share/applications/vantoli.desktop share/icons/hicolor/scalable/apps/vantoli.svg \
         share/icons/hicolor/48x48/apps/vantoli.png share/doc/vantoli/copyright share/doc/vantoli/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
[ -d "$prefix/lib/vantoli/Peer" ] || fail "lib/vantoli/Peer is not installed"
[ ! -e "$prefix/bin/Peer" ] || fail "the player programs are installed beside the program"
for part in Peer/PeerTerminal Peer/PeerPlayer; do
  if [ -x "$build/src/$part" ]; then
    [ -x "$prefix/lib/vantoli/$part" ] || fail "$part is built but not installed under lib/vantoli"
  fi
done
[ ! -e "$prefix/lib/vantoli/vantoli-update" ] || fail "the updater is installed; the package manager updates an installed program"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vantoli.desktop" || fail "the desktop entry does not validate"
fi
grep -qx 'MimeType=x-scheme-handler/kxpeer;x-scheme-handler/kxbovod;x-scheme-handler/kxtvs;' \
  "$prefix/share/applications/vantoli.desktop" || fail "the desktop entry claims other schemes"

# The installed program, on a bus and in folders of its own.
export XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run" HOME="$tmp/home"
mkdir -m 700 "$XDG_RUNTIME_DIR"; mkdir -p "$HOME"
unset VANTOLI_HOME
export QT_QPA_PLATFORM=offscreen VANTOLI_AUDIO_OUTPUT=null
dbus-daemon --session --nofork --print-address=3 3>"$tmp/bus" &
pids+=($!)
wait_for 10 test -s "$tmp/bus" || fail "no private bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$tmp/bus")
terminal_before=no
any_terminal_running && terminal_before=yes

( cd "$tmp" && exec "$prefix/bin/vantoli" --content-base http://127.0.0.1:9/ ) >"$tmp/program.log" 2>&1 &
program=$!; pids+=("$program")
wait_for 60 test -f "$XDG_DATA_HOME/vantoli/App.ini" || fail "no App.ini in \$XDG_DATA_HOME/vantoli"
[ ! -e "$prefix/bin/App.ini" ] || fail "the installed program writes beside itself"
wait_for 30 dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity >"$tmp/identity" 2>/dev/null ||
  fail "the installed program does not answer on the session bus"
grep -q '"Vantoli"' "$tmp/identity" || fail "wrong identity: $(cat "$tmp/identity")"
kill -0 "$program" 2>/dev/null || fail "the installed program ended"

if [ -x "$prefix/lib/vantoli/Peer/PeerTerminal" ] && [ "$terminal_before" = no ]; then
  wait_for 20 test -n "$(running_exe "$prefix/lib/vantoli/Peer/PeerTerminal")" ||
    fail "the transfer program was not started from lib/vantoli/Peer"
else
  echo "note: another transfer program runs for this user; its start from lib/vantoli/Peer is not checked"
fi
echo "install: ok"
