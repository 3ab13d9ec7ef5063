#!/usr/bin/env bash
# Installs the dependencies, builds the server (release) and starts it on a home folder that holds
# Config1.ini, the database, the backups and the server's Firebird folder.
#
#   scripts/run.sh [--home DIR] [--headless] [--port N]
#
# --home DIR   the server's home (default: demo-home/ in the repository). When it has no
#              Config1.ini, a demo home is made there: Config1.ini and a demo database created from
#              db/schema.sql and db/demo.sql.
# --headless   no window, log on standard output. Without a display (no DISPLAY or
#              WAYLAND_DISPLAY) the server always runs headless.
# --port N     the port written into a new demo home's Config1.ini (default 7022).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

home="$root/demo-home"
headless=0
port=7022
while [ $# -gt 0 ]; do
  case "$1" in
    --home) shift; home="$1" ;;
    --headless) headless=1 ;;
    --port) shift; port="$1" ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: opção desconhecida $1" >&2; exit 2 ;;
  esac
  shift
done

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release

mkdir -p "$home"
home="$(cd "$home" && pwd)"
config="$home/Config1.ini"
database="$home/Livrexa.FDB"
if [ ! -f "$config" ]; then
  mkdir -p "$home/Backup"
  printf '[INDICE]\r\nLocalLivrexaDB=%s\r\nPastaBackup1=%s\r\nPastaBackup2=\r\nPorta=%s\r\nHoraBackup=12\r\n' \
    "$database" "$home/Backup" "$port" > "$config"
  echo "run.sh: criado $config"
fi
# The database Config1.ini names, created with the demo data when it is missing.
configured_db="$(sed -n 's/^[Ll][Oo][Cc][Aa][Ll][Ll][Ii][Vv][Rr][Ee][Xx][Aa][Dd][Bb]=//p' "$config" | tr -d '\r' | head -n1)"
if [ -n "$configured_db" ] && [ ! -e "$configured_db" ]; then
  mkdir -p "$(dirname "$configured_db")"
  bash scripts/create-db.sh --demo --firebird-dir "$home/.firebird" "$configured_db"
fi
configured_port="$(sed -n 's/^[Pp][Oo][Rr][Tt][Aa]=//p' "$config" | tr -d '\r' | head -n1)"

cat <<INFO
Livrexa: servidor em http://localhost:${configured_port}/  (home: $home)
  credenciais HTTP (Basic) dos clientes: Tivel / Tivel1968
  administrador de demonstração (usuário 1): ADMIN / ADMIN
INFO

args=(--home "$home")
if [ "$headless" = 1 ] || { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }; then
  args+=(--headless)
fi
exec build/release/src/livrexa-server "${args[@]}"
