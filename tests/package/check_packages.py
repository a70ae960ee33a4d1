#!/usr/bin/env python3
"""Makes the packages with scripts/package and checks them from outside, as a
user's tools see them: the install tree, the .deb's files, control fields,
conffile and copyright notice, lintian, the manual page, the zip's notices,
and the program of each package run on the shipped example from an unpacked
copy (the Windows one under Wine).

    check_packages.py [--wine-prefix DIR]
"""
import argparse
import gzip
import os
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from cases_settings import BIRTH, example_filled_in  # noqa: E402
from live_values import counter_check, local_seconds  # noqa: E402

DOC = "usr/share/doc/kelmora/"
EXAMPLE_FILES = ["kelmora.ctl", "names.lst", "template.txt"]

# The plain install tree, relative to its prefix.
INSTALL_TREE = {"bin/kelmora", "share/man/man1/kelmora.1.gz", "share/doc/kelmora/README.md"} | {
    "share/doc/kelmora/examples/" + name for name in EXAMPLE_FILES}

# The system-wide settings: the commented example, a conffile of the .deb.
SYSTEM_SETTINGS = "etc/xdg/kelmora/kelmora.ctl"

# The .deb: the install tree under /usr, what Debian asks of a package, and
# the system-wide settings.
DEB_FILES = {"usr/" + path for path in INSTALL_TREE} | {
    DOC + "copyright", DOC + "changelog.Debian.gz", SYSTEM_SETTINGS}

ZIP_FILES = {"kelmora.exe", "README.txt", "LICENSES.txt"} | set(EXAMPLE_FILES)

# The notices of third-party code compiled into both programs.
LICENSES = (ROOT / "LICENSES.txt").read_text()
DEP5_FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, **kwargs)


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(kelmora VERSION (\S+)", text).group(1)


class Example:
    """The counter_check context of a run in `folder`."""

    def __init__(self, folder):
        self.folder = folder
        self.clock_before = local_seconds()

    def read(self, name):
        return (self.folder / name).read_bytes()


def run_example(command, folder, env, line_end):
    """Runs the program on template.txt in `folder`, which it must write back
    with `line_end`: [problems]."""
    example = Example(folder)
    result = run(command + ["template.txt"], cwd=folder, env=env, timeout=120)
    if result.returncode != 0:
        return [f"{command[-1]} template.txt: exit {result.returncode}\n{result.stdout!r}"]
    return counter_check(example_filled_in(line_end), BIRTH, "day", "dec", name="template.txt")(
        example, result.returncode, result.stdout)


def check_install_tree(scratch):
    stage = scratch / "stage"
    result = run(["cmake", "--install", str(ROOT / "build/release"), "--prefix", str(stage)])
    if result.returncode != 0:
        return [f"cmake --install: {result.stderr.decode()}"]
    found = {str(p.relative_to(stage)) for p in stage.rglob("*") if not p.is_dir()}
    return [] if found == INSTALL_TREE else [
        f"install tree: missing {sorted(INSTALL_TREE - found)}, extra {sorted(found - INSTALL_TREE)}"]


def check_deb_listing(deb):
    problems = []
    files = {}
    for line in run(["dpkg-deb", "-c", str(deb)]).stdout.decode().splitlines():
        mode, owner, _size, _date, _time, path = line.split(None, 5)
        if not mode.startswith("d"):
            files[path.removeprefix("./")] = (mode, owner)
        if owner != "root/root":
            problems.append(f".deb: {path} belongs to {owner}")
    if set(files) != DEB_FILES:
        problems.append(f".deb files: missing {sorted(DEB_FILES - set(files))}, "
                        f"extra {sorted(set(files) - DEB_FILES)}")
    if files.get("usr/bin/kelmora", ("",))[0] != "-rwxr-xr-x":
        problems.append(f".deb: usr/bin/kelmora has mode {files.get('usr/bin/kelmora')}")
    return problems


def check_deb_fields(deb, version):
    expected = {"Package": "kelmora", "Version": version + "-1", "Architecture": "amd64",
                "Section": "utils", "Priority": "optional"}
    problems = []
    for field, value in expected.items():
        got = run(["dpkg-deb", "-f", str(deb), field]).stdout.decode().strip()
        if got != value:
            problems.append(f".deb field {field}: {got!r}, expected {value!r}")
    depends = run(["dpkg-deb", "-f", str(deb), "Depends"]).stdout.decode()
    if not re.search(r"\blibc6 \(>= [0-9.]+\)", depends):
        problems.append(f".deb Depends lacks the computed libc6 version: {depends!r}")
    description = run(["dpkg-deb", "-f", str(deb), "Description"]).stdout.decode().splitlines()
    if len(description) < 3 or not description[0].strip() or not all(
            line.startswith(" ") for line in description[1:]):
        problems.append(f".deb Description needs a summary and a long text: {description!r}")
    if "@" not in run(["dpkg-deb", "-f", str(deb), "Maintainer"]).stdout.decode():
        problems.append(".deb Maintainer has no address")
    return problems


def check_lintian(deb):
    """No error, and no tag of a missing hardening feature, which lintian
    gives only as information."""
    result = run(["lintian", "--fail-on", "error", "--display-info", str(deb)])
    tags = [line for line in result.stdout.decode().splitlines()
            if line.startswith("E:") or ": hardening-" in line]
    if result.returncode != 0 or tags:
        return ["lintian:\n" + result.stdout.decode() + result.stderr.decode()]
    return []


def dep5_paragraphs(text):
    """The paragraphs of a machine-readable copyright file, each a dict of
    its fields; a field's continuation lines are joined to it as lines with
    the one leading space removed and "." standing for an empty line."""
    paragraphs = []
    for block in text.strip("\n").split("\n\n"):
        fields, name = {}, None
        for line in block.split("\n"):
            if line.startswith((" ", "\t")) and name:
                fields[name] += "\n" + ("" if line.strip() == "." else line[1:])
            else:
                name, _, value = line.partition(":")
                fields[name] = value.strip()
        paragraphs.append(fields)
    return paragraphs


def licence_text(notices):
    """The licence text of a notice: from its first condition to the end."""
    return notices[notices.index("Redistribution and use"):].strip()


def check_copyright(root):
    """The .deb's copyright is in the machine-readable format and carries
    xxHash's notice, with its licence text whole."""
    paragraphs = dep5_paragraphs((root / DOC / "copyright").read_text())
    problems = []
    if paragraphs[0].get("Format") != DEP5_FORMAT:
        problems.append(f"copyright: Format is {paragraphs[0].get('Format')!r}")
    files = [p for p in paragraphs[1:] if "Files" in p]
    if not files or files[0]["Files"] != "*" or not all(
            "Copyright" in p and "License" in p for p in files):
        problems.append(f"copyright: Files paragraphs {files!r}")
    xxhash = [p for p in files if p["Files"] == "xxhash.h"]
    holder = re.search(r"Copyright \(C\) (.*)", LICENSES).group(1)
    if not xxhash or xxhash[0]["Copyright"] != holder or xxhash[0]["License"] != "BSD-2-clause":
        problems.append(f"copyright: xxHash's paragraph {xxhash!r}, holder {holder!r}")
    licences = {p["License"].split("\n")[0]: p["License"] for p in paragraphs[1:]
                if "Files" not in p and "License" in p}
    text = licences.get("BSD-2-clause", "").partition("\n")[2]
    if text.split() != licence_text(LICENSES).split():
        problems.append(f"copyright: the BSD-2-clause text differs from LICENSES.txt:\n{text}")
    return problems


def check_conffile(deb, root):
    conffiles = run(["dpkg-deb", "-I", str(deb), "conffiles"]).stdout.decode().split()
    problems = [] if conffiles == ["/" + SYSTEM_SETTINGS] else [f".deb conffiles: {conffiles}"]
    if (root / SYSTEM_SETTINGS).read_bytes() != (ROOT / "examples/kelmora.ctl").read_bytes():
        problems.append(f".deb: /{SYSTEM_SETTINGS} is not the example kelmora.ctl")
    return problems


def check_man_page(root, scratch):
    page = scratch / "kelmora.1"
    page.write_bytes(gzip.decompress((root / "usr/share/man/man1/kelmora.1.gz").read_bytes()))
    problems = []
    groff = run(["groff", "-man", "-ww", "-z", str(page)])
    if groff.returncode != 0 or groff.stderr:
        problems.append("groff -man -ww -z:\n" + groff.stderr.decode())
    env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat")
    shown = run(["man", "--warnings", "-l", str(page)], env=env)
    text = shown.stdout.decode()
    if shown.returncode != 0 or shown.stderr:
        problems.append("man -l:\n" + shown.stderr.decode())
    for section in ("NAME", "SYNOPSIS", "TEMPLATE", "SETTINGS", "EXIT STATUS", "FILES",
                    "ENVIRONMENT", "EXAMPLES", "LIMITS", "SEE ALSO"):
        if not re.search(rf"^{section}$", text, re.MULTILINE):
            problems.append(f"man page: no section {section}")
    return problems


def check_deb_program(deb, scratch):
    root = scratch / "root"
    run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    problems = check_man_page(root, scratch) + check_copyright(root) + check_conffile(deb, root)
    # Settings of the user, as an installed program finds them; no session
    # bus, so no player.
    config = scratch / "config"
    (config / "kelmora").mkdir(parents=True)
    (config / "kelmora/kelmora.ctl").write_bytes((root / DOC / "examples/kelmora.ctl").read_bytes())
    work = scratch / "work"
    work.mkdir()
    for name in ("names.lst", "template.txt"):
        (work / name).write_bytes((root / DOC / "examples" / name).read_bytes())
    env = dict(os.environ, XDG_CONFIG_HOME=str(config), HOME=str(scratch),
               XDG_RUNTIME_DIR=str(scratch), DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")
    # The shipped template has LF line ends, which the Linux build keeps.
    return problems + run_example([str(root / "usr/bin/kelmora")], work, env, b"\n")


def check_zip(archive, version, wine_prefix, scratch):
    top = f"kelmora-{version}-win64"
    names = run(["unzip", "-Z1", str(archive)]).stdout.decode().split()
    expected = {f"{top}/{name}" for name in ZIP_FILES}
    problems = [] if set(names) == expected else [f"zip holds {sorted(names)}"]
    run(["unzip", "-q", str(archive), "-d", str(scratch / "zip")], check=True)
    folder = scratch / "zip" / top
    for name in ZIP_FILES - {"kelmora.exe"}:
        data = (folder / name).read_bytes()
        if data.replace(b"\r\n", b"").count(b"\n") or data.replace(b"\r\n", b"").count(b"\r"):
            problems.append(f"zip: {name} has line ends other than CR LF")
    if not (folder / "kelmora.ctl").read_bytes().startswith(b";"):
        problems.append("zip: kelmora.ctl does not begin with its comments")
    if (folder / "LICENSES.txt").read_bytes() != LICENSES.replace("\n", "\r\n").encode():
        problems.append("zip: LICENSES.txt is not the notices of LICENSES.txt")
    runner = [str(ROOT / "cmake/wine-run"), str(wine_prefix), "kelmora.exe"]
    return problems + run_example(runner, folder, dict(os.environ), b"\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-prefix", default=str(ROOT / "build/windows/wineprefix"))
    args = parser.parse_args()

    made = run([str(ROOT / "scripts/package")])
    if made.returncode != 0:
        print("FAIL scripts/package\n" + made.stdout.decode() + made.stderr.decode())
        return 1
    version = project_version()
    packages = ROOT / "build/packages"
    deb = packages / f"kelmora_{version}-1_amd64.deb"
    archive = packages / f"kelmora-{version}-win64.zip"
    missing = [str(p) for p in (deb, archive) if not p.exists()]
    if missing:
        print(f"FAIL scripts/package made no {missing}")
        return 1
    problems = []
    with tempfile.TemporaryDirectory(prefix="kelmora-packages-") as scratch:
        scratch = pathlib.Path(scratch)
        for name, check in [
                ("install tree", lambda: check_install_tree(scratch)),
                (".deb files", lambda: check_deb_listing(deb)),
                (".deb fields", lambda: check_deb_fields(deb, version)),
                ("lintian", lambda: check_lintian(deb)),
                (".deb program, man page, copyright and conffile",
                 lambda: check_deb_program(deb, scratch)),
                ("Windows zip under Wine",
                 lambda: check_zip(archive, version, args.wine_prefix, scratch))]:
            found = check()
            print(("FAIL " if found else "ok   ") + name)
            problems += found
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
