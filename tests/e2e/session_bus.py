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


@contextlib.contextmanager
def session_bus(folder, player_tool, players):
    """Starts a bus listening on `folder`/bus (its --address replaces the
    configuration's listen address), then each player (the argument
    list of player_tool) in order, each once it owns its name. Yields the
    bus address."""
    config = folder / "bus.conf"
    config.write_bytes(CONFIG)
    started = []
    try:
        daemon = subprocess.Popen(
            ["dbus-daemon", "--nofork", "--print-address=1", f"--config-file={config}",
             f"--address=unix:path={folder / 'bus'}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        started.append(daemon)
        address = _first_line(daemon, "dbus-daemon").decode()
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        for arguments in players:
            player = subprocess.Popen([str(player_tool)] + list(arguments), env=env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL)
            started.append(player)
            if _first_line(player, f"player {arguments}") != b"ready":
                raise RuntimeError(f"player {arguments} did not take its name")
        yield address
    finally:
        for process in reversed(started):
            _stop(process)
