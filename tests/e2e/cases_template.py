"""The template pass: line ends, long lines, empty files, and a file that
cannot be rewritten."""
import dataclasses
import errno
import os
import shutil
import subprocess
import tempfile

from harness import BULLET, Case, clean_run

K1024 = b"x" * 1024
# A time long past, to tell whether a run wrote to a file.
OLD_TIME = 1000000000


def rewrite(name, before, after, **extra):
    return Case(name, files={"in.txt": before}, stdout=clean_run("in.txt"),
                after={"in.txt": after}, **extra)


def set_old_time(context):
    os.utime(context.path("in.txt"), (OLD_TIME, OLD_TIME))


def not_written(context, code, out):
    when = os.stat(context.path("in.txt")).st_mtime
    return [] if when == OLD_TIME else [f"the file was written (modified at {when})"]


def many_lines():
    before, after = [], []
    for i in range(10000):
        line = b"line %d @PAD{LEFT|0|6|%d}" % (i, i)
        before.append(line + (b"\n" if i % 2 else b"\r\n"))
        after.append(b"line %d %06d\r\n" % (i, i))
    return b"".join(before), b"".join(after)


MANY_BEFORE, MANY_AFTER = many_lines()


def not_rewritten(reason: bytes) -> bytes:
    return (clean_run("in.txt")[:-len(b"done!\r\n")] + BULLET + b"[in.txt] NOT rewritten!\r\n"
            + b"   " + reason + b"\r\n" + b"   aborting...\r\n")


# Kept by a file this user cannot write to, or by another process holding it.
LOCKED_BYTES = b"keep\nthese\r\rbytes\n"
# What Windows says when another process holds the file without sharing it
# (ERROR_SHARING_VIOLATION), in the words of Windows and of Wine.
SHARING_VIOLATION = [
    b"The process cannot access the file because it is being used by another process.",
    b"Sharing violation.",
]


def _chattr_works() -> bool:
    """Whether chattr +i takes on the file system of the scratch folders."""
    with tempfile.TemporaryDirectory(prefix="kelmora-e2e-") as folder:
        probe = os.path.join(folder, "probe")
        open(probe, "wb").close()
        if subprocess.run(["chattr", "+i", probe], capture_output=True).returncode != 0:
            return False
        subprocess.run(["chattr", "-i", probe], capture_output=True)
        return True


@dataclasses.dataclass
class UnwritableCase(Case):
    """The template cannot be opened for writing while the program runs.

    On Linux the file is made read-only (chmod), or immutable (chattr +i)
    when running as root, whom permissions do not stop. Under Wine another
    process (tests/tools/hold_file.exe) holds it open without sharing.
    """

    def runs_on(self, on_wine: bool) -> bool:
        if on_wine or os.geteuid() != 0:
            return True
        if shutil.which("chattr") and _chattr_works():
            return True
        print(f"skip {self.name}: running as root and chattr +i does not work on "
              f"the file system of {tempfile.gettempdir()}, so no file can be made unwritable")
        return False

    def run(self, context):
        if context.on_wine:
            return self._run_held(context)
        return self._run_locked(context)

    def _run_locked(self, context):
        as_root = os.geteuid() == 0
        self.stdout = not_rewritten(os.strerror(errno.EPERM if as_root else errno.EACCES)
                                    .encode())

        def lock(ctx):
            if as_root:
                subprocess.run(["chattr", "+i", ctx.path("in.txt")], check=True)
            else:
                os.chmod(ctx.path("in.txt"), 0o444)

        self.setup = lock
        try:
            return super().run(context)
        finally:
            # The scratch folder cannot be removed with an immutable file in it.
            if as_root:
                subprocess.run(["chattr", "-i", context.path("in.txt")], capture_output=True)
            else:
                os.chmod(context.path("in.txt"), 0o644)

    def _run_held(self, context):
        self.stdout = None
        expected = [not_rewritten(reason) for reason in SHARING_VIOLATION]
        self.check = lambda _context, _code, out: (
            [] if out in expected else [f"stdout\n  got      {out!r}\n  expected {expected[0]!r}"])
        tool = context.path("hold_file.exe")
        shutil.copy2(context.build_dir / "tests" / "tools" / "hold_file.exe", tool)

        def held_run(args, timeout=60):
            command = (list(context.runner) + [str(tool), "in.txt", "kelmora.exe"]
                       + list(args))
            result = subprocess.run(command, cwd=context.folder, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    timeout=timeout)
            return result.returncode, result.stdout

        context.run = held_run
        return super().run(context)


CASES = [
    rewrite("LF line ends become CR LF", b"a\nb\n", b"a\r\nb\r\n"),
    rewrite("CR line ends become CR LF", b"a\rb\r", b"a\r\nb\r\n"),
    rewrite("LF CR is one line end", b"a\n\rb", b"a\r\nb\r\n"),
    rewrite("CR CR is two line ends", b"a\r\rb", b"a\r\n\r\nb\r\n"),
    rewrite("LF LF is two line ends", b"a\n\nb", b"a\r\n\r\nb\r\n"),
    rewrite("a last line without line end gets one", b"a", b"a\r\n"),
    rewrite("trailing empty lines survive", b"a\r\n\r\n", b"a\r\n\r\n"),
    rewrite("only empty lines", b"\n\n\r\r\n", b"\r\n\r\n\r\n"),
    rewrite("a 1500-character line is split without loss", b"y" * 1500 + b"\r\n",
            b"y" * 1024 + b"\r\n" + b"y" * 476 + b"\r\n"),
    rewrite("a 1024-character line stays one line", K1024 + b"\r\n" + K1024,
            K1024 + b"\r\n" + K1024 + b"\r\n"),
    rewrite("a 2048-character line gives two pieces", K1024 * 2 + b"\n",
            K1024 + b"\r\n" + K1024 + b"\r\n"),
    # One ASCII byte first, so that every 1024th byte would fall inside a
    # two-byte Cyrillic letter.
    rewrite("a 2001-byte line of Cyrillic splits between characters",
            b"x" + "ж".encode() * 1000 + b"\r\n",
            b"x" + "ж".encode() * 511 + b"\r\n" + "ж".encode() * 489 + b"\r\n",
            platforms="linux"),
    rewrite("a NUL byte and what follows it are kept", b"a\0b @PAD{LEFT|.|4|x}\nc",
            b"a\0b ...x\r\nc\r\n"),
    rewrite("a shorter result leaves nothing of the old content",
            b"@PAD{RIGHT|.|3|abcdef}\r\n" * 300, b"abc\r\n" * 300),
    rewrite("a longer result grows the file", b"@PAD{RIGHT|.|200|ab}\n" * 300,
            (b"ab" + b"." * 198 + b"\r\n") * 300),
    # Each half is a line of its own: the first a call without its closing
    # brace (an empty argument), the second plain text.
    rewrite("a call split by a line end is not one call", b"@SIZE{4|123\n456789}",
            b"0Kb4|123\r\n456789}\r\n"),
    rewrite("ten thousand lines", MANY_BEFORE, MANY_AFTER),
    rewrite("an empty file is left untouched", b"", b"", setup=set_old_time,
            check=not_written),
    UnwritableCase("a file that cannot be opened for writing keeps its bytes",
                   files={"in.txt": LOCKED_BYTES}, exit_code=4,
                   after={"in.txt": LOCKED_BYTES}),
]
