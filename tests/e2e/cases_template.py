"""The template pass: line ends, long lines, empty files, a file that cannot
be rewritten, and the journal that keeps a rewrite whole."""
import dataclasses
import errno
import os
import shutil
import struct
import subprocess
import tempfile
from typing import Callable

from harness import BANNER, BULLET, OWN_END, Case, clean_run

K1024 = b"x" * 1024
# A time long past, to tell whether a run wrote to a file.
OLD_TIME = 1000000000


def rewrite(name, before, after, files=None, **extra):
    extra.setdefault("stdout", clean_run("in.txt"))
    extra.setdefault("after", {"in.txt": after})
    return Case(name, files={"in.txt": before, **(files or {})}, **extra)


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


def not_rewritten(reason: bytes, name: str = "in.txt") -> bytes:
    return (clean_run(name)[:-len(b"done!\r\n")] + BULLET + b"[%s] NOT rewritten!\r\n" % name.encode()
            + b"   " + reason + b"\r\n" + b"   aborting...\r\n")


JOURNAL = "in.txt.kelmora-journal"


def journal_of(original: bytes) -> bytes:
    """The journal a run writes before it changes a file holding `original`."""
    checksum = 14695981039346656037
    for byte in original:
        checksum = ((checksum ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return b"KELMJRN1" + struct.pack("<QQ", len(original), checksum) + original


RESTORED = BULLET + b"[in.txt] restored: an earlier run was cut short while rewriting it.\r\n"


def not_restored(reason: bytes) -> bytes:
    return (BANNER + BULLET + b"[in.txt] may be damaged: its original bytes could not be "
            b"written back!\r\n   " + reason + b"\r\n   its original bytes are kept in ["
            + JOURNAL.encode() + b"]; the next run puts them back.\r\n   aborting...\r\n")


def journal_left(present: bool):
    def check(context, code, out):
        if context.path(JOURNAL).exists() == present:
            return []
        return ["the journal was " + ("removed" if present else "left behind")]
    return check


def in_bash(script):
    """A case setup: the program runs inside `bash -c script`, where "$@" is
    the program with its arguments."""
    def setup(context):
        def run(args, timeout=60):
            command = (["bash", "-c", script, "bash"] + list(context.runner)
                       + [str(context.program)] + list(args))
            result = subprocess.run(command, cwd=context.folder, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    timeout=timeout)
            return result.returncode, result.stdout
        context.run = run
    return setup


def append_while_paused(context):
    """The run stops at the test build's pause point, just before it writes
    the file; a line is appended to the file meanwhile."""
    fifo = context.path("pause")
    os.mkfifo(fifo)

    def run(args, timeout=60):
        env = dict(os.environ, KELMORA_TEST_PAUSE=str(fifo))
        process = subprocess.Popen(list(context.runner) + [str(context.program)] + list(args),
                                   cwd=context.folder, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        with open(fifo, "wb"):  # returns once the run has opened its end
            with open(context.path("in.txt"), "ab") as target:
                target.write(b"appended\n")
        out, _ = process.communicate(timeout=timeout)
        return process.returncode, out

    context.run = run


def linked_and_private(context):
    """in.txt gets a second name and permissions of its own."""
    os.chmod(context.path("in.txt"), 0o640)
    os.link(context.path("in.txt"), context.path("link.txt"))
    context.inode = os.stat(context.path("in.txt")).st_ino


def same_file(context, code, out):
    info = os.stat(context.path("in.txt"))
    if (info.st_ino, info.st_nlink, info.st_mode & 0o777) != (context.inode, 2, 0o640):
        return [f"the file was replaced: inode {info.st_ino}, {info.st_nlink} links, "
                f"mode {info.st_mode & 0o777:o}"]
    return []


def fifo_in_place(context):
    os.mkfifo(context.path("in.txt"))


# 19,000 bytes that grow to 102,000, past a 64 KiB limit on file size.
GROWING = b"@PAD{LEFT|.|100|x}\n" * 1000
# 72,000 bytes that grow: past a 64 KiB limit on file size before the run
# begins.
TOO_BIG = b"@PAD{LEFT|.|30|x}\n" * 4000
# 40 MB: one copy in memory fits under the case's limit of 70,000 KiB, two do
# not.
HUGE = b"some text\n" * 4_000_000


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
    # What the run says, given the OS's reason why the file cannot be written.
    message: Callable = not_rewritten

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
        self.stdout = self.message(os.strerror(errno.EPERM if as_root else errno.EACCES)
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
        expected = [self.message(reason) for reason in SHARING_VIOLATION]
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
    rewrite("LF line ends stay the build's own", b"a\nb\n", b"a" + OWN_END + b"b" + OWN_END),
    rewrite("CR line ends become CR LF", b"a\rb\r", b"a\r\nb\r\n"),
    rewrite("LF CR is one line end", b"a\n\rb", b"a\r\nb\r\n"),
    rewrite("CR CR is two line ends", b"a\r\rb", b"a\r\n\r\nb\r\n"),
    rewrite("LF LF is two line ends", b"a\n\nb", b"a" + OWN_END * 2 + b"b" + OWN_END),
    rewrite("a last line without line end gets one", b"a", b"a" + OWN_END),
    rewrite("trailing empty lines survive", b"a\r\n\r\n", b"a\r\n\r\n"),
    rewrite("only empty lines", b"\n\n\r\r\n", b"\r\n\r\n\r\n"),
    rewrite("a 1500-character line is split without loss", b"y" * 1500 + b"\r\n",
            b"y" * 1024 + b"\r\n" + b"y" * 476 + b"\r\n"),
    rewrite("a 1024-character line stays one line", K1024 + b"\r\n" + K1024,
            K1024 + b"\r\n" + K1024 + b"\r\n"),
    rewrite("a 2048-character line gives two pieces", K1024 * 2 + b"\n",
            K1024 + OWN_END + K1024 + OWN_END),
    # One ASCII byte first, so that every 1024th byte would fall inside a
    # two-byte Cyrillic letter.
    rewrite("a 2001-byte line of Cyrillic splits between characters",
            b"x" + "ж".encode() * 1000 + b"\r\n",
            b"x" + "ж".encode() * 511 + b"\r\n" + "ж".encode() * 489 + b"\r\n",
            platforms="linux"),
    rewrite("a NUL byte and what follows it are kept", b"a\0b @PAD{LEFT|.|4|x}\nc",
            b"a\0b ...x" + OWN_END + b"c" + OWN_END),
    rewrite("a shorter result leaves nothing of the old content",
            b"@PAD{RIGHT|.|3|abcdef}\r\n" * 300, b"abc\r\n" * 300),
    rewrite("a longer result grows the file", b"@PAD{RIGHT|.|200|ab}\n" * 300,
            (b"ab" + b"." * 198 + OWN_END) * 300),
    # Each half is a line of its own: the first a call without its closing
    # brace (an empty argument), the second plain text.
    rewrite("a call split by a line end is not one call", b"@SIZE{4|123\n456789}",
            b"0Kb4|123" + OWN_END + b"456789}" + OWN_END),
    rewrite("ten thousand lines", MANY_BEFORE, MANY_AFTER),
    rewrite("an empty file is left untouched", b"", b"", setup=set_old_time,
            check=not_written),
    UnwritableCase("a file that cannot be opened for writing keeps its bytes",
                   files={"in.txt": LOCKED_BYTES}, exit_code=4,
                   after={"in.txt": LOCKED_BYTES}),

    # The journal.
    Case("a journal left by an interrupted run is put back first",
         files={"in.txt": b"half new\r\n", JOURNAL: journal_of(b"@PAD{LEFT|.|4|x}\n")},
         stdout=BANNER + RESTORED + clean_run("in.txt")[len(BANNER):],
         after={"in.txt": b"...x" + OWN_END}, check=journal_left(False)),
    UnwritableCase("a journal that cannot be put back ends the run with 5 and is kept",
                   files={"in.txt": LOCKED_BYTES, JOURNAL: journal_of(b"original\n")},
                   exit_code=5, message=not_restored,
                   after={"in.txt": LOCKED_BYTES, JOURNAL: journal_of(b"original\n")}),

    # What the system does to the run.
    Case("a file-size limit is a failure to rewrite, not a lost file",
         files={"in.txt": GROWING}, setup=in_bash('ulimit -f 64; exec "$@"'), exit_code=4,
         stdout=not_rewritten(os.strerror(errno.EFBIG).encode()), after={"in.txt": GROWING},
         check=journal_left(False), platforms="linux"),
    Case("a file already past the file-size limit may be damaged, and no journal fits",
         files={"in.txt": TOO_BIG}, setup=in_bash('ulimit -f 64; exec "$@"'), exit_code=5,
         stdout=not_rewritten(os.strerror(errno.EFBIG).encode())[:-len(b"   aborting...\r\n")]
         + BULLET + b"[in.txt] may be damaged: its original bytes could not be written back!"
         b"\r\n   " + os.strerror(errno.EFBIG).encode() + b"\r\n   aborting...\r\n",
         after={"in.txt": TOO_BIG}, check=journal_left(False), platforms="linux"),
    rewrite("the rewritten file is the same file, with its links and permissions", b"a\n",
            b"a\n", setup=linked_and_private, check=same_file, platforms="linux"),
    Case("running out of memory is a failure to rewrite, with standard error closed",
         files={"in.txt": HUGE}, setup=in_bash('ulimit -v 40000; exec "$@" 2>&-'),
         exit_code=4, stdout=not_rewritten(os.strerror(errno.ENOMEM).encode()),
         after={"in.txt": HUGE}, platforms="linux", sanitizers=False),
    rewrite("closed standard streams take no file's place", b"a\n", b"a\n",
            setup=in_bash('exec "$@" 0<&- 1>&- 2>&-'), stdout=b"", platforms="linux"),
    rewrite("a reader that stops reading changes nothing", b"a\n", b"a\n",
            setup=in_bash('"$@" | head -c1; exit ${PIPESTATUS[0]}'), stdout=b"\n",
            platforms="linux"),
    Case("a line appended during the run stops the rewrite",
         files={"in.txt": b"@PAD{LEFT|.|4|x}\n"}, setup=append_while_paused, exit_code=4,
         stdout=not_rewritten(b"the file changed while it was being processed"),
         after={"in.txt": b"@PAD{LEFT|.|4|x}\nappended\n"}, check=journal_left(False),
         platforms="linux"),
    Case("a template that is a FIFO is not opened", setup=fifo_in_place, exit_code=4,
         stdout=not_rewritten(b"not a regular file"), platforms="linux"),
    Case("a template that is a device is not read", args=["/dev/zero"], exit_code=4,
         stdout=not_rewritten(b"not a regular file", "/dev/zero"), platforms="linux"),
]
