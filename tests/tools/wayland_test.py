#!/usr/bin/env python3
"""velmora-tool play --desktop on a Wayland compositor with layer-shell, as a user runs it.

sway runs with its X11 back end in a virtual X server: each output is an X window, `swaymsg
create_output` adds one, and a WM_DELETE_WINDOW message to that window removes it (Debian 12's
sway can neither unplug nor disable a headless output). sway refuses to run as root, so under root
it runs as an unprivileged user made for the test, in a runtime folder of that user's; root's
clients reach its socket all the same. Screenshots come from grim and are compared with
velmora-tool render's frames. Every wait has a time limit, the whole test has one, and sway, its
clients and the players are killed at the end whatever happens.

  wayland_test.py --tool PATH
"""

import argparse
import ctypes
import glob
import json
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from play_test import ended, make_program_folder, start_xvfb, stop, wait_until  # noqa: E402
from screen_pictures import Failure, Picture, check, read_png  # noqa: E402

TEST_USER = "velmora-wayland-test"
TIME_LIMIT = 100  # seconds for the whole scenario; ctest's own limit is above it
SWAY_CONFIG = """xwayland disable
default_border none
output X11-1 resolution 640x480 position 0 0
for_window [app_id="velmora-front"] floating enable, resize set 200 150, move position 20 20
"""


def read_ppm(data):
    check(data[:2] == b"P6", "grim gave no PPM picture")
    fields, pos = [], 2
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(int(data[pos:end]))
        pos = end
    width, height, _ = fields
    return Picture(width, height, data[pos + 1:pos + 1 + width * height * 3])


def pixel(picture, x, y):
    at = (y * picture.width + x) * 3
    return tuple(picture.rgb[at:at + 3])


def box_extent(picture, box=(250, 220, 20), sky=(10, 10, 10)):
    """Drift's picture as the columns and rows its box covers, and the colours that are neither."""
    columns, rows, others = set(), set(), set()
    for y in range(picture.height):
        for x in range(picture.width):
            colour = pixel(picture, x, y)
            if colour == box:
                columns.add(x)
                rows.add(y)
            elif colour != sky:
                others.add(colour)
    return len(columns), len(rows), others


def cpu_ticks(pid):
    """User and system time of a process so far, in clock ticks (usually 100 a second)."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def send_delete_window(display, window):
    """WM_DELETE_WINDOW to an X window, as a window manager's close button sends it. This sway's X11
    back end compares the message's first word with an atom it may not have interned (0): the
    message goes with the interned atom and with 0."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype, x.XOpenDisplay.argtypes = ctypes.c_void_p, [ctypes.c_char_p]
    x.XInternAtom.restype, x.XInternAtom.argtypes = ctypes.c_ulong, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
    connection = x.XOpenDisplay(display.encode())
    check(connection, f"cannot open {display}")
    for first in (x.XInternAtom(connection, b"WM_DELETE_WINDOW", 0), 0):
        event = Event()
        event.xclient.type, event.xclient.window, event.xclient.format = 33, window, 32  # ClientMessage
        event.xclient.message_type = x.XInternAtom(connection, b"WM_PROTOCOLS", 0)
        event.xclient.l[0] = first
        x.XSendEvent(connection, window, 0, 0, ctypes.byref(event))
    x.XSync(connection, 0)
    x.XCloseDisplay(connection)


class Sway:
    """A sway of its own in a virtual X server, the program folder and the players started."""

    def __init__(self, tool, work):
        self.tool, self.work, self.players = tool, work, []
        self.root = work / "program"
        self.sway = self.xvfb = self.runtime = None
        self.env = None

    def start(self):
        work = self.work
        self.xvfb, self.display = start_xvfb("1600x900")
        self.runtime = Path(tempfile.mkdtemp(prefix="velmora_wayland_run_"))
        (self.runtime / "sway.conf").write_text(SWAY_CONFIG)
        env = {"PATH": "/usr/bin:/bin", "HOME": str(self.runtime), "XDG_RUNTIME_DIR": str(self.runtime),
               "DISPLAY": self.display, "WLR_BACKENDS": "x11", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
        argv = ["sway", "-c", str(self.runtime / "sway.conf")]
        if os.geteuid() == 0:
            user = pwd.getpwnam(TEST_USER)
            os.chown(self.runtime, user.pw_uid, user.pw_gid)
            os.chown(self.runtime / "sway.conf", user.pw_uid, user.pw_gid)
            argv = ["runuser", "-u", TEST_USER, "--", "env", "-i", *(f"{k}={v}" for k, v in env.items()), *argv]
        os.chmod(self.runtime, 0o700)
        log = open(work / "sway.log", "wb")
        self.sway = subprocess.Popen(argv, env=env if os.geteuid() != 0 else None, stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        log.close()

        def ready():
            check(self.sway.poll() is None, f"sway ended with {self.sway.returncode}: {self.log()[-2000:]}")
            sockets = glob.glob(str(self.runtime / "sway-ipc.*.sock"))
            displays = [p for p in glob.glob(str(self.runtime / "wayland-*")) if not p.endswith(".lock")]
            return (sockets[0], Path(displays[0]).name) if sockets and displays else None
        ipc, wayland = wait_until("sway's sockets", 20, ready)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=str(self.runtime), WAYLAND_DISPLAY=wayland, SWAYSOCK=ipc)
        self.env.pop("DISPLAY", None)
        wait_until("sway's first output", 10, lambda: "X11-1" in self.outputs())

    def log(self):
        return (self.work / "sway.log").read_text(errors="replace")

    def close(self):
        for player in self.players:
            stop(player)
        if self.sway is not None:
            # The windows sway started live in sessions of their own: each is ended by its id.
            try:
                for pid in self.client_pids() if self.sway.poll() is None else []:
                    os.kill(pid, signal.SIGKILL)
            except (Failure, OSError, ValueError, subprocess.TimeoutExpired):
                pass
            # Asked to end first, so that runuser collects it; killed if it does not within 5 s.
            try:
                os.killpg(self.sway.pid, signal.SIGTERM)
                self.sway.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                pass
            stop(self.sway)
        if self.xvfb is not None:
            stop(self.xvfb)
        if self.runtime is not None:
            shutil.rmtree(self.runtime, ignore_errors=True)

    def client_pids(self):
        pids = []

        def walk(node):
            if node.get("app_id") and node.get("pid"):
                pids.append(int(node["pid"]))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(json.loads(self.msg("-t", "get_tree", "-r")))
        return pids

    def run(self, *argv, timeout=20):
        done = subprocess.run(list(argv), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=timeout)
        return done.returncode, done.stdout, done.stderr.decode(errors="replace")

    def msg(self, *command):
        code, out, err = self.run("swaymsg", *command)
        check(code == 0, f"swaymsg {' '.join(command)} failed: {out.decode(errors='replace')} {err}")
        return out

    def outputs(self):
        return {o["name"]: o for o in json.loads(self.msg("-t", "get_outputs", "-r")) if o.get("active")}

    def clients(self):
        names = []

        def walk(node):
            if node.get("app_id"):
                names.append(node["app_id"])
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(json.loads(self.msg("-t", "get_tree", "-r")))
        return names

    def shot(self, output):
        code, out, err = self.run("grim", "-o", output, "-t", "ppm", "-")
        check(code == 0, f"grim -o {output} failed: {err}")
        return read_ppm(out)

    def shows(self, output, ref, what, seconds=8):
        last = [None]

        def same():
            last[0] = self.shot(output)
            return last[0] == ref
        try:
            wait_until(what, seconds, same, interval=0.1)
        except Failure:
            raise Failure(f"{what}: {output} shows {last[0].width}x{last[0].height}, not the rendered "
                          f"{ref.width}x{ref.height} frame")

    def moving(self, output, seconds=3):
        first = self.shot(output)
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            time.sleep(0.1)
            if self.shot(output) != first:
                return True
        return False

    def still(self, output):
        time.sleep(0.2)
        first = self.shot(output)
        time.sleep(0.6)
        return self.shot(output) == first

    def reference(self, theme, monitors, name):
        out = self.work / f"ref_{name}"
        code, _, err = self.run(str(self.tool), "render", "--root", str(self.root), "--theme", theme, "--monitors", monitors,
                                "--frames", "1", "--out", str(out), timeout=60)
        check(code == 0, f"render of {theme} failed: {err}")
        return read_png(out / "frame_0001.png")

    def play(self, *args, name="play"):
        out, err = open(self.work / f"{name}.out", "wb"), open(self.work / f"{name}.err", "wb")
        proc = subprocess.Popen([str(self.tool), "play", "--root", str(self.root), "--desktop", *args], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err, start_new_session=True)
        out.close()
        err.close()
        proc.name = name
        self.players.append(proc)
        return proc

    def errors(self, proc):
        return (self.work / f"{proc.name}.err").read_text(errors="replace")

    def said(self, proc, text, seconds=5):
        wait_until(f"'{text}' on the player's stderr", seconds, lambda: text in self.errors(proc))

    def add_output(self, resolution, scale, left):
        before = set(self.outputs())
        self.msg("create_output")
        name = wait_until("the new output", 10, lambda: next(iter(set(self.outputs()) - before), None))
        self.msg("output", name, "resolution", resolution, "scale", str(scale), "position", str(left), "0")
        return name

    def remove_output(self, name, size):
        # The output's X window is the one child of the root with the output's size.
        code, out, err = self.run("xwininfo", "-root", "-children", "-display", self.display)
        check(code == 0, f"xwininfo failed: {err}")
        windows = [line.split()[0] for line in out.decode().splitlines()
                   if line.strip().startswith("0x") and f" {size}+" in line]
        check(len(windows) == 1, f"not one X window of {size} for {name}: {out.decode()}")
        send_delete_window(self.display, int(windows[0], 16))
        wait_until(f"{name} gone", 10, lambda: name not in self.outputs())


def test_desktop(s):
    (s.root / "config.txt").write_text("config fps:30 span_monitors:0 pause_fullscreen:1\nglobal scale:4\n")
    dusk = s.reference("Dusk", "640x480+0+0", "dusk")
    player = s.play("--theme", "Dusk")
    s.shows("X11-1", dusk, "the scene on the first output")
    check("pause_fullscreen cannot work" not in s.errors(player), "sway tells toplevels, yet the player says it cannot")

    # A window in front: the scene stays behind it, the window covers its part.
    s.msg("exec", "foot --app-id velmora-front sleep 60")
    wait_until("the window in front", 10, lambda: "velmora-front" in s.clients())

    def behind():
        shot = s.shot("X11-1")
        return pixel(shot, 120, 90) != pixel(dusk, 120, 90) and all(
            pixel(shot, x, y) == pixel(dusk, x, y) for x, y in ((5, 5), (400, 300), (320, 470), (630, 200)))
    wait_until("the scene around the window", 8, behind)
    s.msg("[app_id=velmora-front]", "kill")
    s.shows("X11-1", dusk, "the scene once the window is gone")

    # A second output at scale 2 shows a scene of its own at 192 DPI in its 320x240 pixels.
    second = s.add_output("320x240", 2, 640)
    s.shows(second, s.reference("Dusk", "320x240+0+0@192", "dusk_hidpi"), "the scene on the added output at scale 2")
    s.shows("X11-1", dusk, "the first output beside the second")

    s.remove_output(second, "320x240")
    time.sleep(1)  # past the display change's settling
    check(player.poll() is None, f"the player ended with {player.returncode} when an output went: {s.errors(player)}")
    s.shows("X11-1", dusk, "the first output after the second went")

    # SIGHUP reads config.txt again; a second desktop player is refused; SIGTERM ends with 0.
    (s.root / "config.txt").write_text("config fps:30 span_monitors:0 pause_fullscreen:1\nglobal scale:2\n")
    os.kill(player.pid, signal.SIGHUP)
    s.shows("X11-1", s.reference("Dusk", "640x480+0+0", "dusk_scale2"), "the scene at scale 2 after SIGHUP")
    other = s.play("--theme", "Noon", name="other")
    check(ended(other) == 1, f"a second desktop player ended with {other.returncode}")
    check("already plays" in s.errors(other), f"the second player said: {s.errors(other)!r}")
    os.kill(player.pid, signal.SIGTERM)
    check(ended(player) == 0, f"SIGTERM ended the player with {player.returncode}: {s.errors(player)}")

    # Frames come on both outputs; SIGUSR1 stops and starts them; a full-screen window pauses the
    # scene of the output it covers while the other plays on.
    third = s.add_output("320x240", 1, 640)
    drift = s.play("--theme", "Drift", name="drift")
    check(s.moving("X11-1") and s.moving(third), "the drifting box does not move on both outputs")
    os.kill(drift.pid, signal.SIGUSR1)
    check(s.still("X11-1") and s.still(third), "frames still come after SIGUSR1")
    # Each frame copies and damages only what changed: after many frames each output still shows
    # one box on the sky, as render draws it, and no trail of where the box was.
    width, height, _ = box_extent(s.reference("Drift", "640x480+0+0", "drift"))
    for output in ("X11-1", third):
        columns, rows, others = box_extent(s.shot(output))
        check(0 < columns <= width and 0 < rows <= height and not others,
              f"{output} shows a box over {columns} columns and {rows} rows (render: {width}x{height}), other colours {others}")
    os.kill(drift.pid, signal.SIGUSR1)
    check(s.moving("X11-1"), "frames do not come again after the second SIGUSR1")

    s.msg("focus", "output", third)
    s.msg("exec", "foot --app-id velmora-full sleep 60")
    wait_until("the window to go full-screen", 10, lambda: "velmora-full" in s.clients())
    s.msg("[app_id=velmora-full]", "fullscreen", "enable")
    s.said(drift, f"{third} paused: a full-screen window covers it")
    check("X11-1 paused" not in s.errors(drift), "the uncovered output paused too")
    check(s.moving("X11-1"), "the uncovered output stopped")
    s.msg("[app_id=velmora-full]", "kill")
    s.said(drift, f"{third} plays again")
    check(s.moving(third), "the uncovered output does not play again")
    os.kill(drift.pid, signal.SIGTERM)
    check(ended(drift) == 0, f"SIGTERM ended the player with {drift.returncode}: {s.errors(drift)}")

    # span_monitors:1: one scene over both outputs, each showing its part of render's frame.
    (s.root / "config.txt").write_text("config fps:30 span_monitors:1\nglobal scale:2\n")
    spanning = s.reference("Dusk", "640x480+0+0,320x240+640+0", "spanning")
    span = s.play("--theme", "Dusk", name="span")
    for output, area in (("X11-1", (0, 0, 640, 480)), (third, (640, 0, 960, 240))):
        wait_until(f"{output}'s part of the spanning scene", 8, lambda: s.shot(output).rgb == spanning.region(*area))
    os.kill(span.pid, signal.SIGTERM)
    check(ended(span) == 0, f"SIGTERM ended the spanning player with {span.returncode}: {s.errors(span)}")

    # Frames follow the compositor's frame callbacks: with its only output covered by a full-screen
    # window (and no automatic pause) the player draws nothing, so it spends next to no time.
    s.remove_output(third, "320x240")
    (s.root / "config.txt").write_text("config fps:60\nglobal scale:4\n")
    hidden = s.play("--theme", "Drift", name="hidden")
    check(s.moving("X11-1"), "the drifting box does not move")
    s.msg("exec", "foot --app-id velmora-full sleep 60")
    wait_until("the window to go full-screen", 10, lambda: "velmora-full" in s.clients())
    s.msg("[app_id=velmora-full]", "fullscreen", "enable")
    time.sleep(1)
    spent = cpu_ticks(hidden.pid)
    time.sleep(3)
    spent = cpu_ticks(hidden.pid) - spent
    check(spent <= 3, f"the player spent {spent} clock ticks in 3 s behind a full-screen window")
    s.msg("[app_id=velmora-full]", "kill")
    check(s.moving("X11-1"), "frames do not come again once the window is gone")
    os.kill(hidden.pid, signal.SIGTERM)
    check(ended(hidden) == 0, f"SIGTERM ended the player with {hidden.returncode}: {s.errors(hidden)}")

    # No compositor behind WAYLAND_DISPLAY: one line and exit code 1.
    done = subprocess.run([str(s.tool), "play", "--root", str(s.root), "--theme", "Dusk", "--desktop"],
                          env=dict(s.env, WAYLAND_DISPLAY="velmora-nowhere"), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=20)
    lines = done.stderr.decode().splitlines()
    check(done.returncode == 1 and len(lines) == 1 and "cannot connect to the Wayland display" in lines[0],
          f"play without a compositor gave {done.returncode}: {lines}")


def ensure_test_user():
    if os.geteuid() != 0:
        return True
    try:
        pwd.getpwnam(TEST_USER)
        return True
    except KeyError:
        pass
    return subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", TEST_USER],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30).returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True, type=Path)
    args = parser.parse_args()
    missing = [p for p in ("sway", "swaymsg", "grim", "foot", "Xvfb", "xwininfo") if shutil.which(p) is None]
    if os.geteuid() == 0 and shutil.which("runuser") is None:
        missing.append("runuser")
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        return 77
    if not ensure_test_user():
        print(f"skipped: cannot make the user {TEST_USER} that sway runs as")
        return 77

    def out_of_time(*_):
        raise Failure(f"the scenario took more than {TIME_LIMIT} s")
    signal.signal(signal.SIGALRM, out_of_time)
    with tempfile.TemporaryDirectory(prefix="velmora_wayland_") as scratch:
        work = Path(scratch)
        make_program_folder(work / "program")
        session = None
        signal.alarm(TIME_LIMIT)
        try:
            session = Sway(args.tool.resolve(), work)
            session.start()
            test_desktop(session)
        except Failure as failure:
            print(f"FAIL wayland: {failure}", file=sys.stderr)
            if session is not None and session.env is not None:
                for player in session.players:
                    print(f"--- {player.name} stderr:\n{session.errors(player)}", file=sys.stderr)
                print(f"--- sway (end):\n{session.log()[-3000:]}", file=sys.stderr)
            return 1
        finally:
            signal.alarm(0)
            if session is not None:
                session.close()
    print("ok wayland")
    return 0


if __name__ == "__main__":
    sys.exit(main())
