#!/usr/bin/env bash
# Installs the dependencies, builds the tests under AddressSanitizer + UBSan, tests the Debian
# package on this machine (scripts/test-package.sh: install, serve, purge), runs the tests, then
# runs the package and the database-facing tests again on Debian 13 with Firebird 4
# (scripts/test-debian13.sh, in a Debian 13 root kept under build/; root only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
bash scripts/test-package.sh
ctest --preset asan
bash scripts/test-debian13.sh
