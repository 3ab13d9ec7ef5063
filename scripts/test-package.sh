#!/usr/bin/env bash
# The Debian package on this machine, as an IT person would use it: builds it (scripts/package.sh),
# installs it with apt-get, creates the demo database as the livrexa user, starts the server with
# the unit's own ExecStart line under runuser (systemd need not be running), asks it one request,
# purges the package and checks what is left; then installs and purges once more without a
# database, which must leave nothing behind.
#
#   scripts/test-package.sh        (as root, or with sudo)
#
# LIVREXA_PACKAGE=FILE tests that package instead of building one (the Debian 13 test runs this
# script in its Debian 13 root on the package built here).
#
# Refuses to run when livrexa-server is installed or /var/lib/livrexa exists: it would purge them.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
say() { echo "test-package: $*"; }
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' livrexa-server 2>/dev/null | grep -q " installed"; then
  fail "livrexa-server is already installed on this machine; this test installs and purges it"
fi
for path in /var/lib/livrexa /var/backups/livrexa; do
  [ ! -e "$path" ] || fail "$path exists; this test would remove it"
done

started=$(date +%s)
deb="${LIVREXA_PACKAGE:-}"
[ -n "$deb" ] || deb="$(bash scripts/package.sh | tail -n 1)"
[ -f "$deb" ] || fail "no package built"
built=$(date +%s)
if [ -n "${LIVREXA_PACKAGE:-}" ]; then say "testing $deb"; else say "built $deb in $((built - started)) s"; fi

work="$(mktemp -d)"
chmod 755 "$work"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    $SUDO kill -TERM "$server_pid" 2>/dev/null || true
    sleep 1
    $SUDO kill -KILL "$server_pid" 2>/dev/null || true
  fi
  if dpkg-query -W -f='${Status}' livrexa-server 2>/dev/null | grep -q "installed\|config-files"; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq livrexa-server >/dev/null 2>&1 || true
  fi
  $SUDO rm -rf /var/lib/livrexa /var/backups/livrexa /run/livrexa
  if getent passwd livrexa >/dev/null; then $SUDO deluser --system --quiet livrexa >/dev/null 2>&1 || true; fi
  if getent group livrexa >/dev/null; then $SUDO delgroup --system --quiet livrexa >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# What the package holds and needs.
contents="$(dpkg-deb --contents "$deb")"
for file in ./usr/bin/livrexa-server ./lib/systemd/system/livrexa-server.service \
            ./usr/share/livrexa/scripts/create-db.sh ./usr/share/livrexa/scripts/grant-readonly.sh \
            ./usr/share/livrexa/db/schema.sql ./usr/share/livrexa/db/demo.sql ./usr/share/livrexa/db/grant-readonly.sql; do
  grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
done
depends="$(dpkg-deb --field "$deb" Depends)"
for package in libfbclient2 firebird3.0-server-core firebird3.0-utils libqt6widgets6 adduser; do
  grep -q "\b$package\b" <<<"$depends" || fail "the package does not depend on $package: $depends"
done

install_package() {
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install"; }
}
install_package
home=/var/lib/livrexa
unit=/lib/systemd/system/livrexa-server.service
getent passwd livrexa >/dev/null || fail "no user livrexa"
[ "$(stat -c '%U:%G %a' "$home")" = "livrexa:livrexa 750" ] || fail "home: $(stat -c '%U:%G %a' "$home")"
for path in "$home/Backup" "$home/.firebird" "$home/Config1.ini" /var/backups/livrexa; do
  [ "$(stat -c '%U' "$path")" = livrexa ] || fail "$path is not the livrexa user's"
done
[ -L /etc/systemd/system/multi-user.target.wants/livrexa-server.service ] || fail "the service is not enabled"
if command -v systemd-analyze >/dev/null; then
  $SUDO systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 || { cat "$work/verify.log" >&2; fail "systemd-analyze verify"; }
fi
for setting in "ProtectSystem=strict" "ProtectHome=true" "NoNewPrivileges=true" "PrivateTmp=true" \
               "ReadWritePaths=/var/lib/livrexa" "User=livrexa" "RestartPreventExitStatus=2" "Restart=on-failure"; do
  grep -qx "$setting" "$unit" || fail "the unit lacks $setting"
done

# First configuration: a free port in Config1.ini, the demo database made as the livrexa user.
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')"
$SUDO sed -i "s/^Porta=.*\r\$/Porta=$port\r/" "$home/Config1.ini"
grep -q "^Porta=$port" "$home/Config1.ini" || fail "Config1.ini: $(cat "$home/Config1.ini")"
$SUDO runuser -u livrexa -- /usr/share/livrexa/scripts/create-db.sh --demo --firebird-dir "$home/.firebird" \
  "$home/Livrexa.FDB" >"$work/create.log" 2>&1 || { cat "$work/create.log" >&2; fail "create-db.sh as livrexa"; }
[ "$(stat -c '%U' "$home/Livrexa.FDB")" = livrexa ] || fail "the database is not the livrexa user's"

# The service as the unit starts it: its user, its environment, its runtime folder, ExecStart.
exec_start="$(sed -n 's/^ExecStart=//p' "$unit")"
environment="$(sed -n 's/^Environment=//p' "$unit")"
runtime="/run/$(sed -n 's/^RuntimeDirectory=//p' "$unit")"
$SUDO install -d -o livrexa -g livrexa -m 0755 "$runtime"
# shellcheck disable=SC2086  # the unit's lines are split into words as systemd splits them
$SUDO runuser -u livrexa -- env $environment $exec_start >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 300); do
  grep -qs "Porta $port" "$work/server.log" && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log" >&2; fail "the server ended at start"; }
  sleep 0.1
done
grep -q "Porta $port" "$work/server.log" || { cat "$work/server.log" >&2; fail "the server does not serve port $port"; }
reply="$(curl -s -u Tivel:Tivel1968 "http://127.0.0.1:$port/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN")"
grep -q '"RESPOSTA":"MQ=="' <<<"$reply" || fail "the login did not answer user 1: $reply"
# runuser waits for the server, its child (env replaced itself with the server): the stop signal
# goes to the server, as systemd sends it, and runuser returns the server's status.
server="$(pgrep -P "$server_pid" | head -n 1)"
[ "$(ps -o user= -p "$server" 2>/dev/null)" = livrexa ] || fail "the server does not run as livrexa"
[ "$(ps -o comm= -p "$server" 2>/dev/null)" = livrexa-server ] || fail "no server process under runuser"
$SUDO kill -TERM "$server"
status=0
wait "$server_pid" || status=$?
server_pid=""
[ "$status" = 0 ] || { cat "$work/server.log" >&2; fail "the server stopped with status $status"; }
say "installed, served port $port as livrexa and stopped"

# Purge: the package's files and the server's own go, the library's database stays.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq livrexa-server >"$work/purge.log" 2>&1 ||
  { cat "$work/purge.log" >&2; fail "apt-get purge"; }
for path in /usr/bin/livrexa-server "$unit" /usr/share/livrexa /usr/share/doc/livrexa-server \
            /etc/systemd/system/multi-user.target.wants/livrexa-server.service "$home/.firebird" "$home/Config1.ini"; do
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after the purge"
done
[ -f "$home/Livrexa.FDB" ] || fail "the purge deleted the library's database"
grep -q "were kept" "$work/purge.log" || fail "the purge does not say what it kept: $(cat "$work/purge.log")"

# Without data, a purge leaves nothing: no folder, no user.
$SUDO rm -rf "$home"
install_package
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq livrexa-server >"$work/purge.log" 2>&1 ||
  { cat "$work/purge.log" >&2; fail "apt-get purge"; }
for path in "$home" /var/backups/livrexa; do [ ! -e "$path" ] || fail "$path is left after the purge"; done
! getent passwd livrexa >/dev/null || fail "the user livrexa is left after the purge"
! getent group livrexa >/dev/null || fail "the group livrexa is left after the purge"
dpkg-query -W livrexa-server >/dev/null 2>&1 && fail "dpkg still knows livrexa-server"

say "passed in $(( $(date +%s) - started )) s (package build $((built - started)) s)"
