#!/usr/bin/env python3
"""Kills the program at random moments while it rewrites a large file, and
checks that the file always ends as exactly the original or exactly the new
content.

    crash_check.py --program PATH [--runner WORD ...] [--kills N]
                   [--signals KILL,TERM] [--megabytes M]

SIGKILL: after each kill, one more plain run recovers the file if the kill
left a journal; the file must then be the new content (or, with no journal
left, already the original or the new content). SIGTERM: the request waits
for the write, so the file must be the original or the new content at once,
with no journal left.

The moments are spread over the run: a third anywhere from the start, a third
just before the file is written (reading, the journal), and a third after
it is released from the test build's pause point (writing, truncation, flush,
removal of the journal). Under Wine there is no pause point, so every moment
is taken anywhere from the start. Prints how the kills landed.
"""
import argparse
import collections
import os
import pathlib
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

JOURNAL_SUFFIX = ".kelmora-journal"


def make_template(megabytes):
    """Long lines with LF ends: the rewrite turns every one into CR LF."""
    rng = random.Random(7)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"epsilon"]
    lines, size, i = [], 0, 0
    while size < megabytes * 1_000_000:
        line = b"%07d " % i + b" ".join(rng.choice(words) for _ in range(150)) + b"\n"
        lines.append(line)
        size += len(line)
        i += 1
    return b"".join(lines)


class Runner:
    def __init__(self, folder, program, runner):
        self.folder = folder
        self.program = folder / program.name
        shutil.copy2(program, self.program)
        (folder / "kelmora.ctl").write_bytes(b"")
        self.runner = list(runner)
        self.file = folder / "in.txt"
        self.journal = folder / ("in.txt" + JOURNAL_SUFFIX)
        self.fifo = folder / "pause"
        self.hooks = not self.program.name.lower().endswith(".exe")
        if self.hooks:
            os.mkfifo(self.fifo)

    def start(self, pause):
        env = dict(os.environ)
        env.pop("KELMORA_TEST_PAUSE", None)
        if pause:
            env["KELMORA_TEST_PAUSE"] = str(self.fifo)
        return subprocess.Popen(self.runner + [str(self.program), "in.txt"], cwd=self.folder,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=env, start_new_session=True)

    def release(self):
        """Waits until the run stands at its pause point, then lets it go on."""
        with open(self.fifo, "wb"):
            pass

    def run(self):
        code = self.start(pause=False).wait(timeout=600)
        if code != 0:
            raise RuntimeError(f"a plain run ended with {code}")


def kill(process, signal_number):
    try:
        os.killpg(process.pid, signal_number)
    except ProcessLookupError:
        pass
    process.wait(timeout=600)


def measure(r, original):
    """Seconds until the pause point and from it to the end, of a clean run."""
    r.file.write_bytes(original)
    start = time.monotonic()
    if not r.hooks:
        r.run()
        return time.monotonic() - start, 0.0
    process = r.start(pause=True)
    r.release()
    paused = time.monotonic()
    process.wait(timeout=600)
    return paused - start, time.monotonic() - paused


def one_kill(r, original, new, signal_number, stratum, to_pause, after_pause):
    """Returns (how it landed, problem or None)."""
    r.file.write_bytes(original)
    if stratum == "write":
        process = r.start(pause=True)
        r.release()
        time.sleep(random.uniform(0, after_pause * 1.2))
    else:
        process = r.start(pause=False)
        low = 0.8 * to_pause if stratum == "journal" else 0.0
        time.sleep(random.uniform(low, to_pause + after_pause))
    kill(process, signal_number)
    left = r.file.read_bytes()
    state = "original" if left == original else "new" if left == new else "torn"
    journal = r.journal.exists()
    landed = f"{state}{' + journal' if journal else ''}"
    if signal_number == signal.SIGTERM:
        if state == "torn" or journal:
            return landed, f"SIGTERM left the file {landed}"
        return landed, None
    if state == "torn" and not journal:
        return landed, "the file is torn and there is no journal"
    if journal:
        r.run()
        if r.file.read_bytes() != new:
            return landed, "the run after the kill did not end with the new content"
        if r.journal.exists():
            return landed, "the run after the kill left the journal"
    return landed, None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--kills", type=int, default=10, help="kills per signal")
    parser.add_argument("--signals", default="KILL,TERM")
    parser.add_argument("--megabytes", type=int, default=20)
    args = parser.parse_args()

    original = make_template(args.megabytes)
    failed = 0
    with tempfile.TemporaryDirectory(prefix="kelmora-crash-") as scratch:
        r = Runner(pathlib.Path(scratch), pathlib.Path(args.program).resolve(), args.runner)
        r.file.write_bytes(original)
        r.run()
        new = r.file.read_bytes()
        if new == original:
            print("FAIL the rewrite does not change the template")
            return 1
        to_pause, after_pause = measure(r, original)
        print(f"{len(original)} bytes; {to_pause:.2f} s to the write, {after_pause:.3f} s after")
        strata = ["anywhere", "journal", "write"] if r.hooks else ["anywhere"]
        for name in args.signals.split(","):
            signal_number = getattr(signal, "SIG" + name)
            landed = collections.Counter()
            for i in range(args.kills):
                stratum = strata[i % len(strata)]
                how, problem = one_kill(r, original, new, signal_number, stratum,
                                        to_pause, after_pause)
                landed[how] += 1
                if problem:
                    failed += 1
                    print(f"FAIL SIG{name} #{i + 1} ({stratum}): {problem}")
            print(f"SIG{name}: {args.kills} kills; landed: "
                  + ", ".join(f"{k} {v}" for k, v in sorted(landed.items())))
    print(f"{failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
