"""Options of the end-to-end cases: which program they run, and how.

    pytest tests/e2e --program PATH [--runner WORD ...] [--sanitized] [--group NAME] [-k EXPR]

--runner words are put before the program (the Wine wrapper and its prefix).
--sanitized: the program is built with the sanitizers.
--group: only the cases of cases_NAME.py (CTest runs one group per entry).
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


def pytest_addoption(parser):
    parser.addoption("--program", required=True)
    parser.addoption("--runner", action="append", default=[])
    parser.addoption("--sanitized", action="store_true")
    parser.addoption("--group", default="")


def pytest_configure(config):
    # The cases read the build's bullet and program name when they load.
    program = pathlib.Path(config.getoption("--program")).resolve()
    harness.use_build(program.suffix.lower() == ".exe")
