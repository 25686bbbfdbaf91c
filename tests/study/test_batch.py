"""The batch backends with the real engines: GNU Parallel with this host as its only login, and a
Slurm job array (only where a cluster is up: tools/slurm/cluster start, SLURM_CONF set)."""
import csv
import os
import subprocess
import time

import pytest

from conftest import example_template, study


def init_example(tmp_path, count):
    """The example study with `count` runs (velocities along a range, two spacings)."""
    s = tmp_path / "study"
    sample = f"grid; dy = 0.5, 2.5; v = 0.0 .. 1e-6 : {count // 2}"
    p = study("init", s, "--template", example_template(tmp_path, 30), "--sample", sample)
    assert p.returncode == 0, p.stderr
    return s


def check_collected(s, count):
    p = study("collect", s)
    assert p.returncode == 0, p.stderr
    assert f"{count} Laeufe ({count} fertig, 0 fehlgeschlagen, 0 ausstehend)" in p.stdout
    rows = list(csv.DictReader(open(s / "results.csv")))
    assert [r["status"] for r in rows] == ["fertig"] * count
    assert all(float(r["wall_s"]) > 0 for r in rows)
    for r in rows:  # each run folder holds the listing of its own deck
        listing = (s / "runs" / r["run"] / "sonden.lst").read_text()
        assert "normal beendet" in listing


def test_parallel_backend_with_local_login(tmp_path, gruv3d):
    s = init_example(tmp_path, 6)
    hosts = tmp_path / "hosts"
    hosts.write_text(":\n")
    env = dict(os.environ, HOME=str(tmp_path))  # a fresh home: parallel must not ask for its citation notice
    p = study("run", s, "--backend", "parallel", "--jobs", "2", "--sshloginfile", hosts, "--gruv3d", gruv3d, env=env)
    assert p.returncode == 0, p.stderr
    assert "6 fertig, 0 fehlgeschlagen, 0 ausstehend" in p.stdout
    joblog = (s / "parallel" / "joblog").read_text().splitlines()
    assert len(joblog) == 7 and all(line.split("\t")[1] == ":" for line in joblog[1:])
    check_collected(s, 6)
    p = study("run", s, "--backend", "parallel", "--sshloginfile", hosts, "--gruv3d", gruv3d, env=env)
    assert p.returncode == 0 and "Nichts zu tun" in p.stdout


def slurm_up():
    if not os.environ.get("SLURM_CONF"):
        return False
    return subprocess.run(["sinfo", "-h"], capture_output=True).returncode == 0


@pytest.mark.skipif(not slurm_up() and not os.environ.get("GRUV_STUDY_SLURM"),
                    reason="no Slurm cluster (tools/slurm/cluster start; SLURM_CONF)")
def test_slurm_job_array(tmp_path, gruv3d):
    s = init_example(tmp_path, 10)
    p = study("run", s, "--backend", "slurm", "--jobs", "3", "--no-wait", "--gruv3d", gruv3d)
    assert p.returncode == 0, p.stderr
    job = (s / "slurm" / "jobs.json").read_text().strip()[2:-2]
    shown = subprocess.run(["scontrol", "show", "job", job], capture_output=True, text=True).stdout
    assert "ArrayTaskThrottle=3" in shown
    # A second submission while the array is in the queue is refused.
    p = study("run", s, "--backend", "slurm", "--gruv3d", gruv3d)
    assert p.returncode == 1 and f"noch im System: {job}" in p.stderr
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        p = study("status", s)
        if p.returncode != 3:
            break
        time.sleep(1)
    assert p.returncode == 0, p.stdout
    assert "10 fertig, 0 fehlgeschlagen, 0 ausstehend" in p.stdout
    check_collected(s, 10)
    # Waiting for the queue: the array has left it, nothing is left to run.
    p = study("run", s, "--backend", "slurm", "--gruv3d", gruv3d)
    assert p.returncode == 0 and "Nichts zu tun" in p.stdout
