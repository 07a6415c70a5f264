#!/usr/bin/env bash
# Installs what is missing, builds the release configuration into build/ and starts the program.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/ensure-packages.sh
cmake --preset release
cmake --build --preset release
exec build/bin/velmrmgr
