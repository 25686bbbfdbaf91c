"""Where runs run: processes on this machine, a Slurm job array, or GNU Parallel over a list of hosts."""

import json
import queue
import re
import shlex
import signal
import subprocess
import sys
import threading
import time

from .errors import StudyError
from .execute import Interrupted, execute
from .folder import DONE, FAILED, PENDING, write_atomically
from .progress import Progress

SLURM_DIR = "slurm"
PARALLEL_DIR = "parallel"


class Outcome:
    """What a batch ended with: counts of this batch and whether it was interrupted."""

    def __init__(self, done=0, failed=0, pending=0, interrupted=False):
        self.done, self.failed, self.pending, self.interrupted = done, failed, pending, interrupted


# -- local ----------------------------------------------------------------------------------------

def run_local(study, runs, jobs, gruv3d, csv, timeout=None, stream=None):
    """Runs `runs` with at most `jobs` processes at once; Ctrl-C stops them and records nothing for them."""
    todo = queue.Queue()
    for r in runs:
        todo.put(r)
    events = queue.Queue()
    stop = threading.Event()
    active = {}
    lock = threading.Lock()

    def register(proc):
        with lock:
            active[threading.get_ident()] = proc
        if stop.is_set():
            proc.terminate()

    def worker():
        while not stop.is_set():
            try:
                run = todo.get_nowait()
            except queue.Empty:
                return
            events.put(("start", run))
            try:
                rec = execute(study, run, gruv3d, csv, timeout, register)
                events.put(("end", run, rec["exit"]))
            except Interrupted:
                events.put(("interrupted", run))
            except Exception as e:  # a folder that cannot be written: report and go on
                events.put(("error", run, str(e)))
            finally:
                with lock:
                    active.pop(threading.get_ident(), None)

    progress = Progress(len(runs), stream)
    done = failed = running = 0
    threads = [threading.Thread(target=worker, daemon=True) for _ in range(max(1, min(jobs, len(runs))))]
    for t in threads:
        t.start()
    interrupted = False
    errors = []
    try:
        while any(t.is_alive() for t in threads) or not events.empty():
            try:
                ev = events.get(timeout=0.2)
            except queue.Empty:
                progress.update(done, failed, running)
                continue
            if ev[0] == "start":
                running += 1
            elif ev[0] == "end":
                running -= 1
                if ev[2] == 0:
                    done += 1
                else:
                    failed += 1
            else:
                running -= 1
                if ev[0] == "error":
                    errors.append(f"Lauf {ev[1]}: {ev[2]}")
            progress.update(done, failed, running)
    except KeyboardInterrupt:
        interrupted = True
        stop.set()
        with lock:
            procs = list(active.values())
        for p in procs:
            try:
                p.terminate()
            except OSError:
                pass
        for t in threads:
            t.join()
        while not events.empty():
            ev = events.get()
            if ev[0] == "end":
                done += ev[2] == 0
                failed += ev[2] != 0
        running = 0
    progress.finish(done, failed, running)
    for e in errors:
        print(f"gruv3d-study: {e}", file=sys.stderr)
    return Outcome(done, failed, len(runs) - done - failed, interrupted)


# -- Slurm ----------------------------------------------------------------------------------------

def _slurm(cmd, check=True):
    try:
        p = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    except FileNotFoundError:
        raise StudyError(f"Slurm-Befehl {cmd[0]} nicht gefunden (ist Slurm installiert?)") from None
    except subprocess.TimeoutExpired:
        raise StudyError(f"Slurm-Befehl {cmd[0]} antwortet nicht") from None
    if check and p.returncode != 0:
        raise StudyError(f"{cmd[0]} meldet: {p.stderr.strip() or p.stdout.strip()}")
    return p


def slurm_jobs(study):
    """Ids of the job arrays this study submitted."""
    try:
        return json.loads((study.path / SLURM_DIR / "jobs.json").read_text())
    except (OSError, ValueError):
        return []


def slurm_queue(jobs):
    """{array task id string: state} of the study's jobs still known to the queue."""
    if not jobs:
        return {}
    p = _slurm(["squeue", "-h", "-r", "-j", ",".join(jobs), "-o", "%i %T"], check=False)
    if p.returncode != 0:
        if "Invalid job id" in p.stderr:
            return {}
        raise StudyError(f"squeue meldet: {p.stderr.strip()}")
    states = {}
    for line in p.stdout.splitlines():
        parts = line.split()
        if len(parts) == 2:
            states[parts[0]] = parts[1]
    return states


def slurm_accounting(jobs):
    """{job id: state} from sacct where the cluster keeps accounting, else {}."""
    if not jobs:
        return {}
    p = _slurm(["sacct", "-n", "-X", "-P", "-j", ",".join(jobs), "-o", "JobID,State"], check=False)
    if p.returncode != 0:
        return {}
    return dict(line.split("|", 1) for line in p.stdout.splitlines() if "|" in line)


def refuse_if_queued(study):
    """Refuses to start runs while job arrays of the study are still in the Slurm queue."""
    jobs = slurm_jobs(study)
    if not jobs:
        return
    try:
        active = slurm_queue(jobs)
    except StudyError as e:
        print(f"gruv3d-study: Stand der Slurm-Jobs {', '.join(jobs)} unbekannt ({e})", file=sys.stderr)
        return
    if active:
        ids = sorted({k.split("_")[0] for k in active})
        raise StudyError(
            f"Slurm-Jobs der Studie sind noch im System: {', '.join(ids)} "
            "('gruv3d-study status' zeigt den Stand, 'scancel' bricht sie ab)")


def max_array_size():
    p = _slurm(["scontrol", "show", "config"], check=False)
    m = re.search(r"^MaxArraySize\s*=\s*(\d+)", p.stdout, re.MULTILINE)
    return int(m.group(1)) if m else 1001


JOB_SCRIPT = """#!/bin/bash
# One run of the study per array task: line (offset + task id + 1) of the run list.
run=$(sed -n "$(( $2 + SLURM_ARRAY_TASK_ID + 1 ))p" "$1")
exec {tool} run-one {study} "$run" --gruv3d {gruv3d}{csv}
"""


def submit_slurm(study, runs, jobs, gruv3d, csv, tool, partition=None, time_limit=None, mem=None,
                 sbatch_args=()):
    """Submits `runs` as job arrays (one task per run, at most `jobs` at once); returns the job ids."""
    folder = study.path / SLURM_DIR
    folder.mkdir(exist_ok=True)
    stamp = time.strftime("%Y%m%d-%H%M%S")
    listing = folder / f"runs-{stamp}.txt"
    listing.write_text("".join(r + "\n" for r in runs))
    script = folder / "job.sh"
    script.write_text(JOB_SCRIPT.format(
        tool=" ".join(shlex.quote(t) for t in tool), study=shlex.quote(str(study.path)),
        gruv3d=shlex.quote(gruv3d), csv=" --csv" if csv else " --no-csv"))
    script.chmod(0o755)
    chunk = max(1, max_array_size() - 1)
    ids = []
    for offset in range(0, len(runs), chunk):
        count = min(chunk, len(runs) - offset)
        array = f"0-{count - 1}" + (f"%{jobs}" if jobs else "")
        cmd = ["sbatch", "--parsable", f"--array={array}", f"--job-name=gruv3d-{study.name}",
               f"--chdir={study.path}", f"--output={folder}/%A_%a.out", "--ntasks=1", "--cpus-per-task=1"]
        if partition:
            cmd.append(f"--partition={partition}")
        if time_limit:
            cmd.append(f"--time={time_limit}")
        if mem:
            cmd.append(f"--mem={mem}")
        if ids:  # keeps the limit of runs at once across arrays
            cmd.append(f"--dependency=afterany:{ids[-1]}")
        cmd += list(sbatch_args)
        cmd += [str(script), str(listing), str(offset)]
        out = _slurm(cmd).stdout.strip()
        job = out.split(";")[0]
        if not job.isdigit():
            raise StudyError(f"sbatch gab keine Job-Nummer zurueck: {out}")
        ids.append(job)
        write_atomically(folder / "jobs.json", json.dumps(slurm_jobs(study) + [job]) + "\n")
    return ids


def wait_slurm(study, runs, ids, poll, stream=None):
    """Shows progress until the job arrays have left the queue; Ctrl-C stops waiting, not the jobs."""
    progress = Progress(len(runs), stream)
    done = failed = running = 0
    try:
        while True:
            queued = slurm_queue(ids)
            running = sum(1 for s in queued.values() if s in ("RUNNING", "COMPLETING"))
            states = [study.state(r) for r in runs]
            done, failed = states.count(DONE), states.count(FAILED)
            progress.update(done, failed, running)
            if not queued:
                break
            time.sleep(poll)
    except KeyboardInterrupt:
        progress.finish(done, failed, running)
        print(f"Warten abgebrochen; die Jobs {', '.join(ids)} laufen weiter "
              f"('gruv3d-study status {study.path}', 'scancel {' '.join(ids)}')", file=sys.stderr)
        return Outcome(done, failed, len(runs) - done - failed, interrupted=True)
    progress.finish(done, failed, 0)
    return Outcome(done, failed, len(runs) - done - failed)


# -- GNU Parallel ---------------------------------------------------------------------------------

def run_parallel(study, runs, jobs, gruv3d, csv, tool, sshloginfile=None, parallel_args=(), stream=None):
    """Runs `runs` through GNU Parallel (`run-one` per run on the hosts of the login file)."""
    folder = study.path / PARALLEL_DIR
    folder.mkdir(exist_ok=True)
    listing = folder / "runs.txt"
    listing.write_text("".join(r + "\n" for r in runs))
    one = " ".join(shlex.quote(t) for t in tool) + f" run-one {shlex.quote(str(study.path))} {{}} " \
        f"--gruv3d {shlex.quote(gruv3d)}" + (" --csv" if csv else " --no-csv")
    cmd = ["parallel", "--will-cite", "--halt", "never", "--joblog", str(folder / "joblog"),
           "-a", str(listing)]
    if jobs:
        cmd += ["--jobs", str(jobs)]
    if sshloginfile:
        cmd += ["--sshloginfile", str(sshloginfile)]
    cmd += list(parallel_args)
    cmd.append(one)
    progress = Progress(len(runs), stream)
    try:
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=open(folder / "parallel.err", "wb"))
    except FileNotFoundError:
        raise StudyError("GNU Parallel nicht gefunden (Debian-Paket 'parallel')") from None
    done = failed = running = 0
    try:
        while True:
            finished = proc.poll() is not None
            states = [study.state(r) for r in runs]
            done, failed = states.count(DONE), states.count(FAILED)
            running = sum(1 for r, s in zip(runs, states) if s == PENDING and study.started(r))
            progress.update(done, failed, running)
            if finished:
                break
            time.sleep(0.2)
    except KeyboardInterrupt:
        proc.send_signal(signal.SIGINT)
        try:
            proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        states = [study.state(r) for r in runs]
        done, failed = states.count(DONE), states.count(FAILED)
        progress.finish(done, failed)
        return Outcome(done, failed, len(runs) - done - failed, interrupted=True)
    progress.finish(done, failed)
    if proc.returncode != 0 and done + failed < len(runs):
        err = (folder / "parallel.err").read_text(errors="replace").strip().splitlines()
        if err:
            print("parallel meldet: " + "\n  ".join(err[-5:]), file=sys.stderr)
    return Outcome(done, failed, len(runs) - done - failed)
