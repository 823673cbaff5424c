#!/usr/bin/env bash
# Draws the pictures of docs/themes.md with velmora-tool itself, so that they show what the player
# really does: one small example theme per layer kind, made from the pictures of the sample theme
# VMA_Snowy_Meadow, each rendered at 480x270 (scale 2) and its last frame (after four seconds, nine
# for the characters, which enter one by one) kept as docs/pictures/KIND.png.
#
#   scripts/make_guide_pictures.sh [VELMORA_TOOL]
#
# VELMORA_TOOL defaults to build/linux/tools/velmora-tool, then build/player/tools/velmora-tool.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tool="${1:-}"
if [ -z "$tool" ]; then
  for candidate in build/linux/tools/velmora-tool build/player/tools/velmora-tool; do
    if [ -x "$candidate" ]; then tool="$candidate"; break; fi
  done
fi
[ -n "$tool" ] && [ -x "$tool" ] || { echo "make_guide_pictures: build velmora-tool first" >&2; exit 1; }

sample=themes/VMA_Snowy_Meadow
out=docs/pictures
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/themes" "$out"
echo "global scale:2 ping_pong:0" > "$work/config.txt"

# example NAME [SECONDS]: theme.txt from standard input, with the sample theme's pictures.
example() {
  mkdir -p "$work/themes/$1"
  cp "$sample"/*.png "$work/themes/$1/"
  cat > "$work/themes/$1/theme.txt"
  "$tool" check "$work/themes/$1" >/dev/null
  "$tool" render --root "$work" --theme "$1" --desktop 480x270 --fps 15 --seconds "${2:-4}" --seed 3 \
    --out "$work/frames_$1" >/dev/null
  cp "$(ls "$work/frames_$1"/frame_*.png | tail -n 1)" "$out/$1.png"
  echo "make_guide_pictures: $out/$1.png"
}

example background_screen <<'T'
params width:640
background name:sky
screen name:screen
T

example floor_ceiling <<'T'
params width:640
background name:sky
floor name:floor ycollider:12
ceiling name:ceiling
T

example sprites_static <<'T'
params width:640
background name:sky
floor name:floor ycollider:12
add_sprite name:fir variations:3 instances:12 yposition:floor xseparationmin:1 xseparationmax:4
add_sprite name:post instances:14 yposition:floor xseparationmin:4 xseparationmax:7
add_sprite name:drift layer:front variations:2 instances:40 xoffset:1 yposition:bottom
T

example sprites_scrolling <<'T'
params width:640
background name:sky
floor name:floor ycollider:12
add_sprite name:cloudbank variations:2 instances:16 xoffset:1 xanimation:0.003 yposition:top ydirection:-1 yseparationmin:2 yseparationmax:2
add_sprite name:hill variations:2 instances:20 xoffset:1 yposition:bottom
T

example particles <<'T'
params width:640
background name:sky
floor name:floor ycollider:12
add_sprite name:fir variations:3 instances:12 yposition:floor xseparationmin:1 xseparationmax:4
add_particle name:flake variations:2 frames:2 instances:60 duration:400 xanimation:0.002 yanimation:0.012
add_particle name:bigflake layer:front variations:2 frames:2 instances:24 duration:300 xanimation:0.004 yanimation:0.024
T

# A scene as wide as the view keeps every walker in the picture.
example characters 9 <<'T'
params width:240
background name:sky
floor name:floor ycollider:12
add_sprite name:post instances:6 yposition:floor xseparationmin:4 xseparationmax:6
add_character name:child type:floor frames:4 duration:150 speed:0.015 instances:1
add_character name:hare type:between between:post frames:2 duration:130 speed:0.03 instances:3
add_character name:robin type:sine frames:3 duration:110 speed:0.03 instances:2
T
