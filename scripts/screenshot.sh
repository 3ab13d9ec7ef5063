#!/usr/bin/env bash
# Redraws the pictures in docs/: the server window with a demo database after a few requests
# (window.png), the administrator login (login.png), the settings dialog (settings.png) and the
# restore dialog (restore.png), on a virtual X screen (Xvfb) with a window manager (fluxbox), the
# dialogs opened with the mouse and the keyboard as an operator would (xdotool).
#
#   scripts/screenshot.sh [BUILD_DIR]     (default build/release; built when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${1:-build/release}"
for tool in Xvfb fluxbox xdotool curl python3; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
if [ ! -x "$build/src/livrexa-server" ] || [ ! -x "$build/src/host/window/livrexa-grab-screen" ]; then
  cmake --preset release
  cmake --build --preset release
  build=build/release
fi
# An ASan build, if given, must not fail the run over the desktop libraries' own leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

work="$(mktemp -d)"
server_pid=""
wm_pid=""
xvfb_pid=""
cleanup() {
  # The embedded engine takes SIGTERM for its own shutdown: the window gets a moment, then SIGKILL.
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.2; done
    kill -9 "$server_pid" 2>/dev/null || true
  fi
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free port the settings dialog can show (1..9000).
port="$(python3 -c '
import socket
for p in range(7022, 9000):
    s = socket.socket()
    try:
        s.bind(("", p)); print(p); break
    except OSError:
        pass
    finally:
        s.close()')"
home="$work/home"
mkdir -p "$home/Backup" "$work/run"
bash scripts/create-db.sh --demo --firebird-dir "$home/.firebird" "$home/Livrexa.FDB" >/dev/null
printf '[INDICE]\r\nLocalLivrexaDB=%s\r\nPastaBackup1=%s\r\nPastaBackup2=\r\nPorta=%s\r\nHoraBackup=12\r\n' \
  "$home/Livrexa.FDB" "$home/Backup" "$port" > "$home/Config1.ini"

export DISPLAY=":$((90 + RANDOM % 100))"
Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
# fluxbox honours the window flags (no maximize button on a fixed-size window); no tray, so the
# window opens normal instead of minimized, and a dark style of its own.
mkdir -p "$work/.fluxbox"
printf '%s\n' "session.screen0.toolbar.visible: false" "session.screen0.toolbar.tools: clock" \
  "session.screen0.titlebar.left: MenuIcon" "session.screen0.titlebar.right: Minimize Maximize Close" \
  "session.styleFile: /usr/share/fluxbox/styles/bora_black" \
  "session.styleOverlay: $work/.fluxbox/overlay" > "$work/.fluxbox/init"
echo "background: none" > "$work/.fluxbox/overlay"
HOME="$work" fluxbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1
XDG_RUNTIME_DIR="$work/run" "$build/src/livrexa-server" --home "$home" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/" && break
  sleep 0.2
done
for _ in 1 2 3; do curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/Consulta?Flag=120"; done
curl -s -o /dev/null -u Tivel:Tivel1968 "http://127.0.0.1:$port/Consulta?Flag=5&Rotina=Emprestimos&Usuario=ANA"

grab() {
  "$build/src/host/window/livrexa-grab-screen" "$root/docs/$1" 800
  echo "screenshot: docs/$1"
}
# The window whose title is $1, once it is on screen.
window_named() {
  local id=""
  for _ in $(seq 1 50); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)" && [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "screenshot.sh: no window \"$1\"" >&2; exit 1; }
  echo "$id"
}
# Clicks at a point of a window, counted from its right (negative x) or bottom (negative y) edge.
click_in() {
  local id="$1" x="$2" y="$3" WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=')"
  [ "$x" -lt 0 ] && x=$((WIDTH + x))
  [ "$y" -lt 0 ] && y=$((HEIGHT + y))
  xdotool mousemove --window "$id" "$x" "$y" click 1
}

mkdir -p docs
main="$(window_named "Servidor do Banco de Dados do Livrexa")"
xdotool mousemove 0 0
grab window.png

# The settings button (top right) opens the login; the administrator of the demo database.
click_in "$main" -60 24
login="$(window_named "Acesso somente ao adminstrador")"
xdotool type --delay 40 "admin"
xdotool key Tab
xdotool type --delay 40 "admin"
grab login.png

xdotool key Tab Return
settings="$(window_named "Configuração do Módulo Servidor")"
grab settings.png

# "Restaurar" at the bottom left of the settings dialog.
click_in "$settings" 50 -22
restore="$(window_named "Restaura cópia de segurança")"
xdotool type --delay 20 "$home/Backup/BackupLX-2022-05-31.FBK"
grab restore.png
