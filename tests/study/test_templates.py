"""Templates and run tables: field widths, values that do not fit, marker edge cases, sampling."""
import csv
import re
from decimal import Decimal

import pytest

from conftest import study
from study.table import draw_table
from study.templates import Value, format_value

DECK = """ptf {m}
Titel der Studie
(3I5)
{m}n {m}    1    1
(10F8.2)
    10.0{m} w  {m}{m} w  {m}     0.3
"""


def fortran_read(text):
    """The value a Fortran F, E or G read gives for a numeric field that carries a decimal point."""
    s = text.strip()
    m = re.fullmatch(r"([+-]?\d*\.?\d*)(?:E([+-]?\d+))?", s)
    assert m and re.search(r"\d", m.group(1)), s
    return Decimal(m.group(1)) * (Decimal(10) ** int(m.group(2) or 0))


TOO_NARROW = {("-1.2345678e-6", 5), ("-1.2345678e-6", 6), ("123456.789", 5), ("123456.789", 6),
              ("-0.000123456", 5), ("6.02214076e23", 5), ("-999.5", 5), ("0.333333333333", 5),
              ("1e-6", 5), ("1.0E-12", 5), ("1.0E-12", 6), ("-0.000123456", 6), ("-0.000123456", 7),
              ("-0.000123456", 8), ("6.02214076e23", 6), ("6.02214076e23", 7), ("-1.2345678e-6", 7),
              ("-1.2345678e-6", 8)}


@pytest.mark.parametrize("value", ["1e-6", "0.1", "-1.2345678e-6", "2.65", "123456.789", "-0.000123456",
                                   "6.02214076e23", "30.0", "1.0E-12", "-999.5", "0.333333333333"])
@pytest.mark.parametrize("width", [5, 6, 7, 8, 10, 12])
def test_value_fills_field_and_reads_back(value, width):
    v = Value.parse(value)
    text = format_value(v, width)
    if text is None:
        # Too narrow: no form with a decimal point keeps four significant digits.
        assert (value, width) in TOO_NARROW
        return
    assert len(text) == width and text == text.rjust(width) and text.strip() == text.lstrip()
    assert "." in text  # an F w.d read must not place the decimal point itself
    got = fortran_read(text)
    assert got == v.number or abs(got - v.number) <= abs(v.number) * Decimal("5e-4")


def test_integer_values_stay_integers_and_widest_digits_win():
    assert format_value(Value.parse("30"), 5) == "   30"
    assert format_value(Value.parse("100000"), 5) is None
    assert format_value(Value.parse("30."), 5) == "30.00"
    assert format_value(Value.parse("1e-6"), 10) == "1.00000E-6"
    assert format_value(Value.parse("0.1"), 10) == "0.10000000"
    assert format_value(Value.parse("2.0"), 2) == "2."
    assert format_value(Value.parse("1.5"), 2) is None


def write(tmp_path, name, text):
    p = tmp_path / name
    p.write_text(text)
    return p


INIT_CASES = [
    # (case, deck text, table, extra init args, expected exit, expected message part)
    ("several markers on one line", DECK.format(m="~"), "run,n,w\nA,3,2.5\n", [], 0, None),
    ("other marker", DECK.format(m="#"), "run,n,w\nA,3,2.5\n", [], 0, None),
    ("value too wide", DECK.format(m="~"), "run,n,w\nA,3,2.5\nB,123456,2.5\n", [], 1,
     "Lauf B: Vorlage deck.gruv.tpl, Zeile 4: Wert 123456 des Parameters 'n' passt nicht in das Feld von 4 Zeichen"),
    ("unknown parameter", DECK.format(m="~"), "run,n\nA,3\n", [], 1,
     "Vorlage deck.gruv.tpl, Zeile 6: Parameter 'w' steht nicht in der Tabelle"),
    ("unused column", DECK.format(m="~"), "run,n,w,k\nA,3,2.5,7\n", [], 1,
     "Parameter 'k' der Tabelle steht in keiner Vorlage"),
    ("unused column allowed", DECK.format(m="~"), "run,n,w,k\nA,3,2.5,7\n", ["--allow-unused"], 0, None),
    ("unpaired marker", DECK.format(m="~") + "sonde~1.beo\n", "run,n,w\nA,3,2.5\n", [], 1,
     "Zeile 7: Begrenzungszeichen '~' ohne Gegenstueck (Spalte 6)"),
    ("marker on a format card", DECK.format(m="~").replace("(3I5)", "(~n~I5)"), "run,n,w\nA,3,2.5\n", [], 1,
     "Zeile 3: Parameter 'n' steht auf einer Formatkarte"),
    ("letter as marker", DECK.format(m="x"), "run,n,w\nA,3,2.5\n", [], 1,
     "Begrenzungszeichen 'x' ist nicht erlaubt"),
    ("no ptf line", DECK.format(m="~").split("\n", 1)[1], "run,n,w\nA,3,2.5\n", [], 1,
     "Zeile 1: erwartet 'ptf'"),
    ("value not a number", DECK.format(m="~"), "run,n,w\nA,3,zwei\n", [], 1,
     "Zeile 2: Wert 'zwei' von 'w' ist keine Zahl"),
    ("run twice", DECK.format(m="~"), "run,n,w\nA,3,2.5\nA,4,2.5\n", [], 1, "Lauf 'A' doppelt"),
]


@pytest.mark.parametrize("case,deck,table,extra,code,message", INIT_CASES, ids=[c[0] for c in INIT_CASES])
def test_init_checks_every_run_against_every_template(tmp_path, case, deck, table, extra, code, message):
    tpl = write(tmp_path, "deck.gruv.tpl", deck)
    params = write(tmp_path, "params.csv", table)
    p = study("init", tmp_path / "s", "--template", tpl, "--params", params, *extra)
    assert p.returncode == code, p.stderr
    if message:
        assert message in p.stderr
        assert not (tmp_path / "s").exists()  # nothing written before everything is checked
        return
    # The filled-in deck of the first run: fields replaced at their columns, the rest untouched.
    s = tmp_path / "s"
    assert (s / "template" / "deck.gruv.tpl").read_text() == deck
    from study.folder import Study
    st = Study(s)
    text = st.templates()[0][0].render(st.values("A")).decode()
    lines = text.splitlines()
    assert lines[2] == "   3    1    1"
    assert lines[4] == "    10.02.50002.5000     0.3"


def test_sampled_grid_and_latin_hypercube(tmp_path):
    grid = draw_table("grid; a = 1, 2, 3; b = 0 .. 1 : 5; c = 10 .. 50 : 5", "")
    assert len(grid.rows) == 75 and grid.rows[0][0] == "01" and grid.rows[-1][0] == "75"
    # First parameter slowest, last fastest; integer ranges stay integers, others are reals.
    assert [r[1]["c"].text for r in grid.rows[:5]] == ["10", "20", "30", "40", "50"]
    assert [r[1]["b"].text for r in grid.rows[:10:5]] == ["0.0", "0.25"]
    assert {r[1]["a"].text for r in grid.rows[:25]} == {"1"}

    sample = "lhs 40 seed 7\nk = 1e-5 .. 1e-3 log\np = 10 .. 30\n"
    a, b = draw_table(sample, "s"), draw_table(sample, "s")
    assert [r[1]["k"].text for r in a.rows] == [r[1]["k"].text for r in b.rows]  # same seed, same table
    for name, lo, hi, log in (("k", 1e-5, 1e-3, True), ("p", 10.0, 30.0, False)):
        import math
        xs = [float(r[1][name].text) for r in a.rows]
        u = [(math.log(x / lo) / math.log(hi / lo)) if log else (x - lo) / (hi - lo) for x in xs]
        # One value in each of the 40 strata.
        assert sorted(int(min(v, 0.999999) * 40) for v in u) == list(range(40))
    other = draw_table(sample.replace("seed 7", "seed 8"), "s")
    assert [r[1]["k"].text for r in other.rows] != [r[1]["k"].text for r in a.rows]

    tpl = write(tmp_path, "d.tpl", "ptf ~\nT\n(F10.0)\n~   k    ~\n")
    p = study("init", tmp_path / "s", "--template", tpl, "--sample", "lhs 5 seed 3; k = 1 .. 2")
    assert p.returncode == 0, p.stderr
    rows = list(csv.reader(open(tmp_path / "s" / "params.csv")))
    assert rows[0] == ["run", "k"] and len(rows) == 6
    assert (tmp_path / "s" / "sample.txt").read_text() == "lhs 5 seed 3\n k = 1 .. 2\n"
    for sample, message in (("lhs 5; k = 1 .. 2", "braucht einen Startwert"),
                          ("grid; k = 1, zwei", "'zwei' ist keine Zahl"),
                          ("k = 1, 2", "Verfahren fehlt")):
        p = study("init", tmp_path / "t", "--template", tpl, "--sample", sample)
        assert p.returncode == 1 and message in p.stderr, p.stderr
