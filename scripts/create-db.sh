#!/usr/bin/env bash
# Creates a new Livrexa database file from db/schema.sql, optionally with the demo data of
# db/demo.sql, using isql-fb in embedded mode (no Firebird server needed), or a new database on a
# Firebird server when DATABASE is a server name (host:path, host/port:path, inet://host:port/path).
#
#   scripts/create-db.sh [--demo] [--firebird-dir DIR] DATABASE
#
# --demo              also load db/demo.sql (administrator ADMIN with password ADMIN, user
#                     number 1, and a few authors, publishers, classifications, item types,
#                     languages, holdings with their contents, readers and classes)
# --firebird-dir DIR  the Firebird folder (configuration, locks, temporary files) to use; give
#                     the server's own folder if a server may have the file open: HOME/.firebird
#                     in the server's home (or $LIVREXA_FIREBIRD_DIR when the server has it set).
#                     Default: $LIVREXA_FIREBIRD_DIR, else $XDG_DATA_HOME/livrexa/firebird, else
#                     ~/.local/share/livrexa/firebird.
#
# The file must not exist yet. The new database has page size 4096 and character set UTF8, and
# its on-disk structure is that of the engine that creates it (ODS 12 with Firebird 3, ODS 13
# with Firebird 4). The read-only user of the raw query gets its rights (db/grant-readonly.sql).
# On a server (SYSDBA's password there must be brickwall), the read-only user LIVREXA_LEITURA is
# also created or given its password (leitura); --firebird-dir is not used.
set -euo pipefail

usage() {
  sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

here="$(cd "$(dirname "$0")/.." && pwd)"
demo=0
fbdir=""
database=""
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=1 ;;
    --firebird-dir) shift; [ $# -gt 0 ] || usage; fbdir="$1" ;;
    -h|--help) usage ;;
    -*) echo "create-db: unknown option $1" >&2; usage ;;
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

# The installation whose isql-fb (and character-set module) is used, newest version first.
. "$here/scripts/firebird-folder.sh"
quote() { printf "%s" "$1" | sed "s/'/''/g"; }

if is_server_name "$database"; then
  # A client of the server only: a Firebird folder of its own whose one provider is the network.
  client="$(mktemp -d)"
  trap 'rm -rf "$client"' EXIT
  fill_firebird_folder "$client" "${LIVREXA_FIREBIRD_HOME:-$(find_fbhome)}"
  printf 'Providers = Remote\n' > "$client/firebird.conf"
  export FIREBIRD="$client" FIREBIRD_LOCK="$client/lock" FIREBIRD_TMP="$client/tmp"
  isql="$(find_isql "${LIVREXA_FIREBIRD_HOME:-$(find_fbhome)}")"
  if [ -z "$isql" ]; then
    echo "create-db: Firebird's isql (isql-fb) was not found; run scripts/install-deps.sh." >&2
    exit 1
  fi
  {
    echo "SET SQL DIALECT 3;"
    echo "SET BAIL ON;"
    echo "CREATE DATABASE '$(quote "$database")' USER 'SYSDBA' PASSWORD 'brickwall' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;"
    echo "INPUT '$(quote "$here/db/schema.sql")';"
    echo "CREATE OR ALTER USER LIVREXA_LEITURA PASSWORD 'leitura' USING PLUGIN Srp;"
    echo "COMMIT;"
    echo "INPUT '$(quote "$here/db/grant-readonly.sql")';"
    if [ "$demo" = 1 ]; then echo "INPUT '$(quote "$here/db/demo.sql")';"; fi
    echo "COMMIT;"
  } > "$client/create.sql"
  if ! "$isql" -q -b -ch UTF8 -i "$client/create.sql"; then
    echo "create-db: the database $database was not created, or only in part: if the server made it," \
         "drop it there before trying again." >&2
    exit 1
  fi
  echo "create-db: created $database$([ "$demo" = 1 ] && echo ' with the demo data')."
  exit 0
fi

if [ -z "$fbdir" ]; then
  if [ -n "${LIVREXA_FIREBIRD_DIR:-}" ]; then fbdir="$LIVREXA_FIREBIRD_DIR"
  elif [ -n "${XDG_DATA_HOME:-}" ]; then fbdir="$XDG_DATA_HOME/livrexa/firebird"
  else fbdir="$HOME/.local/share/livrexa/firebird"
  fi
fi

case "$database" in /*) ;; *) database="$(pwd)/$database" ;; esac
if [ -e "$database" ]; then
  echo "create-db: $database already exists; a new database is never written over an old one." >&2
  exit 1
fi
mkdir -p "$(dirname "$database")"

# The installation whose character-set module is copied.
fbhome="${LIVREXA_FIREBIRD_HOME:-$(find_fbhome)}"

# The same folder layout and configuration the server writes (src/handlers/gateway/environment.cpp).
fill_firebird_folder "$fbdir" "$fbhome"
conf="# Written by the Livrexa server at start; changes here are overwritten.
ServerMode = SuperClassic
Providers = Engine13, Engine12
DataTypeCompatibility = 3.0"
if [ ! -f "$fbdir/firebird.conf" ] || [ "$(cat "$fbdir/firebird.conf")" != "$conf" ]; then
  printf '%s\n' "$conf" > "$fbdir/firebird.conf.tmp$$" && mv "$fbdir/firebird.conf.tmp$$" "$fbdir/firebird.conf"
fi
export FIREBIRD="$fbdir" FIREBIRD_LOCK="$fbdir/lock" FIREBIRD_TMP="$fbdir/tmp"

isql="$(find_isql "$fbhome")"
if [ -z "$isql" ]; then
  echo "create-db: Firebird's isql (isql-fb) was not found; run scripts/install-deps.sh." >&2
  exit 1
fi

script="$(mktemp)"
trap 'rm -f "$script"' EXIT
{
  echo "SET SQL DIALECT 3;"
  echo "SET BAIL ON;"
  echo "CREATE DATABASE '$(quote "$database")' USER 'SYSDBA' PASSWORD 'brickwall' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;"
  echo "INPUT '$(quote "$here/db/schema.sql")';"
  echo "INPUT '$(quote "$here/db/grant-readonly.sql")';"
  if [ "$demo" = 1 ]; then echo "INPUT '$(quote "$here/db/demo.sql")';"; fi
  echo "COMMIT;"
} > "$script"

if ! "$isql" -q -b -ch UTF8 -i "$script"; then
  echo "create-db: the database could not be created; removing $database." >&2
  rm -f "$database"
  exit 1
fi
echo "create-db: created $database$([ "$demo" = 1 ] && echo ' with the demo data')."
