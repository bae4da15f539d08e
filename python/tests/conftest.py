import os
import subprocess

import pytest


@pytest.fixture(scope="session")
def tool():
    """Runs the varnel tool (VARNEL_TOOL, set by ctest) and returns its standard output."""
    path = os.environ.get("VARNEL_TOOL")
    if not path or not os.access(path, os.X_OK):
        pytest.fail("VARNEL_TOOL does not name the varnel tool")

    def run(*args, input=None, status=0):
        done = subprocess.run([path, *args], capture_output=True,
                              input=None if input is None else input.encode())
        assert done.returncode == status, done.stderr
        return done.stdout

    return run
