#!/usr/bin/env bash
# Installs every Debian 12 package the Livrexa server needs to build, run and test.
# Idempotent and non-interactive; run as root (or through sudo) when a package is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev
  # libraries of the REST layer
  libboost-dev rapidjson-dev libssl-dev zlib1g-dev
  # embedded Firebird: client library, engine plugin, headers, isql-fb and gbak
  libfbclient2 firebird3.0-server-core firebird-dev firebird3.0-utils
  # desktop host
  qt6-base-dev xvfb xauth
  # Qt's own dialog texts (file choosers, standard buttons) in Brazilian Portuguese
  qt6-translations-l10n
  # the documentation's screenshots (scripts/screenshot.sh): a window manager that honours the
  # window flags, and the mouse and keyboard that open the dialogs
  fluxbox xdotool
  # a known fixed-pitch family for the window's log (any font set may be installed beside it)
  fonts-dejavu-core
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev wrk
  # tests of a database on a Firebird server: the server program, run privately on a free port by
  # the tests (its system service is never used)
  firebird3.0-server
  # the package and its install test (scripts/package.sh, scripts/test-package.sh)
  dpkg-dev curl systemd
  # the Debian 13 root of the Firebird 4 tests (scripts/test-debian13.sh)
  debootstrap
)

# Only a package that is missing brings apt-get in, so a second run returns at once (and needs
# neither root nor the network).
missing=()
for package in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
  # (one status per architecture the package is known for)
  case "$status" in *"install ok installed"*) ;; *) missing+=("$package") ;; esac
done
if [ "${#missing[@]}" -eq 0 ]; then exit 0; fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
