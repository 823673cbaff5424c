#!/usr/bin/env python3
"""End-to-end tests of velmora.exe, run under Wine in a virtual X server.

Each test starts its own Xvfb, a stand-in for the shell's desktop windows (standin_shell.exe)
and velmora.exe with a program folder made for the test, drives the program through window
messages (window_probe.exe) and looks at the X screen. Whatever happens, the Wine processes
(wineserver -k) and the X server are stopped at the end.

  run_e2e.py --windows-build DIR --tool PATH --work DIR TEST

Exit codes: 0 passed, 1 failed, 77 skipped (Wine is not installed at all).
"""

import argparse
import fcntl
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "support"))
from screen_pictures import Failure, Picture, check, far_pixel_share, mean_abs_diff, png_bytes, read_png, read_xwd  # noqa: E402

from desktop_compositor import DesktopCompositor

SKIP = 77
SCREEN_W, SCREEN_H = 800, 600

# Velmora's window class and messages.
VMA = "VMA"
WM_COMMAND = 0x0111
WM_CLOSE = 0x0010
# The stand-in shell's own message: resize the desktop windows (wParam width, lParam height).
STANDIN_RESIZE = 0x8000 + 1
# The class of Velmora's own window behind the icons on the 24H2 layout.
SCENE_CLASS = "VelmoraScene"
TRAY_CALLBACK = 99999
WM_LBUTTONDOWN = 513
CMD_EXIT, CMD_RELOAD = 902, 903
THEME_FIRST_ID = 601

# The test's themes: folder names without dots, in the same order under Wine (which sorts) and
# on NTFS, so menu ids 601 and 602 mean the same on both.
THEME_A, THEME_B = "Dawn", "Dusk"


class OutOfTime(Exception):
    pass


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


# ---------------------------------------------------------------------------------------------
# Pictures: PNG writing and reading (8-bit, not interlaced: what the tests and velmora-tool
# write), and the X screen through xwd's dump format. Pixels are kept as raw RGB.


def write_png(path, width, height, pixel):
    """pixel(x, y) gives (r, g, b)."""
    rgb = bytearray()
    for y in range(height):
        for x in range(width):
            rgb.extend(pixel(x, y))
    Path(path).write_bytes(png_bytes(width, height, bytes(rgb)))


def brightness(picture):
    return sum(picture.rgb) / len(picture.rgb) if picture.rgb else 0.0


# ---------------------------------------------------------------------------------------------
# Processes.

class Result:
    def __init__(self, code, stdout_bytes, stderr_bytes):
        self.code = code
        self.stdout_bytes = stdout_bytes
        self.stdout = stdout_bytes.decode("utf-8", "replace")
        self.stderr = stderr_bytes.decode("utf-8", "replace")


def run(argv, timeout, env=None, input_bytes=None, cwd=None):
    # Output goes through files, not pipes: the first Wine process of a session starts
    # wineserver and Wine's own services, which inherit its output and would hold a pipe open.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            done = subprocess.run(argv, input=input_bytes, stdout=out, stderr=err, timeout=timeout, env=env, cwd=cwd,
                                  stdin=None if input_bytes is not None else subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            raise Failure(f"timed out after {timeout} s: {' '.join(map(str, argv))}")
        out.seek(0)
        err.seek(0)
        return Result(done.returncode, out.read(), err.read())


WINDOW_LINE = re.compile(r'^( *)[0-9A-Fa-f]+ class="([^"]*)" title="[^"]*" visible=([01]) rect=([-0-9,]+)')


class Wine:
    """One Wine prefix and one X display; every process of a test starts the same way, so all of
    them share one Wine desktop (window search and posted messages reach only that desktop)."""

    def __init__(self, prefix, display, exes, logs):
        self.prefix, self.display, self.exes, self.logs = prefix, display, exes, logs
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(prefix),
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers, and no debugger left waiting after a crash.
            "WINEDLLOVERRIDES": "mscoree,mshtml=,winedbg.exe=d",
            "DISPLAY": display,
        })
        self.env.pop("WAYLAND_DISPLAY", None)
        self.started = []
        self.compositor = None

    def compose_desktop(self):
        """Plays the desktop window manager of the 24H2 layout (see desktop_compositor.py)."""
        if self.compositor is None:
            self.compositor = DesktopCompositor(self.display)
            self.compositor.start()

    def start(self, exe, *args, name, env=None):
        out = open(self.logs / f"{name}.log", "ab")
        proc = subprocess.Popen(["wine", str(exe)] + list(args), env=env or self.env, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, cwd=str(Path(exe).parent), start_new_session=True)
        out.close()
        self.started.append(proc)
        return proc

    def run(self, exe, *args, timeout=60):
        return run(["wine", str(exe)] + list(args), timeout=timeout, env=self.env, cwd=str(Path(exe).parent))

    def probe(self, *args, timeout=60):
        return self.run(self.exes["window_probe"], *map(str, args), timeout=timeout)

    def wait_count(self, cls, n, ms):
        result = self.probe("wait-count", cls, n, ms, timeout=ms / 1000 + 30)
        return result.code == 0, result.stdout.strip()

    def count(self, cls):
        result = self.probe("count", cls)
        check(result.code == 0, f"window_probe count failed: {result.stderr}")
        return int(result.stdout.strip())

    def post(self, cls, message, wparam=0, lparam=0):
        result = self.probe("post", cls, message, wparam, lparam)
        check(result.code == 0, f"could not post message {message} to the window of class {cls}")

    def box_shown(self, caption, text, ms):
        return self.probe("wait-box", caption, text, ms, timeout=ms / 1000 + 30).code == 0

    def windows(self):
        return self.probe("list").stdout

    def window_list(self):
        """Top-level windows and their children, in window order, as dicts."""
        found = []
        for line in self.windows().splitlines():
            m = WINDOW_LINE.match(line)
            if m:
                found.append({"child": bool(m.group(1)), "class": m.group(2), "visible": m.group(3) == "1",
                              "rect": tuple(int(v) for v in m.group(4).split(","))})
        return found

    def tray(self):
        """Wine shows notification icons in a window of its own when the X display has no tray:
        returns the rectangles of that window and the number of icons in it."""
        windows = self.window_list()
        boxes = [w["rect"] for w in windows if w["class"] == "__winex11_standalone_tray" and w["visible"]]
        icons = sum(1 for w in windows if w["class"] == "__winex11_tray_icon" and w["visible"])
        return boxes, icons

    def wait_icons(self, n, seconds):
        end = time.monotonic() + seconds
        while True:
            icons = self.tray()[1]
            if icons == n or time.monotonic() >= end:
                return icons
            time.sleep(0.3)

    def screenshot(self):
        # A grab of the root window while windows are being resized (a display change) can fail
        # with BadMatch; it is tried again a few times.
        for attempt in range(4):
            xwd = run(["xwd", "-root", "-silent", "-display", self.display], timeout=30)
            if xwd.code == 0 or attempt == 3:
                break
            time.sleep(0.3)
        check(xwd.code == 0, f"xwd failed: {xwd.stderr}")
        return read_xwd(xwd.stdout_bytes)

    def wallpaper_shot(self, reference):
        """A screenshot with Wine's tray window, which lies over the wallpaper, replaced by the
        reference's pixels."""
        shot = self.screenshot()
        for box in self.tray()[0]:
            shot = shot.copy_area(reference, *box)
        return shot

    def stop(self):
        if self.compositor is not None:
            self.compositor.stop()
        run_quietly(["wineserver", "-k"], self.env, 20)
        for proc in self.started:
            stop_process(proc)


def run_quietly(argv, env, timeout):
    try:
        subprocess.run(argv, env=env, timeout=timeout, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL)
    except (subprocess.TimeoutExpired, OSError):
        pass


def stop_process(proc):
    if proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(timeout=5)
    except (ProcessLookupError, subprocess.TimeoutExpired, PermissionError):
        try:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=5)
        except (ProcessLookupError, subprocess.TimeoutExpired, PermissionError):
            pass


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


def start_xvfb(logs):
    """Starts Xvfb on a display number it picks itself (free); returns (process, ":N")."""
    read_end, write_end = os.pipe()
    err = open(logs / "xvfb.log", "ab")
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                             "-nolisten", "tcp", "-br", "-noreset"],
                            pass_fds=(write_end,), stdout=err, stderr=err, stdin=subprocess.DEVNULL,
                            start_new_session=True)
    err.close()
    os.close(write_end)
    text = b""
    end = time.monotonic() + 20
    try:
        while not text.endswith(b"\n"):
            left = end - time.monotonic()
            if left <= 0 or proc.poll() is not None:
                raise Failure("Xvfb did not start (see xvfb.log)")
            ready, _, _ = select.select([read_end], [], [], left)
            if ready:
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise Failure("Xvfb did not start (see xvfb.log)")
                text += chunk
    except Exception:
        stop_process(proc)
        raise
    finally:
        os.close(read_end)
    return proc, ":" + text.decode().strip()


PREFIX_TIME_LIMIT = 270


def ensure_prefix(prefix, env):
    """Creates the Wine prefix once; later tests reuse it. A prefix whose creation did not
    finish is made again."""
    ready = prefix / ".velmora-ready"
    with open(str(prefix) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if ready.exists():
            return
        log(f"creating the Wine prefix {prefix}")
        shutil.rmtree(prefix, ignore_errors=True)
        started = time.monotonic()
        boot = run(["wineboot", "-i"], timeout=180, env=env)
        check(boot.code == 0, f"wineboot -i failed ({boot.code}): {boot.stderr[-2000:]}")
        run_quietly(["wineserver", "-w"], env, 60)
        ready.write_text("ok\n")
        log(f"Wine prefix ready in {time.monotonic() - started:.1f} s")


# ---------------------------------------------------------------------------------------------
# The program folder of a test.

def make_theme(folder, sky_top, sky_bottom, floor_a, floor_b):
    folder.mkdir(parents=True)
    (folder / "theme.txt").write_text("# A still scene: a background and a floor.\n"
                                      "background name:sky\n"
                                      "floor name:ground ycollider:10\n")

    def blend(a, b, t):
        return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))

    write_png(folder / "sky.png", 16, 12, lambda x, y: blend(sky_top, sky_bottom, y / 11.0))
    write_png(folder / "ground.png", 100, 20,
              lambda x, y: floor_a if ((x // 5) + (y // 5)) % 2 == 0 else floor_b)


def make_program_folder(folder, exes, default_theme=THEME_A):
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    velmora = exes["velmora"]
    shutil.copy2(velmora, folder / velmora.name)
    for dll in velmora.parent.glob("*.dll"):
        shutil.copy2(dll, folder / dll.name)
    (folder / "config.txt").write_text(f"config default_theme:{default_theme} fps:10\n"
                                       "global scale:4\n")
    themes = folder / "themes"
    make_theme(themes / THEME_A, (250, 170, 90), (120, 40, 80), (70, 120, 40), (200, 210, 120))
    make_theme(themes / THEME_B, (20, 30, 90), (90, 140, 210), (60, 60, 70), (230, 230, 240))
    return folder / velmora.name


def reference(tool, program_folder, theme, out, desktop=(SCREEN_W, SCREEN_H), dpi=96):
    """The frame velmora-tool renders of the theme on a desktop of the screen's size (or of the
    given size, placed at the screen's top left corner on black), at the given scaling."""
    shutil.rmtree(out, ignore_errors=True)
    result = run([str(tool), "render", "--root", str(program_folder), "--theme", theme,
                  "--monitors", f"{desktop[0]}x{desktop[1]}+0+0@{dpi}", "--frames", "1", "--out", str(out)],
                 timeout=60)
    check(result.code == 0, f"velmora-tool render failed ({result.code}): {result.stderr}")
    frame = read_png(out / "frame_0001.png")
    if (frame.width, frame.height) == (SCREEN_W, SCREEN_H):
        return frame
    rgb = bytearray(SCREEN_W * SCREEN_H * 3)
    for y in range(min(frame.height, SCREEN_H)):
        width = min(frame.width, SCREEN_W)
        rgb[y * SCREEN_W * 3:(y * SCREEN_W + width) * 3] = frame.rgb[y * frame.width * 3:(y * frame.width + width) * 3]
    return Picture(SCREEN_W, SCREEN_H, bytes(rgb))


# The floor of the test themes: 100 x 20 theme pixels at scale 4, centred, on the bottom edge.
FLOOR_BOX = (SCREEN_W // 2 - 200, SCREEN_H - 80, SCREEN_W // 2 + 200, SCREEN_H)


def compare(shot, ref):
    """Differences between the screen and the reference frame, as (whole-screen mean absolute
    difference, share of far-off pixels, mean absolute difference inside the floor)."""
    check((shot.width, shot.height) == (ref.width, ref.height),
          f"the screen is {shot.width}x{shot.height}, the reference {ref.width}x{ref.height}")
    return (mean_abs_diff(shot.rgb, ref.rgb), far_pixel_share(shot.rgb, ref.rgb),
            mean_abs_diff(shot.region(*FLOOR_BOX), ref.region(*FLOOR_BOX)))


def matches(stats):
    whole, far, floor = stats
    # Direct2D may sample the stretched background a little differently from the tool (under Wine
    # they differ by rounding only); the floor is drawn with nearest-neighbour sampling at a
    # whole scale and must agree almost exactly.
    return whole < 3.0 and far < 0.005 and floor < 1.0


def wait_for_picture(wine, ref, seconds, what, keep):
    """Takes screenshots until one matches the reference; fails with the last one kept."""
    end = time.monotonic() + seconds
    stats = None
    while True:
        shot = wine.wallpaper_shot(ref)
        stats = compare(shot, ref)
        if matches(stats):
            log(f"{what}: screen matches (mean diff {stats[0]:.2f}, far pixels {stats[1] * 100:.2f}%, "
                f"floor diff {stats[2]:.2f})")
            return shot
        if time.monotonic() >= end:
            shot.save(keep)
            raise Failure(f"{what}: the screen does not show the expected frame after {seconds} s: mean diff "
                          f"{stats[0]:.2f}, far pixels {stats[1] * 100:.2f}%, floor diff {stats[2]:.2f} "
                          f"(screenshot kept as {keep})")
        time.sleep(0.5)


# ---------------------------------------------------------------------------------------------
# The tests.

class Context:
    def __init__(self, wine, exes, tool, work):
        self.wine, self.exes, self.tool, self.work = wine, exes, tool, work

    def program(self, default_theme=THEME_A):
        return make_program_folder(self.work / "program", self.exes, default_theme)

    def start_shell(self, mode, *extra, name="standin_shell"):
        proc = self.wine.start(self.exes["standin_shell"], mode, *extra, name=name)
        ok, seen = self.wine.wait_count("Progman", 1, 30000)
        check(ok, f"the stand-in shell ({mode}) did not come up (Progman windows: {seen})")
        if mode == "24h2":
            self.wine.compose_desktop()
        return proc

    def start_velmora(self, exe):
        proc = self.wine.start(exe, name="velmora")
        ok, seen = self.wine.wait_count(VMA, 1, 30000)
        check(ok, f"velmora.exe made no window of class VMA (count {seen}, exit code {proc.poll()})")
        return proc

    def no_error_box(self):
        for text in ("No Progman found.", "No WorkerW found."):
            check(not self.wine.box_shown("ERROR!", text, 0), f"velmora.exe showed \"{text}\"")

    def one_icon(self):
        icons = self.wine.wait_icons(1, 10)
        check(icons == 1, f"there are {icons} notification icons, not 1")

    def exit_velmora(self, proc):
        self.wine.post(VMA, WM_COMMAND, CMD_EXIT, 0)
        code = wait_exit(proc, 30)
        check(code is not None, "velmora.exe did not end after Exit (902)")
        check(code == 0, f"velmora.exe ended with {code} after Exit, not 0")
        ok, seen = self.wine.wait_count(VMA, 0, 10000)
        check(ok, f"the VMA window is still there after Exit (count {seen})")
        icons = self.wine.wait_icons(0, 10)
        check(icons == 0, f"{icons} notification icons are left after Exit")


def test_draws_theme(ctx, shell_mode="normal"):
    exe = ctx.program()
    ref = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference")
    ctx.start_shell(shell_mode)
    proc = ctx.start_velmora(exe)
    wait_for_picture(ctx.wine, ref, 60, f"{THEME_A} ({shell_mode} shell)", ctx.work / "screen.png")
    ctx.no_error_box()
    ctx.one_icon()
    ctx.exit_velmora(proc)


def test_second_attempt(ctx):
    test_draws_theme(ctx, "second")


def test_24h2(ctx):
    test_draws_theme(ctx, "24h2")


def test_single_instance(ctx):
    exe = ctx.program()
    ctx.start_shell("normal")
    first = ctx.start_velmora(exe)
    second = ctx.wine.run(exe, timeout=60)
    check(second.code == 1, f"the second velmora.exe ended with {second.code}, not 1")
    check(first.poll() is None, "the first velmora.exe ended when the second one started")
    check(ctx.wine.count(VMA) == 1, f"there are {ctx.wine.count(VMA)} VMA windows, not 1")
    ctx.one_icon()
    ctx.exit_velmora(first)


def test_commands(ctx):
    exe = ctx.program()
    program = exe.parent
    ref_a = reference(ctx.tool, program, THEME_A, ctx.work / "reference_a")
    ref_b = reference(ctx.tool, program, THEME_B, ctx.work / "reference_b")
    check(compare(ref_a, ref_b)[0] > 20, "the two test themes look too much alike to tell apart")
    ctx.start_shell("normal")
    proc = ctx.start_velmora(exe)
    wine = ctx.wine
    wait_for_picture(wine, ref_a, 60, "start-up theme", ctx.work / "screen_start.png")

    # Paused, a chosen theme is loaded but not drawn: the screen keeps the previous frame.
    wine.post(VMA, TRAY_CALLBACK, 0, WM_LBUTTONDOWN)
    wine.post(VMA, WM_COMMAND, THEME_FIRST_ID + 1, 0)
    time.sleep(2.0)
    shot = wine.wallpaper_shot(ref_a)
    check(matches(compare(shot, ref_a)), "the screen changed while paused")
    check(proc.poll() is None, "velmora.exe ended after the pause and theme command")
    log("paused: the screen keeps the previous theme")

    wine.post(VMA, TRAY_CALLBACK, 0, WM_LBUTTONDOWN)
    wait_for_picture(wine, ref_b, 30, "after resuming, the chosen theme", ctx.work / "screen_resumed.png")

    wine.post(VMA, WM_COMMAND, CMD_RELOAD, 0)
    time.sleep(1.0)
    wait_for_picture(wine, ref_b, 30, "after Reload, the same theme", ctx.work / "screen_reloaded.png")
    check(proc.poll() is None, "velmora.exe ended after Reload")

    wine.post(VMA, WM_COMMAND, THEME_FIRST_ID, 0)
    wait_for_picture(wine, ref_a, 30, "the first theme chosen again", ctx.work / "screen_first.png")
    ctx.exit_velmora(proc)


def test_no_progman(ctx):
    exe = ctx.program()
    proc = ctx.wine.start(exe, name="velmora")
    check(ctx.wine.box_shown("ERROR!", "No Progman found.", 30000),
          "no message box \"No Progman found.\" appeared")
    log("the message box \"No Progman found.\" is shown")
    check(proc.poll() is None, "velmora.exe ended while its message box was open")
    result = ctx.wine.probe("close-box", "ERROR!")
    check(result.code == 0, "could not close the message box")
    check(_box_gone(ctx.wine), "the message box did not close")
    # The program goes on: its window answers commands, and Exit ends it with 0.
    time.sleep(1.0)
    check(proc.poll() is None, f"velmora.exe ended ({proc.poll()}) after its message box was closed")
    check(ctx.wine.count(VMA) == 1, "velmora.exe has no VMA window after the message box")
    check(not ctx.wine.box_shown("ERROR!", "No WorkerW found.", 0), "a second message box appeared")
    ctx.one_icon()
    # Without a desktop window nothing is drawn: the screen stays black around Wine's tray.
    shot = ctx.wine.wallpaper_shot(Picture(SCREEN_W, SCREEN_H, bytes(SCREEN_W * SCREEN_H * 3)))
    check(brightness(shot) == 0, "something was drawn on the screen without a desktop window")
    ctx.exit_velmora(proc)


def wait_black(wine, seconds, what):
    """Waits until nothing but Wine's tray window shows on the screen."""
    black = Picture(SCREEN_W, SCREEN_H, bytes(SCREEN_W * SCREEN_H * 3))
    end = time.monotonic() + seconds
    while brightness(wine.wallpaper_shot(black)) != 0:
        check(time.monotonic() < end, f"{what}: the screen did not turn black")
        time.sleep(0.3)


def test_shell_restart(ctx):
    """Explorer restarts: its windows and the icons of its taskbar go, a new shell comes with a
    new "Progman" and "WorkerW" and broadcasts "TaskbarCreated"."""
    exe = ctx.program()
    ref = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference")
    shell = ctx.start_shell("normal")
    proc = ctx.start_velmora(exe)
    wine = ctx.wine
    wait_for_picture(wine, ref, 60, "before the restart", ctx.work / "screen_before.png")
    ctx.one_icon()

    wine.post("Progman", WM_CLOSE)
    check(wait_exit(shell, 30) is not None, "the stand-in shell did not end")
    ok, seen = wine.wait_count("Progman", 0, 10000)
    check(ok, f"the old Progman is still there ({seen})")
    wait_black(wine, 10, "after the shell ended")
    check(proc.poll() is None, "velmora.exe ended with the shell")
    log("the shell ended; nothing shows")

    ctx.start_shell("normal", "restarted", name="standin_shell_restarted")
    icons = wine.wait_icons(1, 20)
    check(icons == 1, f"the notification icon was not added again ({icons} icons)")
    log("the notification icon is back")
    wait_for_picture(wine, ref, 60, "after the restart, on the new WorkerW", ctx.work / "screen_after.png")
    ctx.no_error_box()
    ctx.exit_velmora(proc)


def test_display_change(ctx):
    """The shell resizes its desktop windows and broadcasts WM_DISPLAYCHANGE (three times): the
    scene is laid out for the new size."""
    exe = ctx.program()
    ref = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference")
    small = (640, 480)
    ref_small = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference_small", small)
    check(compare(ref, ref_small)[2] > 20, "the two layouts look too much alike to tell apart")
    ctx.start_shell("normal")
    proc = ctx.start_velmora(exe)
    wine = ctx.wine
    wait_for_picture(wine, ref, 60, "before the change", ctx.work / "screen_before.png")
    wine.post("Progman", STANDIN_RESIZE, *small)
    wait_for_picture(wine, ref_small, 30, f"after the change to {small[0]}x{small[1]}", ctx.work / "screen_after.png")
    check(proc.poll() is None, "velmora.exe ended after the display change")
    ctx.exit_velmora(proc)


def test_exit_after_display_changes(ctx):
    """A few rounds of: start, the desktop shrinks to 800x510 then to 640x480 (each with a burst
    of WM_DISPLAYCHANGE), the scene laid out anew, then Exit: every round ends with 0, the icon
    gone. Each round uses the targets made again by the rebuilds and releases them on the way
    out, where a fault would show as an exit code other than 0."""
    exe = ctx.program()
    wine = ctx.wine
    sizes = [(800, 510), (640, 480)]
    refs = {size: reference(ctx.tool, exe.parent, THEME_A, ctx.work / f"reference_{size[0]}", size) for size in sizes}
    ctx.start_shell("normal")
    for round_ in range(3):
        wine.post("Progman", STANDIN_RESIZE, SCREEN_W, SCREEN_H)
        # Each round starts on a desktop done with its change back to the whole screen (the post
        # is handled in the shell's own time; once a round's start found it half done).
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not any(
                w["class"] == "WorkerW" and w["visible"] and w["rect"] == (0, 0, SCREEN_W, SCREEN_H) for w in wine.window_list()):
            time.sleep(0.2)
        proc = ctx.start_velmora(exe)
        for size in sizes:
            wine.post("Progman", STANDIN_RESIZE, *size)
            wait_for_picture(wine, refs[size], 30, f"round {round_ + 1}, after the change to {size[0]}x{size[1]}",
                             ctx.work / f"screen_{round_}_{size[0]}.png")
        check(proc.poll() is None, f"velmora.exe ended after the display changes of round {round_ + 1}")
        ctx.exit_velmora(proc)
        log(f"round {round_ + 1}: ended with 0 after the display changes")


def test_scaled_display(ctx):
    """The display at 150 % (LogPixels 144, which Wine reports through GetDpiForMonitor as
    Windows does): the program, aware of each monitor's scaling, draws theme pixels of 6 device
    pixels (scale 4 x 1.5) over the whole screen, as velmora-tool renders a 144-DPI monitor."""
    exe = ctx.program()
    ref = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference", dpi=144)
    plain = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference_96")
    check(compare(ref, plain)[1] > 0.05, "the scaled and the unscaled layout look too much alike to tell apart")
    key = r"HKCU\Control Panel\Desktop"
    wine = ctx.wine
    added = run(["wine", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"],
                timeout=60, env=wine.env)
    check(added.code == 0, f"reg add LogPixels failed ({added.code}): {added.stderr[-500:]}")
    try:
        ctx.start_shell("normal")
        proc = ctx.start_velmora(exe)
        wait_for_picture(wine, ref, 60, "at 144 DPI", ctx.work / "screen.png")
        ctx.exit_velmora(proc)
    finally:
        # The prefix is shared by the tests that follow, all at 96 DPI.
        run_quietly(["wineserver", "-k"], wine.env, 20)
        run(["wine", "reg", "delete", key, "/v", "LogPixels", "/f"], timeout=60, env=wine.env)
        run_quietly(["wineserver", "-w"], wine.env, 30)


def progman_children(wine):
    """The classes of the children of "Progman", top of the z-order first."""
    children, inside = [], False
    for window in wine.window_list():
        if not window["child"]:
            inside = window["class"] == "Progman"
        elif inside:
            children.append(window["class"])
    return children


def test_24h2_own_window(ctx):
    """On the 24H2 layout the scene is drawn into Velmora's own child window of "Progman", which
    lies between the "SHELLDLL_DefView" and "WorkerW" children, and goes at exit."""
    exe = ctx.program()
    ref = reference(ctx.tool, exe.parent, THEME_A, ctx.work / "reference")
    ctx.start_shell("24h2")
    proc = ctx.start_velmora(exe)
    wait_for_picture(ctx.wine, ref, 60, "24h2 shell", ctx.work / "screen.png")
    children = progman_children(ctx.wine)
    check(children == ["SHELLDLL_DefView", SCENE_CLASS, "WorkerW"],
          f"the children of Progman are {children}, not the icon view, Velmora's window and the WorkerW")
    log(f"children of Progman, top first: {children}")
    ctx.no_error_box()
    ctx.exit_velmora(proc)
    children = progman_children(ctx.wine)
    check(SCENE_CLASS not in children, f"Velmora's window is still there after Exit: {children}")


def _box_gone(wine):
    end = time.monotonic() + 10
    while time.monotonic() < end:
        if wine.probe("wait-box", "ERROR!", "No Progman found.", 0).code != 0:
            return True
        time.sleep(0.3)
    return False


def test_platform_checks(ctx):
    """The Windows layer's own checks (decoding, the off-screen device, the shell), and one member
    read from a theme archive through the whole Windows path (wide path, Win32 files, inflate)."""
    import zipfile
    folder = ctx.work / "checks"
    folder.mkdir()
    result = ctx.wine.run(ctx.exes["platform_check"], "Z:" + str(folder).replace("/", "\\"), timeout=120)
    check(result.code == 0 and "all platform checks passed" in result.stdout,
          f"the platform checks failed:\n{result.stdout}{result.stderr}")
    archive = folder / "Themé.zip"
    text = ("floor name:ground\n" * 500).encode()
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("THEME.TXT", text)
    result = ctx.wine.run(ctx.exes["archive_probe"], "Z:" + str(archive).replace("/", "\\"), "theme.txt")
    check(result.code == 0 and result.stdout.strip() == f"{len(text)} bytes, ok",
          f"the archive probe read: {result.stdout.strip()!r} {result.stderr.strip()}")


# ---------------------------------------------------------------------------------------------
# Pausing while a full-screen window covers the scene.

THEME_PAN = "Pan"
WM_CLOSE = 0x0010
COVER = "VelmoraCover"
# The cover window leaves this part of the screen open, over the floor, so that the wallpaper
# behind it can be watched while the window's rectangle covers the whole screen.
COVER_HOLE = (0, 400, SCREEN_W, SCREEN_H)


def make_panning_theme(folder):
    """A floor wider than the screen that pans back and forth; its columns all differ, so every
    frame moves the picture."""
    folder.mkdir(parents=True)
    (folder / "theme.txt").write_text("background name:sky\nfloor name:ground ycollider:10\n")
    write_png(folder / "sky.png", 16, 12, lambda x, y: (30, 40 + y * 10, 120))
    write_png(folder / "ground.png", 300, 20, lambda x, y: (x * 255 // 299, 90 + y * 5, 255 - x * 255 // 299))


class FrameCounter:
    """Counts the frames velmora.exe presents, from Wine's trace of Direct2D (each frame ends with
    one EndDraw on the window's render target), and the processor time it takes."""

    def __init__(self, log_path, proc):
        self.log_path, self.proc = log_path, proc

    def frames(self):
        text = self.log_path.read_bytes() if self.log_path.exists() else b""
        return text.count(b"hwnd_render_target_EndDraw")

    def cpu_seconds(self):
        try:
            fields = Path(f"/proc/{self.proc.pid}/stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            return None
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def watch(wine, counter, seconds):
    """Frames presented, processor seconds taken, and whether the open part of the screen
    changed, over that many seconds."""
    frames, cpu = counter.frames(), counter.cpu_seconds()
    first = wine.screenshot().region(*COVER_HOLE)
    # The largest change against the first look, looked at every half second: a pan that swings
    # back and forth can stand where it stood at the start just when a single last look is taken.
    change = 0.0
    end = time.monotonic() + seconds
    while True:
        time.sleep(max(0.0, min(0.5, end - time.monotonic())))
        change = max(change, mean_abs_diff(first, wine.screenshot().region(*COVER_HOLE)))
        if time.monotonic() >= end:
            break
    cpu_after = counter.cpu_seconds()
    used = cpu_after - cpu if cpu is not None and cpu_after is not None else float("nan")
    return counter.frames() - frames, used, change


def test_pause_fullscreen(ctx, key=1):
    exe = ctx.program()
    (exe.parent / "config.txt").write_text(f"config default_theme:{THEME_PAN} fps:10 pause_fullscreen:{key}\n"
                                           "global scale:4 ping_pong:0.0005\n")
    make_panning_theme(exe.parent / "themes" / THEME_PAN)
    wine = ctx.wine
    ctx.start_shell("normal")
    env = dict(wine.env, WINEDEBUG="-all,trace+d2d")
    proc = wine.start(exe, name="velmora", env=env)
    ok, seen = wine.wait_count(VMA, 1, 30000)
    check(ok, f"velmora.exe made no window of class VMA (count {seen}, exit code {proc.poll()})")
    counter = FrameCounter(ctx.work / "velmora.log", proc)

    def frames_go_on(what):
        end = time.monotonic() + 30
        while True:
            frames, cpu, change = watch(wine, counter, 1.0)
            if frames >= 3 and change > 1.0:
                log(f"{what}: {frames} frames in 1 s, {cpu:.2f} s of processor time, screen change {change:.1f}")
                return cpu
            check(time.monotonic() < end, f"{what}: the frames do not go on ({frames} frames in 1 s, screen "
                                          f"change {change:.2f})")

    playing_cpu = frames_go_on("before the cover")

    cover = wine.start(ctx.exes["window_probe"], "cover", *map(str, COVER_HOLE), name="cover")
    ok, seen = wine.wait_count(COVER, 1, 30000)
    check(ok, f"the cover window did not come up (count {seen})")
    front = wine.probe("foreground").stdout.strip()
    check(f'class="{COVER}"' in front, f"the cover window is not in the foreground: {front}")
    # The automatic pause looks twice a second.
    time.sleep(1.5)
    frames, cpu, change = watch(wine, counter, 3.0)
    log(f"covered, pause_fullscreen:{key}: {frames} frames in 3 s, {cpu:.2f} s of processor time "
        f"(playing: {playing_cpu:.2f} s in 1 s), screen change {change:.2f}")
    if key:
        check(frames == 0, f"{frames} frames were presented behind the covering window")
        check(change == 0, f"the wallpaper behind the covering window changed (mean difference {change:.2f})")
    else:
        check(frames >= 3 and change > 1.0, f"without pause_fullscreen the frames stopped behind the covering window "
                                             f"({frames} frames in 3 s, screen change {change:.2f})")

    wine.post(COVER, WM_CLOSE)
    check(wait_exit(cover, 30) is not None, "the cover window's program did not end when closed")
    frames_go_on("after the cover closed")
    check(proc.poll() is None, "velmora.exe ended")
    ctx.exit_velmora(proc)


def test_pause_fullscreen_off(ctx):
    test_pause_fullscreen(ctx, key=0)
def snapshot(folder):
    """Every file and folder under folder: kind, size, modification time and content hash."""
    import hashlib
    entries = {}
    for path in sorted(Path(folder).rglob("*")):
        info = path.stat()
        if path.is_dir():
            entries[str(path.relative_to(folder))] = ("folder", info.st_mtime_ns)
        else:
            entries[str(path.relative_to(folder))] = ("file", info.st_size, info.st_mtime_ns,
                                                      hashlib.sha256(path.read_bytes()).hexdigest())
    return entries


def snapshot_changes(before, after):
    changes = [f"created {name}" for name in sorted(after.keys() - before.keys())]
    changes += [f"removed {name}" for name in sorted(before.keys() - after.keys())]
    changes += [f"changed {name}" for name in sorted(before.keys() & after.keys()) if before[name] != after[name]]
    return changes


def write_zip(path, members):
    """A ZIP archive of (name, stored bytes, method, CRC-32, uncompressed size) members, as given:
    the headers may state what the data is not."""
    def local(name, method, crc, csize, usize):
        return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, crc, csize, usize, len(name), 0) + name

    def central(name, method, crc, csize, usize, offset):
        return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x21, crc, csize, usize,
                           len(name), 0, 0, 0, 0, 0, offset) + name

    body, directory = bytearray(), bytearray()
    for name, stored, method, crc, usize in members:
        directory += central(name.encode(), method, crc, len(stored), usize, len(body))
        body += local(name.encode(), method, crc, len(stored), usize) + stored
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(members), len(members), len(directory), len(body), 0)
    Path(path).write_bytes(bytes(body + directory + end))


def huge_text_member(name, line, size):
    """A deflated member of line repeated to size bytes, made in pieces (about 200 KB for 200 MB)."""
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
    compressed, crc, done, block = bytearray(), 0, 0, line * (1 << 16)
    while done < size:
        piece = block[:size - done]
        compressed += deflater.compress(piece)
        crc, done = zlib.crc32(piece, crc), done + len(piece)
    compressed += deflater.flush()
    return (name, bytes(compressed), 8, crc & 0xFFFFFFFF, size)


def damaged_copy(name, data):
    """A stored member whose stated checksum does not match its data."""
    return (name, data, 0, (zlib.crc32(data) ^ 1) & 0xFFFFFFFF, len(data))


def test_read_only(ctx):
    """Neither the player, through start-up, theme choices, Reload, pause and Exit, nor
    velmora-tool's check, render and trace create, change or remove a file of the program folder.
    A hostile archive among the themes loads empty and the player goes on; one whose pictures fail
    their checksums is drawn from the bytes read."""
    exe = ctx.program()
    program = exe.parent
    themes = program / "themes"
    # Theme B again, as an archive whose pictures fail their checksums (and are used all the
    # same), and an archive whose theme.txt inflates to 200 MB.
    write_zip(themes / "Calm.zip", [damaged_copy(member.name, member.read_bytes())
                                    for member in sorted((themes / THEME_B).iterdir())])
    write_zip(themes / "Huge.zip", [huge_text_member("theme.txt", b"add_particle name:snow instances:9\n", 200_000_000)])
    (program / "readme.txt").write_text("read me\n")
    ref_a = reference(ctx.tool, program, THEME_A, ctx.work / "reference_a")
    ref_b = reference(ctx.tool, program, THEME_B, ctx.work / "reference_b")
    before = snapshot(program)

    # The tool first: its frames go to a folder outside the program folder.
    out = ctx.work / "frames"
    for theme in (THEME_A, "Calm.zip", "Huge.zip"):
        result = run([str(ctx.tool), "render", "--root", str(program), "--theme", theme, "--desktop", "160x120",
                      "--frames", "2", "--out", str(out)], timeout=60)
        check(result.code == 0, f"velmora-tool render {theme} failed ({result.code}): {result.stderr}")
        result = run([str(ctx.tool), "trace", "--root", str(program), "--theme", theme, "--seed", "5",
                      "--desktop", "160x120", "--ticks", "0,16,33"], timeout=60)
        check(result.code == 0, f"velmora-tool trace {theme} failed ({result.code}): {result.stderr}")
    result = run([str(ctx.tool), "check", "--root", str(program)], timeout=120)
    check(result.code == 1 and "Huge.zip/theme.txt: error: is larger than 16 MiB" in result.stdout
          and "picture ground.png fails its checksum" in result.stdout,
          f"velmora-tool check ({result.code}) did not report the hostile archive:\n{result.stdout}")
    changes = snapshot_changes(before, snapshot(program))
    check(not changes, "velmora-tool changed the program folder: " + ", ".join(changes))
    log("velmora-tool check, render and trace left the program folder as it was")

    ctx.start_shell("normal")
    proc = ctx.start_velmora(exe)
    wine = ctx.wine
    wait_for_picture(wine, ref_a, 60, "start-up theme", ctx.work / "screen_start.png")
    # Menu ids: the folders first, then the archives, each in name order (Calm.zip, Huge.zip).
    wine.post(VMA, WM_COMMAND, THEME_FIRST_ID + 2, 0)
    wait_for_picture(wine, ref_b, 30, "theme B from the damaged archive", ctx.work / "screen_damaged.png")
    for command in (THEME_FIRST_ID + 3, CMD_RELOAD, THEME_FIRST_ID + 1):
        wine.post(VMA, WM_COMMAND, command, 0)
        time.sleep(1.0)
        check(proc.poll() is None, f"velmora.exe ended ({proc.poll()}) after command {command}")
    wine.post(VMA, TRAY_CALLBACK, 0, WM_LBUTTONDOWN)
    wine.post(VMA, TRAY_CALLBACK, 0, WM_LBUTTONDOWN)
    wine.post(VMA, WM_COMMAND, THEME_FIRST_ID, 0)
    wait_for_picture(wine, ref_a, 30, "the first theme again, after the hostile one", ctx.work / "screen_again.png")
    ctx.exit_velmora(proc)
    changes = snapshot_changes(before, snapshot(program))
    check(not changes, "velmora.exe changed the program folder: " + ", ".join(changes))
    log("velmora.exe left the program folder as it was")


TESTS = {
    "scaled_display": test_scaled_display,
    "platform_checks": test_platform_checks,
    "read_only": test_read_only,
    "draws_theme": test_draws_theme,
    "second_attempt": test_second_attempt,
    "win11_24h2": test_24h2,
    "single_instance": test_single_instance,
    "commands": test_commands,
    "no_progman": test_no_progman,
    "pause_fullscreen": test_pause_fullscreen,
    "pause_fullscreen_off": test_pause_fullscreen_off,
    "shell_restart": test_shell_restart,
    "display_change": test_display_change,
    "exit_after_display_changes": test_exit_after_display_changes,
    "win11_24h2_own_window": test_24h2_own_window,
}


# ---------------------------------------------------------------------------------------------

# Where the Windows build puts the programs the tests run.
WINDOWS_PROGRAMS = {
    "velmora": Path("src/platform/win32/velmora.exe"),
    "standin_shell": Path("tests/platform/win32/standin_shell.exe"),
    "window_probe": Path("tests/platform/win32/window_probe.exe"),
    "platform_check": Path("tests/platform/win32/velmora_platform_check.exe"),
    "archive_probe": Path("tests/platform/win32/velmora-archive-probe.exe"),
}


def find_programs(build):
    programs = {}
    for name, relative in WINDOWS_PROGRAMS.items():
        path = (build / relative).resolve()
        check(path.is_file(), f"{path} is missing: build the Windows preset first (cmake --build --preset windows)")
        programs[name] = path
    return programs


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--windows-build", required=True, type=Path)
    parser.add_argument("--tool", required=True, type=Path)
    parser.add_argument("--work", required=True, type=Path)
    parser.add_argument("--time-limit", type=int, default=150,
                        help="seconds for the test, not counting the making of the Wine prefix")
    parser.add_argument("test", choices=sorted(TESTS))
    args = parser.parse_args()

    if shutil.which("wine") is None or shutil.which("wineserver") is None:
        print("SKIPPED: Wine is not installed (bash scripts/setup.sh installs it)")
        return SKIP
    for tool in ("Xvfb", "xwd", "wineboot"):
        if shutil.which(tool) is None:
            print(f"FAILED: {tool} is missing (bash scripts/setup.sh installs it)")
            return 1

    def out_of_time(signum, frame):
        raise OutOfTime()

    signal.signal(signal.SIGALRM, out_of_time)
    signal.signal(signal.SIGTERM, out_of_time)
    # The first test also makes the Wine prefix, which has a time limit of its own.
    signal.alarm(PREFIX_TIME_LIMIT)

    started = time.monotonic()
    work = (args.work / args.test).resolve()
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    prefix = args.work.resolve() / "wineprefix"
    xvfb = None
    wine = None
    outcome = 1
    try:
        exes = find_programs(args.windows_build)
        check(args.tool.exists(), f"{args.tool} does not exist")
        xvfb, display = start_xvfb(work)
        wine = Wine(prefix, display, exes, work)
        log(f"X display {display}, Wine prefix {prefix}")
        ensure_prefix(prefix, wine.env)
        signal.alarm(args.time_limit)
        run_quietly(["wineserver", "-k"], wine.env, 20)  # nothing left from an interrupted run
        TESTS[args.test](Context(wine, exes, args.tool.resolve(), work))
        outcome = 0
        log(f"PASSED {args.test} in {time.monotonic() - started:.1f} s")
    except Failure as failure:
        outcome = 1
        log(f"FAILED {args.test}: {failure}")
    except OutOfTime:
        outcome = 1
        log(f"FAILED {args.test}: out of time after {time.monotonic() - started:.0f} s")
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if wine is not None:
            if outcome != 0:
                try:
                    print("windows at the end:\n" + wine.windows(), flush=True)
                except Exception:
                    pass
            wine.stop()
        if xvfb is not None:
            stop_process(xvfb)
    return outcome


if __name__ == "__main__":
    sys.exit(main())
