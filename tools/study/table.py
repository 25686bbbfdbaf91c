"""The run table: read from PARAMS.csv, or drawn from a sampling description (full grid, Latin hypercube)."""

import csv
import math
import random
import re
from decimal import Decimal, InvalidOperation
from pathlib import Path

from .errors import StudyError
from .templates import INTEGER_RE, NAME_RE, Value

RUN_ID_RE = re.compile(r"[A-Za-z0-9][A-Za-z0-9_.-]*\Z")
# Significant digits of a drawn Latin-hypercube value: more than a REAL*4
# field of the deck keeps, few enough to be written exactly into a 10-column field.
DRAWN_DIGITS = 6


class RunTable:
    """Run ids and parameter values (text) in table order."""

    def __init__(self, names, rows):
        self.names = names  #: parameter names, lower case, in column order
        self.rows = rows  #: list of (run id, {name: Value})

    def write(self, path):
        """Writes the table as CSV (a `run` column, then one column per parameter)."""
        with open(path, "w", newline="", encoding="utf-8") as f:
            w = csv.writer(f, lineterminator="\n")
            w.writerow(["run"] + self.names)
            for run, values in self.rows:
                w.writerow([run] + [values[n].text for n in self.names])


def _numbered(count):
    width = len(str(count))
    return [str(i).zfill(width) for i in range(1, count + 1)]


def read_params(path):
    """Reads PARAMS.csv: one row per run, a `run` column (optional) and one column per parameter."""
    where = Path(path).name
    try:
        with open(path, newline="", encoding="utf-8-sig") as f:
            records = [r for r in csv.reader(f) if any(c.strip() for c in r)]
    except OSError as e:
        raise StudyError(f"Parametertabelle {path} nicht lesbar: {e.strerror}") from None
    except (UnicodeDecodeError, csv.Error) as e:
        raise StudyError(f"Parametertabelle {where}: keine lesbare CSV-Datei ({e})") from None
    if not records:
        raise StudyError(f"Parametertabelle {where} ist leer")
    header = [c.strip() for c in records[0]]
    lower = [h.lower() for h in header]
    for h in header:
        if h.lower() != "run" and not NAME_RE.match(h):
            raise StudyError(f"Parametertabelle {where}: ungueltiger Spaltenname '{h}'")
    duplicates = sorted({h for h in lower if lower.count(h) > 1})
    if duplicates:
        raise StudyError(f"Parametertabelle {where}: Spalte '{duplicates[0]}' doppelt")
    run_col = lower.index("run") if "run" in lower else None
    names = [h for i, h in enumerate(lower) if i != run_col]
    if not names:
        raise StudyError(f"Parametertabelle {where}: keine Parameterspalte")
    body = records[1:]
    if not body:
        raise StudyError(f"Parametertabelle {where}: keine Laeufe")
    ids = _numbered(len(body)) if run_col is None else None
    rows, seen = [], set()
    for n, record in enumerate(body):
        line = n + 2
        if len(record) != len(header):
            raise StudyError(
                f"Parametertabelle {where}, Zeile {line}: {len(record)} Werte statt {len(header)}")
        run = ids[n] if ids else record[run_col].strip()
        if not RUN_ID_RE.match(run):
            raise StudyError(
                f"Parametertabelle {where}, Zeile {line}: Laufname '{run}' ungueltig "
                "(Buchstaben, Ziffern, '_', '.', '-')")
        if run in seen:
            raise StudyError(f"Parametertabelle {where}, Zeile {line}: Lauf '{run}' doppelt")
        seen.add(run)
        values = {}
        for i, cell in enumerate(record):
            if i == run_col:
                continue
            v = Value.parse(cell)
            if v is None:
                raise StudyError(
                    f"Parametertabelle {where}, Zeile {line}: Wert '{cell.strip()}' von '{lower[i]}' ist keine Zahl")
            values[lower[i]] = v
        rows.append((run, values))
    return RunTable(names, rows)


def _number(text, where):
    try:
        d = Decimal(text.strip())
    except InvalidOperation:
        d = None
    if d is None or not d.is_finite():
        raise StudyError(f"{where}: '{text.strip()}' ist keine Zahl")
    return d


def _real_text(s):
    """A number text that reads as a real (with a decimal point or an exponent)."""
    return s if any(c in s for c in ".eE") else s + ".0"


def _plain(d):
    """A Decimal as short table text."""
    d = d.normalize()
    return format(d, "f") if abs(d.adjusted()) < 7 else format(d, "E")


def _grid_values(name, values_text, where):
    """`a, b, c` (the values as written) or `a .. b : n` (n values, evenly or, with `log`, geometrically spaced)."""
    m = re.fullmatch(r"(.+?)\.\.(.+?):\s*(\d+)\s*(log)?\s*", values_text)
    if not m:
        items = [t.strip() for t in values_text.split(",")]
        for t in items:
            if Value.parse(t) is None:
                raise StudyError(f"{where}: '{t}' ist keine Zahl (Parameter '{name}')")
        return items
    a, b, count = _number(m.group(1), where), _number(m.group(2), where), int(m.group(3))
    if count < 1:
        raise StudyError(f"{where}: Anzahl der Werte von '{name}' muss mindestens 1 sein")
    if count == 1:
        return [m.group(1).strip()]
    if m.group(4):
        if a <= 0 or b <= 0:
            raise StudyError(f"{where}: logarithmische Teilung von '{name}' braucht positive Grenzen")
        ratio = (b / a) ** (Decimal(1) / (count - 1))
        values = [a * ratio ** i for i in range(count)]
        return [_real_text(format(float(v), f".{DRAWN_DIGITS}g")) for v in values]
    step = (b - a) / (count - 1)
    # Integer bounds with an integer step give integers (for I fields).
    integral = all(INTEGER_RE.match(t.strip()) for t in (m.group(1), m.group(2))) and step == step.to_integral()
    texts = [_plain(a + step * i) for i in range(count)]
    return texts if integral else [_real_text(t) for t in texts]


def parse_sample(text, origin):
    """Reads a sampling description; returns (method, count, seed, [(name, values_text)]).

    Lines: `grid` or `lhs N seed S` (the method), then one `name = ...` per
    parameter; `#` starts a comment; `;` separates lines in a description
    given on the command line.
    """
    method, count, seed, params = None, None, None, []
    lines = text.splitlines() if "\n" in text else text.split(";")
    for n, raw in enumerate(lines, start=1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        where = f"Stichprobe {origin}, Zeile {n}" if "\n" in text else f"Stichprobe '{line}'"
        if "=" in line:
            name, values_text = (s.strip() for s in line.split("=", 1))
            if not NAME_RE.match(name):
                raise StudyError(f"{where}: ungueltiger Parametername '{name}'")
            if name.lower() in (p[0] for p in params):
                raise StudyError(f"{where}: Parameter '{name}' doppelt")
            params.append((name.lower(), values_text, where))
            continue
        words = line.lower().split()
        if words[0] == "grid" and len(words) == 1:
            method = "grid"
        elif words[0] == "lhs" and len(words) in (2, 4) and words[1].isdigit() and (
                len(words) == 2 or (words[2] == "seed" and words[3].isdigit())):
            method, count = "lhs", int(words[1])
            seed = int(words[3]) if len(words) == 4 else None
        else:
            raise StudyError(f"{where}: erwartet 'grid', 'lhs N seed S' oder 'name = ...'")
    if method is None:
        raise StudyError(f"Stichprobe {origin}: Verfahren fehlt ('grid' oder 'lhs N seed S')")
    if not params:
        raise StudyError(f"Stichprobe {origin}: keine Parameter")
    if method == "lhs":
        if count < 1:
            raise StudyError(f"Stichprobe {origin}: 'lhs' braucht mindestens einen Lauf")
        if seed is None:
            raise StudyError(f"Stichprobe {origin}: 'lhs {count}' braucht einen Startwert ('lhs {count} seed 1')")
    return method, count, seed, params


def draw_table(text, origin):
    """The run table of a sampling description (the full grid, first parameter slowest; or a Latin hypercube)."""
    method, count, seed, params = parse_sample(text, origin)
    names = [p[0] for p in params]
    if method == "grid":
        axes = [_grid_values(name, values_text, where) for name, values_text, where in params]
        total = math.prod(len(a) for a in axes)
        combos = [[]]
        for axis in axes:
            combos = [c + [v] for c in combos for v in axis]
        ids = _numbered(total)
        return RunTable(names, [(ids[i], {n: Value.parse(t) for n, t in zip(names, c)})
                                for i, c in enumerate(combos)])
    rng = random.Random(seed)
    columns = []
    for name, values_text, where in params:
        m = re.fullmatch(r"(.+?)\.\.(.+?)(\blog)?\s*", values_text)
        if not m:
            raise StudyError(f"{where}: Bereich von '{name}' als 'a .. b' oder 'a .. b log' angeben")
        a, b = float(_number(m.group(1), where)), float(_number(m.group(2), where))
        log = bool(m.group(3))
        if log and (a <= 0 or b <= 0):
            raise StudyError(f"{where}: logarithmischer Bereich von '{name}' braucht positive Grenzen")
        # One value in each of `count` equal strata, strata in random order.
        keys = [rng.random() for _ in range(count)]
        order = sorted(range(count), key=keys.__getitem__)
        column = []
        for stratum in order:
            u = (stratum + rng.random()) / count
            x = math.exp(math.log(a) + u * (math.log(b) - math.log(a))) if log else a + u * (b - a)
            column.append(_real_text(format(x, f".{DRAWN_DIGITS}g")))
        columns.append(column)
    ids = _numbered(count)
    return RunTable(names, [(ids[i], {n: Value.parse(col[i]) for n, col in zip(names, columns)})
                            for i in range(count)])
