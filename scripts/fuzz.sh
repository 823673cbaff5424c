#!/usr/bin/env bash
# Runs one fuzz target for a number of seconds from its seed corpus in the tree:
#
#   scripts/fuzz.sh TARGET SECONDS      TARGET: theme_text, config, archive, picture, theme_load
#
# Builds the fuzz preset (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# when needed. New inputs go to build/fuzz/corpus/TARGET, never into the tree; a crash, a leak,
# a time-out or an allocation past the limit is written to build/fuzz/findings/TARGET/ and ends
# the run with a non-zero exit code. A finding becomes a seed (fuzz/corpus/TARGET/finding-NAME)
# and a regression test.
#
# Limits: one allocation may take at most 320 MiB (a picture of 64 megapixels decodes to 256 MiB),
# the process 2560 MiB; one input at most 20 seconds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ "$#" -ne 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS" >&2
  exit 2
fi
target="$1"
seconds="$2"
seeds="fuzz/corpus/$target"
if [ ! -d "$seeds" ]; then
  echo "fuzz.sh: no target '$target' (one of: $(ls fuzz/corpus | tr '\n' ' '))" >&2
  exit 2
fi

build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset fuzz -DVELMORA_WERROR="${VELMORA_WERROR:-OFF}" >/dev/null
fi
cmake --build --preset fuzz --target "fuzz_$target" -j "$(nproc)" >/dev/null

corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
max_len=4096
case "$target" in archive | theme_load | picture) max_len=16384 ;; esac

"$build/fuzz/fuzz_$target" \
  -max_total_time="$seconds" -timeout=20 -malloc_limit_mb=320 -rss_limit_mb=2560 -max_len="$max_len" \
  -dict="fuzz/dict/$target.dict" -artifact_prefix="$findings/" -print_final_stats=1 \
  "$corpus" "$seeds"
