"""gruv3d-plot on its own: the options, the choice of sections and times, SVG, and the messages for what a
user can get wrong; and the result files of a run killed half way, which stay readable."""
import signal
import subprocess
import time

import netCDF4
import pytest

from conftest import plot, prepare_example, run


@pytest.fixture(scope="module")
def borehole(gruv3d, tmp_path_factory):
    """The borehole example (15 x 15 x 5, a printout every 10 days) run with NetCDF and CSV output."""
    work = prepare_example("borehole_heat_exchanger", tmp_path_factory.mktemp("plot") / "run")
    done = run([gruv3d, "GRUVAT", "--netcdf", "bhe.nc", "--csv", "tables"], work)
    assert done.returncode == 0, done.stderr
    return work


def test_help_names_every_option():
    shown = plot("--help")
    assert shown.returncode == 0
    for option in ("--netcdf", "--csv", "--out", "--column", "--row", "--layer", "--last", "--svg", "--dpi"):
        assert option in shown.stdout


@pytest.mark.parametrize("args, message", [
    (["nirgends"], "Verzeichnis nirgends nicht gefunden"),
    (["{run}", "--netcdf", "fehlt.nc"], "NetCDF-Datei fehlt.nc nicht gefunden"),
    (["{run}", "--layer", "6"], "Schicht 6 liegt ausserhalb des Gitters (1 bis 5)"),
    (["{empty}"], "keine Ergebnisdateien in {empty}: gruv3d mit --netcdf DATEI und/oder --csv VERZ starten"),
])
def test_mistakes_get_one_german_line(borehole, tmp_path, args, message):
    empty = tmp_path / "leer"
    empty.mkdir()
    fill = {"run": borehole, "empty": empty}
    shown = plot(*(a.format(**fill) for a in args))
    assert shown.returncode == 1
    assert shown.stderr == f"gruv3d-plot: {message.format(**fill)}\n"
    assert "Traceback" not in shown.stderr


def test_sections_of_card_15_at_every_printout_and_chosen_ones(borehole, tmp_path):
    # Card 15 of the deck: column 8, row 8, layer 3; four snapshots (start, 10, 20, 30 days).
    out = tmp_path / "all"
    shown = plot(borehole, "--out", out, "--quiet")
    assert shown.returncode == 0, shown.stderr
    sections = sorted(p.name for p in out.glob("temperature_*.png"))
    assert sections == sorted(f"temperature_{s}_{n:04d}.png" for s in ("xy_k03", "xz_j08", "yz_i08")
                              for n in range(4))
    assert {p.name for p in out.glob("*.png")} >= {"energy.png", "solver.png"}
    assert shown.stdout == f"{len(list(out.glob('*.png')))} Abbildungen in {out}\n"

    # Chosen sections only, at the last time, also as SVG.
    out = tmp_path / "chosen"
    shown = plot(borehole, "--out", out, "--layer", "1", "--layer", "5", "--row", "0", "--column", "0", "--last",
                 "--svg", "--quiet")
    assert shown.returncode == 0, shown.stderr
    assert sorted(p.name for p in out.glob("temperature_*")) == [
        "temperature_xy_k01_0003.png", "temperature_xy_k01_0003.svg",
        "temperature_xy_k05_0003.png", "temperature_xy_k05_0003.svg"]
    assert (out / "solver.svg").read_text().startswith("<?xml")


def test_progress_in_a_log_is_one_line_per_figure(borehole, tmp_path):
    shown = plot(borehole, "--out", tmp_path, "--last")
    assert shown.returncode == 0
    lines = shown.stderr.splitlines()
    assert len(lines) == len(list(tmp_path.glob("*.png")))
    assert lines[-1].split() == [str(len(lines)), "Abbildungen", "(solver)"]


def test_run_killed_half_way_leaves_readable_files(gruv3d, tmp_path):
    # The solver dialogue (card 11, last field 1) waits for an answer after the first heat solve: by then
    # the state at the start has been written. The run is killed there.
    work = prepare_example("borehole_heat_exchanger", tmp_path / "killed")
    deck = (work / "GRUVAT").read_text().splitlines(keepends=True)
    card11 = next(n for n, line in enumerate(deck) if line.startswith("       1.0       1.2"))
    deck[card11] = deck[card11].rstrip("\n")[:-1] + "1\n"
    (work / "GRUVAT").write_text("".join(deck))
    proc = subprocess.Popen([gruv3d, "--netcdf", "run.nc", "--vtk", "vtk", "--csv", "csv"], cwd=work,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        seen = b""
        deadline = time.monotonic() + 120
        while b"(J/N)" not in seen:
            assert time.monotonic() < deadline, seen[-500:]
            seen += proc.stdout.read1(4096)
        proc.send_signal(signal.SIGKILL)
        proc.wait(timeout=30)
    finally:
        if proc.poll() is None:
            proc.kill()
    nc = netCDF4.Dataset(work / "run.nc")
    assert list(nc["step"][:]) == [0]
    assert nc["temperature"][0].max() == pytest.approx(10.0)
    assert "results_00000.vtr" in (work / "vtk" / "results.pvd").read_text()
    assert (work / "csv" / "energy.csv").read_bytes().count(b"\r\n") == 2  # the header and the start
    shown = plot(work, "--quiet")
    assert shown.returncode == 0, shown.stderr
