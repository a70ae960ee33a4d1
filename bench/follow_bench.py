#!/usr/bin/env python3
"""What following the song costs: kelmora --follow on a private session bus
with the test player of the MPRIS tests (tests/tools/mpris_player
--control), in an optimised build (build/bench-follow, made here).

  - latency: a track change to the new text in OUTPUT, median of 20
    (goal: at most 100 ms);
  - idle CPU: user and system time of following an idle player for 60 s
    (goal: at most 50 ms);
  - memory: resident size after the first 100 track changes and after
    10,000 (goal: flat).

    bench/follow_bench.py [--changes N] [--idle-seconds S] [--folder DIR]

OUTPUT lies in a fresh folder under --folder (default: the system's
temporary folder), so its file system's flushes count in the latency.
"""
import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "bench-follow"
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from session_bus import PrivateBus, command  # noqa: E402

CTL = b"NoWamp none\r\n"
TEMPLATE = b"Now playing: @CurrentSong\r\n"


def build():
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(BUILD), "-DCMAKE_BUILD_TYPE=Release",
                    "-DKELMORA_TESTS=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target", "kelmora", "mpris_player",
                    "-j", "2"], check=True, stdout=subprocess.DEVNULL)


def expected(title: str) -> bytes:
    return b"Now playing: " + title.encode() + b"\r\n"


def wait_for(path, data, seconds=10.0):
    """Seconds until `path` holds `data`, looked at every 0.2 ms."""
    start = time.monotonic()
    while time.monotonic() - start < seconds:
        try:
            if path.read_bytes() == data:
                return time.monotonic() - start
        except FileNotFoundError:
            pass
        time.sleep(0.0002)
    raise RuntimeError(f"{path} never held {data!r}")


def cpu_ms(pid) -> float:
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime + stime
    return ticks * 1000.0 / os.sysconf("SC_CLK_TCK")


def rss_kib(pid) -> int:
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def change(player, output, title):
    """A track change: the seconds from the player's signal to OUTPUT."""
    command(player, "title " + title)  # returns once the signal is out
    return wait_for(output, expected(title))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--changes", type=int, default=10000)
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--folder", default=None)
    args = parser.parse_args()
    build()
    with tempfile.TemporaryDirectory(prefix="kelmora-follow-", dir=args.folder) as scratch:
        folder = pathlib.Path(scratch)
        program = folder / "kelmora"
        program.write_bytes((BUILD / "kelmora").read_bytes())
        program.chmod(0o755)
        (folder / "kelmora.ctl").write_bytes(CTL)
        (folder / "in.txt").write_bytes(TEMPLATE)
        output = folder / "out.txt"
        bus = PrivateBus(folder, BUILD / "tests" / "tools" / "mpris_player")
        follower = None
        try:
            bus.start()
            env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=f"unix:path={folder / 'bus'}",
                       HOME=str(folder))
            player = bus.add_player(["bench", "Playing", "--title", "First"], control=True)
            follower = subprocess.Popen([str(program), "--follow", "-q", "in.txt", "-o", "out.txt"],
                                        cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(output, expected("First"))
            time.sleep(0.5)  # the start-up's second look at the bus is over

            latencies = [change(player, output, f"Latency {i}") for i in range(20)]
            median_ms = statistics.median(latencies) * 1000

            before = cpu_ms(follower.pid)
            time.sleep(args.idle_seconds)
            idle_ms = cpu_ms(follower.pid) - before

            for i in range(100):
                change(player, output, f"Warm {i}")
            rss_early = rss_kib(follower.pid)
            start = time.monotonic()
            for i in range(args.changes):
                change(player, output, f"Track {i}")
            took = time.monotonic() - start
            rss_late = rss_kib(follower.pid)
        finally:
            if follower is not None:
                follower.terminate()
                follower.wait(timeout=10)
            bus.close()

    print(f"track change to OUTPUT, median of 20: {median_ms:7.1f} ms  "
          f"(min {min(latencies) * 1000:.1f}, max {max(latencies) * 1000:.1f}; goal <= 100 ms) "
          f"{'met' if median_ms <= 100 else 'MISSED'}")
    scaled = idle_ms * 60.0 / args.idle_seconds
    print(f"CPU following an idle player for {args.idle_seconds:.0f} s: {idle_ms:7.1f} ms  "
          f"(goal <= 50 ms per 60 s) {'met' if scaled <= 50 else 'MISSED'}")
    grown = rss_late - rss_early
    print(f"resident memory after 100 changes: {rss_early} KiB; after {args.changes} more "
          f"({took:.0f} s): {rss_late} KiB; grown {grown} KiB "
          f"{'flat' if grown <= 256 else 'GROWING'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
