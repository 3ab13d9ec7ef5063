#!/usr/bin/env bash
# Makes docs/window.png: the server window on a virtual X screen (Xvfb) with a demo database,
# after a few requests so that the counter and the log show something.
#
#   scripts/screenshot.sh [BUILD_DIR]     (default build/release; built when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${1:-build/release}"
if [ ! -x "$build/src/livrexa-server" ] || [ ! -x "$build/src/host/window/livrexa-grab-screen" ]; then
  cmake --preset release
  cmake --build --preset release
  build=build/release
fi

work="$(mktemp -d)"
server_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
home="$work/home"
mkdir -p "$home/Backup" "$work/run"
bash scripts/create-db.sh --demo --firebird-dir "$home/.firebird" "$home/Livrexa.FDB" >/dev/null
printf '[INDICE]\r\nLocalLivrexaDB=%s\r\nPastaBackup1=%s\r\nPastaBackup2=\r\nPorta=%s\r\nHoraBackup=12\r\n' \
  "$home/Livrexa.FDB" "$home/Backup" "$port" > "$home/Config1.ini"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 720x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY="$display" XDG_RUNTIME_DIR="$work/run" "$build/src/livrexa-server" --home "$home" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/" && break
  sleep 0.2
done
for _ in 1 2 3; do curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/Consulta?Flag=120"; done
curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/Consulta?Flag=5&Rotina=Emprestimos&Usuario=ANA"
mkdir -p docs
DISPLAY="$display" "$build/src/host/window/livrexa-grab-screen" "$root/docs/window.png" 1500
echo "screenshot: docs/window.png"
