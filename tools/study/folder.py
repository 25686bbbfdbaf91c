"""The study folder: its description, the run table, the run folders and the records of finished runs."""

import fcntl
import json
import os
import shutil
import socket
import threading
import time
from pathlib import Path

from .errors import StudyError
from .table import read_params
from .templates import Template

DESCRIPTION = "study.json"
TABLE = "params.csv"
TEMPLATE_DIR = "template"
RUNS_DIR = "runs"
RECORD = "status.json"  # exit status and wall time of a finished run
STARTED = "started"  # host and process of a run that is going on
CONSOLE = "console.txt"
CSV_DIR = "csv"

DONE, FAILED, PENDING = "fertig", "fehlgeschlagen", "ausstehend"


def write_atomically(path, data):
    """Writes bytes or text under a temporary name and renames it, so a reader sees all or nothing.

    No fsync: a record that a crash of the machine leaves empty or cut off
    does not read as a record, and its run simply runs again.
    """
    path = Path(path)
    tmp = path.with_name(f".{path.name}.{os.getpid()}.{threading.get_ident()}.tmp")
    with open(tmp, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)
    os.replace(tmp, path)


def _pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


class Study:
    """An initialised study folder."""

    def __init__(self, path):
        self.path = Path(path).resolve()
        try:
            self.description = json.loads((self.path / DESCRIPTION).read_text(encoding="utf-8"))
        except FileNotFoundError:
            raise StudyError(f"{path} ist kein Studienordner ({DESCRIPTION} fehlt; erst 'gruv3d-study init')") from None
        except (OSError, ValueError) as e:
            raise StudyError(f"{path}/{DESCRIPTION} nicht lesbar: {e}") from None
        self.table = read_params(self.path / TABLE)
        self.name = self.path.name
        self.deck = self.description["deck"]  #: file name of the deck in each run folder
        self._templates = None

    # -- templates and run folders ---------------------------------------------------------------

    def templates(self):
        """The parsed templates, as (template, output file name)."""
        if self._templates is None:
            self._templates = [
                (Template(self.path / TEMPLATE_DIR / t["file"], t["deck"]), t["output"])
                for t in self.description["templates"]]
        return self._templates

    def extra_files(self):
        """Files of the template folder copied unchanged into each run folder."""
        templates = {t["file"] for t in self.description["templates"]}
        folder = self.path / TEMPLATE_DIR
        return sorted(p for p in folder.iterdir() if p.is_file() and p.name not in templates)

    def run_ids(self):
        return [run for run, _ in self.table.rows]

    def values(self, run):
        for r, values in self.table.rows:
            if r == run:
                return values
        raise StudyError(f"Lauf '{run}' gibt es in der Studie {self.name} nicht")

    def run_dir(self, run):
        return self.path / RUNS_DIR / run

    def prepare(self, run):
        """A fresh run folder: old results removed, templates filled in, extra files copied."""
        folder = self.run_dir(run)
        self.stop_leftover(run)
        if folder.exists():
            shutil.rmtree(folder)
        folder.mkdir(parents=True)
        values = self.values(run)
        for template, output in self.templates():
            (folder / output).write_bytes(template.render(values))
        for extra in self.extra_files():
            shutil.copyfile(extra, folder / extra.name)
        return folder

    def stop_leftover(self, run):
        """Stops a program still running in the run folder from an interrupted study on this host."""
        marker = self.run_dir(run) / STARTED
        try:
            host, pid = marker.read_text().split()
            pid = int(pid)
        except (OSError, ValueError):
            return
        if host != socket.gethostname() or not _pid_alive(pid):
            return
        try:
            if os.readlink(f"/proc/{pid}/cwd") != str(self.run_dir(run)):
                return
            os.kill(pid, 15)
            for _ in range(50):
                if not _pid_alive(pid):
                    return
                time.sleep(0.1)
            os.kill(pid, 9)
        except OSError:
            pass

    # -- records ---------------------------------------------------------------------------------

    def record(self, run):
        """The record of a finished run (dict with 'exit', 'wall_s', ...), or None."""
        try:
            rec = json.loads((self.run_dir(run) / RECORD).read_text(encoding="utf-8"))
        except (OSError, ValueError):
            return None
        # Anything else than a complete record (a file cut off by a crash) counts as none.
        return rec if isinstance(rec, dict) and isinstance(rec.get("exit"), int) else None

    def state(self, run):
        rec = self.record(run)
        if rec is None:
            return PENDING
        return DONE if rec.get("exit") == 0 else FAILED

    def states(self):
        """{run: state} for every run of the table."""
        return {run: self.state(run) for run in self.run_ids()}

    def started(self, run):
        """(host, pid) of a run that was started and has not recorded an end, or None."""
        try:
            host, pid = (self.run_dir(run) / STARTED).read_text().split()
            return host, int(pid)
        except (OSError, ValueError):
            return None

    def to_run(self, retry_failed, only=None):
        """Runs still to be done: the pending ones, and the failed ones with retry_failed."""
        runs = only if only else self.run_ids()
        wanted = {PENDING, FAILED} if retry_failed else {PENDING}
        return [r for r in runs if self.state(r) in wanted]

    # -- locking ---------------------------------------------------------------------------------

    def lock(self):
        """Holds the study's lock file for this process; refuses when another run command holds it."""
        f = open(self.path / ".lock", "w")
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            f.close()
            raise StudyError(
                f"Studie {self.name} wird gerade von einem anderen 'gruv3d-study run' bearbeitet") from None
        return f


def _source_and_name(entry):
    """--files PATH or PATH=NAME: the file and its name in the run folders."""
    if "=" in entry:
        source, name = entry.rsplit("=", 1)
    else:
        source, name = entry, Path(entry).name
    if not name or "/" in name or name in (".", ".."):
        raise StudyError(f"--files {entry}: ungueltiger Dateiname '{name}' im Laufordner")
    return Path(source), name


def create(path, templates, extra_files, table, sample_text, allow_unused):
    """Makes a new study folder; every run is checked against every template before anything is written.

    templates: list of (template file path, is the deck); extra_files: PATH or PATH=NAME.
    """
    path = Path(path)
    extra_files = [_source_and_name(f) for f in extra_files]
    if path.exists() and any(path.iterdir()):
        raise StudyError(f"Studienordner {path} existiert bereits und ist nicht leer")
    parsed = []
    for file, is_deck in templates:
        t = Template(file, is_deck)
        output = t.name[:-4] if t.name.lower().endswith(".tpl") else t.name
        parsed.append((t, output))
    outputs = [o for _, o in parsed] + [name for _, name in extra_files]
    for o in outputs:
        if outputs.count(o) > 1:
            raise StudyError(f"Dateiname {o} kommt in den Vorlagen und Dateien der Studie doppelt vor")
        if o in (RECORD, STARTED, CONSOLE, CSV_DIR):
            raise StudyError(f"Dateiname {o} ist fuer die Laufordner reserviert")
    for f, _ in extra_files:
        if not f.is_file():
            raise StudyError(f"Datei {f} nicht gefunden")
    used = set()
    for t, _ in parsed:
        used.update(t.names())
    unused = [n for n in table.names if n not in used]
    if unused and not allow_unused:
        raise StudyError(
            f"Parameter '{unused[0]}' der Tabelle steht in keiner Vorlage "
            "(Tippfehler? Spalten nur zur Information: --allow-unused)")
    for run, values in table.rows:
        for t, _ in parsed:
            try:
                t.check(values)
            except StudyError as e:
                raise StudyError(f"Lauf {run}: {e}") from None
    path.mkdir(parents=True, exist_ok=True)
    (path / TEMPLATE_DIR).mkdir()
    (path / RUNS_DIR).mkdir()
    for (t, output), (_, is_deck) in zip(parsed, templates):
        shutil.copyfile(t.path, path / TEMPLATE_DIR / t.name)
    for f, name in extra_files:
        shutil.copyfile(f, path / TEMPLATE_DIR / name)
    table.write(path / TABLE)
    if sample_text is not None:
        (path / "sample.txt").write_text(sample_text if sample_text.endswith("\n") else sample_text + "\n")
    description = {
        "format": 1,
        "deck": parsed[0][1],
        "templates": [{"file": t.name, "output": o, "deck": is_deck}
                      for (t, o), (_, is_deck) in zip(parsed, templates)],
        "parameters": table.names,
        "unused": unused,
        "created": time.strftime("%Y-%m-%dT%H:%M:%S"),
    }
    write_atomically(path / DESCRIPTION, json.dumps(description, indent=2) + "\n")
    return Study(path)
