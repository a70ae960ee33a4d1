"""The run sequence: command line, file check, progress lines, and how
names show in them."""
import os
import pty
import re
import subprocess

from harness import BANNER, BULLET, PROGRAM_NAME, Case, clean_run

USAGE = (BULLET + b"error in command line!\r\n"
         + b"   usage: " + PROGRAM_NAME + b" <filename>\r\n" + b"   exiting...\r\n")


def not_found(name: bytes) -> bytes:
    return (BANNER + b"reading config... " + BULLET + b"[" + name + b"] NOT found!\r\n"
            + b"   aborting...\r\n")


# 298 bytes; cut at 255 it would name the file SHORT_NAMESAKE.
LONG_PATH = "d" * 200 + "/" + "e" * 90 + "/x.txt"
SHORT_NAMESAKE = LONG_PATH[:255]


def long_not_found(context):
    """A name too long for its line is shortened, marked "...", and the
    line keeps its ending."""
    start = b"~0C~" + BULLET + b"~07~["
    end = b"] ~0C~NOT~07~ found!\r\n"
    room = 255 - len(start) - len(end) - len(b"...")
    return not_found(LONG_PATH.encode()[:room] + b"...")


# With a space, so that Wine puts the name in quotes on the Windows command
# line, where control bytes would otherwise separate words.
ESCAPED_NAME = "x \x1b]0;title\x07.txt"
SHOWN_ESCAPED = b"x \\x1B]0;title\\x07.txt"


def terminal_output(context, args, env):
    """What a run shows with its output on a terminal."""
    leader, follower = pty.openpty()
    process = subprocess.Popen(context.runner + [str(context.program)] + args,
                               cwd=context.folder, env=env, stdin=subprocess.DEVNULL,
                               stdout=follower, stderr=subprocess.DEVNULL)
    os.close(follower)
    shown = b""
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:  # the terminal's other end is closed
            break
        if not chunk:
            break
        shown += chunk
    os.close(leader)
    process.wait(timeout=60)
    return shown


def on_terminal(context, code, out):
    """Runs the program again with its output on a terminal: the bullet
    and the escaped name are the same bytes there, between colour codes."""
    shown = terminal_output(context, [ESCAPED_NAME], context.env)
    problems = []
    for wanted in (BULLET.strip(), b"[" + SHOWN_ESCAPED + b"]", b"\x1b[0m"):
        if wanted not in shown:
            problems.append(f"on a terminal, {wanted!r} is missing from {shown!r}")
    if b"\x1b]" in shown or b"\x07" in shown:
        problems.append(f"on a terminal, the name's control bytes came through: {shown!r}")
    return problems


def colour_by_conventions(context, code, out):
    """On a terminal, a non-empty NO_COLOR or TERM=dumb turns the colour
    codes off, and only them."""
    bare = {name: value for name, value in context.env.items() if name != "NO_COLOR"}
    problems = []
    coloured = terminal_output(context, ["nothere.txt"], dict(bare, TERM="xterm"))
    plain = re.sub(rb"\x1b\[[0-9;]*m", b"", coloured)
    if plain == coloured:
        problems.append(f"no colour codes on a terminal: {coloured!r}")
    for changes, wanted in [({"NO_COLOR": "1", "TERM": "xterm"}, plain),
                            ({"TERM": "dumb"}, plain),
                            ({"NO_COLOR": "", "TERM": "xterm"}, coloured)]:
        shown = terminal_output(context, ["nothere.txt"], dict(bare, **changes))
        if shown != wanted:
            problems.append(f"with {changes}: {shown!r}, expected {wanted!r}")
    return problems


CASES = [
    Case("no argument", args=[], exit_code=2, stdout=BANNER + USAGE),
    Case("two arguments", args=["a", "b"], files={"a": b"x", "b": b"y"},
         exit_code=2, stdout=BANNER + USAGE, after={"a": b"x", "b": b"y"}),
    Case("missing file", args=["nothere.txt"], exit_code=3,
         stdout=not_found(b"nothere.txt")),
    Case("NO_COLOR and TERM=dumb keep a terminal's text without colour", platforms="linux",
         args=["nothere.txt"], exit_code=3, check=colour_by_conventions),
    Case("directory", args=["sub"], files={"sub/keep": b""}, exit_code=3,
         stdout=not_found(b"sub")),
    Case("tilde in a missing name shows the tilde", args=["a~0C~b"], exit_code=3,
         stdout=not_found(b"a~0C~b")),
    Case("a 298-byte path is used whole beside its 255-byte namesake", platforms="linux",
         args=[LONG_PATH], files={LONG_PATH: b"@PAD{LEFT|.|3|x}", SHORT_NAMESAKE: b"@PAD{LEFT|.|3|y}"},
         stdout=clean_run(LONG_PATH),
         after={LONG_PATH: b"..x\n", SHORT_NAMESAKE: b"@PAD{LEFT|.|3|y}"}),
    Case("a missing 298-byte path is shortened in its line, which keeps its end",
         args=[LONG_PATH], exit_code=3, stdout=long_not_found),
    Case("control bytes of a missing name are shown escaped", args=[ESCAPED_NAME],
         exit_code=3, stdout=not_found(SHOWN_ESCAPED)),
    Case("on a terminal the bullet and an escaped name are the same bytes", platforms="linux",
         args=[ESCAPED_NAME], exit_code=3, stdout=not_found(SHOWN_ESCAPED), check=on_terminal),
    Case("control bytes of a processed name are shown escaped", platforms="linux",
         args=[ESCAPED_NAME], files={ESCAPED_NAME: b"a\r\n"}, stdout=clean_run(SHOWN_ESCAPED),
         after={ESCAPED_NAME: b"a\r\n"}),
    Case("good file", files={"in.txt": b"hello\r\n"}, stdout=clean_run("in.txt"),
         after={"in.txt": b"hello\r\n"}),
    Case("tilde in a good name is written unchanged", args=["t~1~.txt"],
         files={"t~1~.txt": b"x\r\n"}, stdout=clean_run("t~1~.txt")),
]
