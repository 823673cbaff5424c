#!/usr/bin/env bash
# The test command: installs what the tests need beyond the player (scripts/setup.sh --tests),
# builds the Windows cross build (the end-to-end tests run it under Wine), builds the Linux build,
# and runs every test with ctest. Fails when any step fails.
#
# VELMORA_WERROR=ON in the environment turns warnings into errors (our CI sets it); by default a
# warning never stops a build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --tests
jobs="$(nproc)"
werror="-DVELMORA_WERROR=${VELMORA_WERROR:-OFF}"
cmake --preset windows "$werror" >/dev/null
cmake --build --preset windows -j "$jobs"
cmake --preset linux "$werror" >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"
