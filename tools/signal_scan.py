#!/usr/bin/env python3
"""Ends logship by a signal at a random moment of its drive scan, over and
over, and counts the runs that leave a file behind in the tool's folder
(hulp.hlp, direct.tmp, LOGSHIP.$$$) or a process of the command interpreter.

    signal_scan.py INSTALL_DIR [--runs N] [--drives N] [--files N]

The drives are slow ones: each of --drives letters maps to a folder of
--files entries, so that every "dir" takes a while after it has made
direct.tmp. The tool runs under SDL's dummy video driver (no X server
needed), every box answered No. The runs take TERM, INT, HUP and QUIT in
turn; each prints nothing unless it leaves something, and the last lines
give the count for each signal and in all."""

import argparse
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGQUIT)
LEFTOVERS = ("hulp.hlp", "direct.tmp", "logship.$$$")


def interpreters(app, parent=None):
    """Process ids of the install's logship-cmd processes that run, those
    of `parent` only when it is given."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.readlink("/proc/%s/exe" % entry) != os.path.join(app, "logship-cmd"):
                continue
            with open("/proc/%s/stat" % entry) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        if parent is None or ppid == parent:
            found.append(int(entry))
    return found


class Tool:
    def __init__(self, install, drives, files):
        self.root = tempfile.mkdtemp(prefix="logship-signal-scan-")
        self.app = os.path.join(self.root, "app")
        shutil.copytree(install, self.app, symlinks=True)
        with open(os.path.join(self.app, "contest.CBR"), "wb") as f:
            f.write(b"QSO: 3500 CW 2017-12-25 1000 PA0ABC 599 001\r\n")
        with open(os.path.join(self.app, "Intern.int"), "wb") as f:
            f.write(b"contest.CBR\r\nnext.sh\r\n")
        letters = [chr(c) for c in range(ord("D"), ord("Z") + 1)][:drives]
        table = ["C=" + self.root]
        for letter in letters:
            folder = os.path.join(self.root, "drive-" + letter)
            os.mkdir(folder)
            for i in range(files):
                open(os.path.join(folder, "F%05d.TXT" % i), "wb").close()
            table.append("%s=%s" % (letter, folder))
        self.env = dict(os.environ, LOGSHIP_DRIVES=";".join(table), SDL_VIDEODRIVER="dummy",
                        LOGSHIP_BOX_ANSWER="no")
        self.env.pop("LOGSHIP_BOX_LOG", None)
        self.before = sorted(os.listdir(self.app))

    def start(self):
        def no_core():
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        return subprocess.Popen([os.path.join(self.app, "logship")], cwd="/", env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True,
                                preexec_fn=no_core)

    def scan_seconds(self):
        """How long the scan takes: from the spawn until no interpreter has
        run for 300 ms after the first one."""
        proc = self.start()
        t0 = time.monotonic()
        seen = last = None
        while time.monotonic() - t0 < 30:
            if interpreters(self.app, proc.pid):
                last = time.monotonic()
                seen = seen or last
            elif seen and time.monotonic() - last > 0.3:
                break
            time.sleep(0.001)
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        self.clean()
        if not seen:
            raise SystemExit("the tool started no command interpreter")
        return last - t0

    def left(self):
        return [n for n in os.listdir(self.app) if n.lower() in LEFTOVERS]

    def clean(self):
        for name in self.left():
            os.unlink(os.path.join(self.app, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("install")
    parser.add_argument("--runs", type=int, default=300)
    parser.add_argument("--drives", type=int, default=22)
    parser.add_argument("--files", type=int, default=1500)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    tool = Tool(os.path.abspath(args.install), args.drives, args.files)
    try:
        span = tool.scan_seconds()
        print("scan of %d drives of %d files: %.0f ms from the spawn; signals at random "
              "moments up to then" % (args.drives, args.files, span * 1000), flush=True)
        runs = {s: 0 for s in SIGNALS}
        bad = {s: 0 for s in SIGNALS}
        for run in range(args.runs):
            sig = SIGNALS[run % len(SIGNALS)]
            at = rng.uniform(0, span)
            proc = tool.start()
            time.sleep(at)
            probing = bool(interpreters(tool.app, proc.pid))
            proc.send_signal(sig)
            try:
                status = proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                status = None
            runs[sig] += 1
            left = tool.left()
            stray = interpreters(tool.app)
            wrong_end = status != -sig
            if left or stray or wrong_end:
                bad[sig] += 1
                print("run %d: %s at %.0f ms%s: %s" % (
                    run + 1, signal.Signals(sig).name, at * 1000,
                    " (a probe running)" if probing else "",
                    "; ".join(filter(None, [
                        "left %s" % left if left else "",
                        "interpreter still running" if stray else "",
                        "ended with status %s" % status if wrong_end else ""]))), flush=True)
                for pid in stray:
                    os.kill(pid, signal.SIGKILL)
            tool.clean()
        for sig in SIGNALS:
            print("%-8s %3d of %3d runs left something" % (signal.Signals(sig).name, bad[sig],
                                                          runs[sig]))
        print("in all   %3d of %3d runs" % (sum(bad.values()), sum(runs.values())))
        return 1 if sum(bad.values()) else 0
    finally:
        shutil.rmtree(tool.root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
