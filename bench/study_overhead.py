#!/usr/bin/python3
"""Times gruv3d-study: overhead per run beyond the simulation, and a whole study of many small runs."""
import argparse
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TOOL = ROOT / "tools" / "gruv3d-study"
# Small decks: the steady flow example with the fixed head as parameter (about 5 ms a run), and the
# example study of two borehole heat exchangers (a year on 15 x 23 x 5 nodes).
DECKS = {
    "flow": (ROOT / "examples" / "steady_flow" / "steady_flow.gruv", "WPOT            5.0", "WPOT~     h     ~",
             "grid; h = 1.0 .. 9.0 : {n}"),
    "bhe": (ROOT / "examples" / "studies" / "bhe_spacing" / "bhe_spacing.gruv.tpl", None, None,
            "grid; dy = 0.5 .. 4.0 : {a}; v = 0.0 .. 1e-6 : {b}"),
}


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--runs", type=int, default=200)
    p.add_argument("--jobs", type=int, default=1)
    p.add_argument("--deck", choices=DECKS, default="flow")
    p.add_argument("--gruv3d", default=str(ROOT / "build" / "release" / "src" / "gruv3d"))
    a = p.parse_args()
    deck, old, new, sample = DECKS[a.deck]
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        tpl = tmp / "deck.gruv.tpl"
        if old:
            tpl.write_text("ptf ~\n" + deck.read_text().replace(old, new))
            sample = sample.format(n=a.runs)
        else:
            tpl.write_text(deck.read_text())
            sample = sample.format(a=a.runs // 10 if a.runs >= 10 else 1, b=10 if a.runs >= 10 else a.runs)
        subprocess.run([sys.executable, TOOL, "init", tmp / "s", "--template", tpl, "--sample", sample],
                       check=True, stdout=subprocess.DEVNULL)
        t0 = time.monotonic()
        subprocess.run([sys.executable, TOOL, "run", tmp / "s", "--jobs", str(a.jobs), "--gruv3d", a.gruv3d],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        total = time.monotonic() - t0
        walls = [json.loads(f.read_text())["wall_s"] for f in (tmp / "s" / "runs").glob("*/status.json")]
    n = len(walls)
    print(f"{n} runs ({a.deck}), {a.jobs} at once: {total:.2f} s in all, "
          f"{sum(walls) / n * 1000:.1f} ms simulation per run (wall time of gruv3d)")
    if a.jobs == 1:
        print(f"overhead per run beyond the simulation: {(total - sum(walls)) / n * 1000:.1f} ms "
              "(including the start of the tool itself, spread over the runs)")


if __name__ == "__main__":
    main()
