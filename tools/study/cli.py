"""Command line of gruv3d-study: init, run, status, collect and run-one."""

import argparse
import os
import signal
import sys
from pathlib import Path

from . import backends, folder
from .collect import collect
from .errors import StudyError
from .execute import exit_text, find_gruv3d, run_one, supports_csv
from .folder import CONSOLE, DONE, FAILED, PENDING, Study
from .plot import DEFAULT_VALUE, plot_study
from .table import draw_table, read_params

# argparse's own texts in German.
_GERMAN = {
    "usage: ": "Aufruf: ",
    "positional arguments": "Argumente",
    "options": "Optionen",
    "show this help message and exit": "diese Hilfe",
    "the following arguments are required: %s": "es fehlt: %s",
    "unrecognized arguments: %s": "unbekannte Argumente: %s",
    "invalid choice: %(value)r (choose from %(choices)s)": "ungueltige Wahl: %(value)r (moeglich: %(choices)s)",
    "expected one argument": "erwartet einen Wert",
    "invalid %(type)s value: %(value)r": "ungueltiger Wert: %(value)r",
    "argument %(argument_name)s: %(message)s": "Argument %(argument_name)s: %(message)s",
    "not allowed with argument %s": "nicht zusammen mit %s",
    "one of the arguments %s is required": "eines der Argumente %s ist noetig",
    "%(prog)s: error: %(message)s\n": "%(prog)s: Fehler: %(message)s\n",
}
argparse._ = lambda s: _GERMAN.get(s, s)

EXIT_OK, EXIT_ERROR, EXIT_FAILED_RUNS, EXIT_PENDING, EXIT_INTERRUPTED = 0, 1, 2, 3, 130

DESCRIPTION = """Parameterstudien mit gruv3d: eine Vorlage des Eingabedecks, viele Laeufe,
auf diesem Rechner, mit Slurm oder mit GNU Parallel.

  init     Studienordner aus Vorlage(n) und Parametertabelle oder Stichprobe anlegen
  run      Laeufe ausfuehren (fortsetzbar: fertige Laeufe werden nicht wiederholt)
  status   Stand: fertig, fehlgeschlagen, ausstehend; Meldungen fehlgeschlagener Laeufe
  collect  results.csv mit einer Zeile je Lauf schreiben
  plot     Abbildung eines Ergebnisses aus results.csv ueber zwei Parameter
  run-one  einen Lauf ausfuehren (von den Backends slurm und parallel benutzt)

Rueckgabewert: 0 alles fertig, 1 Fehler in Aufruf oder Eingabe, 2 fehlgeschlagene
Laeufe, 3 ausstehende Laeufe, 130 unterbrochen."""


class _Parser(argparse.ArgumentParser):
    """Usage errors exit with 1 (2 means failed runs)."""

    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(EXIT_ERROR, f"{self.prog}: Fehler: {message}\n")


def _parser():
    p = _Parser(prog="gruv3d-study", description=DESCRIPTION,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="command", metavar="BEFEHL", required=True)

    def add(name, help_text):
        return sub.add_parser(name, help=help_text, description=help_text,
                              formatter_class=argparse.RawDescriptionHelpFormatter)

    gruv3d_help = ("Programm gruv3d (sonst $GRUV3D, dann gruv3d im PATH, dann build/release/src/gruv3d "
                   "dieses Quellbaums)")

    i = add("init", "Studienordner anlegen: Vorlagen pruefen, Laeufe aus Tabelle oder Stichprobe, "
                    "jeder Lauf gegen jede Vorlage geprueft")
    i.add_argument("study", metavar="STUDIE", help="neuer Studienordner")
    i.add_argument("--template", required=True, metavar="DECK.tpl",
                   help="Vorlage des Eingabedecks (erste Zeile 'ptf ~', Felder '~ name ~')")
    i.add_argument("--data", action="append", default=[], metavar="DATEI.tpl",
                   help="weitere Vorlage, z.B. der Zusatzdatendatei (mehrfach)")
    i.add_argument("--files", action="append", default=[], metavar="DATEI",
                   help="Datei, die unveraendert in jeden Laufordner kommt, z.B. GRUVWS; PFAD=NAME legt sie "
                        "unter NAME ab (mehrfach)")
    src = i.add_mutually_exclusive_group(required=True)
    src.add_argument("--params", metavar="PARAMS.csv", help="Tabelle: Spalte 'run' und eine Spalte je Parameter")
    src.add_argument("--sample", metavar="SPEC",
                     help="Stichprobe: Datei oder Text mit ';' zwischen den Zeilen, z.B. "
                          "'grid; a = 1, 2, 3; b = 0 .. 1 : 5' oder 'lhs 50 seed 7; k = 1e-5 .. 1e-3 log'")
    i.add_argument("--allow-unused", action="store_true",
                   help="Spalten der Tabelle, die keine Vorlage verwendet, zulassen (nur zur Information)")

    r = add("run", "Laeufe ausfuehren; fertige werden uebersprungen, ein unterbrochener Aufruf wird durch "
                   "denselben Aufruf fortgesetzt")
    r.add_argument("study", metavar="STUDIE")
    r.add_argument("--backend", choices=["local", "slurm", "parallel"], default="local",
                   help="local (Vorgabe): Prozesse auf diesem Rechner; slurm: ein Job-Array; "
                        "parallel: GNU Parallel ueber eine Rechnerliste")
    r.add_argument("--jobs", "-j", type=int, metavar="N",
                   help="Laeufe gleichzeitig (local: Vorgabe Anzahl der Kerne; slurm: Grenze %%N des Arrays; "
                        "parallel: je Rechner)")
    r.add_argument("--retry-failed", action="store_true", help="fehlgeschlagene Laeufe wiederholen")
    r.add_argument("--runs", nargs="+", metavar="LAUF", help="nur diese Laeufe")
    r.add_argument("--gruv3d", metavar="PFAD", help=gruv3d_help)
    r.add_argument("--timeout", type=float, metavar="SEK",
                   help="local, parallel: Lauf nach SEK Sekunden abbrechen (zaehlt als fehlgeschlagen)")
    r.add_argument("--partition", help="slurm: Partition")
    r.add_argument("--time", dest="time_limit", metavar="ZEIT", help="slurm: Zeitgrenze je Lauf, z.B. 0:30:00")
    r.add_argument("--mem", help="slurm: Speichergrenze je Lauf, z.B. 2G")
    r.add_argument("--sbatch", action="append", default=[], metavar="OPTION",
                   help="slurm: weitere sbatch-Option, z.B. --sbatch=--account=geo (mehrfach)")
    r.add_argument("--no-wait", action="store_true",
                   help="slurm: nach dem Absenden zurueckkehren; 'status' zeigt den Stand")
    r.add_argument("--poll", type=float, default=2.0, metavar="SEK", help="slurm: Abfrageabstand (Vorgabe 2 s)")
    r.add_argument("--sshloginfile", metavar="DATEI",
                   help="parallel: Rechnerliste (eine Zeile je Rechner, ':' = dieser Rechner); "
                        "ohne: nur dieser Rechner. Alle Rechner sehen den Studienordner unter demselben Pfad")
    r.add_argument("--parallel", action="append", default=[], metavar="OPTION",
                   help="parallel: weitere Option fuer GNU Parallel (mehrfach)")
    r.add_argument("--no-csv", action="store_true", help=argparse.SUPPRESS)
    r.add_argument("--csv", action="store_true", help=argparse.SUPPRESS)

    s = add("status", "Stand der Studie")
    s.add_argument("study", metavar="STUDIE")
    s.add_argument("--lines", type=int, default=5, metavar="N",
                   help="letzte Konsolenzeilen je fehlgeschlagenem Lauf (Vorgabe 5)")

    c = add("collect", "results.csv schreiben: Parameter, Ende, Beobachtungswerte, Energiebilanz je Lauf")
    c.add_argument("study", metavar="STUDIE")
    c.add_argument("--at", action="append", default=[], metavar="ZEIT",
                   help="Beobachtungswerte zu dieser Zeit (in der Zeiteinheit des Decks, oder mit "
                        "Einheit: 30TAG, 12STU, 90MIN, 3600s; mehrfach); ohne: letzter Beobachtungssatz")
    c.add_argument("--output", "-o", metavar="DATEI", help="statt STUDIE/results.csv")

    g = add("plot", "Abbildung eines Ergebnisses aus results.csv (nach collect) ueber zwei Parameter: Linien "
                    "ueber dem ersten, eine je Wert des zweiten, und eine Karte beider")
    g.add_argument("study", metavar="STUDIE")
    g.add_argument("--x", metavar="PARAM", help="Parameter der waagrechten Achse (Vorgabe: der erste der Tabelle)")
    g.add_argument("--y", metavar="PARAM", help="Parameter der Linien und der Karte (Vorgabe: der zweite)")
    g.add_argument("--value", default=DEFAULT_VALUE, metavar="SPALTE",
                   help=f"Spalte von results.csv (Vorgabe {DEFAULT_VALUE}: Waermestrom zu den Waermetauschern "
                        "am Ende)")
    g.add_argument("--out", metavar="VERZ", help="Zielverzeichnis (Vorgabe STUDIE/plots)")
    g.add_argument("--svg", action="store_true", help="zusaetzlich als SVG")
    g.add_argument("--dpi", type=int, default=150, help="Aufloesung der PNG-Datei (Vorgabe 150)")

    o = add("run-one", "einen Lauf ausfuehren und sein Ende festhalten")
    o.add_argument("study", metavar="STUDIE")
    o.add_argument("run", metavar="LAUF")
    o.add_argument("--gruv3d", metavar="PFAD", help=gruv3d_help)
    o.add_argument("--timeout", type=float, metavar="SEK")
    csv = o.add_mutually_exclusive_group()
    csv.add_argument("--csv", action="store_true",
                     help="gruv3d mit --csv aufrufen (sonst nur, wenn gruv3d die Option kennt)")
    csv.add_argument("--no-csv", action="store_true", help="gruv3d ohne --csv aufrufen")
    return p


def _init(a):
    if a.params:
        table, sample = read_params(a.params), None
    else:
        path = Path(a.sample)
        if path.is_file():
            sample = path.read_text(encoding="utf-8")
            table = draw_table(sample, path.name)
        else:
            sample = a.sample.replace(";", "\n")
            table = draw_table(a.sample, "")
    templates = [(a.template, True)] + [(d, False) for d in a.data]
    study = folder.create(a.study, templates, a.files, table, sample, a.allow_unused)
    print(f"Studie {study.path}: {len(table.rows)} Laeufe, Parameter {', '.join(table.names)}; "
          f"Deck {study.deck}")
    return EXIT_OK


def _csv_flag(a, gruv3d):
    if a.no_csv or a.csv:
        return a.csv
    if supports_csv(gruv3d):
        return True
    print(f"gruv3d-study: {gruv3d} kennt --csv nicht: 'collect' liefert nur Status und Laufzeit",
          file=sys.stderr)
    return False


def _tool():
    """The command that runs this tool again on a node (same interpreter, same script)."""
    return [sys.executable, os.path.realpath(sys.argv[0])]


def _summary(study):
    states = study.states()
    counts = {s: list(states.values()).count(s) for s in (DONE, FAILED, PENDING)}
    return counts, (f"{counts[DONE]} fertig, {counts[FAILED]} fehlgeschlagen, "
                    f"{counts[PENDING]} ausstehend (von {len(states)})")


def _end_code(counts):
    if counts[FAILED]:
        return EXIT_FAILED_RUNS
    return EXIT_PENDING if counts[PENDING] else EXIT_OK


def _run(a):
    study = Study(a.study)
    unknown = [r for r in (a.runs or []) if r not in study.run_ids()]
    if unknown:
        raise StudyError(f"Lauf '{unknown[0]}' gibt es in der Studie {study.name} nicht")
    if a.jobs is not None and a.jobs < 1:
        raise StudyError("--jobs braucht eine Zahl ab 1")
    gruv3d = find_gruv3d(a.gruv3d)
    csv = _csv_flag(a, gruv3d)
    lock = study.lock()
    backends.refuse_if_queued(study)
    runs = study.to_run(a.retry_failed, a.runs)
    if not runs:
        counts, text = _summary(study)
        print(f"Nichts zu tun: {text}")
        return _end_code(counts)
    print(f"Studie {study.name}: {len(runs)} Laeufe ({a.backend})", file=sys.stderr)
    if a.backend == "local":
        jobs = a.jobs or os.cpu_count() or 1
        outcome = backends.run_local(study, runs, jobs, gruv3d, csv, a.timeout)
    elif a.backend == "parallel":
        outcome = backends.run_parallel(study, runs, a.jobs, gruv3d, csv, _tool(), a.sshloginfile, a.parallel)
    else:
        ids = backends.submit_slurm(study, runs, a.jobs, gruv3d, csv, _tool(), a.partition, a.time_limit,
                                    a.mem, a.sbatch)
        print(f"Slurm-Job {', '.join(ids)}: {len(runs)} Laeufe", file=sys.stderr)
        if a.no_wait:
            print(f"Stand: gruv3d-study status {study.path}")
            return EXIT_OK
        outcome = backends.wait_slurm(study, runs, ids, a.poll)
        lost = [r for r in runs if study.state(r) == PENDING]
        if lost and not outcome.interrupted:
            acct = backends.slurm_accounting(ids)
            states = sorted(set(acct.values()))
            print(f"{len(lost)} Laeufe ohne Ergebnis (abgebrochen, Zeitgrenze oder Knotenausfall"
                  + (f"; sacct: {', '.join(states)}" if states else "") + "); derselbe Aufruf setzt fort",
                  file=sys.stderr)
    lock.close()
    counts, text = _summary(study)
    print(f"Studie {study.name}: {text}")
    if outcome.interrupted:
        print("Unterbrochen; derselbe Aufruf setzt die Studie fort.", file=sys.stderr)
        return EXIT_INTERRUPTED
    return _end_code(counts)


def _tail(path, n):
    try:
        lines = path.read_bytes().decode("latin-1").replace("\r", "\n").splitlines()
    except OSError:
        return []
    return [line for line in lines if line.strip()][-n:]


def _status(a):
    study = Study(a.study)
    counts, text = _summary(study)
    print(f"Studie {study.name}: {text}")
    interrupted = [r for r in study.run_ids() if study.state(r) == PENDING and study.started(r)]
    jobs = backends.slurm_jobs(study)
    if jobs:
        try:
            queued = backends.slurm_queue(jobs)
        except StudyError as e:
            queued = None
            print(f"  Slurm: {e}")
        if queued:
            by_state = {}
            for s in queued.values():
                by_state[s] = by_state.get(s, 0) + 1
            print("  Slurm-Jobs " + ", ".join(jobs) + ": "
                  + ", ".join(f"{n} {s}" for s, n in sorted(by_state.items())))
        elif queued is not None:
            print(f"  Slurm-Jobs {', '.join(jobs)}: nicht mehr in der Warteschlange")
    if interrupted and not (jobs and queued):
        print(f"  begonnen, ohne Ende: {', '.join(interrupted)} (laufen noch oder wurden unterbrochen)")
    failed = [r for r in study.run_ids() if study.state(r) == FAILED]
    if failed:
        print("Fehlgeschlagene Laeufe:")
    for run in failed:
        rec = study.record(run)
        note = f", {rec['note']}" if rec.get("note") else ""
        print(f"  Lauf {run}: Rueckgabewert {rec.get('exit')} ({exit_text(rec.get('exit'))}{note}), "
              f"{rec.get('wall_s', 0):.2f} s, {study.run_dir(run)}")
        for line in _tail(study.run_dir(run) / CONSOLE, a.lines):
            print(f"    | {line}")
    return _end_code(counts)


def _collect(a):
    study = Study(a.study)
    path, counts = collect(study, a.at, a.output)
    n = sum(counts.values())
    print(f"{path}: {n} Laeufe ({counts.get(DONE, 0)} fertig, {counts.get(FAILED, 0)} fehlgeschlagen, "
          f"{counts.get(PENDING, 0)} ausstehend)")
    return EXIT_OK


def _plot(a):
    for path in plot_study(a.study, a.x, a.y, a.value, a.out, a.svg, a.dpi):
        print(path)
    return EXIT_OK


def _run_one(a):
    study = Study(a.study)
    study.values(a.run)
    gruv3d = find_gruv3d(a.gruv3d)
    csv = a.csv or (not a.no_csv and supports_csv(gruv3d))
    return run_one(study, a.run, gruv3d, csv, a.timeout)


def main(argv=None):
    args = _parser().parse_args(argv)
    # A stop from outside ends like Ctrl-C: running programs are stopped, nothing recorded for them.
    if args.command != "run-one":
        signal.signal(signal.SIGTERM, signal.default_int_handler)
        signal.signal(signal.SIGHUP, signal.default_int_handler)
    try:
        return {"init": _init, "run": _run, "status": _status, "collect": _collect,
                "plot": _plot, "run-one": _run_one}[args.command](args)
    except StudyError as e:
        print(f"gruv3d-study: {e}", file=sys.stderr)
        return EXIT_ERROR
    except KeyboardInterrupt:
        print("gruv3d-study: unterbrochen", file=sys.stderr)
        return EXIT_INTERRUPTED
    except BrokenPipeError:
        return EXIT_ERROR
