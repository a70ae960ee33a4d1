"""The stand-in player window under Wine, for one case.

tests/tools/player_window.exe shows a window of the player's class (Wine's
null graphics driver creates it without a display) until STOP_FILE exists.

The window and kelmora.exe must be on one Wine desktop. Once the last program
of a desktop has ended, Wine closes it a second later, and a program that
opened it just before that moment gets it all the same: its window then lies
on a desktop that later programs cannot see, and kelmora.exe finds no player.
A busy machine stretches that moment. So the window starts only once the Wine
server of earlier runs has exited (or, when something keeps it up, once 20
seconds have passed): it then makes a desktop of its own, which stays open
while it lives.
"""
import contextlib
import select
import shutil
import subprocess

STOP_FILE = "stop.flag"


@contextlib.contextmanager
def player_window(context, env, caption, caption_file=None):
    """Yields None once the window shows, or the problem if it does not.
    The window goes, by its process, when the block ends."""
    tool = context.path("player_window.exe")
    shutil.copy2(context.build_dir / "tests" / "tools" / "player_window.exe", tool)
    runner = list(context.runner)
    waiting = subprocess.Popen(runner + ["wineserver", "-w"], env=env,
                               stdin=subprocess.DEVNULL)
    try:
        waiting.wait(timeout=20)
    except subprocess.TimeoutExpired:
        # A process that outlives its run keeps the server up: the window
        # is started all the same.
        waiting.kill()
        waiting.wait()
    args = [str(tool), caption, STOP_FILE] + ([caption_file] if caption_file else [])
    window = subprocess.Popen(runner + args, cwd=context.folder, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
    try:
        ready, _, _ = select.select([window.stdout], [], [], 60)
        line = window.stdout.readline().strip() if ready else b""
        if line == b"ready":
            yield None
        else:
            window.kill()
            _, errors = window.communicate()
            yield (f"player_window did not show its window: {line!r}, "
                   f"exit {window.returncode}, {errors.strip()!r}")
    finally:
        context.path(STOP_FILE).touch()
        try:
            window.wait(timeout=30)
        except subprocess.TimeoutExpired:
            window.kill()
            window.wait()
