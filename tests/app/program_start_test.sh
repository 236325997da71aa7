#!/usr/bin/env bash
# Starts the program twice on an empty program folder: the first start must
# create App.ini, the history files and pages; the second, after App.ini was
# edited by hand, must repair exactly what it should.
set -euo pipefail
. "$(dirname "$0")/own_processes.sh"
home=$(mktemp -d)
# A runtime folder of its own: no other running instance is found.
export XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'end_processes_of_runtime "$XDG_RUNTIME_DIR"; rm -rf "$home"' EXIT
# A copy of the program with its own component folder: player programs that
# other tests run from the build's component folder are not this program's.
mkdir "$home/program"
cp "$1" "$home/program/vantoli"
[ -d "$(dirname "$1")/Peer" ] && cp -r "$(dirname "$1")/Peer" "$home/program/Peer"
exe=$home/program/vantoli

run() {
  # The program keeps running with its window open; end it after start-up
  # (a sanitizer build on a busy machine needs several seconds to get there).
  timeout -s TERM 15 "$exe" --home "$home" >/dev/null 2>&1 || [ $? -eq 124 ]
}
fail() { echo "FAIL: $*" >&2; exit 1; }

"$exe" --version | grep -q '^vantoli ' || fail "--version"
"$exe" --help | grep -q -- '--home' || fail "--help"

run
[ -f "$home/App.ini" ] || fail "App.ini not created"
keys=$(tr -d '\r' <"$home/App.ini" | sed -n 's/=.*//p' | tr '\n' ' ')
[ "$keys" = "Name Name Num Name ts up quit peerk s_size h_w h_h s_h s_bo s_jd peerqi s_pao " ] ||
  fail "first-start keys: $keys"
for f in date.dat date_f.dat; do
  [ "$(od -An -c "$home/$f" | tr -d ' \n')" = '\r\n' ] || fail "$f is not one empty line"
done
for f in c.htm f.htm; do
  grep -q 'colspan=2 align=center' "$home/$f" || fail "$f lacks the empty-list row"
done

# Hand edits: the product name changed, a flag emptied, the size key removed.
sed -i 's/^Name=Vantoli/Name=Other/; s/^s_bo=2/s_bo=/; /^h_w=/d; s/^s_h=2/s_h=1/' "$home/App.ini"
echo 'keep=me' >>"$home/App.ini"
cp "$home/c.htm" "$home/c.before"
run
grep -q $'^Name=Vantoli\r$' "$home/App.ini" || fail "main/Name not repaired"
grep -q $'^s_bo=2\r$' "$home/App.ini" || fail "s_bo not repaired"
grep -q $'^h_w=14850\r$' "$home/App.ini" || fail "h_w not repaired"
grep -q $'^s_h=1\r$' "$home/App.ini" || fail "s_h changed"
grep -q '^keep=me' "$home/App.ini" || fail "unknown key lost"
cmp -s "$home/c.htm" "$home/c.before" || fail "existing page rewritten"
echo "program start: ok"
