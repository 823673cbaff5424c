#!/usr/bin/env python3
"""The Debian package as a user gets it: CPack makes velmora_VERSION_ARCH.deb from the build, its
contents and Depends are what a desktop program needs, the manual page names every command and
option of --help, and the program unpacked from it plays the installed sample theme on an X
desktop without --root (the XDG folders pointed at empty scratch folders, which it never writes
into), and autostart on|off writes and removes its entry.

  package_test.py --build DIR [--system]
      DIR: the build folder (CPackConfig.cmake, tools/velmora-tool); --system installs the package
      with apt-get (as root, as on a clean machine) instead of unpacking it, and purges it after.
"""

import argparse
import gzip
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from play_test import ended, start_xvfb, stop, wait_until  # noqa: E402
from screen_pictures import Failure, check  # noqa: E402


def run(*argv, env=None, timeout=120):
    done = subprocess.run([str(a) for a in argv], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")


def make_package(build, work):
    code, out, err = run("cpack", "--config", build / "CPackConfig.cmake", "-B", work / "package", timeout=300)
    check(code == 0, f"cpack failed: {out}{err}")
    version = re.search(r'CPACK_PACKAGE_VERSION "([^"]+)"', (build / "CPackConfig.cmake").read_text()).group(1)
    arch = run("dpkg", "--print-architecture")[1].strip()
    deb = work / "package" / f"velmora_{version}_{arch}.deb"
    check(deb.is_file(), f"no {deb.name} in {sorted(p.name for p in (work / 'package').iterdir())}")
    return deb


def check_contents(deb):
    code, listing, err = run("dpkg-deb", "-c", deb)
    check(code == 0, f"dpkg-deb -c failed: {err}")
    files = {line.split()[-1] for line in listing.splitlines()}
    for needed in ("./usr/bin/velmora-tool", "./usr/share/velmora/config.txt",
                   "./usr/share/velmora/themes/VMA_Lantern_Valley/theme.txt",
                   "./usr/share/velmora/themes/VMA_Snowy_Meadow/theme.txt",
                   "./usr/share/velmora/themes/VMA_Snowy_Meadow/floor.png",
                   "./usr/share/man/man1/velmora-tool.1.gz", "./usr/share/applications/velmora.desktop"):
        check(needed in files, f"{needed} is not in the package:\n{listing}")
    # The themes come once each, as folders.
    check(not any(f.endswith(".zip") for f in files), f"archives in the package:\n{listing}")
    code, depends, err = run("dpkg-deb", "-f", deb, "Depends")
    for library in ("libc6", "libcairo2", "libx11-6", "libxrandr2", "libxext6", "libpng16-16", "libminizip1"):
        check(re.search(rf"\b{library}\b", depends), f"Depends lacks {library}: {depends}")


def check_manual(tool, manual):
    """Every command of --help, and every option in each command's usage lines, is in the manual."""
    text = gzip.decompress(manual.read_bytes()).decode().replace("\\-", "-").replace("\\fB", "").replace("\\fP", "").replace("\\fI", "")
    code, help_text, _ = run(tool, "--help")
    check(code == 0, "--help failed")
    commands = re.findall(r"^  ([a-z]+) ", help_text, re.M)
    check(len(commands) >= 6, f"commands in --help: {commands}")
    for command in commands:
        check(re.search(rf"^\.TP\n\.B[RI]? \"?{command}\b", text, re.M), f"the manual has no entry for {command}")
        usage = run(tool, command, "--help")[1]
        head = usage.split("\n      ")[0]
        for option in sorted(set(re.findall(r"--[a-z]+", head))):
            check(option in text, f"the manual does not name {command}'s {option}")


def check_installed(root, work):
    tool = root / "usr" / "bin" / "velmora-tool"
    check_manual(tool, root / "usr" / "share" / "man" / "man1" / "velmora-tool.1.gz")
    entry = (root / "usr" / "share" / "applications" / "velmora.desktop").read_text()
    check("\nExec=velmora-tool play --desktop\n" in entry, entry)

    home, config, data, runtime = (work / n for n in ("home", "config", "data", "runtime"))
    for folder in (home, config, data, runtime):
        folder.mkdir()
    runtime.chmod(0o700)
    xvfb, display = start_xvfb("480x360")
    env = dict(os.environ, DISPLAY=display, HOME=str(home), XDG_CONFIG_HOME=str(config), XDG_DATA_HOME=str(data),
               XDG_RUNTIME_DIR=str(runtime))
    env.pop("VELMORA_SYSFS_ROOT", None)
    procs = []

    def play(name):
        err = open(work / f"{name}.err", "wb")
        proc = subprocess.Popen([str(tool), "play", "--desktop"], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
        err.close()
        procs.append(proc)
        return proc

    def title_of(proc):
        def found():
            check(proc.poll() is None, f"play ended with {proc.returncode}: {(work / 'play.err').read_text()}")
            code, out, _ = run("xdotool", "search", "--pid", proc.pid, env=env)
            window = out.split()[0] if code == 0 and out.split() else None
            return window and run("xdotool", "getwindowname", window, env=env)[1].strip()
        return wait_until("the installed player's window", 15, found)

    try:
        # The installed default config.txt's theme, from the installed themes.
        player = play("play")
        wait_until("Lantern Valley playing", 10, lambda: "Lantern Valley" in title_of(player))
        os.kill(player.pid, signal.SIGTERM)
        check(ended(player) == 0, f"SIGTERM ended the installed player with {player.returncode}")
        said = (work / "play.err").read_text()
        check(f"config.txt from {root / 'usr/share/velmora/config.txt'}" in said, said)
        for folder in (home, config, data, runtime):
            check(not any(folder.iterdir()), f"play wrote into {folder}: {list(folder.rglob('*'))}")

        # The user's own theme and config.txt win.
        shutil.copytree(root / "usr/share/velmora/themes/VMA_Snowy_Meadow", data / "velmora/themes/My_Meadow")
        (config / "velmora").mkdir()
        (config / "velmora/config.txt").write_text("config default_theme:My_Meadow fps:20\n")
        player = play("mine")
        wait_until("the user's theme playing", 10, lambda: "My Meadow" in title_of(player))
        os.kill(player.pid, signal.SIGTERM)
        check(ended(player) == 0, f"SIGTERM ended the player with {player.returncode}")
    finally:
        for proc in procs:
            stop(proc)
        stop(xvfb)

    autostart = config / "autostart" / "velmora.desktop"
    code, out, err = run(tool, "autostart", "on", env=env)
    check(code == 0 and autostart.is_file(), f"autostart on gave {code}: {out}{err}")
    check(f'\nExec="{tool}" play --desktop\n' in autostart.read_text(), autostart.read_text())
    code, out, err = run(tool, "autostart", "off", env=env)
    check(code == 0 and not autostart.exists(), f"autostart off gave {code}: {out}{err}")
    code, out, err = run(tool, "autostart", "off", env=env)
    check(code == 0 and "already off" in out, f"autostart off again gave {code}: {out}{err}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--system", action="store_true",
                        help="install the package with apt-get as on a clean machine (root), check it, and purge it")
    args = parser.parse_args()
    missing = [p for p in ("cpack", "dpkg-deb", "dpkg-shlibdeps", "Xvfb", "xdotool") if shutil.which(p) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        return 77
    with tempfile.TemporaryDirectory(prefix="velmora_package_") as scratch:
        work = Path(scratch)
        try:
            deb = make_package(args.build.resolve(), work)
            check_contents(deb)
            if args.system:
                code, out, err = run("apt-get", "install", "-y", "-q", "--no-install-recommends", deb, timeout=600)
                check(code == 0, f"apt-get install {deb.name} failed: {out}{err}")
                try:
                    check_installed(Path("/"), work)
                finally:
                    run("apt-get", "purge", "-y", "-q", "velmora", timeout=600)
            else:
                check(run("dpkg-deb", "-x", deb, work / "root")[0] == 0, "dpkg-deb -x failed")
                check_installed(work / "root", work)
        except Failure as failure:
            print(f"FAIL package: {failure}", file=sys.stderr)
            return 1
    print("ok package")
    return 0


if __name__ == "__main__":
    sys.exit(main())
