"""@CurrentSong: the song framed by Prefix and Suffix, or NoWamp.

Under Wine, with a real window of the player's class (player_window.py): the
title cleaned from its caption. Both run under the C locale, so that Wine's
ANSI and OEM code pages are 1252 and 437.

On Linux, with real players on a private session bus: "Artists - Title" from
the player that plays. tests/tools/mpris_player is the player.
"""
import dataclasses
import os
import socket
import subprocess
import time
from typing import Optional

from harness import Case, clean_run
from player_window import player_window
from session_bus import session_bus

CTL = b'NoWamp none\r\nPrefix "<< "\r\nSuffix " >>"\r\n'


@dataclasses.dataclass
class PlayerCase(Case):
    """caption: the window's caption; None for no player window."""
    caption: Optional[str] = None

    def run(self, context):
        env = dict(os.environ, LC_ALL="C.UTF-8")

        def run_in_locale(args, timeout=60):
            command = list(context.runner) + [str(context.program)] + list(args)
            result = subprocess.run(command, cwd=context.folder, env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=timeout)
            return result.returncode, result.stdout

        context.run = run_in_locale
        if self.caption is None:
            return super().run(context)
        with player_window(context, env, self.caption) as problem:
            return [problem] if problem else super().run(context)


def song(name, caption, value: bytes):
    return PlayerCase(f"song: {name}", platforms="wine", caption=caption, ctl=CTL,
                      files={"in.txt": b"[@CurrentSong]\r\n"}, stdout=clean_run("in.txt"),
                      after={"in.txt": b"[" + value + b"]\r\n"})


CASES = [
    song("no player window", None, b"none"),
    song("the player's own name", "Winamp 2.91", b"none"),
    song("an empty caption", "", b"none"),
    song("artist and song", "12. Artist - Song - Winamp", b"<< Artist - Song >>"),
    song("song only", "3. Song - Winamp", b"<< Song >>"),
    song("no trailing name", "3. Song", b"<< Song >>"),
    song("full stops in the title", "3. A.B.C - Winamp", b"<< A.B.C >>"),
    song("the character after the full stop is dropped", "1.Song - Winamp", b"<< ong >>"),
    song("no full stop", "Artist - Song", b"none"),
    song("the name test minds letter case", "WINAMP 5. Song - Winamp", b"<< Song >>"),
    # e acute and N tilde: 0xE9 and 0xD1 in code page 1252, 0x82 and 0xA5 in 437.
    song("the caption comes in the OEM code page", "3. Caf\u00e9 \u00d1 - Winamp",
         b"<< Caf\x82 \xa5 >>"),
    # i grave is 0x8D in code page 437, the byte of the Cyrillic EN in 866.
    song("look-alike bytes become Latin", "3. P\u00ecano - Winamp", b"<< PHano >>"),
]


@dataclasses.dataclass
class BusCase(Case):
    """players: mpris_player argument lists, started in this order.
    bus: how the program finds the bus: "address" (DBUS_SESSION_BUS_ADDRESS),
    "runtime dir" (only $XDG_RUNTIME_DIR/bus), "none" (neither is set) or
    "mute" (an address where connections are taken but never answered)
    seconds: the longest the run may take, when it matters."""
    players: list = dataclasses.field(default_factory=list)
    bus: str = "address"
    seconds: Optional[float] = None

    def run(self, context):
        player_tool = context.build_dir / "tests" / "tools" / "mpris_player"
        with session_bus(context.folder, player_tool, self.players) as address, \
                socket.socket(socket.AF_UNIX) as mute:
            mute.bind(str(context.path("mute")))
            mute.listen(8)
            bare = context.env
            context.bus_env = dict(bare, DBUS_SESSION_BUS_ADDRESS=address)
            context.env = {
                "address": context.bus_env,
                "runtime dir": dict(bare, XDG_RUNTIME_DIR=str(context.folder)),
                "none": bare,
                "mute": dict(bare, DBUS_SESSION_BUS_ADDRESS=f"unix:path={context.path('mute')}"),
            }[self.bus]
            _time_runs(context)
            problems = super().run(context)
            if self.seconds is not None and context.took > self.seconds:
                problems.append(f"the run took {context.took:.2f} s")
            return problems


def _time_runs(context):
    """Keeps the time the last run took in context.took."""
    untimed_run = context.run

    def timed_run(args, timeout=60):
        start = time.monotonic()
        result = untimed_run(args, timeout)
        context.took = time.monotonic() - start
        return result
    context.run = timed_run


def playerctl_agrees(text: bytes):
    """An independent client reads the same song from the same bus."""
    def check(context, code, out):
        result = subprocess.run(["playerctl", "metadata", "--format", "{{artist}} - {{title}}"],
                                env=context.bus_env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        got = result.stdout.rstrip(b"\n")
        return [] if got == text else [f"playerctl says {got!r}, expected {text!r}"]
    return check


def bus_song(name, players, value: bytes, **options):
    return BusCase(f"song: {name}", platforms="linux", tools=("mpris_player",), ctl=CTL,
                   files={"in.txt": b"[@CurrentSong]\r\n"}, stdout=clean_run("in.txt"),
                   after={"in.txt": b"[" + value + b"]\r\n"}, players=players, **options)


def player(name, status, title=None, artists=(), silent=False):
    arguments = [name, status]
    if title is not None:
        arguments += ["--title", title]
    for artist in artists:
        arguments += ["--artist", artist]
    return arguments + (["--silent"] if silent else [])


CYRILLIC = "Кино - Звезда по имени Солнце, поэма"  # "э" holds the byte 0x8D
LONG_TITLE = "a" + "ж" * 199 + "z"  # 400 bytes: cuts would fall inside a letter

CASES += [
    bus_song("no player on the bus", [], b"none"),
    bus_song("one player playing", [player("one", "Playing", "Song", ["Artist"])],
             b"<< Artist - Song >>", check=playerctl_agrees(b"Artist - Song")),
    bus_song("a paused player", [player("one", "Paused", "Song", ["Artist"])],
             b"<< Artist - Song >>"),
    bus_song("a stopped player with a title", [player("one", "Stopped", "Song", ["Artist"])],
             b"<< Artist - Song >>"),
    bus_song("playing beats paused, paused registered first",
             [player("aaa", "Paused", "Calm"), player("zzz", "Playing", "Loud")], b"<< Loud >>"),
    bus_song("playing beats paused, playing registered first",
             [player("zzz", "Playing", "Loud"), player("aaa", "Paused", "Calm")], b"<< Loud >>"),
    bus_song("paused beats stopped",
             [player("aaa", "Stopped", "Calm"), player("zzz", "Paused", "Loud")], b"<< Loud >>"),
    bus_song("two playing: the first name in byte order",
             [player("b", "Playing", "Second"), player("B", "Playing", "First")],
             b"<< First >>"),
    bus_song("a player without a title does not count",
             [player("aaa", "Playing", artists=["Nobody"]), player("zzz", "Stopped", "Song")],
             b"<< Song >>"),
    bus_song("no artist", [player("one", "Playing", "Song")], b"<< Song >>"),
    bus_song("two artists", [player("one", "Playing", "Song", ["One", "Two"])],
             b"<< One, Two - Song >>"),
    bus_song("a Cyrillic UTF-8 title", [player("one", "Playing", CYRILLIC, ["Группа"])],
             ("<< Группа - " + CYRILLIC + " >>").encode()),
    bus_song("a title with a dash inside", [player("one", "Playing", "B - C", ["A"])],
             b"<< A - B - C >>"),
    bus_song("control characters become spaces",
             [player("one", "Playing", "Line\nfeed\ttab\rreturn", ["A\x1fB"])],
             b"<< A B - Line feed tab return >>"),
    bus_song("a 400-byte title is cut between letters", [player("one", "Playing", LONG_TITLE)],
             ("<< a" + "ж" * 125 + " ").encode()),
    bus_song("a player that never answers", [player("one", "Playing", silent=True)], b"none",
             seconds=1.0),
    bus_song("a player that never answers does not hold up the others",
             [player("aaa", "Playing", silent=True), player("zzz", "Paused", "Song")],
             b"<< Song >>", seconds=1.0),
    bus_song("no bus address at all", [player("one", "Playing", "Song")], b"none", bus="none",
             seconds=1.0),
    bus_song("a bus that never answers", [player("one", "Playing", "Song")], b"none",
             bus="mute", seconds=1.0),
    bus_song("the bus in the runtime folder", [player("one", "Playing", "Song")], b"<< Song >>",
             bus="runtime dir"),
]
