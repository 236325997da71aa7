#!/usr/bin/env bash
# The program over an https content base, end to end: nginx from the shipped
# configuration with a certificate from an authority this test makes, the
# reference server behind it, and the real program, whose web panes trust
# the authority through a private NSS store and whose fetches trust it
# through SSL_CERT_FILE. A click on an episode in the catalog pane (made
# through the web engine's DevTools endpoint, as a user's click) looks the
# episode up, plays it through PeerTerminal from the https origin and sends
# the play ping; the start ping arrives and the control file is read.
# Then the same program against an nginx whose certificate comes from an
# authority nobody trusts: the panes show the refusal page, the control-file
# fetch says why on standard error, and no request passes that nginx.
# Every process is started here (or by the program, found by this run's
# runtime folder) and ended by its pid.
set -euo pipefail
exe=$(realpath "$1")
server=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
site=$(realpath "$here/../../server/deploy/nginx-vantoli.conf")
nginx=/usr/sbin/nginx
for tool in "$nginx" node certutil openssl dbus-daemon dbus-send; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh)"; exit 0; }
done

tmp=$(mktemp -d)
pids=()
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
. "$here/../app/own_processes.sh"
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  end_processes_of_runtime "$XDG_RUNTIME_DIR"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$tmp"/*.log "$tmp"/nginx-*/access.log "$tmp"/nginx-*/error.log; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -25 "$f" >&2; }
  done
  exit 1
}
wait_for() { # seconds, command...
  local n=$(($1 * 10)); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
free_port() { # a loopback port nobody listens on (never 8260)
  local p
  while :; do
    p=$((20000 + RANDOM % 40000))
    [ "$p" = 8260 ] && continue
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return; }
  done
}
export QT_QPA_PLATFORM=offscreen VANTOLI_AUDIO_OUTPUT=null
# A copy of the program with its own component folder: the transfer program
# that other tests run from the build's folder is not this program's.
mkdir "$tmp/program"
cp "$exe" "$tmp/program/vantoli"
cp -r "$(dirname "$exe")/Peer" "$tmp/program/Peer"
exe="$tmp/program/vantoli"

# The authority, the server's certificate and a stranger's.
"$here/make_test_certs.sh" "$tmp/certs" || fail "certificates"
# The web engine trusts the user's NSS store; this run's user is a folder.
export HOME="$tmp/user"
mkdir -p "$HOME/.pki/nssdb"
certutil -N -d "sql:$HOME/.pki/nssdb" --empty-password </dev/null || fail "NSS store"
certutil -A -d "sql:$HOME/.pki/nssdb" -n vantoli-test -t C,, -i "$tmp/certs/ca.pem" </dev/null || fail "NSS trust"
# The program's own fetches and PeerTerminal: this authority instead of the system's.
export SSL_CERT_FILE="$tmp/certs/ca.pem"

"$server" demo --data "$tmp/data" --clip-seconds 6 --size 160x120 >/dev/null 2>&1 || fail "demo data"
tls=$(free_port)
good="https://localhost:$tls/"
"$server" serve --data "$tmp/data" --port 0 --behind-proxy --public-base "$good" >"$tmp/server.log" 2>&1 &
pids+=($!)
wait_for 10 grep -q 'on http://127.0.0.1:[0-9]*/' "$tmp/server.log" || fail "server did not start"
backend=$(grep -o '127.0.0.1:[0-9]*' "$tmp/server.log" | head -1)

start_nginx() { # name, https port, certificate name
  local prefix="$tmp/nginx-$1"
  mkdir -p "$prefix"
  sed -e "s#@LISTEN@#127.0.0.1:$(free_port)#" -e "s#@TLS_LISTEN@#127.0.0.1:$2#" \
      -e "s#@CERT@#$tmp/certs/$3.pem#" -e "s#@KEY@#$tmp/certs/$3.key#" \
      -e "s#@DATA@#$tmp/data#" -e "s#@BACKEND@#$backend#" "$site" >"$prefix/vantoli.conf"
  cat >"$prefix/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
error_log $prefix/error.log warn;
pid $prefix/nginx.pid;
events { worker_connections 256; }
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  log_format who '\$request \$status "\$http_user_agent"';
  access_log $prefix/access.log who;
  client_body_temp_path $prefix/body;
  proxy_temp_path $prefix/proxy;
  fastcgi_temp_path $prefix/fastcgi;
  uwsgi_temp_path $prefix/uwsgi;
  scgi_temp_path $prefix/scgi;
  include $prefix/vantoli.conf;
}
EOF
  : >"$prefix/access.log"
  "$nginx" -p "$prefix/" -c "$prefix/nginx.conf" -e "$prefix/error.log" >"$prefix/out.log" 2>&1 &
  pids+=($!)
  wait_for 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$2" 2>/dev/null || fail "nginx $1 did not start"
}
start_nginx good "$tls" server

# The episode the first click plays, as the server names it.
lookup() {
  local port=${backend#127.0.0.1:}
  exec 5<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /h.php?id=1&v=0&v1=0 HTTP/1.0\r\nHost: %s\r\n\r\n' "$backend" >&5
  sed '1,/^\r*$/d' <&5
  exec 5<&-
}
reply=$(lookup)
address=${reply#*\$}; address=${address%%\$*}
[[ "$address" == "${good}media/"* ]] || fail "the server does not name https media: $reply"

# A private session bus to read what the window plays.
dbus-daemon --session --nofork --print-address=3 3>"$tmp/bus" 2>/dev/null &
pids+=($!)
wait_for 10 test -s "$tmp/bus" || fail "no private bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$tmp/bus")
property() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null
}
status_is() { property PlaybackStatus | grep -q "string \"$1\""; }
quit_program() { # pid
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.vantoli /org/mpris/MediaPlayer2 \
    org.mpris.MediaPlayer2.Quit >/dev/null 2>&1 || kill "$1" 2>/dev/null || true
  # The pid is expanded here: inside wait_for "$1" is wait_for's own.
  wait_for 20 eval "! kill -0 $1 2>/dev/null" || fail "the program did not end"
}
devtools() { # port, address part, expression, seconds
  node --experimental-websocket "$here/devtools_eval.js" "$@" 2>/dev/null
}
served() { grep -q "GET $1.* 200\$" "$tmp/server.log"; }

home="$tmp/home"
mkdir -p "$home"
dev=$(free_port)
QTWEBENGINE_REMOTE_DEBUGGING="127.0.0.1:$dev" \
  "$exe" --home "$home" --content-base "$good" --stats-base "${good}stat/" >"$tmp/program.log" 2>&1 &
program=$!; pids+=("$program")
started=$(date +%s)

wait_for 30 test -s "$XDG_RUNTIME_DIR/vantoli-PeerTerminal.port" || fail "PeerTerminal did not start"
# The catalog over https, and a user's click on its first episode.
devtools "$dev" "localhost:$tls/" \
  "location.pathname === '/' && document.querySelector('a.ep') ? (document.querySelector('a.ep').click(), true) : false" \
  60 >/dev/null || fail "the catalog pane did not show the https catalog"
wait_for 30 status_is Playing || fail "the episode does not play: $(property PlaybackStatus)"
property Metadata | grep -qF "$address" || fail "the window plays something else: $(property Metadata)"
served "/h.php?id=1&v=0&v1=0" || fail "no episode lookup over https"
wait_for 10 served "/stat/tongji.php?enid=" || fail "no start ping over https"
wait_for 10 served "/stat/tongjidb.php?enid=" || fail "no play ping over https"
# The transfer program fetched episodes from the https origin into its cache
# folder (the player goes to the origin itself, verified too, when the
# terminal is slow to answer; the next episode's fetch ahead goes to the
# terminal). nginx logs a request when its reply is complete.
terminal_fetched() {
  grep -q "^GET /media/demo/t1/s0e0[1-4].mp4 .* 20[06] \"cpp-httplib" "$tmp/nginx-good/access.log" &&
    find "$HOME/Videos/Vantoli" -name 's0e0[1-4].mp4' -size +10k 2>/dev/null | grep -q .
}
wait_for 30 terminal_fetched || fail "PeerTerminal did not fetch the media over https"
# The control file, read six seconds after the window showed.
wait_for 20 served "/lib/wen.txt" || fail "the control file was not read over https"
! grep -q "vantoli: refused" "$tmp/program.log" || fail "a trusted server was refused: $(grep refused "$tmp/program.log")"
quit_program "$program"
echo "https: trusted server played in $(($(date +%s) - started)) s"

# A server whose certificate no authority of this user vouches for.
bad_port=$(free_port)
bad="https://localhost:$bad_port/"
start_nginx stranger "$bad_port" stranger
dev=$(free_port) # the first program's may not be free again yet
QTWEBENGINE_REMOTE_DEBUGGING="127.0.0.1:$dev" \
  "$exe" --home "$home" --content-base "$bad" --stats-base "${bad}stat/" >"$tmp/refused.log" 2>&1 &
program=$!; pids+=("$program")
page=$(devtools "$dev" "about:blank" \
  "document.body && document.body.id === 'certificate-refused' && document.body.innerText" 60) ||
  fail "no pane shows the refusal page"
grep -qF "https://localhost:$bad_port" <<<"$page" || fail "the refusal page does not name the server: $page"
grep -q "证书不是由受信任的证书机构签发的" <<<"$page" || fail "the refusal page does not say why: $page"
grep -qF "vantoli: refused https://localhost:$bad_port: its certificate does not verify (Server's certificate is not trusted" \
  "$tmp/refused.log" || fail "the panes' refusal was not said on standard error"
wait_for 20 grep -qF "vantoli: refused https://localhost:$bad_port: its certificate does not verify (The issuer" \
  "$tmp/refused.log" || fail "the control-file fetch did not say why it refused"
[ "$(grep -c . "$tmp/nginx-stranger/access.log")" = 0 ] ||
  fail "a request passed the untrusted server: $(cat "$tmp/nginx-stranger/access.log")"
quit_program "$program"
echo "https: ok"
