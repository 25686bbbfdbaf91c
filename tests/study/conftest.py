"""Shared helpers of the gruv3d-study tests: the tool, the program, a small template deck."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "gruv3d-study"
EXAMPLE = ROOT / "examples" / "studies" / "bhe_spacing"
sys.path.insert(0, str(ROOT / "tools"))


@pytest.fixture(scope="session")
def gruv3d():
    """The program under test: $GRUV3D (set by ctest), else the release build."""
    path = os.environ.get("GRUV3D") or str(ROOT / "build" / "release" / "src" / "gruv3d")
    if not os.access(path, os.X_OK):
        pytest.fail(f"gruv3d not built: {path}")
    return path


def study(*args, timeout=600, env=None):
    """Runs gruv3d-study with the arguments; returns the completed process (text output)."""
    return subprocess.run([sys.executable, str(TOOL), *map(str, args)], capture_output=True, text=True,
                          timeout=timeout, env=env, stdin=subprocess.DEVNULL)


def supports_csv(gruv3d):
    out = subprocess.run([gruv3d, "--help"], capture_output=True, text=True).stdout
    return "--csv" in out


def example_template(folder, steps):
    """The example study's template with `steps` daily steps (one printout at the end) instead of a year."""
    text = (EXAMPLE / "bhe_spacing.gruv.tpl").read_text()
    card = "  365  300  365    0    0   73"
    assert card in text
    path = Path(folder) / "bhe.gruv.tpl"
    path.write_text(text.replace(card, f"{steps:5d}  300{steps:5d}    0    0{steps:5d}"))
    return path


def mask(text):
    """A listing or console text without the line of the computing time, which differs between runs."""
    return "\n".join(line for line in text.splitlines() if "Gesamtrechenzeit" not in line)
