"""Fixtures of the end-to-end tests: one Wine session (display, prefix,
wineserver) per test file, shared by its tests; each test starts the program
afresh in a program folder of its own. Programs a test started are ended
after it whatever happens, and when it fails the MCI logs of its runs are
shown with the failure.

Paths come from the environment (CTest sets them):
  SYLSPEAK_WIN64_DIR      the x86_64 Windows build (default build/win64)
  SYLSPEAK_E2E_ARTIFACTS  where each file's logs, screenshots and program
                          folders stay (default build/e2e-artifacts)
Run one file, or some of its tests, by hand with Debian's Python:
  /usr/bin/python3 -m pytest tests/e2e/test_keys.py -k escape
"""

import os
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts" / "wine"))
pytest.register_assert_rewrite("mci_checks")

from winedriver import Session  # noqa: E402

WIN64_DIR = Path(os.environ.get("SYLSPEAK_WIN64_DIR", REPO / "build" / "win64"))
ARTIFACTS = Path(os.environ.get("SYLSPEAK_E2E_ARTIFACTS", REPO / "build" / "e2e-artifacts"))

_first_run = pytest.StashKey[int]()


@pytest.fixture(scope="module")
def session(request):
    with Session(ARTIFACTS / Path(request.module.__file__).stem, WIN64_DIR) as session:
        yield session


@pytest.fixture(autouse=True)
def _programs_end_with_their_test(request):
    if "session" not in request.fixturenames:
        yield
        return
    session = request.getfixturevalue("session")
    request.node.stash[_first_run] = len(session.programs)
    yield
    for program in session.programs[request.node.stash[_first_run]:]:
        program.kill()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    report = (yield).get_result()
    session = getattr(item, "funcargs", {}).get("session")
    if report.when == "call" and report.failed and session is not None:
        for program in session.programs[item.stash.get(_first_run, 0):]:
            report.sections.append((f"MCI log of run{program.number:02d} ({program.log.path})",
                                    program.log.text()))
