"""kelmora.ctl: every key, wrong lines with the pause, and a settings file that
is missing or cannot be read."""
import os
import pathlib
import shutil
import time

from harness import BANNER, BULLET, OWN_END, Case, clean_run
from live_values import counter_check, moment, remember_clock
from settings_file import missing_settings_path, settings_path, wrong_lines
from unreadable import make_unreadable

BIRTH = moment(1980, 3, 15, 12, 30, 0)
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def stopped(what: bytes, path=settings_path):
    """The output of a run that the settings file ends with exit code 1;
    `path` gives the settings path it names."""
    return lambda context: (BANNER + b"reading config... " + BULLET + b"["
                            + path(context) + b"] NOT " + what + b"!\r\n"
                            + b"   aborting...\r\n")


NO_SETTINGS = stopped(b"found", missing_settings_path)


def counter_case(name, time_format, time_count, unit, radix):
    ctl = (b"BirthDate 15/03/1980\r\nBirthTime 12:30:00\r\n"
           + b"TimeFormat " + time_format + b"\r\nTimeCount " + time_count + b"\r\n")
    return Case(name, ctl=ctl, files={"in.txt": b"<@BirthTime>\r\n"},
                stdout=clean_run("in.txt"), setup=remember_clock,
                check=counter_check(b"<{T}>\r\n", BIRTH, unit, radix))


def linux_song_case(name, setup, after, ctl=None):
    return Case(name, platforms="linux", ctl=ctl, files={"in.txt": b"[@CurrentSong]\r\n"},
                setup=setup, stdout=clean_run("in.txt"), after={"in.txt": after})


def song_case(name, ctl, after):
    return Case(name, ctl=ctl, files={"in.txt": b"[@CurrentSong]\r\n"},
                stdout=clean_run("in.txt"), after={"in.txt": after})


EVERY_KEY_CTL = b"""; Every key of kelmora.ctl, with a definition, comments and quotes.
@Define YEAR 1980
BirthDate   15/03/YEAR
BirthTime\t12:30:00        ; half past noon
timeformat dec
TIMECOUNT Week
ChangeNames yes
NamesFile names.lst
NoWamp "  YEAR @YEAR: nothing\tplays "
Prefix "now: "
Suffix " !"
NoWamp second value, never used
"""


def in_tilde_folder(context):
    """Runs a copy of the program from a folder whose name holds a tilde;
    no settings file lies beside it. On Linux the home folder's name, where
    the missing file is then looked for, holds the tilde too."""
    folder = context.path("t~0C~x")
    folder.mkdir()
    if not context.on_wine:
        context.env["HOME"] = str(folder)
    program = folder / context.program.name
    shutil.copy2(context.program, program)
    context.program = program


def through_symlink(context):
    """Runs the program through a link in another folder; each folder has
    its own kelmora.ctl."""
    real = context.path("real")
    real.mkdir()
    shutil.move(str(context.program), real / "kelmora")
    (real / "kelmora.ctl").write_bytes(b"NoWamp from the real folder\r\n")
    context.path("kelmora").symlink_to(real / "kelmora")


def settings_in(**places):
    """A case setup: kelmora.ctl files in the user's folders, by place: "xdg"
    (and XDG_CONFIG_HOME set to that folder), "home" (~/.config) or "rel" (the
    folder "rel" in the current one). A ctl given as a str is a symbolic link
    to that path; the value "fifo" makes a FIFO."""
    def setup(context):
        folders = {"xdg": context.path("xdg"), "home": context.path("home/.config"),
                   "rel": context.path("rel")}
        for place, ctl in places.items():
            if place == "xdg":
                context.env["XDG_CONFIG_HOME"] = str(folders["xdg"])
            put_settings(folders[place] / "kelmora" / "kelmora.ctl", ctl)
    return setup


def system_settings(**places):
    """A case setup: XDG_CONFIG_DIRS lists "relative" and then the scratch
    folders named by `places`, in order, with kelmora/kelmora.ctl holding
    the given bytes (None: the folder is listed but holds nothing). The
    relative folder holds settings too, which must never be read."""
    def setup(context):
        put_settings(context.path("relative/kelmora/kelmora.ctl"), b"NoWamp relative\r\n")
        for name, ctl in places.items():
            if ctl is not None:
                put_settings(context.path(name) / "kelmora" / "kelmora.ctl", ctl)
        context.env["XDG_CONFIG_DIRS"] = ":".join(
            ["relative"] + [str(context.path(name)) for name in places])
    return setup


def and_env(setup, **env):
    """`setup`, then the environment variables `env` for the run."""
    def both(context):
        setup(context)
        context.env.update(env)
    return both


def put_settings(target, ctl):
    target.parent.mkdir(parents=True, exist_ok=True)
    if ctl == "fifo":
        os.mkfifo(target)
    elif isinstance(ctl, str):
        target.symlink_to(ctl)
    else:
        target.write_bytes(ctl)


def special_beside(ctl):
    """A case setup: kelmora.ctl beside the program is a FIFO or a link to a
    device."""
    return lambda context: put_settings(context.path("kelmora.ctl"), ctl)


def xdg_at(name, data=None):
    """A case setup: XDG_CONFIG_HOME names `name` in the scratch folder,
    a file holding `data`, or nothing when data is None."""
    def setup(context):
        if data is not None:
            context.write(name, data)
        context.env["XDG_CONFIG_HOME"] = str(context.path(name))
    return setup


def deep_program(context):
    """Runs a copy of the program from a folder whose path is longer than
    255 bytes, its kelmora.ctl beside it; the ancestor that a cut at 255 bytes
    would name holds another one."""
    folder = context.path("a" * 200) / ("b" * 100)
    folder.mkdir(parents=True)
    context.write("a" * 200 + "/kelmora.ctl", b"NoWamp cut\r\n")
    shutil.copy2(context.program, folder / context.program.name)
    context.program = folder / context.program.name
    (folder / "kelmora.ctl").write_bytes(b"NoWamp deep\r\n")


def start_clock(context):
    context.started = time.monotonic()


def paused(context, code, out):
    elapsed = time.monotonic() - context.started
    return [] if elapsed >= 3.0 else [f"the run took {elapsed:.2f} s, without the pause"]


WRONG_CTL = b"""Prefix=x
NoWamp kept
@DefineX a b
@Define GONE
GONE
; a comment and an empty line are not wrong

PrefixX y
"""

# The shipped example filled in, with the LF line ends of examples/template.txt;
# a build writes it back with example_filled_in(its line end).
EXAMPLE_FILLED_IN = b"""Hello from kelmora.

Toval is {T} days old.
Now: Toval hears nothing.

From the names file: this color gray is no longer British, and
the disk holds 1Gb.

Formatting functions:
  [.......right] [left........] [***middle***]
  1,234,567 bytes are 1Mb.
  Nested, the innermost first: [   000 001 234]

An "@" before a name or a call keeps it: @BirthTime, @CurrentSong, @NUM{,|1000}.
"""


def example_filled_in(line_end: bytes) -> bytes:
    return EXAMPLE_FILLED_IN.replace(b"\n", line_end)


CASES = [
    Case("the shipped example", ctl=(EXAMPLES / "kelmora.ctl").read_bytes(),
         files={name: (EXAMPLES / name).read_bytes() for name in ("names.lst", "template.txt")},
         args=["template.txt"], stdout=clean_run("template.txt"), setup=remember_clock,
         check=counter_check(example_filled_in(OWN_END), BIRTH, "day", "dec",
                             name="template.txt")),
    Case("every key of the settings file", ctl=EVERY_KEY_CTL,
         files={"in.txt": b"@BirthTime weeks|@CurrentSong|Cat\r\n", "names.lst": b"cat dog\r\n"},
         stdout=clean_run("in.txt"), setup=remember_clock,
         check=counter_check(b"{T} weeks|  1980 YEAR: nothing\tplays |dog\r\n", BIRTH, "week", "dec")),
    counter_case("octal hours", b"oct", b"hour", "hour", "oct"),
    counter_case("binary days", b"Bin", b"DAY", "day", "bin"),
    counter_case("hexadecimal minutes", b"HEX", b"min", "min", "hex"),
    counter_case("unknown radix is hexadecimal; months", b"DEC2", b"month", "month", "hex"),
    counter_case("unknown unit is seconds", b"", b"seconds", "sec", "hex"),
    Case("a birth date holding the time too", ctl=b"BirthDate 15/03/1980 12:30:00\r\n"
         b"TimeFormat dec\r\nTimeCount day\r\n", files={"in.txt": b"@BirthTime\r\n"},
         stdout=clean_run("in.txt"), setup=remember_clock,
         check=counter_check(b"{T}\r\n", BIRTH, "day", "dec")),
    song_case("the first line of a key counts", b"nowamp first\r\nNOWAMP second\r\n",
              b"[first]\r\n"),
    song_case("no NoWamp gives the empty text", b"Prefix <\r\nSuffix >\r\n", b"[]\r\n"),
    Case("look-alike letters of NoWamp become Latin", platforms="wine",
         ctl=b"NoWamp \x8Do \xe0lay\r\n", files={"in.txt": b"[@CurrentSong]\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"[Ho play]\r\n"}),
    # Devanagari: every character begins with 0xE0.
    Case("a UTF-8 NoWamp is kept byte for byte", platforms="linux",
         ctl="NoWamp नमस्ते Ítalo\r\n".encode(), files={"in.txt": b"[@CurrentSong]\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": "[नमस्ते Ítalo]\r\n".encode()}),
    song_case("settings lines end in CR, LF, LF CR or nothing; long lines are cut",
              b"Prefix a\rNoWamp " + b"v" * 300 + b"\n\rSuffix c\nTimeFormat dec",
              b"[" + b"v" * 248 + b"]\r\n"),
    Case("ChangeNames takes only yes", ctl=b"ChangeNames Y\r\nNamesFile names.lst\r\n",
         files={"in.txt": b"cat\r\n", "names.lst": b"cat dog\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"cat\r\n"}),
    Case("a missing settings file ends the run before the file check", ctl=None,
         exit_code=1, stdout=NO_SETTINGS),
    Case("a missing settings file leaves the template untouched", ctl=None,
         files={"in.txt": b"@CurrentSong\n"}, exit_code=1, stdout=NO_SETTINGS,
         after={"in.txt": b"@CurrentSong\n"}),
    Case("a directory named kelmora.ctl is no settings file", ctl=None,
         files={"kelmora.ctl/keep": b"", "in.txt": b"x\r\n"}, exit_code=1,
         stdout=NO_SETTINGS),
    Case("a tilde in the settings path is shown as it is", ctl=None,
         files={"in.txt": b"x\r\n"}, setup=in_tilde_folder, exit_code=1,
         stdout=NO_SETTINGS),
    Case("a settings file that cannot be read ends the run", ctl=b"NoWamp x\r\n",
         files={"in.txt": b"[@CurrentSong]\r\n"}, setup=make_unreadable("kelmora.ctl"),
         exit_code=1, stdout=stopped(b"readable"), after={"in.txt": b"[@CurrentSong]\r\n"}),
    linux_song_case("settings beside the program win over the user's",
                    ctl=b"NoWamp beside\r\n",
                    setup=settings_in(xdg=b"NoWamp xdg\r\n", home=b"NoWamp home\r\n"),
                    after=b"[beside]\r\n"),
    linux_song_case("without settings beside the program, XDG_CONFIG_HOME/kelmora holds them",
                    setup=settings_in(xdg=b"NoWamp xdg\r\n", home=b"NoWamp home\r\n"),
                    after=b"[xdg]\r\n"),
    linux_song_case("with XDG_CONFIG_HOME unset, ~/.config/kelmora holds them",
                    setup=settings_in(home=b"NoWamp home\r\n"), after=b"[home]\r\n"),
    linux_song_case("an empty XDG_CONFIG_HOME counts as unset",
                    setup=and_env(settings_in(home=b"NoWamp home\r\n"), XDG_CONFIG_HOME=""),
                    after=b"[home]\r\n"),
    linux_song_case("a relative XDG_CONFIG_HOME counts as unset",
                    setup=and_env(settings_in(home=b"NoWamp home\r\n", rel=b"NoWamp rel\r\n"),
                                  XDG_CONFIG_HOME="rel"),
                    after=b"[home]\r\n"),
    linux_song_case("without the user's settings, the first folder of XDG_CONFIG_DIRS "
                    "that holds them",
                    setup=system_settings(empty=None, site=b"NoWamp site\r\n",
                                          vendor=b"NoWamp vendor\r\n"),
                    after=b"[site]\r\n"),
    linux_song_case("the user's settings win over the system-wide ones",
                    setup=lambda context: (settings_in(home=b"NoWamp home\r\n")(context),
                                           system_settings(site=b"NoWamp site\r\n")(context)),
                    after=b"[home]\r\n"),
    Case("XDG_CONFIG_HOME at a missing folder: the path tried is not found", platforms="linux",
         ctl=None, files={"in.txt": b"x\r\n"}, setup=xdg_at("gone"), exit_code=1,
         stdout=NO_SETTINGS),
    Case("XDG_CONFIG_HOME at a file: the path tried is not found", platforms="linux",
         ctl=None, files={"in.txt": b"x\r\n"}, setup=xdg_at("plain", b"x"), exit_code=1,
         stdout=NO_SETTINGS),
    Case("a FIFO as kelmora.ctl is not readable and never opened", platforms="linux",
         ctl=None, files={"in.txt": b"x\r\n"}, setup=special_beside("fifo"), exit_code=1,
         stdout=stopped(b"readable"), after={"in.txt": b"x\r\n"}),
    Case("/dev/zero as the user's kelmora.ctl is not readable", platforms="linux",
         ctl=None, files={"in.txt": b"x\r\n"}, setup=settings_in(xdg="/dev/zero"),
         exit_code=1, stdout=stopped(b"readable", missing_settings_path)),
    Case("a program deeper than 255 bytes reads the kelmora.ctl beside it", platforms="linux",
         ctl=b"NoWamp cut\r\n", files={"in.txt": b"[@CurrentSong]\r\n"}, setup=deep_program,
         stdout=clean_run("in.txt"), after={"in.txt": b"[deep]\r\n"}),
    Case("the settings file lies in the real folder of the program", platforms="linux",
         ctl=b"NoWamp beside the link\r\n", files={"in.txt": b"[@CurrentSong]\r\n"},
         setup=through_symlink, stdout=clean_run("in.txt"),
         after={"in.txt": b"[from the real folder]\r\n"}),
    # Costs the three-second pause.
    Case("wrong lines are listed, then the pause; the rest still counts", ctl=WRONG_CTL,
         files={"in.txt": b"[@CurrentSong]\r\n"}, setup=start_clock,
         stdout=lambda context: (BANNER + b"reading config... " + wrong_lines(context, [1, 3, 5, 8])
                                 + b"done!\r\nprocessing [in.txt]... done!\r\n"),
         after={"in.txt": b"[kept]\r\n"}, check=paused),
]
