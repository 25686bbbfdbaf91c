"""A result of a collected study over two of its parameters: lines over the first, one per value of the second, and a map of both."""
import csv
import math
from pathlib import Path

from .errors import StudyError

DEFAULT_VALUE = "end_Q_exchangers_W"
LABELS = {
    "end_Q_exchangers_W": "Waermestrom zu den Waermetauschern am Ende [W]",
    "end_E_total_J": "Energieinhalt am Ende [J]",
    "end_dE_since_start_J": "Energiebilanz seit Beginn [J]",
    "T_min_degC": "niedrigste Temperatur des Laufs [degC]",
    "T_max_degC": "hoechste Temperatur des Laufs [degC]",
    "wall_s": "Rechenzeit [s]",
}


def _number(text):
    try:
        x = float(text)
    except (TypeError, ValueError):
        return None
    return x if math.isfinite(x) else None


def read_results(path):
    """(header, rows as dicts) of a results.csv."""
    if not path.is_file():
        raise StudyError(f"{path} nicht gefunden - zuerst 'gruv3d-study collect' aufrufen")
    with open(path, newline="") as f:
        reader = csv.DictReader(f)
        return list(reader.fieldnames or []), list(reader)


def table_over(rows, x, y, value):
    """(xs, ys, grid): the sorted distinct numbers of x and y among the runs with a value, grid[j][i] the
    value at (xs[i], ys[j]) or NaN where that run failed, is pending or missing."""
    points = []
    for r in rows:
        xv, yv, val = _number(r[x]), _number(r[y]) if y else None, _number(r[value])
        if xv is not None and val is not None and (yv is not None or not y):
            points.append((xv, yv, val))
    xs = sorted({p[0] for p in points})
    ys = sorted({p[1] for p in points}) if y else [None]
    grid = [[math.nan] * len(xs) for _ in ys]
    for xv, yv, val in points:
        grid[ys.index(yv)][xs.index(xv)] = val
    return xs, ys, grid


def plot_study(study_path, x=None, y=None, value=DEFAULT_VALUE, out=None, svg=False, dpi=150):
    """Writes the figure of `value` over the parameters x and y; returns the paths written."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    from .folder import Study
    study = Study(study_path)
    header, rows = read_results(study.path / "results.csv")
    names = study.table.names
    x = x or names[0]
    y = y if y is not None else (names[1] if len(names) > 1 else None)
    for role, column in (("Parameter", x), ("Parameter", y), ("Spalte", value)):
        if column and column not in header:
            raise StudyError(f"{role} '{column}' nicht in results.csv (Spalten: {', '.join(header)})")
    xs, ys, grid = table_over(rows, x, y, value)
    if not xs or all(math.isnan(v) for line in grid for v in line):
        raise StudyError(f"keine Werte von '{value}' in results.csv (keine fertigen Laeufe?)")

    label = LABELS.get(value, value)
    grid_array = np.array(grid)
    show_map = y is not None and len(xs) > 1 and len(ys) > 1
    fig, axes = plt.subplots(1, 2 if show_map else 1, figsize=(12 if show_map else 8, 5), squeeze=False)
    ax = axes[0][0]
    colours = plt.get_cmap("viridis")(np.linspace(0.0, 0.9, len(ys)))
    for j, yv in enumerate(ys):
        ax.plot(xs, grid_array[j], marker="o", color=colours[j], label=f"{y} = {yv:g}" if y else None)
    ax.set_xlabel(x)
    ax.set_ylabel(label)
    ax.grid(True, alpha=0.3)
    if y:
        ax.legend(fontsize="small")
    if show_map:
        m = axes[0][1]
        # One cell per pair of values, evenly spaced whatever the values,
        # each labelled with its value; failed or missing runs stay white.
        image = m.imshow(np.ma.masked_invalid(grid_array), origin="lower", aspect="auto", cmap="viridis")
        m.set_xticks(range(len(xs)), [f"{v:g}" for v in xs])
        m.set_yticks(range(len(ys)), [f"{v:g}" for v in ys])
        low, high = np.nanmin(grid_array), np.nanmax(grid_array)
        for j in range(len(ys)):
            for i in range(len(xs)):
                v = grid_array[j][i]
                if np.isfinite(v):
                    dark = high > low and (v - low) / (high - low) < 0.5
                    m.text(i, j, f"{v:.4g}", ha="center", va="center", fontsize="small",
                           color="white" if dark else "black")
        m.set_xlabel(x)
        m.set_ylabel(y)
        fig.colorbar(image, ax=m, label=label)
    done = int(np.isfinite(grid_array).sum())
    fig.suptitle(f"Studie {study.path.name}: {label} ({done} von {len(rows)} Laeufen)")
    fig.tight_layout()

    out_dir = Path(out) if out else study.path / "plots"
    out_dir.mkdir(parents=True, exist_ok=True)
    stem = out_dir / f"{value}_{x}" if not y else out_dir / f"{value}_{x}_{y}"
    written = [stem.with_suffix(".png")]
    fig.savefig(written[0], dpi=dpi)
    if svg:
        written.append(stem.with_suffix(".svg"))
        fig.savefig(written[1])
    plt.close(fig)
    return written

