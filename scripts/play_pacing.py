#!/usr/bin/env python3
"""How many frames `velmora-tool play` delivers per second under Xvfb.

For each screen size and each mode (a window of the screen's size, and --desktop), starts an Xvfb
of that size, plays the sample theme at the asked frame rate for a while and ends the player with
SIGTERM. The player counts the frames the X server reports finished putting on the window (MIT-SHM
completion events; with XPutImage every put) and prints them at exit (VELMORA_FRAME_STATS), with
the frames it skipped because the server still read both buffers. Beside them: the CPU time of the
player and of the X server per second of the run, from /proc.

A measurement, not a test: it asserts nothing. Run it on a quiet machine; the figures fall when
other work takes the cores.

  scripts/play_pacing.py [--tool build/bench/tools/velmora-tool] [--seconds 10] [--fps 60]
                         [--sizes 1920x1080,3840x2160] [--modes window,desktop]
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "tools"))
import play_test  # noqa: E402
THEME = "VMA_Lantern_Valley"
STATS = re.compile(r"frame stats: (.*)$", re.M)


def start_xvfb(size):
    """Xvfb of this screen size on a free display (the player tests' own); returns (process, ":N")."""
    try:
        return play_test.start_xvfb(size)
    except play_test.Failure as failure:
        sys.exit(f"play_pacing: {failure}")


stop = play_test.stop


def cpu_seconds(pid):
    """User and system time of the process so far, in seconds."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(tool, size, mode, fps, seconds):
    xvfb, display = start_xvfb(size)
    width, height = size.split("x")
    args = ["--desktop"] if mode == "desktop" else ["--size", f"{width}x{height}"]
    env = dict(os.environ, DISPLAY=display, VELMORA_FRAME_STATS="1")
    with tempfile.TemporaryFile() as err:
        player = subprocess.Popen([str(tool), "play", "--root", str(REPO), "--theme", THEME, "--fps", str(fps), *args],
                                  env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                                  start_new_session=True)
        try:
            # The theme loads and the first frames make the device's copies; measured from then.
            time.sleep(1.5)
            if player.poll() is not None:
                err.seek(0)
                sys.exit(f"play_pacing: the player ended with {player.returncode}: {err.read().decode(errors='replace')}")
            start = time.monotonic()
            player_cpu, server_cpu = cpu_seconds(player.pid), cpu_seconds(xvfb.pid)
            time.sleep(seconds)
            elapsed = time.monotonic() - start
            player_cpu = cpu_seconds(player.pid) - player_cpu
            server_cpu = cpu_seconds(xvfb.pid) - server_cpu
            player.send_signal(signal.SIGTERM)
            player.wait(timeout=20)
        finally:
            stop(player)
            stop(xvfb)
        err.seek(0)
        text = err.read().decode(errors="replace")
    found = STATS.search(text)
    if not found:
        sys.exit(f"play_pacing: no frame stats from the player: {text!r}")
    stats = dict(item.split("=") for item in found.group(1).split())
    return stats, player_cpu / elapsed, server_cpu / elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tool", default=str(REPO / "build" / "bench" / "tools" / "velmora-tool"))
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--fps", type=int, default=60)
    parser.add_argument("--sizes", default="1920x1080,3840x2160")
    parser.add_argument("--modes", default="window,desktop")
    options = parser.parse_args()
    if not Path(options.tool).exists():
        sys.exit(f"play_pacing: no {options.tool}: build it first (cmake --build --preset bench)")
    print(f"{'size':>10} {'mode':>8} {'delivered/s':>11} {'skipped':>7} {'gap p50':>7} {'gap p95':>7} {'gap max':>7}"
          f" {'player cpu/s':>12} {'server cpu/s':>12} shm")
    for size in options.sizes.split(","):
        for mode in options.modes.split(","):
            stats, player_cpu, server_cpu = measure(options.tool, size, mode, options.fps, options.seconds)
            print(f"{size:>10} {mode:>8} {float(stats['per_second']):>11.1f} {stats['skipped']:>7}"
                  f" {stats['gap_median_ms']:>5}ms {stats['gap_p95_ms']:>5}ms {stats['gap_max_ms']:>5}ms"
                  f" {player_cpu:>12.3f} {server_cpu:>12.3f} {stats['shm']}", flush=True)


if __name__ == "__main__":
    main()
