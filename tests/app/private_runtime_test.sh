#!/usr/bin/env bash
# Without a runtime folder from the desktop, the instance link's lock and
# socket go into a folder of this user's own ("vantoli-UID" in the temporary
# folder, mode 0700), never into the shared temporary folder itself. When
# that name is taken by a folder others may enter (or that another user
# made), the program says so and runs without the link.
# Every process here is started by this script (or by a program it started,
# found by this run's own temporary folder) and ended by its pid.
set -euo pipefail
exe=$(realpath "$1")
tmp=$(mktemp -d)
uid=$(id -u)
pids=()
ours() { # pids of processes that run with a temporary folder of this run
  local p pid
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    [ "$pid" = $$ ] && continue
    [ "$pid" = "${BASHPID:-$$}" ] && continue
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -q "^TMPDIR=$tmp/" && echo "$pid"
  done
  return 0
}
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for p in $(ours); do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
unset XDG_RUNTIME_DIR
export QT_QPA_PLATFORM=offscreen VANTOLI_AUDIO_OUTPUT=null
mkdir "$tmp/home"
start() { # temporary folder; starts the program, its pid in $main
  TMPDIR="$1" "$exe" --home "$tmp/home" --content-base http://127.0.0.1:9/ >"$1.out" 2>"$1.err" &
  main=$!; pids+=("$main")
}
stop() {
  kill "$main"; wait "$main" 2>/dev/null || true
  for p in $(ours); do kill "$p" 2>/dev/null || true; done
}
no_link_files_in() { ! ls -A "$1" | grep -q '^vantoli-[0-9]*\.\(lock\|sock\)$'; }

# A fresh temporary folder: the program makes its own folder there.
fresh="$tmp/fresh"
mkdir -m 1777 "$fresh"
start "$fresh"
wait_for 60 test -S "$fresh/vantoli-$uid/vantoli-$uid.sock" || fail "no socket in the private folder: $(ls -la "$fresh")"
[ "$(stat -c %a "$fresh/vantoli-$uid")" = 700 ] || fail "the private folder is open to others"
no_link_files_in "$fresh" || fail "link files in the shared folder"
stop

# The name is taken by a folder others may write into (and, when this runs
# as root, Qt's own fallback belongs to another user): nothing goes there or
# into the shared folder, the program runs on its own and says why.
shared="$tmp/shared"
mkdir -m 1777 "$shared"
mkdir -m 777 "$shared/vantoli-$uid"
chmod 777 "$shared/vantoli-$uid"
if [ "$uid" = 0 ]; then
  mkdir -m 700 "$shared/runtime-$(id -un)"
  chown 65534 "$shared/runtime-$(id -un)"
fi
start "$shared"
wait_for 60 grep -q 'a later start opens a window of its own' "$shared.err" || fail "no word about the link: $(cat "$shared.err")"
grep -q "vantoli-$uid" "$shared.err" || fail "the message does not name the folder"
sleep 5
kill -0 "$main" 2>/dev/null || fail "the program did not run without the link"
no_link_files_in "$shared" || fail "link files in the shared folder: $(ls -la "$shared")"
no_link_files_in "$shared/vantoli-$uid" || fail "link files in a folder open to others"
[ "$(stat -c %a "$shared/vantoli-$uid")" = 777 ] || fail "someone else's folder was changed"
stop
echo "private runtime folder: ok"
