#!/usr/bin/env bash
# The run command: builds the Linux build, assembles a program folder (config.txt and the themes,
# the sample theme both as a folder and as a .zip archive), checks it, and renders three seconds
# of the default theme at 1920x1080 and 30 frames per second into out/frames/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo="$(pwd)"
jobs="$(nproc)"

echo "run: building (cmake --preset linux)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"

tool="$repo/build/linux/tools/velmora-tool"
program="$repo/out/program"
frames="$repo/out/frames"

echo "run: assembling the program folder $program"
rm -rf "$program"
mkdir -p "$program/themes"
cp config.txt "$program/"
cp -R themes/. "$program/themes/"
cp build/linux/themes/*.zip "$program/themes/"

echo "run: velmora-tool check --root $program"
"$tool" check --root "$program"

echo "run: velmora-tool render (3 seconds at 30 fps, 1920x1080)"
rm -rf "$frames"
"$tool" render --root "$program" --desktop 1920x1080 --fps 30 --seconds 3 --out "$frames"

count="$(find "$frames" -name 'frame_*.png' | wc -l)"
echo "run: $count frames are in $frames (frame_0001.png to $(printf 'frame_%04d.png' "$count"))"
