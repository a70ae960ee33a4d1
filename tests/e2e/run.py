#!/usr/bin/env python3
"""Runs the real program on the cases of every cases_*.py beside this file.

Each case runs in a fresh scratch folder that holds a copy of the program and,
unless the case says otherwise, a kelmora.ctl beside it. Standard output is a
pipe; the exit code, the exact bytes written and the exact bytes of the files
afterwards are compared.

    run.py --program PATH [--runner WORD ...] [--only SUBSTRING]

--runner words are put before the program (the Wine wrapper and its prefix).
"""
import argparse
import importlib.util
import pathlib
import sys
import tempfile
import traceback

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402
from harness import Context  # noqa: E402


def load_cases():
    cases = []
    for path in sorted(HERE.glob("cases_*.py")):
        found = importlib.util.spec_from_file_location(path.stem, path)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        cases.extend(module.CASES)
    return cases


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--only", default="")
    args = parser.parse_args()

    program = pathlib.Path(args.program).resolve()
    on_wine = program.suffix.lower() == ".exe"
    harness.use_build(on_wine)
    passed = failed = skipped = 0
    for case in load_cases():
        if args.only and args.only not in case.name:
            continue
        if not case.runs_on(on_wine):
            skipped += 1
            continue
        with tempfile.TemporaryDirectory(prefix="kelmora-e2e-") as scratch:
            context = Context(pathlib.Path(scratch), program, args.runner, on_wine)
            try:
                problems = case.run(context)
            except Exception:  # a broken case is a failure, not a crash
                problems = [traceback.format_exc()]
        if problems:
            failed += 1
            print(f"FAIL {case.name}")
            for problem in problems:
                print("    " + problem.replace("\n", "\n    "))
        else:
            passed += 1
            print(f"ok   {case.name}")
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
