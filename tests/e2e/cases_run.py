"""The run sequence: command line, file check, progress lines, and how
names show in them."""
import os
import pty
import re
import stat
import subprocess

from harness import BANNER, BULLET, PROGRAM_NAME, Case, clean_run, own_line_ends
from settings_file import settings_path

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


# Long enough to take more than half a second on the checked builds.
SLOW_TEMPLATE = b"@PAD{LEFT|.|8|x}\n" * 300000


def progress_on_terminal(context, code, out):
    """The case's own run, into a pipe, showed no percentage. On a terminal
    the "processing" line shows one after half a second, redrawn after a
    carriage return, and erased before "done!"."""
    context.write("in.txt", SLOW_TEMPLATE)
    shown = terminal_output(context, ["in.txt"], context.env)
    line = b"\rprocessing [in.txt]... "
    figures = re.findall(re.escape(line) + rb"(\d{1,3})%", shown)
    problems = [] if figures else [f"no percentage on a terminal: {shown[-300:]!r}"]
    if [int(f) for f in figures] != sorted(int(f) for f in figures):
        problems.append(f"the percentages go back: {figures}")
    erased = line + b" " * len(figures[-1] + b"%") + line if figures else b""
    if not re.search(re.escape(erased) + rb"(\x1b\[[0-9;]*m)?done!", shown):
        problems.append(f"the figure is not erased before done!: {shown[-200:]!r}")
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

# The command line with options: a template kept, standard streams, quiet.
OPTIONS_USAGE = (BULLET + b"error in command line!\r\n" + b"   usage: " + PROGRAM_NAME
                 + b" [-q] [--follow] [-o OUTPUT|-] [-h] [-V] [--] <filename>|-\r\n"
                 + b"   exiting...\r\n")
TEMPLATE = b"a @PAD{LEFT|.|5|x}\r\n"
FILLED = b"a ....x\r\n"


def into(template: bytes, output: bytes) -> bytes:
    return (BANNER + b"reading config... done!\r\nprocessing [" + template + b"] into ["
            + output + b"]... done!\r\n")


def help_text(context, code, out):
    lines = out.split(b"\r\n")
    problems = []
    if not out.startswith(b"usage: " + PROGRAM_NAME + b" [-q]"):
        problems.append(f"help starts {out[:60]!r}")
    if len(lines) - 1 >= 25:
        problems.append(f"help has {len(lines) - 1} lines")
    for wanted in (b"--output", b"--quiet", b"--follow", b"--version", b"Exit codes",
                   settings_path(context)):
        if wanted not in out:
            problems.append(f"help does not tell {wanted!r}")
    return problems


def version_text(context, code, out):
    first = own_line_ends(b"kelmora 1.0.0\r\n")
    problems = [] if out.startswith(first) else [f"version: {out[:40]!r}"]
    if b"xxHash" not in out or b"Redistributions in binary form" not in out:
        problems.append("the licence of xxHash is missing")
    return problems


def made_with_umask(context, code, out):
    """A new OUTPUT has mode 0666 less the umask (022 in the harness's runs)."""
    mode = stat.S_IMODE(os.stat(context.path("out.txt")).st_mode)
    umask = os.umask(0)
    os.umask(umask)
    return [] if mode == 0o666 & ~umask else [f"mode {mode:o}, umask {umask:o}"]


def keep_inode(context):
    context.write("out.txt", b"an older and longer text\r\n")
    context.inode = os.stat(context.path("out.txt")).st_ino


def same_inode(context, code, out):
    return [] if os.stat(context.path("out.txt")).st_ino == context.inode else ["replaced"]


def hard_link(context):
    os.link(context.path("in.txt"), context.path("out.txt"))


def output_folder(context):
    context.path("out.txt").mkdir()


CASES += [
    Case("a slow fill shows its progress on a terminal only", files={"in.txt": SLOW_TEMPLATE},
         stdout=clean_run("in.txt"), check=progress_on_terminal, platforms="linux"),
    Case("--help: usage, options, settings, exit codes, without settings", args=["--help"],
         ctl=None, check=help_text),
    Case("-h after an operand", args=["in.txt", "-h"], ctl=None, check=help_text),
    Case("/? is --help on Windows", platforms="wine", args=["/?"], ctl=None, check=help_text),
    Case("--version: the version of the build, then the licences", args=["--version"],
         ctl=None, check=version_text),
    Case("an unknown option: the usage line lists the options", args=["--bogus", "in.txt"],
         files={"in.txt": TEMPLATE}, exit_code=2, stdout=BANNER + OPTIONS_USAGE,
         after={"in.txt": TEMPLATE}),
    Case("--follow without -o", args=["--follow", "in.txt"], files={"in.txt": TEMPLATE},
         exit_code=2, stdout=BANNER + OPTIONS_USAGE),
    Case("-o: TEMPLATE kept, OUTPUT made", args=["in.txt", "-o", "out.txt"],
         files={"in.txt": TEMPLATE}, stdout=into(b"in.txt", b"out.txt"),
         after={"in.txt": TEMPLATE, "out.txt": FILLED}),
    Case("-o: a new OUTPUT has mode 0666 less the umask", platforms="linux",
         args=["--output=out.txt", "in.txt"], files={"in.txt": TEMPLATE},
         after={"out.txt": FILLED}, check=made_with_umask),
    Case("-o: an existing OUTPUT is rewritten in place", platforms="linux",
         args=["in.txt", "-o", "out.txt"], files={"in.txt": TEMPLATE}, setup=keep_inode,
         after={"in.txt": TEMPLATE, "out.txt": FILLED}, check=same_inode),
    Case("-o: OUTPUT that is TEMPLATE under another name is the in-place fill",
         platforms="linux", args=["in.txt", "-o", "out.txt"], files={"in.txt": TEMPLATE},
         setup=hard_link, stdout=clean_run("in.txt"), after={"in.txt": FILLED}),
    Case("-o: a missing TEMPLATE is named, exit 3", args=["gone.txt", "-o", "out.txt"],
         exit_code=3, stdout=not_found(b"gone.txt"),
         check=lambda c, code, out: [] if not c.path("out.txt").exists() else ["out.txt made"]),
    Case("-o: an OUTPUT that cannot be written is named, exit 4", platforms="linux",
         args=["in.txt", "-o", "out.txt"], files={"in.txt": TEMPLATE}, setup=output_folder,
         exit_code=4,
         stdout=(BANNER + b"reading config... done!\r\nprocessing [in.txt] into [out.txt]... "
                 + BULLET + b"[out.txt] NOT rewritten!\r\n   Is a directory\r\n"
                 + b"   aborting...\r\n")),
    Case("-o -: the filled text alone on standard output, messages on standard error",
         args=["in.txt", "-o", "-"], files={"in.txt": TEMPLATE}, stdout=FILLED, text_out=True,
         stderr=into(b"in.txt", b"-"), after={"in.txt": TEMPLATE}),
    Case("-o - with a missing TEMPLATE: nothing on standard output", args=["gone", "-o", "-"],
         exit_code=3, stdout=b"", text_out=True, stderr=not_found(b"gone")),
    Case("- -o -: the template from standard input", args=["-q", "-", "-o", "-"],
         stdin=b"one @PAD{LEFT|.|3|x}\r\ntwo\r\n", stdout=b"one ..x\r\ntwo\r\n", text_out=True,
         stderr=b""),
    Case("-q: nothing printed on success", args=["-q", "in.txt"], files={"in.txt": TEMPLATE},
         stdout=b"", after={"in.txt": FILLED}),
    Case("-q: failures still reported", args=["-q", "gone.txt", "-o", "out.txt"], exit_code=3,
         stdout=BULLET + b"[gone.txt] NOT found!\r\n   aborting...\r\n"),
    Case("-q: wrong lines listed without the pause", args=["-q", "in.txt"],
         ctl=b"NoWamp kept\r\n@DefineX a b\r\n", files={"in.txt": TEMPLATE},
         stdout=lambda c: BULLET + b"wrong line [#2] in [" + settings_path(c) + b"]\r\n",
         after={"in.txt": FILLED}),
]
