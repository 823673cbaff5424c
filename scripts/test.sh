#!/usr/bin/env bash
# The test command: builds the Windows cross build (the end-to-end tests run it under Wine),
# builds the Linux build, and runs every test with ctest. Fails when any step fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs="$(nproc)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"
