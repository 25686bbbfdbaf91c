"""Shared helpers of the gruv3d-plot and result-file tests: the program, the tool, runs of example decks."""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
PLOT = ROOT / "tools" / "gruv3d-plot"
EXAMPLES = sorted(p.stem for p in (ROOT / "examples").glob("*/*.gruv") if p.stem == p.parent.name)


@pytest.fixture(scope="session")
def gruv3d():
    """The program under test: $GRUV3D (set by ctest), else the release build."""
    path = os.environ.get("GRUV3D") or str(ROOT / "build" / "release" / "src" / "gruv3d")
    if not os.access(path, os.X_OK):
        pytest.fail(f"gruv3d not built: {path}")
    return path


def prepare_example(name, work):
    """The working directory of an example: the deck as GRUVAT, the files of its folder beside it."""
    work.mkdir(parents=True, exist_ok=True)
    folder = ROOT / "examples" / name
    shutil.copy(folder / f"{name}.gruv", work / "GRUVAT")
    for extra in folder.iterdir():
        if extra.name != f"{name}.gruv":
            shutil.copy(extra, work / extra.name)
    return work


def run(args, cwd, stdin=subprocess.DEVNULL, timeout=600):
    return subprocess.run([str(a) for a in args], cwd=cwd, capture_output=True, text=True, stdin=stdin,
                          timeout=timeout)


def plot(*args, timeout=600):
    return subprocess.run([sys.executable, str(PLOT), *map(str, args)], capture_output=True, text=True,
                          timeout=timeout)


def mask(text):
    """A text without the computing time, which differs between runs."""
    return re.sub(r"Gesamtrechenzeit: +[0-9.*]+ Minuten", "Gesamtrechenzeit: <masked> Minuten", text)


def png_size(path):
    """Width and height from the header of a PNG file."""
    data = Path(path).read_bytes()[:24]
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG"
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def distinct_colours(path):
    import matplotlib.image
    import numpy as np
    pixels = (matplotlib.image.imread(str(path)) * 255).astype(np.uint32)
    packed = np.zeros(pixels.shape[:2], dtype=np.uint32)
    for channel in range(pixels.shape[-1]):
        packed = packed * 256 + pixels[..., channel]
    return len(np.unique(packed))
