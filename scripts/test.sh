#!/usr/bin/env bash
# Installs the dependencies, builds the tests under AddressSanitizer + UBSan and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
