"""The template pass: line ends, long lines, empty files, a file that cannot
be rewritten, and the journal that keeps a rewrite whole."""
import dataclasses
import errno
import os
import shutil
import struct
import subprocess
import random
import tempfile
import time
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


def interrupt(context, name="in.txt", user=None, then=None):
    """Runs the program on `name` (as `user`, a uid) and kills it at the test
    build's pause point, once its journal is on disk and before the file is
    written; then writes `then` over the file in place, as a run killed while
    writing would have left it."""
    fifo = context.path("pause")
    if not fifo.exists():
        os.mkfifo(fifo)
    prefix = [] if user is None else ["setpriv", f"--reuid={user}", f"--regid={user}",
                                      "--clear-groups"]
    env = dict(context.env, KELMORA_TEST_PAUSE=str(fifo))
    folder = context.path(os.path.dirname(name) or ".")
    before = set(os.listdir(folder))
    process = subprocess.Popen(prefix + [str(context.program), name], cwd=context.folder,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=env)
    # Opening the FIFO without waiting succeeds once the run waits at it.
    for _ in range(2000):
        try:
            held = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
            break
        except OSError:
            time.sleep(0.005)
    process.kill()
    process.wait()
    os.close(held)
    made = set(os.listdir(folder)) - before - {"pause"}
    if then is not None:
        with open(context.path(name), "r+b") as target:
            target.write(then)
            target.truncate()
    return folder / made.pop()


RESTORED = BULLET + b"[in.txt] restored: an earlier run was cut short while rewriting it.\r\n"


def kept(journal: bytes, why: bytes) -> bytes:
    return (BANNER + BULLET + b"[" + journal + b"] NOT trusted!\r\n   " + why
            + b"\r\n   aborting...\r\n")


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
# 40 MB: no copy of it fits under the case's limit of 40,000 KiB.
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
    # What is done before the file is made unwritable.
    prepare: Callable = None

    """The template cannot be opened for writing while the program runs.

    On Linux the file is made read-only (chmod), or immutable (chattr +i)
    when running as root, whom permissions do not stop. Under Wine another
    process (tests/tools/hold_file.exe) holds it open without sharing.
    """

    def runs_on(self, on_wine: bool) -> bool:
        if not super().runs_on(on_wine):
            return False
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
            if self.prepare:
                self.prepare(ctx)
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


PADDED = b"@PAD{LEFT|.|4|x}\n"
FILLED = b"...x" + OWN_END
OTHER_USER = 65534


def interrupted(then=b"half new\r\n", **extra):
    """A case setup: a run on in.txt was killed after its journal was made."""
    def setup(context):
        interrupt(context, then=then, **extra)
    return setup


def locked_after(prepare):
    """UnwritableCase's lock comes after `prepare`."""
    def setup(context):
        prepare(context)
    return setup


def in_shared_folder(as_user):
    """in.txt lies in a sticky folder open to all, owned by `as_user` (None:
    root); another user planted a journal of a file of their own beside it."""
    def setup(context):
        os.chmod(context.folder, 0o755)
        shared = context.path("shared")
        shared.mkdir()
        os.chmod(shared, 0o1777)
        os.rename(context.path("in.txt"), shared / "in.txt")
        context.write("shared/theirs.txt", b"their text\n")
        os.chown(shared / "theirs.txt", OTHER_USER, OTHER_USER)
        journal = interrupt(context, "shared/theirs.txt", user=OTHER_USER)
        subprocess.run(["setpriv", f"--reuid={OTHER_USER}", f"--regid={OTHER_USER}",
                        "--clear-groups", "cp", str(journal), str(shared / JOURNAL)], check=True)
        if as_user is not None:
            os.chown(shared / "in.txt", as_user, as_user)
            context.runner = ["setpriv", f"--reuid={as_user}", f"--regid={as_user}",
                              "--clear-groups"] + list(context.runner)
    return setup


def untouched_in_shared(context, code, out):
    got = context.read("shared/in.txt")
    planted = context.read("shared/" + JOURNAL)
    problems = [] if got == PADDED else [f"in.txt became {got!r}"]
    if not planted.startswith(b"KELMJRN3"):
        problems.append("the planted journal was changed")
    return problems


def journal_damaged(context):
    interrupt(context, then=b"half new\r\n")
    data = bytearray(context.read(JOURNAL))
    data[4096 + 2] ^= 1
    context.write(JOURNAL, bytes(data))


def file_made_anew(context):
    interrupt(context)
    os.remove(context.path("in.txt"))
    context.write("in.txt", b"made anew\n")


def link_at_journal(context):
    context.write("elsewhere", b"x")
    os.symlink("elsewhere", context.path(JOURNAL))


def append_only_folder(context):
    folder = context.path("d")
    folder.mkdir()
    os.rename(context.path("in.txt"), folder / "in.txt")
    subprocess.run(["chattr", "+a", folder], check=True)


def stays_finished(context, code, out):
    """A second run must not put the old content back."""
    try:
        again, _ = context.run(["d/in.txt"])
        got = context.read("d/in.txt")
    finally:
        subprocess.run(["chattr", "-a", context.path("d")], capture_output=True)
    return [] if got == FILLED and again == 4 else [f"the next run left {got!r}, exit {again}"]


LONG_NAME = "n" * 245 + ".txt"


def long_name_recovered(context, code, out):
    left = sorted(os.listdir(context.folder))
    if context.read(LONG_NAME) != FILLED or any("journal" in name for name in left):
        return [f"left {context.read(LONG_NAME)!r} and {left}"]
    return [] if b"restored" in out else ["no restored line"]


def run_through_other_name(context):
    os.link(context.path("in.txt"), context.path("link.txt"))
    interrupt(context, "link.txt", then=b"half new\r\n")


def two_runs_at_once(context, code, out):
    """20 pairs of runs on a 3 MB file, the second started 0-150 ms after the
    first: both end well, and the file is the filled text."""
    rng = random.Random(16)
    problems = []
    command = list(context.runner) + [str(context.program), "big.txt"]
    for pair in range(20):
        context.write("big.txt", PADDED * 180000)
        first = subprocess.Popen(command, cwd=context.folder, env=context.env,
                                 stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        time.sleep(rng.uniform(0, 0.15))
        second = subprocess.Popen(command, cwd=context.folder, env=context.env,
                                  stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        codes = (first.wait(timeout=120), second.wait(timeout=120))
        if codes != (0, 0) or context.read("big.txt") != FILLED * 180000:
            problems.append(f"pair {pair}: exit codes {codes}, the file is not the filled text")
    return problems


def users_file(data):
    return Case(f"a file of the user's at the journal's place ({data[:12]!r}) is left alone",
                files={"in.txt": PADDED, JOURNAL: data}, exit_code=4,
                stdout=kept(JOURNAL.encode(), b"it is no journal of this program"),
                after={"in.txt": PADDED, JOURNAL: data}, platforms="linux")


JOURNAL_CASES = [
    Case("a journal planted by another user in a shared folder is not trusted, by root",
         files={"in.txt": PADDED}, setup=in_shared_folder(None), exit_code=4,
         stdout=kept(b"shared/" + JOURNAL.encode(),
                     b"it belongs to another user, or others may write to it"),
         args=["shared/in.txt"], check=untouched_in_shared, platforms="linux"),
    Case("a journal planted by another user in a shared folder is not trusted, by a user",
         files={"in.txt": PADDED}, setup=in_shared_folder(65533), exit_code=4,
         stdout=kept(b"shared/" + JOURNAL.encode(), os.strerror(errno.EACCES).encode()),
         args=["shared/in.txt"], check=untouched_in_shared, platforms="linux"),
    Case("a link at the journal's place is not followed", files={"in.txt": PADDED},
         setup=link_at_journal, exit_code=4,
         stdout=kept(JOURNAL.encode(), b"it is not a regular file"),
         after={"in.txt": PADDED, "elsewhere": b"x"}, platforms="linux"),
    Case("a journal of a file since deleted is not put back into the new one",
         files={"in.txt": PADDED}, setup=file_made_anew, exit_code=4,
         stdout=kept(JOURNAL.encode(), b"it was made for another file of that name"),
         after={"in.txt": b"made anew\n"}, check=journal_left(True), platforms="linux"),
    Case("a damaged journal beside a half-written file ends the run with 5 and is kept",
         files={"in.txt": PADDED}, setup=journal_damaged, exit_code=5,
         stdout=BANNER + BULLET + b"[in.txt] may be damaged: its journal cannot be used!\r\n"
         b"   the journal is damaged\r\n   it is kept in [" + JOURNAL.encode() + b"].\r\n"
         b"   aborting...\r\n",
         after={"in.txt": b"half new\r\n"}, check=journal_left(True), platforms="linux"),
    Case("a journal that cannot be removed is marked finished and never put back",
         files={"in.txt": PADDED}, setup=append_only_folder, args=["d/in.txt"],
         stdout=clean_run("d/in.txt") + BULLET + b"[d/" + JOURNAL.encode()
         + b"] NOT removed!\r\n   " + os.strerror(errno.EPERM).encode()
         + b"\r\n   it is marked finished: no later run puts it back.\r\n",
         after={"d/in.txt": FILLED}, check=stays_finished, platforms="linux"),
    Case("a 249-byte name's journal fits, and a killed run is recovered",
         files={LONG_NAME: PADDED}, args=[LONG_NAME],
         setup=lambda context: interrupt(context, LONG_NAME, then=b"half new\r\n"),
         check=long_name_recovered, platforms="linux"),
    users_file(b""),
    users_file(b"KELMJRN3 and then my own words\n"),
    users_file(b"my notes\n"),
    Case("a run killed through one name is recovered through another",
         files={"in.txt": PADDED}, setup=run_through_other_name,
         stdout=BANNER + RESTORED + clean_run("in.txt")[len(BANNER):],
         after={"in.txt": FILLED, "link.txt": FILLED}, check=journal_left(False),
         platforms="linux"),
    Case("two runs at once: the second waits for the first", files={"in.txt": b""},
         stdout=None, check=two_runs_at_once, platforms="linux"),
]


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
         files={"in.txt": PADDED}, setup=interrupted(),
         stdout=BANNER + RESTORED + clean_run("in.txt")[len(BANNER):],
         after={"in.txt": FILLED}, check=journal_left(False), platforms="linux"),
    UnwritableCase("a journal that cannot be put back ends the run with 5 and is kept",
                   files={"in.txt": b"original\n"}, exit_code=5, message=not_restored,
                   prepare=interrupted(then=LOCKED_BYTES), after={"in.txt": LOCKED_BYTES},
                   check=journal_left(True), platforms="linux"),
    *JOURNAL_CASES,

    # What the system does to the run.
    Case("a file-size limit is a failure to rewrite, not a lost file",
         files={"in.txt": GROWING}, setup=in_bash('ulimit -f 64; exec "$@"'), exit_code=4,
         stdout=not_rewritten(os.strerror(errno.EFBIG).encode()), after={"in.txt": GROWING},
         check=journal_left(False), platforms="linux"),
    Case("a file already past the file-size limit is not written, as no journal fits",
         files={"in.txt": TOO_BIG}, setup=in_bash('ulimit -f 64; exec "$@"'), exit_code=4,
         stdout=not_rewritten(os.strerror(errno.EFBIG).encode()),
         after={"in.txt": TOO_BIG}, check=journal_left(False), platforms="linux"),
    rewrite("the rewritten file is the same file, with its links and permissions", b"a\n",
            b"a\n", setup=linked_and_private, check=same_file, platforms="linux"),
    rewrite("a file larger than the memory the run may take is filled in pieces", HUGE,
            HUGE.replace(b"\n", OWN_END), setup=in_bash('ulimit -v 40000; exec "$@" 2>&-'),
            check=journal_left(False), platforms="linux", sanitizers=False),
    rewrite("a killed run's journal larger than the memory the run may take is put back",
            HUGE, HUGE.replace(b"\n", OWN_END),
            stdout=BANNER + RESTORED + clean_run("in.txt")[len(BANNER):],
            setup=lambda context: (interrupt(context, then=b"half new\r\n"),
                                   in_bash('ulimit -v 40000; exec "$@" 2>&-')(context)),
            check=journal_left(False), platforms="linux", sanitizers=False),
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
