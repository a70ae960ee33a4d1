"""What the live values of a run are expected to be: the counter text for a
birth moment, and checks that allow for the clock moving during the run."""
import calendar
import re
import time

DIVISORS = {"sec": 1, "min": 60, "hour": 3600, "day": 86400, "week": 604800,
            "month": 210 * 86400}


def local_seconds():
    """Seconds of the local wall clock on the program's 32-bit scale."""
    now = time.localtime()
    return calendar.timegm((now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour,
                            now.tm_min, now.tm_sec, 0, 0, 0))


def moment(year, month, day, hour=0, minute=0, second=0):
    return calendar.timegm((year, month, day, hour, minute, second, 0, 0, 0))


def counter_text(now, birth, unit, radix) -> bytes:
    difference = (now - birth + 2**31) % 2**32 - 2**31
    count = abs(difference) // DIVISORS[unit] * (1 if difference >= 0 else -1)
    pattern = count % 2**32
    return {"hex": b"%08X" % pattern, "dec": b"%d" % count, "oct": b"%012o" % pattern,
            "bin": format(pattern, "032b").encode()}[radix]


def remember_clock(context):
    context.clock_before = local_seconds()


def counter_check(expected: bytes, birth, unit, radix, name="in.txt"):
    """Checks that `name` holds `expected` with its b"{T}" the counter text of
    some moment between the clock reading of the setup and the end of the run.
    The case's setup must call remember_clock."""
    def check(context, code, out):
        after = local_seconds()
        got = context.read(name)
        for now in range(context.clock_before, after + 1):
            if got == expected.replace(b"{T}", counter_text(now, birth, unit, radix)):
                return []
        first = expected.replace(b"{T}", counter_text(context.clock_before, birth, unit, radix))
        return [f"{name}\n  got      {got!r}\n  expected {first!r} (or a later clock)"]
    return check
