#!/usr/bin/env bash
# The program under every combination of the switches that choose how it
# draws: the web panes' scene (QT_QUICK_BACKEND), X11's OpenGL integration
# (QT_XCB_GL_INTEGRATION), the video surface (VANTOLI_VIDEO) and the window
# system. Each start plays a clip given on the command line, must come up
# (the clip recorded, the panes' helpers running, the position moving) and
# end cleanly on SIGTERM with its position saved. On a machine without a GPU
# the runs that do not ask for OpenGL must not load an OpenGL driver at all.
# Every process here is started by this script and ended by its pid.
set -euo pipefail
if [ -z "${GRAPHICS_TEST_UNDER_X:-}" ]; then
  # One X server of its own for all the runs.
  GRAPHICS_TEST_UNDER_X=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
. "$(dirname "$0")/own_processes.sh"
exe=$(realpath "$1")
tmp=$(mktemp -d)
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
main=
cleanup() {
  [ -n "$main" ] && kill -KILL "$main" 2>/dev/null || true
  end_processes_of_runtime "$XDG_RUNTIME_DIR"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$tmp/err" ] && tail -20 "$tmp/err" >&2; exit 1; }
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
helpers_run() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" ] || continue
    if [[ "$(readlink "$p/exe")" == *QtWebEngineProcess* ]] &&
      tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
      return 0
    fi
  done
  return 1
}
gone() { ! kill -0 "$1" 2>/dev/null; }
gl_driver_loaded() { grep -qE '/dri/|_dri\.so|libLLVM|libGLX_mesa|libEGL_mesa' "/proc/$1/maps"; }

no_gpu=1
compgen -G '/dev/dri/renderD*' >/dev/null && no_gpu=0
clip="$tmp/clip.mp4"
ffmpeg -loglevel error -f lavfi -i testsrc2=duration=60:size=320x180:rate=25 -pix_fmt yuv420p "$clip" ||
  fail "ffmpeg could not make the clip"

# name | environment | whether an OpenGL driver may be loaded
runs=(
  "defaults||no"
  "no X11 GL integration|QT_XCB_GL_INTEGRATION=none|no"
  "software scene asked for|QT_QUICK_BACKEND=software|no"
  "OpenGL scene asked for|QT_QUICK_BACKEND=opengl|yes"
  "OpenGL scene without GL integration|QT_QUICK_BACKEND=opengl QT_XCB_GL_INTEGRATION=none|no"
  "GLX integration|QT_XCB_GL_INTEGRATION=xcb_glx|yes"
  "EGL integration|QT_XCB_GL_INTEGRATION=xcb_egl|yes"
  "software scene with GLX|QT_QUICK_BACKEND=software QT_XCB_GL_INTEGRATION=xcb_glx|yes"
  "video as image|VANTOLI_VIDEO=image|no"
  "video as image without GL integration|VANTOLI_VIDEO=image QT_XCB_GL_INTEGRATION=none|no"
  "video as image, OpenGL scene|VANTOLI_VIDEO=image QT_QUICK_BACKEND=opengl|yes"
  "video window asked for|VANTOLI_VIDEO=window|no"
  # Qt's offscreen platform (tests) makes its own GLX context for the web
  # engine whenever a display is set.
  "offscreen platform|QT_QPA_PLATFORM=offscreen|yes"
  "offscreen platform, video window asked for|QT_QPA_PLATFORM=offscreen VANTOLI_VIDEO=window|yes"
)
for run in "${runs[@]}"; do
  IFS='|' read -r name settings gl_allowed <<<"$run"
  home="$tmp/home"
  rm -rf "$home"
  mkdir "$home"
  # shellcheck disable=SC2086
  env -u QT_QUICK_BACKEND -u QT_XCB_GL_INTEGRATION -u VANTOLI_VIDEO VANTOLI_AUDIO_OUTPUT=null $settings \
    "$exe" --home "$home" --content-base http://127.0.0.1:9/ "$clip" >"$tmp/out" 2>"$tmp/err" &
  main=$!
  wait_for 60 grep -qs "clip.mp4|$clip|0" "$home/date_f.dat" || fail "$name: the clip was not played"
  wait_for 60 helpers_run || fail "$name: the panes did not start"
  sleep 4
  gone "$main" && fail "$name: the program ended by itself"
  if [ "$no_gpu" = 1 ] && [ "$gl_allowed" = no ] && gl_driver_loaded "$main"; then
    fail "$name: an OpenGL driver was loaded without a GPU: $(grep -oE '[^ ]*(dri|LLVM|mesa)[^ ]*' "/proc/$main/maps" | sort -u | tr '\n' ' ')"
  fi
  kill -TERM "$main"
  wait_for 30 gone "$main" || fail "$name: the program did not end after SIGTERM"
  rc=0; wait "$main" || rc=$?
  main=
  [ "$rc" = 0 ] || fail "$name: exit status $rc"
  line=$(tr -d '\r' <"$home/date_f.dat" | grep -F "clip.mp4|$clip|" || true)
  position=${line##*|}
  [ -n "$position" ] && [ "$position" -ge 2 ] || fail "$name: the clip did not play (position '$position')"
  end_processes_of_runtime "$XDG_RUNTIME_DIR"
  echo "ok: $name"
done
echo "graphics start: ok"
