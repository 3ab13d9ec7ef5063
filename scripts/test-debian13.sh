#!/usr/bin/env bash
# The server on Debian 13 with Firebird 4, the engine of the schools' databases (on-disk structure
# ODS 13) and of their daily backups. Debian 12 has only Firebird 3, so the test runs in a Debian 13
# root made with debootstrap and kept under build/ (about two minutes and 350 MB the first time):
#
#   1. the package built here (scripts/package.sh) passes scripts/test-package.sh there (install
#      beside firebird4.0, its user, the unit's ExecStart, purge), then, installed again, makes an
#      ODS 13 demo database with its own create-db.sh, starts headless, logs the structure and the
#      engine, and answers catalogue and circulation requests;
#   2. the database-facing tests of this build (the asan preset) run there against ODS 13 files
#      made by Firebird 4: process start-ups, databases without the server's additions, a file of
#      the other structure, daily backups with their verification, restores of Firebird 4 backups
#      and of a Firebird 3 backup made here, the catalogue and circulation operations, and a
#      database on a private Firebird 4 server shared by two Livrexa servers.
#
#   scripts/test-debian13.sh        (as root: debootstrap, chroot and bind mounts; CI runs it)
#
# Every mount is undone on any exit. Without root it says so and does nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir="$(pwd)"
say() { echo "test-debian13: $*"; }
fail() { echo "test-debian13: FAILED: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  say "skipped: a Debian 13 root needs root (debootstrap, chroot, mounts)"
  exit 0
fi
command -v debootstrap >/dev/null || fail "debootstrap is missing; run scripts/install-deps.sh"

build="$source_dir/build/asan"
[ -x "$build/src/livrexa-server" ] || fail "build the asan preset first (cmake --build --preset asan)"
root="$source_dir/build/debian13-root"
# What the root must hold; a change of this list makes it anew.
packages="firebird4.0-server-core firebird4.0-utils firebird4.0-server libfbclient2 libasan8 libubsan1 curl procps python3-minimal"
stamp="$root/.livrexa-packages"

mounts=()
cleanup() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
mount_in_root() {  # mount_in_root TARGET mount-arguments...
  local target="$root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounts+=("$target")
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

started=$(date +%s)
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$packages" ]; then
  say "making the Debian 13 root in $root"
  rm -rf "$root"
  debootstrap --variant=minbase trixie "$root" >"$source_dir/build/debian13-debootstrap.log" 2>&1 ||
    { tail -n 20 "$source_dir/build/debian13-debootstrap.log" >&2; fail "debootstrap"; }
  mount_in_root /proc -t proc proc
  # No service starts inside the root (the Firebird server package would start its own).
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  # shellcheck disable=SC2086  # the list is words
  in_root sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages" \
    >"$source_dir/build/debian13-apt.log" 2>&1 || { tail -n 20 "$source_dir/build/debian13-apt.log" >&2; fail "apt-get in the root"; }
  echo "$packages" >"$stamp"
  cleanup
  mounts=()
fi
# The tests name the loopback host "localhost", which a minimal root does not resolve.
grep -qs "localhost" "$root/etc/hosts" || printf '127.0.0.1 localhost\n::1 localhost\n' >>"$root/etc/hosts"
say "Debian 13 root ready in $(($(date +%s) - started)) s: $(in_root dpkg-query -W -f='${Package} ${Version}' firebird4.0-server-core)"

# A Firebird 3 backup, made here by Debian 12's gbak, for the restore there.
fb3="$(mktemp -d)"
chmod 755 "$fb3"
trap 'cleanup; rm -rf "$fb3"' EXIT
if command -v gbak >/dev/null && command -v isql-fb >/dev/null; then
  mkdir -p "$fb3/fb/lock" "$fb3/fb/tmp"
  printf 'create database %s user SYSDBA password %s;\ncreate table T (X integer);\ncommit;\n' \
    "'$fb3/fb3.fdb'" "'brickwall'" >"$fb3/make.sql"
  for i in 1 2 3 4 5 6 7; do echo "insert into T values ($i);"; done >>"$fb3/make.sql"
  echo "commit;" >>"$fb3/make.sql"
  isql-fb -q -i "$fb3/make.sql" >/dev/null
  gbak -user SYSDBA -pas brickwall "$fb3/fb3.fdb" "$fb3/firebird3.fbk"
  rm -f "$fb3/fb3.fdb"
fi

# The package built here, installed afresh.
deb="$(bash scripts/package.sh | tail -n 1)"
[ -f "$deb" ] || fail "no package built"
mount_in_root /proc -t proc proc
mount_in_root /dev --bind /dev
mount_in_root "$source_dir" --bind "$source_dir"
mount_in_root /fb3 --bind "$fb3"
# Each run starts from a clean root: what an earlier run's package or tests left goes.
in_root sh -c 'dpkg --purge livrexa-server >/dev/null 2>&1; rm -rf /var/lib/livrexa /var/backups/livrexa /root/.local/share/livrexa /tmp/livrexa-*; true'
cp "$deb" "$root/tmp/livrexa-server.deb"
# The package as an IT person installs it there: its user, its unit's ExecStart, a login, the purge.
in_root env LIVREXA_PACKAGE=/tmp/livrexa-server.deb bash "$source_dir/scripts/test-package.sh" ||
  fail "the package test on Debian 13"
in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends /tmp/livrexa-server.deb' \
  >"$root/tmp/apt.log" 2>&1 || { cat "$root/tmp/apt.log" >&2; fail "the package does not install on Debian 13"; }
say "installed $(basename "$deb")"

# 1. The installed server on an ODS 13 demo database.
in_root bash -s <<'SCRIPT' || fail "the installed server on Debian 13"
set -euo pipefail
home=/tmp/livrexa-home
rm -rf "$home" && mkdir -p "$home/Backup"
/usr/share/livrexa/scripts/create-db.sh --demo --firebird-dir "$home/.firebird" "$home/Livrexa.FDB" >/dev/null
port=7391
printf '[INDICE]\r\nLocalLivrexaDB=%s\r\nPastaBackup1=%s\r\nPastaBackup2=\r\nPorta=%s\r\nHoraBackup=23\r\n' \
  "$home/Livrexa.FDB" "$home/Backup" "$port" >"$home/Config1.ini"
XDG_RUNTIME_DIR="$home" livrexa-server --headless --home "$home" >"$home/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 300); do grep -qs "Porta $port" "$home/out.txt" && break; sleep 0.1; done
ask() { curl -s -u Tivel:Tivel1968 "http://127.0.0.1:$port/$1"; }
check() {  # check WHAT REPLY TEXT
  grep -qF "$3" <<<"$2" || { echo "$1: $2" >&2; cat "$home/out.txt" >&2; kill "$pid"; exit 1; }
}
check "start-up" "$(cat "$home/out.txt")" "(ODS 13.0, Firebird 4.0"
check "start-up" "$(cat "$home/out.txt")" "Banco de dados em dia"
check "login" "$(ask 'ValidaUsuario?Usuario=ADMIN&Senha=ADMIN')" '"RESPOSTA":"MQ=="'
check "holdings" "$(ask 'Consulta?Flag=180&Filtro=')" '"TABELA":"ey'
check "loans" "$(ask 'Consulta?Flag=210&Data1=01/01/2000&Data2=31/12/2099')" '"TABELA":"ey'
check "raw query" "$(ask 'Consulta?Flag=999&Filtro=select%20count(*)%20from%20T09_ACERVO')" '"TABELA":"ey'
kill -TERM "$pid"
wait "$pid"
echo "test-debian13: the installed server served an ODS 13 database: $(grep 'Banco de dados:' "$home/out.txt")"
SCRIPT

# 2. The database-facing tests of this build.
run_tests() {  # run_tests PROGRAM FILTER
  local program="$1" filter="$2"
  in_root env LIVREXA_SOURCE_DIR="$source_dir" LIVREXA_BINARY_DIR="$build" LIVREXA_FIREBIRD3_BACKUP=/fb3/firebird3.fbk \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS="use_tls=0:print_suppressions=0:suppressions=$source_dir/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 \
    TMPDIR=/tmp sh -c "cd '$(dirname "$program")' && '$program' --gtest_brief=1 --gtest_filter='$filter'" ||
    fail "$(basename "$program") on Debian 13"
}
run_tests "$build/tests/host/test_host" \
  'FieldDatabase*:GbakTest*:VerifiedBackupTest*:ServerProcessTest*:ServerLimitsTest*:SharedServerTest*'
run_tests "$build/tests/handlers/test_handlers" '*Gateway*:Fb*:Tdm*'
run_tests "$build/tests/catalogue/test_catalogue" '*'
run_tests "$build/tests/circulation/test_circulation" '*'
in_root dpkg --purge livrexa-server >/dev/null 2>&1 || true
say "passed in $(($(date +%s) - started)) s"
