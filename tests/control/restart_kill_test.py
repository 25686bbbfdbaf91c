#!/usr/bin/python3
"""Kills gruv3d with SIGKILL at random moments of a run that rewrites its
restart file at every step, and checks that "GRUVWS" is then always byte for
byte one of two complete files: the one that was there before the run, or the
state the run writes.

The run is mostly restart writes: a uniform block of 100 x 100 x NZ nodes at
10 degrees Celsius without sources, one sweep per step, the restart file
written after every step. Its state does not change, so every write gives the
same file. A first, undisturbed run makes that file and times the run; the
trials then kill at moments spread over that time.

Usage: restart_kill_test.py GRUV3D [TRIALS]
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

NZ = 1
STEPS = 5


def deck():
    cards = [
        "Abbruchtest: Warmstartdatei nach jedem Zeitschritt",
        "(4I5)", "    0    0    0    0",
        "(3I5,3A20)", "    0    0    0" + " " * 20 + "abbruch.lst",
        # steps, one sweep, one interval, printout (and restart write) every step
        "(7I5,1X,A3,3F10.0)", f"{STEPS:5d}    1{STEPS:5d}    0    0    1    1 TAG       1.0    0.0001       0.0",
        # IWARMO = 1
        "(F10.0,7I5)", "       0.0    0    0    0    0    0    1    0",
        # Gauss-Seidel sweeps, progress lines off
        "(2F10.0,8I5)", "       1.0       1.0    0    0    0    0   -1    0    1    0",
        "(5F10.0,3I5)", "       0.0       0.0       1.0       1.0    0.0001    0    0    0",
        "(3I5)", "    0    0    0",
        "(3I5)", f"  100  100{NZ:5d}",
        "(3I5,3F10.0)", "    0    0    0       1.0       1.0       1.0",
        "(100F2.0)", " 1" * 100,
        "(100F2.0)", " 1" * 100,
        "(100F2.0)", " 1" * NZ,
        "(11F10.0,I5)",
    ]
    layer = "      10.0     800.0      2.65       2.5      20.0      10.0     100.0       0.0       0.0" \
            "       0.0       0.0    1"
    cards += [layer] * NZ
    cards += ["(A4,F10.0,4I5)", "ENDE       0.0    0    0    0    0"]
    return "\n".join(cards) + "\n"


def main():
    gruv3d = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    old = "".join(f"alter Stand, Zeile {n}\n" for n in range(2000)).encode()
    work = tempfile.mkdtemp(prefix="gruv3d-kill-")
    try:
        os.chdir(work)
        with open("GRUVAT", "w") as f:
            f.write(deck())

        def start():
            with open("GRUVWS", "wb") as f:
                f.write(old)
            return subprocess.Popen([gruv3d], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)

        began = time.monotonic()
        status = start().wait()
        run_time = time.monotonic() - began
        with open("GRUVWS", "rb") as f:
            new = f.read()
        if status != 0 or len(new) < 50000 or new == old:
            print(f"the reference run failed: status {status}, GRUVWS of {len(new)} bytes")
            return 1

        seed = int(os.environ.get("GRUV_KILL_SEED", "20061222"))
        rng = random.Random(seed)
        seen = {"alt": 0, "neu": 0, "GRUVWS.neu liegen geblieben": 0}
        for trial in range(1, trials + 1):
            p = start()
            time.sleep(rng.uniform(0.0, 1.1 * run_time))
            p.kill()
            p.wait()
            with open("GRUVWS", "rb") as f:
                now = f.read()
            if now not in (old, new):
                print(f"trial {trial} (seed {seed}): GRUVWS of {len(now)} bytes is neither the old "
                      f"({len(old)}) nor the new file ({len(new)})")
                return 1
            seen["alt" if now == old else "neu"] += 1
            if os.path.exists("GRUVWS.neu"):
                seen["GRUVWS.neu liegen geblieben"] += 1
        print(f"{trials} trials over a run of {run_time:.3f} s (seed {seed}): {seen}")
        # Kills spread over the whole run must find both states.
        if seen["alt"] == 0 or seen["neu"] == 0:
            print("the kills did not spread over the run")
            return 1
        return 0
    finally:
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
