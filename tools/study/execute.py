"""One run: its folder prepared, gruv3d started in it, exit status and wall time recorded atomically."""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
from pathlib import Path

from .errors import StudyError
from .folder import CONSOLE, CSV_DIR, RECORD, STARTED, write_atomically

# Signals that mean "interrupted from outside" (Ctrl-C, scancel, a stopped
# driver): such a run is not recorded and runs again on the next `run`.
# Any other signal (a crash) is recorded as a failure.
INTERRUPTS = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGKILL}

EXIT_TEXTS = {
    0: "normales Ende",
    1: "fehlerhafte Eingabe oder Datei",
    2: "Berechnung abgebrochen",
    3: "interner Fehler",
    4: "Ergebnisdatei nicht geschrieben",
}


def exit_text(code):
    """A short German description of a gruv3d exit status (negative: the signal that ended it)."""
    if code is None:
        return "unbekannt"
    if code < 0:
        try:
            name = signal.Signals(-code).name
        except ValueError:
            name = str(-code)
        return f"Signal {-code} ({name})"
    return EXIT_TEXTS.get(code, "unbekannter Rueckgabewert")


def find_gruv3d(given=None):
    """The gruv3d program: --gruv3d, else $GRUV3D, else gruv3d on PATH, else the release build of this tree."""
    candidates = []
    if given:
        candidates.append(("--gruv3d", given))
    elif os.environ.get("GRUV3D"):
        candidates.append(("GRUV3D", os.environ["GRUV3D"]))
    else:
        on_path = shutil.which("gruv3d")
        if on_path:
            candidates.append(("PATH", on_path))
        beside = Path(sys.argv[0]).resolve().parent / "gruv3d"  # installed next to gruv3d-study
        candidates.append(("neben gruv3d-study", str(beside)))
        tree = Path(__file__).resolve().parents[2] / "build" / "release" / "src" / "gruv3d"
        candidates.append(("Bauverzeichnis", str(tree)))
    for _, c in candidates:
        p = shutil.which(c) if os.sep not in c else (c if os.access(c, os.X_OK) and os.path.isfile(c) else None)
        if p:
            return os.path.abspath(p)
    where, c = candidates[0]
    raise StudyError(
        f"Programm gruv3d nicht gefunden ({where}: {c}); mit --gruv3d PFAD oder der Umgebungsvariablen "
        "GRUV3D angeben")


_csv_support = {}


def supports_csv(gruv3d):
    """Whether this gruv3d writes the CSV result files (its usage text names --csv)."""
    if gruv3d not in _csv_support:
        try:
            out = subprocess.run([gruv3d, "--help"], stdin=subprocess.DEVNULL, capture_output=True,
                                 timeout=30).stdout
        except (OSError, subprocess.TimeoutExpired):
            out = b""
        _csv_support[gruv3d] = b"--csv" in out
    return _csv_support[gruv3d]


def command(study, gruv3d, csv):
    cmd = [gruv3d, study.deck]
    if csv:
        cmd += ["--csv", CSV_DIR]
    return cmd


class Interrupted(Exception):
    """The run was stopped from outside; nothing is recorded."""


def execute(study, run, gruv3d, csv, timeout=None, register=None):
    """Runs one run in its fresh folder and records the end; returns the record.

    register(proc) is called with the started process (the local backend keeps
    them to stop them on Ctrl-C). Raises Interrupted when the program was ended
    by an interrupting signal; then the folder holds no record.
    """
    folder = study.prepare(run)
    with open(folder / CONSOLE, "wb") as console:
        t0 = time.monotonic()
        # The runs of a study fill the processors themselves: each on one
        # thread unless the user's environment says otherwise.
        env = dict(os.environ)
        env.setdefault("GRUV_THREADS", "1")
        proc = subprocess.Popen(command(study, gruv3d, csv), cwd=folder, stdin=subprocess.DEVNULL,
                                stdout=console, stderr=subprocess.STDOUT, env=env)
        write_atomically(folder / STARTED, f"{socket.gethostname()} {proc.pid}\n")
        if register:
            register(proc)
        note = None
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            code = proc.wait()
            note = f"nach {timeout:g} s abgebrochen (--timeout)"
        except BaseException:
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            (folder / STARTED).unlink(missing_ok=True)
            raise
        wall = time.monotonic() - t0
    if code < 0 and -code in INTERRUPTS and note is None:
        (folder / STARTED).unlink(missing_ok=True)
        raise Interrupted(run)
    record = {"run": run, "exit": code, "wall_s": round(wall, 4), "host": socket.gethostname(),
              "finished": time.strftime("%Y-%m-%dT%H:%M:%S")}
    if note:
        record["note"] = note
    write_atomically(folder / RECORD, json.dumps(record) + "\n")
    (folder / STARTED).unlink(missing_ok=True)
    return record


def run_one(study, run, gruv3d, csv, timeout=None):
    """The `run-one` command (used by the Slurm and GNU Parallel backends): one run, signals end it cleanly."""
    def stop(signum, _frame):
        raise Interrupted(run)

    for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(s, stop)
    if study.state(run) == "fertig":
        return 0
    try:
        record = execute(study, run, gruv3d, csv, timeout)
    except Interrupted:
        return 130
    return 0 if record["exit"] == 0 else 1
