"""collect against the CSV result files of gruv3d (observations.csv, energy.csv), and status."""
import csv
import json

from conftest import study

OBSERVATIONS = """time_s,time_TAG,"T(8,8,3) x=26.65 y=28.65 z=24 m [degC]","H(8,8,3) x=26.65 y=28.65 z=24 m [m]"
0,0,10,99.5
86400,1,9.5,99.25
172800,2,8.75,99
"""
ENERGY = """time_s,time_TAG,T_min_degC,T_max_degC,Q_exchangers_W,E_change_start_J
0,0,0,10,0,0
86400,1,-0.5,10.25,2100.5,-1.5e9
172800,2,0,10,2000.25,-3.0e9
"""


def test_collect_rows_per_run_with_missing_runs_marked(tmp_path):
    tpl = tmp_path / "d.gruv.tpl"
    tpl.write_text("ptf ~\nT\n(F10.0)\n~   k    ~\n")
    params = tmp_path / "p.csv"
    params.write_text("run,k\nA,1.5\nB,2.5\nC,3.5\n")
    assert study("init", tmp_path / "s", "--template", tpl, "--params", params).returncode == 0
    runs = tmp_path / "s" / "runs"
    (runs / "A" / "csv").mkdir(parents=True)
    (runs / "A" / "csv" / "observations.csv").write_text(OBSERVATIONS)
    (runs / "A" / "csv" / "energy.csv").write_text(ENERGY)
    (runs / "A" / "status.json").write_text(json.dumps({"exit": 0, "wall_s": 0.25}))
    (runs / "B").mkdir()
    (runs / "B" / "status.json").write_text(json.dumps({"exit": 2, "wall_s": 0.5}))
    (runs / "B" / "console.txt").write_text("Zeile 1\n Iterationsfehler von NaN nicht endlich\n")

    p = study("collect", tmp_path / "s", "--at", "1.5", "--at", "2TAG", "--at", "36STU", "--at", "5")
    assert p.returncode == 0, p.stderr
    assert "3 Laeufe (1 fertig, 1 fehlgeschlagen, 1 ausstehend)" in p.stdout
    rows = list(csv.DictReader(open(tmp_path / "s" / "results.csv")))
    assert [(r["run"], r["k"], r["status"], r["exit_status"], r["wall_s"]) for r in rows] == [
        ("A", "1.5", "fertig", "0", "0.25"), ("B", "2.5", "fehlgeschlagen", "2", "0.5"),
        ("C", "3.5", "ausstehend", "", "")]
    a = rows[0]
    # Between two records linear, on a record its text; outside the records empty.
    assert float(a["T(8,8,3)@1.5"]) == 9.125 and float(a["H(8,8,3)@1.5"]) == 99.125
    assert a["T(8,8,3)@2TAG"] == "8.75" and a["H(8,8,3)@36STU"] == a["H(8,8,3)@1.5"]
    assert a["T(8,8,3)@5"] == ""
    # The last energy row, and the extremes of the whole run.
    assert (a["end_time_s"], a["end_Q_exchangers_W"], a["end_E_change_start_J"]) == ("172800", "2000.25", "-3.0e9")
    assert (a["T_min_degC"], a["T_max_degC"], a["end_T_min_degC"]) == ("-0.5", "10.25", "0")
    assert all(rows[1][k] == "" for k in a if k.startswith(("T(", "end_", "T_")))

    p = study("collect", tmp_path / "s", "-o", tmp_path / "last.csv")
    last = list(csv.DictReader(open(tmp_path / "last.csv")))[0]
    assert last["T(8,8,3)@end"] == "8.75" and last["H(8,8,3)@end"] == "99"

    p = study("status", tmp_path / "s")
    assert p.returncode == 2
    assert "1 fertig, 1 fehlgeschlagen, 1 ausstehend (von 3)" in p.stdout
    assert "Lauf B: Rueckgabewert 2 (Berechnung abgebrochen), 0.50 s" in p.stdout
    assert "|  Iterationsfehler von NaN nicht endlich" in p.stdout

    p = study("collect", tmp_path / "s", "--at", "morgen")
    assert p.returncode == 1 and "--at morgen" in p.stderr
