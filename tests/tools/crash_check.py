#!/usr/bin/env python3
"""Kills the program at random moments while it rewrites a large file, and
checks that the file always ends as exactly the original or exactly the new
content.

    crash_check.py --program PATH [--runner WORD ...] [--kills N]
                   [--signals KILL,TERM] [--megabytes M] [--power-cuts N]

SIGKILL: after each kill, one more plain run recovers the file if the kill
left a journal; the file must then be the new content (or, with no journal
left, already the original or the new content). SIGTERM: the request waits
for the write, so the file must be the original or the new content at once,
with no journal left.

The moments are spread over the run: anywhere from the start (mostly the
reading and evaluation); from the moment the journal appears (its writing,
then the file's); and, in a test build on Linux, from the moment the run is
released from its pause point just before the file is written (writing,
truncation, flush, removal of the journal). Prints how the kills landed.

--power-cuts N (root, Linux, loop devices): N times, a small template on an
ext4 image is rewritten, the image is copied as the disk holds it right after
"done!" (a power cut: nothing the run did not flush is on the copy), and a
run on the copy must find the rewritten file and never put older bytes back.
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
    """Long lines with LF ends but the first, which ends with CR LF: the
    rewrite turns every one into CR LF, on either build."""
    rng = random.Random(7)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"epsilon"]
    lines, size, i = [], 0, 0
    while size < megabytes * 1_000_000:
        end = b"\r\n" if i == 0 else b"\n"
        line = b"%07d " % i + b" ".join(rng.choice(words) for _ in range(150)) + end
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


def wait_for_journal(r, process):
    while not r.journal.exists() and process.poll() is None:
        time.sleep(0.0005)


def measure(r, original):
    """Seconds of a clean run: to the end, from the journal's appearance to
    the end, and from the pause point to the end."""
    r.file.write_bytes(original)
    start = time.monotonic()
    process = r.start(pause=False)
    wait_for_journal(r, process)
    journal = time.monotonic()
    process.wait(timeout=600)
    whole, from_journal = time.monotonic() - start, time.monotonic() - journal
    if not r.hooks:
        return whole, from_journal, 0.0
    r.file.write_bytes(original)
    process = r.start(pause=True)
    r.release()
    paused = time.monotonic()
    process.wait(timeout=600)
    return whole, from_journal, time.monotonic() - paused


def one_kill(r, original, new, signal_number, stratum, times):
    """Returns (how it landed, problem or None)."""
    whole, from_journal, from_pause = times
    r.file.write_bytes(original)
    if stratum == "write":
        process = r.start(pause=True)
        r.release()
        time.sleep(random.uniform(0, from_pause * 1.2))
    elif stratum == "journal":
        process = r.start(pause=False)
        wait_for_journal(r, process)
        time.sleep(random.uniform(0, from_journal * 1.2))
    else:
        process = r.start(pause=False)
        time.sleep(random.uniform(0, whole))
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


def power_cuts(program, count):
    """Returns the number of failed cuts."""
    template = b"Up @PAD{LEFT|0|6|42} days\n" * 40
    failed = 0
    with tempfile.TemporaryDirectory(prefix="kelmora-cut-") as scratch:
        scratch = pathlib.Path(scratch)
        image, copy = scratch / "disk.img", scratch / "cut.img"
        live, after = scratch / "live", scratch / "after"
        live.mkdir()
        after.mkdir()
        for folder in (live, after):
            shutil.copy2(program, folder.parent / program.name)
        (scratch / "kelmora.ctl").write_bytes(b"")
        with open(image, "wb") as disk:
            disk.truncate(64 << 20)
        subprocess.run(["mkfs.ext4", "-q", str(image)], check=True)
        subprocess.run(["mount", "-o", "loop", str(image), str(live)], check=True)
        try:
            for cut in range(count):
                (live / "sig.txt").write_bytes(template)
                os.sync()
                run = [str(scratch / program.name), "sig.txt"]
                subprocess.run(run, cwd=live, check=True, stdout=subprocess.DEVNULL)
                filled = (live / "sig.txt").read_bytes()
                # The image as the loop device has written it: the power cut.
                shutil.copyfile(image, copy)
                subprocess.run(["mount", "-o", "loop", str(copy), str(after)], check=True)
                try:
                    out = subprocess.run(run, cwd=after, stdout=subprocess.PIPE).stdout
                    if b"restored" in out or (after / "sig.txt").read_bytes() != filled:
                        failed += 1
                        print(f"FAIL power cut #{cut + 1}: the run after it put older bytes back")
                finally:
                    subprocess.run(["umount", str(after)], check=True)
        finally:
            subprocess.run(["umount", str(live)], check=True)
    print(f"power cuts: {count}, {failed} failed")
    return failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--kills", type=int, default=10, help="kills per signal")
    parser.add_argument("--signals", default="KILL,TERM")
    parser.add_argument("--megabytes", type=float, default=20)
    parser.add_argument("--power-cuts", type=int, default=0)
    args = parser.parse_args()

    if args.power_cuts:
        return 1 if power_cuts(pathlib.Path(args.program).resolve(), args.power_cuts) else 0
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
        times = measure(r, original)
        print(f"{len(original)} bytes; a run takes {times[0]:.2f} s, {times[1]:.3f} s of it "
              f"from the journal's appearance, {times[2]:.3f} s from the pause point")
        strata = ["anywhere", "journal", "write"] if r.hooks else ["anywhere", "journal"]
        for name in args.signals.split(","):
            signal_number = getattr(signal, "SIG" + name)
            landed = collections.Counter()
            for i in range(args.kills):
                stratum = strata[i % len(strata)]
                how, problem = one_kill(r, original, new, signal_number, stratum, times)
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
