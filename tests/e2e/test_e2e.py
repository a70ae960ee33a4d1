"""Runs the real program on the cases of every cases_*.py beside this file.

Each case runs in a fresh scratch folder that holds a copy of the program
and, unless the case says otherwise, a kelmora.ctl beside it. Standard output
is a pipe; the exit code, the exact bytes written and the exact bytes of the
files afterwards are compared. One test id per case, its name.
"""
import importlib.util
import pathlib
import tempfile

import pytest

from harness import Context

HERE = pathlib.Path(__file__).resolve().parent


def load_cases(group):
    cases = []
    pattern = f"cases_{group}.py" if group else "cases_*.py"
    for path in sorted(HERE.glob(pattern)):
        found = importlib.util.spec_from_file_location(path.stem, path)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        cases.extend(module.CASES)
    return cases


def pytest_generate_tests(metafunc):
    if "case" in metafunc.fixturenames:
        cases = load_cases(metafunc.config.getoption("--group"))
        metafunc.parametrize("case", cases, ids=[case.name for case in cases])


def test_case(case, request):
    option = request.config.getoption
    program = pathlib.Path(option("--program")).resolve()
    on_wine = program.suffix.lower() == ".exe"
    if not case.runs_on(on_wine):
        pytest.skip("not for this build")
    if not case.tools_built(program.parent):
        pytest.skip("needs test tools this build lacks: " + ", ".join(case.tools))
    if option("--sanitized") and not case.sanitizers:
        pytest.skip("cannot run under the sanitizers")
    # Not pytest's tmp_path: cases run the program as other users, who
    # must reach the folder.
    with tempfile.TemporaryDirectory(prefix="kelmora-e2e-") as scratch:
        context = Context(pathlib.Path(scratch), program, option("--runner"), on_wine)
        problems = case.run(context)
    assert not problems, "\n".join(problems)
