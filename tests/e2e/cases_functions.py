"""Function calls in the template, and the @BirthTime counter."""
import calendar
import re
import time

from harness import Case, clean_run

# Each pair: a template line and the line the run makes of it. The rules of
# each function and of the calls are the unit tests'; here one line for each
# way through the run: every function, calls nested, and an escaped call.
CALLS = [
    (b"@PAD{RIGHT|.|8|abc} @SIZE{4|123456789}", b"abc..... 117Mb"),
    (b"@Pad{center|*|9|@Size{3|2048}}", b"***2Kb***"),
    (b"@@NUM{,|1000} @NUM{,|2000}", b"@NUM{,|1000} 2,000"),
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
    Case("function calls run, nest and escape", files={"in.txt": template(CALLS, 0)},
         stdout=clean_run("in.txt"), after={"in.txt": template(CALLS, 1)}),
    Case("a call that grows a full line past 1024 keeps all of it",
         files={"in.txt": LONG_BEFORE + b"\r\nnext\r\n"}, stdout=clean_run("in.txt"),
         after={"in.txt": LONG_AFTER + b"\r\nnext\r\n"}),
    Case("@BirthTime, in any letter case, counts hex seconds before the calls around it",
         files={"in.txt": b"[@PAD{LEFT|-|10|@birthtime}]\r\n"}, stdout=clean_run("in.txt"),
         setup=remember_clock, check=birth_time_check(b"[--", b"]\r\n")),
]
