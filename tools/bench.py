#!/usr/bin/env python3
"""Benchmark of the installed logship in an X server (DISPLAY set). Every
figure is the median and the minimum over --runs runs (at least 5):

  (a) spawn to the drive menu with all 25 letters A, C to Z mapped to
      folders, and with three (C, E, F), against the floor of 25 starts of
      the command interpreter with the probe command; and with three while
      another process holds the lock on the tool's folder;
  (b) CPU use of the idle waits: the drive menu, the name field, WaitKey
      after " Verkeerde ingave. Elke toets " (a copy to a stick that was
      pulled out) and the end prompt "Press any key to continue";
  (c) the copy of a 64 KiB and a 1 MiB log: CopyFile alone (bench_copy,
      with the real file services) against dd bs=100 and cp of the same
      file, and end to end from outside, Enter in the name field to the
      next program's start; beside it the flush alone, the file and its
      folder put onto the medium, which both of those include;
  (d) peak resident memory (VmHWM);
  (e) key repeat: a key held with xdotool keydown and keyup in bench_repeat's
      window, the first repeat after the press and the time between
      repeats as they reach the key buffer (median, min and max);
  (f) the end: from a key at the end prompt "Press any key to continue",
      and from the window's close control there, to the end of the
      process, the window idle for a second before.

    bench.py INSTALL_DIR [--copy-tool BENCH_COPY] [--repeat-tool BENCH_REPEAT]
             [--idle SECONDS] [--runs N]

The start is timed from the spawn of the process: a 1x1 XGetImage of the
root window, polled about every half millisecond, sees the frame on the
screen. What it measures is what a person sees: the time until the window
server shows the highlighted entry, the window thread's redraw period
(about 32 ms) included."""

import argparse
import ctypes
import fcntl
import os
import re
import select
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "acceptance"))
import acceptance  # noqa: E402
from acceptance import (NAME_FIELD, Bg, Ink, World, expect_screen, highlighted,  # noqa: E402
                        make_data)
from acceptance import START_TIMEOUT  # noqa: E402
from xscreen import (BLACK, DARK_BLUE, GREY, RootPixels, find_window, near, run,  # noqa: E402
                     wait_until)

# World.start parks the pointer with an xdotool run; the bench does that
# itself before its clock starts, so that the start figure holds the spawn
# and nothing before it.
park_pointer = acceptance.park_pointer
acceptance.park_pointer = lambda: None

LETTERS = "A" + "".join(chr(c) for c in range(ord("C"), ord("Z") + 1))   # B is never probed
ALL_BUT_C = tuple(letter for letter in LETTERS if letter != "C")

VERKEERDE_INGAVE = [Ink(25, 27, GREY), Ink(25, 54, GREY), Ink(25, 26, None), Ink(25, 56, None),
                    Bg(25, 40, BLACK)] + NAME_FIELD
PRESS_ANY_KEY = [Ink(25, c, GREY) for c in (1, 2, 5, 7, 25)] + [Ink(25, 6, None),
                                                               Ink(25, 26, None)]


class XServer(RootPixels):
    """Single pixels of the root window and XTEST keys, straight from the X
    server, without the start of a helper process in the measurement."""

    def __init__(self):
        super().__init__()
        x = self.x
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.c_void_p]
        self.xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]

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


    def close(self, window):
        """The window manager's close request (WM_DELETE_WINDOW) to the
        window; returns the moment it went out."""
        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 12)]    # an XEvent is 24 longs
        message = ClientMessage(type=33, window=window, format=32,  # ClientMessage
                                message_type=self.x.XInternAtom(self.display, b"WM_PROTOCOLS",
                                                                0))
        message.data[0] = self.x.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(self.display, window, 0, 0, ctypes.byref(message))
        self.x.XFlush(self.display)
        return time.monotonic()


def cpu_seconds(pid):
    """CPU time of all the process's threads, to the nanosecond: the tick
    count of /proc/PID/stat comes in steps of 10 ms, 0.2 % of a 5 s wait."""
    try:
        return time.clock_gettime(((~pid) << 3) | 2)   # the process's CPU clock
    except OSError:
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
    its first thread, the window thread), in ticks of the clock: another
    process's threads have no CPU clock of their own to read."""
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


def start_to_menu(world, entries=3):
    park_pointer()
    return world.start_to_menu(entries)


def idle_run(install, seconds):
    """One run through the four waits, the tool's CPU use in each; and the
    peak memory of the whole run in MB. Intern.int names only the data file,
    so that the end asks for a key instead of starting a next program."""
    world = World(install, "bench-idle", None)
    world.write("contest.CBR", make_data(100, 1))
    world.write("Intern.int", "contest.CBR\r\n")
    try:
        geometry = start_to_menu(world)
        pid = world.proc.pid
        cpu = {"menu": idle_cpu_percent(pid, seconds)}
        world.choose(2)
        cpu["field"] = idle_cpu_percent(pid, seconds)
        os.rmdir(world.sticks["E"])     # the stick is pulled out: the copy fails
        world.window.type_text("bench")
        world.window.key("Return")
        expect_screen(world.window, VERKEERDE_INGAVE, "\" Verkeerde ingave. Elke toets \"")
        cpu["waitkey"] = idle_cpu_percent(pid, seconds)
        world.window.key("space")
        expect_screen(world.window, highlighted(1, 2), "the drive menu after the restart")
        world.window.key("Escape")
        expect_screen(world.window, PRESS_ANY_KEY, "\"Press any key to continue\"")
        cpu["end"] = idle_cpu_percent(pid, seconds)
        peak_mb = status_kb(pid, "VmHWM") / 1024
        world.window.key("space")
        world.expect_end()
        return geometry, cpu, peak_mb
    finally:
        world.close(False)


def startup_box_run(install, seconds):
    """The tool's CPU use while the box of the font set-up (error 258 at
    step 694) waits for its answer, the window not yet shown."""
    world = World(install, "bench-box", None)
    world.write("inifiles/fontkeus.ini", "Missing.ttf\r\n")
    try:
        world.start(LOGSHIP_BOX_ANSWER="")     # neither yes nor no: the desktop dialog asks
        wait_until(lambda: os.path.exists(world.box_log), START_TIMEOUT, "the box of step 694")
        time.sleep(0.5)                         # the helper's start is not the tool's wait
        return idle_cpu_percent(world.proc.pid, seconds)
    finally:
        world.close(False)


def time_end(install, pixels, close):
    """Milliseconds from a key at the end prompt (or, with `close`, from
    the window's close control there) to the end of the process."""
    world = World(install, "bench-end", None)
    world.write("contest.CBR", make_data(100, 1))
    world.write("Intern.int", "contest.CBR\r\n")
    try:
        start_to_menu(world)
        world.window.key("Escape")
        expect_screen(world.window, PRESS_ANY_KEY, "\"Press any key to continue\"")
        time.sleep(1.0)     # the window idles through its redraws by then
        pidfd = os.pidfd_open(world.proc.pid)
        try:
            gone = select.poll()
            gone.register(pidfd, select.POLLIN)
            t0 = pixels.close(int(world.window.id)) if close else pixels.press(0x20)  # space
            if not gone.poll(30000):
                raise SystemExit("the tool still runs 30 s after the %s"
                                 % ("close control" if close else "key"))
            ms = (time.monotonic() - t0) * 1000
        finally:
            os.close(pidfd)
        world.expect_end()
        return ms
    finally:
        world.close(False)


def time_start(install, pixels, geometry, sticks, folder_held=False):
    """Milliseconds from the spawn to the window's first picture (the
    banner) and to the highlighted first entry; C and the `sticks` letters
    are mapped to folders. With `folder_held` the bench holds the lock on
    the tool's folder meanwhile, as a stopped tool would."""
    banner_at, menu_at = cell_pixel(geometry, 2, 1), cell_pixel(geometry, 8, 38)
    world = World(install, "bench-start", None, sticks)
    world.hand_over("contest.CBR", make_data(100, 1))
    held = os.open(world.app, os.O_RDONLY | os.O_DIRECTORY)
    try:
        if folder_held:
            fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
        park_pointer()
        t0 = time.monotonic()
        world.start()
        banner = menu = None
        while menu is None and time.monotonic() - t0 < 30:
            now = time.monotonic()
            if banner is None and near(pixels.rgb(*banner_at), DARK_BLUE, 0):
                banner = now
            if near(pixels.rgb(*menu_at), GREY, 0):
                menu = now
                # The first picture may show the banner and the menu at once.
                banner = banner or now
            time.sleep(0.0005)
        if menu is None:
            raise SystemExit("the drive menu did not come within 30 s")
        world.window = find_window()
        world.window.key("Escape")
        world.expect_end()
        return (banner - t0) * 1000, (menu - t0) * 1000
    finally:
        os.close(held)
        world.close(False)


def time_interpreter(install):
    """The floor of the scan: the command interpreter started with the probe
    command of each of the 25 letters, one after the other, each waited for,
    in the tool's folder with every letter mapped; in ms."""
    world = World(install, "bench-floor", None, ALL_BUT_C)
    interpreter = os.path.join(world.app, "logship-cmd")
    env = world.env()
    quiet = [(os.POSIX_SPAWN_OPEN, fd, "/dev/null", os.O_RDWR, 0) for fd in (0, 1, 2)]
    here = os.getcwd()
    os.chdir(world.app)
    try:
        t0 = time.monotonic()
        for letter in LETTERS:
            pid = os.posix_spawn(interpreter, [interpreter, "/c", "dir %s: > direct.tmp" % letter],
                                 env, file_actions=quiet)
            os.waitpid(pid, 0)
        return (time.monotonic() - t0) * 1000
    finally:
        os.chdir(here)
        world.close(False)


def time_export(install, pixels, length):
    """Enter in the name field to the next program's start, in ms."""
    world = World(install, "bench-copy", None)
    world.hand_over("groot.csv", make_data(length, 7))
    try:
        start_to_menu(world)
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


def time_copies(copy_tool, sizes):
    """bench_copy's figures: {(what, bytes): (median ms, min ms)}."""
    out = subprocess.run([copy_tool] + [str(s) for s in sizes], check=True,
                         capture_output=True, text=True).stdout
    figures = {}
    for text in out.splitlines():   # "<what>: <bytes> bytes, median <ms> ms, min <ms> ms"
        m = re.match(r"(.+): (\d+) bytes, median ([\d.]+) ms, min ([\d.]+) ms", text)
        if m:
            figures[(m.group(1), int(m.group(2)))] = (float(m.group(3)), float(m.group(4)))
    return figures


def time_repeats(repeat_tool, rounds, hold=1.5):
    """Holds q down for `hold` seconds, `rounds` times; returns the first
    repeat's delays and all the intervals between repeats in ms, and how
    many keys came after a release."""
    proc = subprocess.Popen([repeat_tool], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    try:
        done = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                               "^logship key repeat bench$"], capture_output=True, text=True,
                              timeout=20)
        run(["xdotool", "windowfocus", "--sync", done.stdout.split()[0]])
        time.sleep(0.3)
        held = []
        for _ in range(rounds):
            down = time.monotonic()
            run(["xdotool", "keydown", "q"])
            time.sleep(hold)
            up = time.monotonic()
            run(["xdotool", "keyup", "q"])
            held.append((down * 1000, up * 1000))
            time.sleep(0.4)
        run(["xdotool", "key", "Escape"])
        out, _ = proc.communicate(timeout=10)
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, 9)
            proc.wait()
    # Each key on bench_repeat's clock, the monotonic clock in ms.
    times = [float(line.split()[0]) for line in out.splitlines() if line.split()[1] == "113"]
    first, intervals, late = [], [], 0
    for down, up in held:
        # The release goes out within the xdotool start after `up`.
        keys = [t for t in times if down <= t < up + 300]
        late += sum(1 for t in keys if t > up + 100)
        if len(keys) > 1:
            first.append(keys[1] - keys[0])
            intervals += [b - a for a, b in zip(keys[1:], keys[2:])]
    return first, intervals, late


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("install")
    parser.add_argument("--idle", type=float, default=5.0,
                        help="seconds of each idle measurement (default 5)")
    parser.add_argument("--runs", type=int, default=5, help="runs per figure, 5 or more")
    parser.add_argument("--copy-tool", help="bench_copy, for the copy alone")
    parser.add_argument("--repeat-tool", help="bench_repeat, for the key repeat")
    args = parser.parse_args()
    if args.runs < 5:
        parser.error("--runs must be 5 or more")
    install = os.path.abspath(args.install)
    pixels = XServer()

    idle = [idle_run(install, args.idle) for _ in range(args.runs)]
    box = [startup_box_run(install, args.idle) for _ in range(args.runs)]
    geometry = idle[0][0]
    # Each start and its floor side by side, so that a change in the load of
    # the machine meets both.
    starts_25, starts_3, floor_scan = [], [], []
    for _ in range(args.runs):
        starts_25.append(time_start(install, pixels, geometry, ALL_BUT_C))
        starts_3.append(time_start(install, pixels, geometry, ("E", "F")))
        floor_scan.append(time_interpreter(install))
    starts_held = [time_start(install, pixels, geometry, ("E", "F"), folder_held=True)
                   for _ in range(args.runs)]
    sizes = (64 * 1024, 1024 * 1024)
    exports = {n: [time_export(install, pixels, n) for _ in range(args.runs)] for n in sizes}
    copies = time_copies(args.copy_tool, sizes) if args.copy_tool else {}
    repeats = time_repeats(args.repeat_tool, args.runs) if args.repeat_tool else None
    ends = {close: [time_end(install, pixels, close) for _ in range(args.runs)]
            for close in (False, True)}

    def figure(values):
        """(median, min) of the runs; a pair that comes ready stays as it is."""
        return values if isinstance(values, tuple) else (statistics.median(values), min(values))

    def line(label, values, unit, target=None, floors=(), note=""):
        med, low = figure(values)
        digits = 2 if unit == "%" else 1
        text = "%-56s %8.*f %8.*f %-2s" % (label, digits, med, digits, low, unit)
        if target is not None:
            text += "  (target < %g %s: %s)" % (target, unit, "met" if med < target else "MISSED")
        if floors:
            text += "  ratio to " + ", to ".join("%s %.1f" % (name, med / figure(f)[0])
                                                 for name, f in floors)
        print(text + note)

    print("window of %dx%d pixels, cells of %gx%g; %d runs a figure"
          % (geometry.width, geometry.height, geometry.cw, geometry.ch, args.runs))
    print("%-56s %8s %8s" % ("", "median", "min"))
    scan_floor = [("25 interpreter starts", floor_scan)]
    line("(a) spawn to the drive menu, 25 letters mapped", [s[1] for s in starts_25], "ms",
         target=150, floors=scan_floor,
         note="  runs: %s" % ", ".join("%.0f" % s[1] for s in starts_25))
    line("    spawn to the drive menu, 3 letters mapped (C, E, F)", [s[1] for s in starts_3],
         "ms", floors=scan_floor)
    line("    floor: 25 starts of the command interpreter", floor_scan, "ms")
    line("    spawn to the menu, 3 letters, folder held elsewhere",
         [s[1] for s in starts_held], "ms", target=15000)
    line("    spawn to the first picture (the banner)", [s[0] for s in starts_25], "ms")
    for key, label in (("menu", "an idle drive menu"), ("field", "an idle name field"),
                       ("waitkey", "WaitKey after \" Verkeerde ingave. Elke toets \""),
                       ("end", "the end prompt \"Press any key to continue\"")):
        line("%s CPU of %s" % ("(b)" if key == "menu" else "   ", label),
             [run[1][key][0] for run in idle], "%", target=1,
             note="  threads (last run): " + idle[-1][1][key][1])
    line("    CPU of the start-up box (step 694), window not yet shown", [b[0] for b in box], "%",
         target=1, note="  threads (last run): " + box[-1][1])
    print("    (each wait measured over %g s)" % args.idle)
    for n in sizes:
        size = "64 KiB" if n == 64 * 1024 else "1 MiB"
        floors = [(what, copies[(what, n)]) for what in ("dd bs=100", "cp") if (what, n) in copies]
        if ("CopyFile", n) in copies:
            line("%s CopyFile of a %s log" % ("(c)" if n == sizes[0] else "   ", size),
                 copies[("CopyFile", n)], "ms", target=20 if n == 64 * 1024 else None,
                 floors=floors)
        line("    end to end, Enter to the next program, %s" % size, exports[n], "ms",
             floors=floors)
        if ("flush", n) in copies:
            line("    of it the flush (file and folder onto the medium)", copies[("flush", n)], "ms")
        for what, f in floors:
            line("    floor: %s of the same file, the whole command" % what, f, "ms")
    line("(d) peak resident memory (VmHWM)", [run[2] for run in idle], "MB", target=30)
    if repeats:
        first, intervals, strays = repeats
        for label, values, due in (("(e) first key repeat after the press", first, 500),
                                   ("    between two key repeats", intervals, 30)):
            if values:
                on_time = sum(1 for v in values if abs(v - due) <= 5)
                line(label, values, "ms", note="  max %.1f ms, due %d ms; %d of %d within 5 ms"
                     % (max(values), due, on_time, len(values)))
        if strays:
            print("    %d keys came more than 100 ms after a release" % strays)
    line("(f) a key at the end prompt to the end of the process", ends[False], "ms",
         note="  max %.1f ms" % max(ends[False]))
    line("    the close control at the end prompt to the end of the process", ends[True], "ms",
         note="  max %.1f ms" % max(ends[True]))


if __name__ == "__main__":
    main()
