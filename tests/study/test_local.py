"""The local backend with the real program: 20 runs, one failing, interrupted half way, resumed, collected,
and compared with single runs of the same decks."""
import csv
import json
import math
import signal
import subprocess
import sys
import time

import pytest

from conftest import TOOL, example_template, mask, study, supports_csv

WIDTHS = ["0.5", "1.0", "1.5", "2.5", "4.0"]
VELOCITIES = ["0.0", "1.0E-7", "5.0E-7", "1.0E-6"]
# The texts the fields "~ dy  ~" (7 columns) and "~   v   ~" (9 columns) must receive.
FIELD_TEXT = {"0.5": "0.50000", "1.0": "1.00000", "1.5": "1.50000", "2.5": "2.50000", "4.0": "4.00000",
              "-1.0": "-1.0000", "0.0": "      0.0", "1.0E-7": "1.0000E-7", "5.0E-7": "5.0000E-7",
              "1.0E-6": "1.0000E-6"}


@pytest.fixture(scope="module")
def template(tmp_path_factory):
    """The example template with 60 steps: runs short, but long enough to be interrupted."""
    return example_template(tmp_path_factory.mktemp("tpl"), 60)


def single_run(template, dy, v, folder, gruv3d, csv_out):
    """Runs the deck of (dy, v), filled in by plain text replacement, in its own folder."""
    deck = template.read_text().split("\n", 1)[1]
    deck = deck.replace("~ dy  ~", FIELD_TEXT[dy]).replace("~   v   ~", FIELD_TEXT[v])
    folder.mkdir()
    (folder / "bhe.gruv").write_text(deck)
    cmd = [gruv3d, "bhe.gruv"] + (["--csv", "csv"] if csv_out else [])
    p = subprocess.run(cmd, cwd=folder, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout + p.stderr


def records(s):
    return {p.parent.name: p.read_bytes() for p in (s / "runs").glob("*/status.json")}


def test_local_study_interrupted_resumed_collected(tmp_path, template, gruv3d):
    params = tmp_path / "params.csv"
    rows = [(f"r{n:02d}", g, v) for n, (g, v) in enumerate(((g, v) for g in WIDTHS for v in VELOCITIES), 1)]
    rows[12] = ("r13", "-1.0", rows[12][2])  # a negative cell width: the program refuses the deck
    params.write_text("run,dy,v\n" + "".join(f"{r},{g},{v}\n" for r, g, v in rows))
    s = tmp_path / "study"
    p = study("init", s, "--template", template, "--params", params)
    assert p.returncode == 0, p.stderr

    # Interrupted half way: Ctrl-C after a few runs have ended.
    env_cmd = [sys.executable, str(TOOL), "run", str(s), "--jobs", "2", "--gruv3d", gruv3d]
    proc = subprocess.Popen(env_cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 300
    while len(records(s)) < 5 and proc.poll() is None and time.monotonic() < deadline:
        time.sleep(0.02)
    proc.send_signal(signal.SIGINT)
    out, err = proc.communicate(timeout=60)
    assert proc.returncode == 130, err
    assert "derselbe Aufruf setzt die Studie fort" in err
    first = records(s)
    assert 5 <= len(first) < 20
    assert not list((s / "runs").glob("*/started"))  # nothing left marked as running

    p = study("status", s)
    assert f"{20 - len(first)} ausstehend" in p.stdout.replace("  ", " ")

    # The same command continues: only the runs without a record run, the others keep theirs.
    p = study("run", s, "--jobs", "2", "--gruv3d", gruv3d)
    assert p.returncode == 2, p.stderr
    assert f"{20 - len(first)} Laeufe (local)" in p.stderr
    assert "19 fertig, 1 fehlgeschlagen, 0 ausstehend" in p.stdout
    second = records(s)
    assert all(second[r] == first[r] for r in first)
    p = study("run", s, "--gruv3d", gruv3d)
    assert p.returncode == 2 and "Nichts zu tun" in p.stdout
    p = study("run", s, "--retry-failed", "--gruv3d", gruv3d)
    assert p.returncode == 2 and "1 Laeufe (local)" in p.stderr

    p = study("status", s)
    assert p.returncode == 2
    assert "Lauf r13: Rueckgabewert 1 (fehlerhafte Eingabe oder Datei)" in p.stdout

    p = study("collect", s)
    assert p.returncode == 0 and "20 Laeufe (19 fertig, 1 fehlgeschlagen, 0 ausstehend)" in p.stdout
    results = {r["run"]: r for r in csv.DictReader(open(s / "results.csv"))}
    assert list(results) == [r for r, _, _ in rows]
    check_plot(s, results)

    # Single runs of the same decks give the same end, listing, observation file and results.
    csv_out = supports_csv(gruv3d)
    for r, g, v in (rows[0], rows[12], rows[19]):
        code, console = single_run(template, g, v, tmp_path / f"single_{r}", gruv3d, csv_out)
        run_dir = s / "runs" / r
        assert json.loads((run_dir / "status.json").read_text())["exit"] == code
        assert results[r]["exit_status"] == str(code) and results[r]["dy"] == g and results[r]["v"] == v
        assert mask((run_dir / "console.txt").read_text()) == mask(console)
        if code != 0:
            assert results[r]["status"] == "fehlgeschlagen"
            continue
        single = tmp_path / f"single_{r}"
        assert mask((run_dir / "sonden.lst").read_text()) == mask((single / "sonden.lst").read_text())
        assert (run_dir / "sonden.beo").read_bytes() == (single / "sonden.beo").read_bytes()
        if not csv_out:
            continue
        obs = list(csv.DictReader(open(single / "csv" / "observations.csv")))
        for column, value in obs[-1].items():
            if column.startswith(("T(", "H(")):
                assert results[r][column.split(" ", 1)[0] + "@end"] == value
        energy = list(csv.DictReader(open(single / "csv" / "energy.csv")))
        for column, value in energy[-1].items():
            if not column.startswith("time_"):
                assert results[r]["end_" + column] == value
        assert float(results[r]["T_min_degC"]) == min(float(e["T_min_degC"]) for e in energy)


def test_progress_in_place_on_a_terminal_and_line_by_line_in_a_log(tmp_path, gruv3d):
    import os
    import pty
    p = study("init", tmp_path / "s", "--template", example_template(tmp_path, 10), "--sample",
              "grid; dy = 0.5, 1.0; v = 0.0, 1e-6")
    assert p.returncode == 0, p.stderr
    master, slave = pty.openpty()
    proc = subprocess.Popen([sys.executable, str(TOOL), "run", str(tmp_path / "s"), "--gruv3d", gruv3d],
                            stdout=slave, stderr=slave, stdin=subprocess.DEVNULL)
    os.close(slave)
    screen = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:
            break
        if not chunk:
            break
        screen += chunk
    assert proc.wait() == 0
    text = screen.decode().replace("\r\n", "\n")
    bar = text[text.index("\r["):]
    assert bar.count("\n") == 2  # one line rewritten in place, then the summary line
    assert "\r[####################] 4/4: 4 fertig, 0 fehlgeschlagen, 0 laufend" in bar

    p = study("run", tmp_path / "s", "--retry-failed", "--runs", "1", "--gruv3d", gruv3d)
    assert "Nichts zu tun" in p.stdout
    for run in ("1", "2", "3", "4"):
        (tmp_path / "s" / "runs" / run / "status.json").unlink()
    p = study("run", tmp_path / "s", "--jobs", "1", "--gruv3d", gruv3d,
              env=dict(os.environ, GRUV_STUDY_PROGRESS="0"))
    lines = [line for line in p.stderr.splitlines() if line.startswith("[")]
    assert "\r" not in p.stderr and len(lines) >= 4 and lines[-1].startswith("[####################] 4/4")


def check_plot(s, results):
    """plot: the heat flow over spacing and velocity, the failed run left out; a wrong column named."""
    from study.plot import table_over
    xs, ys, grid = table_over(list(results.values()), "dy", "v", "end_Q_exchangers_W")
    assert xs == [0.5, 1.0, 1.5, 2.5, 4.0] and ys == [0.0, 1e-7, 5e-7, 1e-6]
    failed = [r for r in results.values() if r["status"] != "fertig"]
    assert len(failed) == 1 and failed[0]["dy"] == "-1.0"  # its dy is not among the spacings at all
    assert math.isnan(grid[0][3])  # the cell (2.5, 0.0) it took the place of stays empty
    assert all(cell == float(results[f"r{n:02d}"]["end_Q_exchangers_W"])
               for n, cell in ((1, grid[0][0]), (20, grid[3][4])))
    p = study("plot", s, "--svg")
    assert p.returncode == 0, p.stderr
    png = s / "plots" / "end_Q_exchangers_W_dy_v.png"
    assert p.stdout.split() == [str(png), str(png.with_suffix(".svg"))]
    data = png.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    assert (int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")) == (1800, 750)
    import matplotlib.image
    import numpy as np
    pixels = (matplotlib.image.imread(str(png))[..., :3] * 255).astype(np.uint32)
    assert len(np.unique(pixels[..., 0] * 65536 + pixels[..., 1] * 256 + pixels[..., 2])) > 50
    p = study("plot", s, "--value", "Q")
    assert p.returncode == 1 and "Spalte 'Q' nicht in results.csv" in p.stderr
