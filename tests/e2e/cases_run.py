"""The run sequence: command line, file check, progress lines."""
from harness import BANNER, BULLET, Case, clean_run

USAGE = (BULLET + b"error in command line!\r\n"
         + b"   usage: kelmora.exe <filename>\r\n" + b"   exiting...\r\n")


def not_found(name: bytes) -> bytes:
    return (BANNER + b"reading config... " + BULLET + b"[" + name + b"] NOT found!\r\n"
            + b"   aborting...\r\n")


CASES = [
    Case("no argument", args=[], exit_code=2, stdout=BANNER + USAGE),
    Case("two arguments", args=["a", "b"], files={"a": b"x", "b": b"y"},
         exit_code=2, stdout=BANNER + USAGE, after={"a": b"x", "b": b"y"}),
    Case("missing file", args=["nothere.txt"], exit_code=3,
         stdout=not_found(b"nothere.txt")),
    Case("directory", args=["sub"], files={"sub/keep": b""}, exit_code=3,
         stdout=not_found(b"sub")),
    Case("tilde in a missing name shows the tilde", args=["a~0C~b"], exit_code=3,
         stdout=not_found(b"a~0C~b")),
    Case("good file", files={"in.txt": b"hello\r\n"}, stdout=clean_run("in.txt"),
         after={"in.txt": b"hello\r\n"}),
    Case("tilde in a good name is written unchanged", args=["t~1~.txt"],
         files={"t~1~.txt": b"x\r\n"}, stdout=clean_run("t~1~.txt")),
]
