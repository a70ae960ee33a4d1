"""A private D-Bus session bus with test media players on it, for one case.

The bus takes its own configuration: no service activation, so nothing but
what the case starts ever joins it. Everything started is stopped by its
process id when the case ends.
"""
import contextlib
import os
import select
import subprocess

CONFIG = b"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def _first_line(process, what, seconds=10) -> bytes:
    ready, _, _ = select.select([process.stdout], [], [], seconds)
    line = process.stdout.readline().strip() if ready else b""
    if not line:
        raise RuntimeError(f"{what} did not start (exit {process.poll()})")
    return line


def _stop(process):
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class PrivateBus:
    """A bus listening on `folder`/bus (its --address replaces the
    configuration's listen address) and the players started on it; each can
    be stopped and started again, at the same address. close() stops
    whatever is still running."""

    def __init__(self, folder, player_tool):
        self.folder = folder
        self.player_tool = player_tool
        self.config = folder / "bus.conf"
        self.config.write_bytes(CONFIG)
        self.daemon = None
        self.address = None
        self.players = []

    def start(self) -> str:
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--nofork", "--print-address=1", f"--config-file={self.config}",
             f"--address=unix:path={self.folder / 'bus'}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.address = _first_line(self.daemon, "dbus-daemon").decode()
        return self.address

    def stop(self):
        _stop(self.daemon)
        self.daemon = None
        # Its players lose the bus and end.
        for player in self.players:
            _stop(player)
        self.players = []

    def add_player(self, arguments, control=False):
        """Starts a player once it owns its name. With control, its standard
        input takes commands (see mpris_player --control) through command()."""
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        player = subprocess.Popen(
            [str(self.player_tool)] + list(arguments) + (["--control"] if control else []),
            env=env, stdin=subprocess.PIPE if control else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.players.append(player)
        if _first_line(player, f"player {arguments}") != b"ready":
            raise RuntimeError(f"player {arguments} did not take its name")
        return player

    def stop_player(self, player):
        self.players.remove(player)
        _stop(player)

    def close(self):
        for player in reversed(self.players):
            _stop(player)
        self.players = []
        if self.daemon is not None:
            _stop(self.daemon)
            self.daemon = None


def command(player, line: str):
    """Sends one command to a --control player and waits for its answer."""
    player.stdin.write(line.encode() + b"\n")
    player.stdin.flush()
    answer = _first_line(player, f"command {line!r}")
    if answer != b"ok":
        raise RuntimeError(f"command {line!r}: {answer!r}")


@contextlib.contextmanager
def session_bus(folder, player_tool, players):
    """Starts a bus listening on `folder`/bus, then each player (the argument
    list of player_tool) in order, each once it owns its name. Yields the
    bus address."""
    bus = PrivateBus(folder, player_tool)
    try:
        address = bus.start()
        for arguments in players:
            bus.add_player(arguments)
        yield address
    finally:
        bus.close()
