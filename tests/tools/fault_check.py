#!/usr/bin/env python3
"""Runs fault_probe for each deliberate fault and checks the exit code and the
exact form of the report on standard error.

    fault_check.py --program PATH [--runner WORD ...]

--runner words are put before the program (the Wine wrapper and its prefix).
"""
import argparse
import pathlib
import re
import subprocess
import sys

# kind, fault number, Windows exception code (None: raised by the program).
FAULTS = [
    ("null-write", 216, "C0000005"),
    ("divide-by-zero", 200, "C0000094"),
    ("deep-recursion", 202, "C00000FD"),
    ("huge-allocation", 203, None),
    ("raised", 213, None),
]


def expected_report(number, exception):
    """The whole of standard error, as a regular expression."""
    tail = rf" \(Exception {exception}\)" if exception else ""
    return re.compile(
        rb"exit procedures ran\r\n"
        rb"\r\n"
        rb"[^\r\n]*report[^\r\n]*\r\n"
        + rf"Found bug number {number} at [0-9A-F]{{8}}{tail} TID=1\.\r\n".encode()
        + rb"\Z")


def check(runner, program, kind, number, exception):
    result = subprocess.run(list(runner) + [str(program), kind],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=120)
    problems = []
    if result.returncode != number:
        problems.append(f"exit code {result.returncode}, expected {number}")
    if not expected_report(number, exception).match(result.stderr):
        problems.append(f"standard error {result.stderr!r}")
    if result.stdout:
        problems.append(f"standard output {result.stdout!r}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", action="append", default=[])
    args = parser.parse_args()
    program = pathlib.Path(args.program).resolve()
    on_windows = program.suffix.lower() == ".exe"

    failed = 0
    for kind, number, exception in FAULTS:
        problems = check(args.runner, program, kind, number,
                         exception if on_windows else None)
        print(f"{'FAIL' if problems else 'ok  '} {kind}")
        for problem in problems:
            print(f"     {problem}")
        failed += bool(problems)
    print(f"{len(FAULTS) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
