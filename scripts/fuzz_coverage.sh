#!/usr/bin/env bash
# Line coverage of the readers from the fuzz corpora, with clang's source-based coverage:
#
#   scripts/fuzz_coverage.sh [TARGET...]     default: every target of fuzz/corpus
#
# Builds the fuzz targets once more in build/coverage (the fuzz preset, plus coverage mapping),
# runs every input of fuzz/corpus/TARGET (and of build/fuzz/corpus/TARGET, what local runs found)
# once, then prints the line coverage of each reader's sources:
#   theme text   src/theme/parse_theme.cpp, src/ground/text_decoding.cpp
#   config       src/resources/config.cpp
#   archive      src/resources/archive_reader.cpp, src/platform/archive/*_posix.cpp
#   picture      src/resources/png_header.cpp, src/platform/linux/device/png_decoder.cpp
#   whole load   src/resources/image_loading.cpp, theme_pictures.cpp, theme_source.cpp, input_file.cpp
# and the libraries compiled from Debian's sources (zlib, minizip, libpng) for reference. The
# per-file report and an HTML view are left in build/coverage/report/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then mapfile -t targets < <(ls fuzz/corpus); fi

build=build/coverage
flags="-fprofile-instr-generate -fcoverage-mapping"
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset fuzz -B "$build" -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

profiles="$build/profiles"
report="$build/report"
rm -rf "$profiles" "$report"
mkdir -p "$profiles" "$report"
objects=()
for target in "${targets[@]}"; do
  inputs=("fuzz/corpus/$target")
  if [ -d "build/fuzz/corpus/$target" ]; then inputs+=("build/fuzz/corpus/$target"); fi
  # %m: one profile per binary; %p: per process, should an input end it.
  LLVM_PROFILE_FILE="$profiles/$target-%p.profraw" "$build/fuzz/fuzz_$target" -runs=0 -timeout=20 \
    -malloc_limit_mb=320 -rss_limit_mb=2560 "${inputs[@]}" >"$profiles/$target.log" 2>&1 ||
    echo "fuzz_coverage: $target ended with an error (see $profiles/$target.log)" >&2
  objects+=(-object "$build/fuzz/fuzz_$target")
done
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/all.profdata"

# The first object is given bare, the others with -object.
first="${objects[1]}"
rest=("${objects[@]:2}")
cov=(llvm-cov report "$first" "${rest[@]}" -instr-profile="$profiles/all.profdata")
"${cov[@]}" >"$report/files.txt"
llvm-cov show "$first" "${rest[@]}" -instr-profile="$profiles/all.profdata" -format=html \
  -output-dir="$report/html" -ignore-filename-regex='/usr/' >/dev/null 2>&1 || true

# Lines covered / lines, summed over a reader's files, from the per-file report (columns:
# file, regions, missed, cover, functions, missed, executed, lines, missed, cover, ...).
reader() {
  local name="$1"
  shift
  local pattern
  pattern="$(IFS='|'; echo "$*")"
  awk -v name="$name" -v pattern="$pattern" '
    $1 ~ ("(" pattern ")$") { lines += $8; missed += $9; files = files " " $1 }
    END {
      if (lines == 0) { printf "%-11s no lines found\n", name; exit }
      printf "%-11s %6.1f %% of %5d lines\n", name, 100 * (lines - missed) / lines, lines
    }' "$report/files.txt"
}
echo "line coverage from the corpora (${targets[*]}):"
reader "theme text" "theme/parse_theme.cpp" "ground/text_decoding.cpp"
reader "config" "resources/config.cpp"
reader "archive" "resources/archive_reader.cpp" "archive/archive_file_posix.cpp" "archive/input_file_posix.cpp"
reader "picture" "resources/png_header.cpp" "device/png_decoder.cpp"
reader "whole load" "resources/image_loading.cpp" "resources/theme_pictures.cpp" "resources/theme_source.cpp" "resources/input_file.cpp"
reader "zlib" "zlib/inflate.c" "zlib/inftrees.c" "zlib/inffast.c"
reader "minizip" "minizip/unzip.c" "minizip/ioapi.c"
reader "libpng" "libpng/pngread.c" "libpng/pngrutil.c" "libpng/pngrtran.c" "libpng/png.c"
echo "per file: $report/files.txt; annotated sources: $report/html/index.html"
