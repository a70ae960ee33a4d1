"""How the program names its settings file in messages."""
import os

from harness import BULLET

PAUSE = b"   pause (3 seconds)\r\n"


def settings_path(context) -> bytes:
    """kelmora.ctl beside the program: in its real directory on Linux, and as
    Wine names the program's path (drive Z: for the Unix root) under Wine."""
    folder = context.program.parent
    if context.on_wine:
        return b"Z:" + str(folder).replace("/", "\\").encode() + b"\\kelmora.ctl"
    return os.path.realpath(folder).encode() + b"/kelmora.ctl"


def missing_settings_path(context) -> bytes:
    """The path a "NOT found!" line names when no settings file exists: on
    Linux the one in the user's folder, under Wine the one beside the program."""
    if context.on_wine:
        return settings_path(context)
    folder = context.env.get("XDG_CONFIG_HOME") or context.env["HOME"] + "/.config"
    return folder.encode() + b"/kelmora/kelmora.ctl"


def wrong_lines(context, numbers) -> bytes:
    """The report of wrong lines, up to and including the pause line."""
    shown = settings_path(context)
    return (b"\r\n" + b"".join(BULLET + b"wrong line [#%d] in [" % n + shown + b"]\r\n"
                               for n in numbers) + PAUSE)
