#!/usr/bin/env bash
# The run command: builds velmora-tool alone (cmake --preset player: no tests, no Windows build),
# makes the program folder out/program once (config.txt and the themes, each theme both as a
# folder and as a .zip archive), then shows the default theme:
#   - with a display ($DISPLAY set): velmora-tool play --watch plays it live in a window and
#     reloads it whenever one of its files is saved;
#   - without one: checks the folder and renders three seconds of it at 1920x1080 and 30 frames
#     per second, as PNG frames in out/frames/ and as the animated preview out/preview.webp.
#
# out/program is where a theme is edited: a later run never deletes or overwrites anything in it,
# it only adds what is missing (a new theme of the repository, a removed config.txt). Delete
# out/program yourself to start again from the repository's copies.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo="$(pwd)"
jobs="$(nproc)"

echo "run: building velmora-tool (cmake --preset player)"
cmake --preset player >/dev/null
cmake --build --preset player -j "$jobs"

tool="$repo/build/player/tools/velmora-tool"
program="$repo/out/program"
frames="$repo/out/frames"
preview="$repo/out/preview.webp"

if [ -d "$program" ]; then
  echo "run: using the program folder $program (your edits are kept; new themes are added)"
else
  echo "run: making the program folder $program"
fi
mkdir -p "$program/themes"
[ -e "$program/config.txt" ] || cp config.txt "$program/"
for theme in themes/*/; do
  name="$(basename "$theme")"
  [ -e "$program/themes/$name" ] || cp -R "themes/$name" "$program/themes/"
done
for zip in build/player/themes/*.zip; do
  [ -e "$program/themes/$(basename "$zip")" ] || cp "$zip" "$program/themes/"
done
# The theme shown is config.txt's default_theme (the first theme folder without one).
sample="$(sed -n 's/^config .*default_theme:\([^ ]*\).*/\1/p' "$program/config.txt" | head -n 1)"
if [ -z "$sample" ] || [ ! -e "$program/themes/$sample" ]; then
  sample="$(cd "$program/themes" && ls -d -- */ | head -n 1)"
  sample="${sample%/}"
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "run: velmora-tool play --watch on $sample (display $DISPLAY)"
  echo "run: edit and save $program/themes/$sample/theme.txt or its pictures to see them at once"
  echo "run: (the guide to theme.txt is docs/themes.md); Space pauses, R reloads, N and P change the theme, Q quits"
  code=0
  "$tool" play --root "$program" --theme "$sample" --watch || code=$?
  # 1: the display or the window could not be had (the theme is there); render instead, as
  # without a display. 2 is a usage error, not worth a fallback.
  if [ "$code" -ne 1 ]; then exit "$code"; fi
  echo "run: the display cannot be used; rendering instead"
fi

echo "run: velmora-tool check $program"
"$tool" check "$program"

echo "run: velmora-tool render (3 seconds at 30 fps, 1920x1080)"
rm -rf "$frames" "$preview"
"$tool" render --root "$program" --theme "$sample" --desktop 1920x1080 --fps 30 --seconds 3 --out "$frames" --webp "$preview" --loop

count="$(find "$frames" -name 'frame_*.png' | wc -l)"
echo "run: $count frames are in $frames (frame_0001.png to $(printf 'frame_%04d.png' "$count"))"
echo "run: the animated preview is $preview (open it in a web browser)"
echo "run: edit $program/themes/$sample/ and run again, or see docs/themes.md to make a theme"
