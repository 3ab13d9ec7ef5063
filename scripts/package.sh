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
mkdir -p build/package
if ! cpack --config build/release/CPackConfig.cmake -B build/package >build/package/cpack.log 2>&1; then
  cat build/package/cpack.log >&2
  exit 1
fi
ls build/package/livrexa-server_*.deb
