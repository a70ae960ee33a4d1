"""Function calls in the template, and the @BirthTime counter."""
import calendar
import re
import time

from harness import Case, clean_run

# Each pair: a template line and the line the run makes of it.
FORMATTING = [
    (b"@PAD{RIGHT|.|8|abc}", b"abc....."),
    (b"@PAD{LEFT|.|8|abc}", b".....abc"),
    (b"@PAD{CENTER|*|8|abc}", b"**abc***"),
    (b"@PAD{LEFT|.|3|abcdef}", b"def"),
    (b"@PAD{RIGHT|.|3|abcdef}", b"abc"),
    (b"@PAD{CENTER|.|3|abcdef}", b"bcd"),
    (b"@PAD{CENTER|.|4|abcdefghij}", b"cdef"),
    (b"@PAD{MIDDLE|*|8|abc}", b"**abc***"),
    (b"@PAD{MIDDLE|*|2|abc}", b"abc"),
    (b"@PAD{right|-=|6|ab}", b"ab----"),
    (b"[@PAD{RIGHT|.|5}]", b"[.....]"),
    (b"[@PAD{RIGHT|.|x|ab}]", b"[]"),
    (b"[@PAD{RIGHT|.|5 |ab}]", b"[]"),
    (b"@PAD{RIGHT||.|5|ab}", b"ab..."),
    (b"@PAD{LEFT|.|300|ab}", b"." * 42 + b"ab"),
    (b"@PAD{MIDDLE|.|-3|ab}", b"." * 125 + b"ab" + b"." * 126),
    (b"[@PAD{LEFT|.|0|ab}]", b"[]"),
    (b"@NUM{,|1234567}", b"1,234,567"),
    (b"@NUM{ |1234567}", b"1 234 567"),
    (b"@NUM{,|123}", b"123"),
    (b"@NUM{,|1234}", b"1,234"),
    (b"@NUM{,|-1234}", b"-1234"),
    (b"@NUM{.|12a4}", b"12a4"),
    (b"@NUM{ab|1234}", b"1a234"),
    (b"@SIZE{4|123456789}", b"117Mb"),
    (b"@SIZE{8|123456789}", b"120563Kb"),
    (b"@SIZE{3|2048}", b"2Kb"),
    (b"@SIZE{5|2048}", b"0Mb"),
    (b"@SIZE{3|500}", b"0Kb"),
    (b"@SIZE{3|-5000}", b"-4Kb"),
    (b"@SIZE{x|y}", b"0Kb"),
    # From 1 GiB on the scale ends at Gb, whatever the wanted length.
    (b"@SIZE{1|1073741824}", b"1Gb"),
    (b"@SIZE{5|1073741824}", b"1024Mb"),
    (b"@SIZE{20|2147483647}", b"1Gb"),
]

CALLS = [
    (b"@NUM{,|1234567}", b"1,234,567"),
    (b"@num{,|1234567}", b"1,234,567"),
    (b"@PAD{LEFT| |10|@NUM{,|1234567}}", b" 1,234,567"),
    (b"x @SIZE{4|123456789} y", b"x 117Mb y"),
    (b"@NUM{,|1234", b",|1234"),
    (b"@FOO{x}", b"@FOO{x}"),
    (b"{x}", b"{x}"),
    (b"@@NUM{,|1000}", b"@NUM{,|1000}"),
    (b"@@NUM{,|1000} @NUM{,|2000}", b"@NUM{,|1000} 2,000"),
    (b"@NUM{,|1000} @@NUM{,|2000}", b"@NUM{,|1000} @NUM{,|2000}"),
    (b"@PAD{RIGHT|x|3|a} @@NUM{,|1000}", b"axx 1,000"),
    (b"@Pad{center|*|9|@Size{3|2048}}", b"***2Kb***"),
    (b"@PAD{LEFT|.|12|@NUM{.|@PAD{LEFT|0|7|1234}}}", b"...0.001.234"),
    (b"@@@NUM{,|1000}", b"@@NUM{,|1000}"),
    (b"@@NUM{,|1} @@NUM{,|2} @NUM{,|3000}", b"@@NUM{,|1} @NUM{,|2} 3,000"),
    (b"@SIZE{3|2048", b"0Kb3|2048"),
    (b"a }{ @NUM {,|1000} b", b"a }{ @NUM {,|1000} b"),
]


def template(pairs, side):
    return b"".join(pair[side] + b"\r\n" for pair in pairs)


def _long_line():
    # 1019 characters whose last call grows the line by 81: the line is
    # written whole, and the call at its start is evaluated too.
    before = b"@NUM{,|1234}" + b"x" * 988 + b"@PAD{RIGHT|.|100|z}"
    after = (b"1,234" + b"x" * 988 + b"z" + b"." * 99)
    return before, after


LONG_BEFORE, LONG_AFTER = _long_line()

# The birth moment of a settings file without BirthDate and BirthTime.
ALL_ZERO_BIRTH = -2040441856


def local_seconds():
    """Seconds of the local wall clock on the program's 32-bit scale."""
    now = time.localtime()
    fields = (now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour, now.tm_min,
              now.tm_sec, 0, 0, 0)
    return calendar.timegm(fields)


def remember_clock(context):
    context.clock_before = local_seconds()


def birth_time_check(prefix: bytes, suffix: bytes):
    """Checks that the counter text lies between the clock readings."""
    def check(context, code, out):
        after = local_seconds()
        got = context.read("in.txt")
        match = re.fullmatch(re.escape(prefix) + rb"([0-9A-F]{8})" + re.escape(suffix), got)
        if not match:
            return [f"in.txt is {got!r}, expected {prefix!r} + 8 hex digits + {suffix!r}"]
        value = int(match.group(1), 16)
        first = (context.clock_before - ALL_ZERO_BIRTH) % 2**32
        if (value - first) % 2**32 > after - context.clock_before:
            return [f"counter {value:08X} is not between {first:08X} and "
                    f"{(after - ALL_ZERO_BIRTH) % 2**32:08X}"]
        return []
    return check


CASES = [
    Case("formatting functions", files={"in.txt": template(FORMATTING, 0)},
         stdout=clean_run("in.txt"), after={"in.txt": template(FORMATTING, 1)}),
    Case("calls nest, escape and run from the right", files={"in.txt": template(CALLS, 0)},
         stdout=clean_run("in.txt"), after={"in.txt": template(CALLS, 1)}),
    Case("a call that grows a full line past 1024 keeps all of it",
         files={"in.txt": LONG_BEFORE + b"\r\nnext\r\n"}, stdout=clean_run("in.txt"),
         after={"in.txt": LONG_AFTER + b"\r\nnext\r\n"}),
    Case("@BirthTime counts hex seconds since the all-zero birth",
         files={"in.txt": b"Up @BirthTime s\r\n"}, stdout=clean_run("in.txt"),
         setup=remember_clock, check=birth_time_check(b"Up ", b" s\r\n")),
    Case("@BirthTime is found in any letter case",
         files={"in.txt": b"@BIRTHTIME\r\n"}, stdout=clean_run("in.txt"),
         setup=remember_clock, check=birth_time_check(b"", b"\r\n")),
    Case("@BirthTime is replaced before the calls around it",
         files={"in.txt": b"[@PAD{LEFT|-|10|@birthtime}]\r\n"}, stdout=clean_run("in.txt"),
         setup=remember_clock, check=birth_time_check(b"[--", b"]\r\n")),
]
