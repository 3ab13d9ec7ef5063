#!/usr/bin/env bash
# Installs the dependencies, builds the server (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/src/livrexa-server "$@"
