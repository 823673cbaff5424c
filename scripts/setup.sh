#!/usr/bin/env bash
# Installs what Velmora needs on a fresh Debian machine. Idempotent and quiet: a package already
# present is not installed again.
#
#   scripts/setup.sh           what the player needs: the Linux build of velmora-tool (the run
#                              command uses only this, so the first frame comes quickly)
#   scripts/setup.sh --tests   everything else as well: the tests, the Windows cross build, Wine,
#                              the fuzz targets (the test command and CI use this)
set -euo pipefail

everything=0
case "${1:-}" in
  "") ;;
  --tests) everything=1 ;;
  *) echo "usage: scripts/setup.sh [--tests]" >&2; exit 2 ;;
esac

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

packages=(
  # the Linux build of velmora-tool
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libminizip-dev libcairo2-dev libpixman-1-dev libpng-dev
  # the live player (X11 with MIT-SHM, RandR's monitors) and the animated WebP preview
  libx11-dev libxext-dev libxrandr-dev libwebp-dev
  # the desktop on Wayland compositors with layer-shell (the protocols' code made at build time)
  libwayland-dev wayland-protocols
)
test_packages=(
  # the tests and the benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-dev
  # archive tools used by the tests to build real archives
  zip unzip libarchive-tools p7zip-full python3
  # Windows cross build
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev dpkg-dev
  # running the Windows build under Wine, headless
  wine wine64 libgl1-mesa-dri xvfb xdotool x11-apps imagemagick
  # the player's tests: window properties, monitors (xrandr), reading the WebP preview; a window
  # manager speaking EWMH and its command line for the desktop's pause and focus
  x11-utils x11-xserver-utils webp openbox wmctrl
  # the Wayland desktop's test: a headless compositor, its screenshots, a window to go full-screen
  sway grim foot
)

if [ "$everything" -eq 1 ]; then packages+=("${test_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# minizip for the Windows build is compiled from the sources of Debian's zlib package; the fuzz
# build compiles zlib, minizip and libpng from Debian's sources too, so that the fuzzer sees inside.
src_list=/etc/apt/sources.list.d/velmora-deb-src.sources
need_zlib=0
need_png=0
if [ "$everything" -eq 1 ] && [ ! -f "$here/.deps/zlib/contrib/minizip/unzip.c" ]; then need_zlib=1; fi
if [ "$everything" -eq 1 ] && [ ! -f "$here/.deps/libpng/scripts/pnglibconf.h.prebuilt" ]; then need_png=1; fi
need_src=$((need_zlib | need_png))
if [ "$need_src" -eq 1 ] && [ ! -f "$src_list" ]; then
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    "${sudo_cmd[@]}" tee "$src_list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq >/dev/null
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Debian's source package $1 unpacked (its patches applied) into .deps/$2.
fetch_source() {
  echo "setup: fetching Debian's $1 sources into .deps/$2"
  local tmp
  tmp="$(mktemp -d)"
  (cd "$tmp" && apt-get source -qq --download-only "$1" >/dev/null 2>&1 && dpkg-source -x --no-check ./"$1"_*.dsc "$2" >/dev/null)
  rm -rf "$here/.deps/$2"
  mkdir -p "$here/.deps"
  mv "$tmp/$2" "$here/.deps/$2"
  rm -rf "$tmp"
}
if [ "$need_zlib" -eq 1 ]; then fetch_source zlib zlib; fi
if [ "$need_png" -eq 1 ]; then fetch_source libpng1.6 libpng; fi

echo "setup: ready"
