"""@CurrentSong under Wine, with a real window of the player's class: the
title cleaned from its caption and framed by Prefix and Suffix, or NoWamp.

tests/tools/player_window.exe shows the window (Wine's null graphics driver
creates it without a display) for as long as kelmora.exe runs. Both run
under the C locale, so that Wine's ANSI and OEM code pages are 1252 and 437.
"""
import dataclasses
import os
import select
import shutil
import subprocess
from typing import Optional

from harness import Case, clean_run

CTL = b'NoWamp none\r\nPrefix "<< "\r\nSuffix " >>"\r\n'
STOP_FILE = "stop.flag"


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
        tool = context.path("player_window.exe")
        shutil.copy2(context.build_dir / "tests" / "tools" / "player_window.exe", tool)
        player = subprocess.Popen(list(context.runner) + [str(tool), self.caption, STOP_FILE],
                                  cwd=context.folder, env=env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            ready, _, _ = select.select([player.stdout], [], [], 60)
            line = player.stdout.readline() if ready else b""
            if line.strip() != b"ready":
                return [f"player_window did not show its window: {line!r}, exit {player.poll()}"]
            return super().run(context)
        finally:
            context.path(STOP_FILE).touch()
            try:
                player.wait(timeout=30)
            except subprocess.TimeoutExpired:
                player.kill()
                player.wait()


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
