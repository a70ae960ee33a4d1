"""--follow: the output follows the song, the files and the counter.

On Linux each case drives a followed run on a private bus with controllable
test players (tests/tools/mpris_player --control); under Wine the stand-in
player window changes its caption. Waiting for the output polls its bytes
with a deadline; the counter moves by a test clock file, not by sleeping.
"""
import dataclasses
import os
import select
import signal
import subprocess
import time
from typing import Callable, Optional

from harness import BULLET, Case, own_line_ends
from player_window import STOP_FILE, player_window
from session_bus import PrivateBus, command

CTL = b'NoWamp none\r\nPrefix "<< "\r\nSuffix " >>"\r\n'
SONG = b"[@CurrentSong]\r\n"


def song_line(title: bytes) -> bytes:
    return b"[<< " + title + b" >>]\r\n" if title != b"none" else b"[none]\r\n"


class Follower:
    """A followed run in the background, and what it left."""

    def __init__(self, context, args, env):
        self.context = context
        self.process = subprocess.Popen(
            list(context.runner) + [str(context.program), "--follow"] + list(args),
            cwd=context.folder, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE)

    def wait_for(self, name, data: Optional[bytes], seconds=15):
        """Until file `name` holds `data` (None: is gone); the problem if not."""
        deadline = time.monotonic() + seconds
        while True:
            path = self.context.path(name)
            got = path.read_bytes() if path.is_file() else None
            if got == data:
                return []
            if self.process.poll() is not None or time.monotonic() >= deadline:
                break
            time.sleep(0.02)
        return [f"{name} holds {got!r}, expected {data!r} (exit {self.process.poll()})"]

    def stop(self, how=signal.SIGTERM):
        """Sends a stop request (0: none); its messages (standard error with
        -o -, standard output otherwise) and the problems."""
        if self.process.poll() is None:
            self.process.send_signal(how)
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return b"", ["the run did not stop"]
        out, err = self.process.stdout.read(), self.process.stderr.read()
        problems = [] if self.process.returncode == 0 else [f"exit {self.process.returncode}"]
        left = [p.name for p in self.context.folder.iterdir() if "kelmora-journal" in p.name]
        if left:
            problems.append(f"left beside the output: {left}")
        return (err if "-" in self.process.args else out), problems

    def stop_having_said(self, said: bytes):
        """stop(), and the problems, also when its messages were not exactly
        `said` (written with CR LF), once."""
        messages, problems = self.stop()
        said = own_line_ends(said)
        if messages != said:
            problems.append(f"messages {messages!r}, expected {said!r} once")
        return problems


@dataclasses.dataclass
class FollowCase(Case):
    """script(context, bus, env) -> problems drives the run; bus is a
    started PrivateBus (Linux)."""
    script: Optional[Callable] = None

    def run(self, context):
        if self.ctl is not None:
            context.write("kelmora.ctl", self.ctl)
        for name, data in self.files.items():
            context.write(name, data)
        tool = context.build_dir / "tests" / "tools" / "mpris_player"
        bus = PrivateBus(context.folder, tool)
        try:
            bus.start()
            # Without the daemon's guid, as a user's systemd bus is named:
            # the daemon started again answers at the same address.
            env = dict(context.env, DBUS_SESSION_BUS_ADDRESS=f"unix:path={context.folder / 'bus'}")
            return self.script(context, bus, env)
        finally:
            bus.close()


def follow_case(name, script, files=None, ctl=CTL):
    return FollowCase(f"follow: {name}", platforms="linux", tools=("mpris_player",), ctl=ctl,
                      files=files or {"in.txt": SONG}, script=script)


def players_come_and_go(context, bus, env):
    calm = bus.add_player(["aaa", "Paused", "--title", "Calm"])
    loud = bus.add_player(["zzz", "Playing", "--title", "Loud"], control=True)
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
    problems = run.wait_for("out.txt", song_line(b"Loud"))
    command(loud, "title Louder")  # a track change
    problems += run.wait_for("out.txt", song_line(b"Louder"))
    command(loud, "status Paused")  # both paused: the first name in byte order
    problems += run.wait_for("out.txt", song_line(b"Calm"))
    bus.stop_player(calm)  # a player quits
    problems += run.wait_for("out.txt", song_line(b"Louder"))
    bus.stop_player(loud)
    problems += run.wait_for("out.txt", song_line(b"none"))
    bus.add_player(["new", "Playing", "--title", "Fresh"])  # a second player starts
    problems += run.wait_for("out.txt", song_line(b"Fresh"))
    err, stopped = run.stop()
    problems += stopped
    if err:
        problems.append(f"-q printed {err!r}")
    return problems + ([] if context.read("in.txt") == SONG else ["the template changed"])


def bus_goes_and_comes_back(context, bus, env):
    bus.add_player(["one", "Playing", "--title", "One"])
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
    problems = run.wait_for("out.txt", song_line(b"One"))
    bus.stop()
    problems += run.wait_for("out.txt", song_line(b"none"))
    bus.start()
    bus.add_player(["two", "Playing", "--title", "Back"])
    problems += run.wait_for("out.txt", song_line(b"Back"))
    return problems + run.stop_having_said(
        BULLET + b"the session bus went away: no song until it is back\r\n")


def template_edited_removed_restored(context, bus, env):
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
    problems = run.wait_for("out.txt", b"[none]\r\n")
    context.write("in.txt", b"@PAD{LEFT|.|4|a}\r\n")  # written in place
    problems += run.wait_for("out.txt", b"...a\r\n")
    context.write("in.new", b"@PAD{LEFT|.|4|b}\r\n")  # an editor's save: a replacement
    os.replace(context.path("in.new"), context.path("in.txt"))
    problems += run.wait_for("out.txt", b"...b\r\n")
    os.remove(context.path("in.txt"))
    context.write("kelmora.ctl", CTL + b"Suffix !\r\n")  # a wake while it is away
    time.sleep(0.3)
    problems += run.wait_for("out.txt", b"...b\r\n")  # kept
    context.write("in.txt", b"x @CurrentSong\r\n")
    problems += run.wait_for("out.txt", b"x none\r\n")
    return problems + run.stop_having_said(BULLET + b"[in.txt] NOT found!\r\n")


def unwritable_output(context, bus, env):
    context.path("out.txt").mkdir()
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
    time.sleep(0.5)
    context.write("in.txt", b"second\r\n")  # fails again, said no more
    time.sleep(0.5)
    context.path("out.txt").rmdir()
    context.write("in.txt", b"third\r\n")  # the next change writes it
    problems = run.wait_for("out.txt", b"third\r\n")
    return problems + run.stop_having_said(
        BULLET + b"[out.txt] NOT rewritten!\r\n   Is a directory\r\n")


def stop_during_a_write(context, bus, env):
    """SIGTERM while the first write stands at the test build's pause point:
    the write is completed, then the run ends with 0 and no journal."""
    fifo = context.path("pause")
    os.mkfifo(fifo)
    context.write("out.txt", b"an older and longer text\r\n")
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"],
                   dict(env, KELMORA_TEST_PAUSE=str(fifo)))
    problems = []
    deadline = time.monotonic() + 15
    while not context.path("out.txt.kelmora-journal").exists() and time.monotonic() < deadline:
        time.sleep(0.02)
    run.process.send_signal(signal.SIGTERM)
    time.sleep(0.2)
    if run.process.poll() is not None:
        problems.append("ended in the middle of a write")
    with open(fifo, "wb"):
        pass
    err, stopped = run.stop(how=0)
    problems += stopped + ([] if context.read("out.txt") == b"[none]\r\n"
                          else [f"out.txt holds {context.read('out.txt')!r}"])
    return problems


def standard_output_line_by_line(context, bus, env):
    loud = bus.add_player(["one", "Playing", "--title", "One"], control=True)
    run = Follower(context, ["in.txt", "-o", "-"], env)
    problems = []
    for title in (b"One", b"Two", b"Three"):
        if title != b"One":
            command(loud, "title " + title.decode())
        ready, _, _ = select.select([run.process.stdout], [], [], 15)
        line = run.process.stdout.readline() if ready else b""
        if line != song_line(title):
            problems.append(f"line {line!r}, expected {song_line(title)!r}")
    command(loud, "status Paused")  # the same text: no line
    command(loud, "title Four")
    line = run.process.stdout.readline()
    if line != song_line(b"Four"):
        problems.append(f"after a pause, line {line!r}")
    err, stopped = run.stop(how=signal.SIGINT)
    if not err.endswith(own_line_ends(b"into [-]... done!\r\n")):
        problems.append(f"standard error {err!r}")
    return problems + stopped


def set_clock(context, text: bytes):
    """The test clock moves at once: its new file replaces the old one."""
    context.write("clock.new", text)
    os.replace(context.path("clock.new"), context.path("clock"))


def counter_by_test_clock(context, bus, env):
    """The counter moves only when the clock passes into the next minute."""
    set_clock(context, b"2024 1 1 0 0 0")
    env = dict(env, KELMORA_TEST_CLOCK=str(context.path("clock")))
    run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
    problems = run.wait_for("out.txt", b"0\r\n")
    set_clock(context, b"2024 1 1 0 0 59")
    time.sleep(0.3)
    problems += run.wait_for("out.txt", b"0\r\n", seconds=0)
    written = os.stat(context.path("out.txt")).st_mtime_ns
    set_clock(context, b"2024 1 1 0 1 0")
    problems += run.wait_for("out.txt", b"1\r\n")
    set_clock(context, b"2024 1 1 0 2 30")
    problems += run.wait_for("out.txt", b"2\r\n")
    if written == os.stat(context.path("out.txt")).st_mtime_ns:
        problems.append("out.txt not written")
    return problems + run.stop()[1]


def caption_follows(context):
    """Under Wine: the stand-in player window changes its caption, and the
    followed OUTPUT changes with it."""
    context.write("kelmora.ctl", CTL)
    context.write("in.txt", SONG)
    env = dict(os.environ, LC_ALL="C.UTF-8")
    with player_window(context, env, "1. One - Winamp", "caption.txt") as problem:
        if problem:
            return [problem]
        run = Follower(context, ["-q", "in.txt", "-o", "out.txt"], env)
        try:
            problems = run.wait_for("out.txt", song_line(b"One"), seconds=60)
            context.write("caption.txt", b"2. Two - Winamp")
            problems += run.wait_for("out.txt", song_line(b"Two"), seconds=30)
            context.path(STOP_FILE).touch()  # the window goes: no song
            problems += run.wait_for("out.txt", song_line(b"none"), seconds=30)
            return problems
        finally:
            run.process.kill()
            run.process.wait()


@dataclasses.dataclass
class WineFollowCase(Case):
    def run(self, context):
        return caption_follows(context)


CLOCK_CTL = b"BirthDate 1/1/2024\r\nBirthTime 0:0:0\r\nTimeCount min\r\nTimeFormat dec\r\n"

CASES = [
    follow_case("a track change, a pause, a player quitting, a second player starting",
                players_come_and_go),
    follow_case("the bus goes away and comes back", bus_goes_and_comes_back),
    follow_case("the template edited, replaced, removed and restored",
                template_edited_removed_restored),
    follow_case("an OUTPUT that cannot be written for a while", unwritable_output,
                files={"in.txt": b"first\r\n"}),
    follow_case("SIGTERM during a write", stop_during_a_write),
    follow_case("-o - read line by line", standard_output_line_by_line),
    follow_case("the counter ticks by the test clock", counter_by_test_clock,
                files={"in.txt": b"@BirthTime\r\n"}, ctl=CLOCK_CTL),
    WineFollowCase("follow: the player window's caption changes, and OUTPUT with it",
                   platforms="wine", tools=("player_window.exe",)),
]
