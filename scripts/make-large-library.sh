#!/usr/bin/env bash
# Builds the benchmarks (preset "bench") and makes the large library they run on: a new database
# from db/schema.sql filled by bench/make_library (100,000 holdings, 20,000 readers in 600 classes,
# 200,000 loan items, 10,000 reservations, 3,000 photos; about 700 MB).
#
#   scripts/make-large-library.sh [--force] [make_library options...]
#
# The database is build/large/library.fdb (or $LIVREXA_LARGE_DIR/library.fdb), with the engine's
# folder beside it; build/ is not in git. --force replaces an existing library. Further options
# go to make_library (--holdings N, --readers N, --loans N, --photos N, --users N,
# --no-statistics: keep the index selectivity of the empty tables, as in a database filled over years).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${LIVREXA_LARGE_DIR:-$here/build/large}"
force=0
if [ "${1:-}" = "--force" ]; then force=1; shift; fi

cd "$here"
cmake --preset bench >/dev/null
cmake --build --preset bench

db="$dir/library.fdb"
if [ -e "$db" ]; then
  if [ "$force" = 1 ]; then rm -f "$db"; else
    echo "make-large-library: $db exists (use --force to make it again)" >&2
    exit 1
  fi
fi
mkdir -p "$dir/firebird"
start=$(date +%s)
bash scripts/create-db.sh --firebird-dir "$dir/firebird" "$db"
# The fill writes without waiting for the disk after every page (gfix -write async), which takes
# it from minutes to seconds on a busy disk; the finished database is switched back to forced
# writes, as the server's databases are.
fb_env=(env FIREBIRD="$dir/firebird" FIREBIRD_LOCK="$dir/firebird/lock" FIREBIRD_TMP="$dir/firebird/tmp")
"${fb_env[@]}" gfix -user SYSDBA -write async "$db"
LIVREXA_LARGE_DIR="$dir" build/bench/bench/make_library "$db" "$@"
"${fb_env[@]}" gfix -user SYSDBA -write sync "$db"
echo "make-large-library: $db ($(du -h "$db" | cut -f1)) in $(( $(date +%s) - start )) s"
