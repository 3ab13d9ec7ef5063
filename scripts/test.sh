#!/usr/bin/env bash
# Installs the dependencies, builds the tests under AddressSanitizer + UBSan, tests the Debian
# package on this machine (scripts/test-package.sh: install, serve, purge) and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
bash scripts/test-package.sh
ctest --preset asan
