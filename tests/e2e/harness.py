"""The pieces the e2e cases are made of."""
import dataclasses
import os
import shutil
import subprocess
from typing import Callable, Optional

BANNER = b"\r\nToval's template processor v1.0\r\n\r\n"
# What differs between the builds' messages; set by use_build before the
# cases are loaded.
BULLET = b" \xfe "
PROGRAM_NAME = b"kelmora.exe"
# The line end of a rewritten template that holds no CR.
OWN_END = b"\r\n"
ON_WINE = True


def use_build(on_wine: bool):
    """The Windows build writes the bullet as the code page 866 byte; the
    Linux build as U+25A0 in UTF-8, names itself "kelmora", and writes a
    template without CR back with LF."""
    global BULLET, PROGRAM_NAME, OWN_END, ON_WINE
    ON_WINE = on_wine
    OWN_END = b"\r\n" if on_wine else b"\n"
    BULLET = b" \xfe " if on_wine else b" \xe2\x96\xa0 "
    PROGRAM_NAME = b"kelmora.exe" if on_wine else b"kelmora"


def own_line_ends(messages: bytes) -> bytes:
    """The cases write message lines as the Windows build ends them, with
    CR LF; the Linux build ends them with LF."""
    return messages if ON_WINE else messages.replace(b"\r\n", b"\n")


def clean_run(name) -> bytes:
    """What a run without any message writes for the file `name`."""
    shown = name if isinstance(name, bytes) else name.encode("latin-1")
    return BANNER + b"reading config... done!\r\nprocessing [" + shown + b"]... done!\r\n"


class Context:
    """One scratch folder with a copy of the program in it."""

    def __init__(self, folder, program, runner, on_wine):
        self.folder = folder
        # Without the session bus the test machine may have: a run must not
        # meet its players. Cases that want a bus start their own.
        self.env = {name: value for name, value in os.environ.items()
                    if name not in ("DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")}
        # On Linux the settings may lie in the user's folder or a system-wide
        # one: each run gets a home folder of its own, no XDG_CONFIG_HOME
        # unless a case sets one, and XDG_CONFIG_DIRS at a folder of its own
        # rather than the machine's /etc/xdg.
        if not on_wine:
            self.env.pop("XDG_CONFIG_HOME", None)
            self.env["HOME"] = str(folder / "home")
            self.env["XDG_CONFIG_DIRS"] = str(folder / "etc-xdg")
        self.on_wine = on_wine
        self.runner = runner
        self.program = folder / ("kelmora.exe" if on_wine else "kelmora")
        shutil.copy2(program, self.program)
        # The build tree, where test-only tools lie (tests/tools/).
        self.build_dir = program.parent
        self.stderr = b""

    def path(self, name: str):
        return self.folder / name

    def write(self, name: str, data: bytes):
        target = self.folder / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)

    def read(self, name: str) -> bytes:
        return (self.folder / name).read_bytes()

    def run(self, args, timeout=60, input=None):
        """Runs the program; standard error is kept in self.stderr."""
        command = list(self.runner) + [str(self.program)] + list(args)
        result = subprocess.run(command, cwd=self.folder,
                                stdin=subprocess.DEVNULL if input is None else None,
                                input=input, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout, env=self.env)
        self.stderr = result.stderr
        return result.returncode, result.stdout


@dataclasses.dataclass
class Case:
    """A run of the program and what it must leave behind.

    args: the command-line arguments; by default the one template "in.txt".
    files: files placed in the scratch folder before the run.
    ctl: the kelmora.ctl beside the program; None for no settings file.
    stdout: the exact bytes expected, or a function of the context giving them.
    after: files and their exact bytes after the run.
    check: more checks, a function (context, exit_code, stdout) -> [problems].
    platforms: "both", "linux" or "wine".
    tools: test programs of the build (tests/tools/) the case needs; it is
    skipped in a build without them.
    sanitizers: False for a case that cannot run under the sanitizers (a
    limit on virtual memory, which their shadow memory exceeds).
    stdin: bytes for standard input; None for the null device.
    stderr: the exact bytes expected on standard error, or a function of the
    context giving them; None for no check.
    text_out: stdout is the filled text (-o -), whose line ends are the
    template's, not the messages' of the build.
    """
    name: str
    args: Optional[list] = None
    files: dict = dataclasses.field(default_factory=dict)
    ctl: Optional[bytes] = b""
    exit_code: int = 0
    stdout: object = None
    after: dict = dataclasses.field(default_factory=dict)
    setup: Optional[Callable] = None
    check: Optional[Callable] = None
    platforms: str = "both"
    tools: tuple = ()
    sanitizers: bool = True
    stdin: Optional[bytes] = None
    stderr: object = None
    text_out: bool = False

    def runs_on(self, on_wine: bool) -> bool:
        return self.platforms == "both" or self.platforms == ("wine" if on_wine else "linux")

    def tools_built(self, build_dir) -> bool:
        return all((build_dir / "tests" / "tools" / tool).exists() for tool in self.tools)

    def run(self, context: Context):
        if self.ctl is not None:
            context.write("kelmora.ctl", self.ctl)
        for name, data in self.files.items():
            context.write(name, data)
        if self.setup:
            self.setup(context)
        args = ["in.txt"] if self.args is None else self.args
        code, out = context.run(args, input=self.stdin) if self.stdin is not None \
            else context.run(args)

        problems = []
        if code != self.exit_code:
            problems.append(f"exit code {code}, expected {self.exit_code}")
        expected = self.stdout(context) if callable(self.stdout) else self.stdout
        if expected is not None and not self.text_out:
            expected = own_line_ends(expected)
        if expected is not None and out != expected:
            problems.append(f"stdout\n  got      {out!r}\n  expected {expected!r}")
        expected_err = self.stderr(context) if callable(self.stderr) else self.stderr
        if expected_err is not None:
            expected_err = own_line_ends(expected_err)
        if expected_err is not None and context.stderr != expected_err:
            problems.append(f"stderr\n  got      {context.stderr!r}\n  expected {expected_err!r}")
        for name, data in self.after.items():
            got = context.read(name)
            if got != data:
                problems.append(f"file {name}\n  got      {got[:300]!r}\n  expected {data[:300]!r}")
        if self.check:
            problems.extend(self.check(context, code, out))
        return problems
