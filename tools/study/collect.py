"""results.csv: one row per run with its parameters, end, observation values and energy balance."""

import csv
import io
import re
from pathlib import Path

from .errors import StudyError
from .folder import CSV_DIR, DONE, write_atomically

OBSERVATIONS = "observations.csv"
ENERGY = "energy.csv"
UNIT_SECONDS = {"SEK": 1.0, "MIN": 60.0, "STU": 3600.0, "TAG": 86400.0, "S": 1.0}


def read_csv(path):
    """(header, rows) of a CSV file, or None when it is missing."""
    try:
        with open(path, newline="", encoding="utf-8") as f:
            records = list(csv.reader(f))
    except FileNotFoundError:
        return None
    except (OSError, UnicodeDecodeError, csv.Error) as e:
        raise StudyError(f"{path} nicht lesbar: {e}") from None
    if not records:
        return None
    # A row cut short (a run that stopped while writing) is left out.
    return records[0], [r for r in records[1:] if len(r) == len(records[0])]


def parse_time(text):
    """--at TIME: a number in the deck's time unit, or a number with SEK, MIN, STU, TAG or s after it."""
    m = re.fullmatch(r"\s*([-+0-9.eE]+)\s*([A-Za-z]*)\s*", text)
    try:
        value = float(m.group(1)) if m else None
    except ValueError:
        value = None
    unit = m.group(2).upper() if m else ""
    if value is None or (unit and unit not in UNIT_SECONDS):
        raise StudyError(f"--at {text}: erwartet eine Zeit wie 30, 30TAG, 12STU oder 3600s")
    return text.strip(), value, unit


def _time_columns(header):
    """Index of time_s and of time_<UNIT> and the unit word."""
    unit_col = next((i for i, h in enumerate(header) if h.startswith("time_") and h != "time_s"), None)
    return header.index("time_s") if "time_s" in header else None, unit_col, \
        header[unit_col][5:] if unit_col is not None else None


def _value_at(rows, tcol, col, t):
    """The value of column `col` at time t: the recorded text on a record, linear between two records."""
    try:
        times = [float(r[tcol]) for r in rows]
        for i, ti in enumerate(times):
            if ti == t:
                return rows[i][col]
        for i in range(1, len(times)):
            if times[i - 1] < t < times[i]:
                a, b = float(rows[i - 1][col]), float(rows[i][col])
                w = (t - times[i - 1]) / (times[i] - times[i - 1])
                return repr(a + w * (b - a))
    except ValueError:  # an empty or unreadable value: no value at this time
        pass
    return ""


def observation_values(folder, times):
    """{column: value} of a run's observation nodes at the requested times (or at its last record)."""
    table = read_csv(folder / CSV_DIR / OBSERVATIONS)
    if table is None or not table[1]:
        return {}
    header, rows = table
    scol, ucol, unit = _time_columns(header)
    nodes = [(i, h.split(" ", 1)[0]) for i, h in enumerate(header) if i not in (scol, ucol)]
    out = {}
    if not times:
        for i, name in nodes:
            out[f"{name}@end"] = rows[-1][i]
        return out
    for label, value, tunit in times:
        if tunit:
            tcol, t = scol, value * UNIT_SECONDS[tunit]
        else:
            tcol, t = ucol, value
        for i, name in nodes:
            out[f"{name}@{label}"] = _value_at(rows, tcol, i, t) if tcol is not None else ""
    return out


def energy_values(folder):
    """{column: value}: every column of the last energy row (prefixed end_) and the run's extreme temperatures."""
    table = read_csv(folder / CSV_DIR / ENERGY)
    if table is None or not table[1]:
        return {}
    header, rows = table
    scol, ucol, _ = _time_columns(header)
    out = {}
    if scol is not None:
        out["end_time_s"] = rows[-1][scol]
    for i, h in enumerate(header):
        if i not in (scol, ucol):
            out[f"end_{h}"] = rows[-1][i]
    for name, pick in (("T_min_degC", min), ("T_max_degC", max)):
        if name in header:
            i = header.index(name)
            values = []
            for r in rows:
                try:
                    values.append((float(r[i]), r[i]))
                except ValueError:
                    pass
            if values:
                out[name] = pick(values)[1]
    return out


def collect(study, times, output=None):
    """Writes results.csv (or `output`); returns (path, counts by state)."""
    parsed = [parse_time(t) for t in times]
    header = ["run"] + study.table.names + ["status", "exit_status", "wall_s"]
    out_columns = []
    rows = []
    counts = {}
    for run, values in study.table.rows:
        state = study.state(run)
        counts[state] = counts.get(state, 0) + 1
        rec = study.record(run) or {}
        row = {"run": run, "status": state, "exit_status": rec.get("exit", ""), "wall_s": rec.get("wall_s", "")}
        row.update({n: values[n].text for n in study.table.names})
        if state == DONE:
            folder = study.run_dir(run)
            results = observation_values(folder, parsed)
            results.update(energy_values(folder))
            for k in results:
                if k not in out_columns:
                    out_columns.append(k)
            row.update(results)
        rows.append(row)
    path = Path(output) if output else study.path / "results.csv"
    buf = io.StringIO()
    w = csv.writer(buf, lineterminator="\n")
    w.writerow(header + out_columns)
    for row in rows:
        w.writerow([row.get(c, "") for c in header + out_columns])
    write_atomically(path, buf.getvalue())
    return path, counts
