#!/usr/bin/env bash
# Gives the read-only user of the raw query ("Consulta" 999) its rights on an existing Livrexa
# database: SELECT on every table and view, nothing else (db/grant-readonly.sql). Only grants:
# no data is read or changed, and running it again does no harm. Databases made by
# scripts/create-db.sh have the rights already; run this once on older ones, and again after
# tables are added. Without the rights the raw query answers that the user has no access.
#
#   scripts/grant-readonly.sh [--firebird-dir DIR] DATABASE
#
# --firebird-dir DIR  the Firebird folder of the server (HOME/.firebird) when a server may have
#                     the file open; default as for scripts/create-db.sh.
#
# DATABASE may be a database on a Firebird server (host:path, host/port:path,
# inet://host:port/path; SYSDBA's password there must be brickwall): the user LIVREXA_LEITURA is
# then also created in the server's user list, or given its password (leitura), which the Livrexa
# server uses to attach as that user.
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

here="$(cd "$(dirname "$0")/.." && pwd)"
fbdir=""
database=""
while [ $# -gt 0 ]; do
  case "$1" in
    --firebird-dir) shift; [ $# -gt 0 ] || usage; fbdir="$1" ;;
    -h|--help) usage ;;
    -*) echo "grant-readonly: unknown option $1" >&2; usage ;;
    *) [ -z "$database" ] || usage; database="$1" ;;
  esac
  shift
done
[ -n "$database" ] || usage

# The same test as the server's (src/handlers/gateway/database_name.h).
is_server_name() {
  local name="$1"
  shopt -s nocasematch
  if [[ "$name" =~ ^inet[46]?://.+ ]]; then shopt -u nocasematch; return 0; fi
  shopt -u nocasematch
  [[ "$name" =~ ^(\[[^]]+\]|[A-Za-z0-9._-]+)(/[A-Za-z0-9_-]+)?:.+ ]] && [ "${name:1:1}" != ":" ] &&
    [ "${name:0:1}" != "." ]
}
. "$here/scripts/firebird-folder.sh"
fbhome="${LIVREXA_FIREBIRD_HOME:-$(find_fbhome)}"

if is_server_name "$database"; then
  client="$(mktemp -d)"
  trap 'rm -rf "$client"' EXIT
  fill_firebird_folder "$client" "$fbhome"
  printf 'Providers = Remote\n' > "$client/firebird.conf"
  export FIREBIRD="$client" FIREBIRD_LOCK="$client/lock" FIREBIRD_TMP="$client/tmp"
  isql="$(find_isql "$fbhome")"
  if [ -z "$isql" ]; then
    echo "grant-readonly: Firebird's isql (isql-fb) was not found; run scripts/install-deps.sh." >&2
    exit 1
  fi
  { echo "CREATE OR ALTER USER LIVREXA_LEITURA PASSWORD 'leitura' USING PLUGIN Srp;"
    echo "COMMIT;"
    echo "INPUT '$(printf "%s" "$here/db/grant-readonly.sql" | sed "s/'/''/g")';"
  } > "$client/grant.sql"
  "$isql" -q -b -user SYSDBA -password brickwall -ch UTF8 -i "$client/grant.sql" "$database"
  echo "grant-readonly: the read-only user may read every table of $database."
  exit 0
fi

if [ ! -f "$database" ]; then
  echo "grant-readonly: $database does not exist." >&2
  exit 1
fi
if [ -z "$fbdir" ]; then
  if [ -n "${LIVREXA_FIREBIRD_DIR:-}" ]; then fbdir="$LIVREXA_FIREBIRD_DIR"
  elif [ -n "${XDG_DATA_HOME:-}" ]; then fbdir="$XDG_DATA_HOME/livrexa/firebird"
  else fbdir="$HOME/.local/share/livrexa/firebird"
  fi
fi
fill_firebird_folder "$fbdir" "$fbhome"
export FIREBIRD="$fbdir" FIREBIRD_LOCK="$fbdir/lock" FIREBIRD_TMP="$fbdir/tmp"

isql="$(find_isql "$fbhome")"
if [ -z "$isql" ]; then
  echo "grant-readonly: Firebird's isql (isql-fb) was not found; run scripts/install-deps.sh." >&2
  exit 1
fi

"$isql" -q -b -user SYSDBA -password brickwall -ch UTF8 -i "$here/db/grant-readonly.sql" "$database"
echo "grant-readonly: the read-only user may read every table of $database."
