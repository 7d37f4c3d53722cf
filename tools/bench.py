#!/usr/bin/env python3
"""Benchmark of the installed logship in an X server (DISPLAY set):

  (a) process start to the drive menu, all 25 probes included;
  (b) CPU use of an idle drive menu and of an idle name field;
  (c) the copy of a 64 KiB and a 1 MiB log: CopyFile alone (bench_copy, with
      the real file services), and end to end from outside, Enter in the name
      field to the next program's start;
  (d) peak resident memory (VmHWM).

    bench.py INSTALL_DIR [--copy-tool BENCH_COPY] [--idle SECONDS] [--runs N]

The start is timed from outside: a 1x1 XGetImage of the root window, polled
about every millisecond from the moment the process is spawned, sees the
frame on the screen. What it measures is what a person sees: the time until
the window server shows the highlighted entry, the window thread's redraw
period (about 32 ms) included."""

import argparse
import ctypes
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "acceptance"))
from acceptance import NAME_FIELD, World, expect_screen, highlighted, make_data  # noqa: E402
from xscreen import DARK_BLUE, GREY, find_window, near  # noqa: E402


class XServer:
    """Single pixels of the root window and XTEST keys, straight from the X
    server, without the start of a helper process in the measurement."""

    def __init__(self):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetPixel.restype = ctypes.c_ulong
        x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.x = x
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("cannot open the display %s" % os.environ.get("DISPLAY"))
        self.root = x.XDefaultRootWindow(self.display)
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]

    def rgb(self, px, py):
        image = self.x.XGetImage(self.display, self.root, px, py, 1, 1, 0xFFFFFFFF, 2)
        v = self.x.XGetPixel(image, 0, 0)
        self.x.XDestroyImage(image)
        return ((v >> 16) & 255, (v >> 8) & 255, v & 255)

    def press(self, keysym):
        """A key press and release to the focused window; returns the
        moment the press went out."""
        code = self.x.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.x.XFlush(self.display)
        sent = time.monotonic()
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XFlush(self.display)
        return sent


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime, fields 14 and 15 of the line (all threads).
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def thread_cpu(pid):
    """CPU seconds of each thread, by thread id (the process's own id is
    its first thread, the window thread)."""
    threads = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/comm" % (pid, tid)) as f:
                name = f.read().strip()
            with open("/proc/%d/task/%s/stat" % (pid, tid)) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        threads[tid] = (name, (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"))
    return threads


def idle_cpu_percent(pid, seconds):
    """The process's CPU use in % of one core, and each thread's share."""
    c0, t0, threads0 = cpu_seconds(pid), time.monotonic(), thread_cpu(pid)
    time.sleep(seconds)
    elapsed = time.monotonic() - t0
    shares = ["%s %.2f %%" % ("window thread" if int(tid) == pid else "thread " + tid,
                              100 * (used - threads0.get(tid, ("", 0))[1]) / elapsed)
              for tid, (_name, used) in sorted(thread_cpu(pid).items(), key=lambda t: int(t[0]))]
    return 100 * (cpu_seconds(pid) - c0) / elapsed, ", ".join(shares)


def cell_pixel(window, row, col):
    return (window.x + int((col - 1) * window.cw) + 1, window.y + int((row - 1) * window.ch) + 1)


def time_start(install, pixels, geometry, runs):
    """Milliseconds from the spawn to the banner (before the scan) and to
    the highlighted first entry (after it), one pair per run."""
    banner_at, menu_at = cell_pixel(geometry, 2, 1), cell_pixel(geometry, 8, 38)
    results = []
    for _ in range(runs):
        world = World(install, "bench-start", None)
        world.hand_over("contest.CBR", make_data(100, 1))
        try:
            t0 = time.monotonic()
            world.start()
            banner = menu = None
            while menu is None and time.monotonic() - t0 < 30:
                now = time.monotonic()
                if banner is None and near(pixels.rgb(*banner_at), DARK_BLUE, 0):
                    banner = now
                if near(pixels.rgb(*menu_at), GREY, 0):
                    menu = now
                time.sleep(0.0005)
            if menu is None:
                raise SystemExit("the drive menu did not come within 30 s")
            results.append(((banner - t0) * 1000, (menu - t0) * 1000))
            world.window = find_window()
            world.window.key("Escape")
            world.expect_end()
        finally:
            world.close(False)
    return results


def time_export(install, pixels, length):
    """Enter in the name field to the next program's start, in ms."""
    world = World(install, "bench-copy", None)
    world.hand_over("groot.csv", make_data(length, 7))
    try:
        world.start_to_menu()
        world.choose(2)
        world.window.type_text("bench")
        expect_screen(world.window, NAME_FIELD, "the name field")
        t0 = pixels.press(0xFF0D)  # Return
        while not os.path.exists(world.marker):
            if time.monotonic() - t0 > 30:
                raise SystemExit("the next program did not start within 30 s")
            time.sleep(0.0005)
        ms = (time.monotonic() - t0) * 1000
        world.expect_end()
        world.expect_copy("E", "BENCH.csv")
        return ms
    finally:
        world.close(False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("install")
    parser.add_argument("--idle", type=float, default=10.0)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--copy-tool", help="bench_copy, for the copy alone")
    args = parser.parse_args()
    install = os.path.abspath(args.install)
    pixels = XServer()

    # A first run learns where the window and its cells are; (b) and (d)
    # come from it.
    world = World(install, "bench-idle", None)
    world.hand_over("contest.CBR", make_data(100, 1))
    try:
        geometry = world.start_to_menu()
        pid = world.proc.pid
        menu_cpu, menu_threads = idle_cpu_percent(pid, args.idle)
        world.choose(2)
        field_cpu, field_threads = idle_cpu_percent(pid, args.idle)
        peak_mb = status_kb(pid, "VmHWM") / 1024
        world.window.key("Escape")
        expect_screen(world.window, highlighted(1, 3), "the drive menu")
        world.window.key("Escape")
        world.expect_end()
    finally:
        world.close(False)

    starts = time_start(install, pixels, geometry, args.runs)
    banner_ms = statistics.median(s[0] for s in starts)
    menu_ms = statistics.median(s[1] for s in starts)
    export_64k = time_export(install, pixels, 64 * 1024)
    export_1m = time_export(install, pixels, 1024 * 1024)
    copies = {}
    if args.copy_tool:
        out = subprocess.run([args.copy_tool, str(64 * 1024), str(1024 * 1024)], check=True,
                             capture_output=True, text=True).stdout
        for text in out.splitlines():   # "copy <bytes> bytes: median <ms> ms, best <ms> ms"
            words = text.replace(",", "").split()
            copies[int(words[1])] = float(words[4])

    def line(label, value, unit, target, note=""):
        verdict = "" if target is None else ("  (target < %g %s: %s)" % (
            target, unit, "met" if value < target else "MISSED"))
        print("%-52s %8.1f %-3s%s%s" % (label, value, unit, verdict, note))

    print("window of %dx%d pixels, cells of %gx%g" % (geometry.width, geometry.height,
                                                      geometry.cw, geometry.ch))
    line("(a) start to the drive menu, 25 probes (median)", menu_ms, "ms", 150,
         "  runs: %s" % ", ".join("%.0f" % s[1] for s in starts))
    line("    start to the banner (drawn before the probes)", banner_ms, "ms", None)
    line("(b) CPU of an idle drive menu over %g s" % args.idle, menu_cpu, "%", 1,
         "  threads: " + menu_threads)
    line("    CPU of an idle name field over %g s" % args.idle, field_cpu, "%", 1,
         "  threads: " + field_threads)
    if copies:
        line("(c) CopyFile of a 64 KiB log (median)", copies[64 * 1024], "ms", 20)
        line("    CopyFile of a 1 MiB log (median)", copies[1024 * 1024], "ms", None)
    line("    end to end, Enter to the next program, 64 KiB", export_64k, "ms", None)
    line("    end to end, Enter to the next program, 1 MiB", export_1m, "ms", None)
    line("(d) peak resident memory (VmHWM)", peak_mb, "MB", 30)


if __name__ == "__main__":
    main()
