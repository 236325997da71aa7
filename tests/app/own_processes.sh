# Sourced by the program tests. Every process the program starts on its own
# (the transfer program) inherits the test's private runtime folder; this
# ends exactly those, by pid, so nothing a test caused outlives it.
end_processes_of_runtime() { # runtime folder
  local p pid
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    [ "$pid" = $$ ] && continue
    [ "$pid" = "${BASHPID:-$$}" ] && continue
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "XDG_RUNTIME_DIR=$1"; then
      kill "$pid" 2>/dev/null || true
    fi
  done
}
