#!/usr/bin/env python3
"""The running meter maps only what it needs: no Qt Network, Charts or OpenGL,
no image plugin (its icons are ready pixels), and, while no pppd runs, not
pppd's database library (loaded when a pppd is first looked up).

The program runs on the offscreen platform in a data, config and runtime
folder of its own; once it answers on its socket (its window is up and its
event loop runs), its mapped files are read from /proc.

    mapped_libraries_test.py <path to velmora>
"""
import glob
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

UNWANTED = re.compile(r"libQt6(Network|Charts|OpenGL)|/imageformats/")
WITHOUT_PPPD = re.compile(r"/libtdb\.so")


def pppd_runs():
    return subprocess.run(["pgrep", "-x", "pppd"], stdout=subprocess.DEVNULL).returncode == 0


def answered(runtime):
    for path in glob.glob(os.path.join(runtime, "velmora-*.socket")):
        try:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                s.settimeout(1)
                s.connect(path)
                s.sendall(b"forward\n")
                return s.recv(16) == b"ok\n"
        except OSError:
            pass
    return False


def main(program):
    with tempfile.TemporaryDirectory() as home:
        runtime = os.path.join(home, "run")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=runtime)
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        meter = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not answered(runtime):
                if meter.poll() is not None or time.monotonic() > deadline:
                    print("the meter did not come up (status %s)" % meter.poll())
                    return 1
                time.sleep(0.1)
            unwanted_here = UNWANTED if pppd_runs() else re.compile(UNWANTED.pattern + "|" + WITHOUT_PPPD.pattern)
            with open("/proc/%d/maps" % meter.pid) as maps:
                unwanted = sorted({line.split()[-1] for line in maps if unwanted_here.search(line)})
        finally:
            meter.terminate()
            meter.wait(10)
    if unwanted:
        print("mapped though not needed:", *unwanted, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
