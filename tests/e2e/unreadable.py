"""Files that exist but cannot be read during one run of the program."""
import shutil
import socket
import subprocess


def _socket_in_place(context, name):
    """A UNIX-domain socket at the path: it exists and is no directory, but
    opening it fails (ENXIO), for root as well."""
    path = context.path(name)
    if path.exists():
        path.unlink()
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(str(path))
    listener.close()  # the socket file stays


def _held_during_run(context, name):
    """The run goes through hold_file.exe, which keeps the file open without
    sharing it while the program runs."""
    tool = context.path("hold_file.exe")
    shutil.copy2(context.build_dir / "tests" / "tools" / "hold_file.exe", tool)

    def held_run(args, timeout=60):
        command = list(context.runner) + [str(tool), name, "kelmora.exe"] + list(args)
        result = subprocess.run(command, cwd=context.folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout)
        return result.returncode, result.stdout

    context.run = held_run


def make_unreadable(name):
    """A case setup: `name` in the scratch folder exists but cannot be read
    while the program runs (a socket on Linux, a held file under Wine)."""
    def setup(context):
        if context.on_wine:
            _held_during_run(context, name)
        else:
            _socket_in_place(context, name)
    return setup
