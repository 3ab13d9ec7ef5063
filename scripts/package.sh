#!/usr/bin/env bash
# Builds the Debian package of the server, build/package/livrexa-server_<version>_<arch>.deb, from
# the release build (cmake --preset release; ccache keeps rebuilds short) with CPack.
#
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release
rm -f build/package/livrexa-server_*.deb
cpack --config build/release/CPackConfig.cmake -B build/package >/dev/null
ls build/package/livrexa-server_*.deb
