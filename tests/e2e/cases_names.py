"""The names file: word pairs, its text-file lines, and a names file that is
missing or cannot be read."""
import os

from harness import BANNER, BULLET, ON_WINE, Case, clean_run
from live_values import counter_check, moment, remember_clock
from settings_file import wrong_lines
from unreadable import make_unreadable

NAMES_ON = b"ChangeNames yes\r\nNamesFile names.lst\r\n"


def names_case(name, names: bytes, before: bytes, after: bytes):
    return Case(name, ctl=NAMES_ON, files={"names.lst": names, "in.txt": before},
                stdout=clean_run("in.txt"), after={"in.txt": after})


def reported(shown: bytes, what: bytes = b"found") -> bytes:
    """A run whose names file is reported on the open "reading config" line."""
    return (BANNER + b"reading config... " + BULLET + b"[" + shown + b"] NOT " + what
            + b"!\r\ndone!\r\nprocessing [in.txt]... done!\r\n")


def special_names_case(name, names_file, setup=None):
    """The names file is no regular file: it is reported, never opened, and
    the run goes on."""
    return Case(name, platforms="linux", setup=setup,
                ctl=b"ChangeNames yes\r\nNamesFile " + names_file + b"\r\nNoWamp x\r\n",
                files={"in.txt": b"a @CurrentSong\r\n"},
                stdout=reported(names_file, b"readable"), after={"in.txt": b"a x\r\n"})


def make_fifo(context):
    os.mkfifo(context.path("names.lst"))


EVERY_FEATURE = (b"\t Cat \t dog  \r\n"
                 b"one\r\n"
                 b"sun moon star\r\n"
                 b"\r\n"
                 b"   \t \r\n"
                 b";semi colon\r\n"
                 b"\x8dello w\xe0ld\r\n"
                 b"cat tiger\r\n"
                 b"@BirthTime fixed\r\n"
                 b"@CurrentSong other\r\n")

CASES = [
    Case("names: pairs in any case, later lines win, the live values win",
         ctl=NAMES_ON + b"NoWamp silence\r\nTimeFormat dec\r\nTimeCount day\r\n"
         b"BirthDate 1/1/2000\r\n",
         files={"names.lst": EVERY_FEATURE,
                "in.txt": b"[Cat] [one] [SUN] [;Semi] [hello] [@CurrentSong] [@BirthTime]\r\n"},
         stdout=clean_run("in.txt"), setup=remember_clock,
         # Look-alike letters are fixed only in code page 866 text.
         check=counter_check(b"[tiger] [] [moon] [colon] [" + (b"wpld" if ON_WINE else b"hello")
                             + b"] [silence] [{T}]\r\n", moment(2000, 1, 1), "day", "dec")),
    Case("names: LF alone ends no line", platforms="wine", ctl=NAMES_ON,
         files={"names.lst": b"a b\nc d\n", "in.txt": b"a c\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"b\nc c\r\n"}),
    Case("names: LF, CR LF and CR lines alike", platforms="linux", ctl=NAMES_ON,
         files={"names.lst": b"a b\nc d\r\ne f\rg h", "in.txt": b"a c e g\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"b d f h\r\n"}),
    # "Italo Ítalo" once put C3 48 into the file: 0x8D is no letter in UTF-8.
    Case("names: UTF-8 names match in any letter case, values kept", platforms="linux",
         ctl=NAMES_ON,
         files={"names.lst": "привет Здравствуйте\nélan ÉLAN\nΣοφία σοφία\nЁж ёжик\n"
                             "Italo Ítalo\nनमस्ते नमस्कार\n".encode(),
                "in.txt": "ПРИВЕТ Привет ÉLAN ΣΟΦΊΑ ЁЖ ёж Italo नमस्ते\r\n".encode()},
         stdout=clean_run("in.txt"),
         after={"in.txt": "Здравствуйте Здравствуйте ÉLAN σοφία ёжик ёжик Ítalo नमस्कार\r\n"
                .encode()}),
    names_case("names: Ctrl+Z ends the file", b"a b\r\n\x1ac d\r\n", b"a c\r\n", b"b c\r\n"),
    names_case("names: an empty file adds nothing", b"", b"a\r\n", b"a\r\n"),
    Case("names: a relative path is taken from the current folder",
         ctl=b"ChangeNames yes\r\nNamesFile lists/names.lst\r\n",
         files={"lists/names.lst": b"a b\r\n", "in.txt": b"a\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"b\r\n"}),
    Case("names: ChangeNames off never looks at the file",
         ctl=b"ChangeNames no\r\nNamesFile nothere.lst\r\n", files={"in.txt": b"a\r\n"},
         stdout=clean_run("in.txt"), after={"in.txt": b"a\r\n"}),
    Case("names: a missing file is one line and the run goes on",
         ctl=b"ChangeNames yes\r\nNamesFile nothere.lst\r\nNoWamp x\r\n",
         files={"in.txt": b"a @CurrentSong\r\n"}, stdout=reported(b"nothere.lst"),
         after={"in.txt": b"a x\r\n"}),
    Case("names: a directory is no names file", ctl=NAMES_ON,
         files={"names.lst/keep": b"", "in.txt": b"a\r\n"}, stdout=reported(b"names.lst")),
    Case("names: NamesFile not set", ctl=b"ChangeNames YES\r\n", files={"in.txt": b"a\r\n"},
         stdout=reported(b"")),
    Case("names: a tilde in the name is shown as it is",
         ctl=b"ChangeNames yes\r\nNamesFile no~0C~pe.lst\r\n", files={"in.txt": b"a\r\n"},
         stdout=reported(b"no~0C~pe.lst")),
    Case("names: a file that cannot be read is one line and the run goes on",
         ctl=NAMES_ON + b"NoWamp x\r\n",
         files={"names.lst": b"a b\r\n", "in.txt": b"a @CurrentSong\r\n"},
         setup=make_unreadable("names.lst"), stdout=reported(b"names.lst", b"readable"),
         after={"in.txt": b"a x\r\n"}),
    special_names_case("names: a FIFO is not readable", b"names.lst", setup=make_fifo),
    special_names_case("names: /dev/zero is not readable", b"/dev/zero"),
    special_names_case("names: /dev/full is not readable", b"/dev/full"),
    # Costs the three-second pause.
    Case("names: after a wrong-line report the missing file stands on its own line",
         ctl=b"ChangeNames yes\r\nwrong\r\nNamesFile gone.lst\r\n", files={"in.txt": b"a\r\n"},
         stdout=lambda context: (BANNER + b"reading config... " + wrong_lines(context, [2])
                                 + BULLET + b"[gone.lst] NOT found!\r\n"
                                 + b"done!\r\nprocessing [in.txt]... done!\r\n")),
]
