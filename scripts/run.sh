#!/usr/bin/env bash
# The run command: builds the Linux build, assembles a program folder (config.txt and the themes,
# the sample theme both as a folder and as a .zip archive), then shows the sample theme:
#   - with a display ($DISPLAY set): velmora-tool play --watch plays it live in a window and
#     reloads it whenever one of its files is saved;
#   - without one: checks the folder and renders three seconds of it at 1920x1080 and 30 frames
#     per second, as PNG frames in out/frames/ and as the animated preview out/preview.webp.
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
preview="$repo/out/preview.webp"

echo "run: assembling the program folder $program"
rm -rf "$program"
mkdir -p "$program/themes"
cp config.txt "$program/"
cp -R themes/. "$program/themes/"
cp build/linux/themes/*.zip "$program/themes/"
# The sample theme is the one theme folder of the repository.
sample="$(cd themes && ls -d -- */ | head -n 1)"
sample="${sample%/}"

if [ -n "${DISPLAY:-}" ]; then
  echo "run: velmora-tool play --watch on $sample (display $DISPLAY)"
  echo "run: edit and save $program/themes/$sample/theme.txt or its pictures to see them at once;"
  echo "run: Space pauses, R reloads, N and P change the theme, Q quits"
  code=0
  "$tool" play --root "$program" --theme "$sample" --watch || code=$?
  # 2: the display or the window could not be had; render instead, as without a display.
  if [ "$code" -ne 2 ]; then exit "$code"; fi
  echo "run: the display cannot be used; rendering instead"
fi

echo "run: velmora-tool check --root $program"
"$tool" check --root "$program"

echo "run: velmora-tool render (3 seconds at 30 fps, 1920x1080)"
rm -rf "$frames" "$preview"
"$tool" render --root "$program" --desktop 1920x1080 --fps 30 --seconds 3 --out "$frames" --webp "$preview"

count="$(find "$frames" -name 'frame_*.png' | wc -l)"
echo "run: $count frames are in $frames (frame_0001.png to $(printf 'frame_%04d.png' "$count"))"
echo "run: the animated preview is $preview (open it in a web browser)"
