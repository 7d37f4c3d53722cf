#!/usr/bin/env python3
"""Acceptance scenarios: the installed logship and launcher, run in a real X
server and driven by real key and mouse events.

    acceptance.py INSTALL_DIR [--artifacts DIR] [--only NAME ...]

Every scenario works in a fresh copy of the install with its own Intern.int,
data file, next program and drive folders. The closing line reads
"N passed, M failed" (", K skipped" when a scenario cannot run here)."""

import argparse
import contextlib
import fcntl
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xscreen import (BLACK, BROWN, CYAN, DARK_BLUE, GREEN, GREY, LIGHT_BLUE, RED,  # noqa: E402
                     TITLE, WHITE, YELLOW, Failure, RootPixels, Window, colour_name,
                     find_window, near, park_pointer, run, wait_until)

START_TIMEOUT = 20      # process start to the drive menu
STEP_TIMEOUT = 10       # one key or click to what it brings on the screen
END_TIMEOUT = 10        # the last key to the end of the process


class Skip(Exception):
    """A scenario that cannot run on this machine."""


# Screen expectations: each knows how to test one screenshot.

class Bg:
    def __init__(self, row, col, colour):
        self.row, self.col, self.colour = row, col, colour

    def test(self, cells):
        seen = cells.background(self.row, self.col)
        return near(seen, self.colour), "row %d col %d background %s, seen %s" % (
            self.row, self.col, colour_name(self.colour), colour_name(seen))


class NotBg(Bg):
    def test(self, cells):
        seen = cells.background(self.row, self.col)
        return not near(seen, self.colour), "row %d col %d background not %s, seen %s" % (
            self.row, self.col, colour_name(self.colour), colour_name(seen))


class Ink:
    """The glyph's colour: its most covered pixel lies on the way from the
    background to this colour, at least most of the way (anti-aliasing)."""
    def __init__(self, row, col, colour):
        self.row, self.col, self.colour = row, col, colour

    def test(self, cells):
        seen = cells.ink(self.row, self.col)
        want = "no glyph" if self.colour is None else colour_name(self.colour)
        got = "no glyph" if seen is None else colour_name(seen)
        if self.colour is None or seen is None:
            ok = seen is None and self.colour is None
        else:
            ok = on_the_way(cells.background(self.row, self.col), self.colour, seen)
        return ok, "row %d col %d ink %s, seen %s" % (self.row, self.col, want, got)


def on_the_way(bg, fg, seen):
    span = [f - b for f, b in zip(fg, bg)]
    length = sum(d * d for d in span)
    if length == 0:
        return False
    t = sum((s - b) * d for s, b, d in zip(seen, bg, span)) / length
    off = max(abs(s - (b + t * d)) for s, b, d in zip(seen, bg, span))
    return t >= 0.6 and off <= 30


class Centre(Bg):
    """The pixel in the middle of the cell (a full block covers it)."""
    def test(self, cells):
        seen = cells.centre(self.row, self.col)
        return near(seen, self.colour), "row %d col %d centre %s, seen %s" % (
            self.row, self.col, colour_name(self.colour), colour_name(seen))


def bg_run(row, cols, colour):
    return [Bg(row, c, colour) for c in cols]


def expect_screen(window, checks, what, timeout=STEP_TIMEOUT):
    """Polls screenshots until every check holds; else fails with the
    checks that the last screenshot did not meet."""
    deadline = time.monotonic() + timeout
    while True:
        cells = window.shot()
        failed = [text for ok, text in (c.test(cells) for c in checks) if not ok]
        if not failed:
            return cells
        if time.monotonic() >= deadline:
            raise Failure("%s: after %.0f s still %s%s" % (
                what, timeout, "; ".join(failed[:6]),
                " (and %d more)" % (len(failed) - 6) if len(failed) > 6 else ""))
        time.sleep(0.03)


def highlighted(entry, count):
    """The menu with `entry` (1-based) highlighted among `count` entries."""
    checks = bg_run(7 + entry, [38, 39, 41, 42], GREY)
    checks += [Bg(7 + e, 38, BLACK) for e in range(1, count + 1) if e != entry]
    return checks


NAME_FIELD = bg_run(14, range(42, 50), RED)


def centred(row, text):
    """The first and last column of a text centred on 80 columns: from 41
    minus half its length, halves to even."""
    first = round(41 - len(text) / 2)
    return first, first + len(text) - 1


def export_screen(base_name, drive):
    """The export screen for data file base name `base_name` and `drive`."""
    first, last = centred(6, "Bestand %s exporteren" % base_name)
    checks = [Ink(6, first, WHITE), Ink(6, last, WHITE), Ink(6, first - 1, None),
              Ink(6, last + 1, None)]
    checks += [Bg(9, 19, DARK_BLUE), Bg(17, 61, DARK_BLUE), Bg(13, 20, DARK_BLUE),
               Bg(18, 40, BLACK), Bg(13, 62, BLACK)]                   # the blue frame
    checks += [Ink(13, 21, RED), Ink(13, 59, RED), Ink(16, 40, RED), Bg(11, 22, BLACK)]
    checks += bg_run(10, range(32, 49), RED) + [Ink(10, 34, YELLOW), Ink(10, 25, RED)]
    checks += [Ink(12, 40, WHITE), Ink(12, 41, WHITE), Ink(12, 39, None), Ink(12, 42, None)]
    checks += [Ink(14, 31, GREY), Ink(14, 29, None)]                   # " Filenaam : "
    # " Geef filenaam. Extensie is .xxx [ESC]Terug" at columns 20 to 60.
    checks += [Ink(25, 21, GREY), Ink(25, 52, None), Ink(25, 56, GREY), Ink(25, 60, GREY),
               Ink(25, 19, None), Ink(25, 61, None)] + [Ink(25, c, CYAN) for c in (53, 54, 55)]
    return checks + NAME_FIELD


# The world of one scenario.

def make_data(length, seed):
    """Bytes that a copy in text mode or with a lost tail would not keep."""
    rng = random.Random(seed)
    special = b"\r\n\x1a\x00\xff\x80\"\\,"
    return bytes(special[i % len(special)] if i % 7 == 0 else rng.randrange(256)
                 for i in range(length))


class World:
    def __init__(self, install, name, artifacts, sticks=("E", "F")):
        self.name = name
        self.artifacts = artifacts
        self.root = tempfile.mkdtemp(prefix="logship-accept-%s-" % name)
        self.app = os.path.join(self.root, "app")
        shutil.copytree(install, self.app, symlinks=True)
        self.sticks = {}
        for letter in sticks:
            self.sticks[letter] = os.path.join(self.root, "stick" + letter)
            os.mkdir(self.sticks[letter])
        # C is the scenario's own folder, so the tool's folder lies on C:.
        self.drives = ";".join(["C=" + self.root] + ["%s=%s" % kv for kv in self.sticks.items()])
        self.marker = os.path.join(self.root, "next-ran")
        self.box_log = os.path.join(self.root, "boxes.log")
        self.immutable = []
        self.proc = None
        self.window = None

    def write(self, name, data):
        path = os.path.join(self.app, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("latin-1"))
        return path

    def next_program(self, name="next.sh"):
        """A next program that records that it ran and in which folder."""
        path = self.write(name, "#!/bin/sh\npwd > '%s.tmp' && mv '%s.tmp' '%s'\n"
                          % (self.marker, self.marker, self.marker))
        os.chmod(path, 0o755)

    def hand_over(self, data_name, data, next_name="next.sh"):
        self.data = data
        self.write(data_name, data)
        self.write("Intern.int", "%s\r\n%s\r\n" % (data_name, next_name))
        self.next_program(next_name)

    def env(self, **extra):
        env = dict(os.environ)
        env.update(LOGSHIP_DRIVES=self.drives, LOGSHIP_BOX_ANSWER="no",
                   LOGSHIP_BOX_LOG=self.box_log)
        env.update(extra)
        return env

    def start(self, program="logship", wrapper=(), **extra_env):
        """Starts the program, under `wrapper` (a command and its options)
        when one is given."""
        park_pointer()
        self.out = open(os.path.join(self.root, program + ".out"), "wb")
        # Started from another folder: the program makes its own folder current.
        self.proc = subprocess.Popen(list(wrapper) + [os.path.join(self.app, program)], cwd="/",
                                     env=self.env(**extra_env), stdin=subprocess.DEVNULL,
                                     stdout=self.out, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        return self.proc

    def start_to_menu(self, entries=3, wrapper=()):
        self.start(wrapper=wrapper)
        self.window = find_window(START_TIMEOUT)
        expect_screen(self.window, highlighted(1, entries), "the drive menu", START_TIMEOUT)
        return self.window

    def choose(self, entry, entries=3):
        """Moves the highlight from entry 1 to `entry` with Down and takes it
        with Enter; returns once the name field is on the screen."""
        for e in range(2, entry + 1):
            self.window.key("Down")
            expect_screen(self.window, highlighted(e, entries), "the highlight on entry %d" % e)
        self.window.key("Return")
        expect_screen(self.window, NAME_FIELD, "the name field")

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def expect_end(self, timeout=END_TIMEOUT):
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program still runs %d s after the last input" % timeout)
        if rc != 0:
            raise Failure("exit code %d, expected 0" % rc)

    def expect_still_running(self, seconds=0.5):
        try:
            rc = self.proc.wait(seconds)
            raise Failure("the program ended (exit code %d) where it should wait" % rc)
        except subprocess.TimeoutExpired:
            pass

    def expect_next_started(self):
        seen = wait_until(lambda: os.path.exists(self.marker) and open(self.marker).read(),
                          5, "the next program to run")
        if os.path.realpath(seen.strip()) != os.path.realpath(self.app):
            raise Failure("the next program ran in %s, expected %s" % (seen.strip(), self.app))

    def expect_nothing_started(self):
        if os.path.exists(self.marker):
            raise Failure("a next program was started")

    def stick_files(self, letter):
        return sorted(os.listdir(self.sticks[letter]))

    def expect_copy(self, letter, name, data=None):
        data = self.data if data is None else data
        for other in self.sticks:
            want = [name] if other == letter else []
            if self.stick_files(other) != want:
                raise Failure("drive %s holds %s, expected %s"
                              % (other, self.stick_files(other), want))
        with open(os.path.join(self.sticks[letter], name), "rb") as f:
            copy = f.read()
        if copy != data:
            first = next((i for i, (a, b) in enumerate(zip(copy, data)) if a != b),
                         min(len(copy), len(data)))
            raise Failure("%s:\\%s differs from the data file: %d bytes against %d, first "
                          "difference at byte %d" % (letter, name, len(copy), len(data), first))

    def expect_no_copy(self):
        for letter in self.sticks:
            if self.stick_files(letter):
                raise Failure("drive %s holds %s, expected nothing"
                              % (letter, self.stick_files(letter)))

    def expect_no_box(self):
        if os.path.exists(self.box_log):
            raise Failure("an error box came up: %r" % open(self.box_log).read())

    def expect_clean_folder(self):
        left = [n for n in os.listdir(self.app) if n.lower() in ("hulp.hlp", "direct.tmp")]
        if left:
            raise Failure("temporary files left in the tool's folder: %s" % left)

    def make_read_only(self, letter):
        path = self.sticks[letter]
        if os.geteuid() == 0:
            if subprocess.run(["chattr", "+i", path], capture_output=True).returncode != 0:
                raise Skip("chattr +i is not supported here")
            self.immutable.append(path)
        else:
            os.chmod(path, 0o555)
        try:
            open(os.path.join(path, "probe"), "wb").close()
        except OSError:
            return
        os.unlink(os.path.join(path, "probe"))
        raise Skip("cannot make a folder refuse new files here")

    def close(self, failed):
        if self.running():
            if failed and self.window is not None:
                self.save_screen("at-failure")
            os.killpg(self.proc.pid, 9)
            self.proc.wait()
        for path in self.immutable:
            subprocess.run(["chattr", "-i", path], capture_output=True)
        if failed and self.artifacts:
            os.makedirs(self.artifacts, exist_ok=True)
            for name in os.listdir(self.root):
                if name.endswith((".out", ".log", ".png")):
                    shutil.copy(os.path.join(self.root, name),
                                os.path.join(self.artifacts, "%s-%s" % (self.name, name)))
        shutil.rmtree(self.root, ignore_errors=True)

    def save_screen(self, label):
        try:
            self.window.save_png(os.path.join(self.root, label + ".png"))
        except Exception:
            pass


# Scenarios. Each takes a fresh World; a Failure says what differs.

SCENARIOS = []


def scenario(fn):
    SCENARIOS.append(fn)
    return fn


def export_as(w, typed, letter, name):
    """In the name field: types `typed` (nothing: the pre-filled name stays)
    and Enter; the tool ends, the copy stands on the drive as `name` and the
    next program has started."""
    if typed:
        w.window.type_text(typed)
    w.window.key("Return")
    w.expect_end()
    w.expect_copy(letter, name)
    w.expect_next_started()


def expect_left_without_copy(w):
    """The tool, left, ends without a copy and starts the next program."""
    w.expect_end()
    w.expect_no_copy()
    w.expect_next_started()


def export_row(data_name, typed, expected_name, length, notice):
    """One row of the extension table: a whole export to E."""
    def run(w):
        w.hand_over(data_name, make_data(length, sum(data_name.encode())))
        w.start_to_menu()
        w.choose(2)
        expect_screen(w.window, export_screen(data_name[:-4], "E"), "the export screen")
        # The contest-call notice stands only for a copy that ends in .cbr.
        notice_checks = ([Bg(19, 29, DARK_BLUE), Ink(19, 29, CYAN), Bg(22, 51, DARK_BLUE)]
                         if notice else [Bg(19, 29, BLACK), Bg(22, 51, BLACK)])
        expect_screen(w.window, notice_checks, "the contest-call notice" if notice
                      else "the export screen without the contest-call notice")
        export_as(w, typed, "E", expected_name)
        w.expect_no_box()
        w.expect_clean_folder()
    run.__name__ = "export %s -> E:\\%s" % (data_name, expected_name)
    return run


for row in [("contest.CBR", "pa0abc", "PA0ABC.cbr", 12345, True),
            ("uitslag.csv", "pd1x", "PD1X.csv", 4000, False),
            ("Contest.Pcn", "", "Contest.pcn", 99, False),       # the pre-filled name
            ("veld.ETK", "vd2", "VD2.etk", 1, False),
            ("test.log", "", "test.cbr", 250, True),             # pre-filled, copied as .cbr
            ("notes.dat", "x9", "X9.txt", 777, False)]:
    SCENARIOS.append(export_row(*row))


# The system calls of a run, as strace -f -y writes them.

TRACED_CALLS = ("fsync", "fdatasync", "rename", "renameat", "renameat2", "link", "linkat",
                "clone", "clone3", "fork", "vfork", "execve")
FLUSHES = ("fsync", "fdatasync")
PLACEMENTS = ("rename", "renameat", "renameat2", "link", "linkat")
SPAWNS = ("clone", "clone3", "fork", "vfork")


class Call:
    def __init__(self, pid, name, args, result):
        self.pid, self.name, self.result = pid, name, result
        self.args = split_arguments(args)

    def ok(self):
        return self.result != "" and not self.result.startswith("-")

    def fd_path(self, i=0):
        """The path strace -y gives for descriptor argument i."""
        m = re.match(r"^(?:-?\d+|AT_FDCWD)<(.*)>$", self.args[i]) if i < len(self.args) else None
        return m.group(1) if m else None

    def names(self, path):
        """Whether descriptor argument 0 is `path`, or the /proc/self/fd
        name of it in this process."""
        fd = re.match(r"^/proc/(?:self|%s)/fd/(\d+)$" % self.pid, path or "")
        return self.fd_path() == path or bool(fd and self.args[0].startswith(fd.group(1) + "<"))

    def path(self, dir_arg, path_arg):
        """The path that a directory descriptor and a name give together."""
        name = unquote(self.args[path_arg])
        if name.startswith("/"):
            return name
        folder = self.fd_path(dir_arg) if dir_arg is not None else None
        return os.path.join(folder or "", name) if name else folder

    def placement(self):
        """(source, target) of a rename or link."""
        if self.name in ("rename", "link"):
            return self.path(None, 0), self.path(None, 1)
        return self.path(0, 1), self.path(2, 3)


def split_arguments(text):
    """The top-level arguments of a call, split at the commas outside
    strings, brackets and the <path> that -y adds."""
    args, depth, current, quoted, escaped = [], 0, "", False, False
    for ch in text:
        if quoted:
            quoted = not (ch == '"' and not escaped)
            escaped = ch == "\\" and not escaped
        elif ch == '"':
            quoted = True
        elif ch in "([{<":
            depth += 1
        elif ch in ")]}>":
            depth -= 1
        elif ch == "," and depth == 0:
            args.append(current.strip())
            current = ""
            continue
        current += ch
    if current.strip():
        args.append(current.strip())
    return args


def unquote(arg):
    if not (arg.startswith('"') and arg.endswith('"')):
        return ""
    return arg[1:-1].encode("latin-1", "backslashreplace").decode("unicode_escape")


def traced_calls(log):
    """The calls of the log in the order they began, the two halves of a
    call that another thread interrupted joined; None for other lines."""
    texts, begun = [], {}
    for line in open(log, encoding="latin-1"):
        pid, _, rest = line.rstrip("\n").partition(" ")
        rest = rest.strip()
        resumed = re.match(r"^<\.\.\. \w+ resumed>(.*)$", rest)
        if resumed:
            if pid in begun:
                index, head = begun.pop(pid)
                texts[index] = (pid, head + resumed.group(1))
            continue
        if rest.endswith("<unfinished ...>"):
            begun[pid] = (len(texts), rest[:-len("<unfinished ...>")].rstrip())
            texts.append((pid, ""))
            continue
        texts.append((pid, rest))
    calls = []
    for pid, text in texts:
        m = re.match(r"^(\w+)\((.*)\)\s+=\s+(\S+)", text)
        calls.append(Call(pid, m.group(1), m.group(2), m.group(3)) if m else None)
    return calls


@scenario
def the_copy_is_on_the_medium_before_the_next_program_starts(w):
    """Traced with strace: the copy's file is flushed, then takes the typed
    name, then the drive's folder is flushed, and only then does the next
    program start. The calls are told by what they do: the copy's file is
    the one that is renamed or linked onto the typed name, whatever it was
    called while it was written."""
    if subprocess.run(["strace", "-o", "/dev/null", "true"], capture_output=True).returncode:
        raise Skip("strace cannot trace a program here (ptrace refused)")
    w.hand_over("contest.CBR", make_data(5000, 17))
    log = os.path.join(w.root, "strace.log")
    w.start_to_menu(wrapper=["strace", "-f", "-qq", "-y", "--seccomp-bpf", "-e", "signal=none",
                             "-e", "trace=" + ",".join(TRACED_CALLS), "-o", log])
    w.choose(2)
    export_as(w, "abc", "E", "ABC.cbr")
    calls = traced_calls(log)
    stick = os.path.realpath(w.sticks["E"])
    target = os.path.join(stick, "ABC.cbr")

    def first(after, found, what):
        for i in range(after + 1, len(calls)):
            if calls[i] and calls[i].ok() and found(calls[i]):
                return i
        raise Failure(what)

    placed = first(-1, lambda c: c.name in PLACEMENTS and c.placement()[1] == target,
                   "no rename or link onto %s" % target)
    source = calls[placed].placement()[0]
    flushes = [i for i in range(placed) if calls[i] and calls[i].ok()
               and calls[i].name in FLUSHES and calls[i].names(source)]
    if not flushes:
        raise Failure("%s took the name %s without a flush before" % (source, target))
    folder = first(placed, lambda c: c.name in FLUSHES and c.fd_path() == stick,
                   "the folder %s was not flushed after the copy took its name" % stick)
    # The next program starts in the tool's folder, by a name relative to it.
    app = os.path.realpath(w.app)
    next_path = os.path.join(app, "next.sh")
    started = [c for c in calls if c and c.ok() and c.name == "execve"
               and os.path.join(app, unquote(c.args[0])) == next_path]
    if not started:
        raise Failure("no execve of %s in the trace" % next_path)
    spawn = first(-1, lambda c: c.name in SPAWNS and c.result == started[0].pid,
                  "no clone, fork or vfork made the next program's process")
    if spawn < folder:
        raise Failure("the next program was started before the folder was flushed")


@scenario
def empty_name_keeps_asking(w):
    w.hand_over("uitslag.csv", make_data(300, 3))
    w.start_to_menu()
    w.choose(2)
    w.window.key("Return")           # an empty name: the prompt comes again
    time.sleep(0.3)
    expect_screen(w.window, NAME_FIELD, "the name field after Enter on an empty name")
    w.expect_still_running(0.1)
    w.expect_no_copy()
    export_as(w, "abc", "E", "ABC.csv")


@scenario
def screen_layout_of_the_menu(w):
    """The banner, the frames, the highlight and the status line, in pixels."""
    w.hand_over("contest.CBR", make_data(10, 1))
    win = w.start_to_menu()
    checks = [Bg(r, 1, DARK_BLUE) for r in range(2, 25)]            # the panel, column 1
    checks += [Bg(r, 80, DARK_BLUE) for r in (2, 13, 24)]
    checks += [Bg(3, 3, BLACK), Ink(3, 10, RED), Ink(23, 40, RED), Ink(12, 3, RED),
               Ink(12, 78, RED), Bg(12, 10, BLACK), Bg(3, 2, DARK_BLUE)]  # the red frame
    checks += bg_run(5, range(8, 15), RED)                           # the flag
    checks += bg_run(6, range(8, 15), GREY) + [Ink(6, 9, BROWN), Ink(6, 13, BROWN)]
    checks += [Centre(7, c, LIGHT_BLUE) for c in range(8, 15)]        # full blocks
    checks += [Bg(4, 19, DARK_BLUE), Bg(14, 62, DARK_BLUE), Bg(4, 40, DARK_BLUE)]
    checks += [Bg(5, 22, BLACK), Ink(5, 22, RED), Ink(8, 21, RED), Ink(13, 60, RED)]
    checks += bg_run(5, range(30, 51), RED) + [Ink(5, 32, YELLOW)]  # " Beschikbare drive's "
    checks += [Bg(15, 40, BLACK)]                                   # below the outer frame
    checks += highlighted(1, 3) + [Ink(8, 40, RED), Ink(9, 40, GREY), Ink(10, 40, GREY)]
    checks += [Bg(25, c, BLACK) for c in range(1, 81, 4)]          # the status line
    checks += [Ink(25, 25, GREY), Ink(25, 49, CYAN), Ink(25, 50, CYAN), Ink(25, 51, CYAN),
               Ink(25, 52, GREY), Ink(25, 23, None), Ink(25, 58, None)]
    checks += [Ink(1, 24, GREEN), Ink(1, 58, GREEN), Ink(1, 71, GREY), Ink(1, 78, GREY),
               Ink(1, 60, None), Bg(1, 40, BLACK)]                 # title and clock
    cells = expect_screen(win, checks, "the drive menu's layout")
    seconds = cells.pixels(1, 78)
    wait_until(lambda: win.shot().pixels(1, 78) != seconds, 3, "the clock to go on")
    w.window.key("Escape")
    expect_left_without_copy(w)


@scenario
def escape_in_the_drive_menu(w):
    w.hand_over("contest.CBR", make_data(500, 2))
    w.start_to_menu()
    w.window.key("Escape")
    expect_left_without_copy(w)
    w.expect_no_box()
    w.expect_clean_folder()


@scenario
def escape_in_the_name_field_then_another_drive(w):
    w.hand_over("contest.CBR", make_data(2345, 4))
    w.start_to_menu()
    w.choose(2)
    w.window.key("Escape")
    # Back through the header and a new scan to the menu: the field is gone.
    expect_screen(w.window, highlighted(1, 3) + [Bg(14, 42, DARK_BLUE)],
                  "the drive menu after Esc in the name field")
    w.expect_no_copy()
    w.choose(3)
    export_as(w, "tweede", "F", "TWEEDE.cbr")


@scenario
def no_intern_int(w):
    w.next_program()                      # present, but nothing names it
    w.data = b""
    w.start_to_menu()
    w.window.key("Escape")
    # "Press any key to continue" on the bottom row, and the tool waits.
    expect_screen(w.window, [Ink(25, c, GREY) for c in (1, 2, 5, 7, 25)]
                  + [Ink(25, 6, None), Ink(25, 26, None), Ink(25, 40, None)],
                  "\"Press any key to continue\" on row 25")
    w.expect_still_running(1.0)
    w.window.key("space")
    w.expect_end()
    w.expect_nothing_started()
    w.expect_no_copy()
    w.expect_no_box()


@scenario
def intern_int_with_one_field(w):
    """The export works; with no next program the end asks for a key."""
    w.data = make_data(432, 9)
    w.write("uitslag.csv", w.data)
    w.write("Intern.int", "uitslag.csv\r\n")
    w.next_program()
    w.start_to_menu()
    w.choose(2)
    w.window.type_text("een")
    w.window.key("Return")
    expect_screen(w.window, [Ink(25, c, GREY) for c in (1, 2, 5, 7, 25)]
                  + [Ink(25, 6, None), Ink(25, 26, None)],
                  "\"Press any key to continue\" on row 25")
    w.expect_still_running(0.5)
    w.expect_copy("E", "EEN.csv")
    w.window.key("space")
    w.expect_end()
    w.expect_nothing_started()
    w.expect_no_box()


@scenario
def no_drive_answers(w):
    w.hand_over("contest.CBR", make_data(50, 10))
    w.drives = ""
    w.start()
    w.window = find_window(START_TIMEOUT)
    # " Geen externe drive gevonden " at columns 26 to 54, for 4 s or until a key.
    expect_screen(w.window, [Ink(25, 27, GREY), Ink(25, 53, GREY), Ink(25, 26, None),
                             Ink(25, 25, None), Ink(25, 55, None), Bg(8, 38, BLACK)],
                  "\" Geen externe drive gevonden \" on row 25")
    w.expect_still_running(0.3)
    w.window.key("space")
    w.expect_end(3)
    w.expect_next_started()
    w.expect_no_box()


@scenario
def read_only_stick_then_another_drive(w):
    w.hand_over("contest.CBR", make_data(1500, 5))
    w.make_read_only("E")
    w.start_to_menu()
    w.choose(2)
    w.window.type_text("pa0ro")
    w.window.key("Return")
    # " Verkeerde ingave. Elke toets " at columns 26 to 55 of row 25.
    expect_screen(w.window, [Ink(25, 27, GREY), Ink(25, 54, GREY), Ink(25, 21, None),
                             Ink(25, 26, None), Ink(25, 56, None), Ink(25, 60, None),
                             Bg(25, 40, BLACK)] + NAME_FIELD,
                  "\" Verkeerde ingave. Elke toets \" on row 25")
    w.expect_still_running(0.3)
    if w.stick_files("E"):
        raise Failure("the read-only drive E holds %s" % w.stick_files("E"))
    w.window.key("space")
    # The restart: hand-over, a new scan and the menu again.
    expect_screen(w.window, highlighted(1, 3) + [Bg(14, 42, DARK_BLUE), Ink(25, 25, GREY)],
                  "the drive menu after the restart")
    w.choose(3)
    export_as(w, "pa0ro", "F", "PA0RO.cbr")
    w.expect_no_box()


@scenario
def double_click_in_the_list_takes_the_highlight(w):
    w.hand_over("uitslag.csv", make_data(640, 6))
    win = w.start_to_menu()
    win.key("Down")
    expect_screen(win, highlighted(2, 3), "the highlight on entry 2")
    win.double_click(8, 40)               # over entry 1; entry 2 is highlighted
    expect_screen(win, NAME_FIELD, "the name field after a double click in the list")
    export_as(w, "muis", "E", "MUIS.csv")


@scenario
def esc_under_the_pointer_and_double_click_on_it(w):
    w.hand_over("uitslag.csv", make_data(640, 7))
    win = w.start_to_menu()
    win.point(25, 50)
    expect_screen(win, bg_run(25, (49, 50, 51), RED) + [Ink(25, 50, YELLOW), Bg(25, 52, BLACK)],
                  "\"ESC\" in yellow on red under the pointer")
    win.point(25, 60)
    expect_screen(win, bg_run(25, (49, 50, 51), BLACK) + [Ink(25, 50, YELLOW)],
                  "\"ESC\" in yellow on black once the pointer left it")
    win.point(12, 40)
    win.point(12, 41)                     # a single click and movement do nothing
    subprocess.run(["xdotool", "click", "1"], check=True)
    time.sleep(0.5)
    expect_screen(win, highlighted(1, 3), "the menu unchanged after a single click")
    win.double_click(25, 49)
    expect_left_without_copy(w)
    w.expect_no_box()


@scenario
def double_click_on_esc_in_the_name_field(w):
    w.hand_over("contest.CBR", make_data(640, 8))
    win = w.start_to_menu()
    w.choose(2)
    win.point(25, 54)
    expect_screen(win, bg_run(25, (53, 54, 55), RED) + [Ink(25, 54, YELLOW)],
                  "\"ESC\" of the name prompt in yellow on red under the pointer")
    win.double_click(25, 54)
    expect_screen(win, highlighted(1, 3) + [Bg(14, 42, DARK_BLUE)],
                  "the drive menu after a double click on \"ESC\"")
    w.expect_no_copy()
    win.key("Escape")
    expect_left_without_copy(w)


# The launcher.

LAUNCHER_BOX = "Unhandled Error #53\nLine: 2 (in main module)\nFile not found\nContinue?\n\n"


@scenario
def launcher_starts_the_main_program(w):
    main = w.write("tarnvale/tarnvale.exe",
                   "#!/bin/sh\npwd > '%s.tmp' && mv '%s.tmp' '%s'\nsleep 1\ntouch '%s.done'\n"
                   % (w.marker, w.marker, w.marker, w.marker))
    os.chmod(main, 0o755)
    w.start("launcher")
    w.expect_end(5)
    # The launcher has ended; the main program still runs.
    if os.path.exists(w.marker + ".done"):
        raise Failure("the launcher waited for the main program to end")
    w.expect_next_started()
    w.expect_no_box()
    wait_until(lambda: os.path.exists(w.marker + ".done"), 10, "the main program's end")


def launcher_without_main(answer):
    def run(w):
        w.start("launcher", LOGSHIP_BOX_ANSWER=answer)
        w.expect_end(5)
        w.expect_nothing_started()
        seen = open(w.box_log).read() if os.path.exists(w.box_log) else "(no box)"
        if seen != LAUNCHER_BOX:
            raise Failure("box %r, expected %r" % (seen, LAUNCHER_BOX))
    run.__name__ = "launcher without tarnvale/tarnvale.exe, answer %s" % answer
    return run


SCENARIOS += [launcher_without_main("yes"), launcher_without_main("no")]


# " Verkeerde ingave. Elke toets " at columns 26 to 55 of row 25, the name
# field still on the screen.
WRONG_INPUT = [Ink(25, 27, GREY), Ink(25, 54, GREY), Ink(25, 26, None), Ink(25, 56, None),
               Bg(25, 40, BLACK)] + NAME_FIELD


def failed_copy_then_escape(w, typed):
    """Types a name for drive E, expects the failed copy's status line, and
    after a key and the restart leaves the drive menu with Esc."""
    w.start_to_menu()
    w.choose(2)
    w.window.type_text(typed)
    w.window.key("Return")
    expect_screen(w.window, WRONG_INPUT, "\" Verkeerde ingave. Elke toets \" on row 25")
    w.window.key("space")
    expect_screen(w.window, highlighted(1, 3) + [Bg(14, 42, DARK_BLUE)],
                  "the drive menu after the restart")
    w.window.key("Escape")
    w.expect_end()
    w.expect_next_started()
    w.expect_no_box()
    w.expect_clean_folder()


@contextlib.contextmanager
def small_stick(w):
    """Drive E on a 16 KiB file system of its own; skipped where none can be
    mounted."""
    stick = w.sticks["E"]
    try:
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", stick],
                                 capture_output=True).returncode == 0
    except OSError:
        mounted = False
    if not mounted:
        raise Skip("cannot mount a small file system here")
    try:
        yield stick
    finally:
        if w.running():
            os.killpg(w.proc.pid, 9)
            w.proc.wait()
        subprocess.run(["umount", "-l", stick], capture_output=True)


@scenario
def a_stick_that_fills_up_keeps_no_part_of_the_log(w):
    with small_stick(w):
        w.hand_over("contest.CBR", make_data(100000, 11))
        failed_copy_then_escape(w, "pa0full")
        if w.stick_files("E"):
            raise Failure("the full drive E holds %s" % w.stick_files("E"))


@scenario
def a_full_stick_keeps_the_earlier_export_as_it_was(w):
    with small_stick(w) as stick:
        earlier = make_data(6000, 13)
        with open(os.path.join(stick, "ABC.cbr"), "wb") as f:
            f.write(earlier)
        w.hand_over("contest.CBR", make_data(100000, 14))
        failed_copy_then_escape(w, "abc")
        if w.stick_files("E") != ["ABC.cbr"]:
            raise Failure("drive E holds %s, expected only ABC.cbr" % w.stick_files("E"))
        with open(os.path.join(stick, "ABC.cbr"), "rb") as f:
            if f.read() != earlier:
                raise Failure("the earlier export ABC.cbr changed")


@scenario
def a_link_on_the_stick_leads_nowhere_off_it(w):
    outside = os.path.join(w.root, "elsewhere.cbr")
    with open(outside, "wb") as f:
        f.write(b"someone else's file\r\n" * 20)
    os.symlink(outside, os.path.join(w.sticks["E"], "EVIL.cbr"))
    w.hand_over("contest.CBR", make_data(3000, 12))
    failed_copy_then_escape(w, "evil")
    with open(outside, "rb") as f:
        if f.read() != b"someone else's file\r\n" * 20:
            raise Failure("the copy wrote through the link on drive E")
    if w.stick_files("E") != ["EVIL.cbr"] or not os.path.islink(
            os.path.join(w.sticks["E"], "EVIL.cbr")):
        raise Failure("drive E holds %s, expected only the link" % w.stick_files("E"))


@scenario
def an_export_leaves_what_is_not_its_own_and_takes_a_leftover_away(w):
    """Drive E holds a user's file under the old temporary name, a copy's
    temporary file that another tool holds locked while it runs, and one
    that a copy killed on its way left. After the export the first two are
    as they were, the leftover is gone, and the copy is whole."""
    stick = w.sticks["E"]
    kept = {"LOGSHIP.$$$": b"the user's own file\r\n",
            "LOGSHIP-89ABCDEF.part": b"half of another tool's copy"}
    for name, data in kept.items():
        with open(os.path.join(stick, name), "wb") as f:
            f.write(data)
    with open(os.path.join(stick, "LOGSHIP-0123ABCD.part"), "wb") as f:
        f.write(b"left by a copy that was killed")
    running = os.open(os.path.join(stick, "LOGSHIP-89ABCDEF.part"), os.O_RDONLY)
    try:
        fcntl.flock(running, fcntl.LOCK_EX | fcntl.LOCK_NB)
        w.hand_over("contest.CBR", make_data(5000, 17))
        w.start_to_menu()
        w.choose(2)
        w.window.type_text("pa0abc")
        w.window.key("Return")
        w.expect_end()
        w.expect_next_started()
    finally:
        os.close(running)
    want = sorted(list(kept) + ["PA0ABC.cbr"])
    if w.stick_files("E") != want:
        raise Failure("drive E holds %s, expected %s" % (w.stick_files("E"), want))
    for name, data in list(kept.items()) + [("PA0ABC.cbr", w.data)]:
        with open(os.path.join(stick, name), "rb") as f:
            if f.read() != data:
                raise Failure("E:\\%s does not hold what it should" % name)
    w.expect_no_box()


@scenario
def the_menu_comes_within_seconds_while_another_process_holds_the_folder(w):
    """Another process holds the lock on the tool's folder and keeps it (a
    stopped tool, a user's flock): the drive menu comes within 15 s all
    the same, and the export works."""
    w.hand_over("uitslag.csv", make_data(3000, 18))
    held = os.open(w.app, os.O_RDONLY | os.O_DIRECTORY)
    try:
        fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
        started = time.monotonic()
        w.start_to_menu()
        took = time.monotonic() - started
        if took > 15:
            raise Failure("the drive menu came after %.1f s, expected 15 s at most" % took)
        w.choose(2)
        export_as(w, "slot", "E", "SLOT.csv")
    finally:
        os.close(held)
    w.expect_no_box()


FONT_BOX = "Unhandled Error #258\nLine:694\nInvalid handle\nContinue?\n\n"


@scenario
def font_too_large_for_any_window(w):
    """A size whose 80 x 25 cells no window can hold loads no font: the box
    for error 258 at step 694, then the menu in the built-in font at the
    position that inifiles/Fontnr.ini gives."""
    w.hand_over("contest.CBR", make_data(10, 5))
    w.write("inifiles/Fontnr.ini", "500,30,40\r\n")
    w.start(LOGSHIP_BOX_ANSWER="yes")
    w.window = find_window(START_TIMEOUT)
    expect_screen(w.window, highlighted(1, 3), "the drive menu", START_TIMEOUT)
    place = (w.window.width, w.window.height, w.window.x, w.window.y)
    if place != (640, 400, 30, 40):
        raise Failure("window %dx%d at %d,%d, expected 640x400 at 30,40" % place)
    seen = open(w.box_log).read() if os.path.exists(w.box_log) else "(no box)"
    if seen != FONT_BOX:
        raise Failure("box %r, expected %r" % (seen, FONT_BOX))
    w.window.key("Escape")
    w.expect_end()
    w.expect_next_started()
    output = open(os.path.join(w.root, "logship.out"), "rb").read()
    if b"no window" in output:
        raise Failure("the window thread found no window for the font: %r" % output)


@scenario
def as_process_1_the_tool_lists_its_drives_and_its_box_asks(w):
    """The first process of a PID namespace of its own, as a container's
    entry point without an init is: the command interpreter and the box
    helper have process 1 for their parent and know it for the tool. The
    start-up box (a font that cannot serve) asks on the desktop, Yes goes
    on, and the menu lists the drives."""
    pid_namespace = ["unshare", "--pid", "--fork", "--mount-proc"]
    if subprocess.run(pid_namespace + ["true"], capture_output=True).returncode != 0:
        raise Skip("unshare cannot make a PID namespace here (it needs root)")
    w.hand_over("contest.CBR", make_data(10, 17))
    w.write("inifiles/fontkeus.ini", "Missing.ttf\r\n")
    w.start(wrapper=pid_namespace, LOGSHIP_BOX_ANSWER="")   # neither: the desktop dialog asks
    def box():
        """xwininfo's lines of the mapped box; xdotool does not find the
        names that SDL 2 gives its dialogs."""
        info = run(["xwininfo", "-name", "Unhandled Error #258"], check=False)
        if not w.running():
            raise Failure("the tool ended without its box on the desktop")
        return info if "IsViewable" in info else None
    info = wait_until(box, START_TIMEOUT, "the box on the desktop")
    corner = [re.search(r"Absolute upper-left %s:\s+(-?\d+)" % axis, info).group(1)
              for axis in "XY"]
    # Without a window manager the keys go to the window under the pointer.
    run(["xdotool", "mousemove", str(int(corner[0]) + 20), str(int(corner[1]) + 10),
         "key", "Return"])
    w.window = find_window(START_TIMEOUT)
    expect_screen(w.window, highlighted(1, 3), "the drive menu", START_TIMEOUT)
    seen = open(w.box_log).read() if os.path.exists(w.box_log) else "(no box)"
    if seen != FONT_BOX:
        raise Failure("box %r, expected %r" % (seen, FONT_BOX))
    w.window.key("Escape")
    w.expect_end()


END_PROMPT = [Ink(25, c, GREY) for c in (1, 2, 5, 7, 25)] + [Ink(25, 6, None), Ink(25, 26, None)]


@scenario
def ctrl_pause_is_the_break_key(w):
    """X11 gives the Break key as Ctrl+Pause. In the menu, with the close
    trap set, it neither pauses nor ends the tool; at the end prompt, with
    the trap released, it ends it."""
    w.next_program()
    w.data = b""
    w.start_to_menu()
    w.window.key("ctrl+Pause", "Down")
    expect_screen(w.window, highlighted(2, 3), "the highlight on entry 2 after Ctrl+Pause, Down")
    w.window.key("Escape")
    expect_screen(w.window, END_PROMPT, "\"Press any key to continue\" on row 25")
    w.expect_still_running(0.5)
    w.window.key("ctrl+Pause")
    w.expect_end()
    w.expect_nothing_started()
    w.expect_no_box()


@scenario
def a_bad_drive_table_is_said_once(w):
    """LOGSHIP_DRIVES entries that do not parse are named on standard error,
    once each, although the scan reads the table 25 times more; the tool
    goes on with the entries that parse, blanks around them allowed."""
    w.hand_over("contest.CBR", make_data(10, 11))
    stick_e, stick_f = w.sticks["E"], w.sticks["F"]
    w.drives = " C = %s ;E=%s;F=stick;e=%s;G" % (w.root, stick_e, stick_f)
    w.start_to_menu(entries=2)
    w.window.key("Escape")
    w.expect_end()
    w.expect_next_started()
    with open(w.out.name, "rb") as out:
        said = [line for line in out.read().decode("utf-8", "replace").splitlines()
                if "LOGSHIP_DRIVES" in line]
    want = ['logship: LOGSHIP_DRIVES entry "F=stick" left out: '
            'the folder "stick" does not start with "/"',
            'logship: LOGSHIP_DRIVES entry "e=%s" left out: E is given twice; the first, '
            'E=%s, counts' % (stick_f, stick_e),
            'logship: LOGSHIP_DRIVES entry "G" left out: no "=" between drive letter and folder']
    if said != want:
        raise Failure("standard error said %r, expected %r" % (said, want))


@scenario
def a_held_key_repeats(w):
    """A key held in the name field types itself again after half a second,
    while the window sleeps between its redraws: the field fills up."""
    w.hand_over("notes.dat", make_data(500, 11))
    w.start_to_menu()
    w.choose(2)
    expect_screen(w.window, NAME_FIELD, "the name field")
    subprocess.run(["xdotool", "keydown", "q"], check=True)
    time.sleep(1.0)
    subprocess.run(["xdotool", "keyup", "q"], check=True)
    export_as(w, "", "E", "QQQQQQQQ.txt")


@scenario
def the_cursor_blinks_in_an_idle_name_field(w):
    """While nobody types, the window sleeps through the redraws that would
    draw nothing, yet the cursor (the bottom rows of its cell, yellow) keeps
    blinking on and off, about 128 ms each way. One pixel of it is looked
    at every few milliseconds: a whole screenshot, slow on a busy machine,
    could keep meeting the same phase. A window that slept through the
    blinks would turn the cursor only as it wakes for other reasons, every
    half second at most."""
    w.hand_over("notes.dat", make_data(500, 12))
    w.start_to_menu()
    w.choose(2)
    expect_screen(w.window, NAME_FIELD, "the name field")
    pixels = RootPixels()
    x = w.window.x + int(41 * w.window.cw + w.window.cw / 2)
    y = w.window.y + int(13 * w.window.ch + w.window.ch) - 1
    turns, last = [], None
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        on = near(pixels.rgb(x, y), YELLOW)
        if last is not None and on != last:
            turns.append(time.monotonic())
        last = on
        time.sleep(0.004)
    spells = [b - a for a, b in zip(turns, turns[1:])]
    if len(spells) < 4 or statistics.median(spells) > 0.3:
        raise Failure("the cursor turned on or off %d times in 3 s, a spell lasting %s"
                      % (len(turns), "%.0f ms" % (statistics.median(spells) * 1000)
                         if spells else "the whole time"))


def probe_script(w):
    """A started program that writes its open descriptors (those of `ls`,
    which inherits them) and its environment next to the marker."""
    return ("#!/bin/sh\nls -l /proc/self/fd > '%s/fds'\nenv -0 > '%s/env'\n"
            "pwd > '%s.tmp' && mv '%s.tmp' '%s'\n"
            % (w.root, w.root, w.marker, w.marker, w.marker))


def expect_clean_start(w, given):
    """Standard input, output and error only (and the folder that ls lists),
    and the environment the tool was given, with what the shell adds."""
    fds = {}
    for line in open(os.path.join(w.root, "fds")).read().splitlines():
        if " -> " in line:
            name, target = line.split(" -> ", 1)
            fds[int(name.split()[-1])] = target
    listing = [fd for fd, t in fds.items()
               if fd > 2 and t.startswith("/proc/") and t.endswith("/fd")]
    if set(fds) - set(listing) != {0, 1, 2} or len(listing) > 1:
        raise Failure("the started program has the descriptors %s open" % fds)
    seen = dict(e.split("=", 1) for e in open(os.path.join(w.root, "env")).read()
                .split("\0") if e)
    shell_own = {"PWD", "OLDPWD", "SHLVL", "_"}
    added = sorted(set(seen) - set(given) - shell_own)
    lost = sorted(n for n in set(given) - shell_own if seen.get(n) != given[n])
    if added or lost:
        raise Failure("the started program's environment: added %s, changed or lost %s"
                      % (["%s=%s" % (n, seen[n]) for n in added], lost))


def started_program_gets_a_clean_start(program):
    """The program that a tool starts has only descriptors 0, 1 and 2 open
    (not the font file of the installed logship) and the tool's own
    environment, without entries of SDL's that the user did not set."""
    def run_(w):
        if program == "logship":
            w.hand_over("contest.CBR", make_data(10, 16))
            w.write("next.sh", probe_script(w))
            w.start_to_menu()
            w.window.key("Escape")
        else:
            os.chmod(w.write("tarnvale/tarnvale.exe", probe_script(w)), 0o755)
            w.start("launcher")
        w.expect_end()
        wait_until(lambda: os.path.exists(w.marker), 5, "the started program")
        expect_clean_start(w, w.env())
    run_.__name__ = "%s starts a program with descriptors 0 to 2 and its own environment" \
        % program
    return run_


SCENARIOS += [started_program_gets_a_clean_start(p) for p in ("logship", "launcher")]


class SameCell:
    """The cell's pixels as a reference screenshot shows them."""
    def __init__(self, row, col, pixels):
        self.row, self.col, self.want = row, col, pixels

    def test(self, cells):
        return cells.pixels(self.row, self.col) == self.want, \
            "row %d col %d as in the tool's menu run alone" % (self.row, self.col)


@scenario
def two_tools_in_one_folder_each_list_their_own_drives(w):
    """Two logship started at the same moment in one folder, each with
    drives of its own, over several rounds: each menu shows exactly the
    drives it shows when it runs alone (its temporary files are its own)."""
    w.hand_over("contest.CBR", make_data(10, 15))
    tables = {}
    for name, letters in (("first", "EF"), ("second", "GHK")):
        folders = []
        for letter in letters:
            folders.append(os.path.join(w.root, "%s-%s" % (name, letter)))
            os.mkdir(folders[-1])
        tables[name] = ";".join(["C=" + w.root] + ["%s=%s" % lf for lf in zip(letters, folders)])
    entries = {"first": 3, "second": 4}
    rows = range(8, 14)                   # the menu's rows, and the empty ones below

    def menu_checks(name):
        count = entries[name]
        return (highlighted(1, count) + [Ink(7 + e, 40, RED if e == 1 else GREY)
                                         for e in range(1, count + 1)]
                + [Ink(8 + count, 40, None)])

    procs = {}

    def start(name):
        out = open(os.path.join(w.root, name + ".out"), "wb")
        procs[name] = subprocess.Popen([os.path.join(w.app, "logship")], cwd="/",
                                       env=w.env(LOGSHIP_DRIVES=tables[name]),
                                       stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT, start_new_session=True)

    def windows():
        """Each tool's window by its process, the second one moved below
        the first, so that neither covers the other."""
        def both():
            done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                   "^%s$" % TITLE], capture_output=True, timeout=10)
            ids = done.stdout.decode().split()
            return ids if len(ids) == len(procs) else None
        found = {}
        for wid in wait_until(both, START_TIMEOUT, "the windows of both tools", interval=0.05):
            pid = int(run(["xdotool", "getwindowpid", wid]).strip())
            found.update({name: wid for name, p in procs.items() if p.pid == pid})
        if set(found) != set(procs):
            raise Failure("windows of %s, expected one of each tool" % sorted(found))
        if "second" in found:
            run(["xdotool", "windowmove", "--sync", found["second"], "10", "520"])
        return {name: Window(wid) for name, wid in found.items()}

    def end(name, win):
        run(["xdotool", "windowfocus", "--sync", win.id])
        win.key("Escape")
        try:
            rc = procs[name].wait(END_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("the %s tool still runs %d s after Esc" % (name, END_TIMEOUT))
        if rc != 0:
            raise Failure("the %s tool ended with exit code %d" % (name, rc))

    try:
        # Each alone first: what its menu shows is the reference.
        reference = {}
        for name in ("first", "second"):
            procs.clear()
            start(name)
            win = windows()[name]
            cells = expect_screen(win, menu_checks(name), "the %s tool's menu alone" % name,
                                  START_TIMEOUT)
            reference[name] = [SameCell(r, 40, cells.pixels(r, 40)) for r in rows]
            end(name, win)
        if [c.want for c in reference["first"]] == [c.want for c in reference["second"]]:
            raise Failure("the two menus look alike; the test tells nothing")
        for round_ in range(1, 7):
            procs.clear()
            start("first")
            start("second")
            for name, win in sorted(windows().items()):
                expect_screen(win, menu_checks(name) + reference[name],
                              "round %d: the %s tool's menu" % (round_, name), START_TIMEOUT)
                end(name, win)
            w.expect_clean_folder()
    finally:
        for p in procs.values():
            if p.poll() is None:
                os.killpg(p.pid, 9)
                p.wait()


def title(fn):
    return fn.__name__.replace("_", " ")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("install")
    parser.add_argument("--artifacts", default=None,
                        help="folder for screenshots and output of failed scenarios")
    parser.add_argument("--only", action="append", default=[],
                        help="run the scenarios whose title contains this text")
    args = parser.parse_args()
    install = os.path.abspath(args.install)
    for program in ("logship", "launcher", "logship-cmd"):
        if not os.access(os.path.join(install, program), os.X_OK):
            print("%s is missing in %s" % (program, install))
            print("0 passed, 1 failed")
            return 1

    unmatched = [o for o in args.only if not any(o in title(fn) for fn in SCENARIOS)]
    if unmatched:
        print("no scenario title contains %s" % ", ".join(repr(o) for o in unmatched))
        print("0 passed, 1 failed")
        return 1

    passed = failed = skipped = 0
    started = time.monotonic()
    for fn in SCENARIOS:
        name = title(fn)
        if args.only and not any(o in name for o in args.only):
            continue
        t0 = time.monotonic()
        world = World(install, "".join(c if c.isalnum() else "-" for c in name)[:40],
                      args.artifacts)
        outcome, detail = "PASS", ""
        try:
            fn(world)
        except Skip as e:
            outcome, detail = "SKIP", str(e)
        except Failure as e:
            outcome, detail = "FAIL", str(e)
        except Exception:
            outcome, detail = "FAIL", traceback.format_exc()
        finally:
            world.close(outcome == "FAIL")
        passed += outcome == "PASS"
        failed += outcome == "FAIL"
        skipped += outcome == "SKIP"
        print("%s  %-62s %5.1f s%s" % (outcome, name, time.monotonic() - t0,
                                       "\n      " + detail if detail else ""), flush=True)
    print("acceptance took %.0f s" % (time.monotonic() - started))
    print("%d passed, %d failed%s" % (passed, failed, ", %d skipped" % skipped if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
