#!/usr/bin/env bash
# Installs what is missing, builds the suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-dev/) and the release program (build/), and runs every test through CTest.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/ensure-packages.sh
cmake --preset dev
cmake --build --preset dev
cmake --preset release
cmake --build --preset release
status=0
ctest --preset dev || status=$?
ctest --preset release-smoke || status=$?
exit "$status"
