#!/usr/bin/env python3
"""The demo without a desktop: drives one export in the X server that
DISPLAY names, as a user would, says each step and keeps a picture of each
screen it passes.

    demo_headless.py TOOL_FOLDER STICK_FOLDER SAMPLE PICTURES_FOLDER"""

import os
import subprocess
import sys
import threading

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "acceptance"))
from acceptance import (NAME_FIELD, STEP_TIMEOUT, START_TIMEOUT, Bg, Ink,  # noqa: E402
                        expect_screen, highlighted)
from xscreen import DARK_BLUE, find_window, park_pointer  # noqa: E402

NAME = "demo2"
COPY = "DEMO2.cbr"
FRAME = [Bg(9, 19, DARK_BLUE), Bg(17, 61, DARK_BLUE)]   # the export screen's blue frame


class Glyph(Ink):
    """Some glyph in the cell, whatever its colour."""
    def __init__(self, row, col):
        super().__init__(row, col, None)

    def test(self, cells):
        return cells.ink(self.row, self.col) is not None, "row %d col %d a glyph" % (
            self.row, self.col)


def main():
    tool, stick, sample, pictures = sys.argv[1:5]
    os.makedirs(pictures, exist_ok=True)
    shown = []

    def keep(window, name, cells=None):
        path = os.path.join(pictures, name)
        if cells is None:
            window.save_png(path)
        else:
            cells.image.png(path, window.x, window.y, window.width, window.height)
        shown.append(path)

    park_pointer()
    # A pipe, not a file: it ends once the next program, which inherits it,
    # has ended too.
    proc = subprocess.Popen([os.path.join(tool, "logship")], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    said = []
    reader = threading.Thread(target=lambda: said.append(proc.stdout.read()))
    reader.start()

    print("1. logship starts; its menu lists the drives C, E and F.", flush=True)
    window = find_window(START_TIMEOUT)
    keep(window, "1-menu.png", expect_screen(window, highlighted(1, 3), "the menu", START_TIMEOUT))

    print("2. Down: the highlight moves to E, the first stick.", flush=True)
    window.key("Down")
    keep(window, "2-menu-E.png", expect_screen(window, highlighted(2, 3), "the highlight on E"))

    print("3. Enter: the export screen asks for a file name.", flush=True)
    window.key("Return")
    keep(window, "3-name-field.png", expect_screen(window, NAME_FIELD + FRAME, "the name field"))

    print("4. Typing \"%s\"; the field shows it in capitals." % NAME, flush=True)
    window.type_text(NAME)
    typed = [Glyph(14, 42 + i) for i in range(len(NAME))]
    keep(window, "4-name-typed.png", expect_screen(window, NAME_FIELD + typed, "the typed name"))

    print("5. Enter: logship copies the log to E:\\%s, starts the next program and ends;"
          " the last picture is the screen just before its window closed." % COPY, flush=True)
    # The tool ends within milliseconds of the key: shots from before it on.
    last = []
    shooting = threading.Event()

    def shoot():
        while proc.poll() is None:
            try:
                cells = window.shot()
            except subprocess.CalledProcessError:
                continue        # the window went while xwd read it
            if all(c.test(cells)[0] for c in FRAME):
                last[:] = [cells]
                shooting.set()
    shooter = threading.Thread(target=shoot)
    shooter.start()
    shooting.wait(STEP_TIMEOUT)
    window.key("Return")
    try:
        proc.wait(STEP_TIMEOUT)
    except subprocess.TimeoutExpired:
        proc.kill()
        print("logship still runs %d s after the last Enter" % STEP_TIMEOUT)
        return 1
    finally:
        shooter.join()
    if last:
        keep(window, "5-end.png", last[0])
    reader.join(STEP_TIMEOUT)

    print("\nWhat the next program printed:")
    print(b"".join(said).decode("utf-8", "replace").rstrip())
    copy = os.path.join(stick, COPY)
    same = os.path.exists(copy) and subprocess.run(["cmp", sample, copy]).returncode == 0
    print("\ncmp %s %s: %s" % (sample, copy, "the same bytes" if same else "DIFFERENT"))
    print("Pictures of the screens:\n  " + "\n  ".join(shown))
    return 0 if same and proc.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
