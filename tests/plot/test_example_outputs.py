"""Every example deck run with all result files for other tools: the fixed files stay byte for byte as the
golden files pin them, the NetCDF and ParaView files open in the readers of Debian and hold the same
fields, the CSV tables have their rows, and gruv3d-plot turns them into figures."""
import csv
import xml.etree.ElementTree as ET
from pathlib import Path

import netCDF4
import numpy as np
import pytest

from conftest import EXAMPLES, ROOT, distinct_colours, mask, plot, png_size, prepare_example, run

vtk = pytest.importorskip("vtk")
from vtk.util.numpy_support import vtk_to_numpy  # noqa: E402


def table(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


@pytest.mark.parametrize("name", EXAMPLES)
def test_example_with_all_result_files(name, gruv3d, tmp_path):
    work = prepare_example(name, tmp_path / name)
    done = run([gruv3d, "GRUVAT", "--netcdf", "run.nc", "--vtk", "vtk", "--csv", "csv"], work)
    assert done.returncode == 0, done.stdout + done.stderr

    # The fixed files (and the console) as without the result files.
    expected = ROOT / "tests" / "golden" / "cases" / name / "expected"
    for e in expected.iterdir():
        actual = done.stdout if e.name == "stdout" else (work / e.name).read_text(errors="replace")
        assert mask(actual) == mask(e.read_text(errors="replace")), f"{name}: {e.name} changed"

    nc = netCDF4.Dataset(work / "run.nc")
    assert nc.Conventions == "CF-1.8"
    assert nc["time"].units == "s"
    times = nc["time"][:]
    assert len(times) >= 1 and np.all(np.diff(times) > 0)
    nx, ny, nz = (len(nc.dimensions[d]) for d in ("x", "y", "z"))
    heat, flow = "temperature" in nc.variables, "head" in nc.variables
    assert heat or flow

    # One grid file per slice, listed with its time; the same values as the NetCDF file (layers bottom up).
    collection = ET.parse(work / "vtk" / "results.pvd").getroot()
    datasets = collection.findall("./Collection/DataSet")
    assert [float(d.get("timestep")) for d in datasets] == pytest.approx(list(times))
    for n, d in enumerate(datasets):
        reader = vtk.vtkXMLRectilinearGridReader()
        reader.SetFileName(str(work / "vtk" / d.get("file")))
        reader.Update()
        grid = reader.GetOutput()
        assert grid.GetDimensions() == (nx + 1, ny + 1, nz + 1)
        cells = grid.GetCellData()
        for var in ("temperature", "head"):
            if var in nc.variables:
                values = vtk_to_numpy(cells.GetArray(var)).reshape(nz, ny, nx)
                assert np.array_equal(values[::-1], nc[var][n]), f"{name}: {var} of slice {n}"
        faces = vtk_to_numpy(grid.GetXCoordinates())
        assert np.array_equal(faces[1:], nc["x_bnds"][:, 1])

    # CSV tables: a row per step, an energy row per slice, an observation row per record.
    solver = table(work / "csv" / "solver.csv")
    assert solver[0][:4] == ["step", "time_s", f"time_{nc['time'].deck_time_unit}", "dt_s"]
    steps = int(nc["step"][-1])
    assert [int(r[0]) for r in solver[1:]] == list(range(1, steps + 1))
    if heat:
        energy = table(work / "csv" / "energy.csv")
        assert [float(r[0]) for r in energy[1:]] == pytest.approx(list(times))
    nodes = int((work / "GRUVAT").read_text().splitlines()[4][:5])  # card 5: observation nodes
    assert (work / "csv" / "observations.csv").exists() == (nodes > 0)

    # Figures: PNG of the size asked for, not blank.
    shown = plot(work, "--quiet")
    assert shown.returncode == 0, shown.stderr
    figures = sorted((work / "plots").glob("*.png"))
    names = {f.name for f in figures}
    assert "solver.png" in names
    assert ("energy.png" in names) == heat
    assert ("observations.png" in names) == (nodes > 0)
    if nx * ny > 1 or nz > 1:
        assert any(n.startswith(("temperature_", "head_")) for n in names), names
    for f in figures:
        assert png_size(f) == (1200, 750), f.name
        assert distinct_colours(f) > 8, f"{f.name} looks blank"
