#!/usr/bin/python3
"""Whole runs of gruv3d whose outputs cannot be written: a result file that is
a link to /dev/full, a file-size limit, a full or closed standard output, a
restart file that cannot be replaced, and standard streams closed at start.

Usage: write_failures_test.py GRUV3D EXAMPLES_DIR
"""
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import unittest

GRUV3D = EXAMPLES = None
NORMAL_END = "GRUVELAN-3D Simulation normal beendet"


def read(path):
    with open(path) as f:
        return f.read()


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def mask(text):
    return re.sub(r"Gesamtrechenzeit: +[0-9.*]+ Minuten", "Gesamtrechenzeit: <masked>", text)


class Run:
    """An example deck in a fresh directory, as the golden tests lay it out."""

    def __init__(self, example, edit=None):
        self.dir = tempfile.mkdtemp(prefix="gruv3d-write-")
        folder = os.path.join(EXAMPLES, example)
        deck = read(os.path.join(folder, example + ".gruv"))
        if edit:
            deck = edit(deck)
        write(self.path("GRUVAT"), deck)
        for name in os.listdir(folder):
            if name != example + ".gruv":
                shutil.copy(os.path.join(folder, name), self.path(name))

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, stdout=None, preexec_fn=None):
        """Runs to the end; the status, standard output and standard error."""
        out = stdout if stdout is not None else subprocess.PIPE
        p = subprocess.run([GRUV3D], cwd=self.dir, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=subprocess.PIPE, preexec_fn=preexec_fn)
        text = p.stdout.decode() if stdout is None else ""
        return p.returncode, text, p.stderr.decode()

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def limit_file_size(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


class WriteFailures(unittest.TestCase):
    def test_a_failed_result_file_stops_the_run_with_status_4(self):
        # Each file fails once: mid-run (the listing, the observation file are
        # larger than a buffer) or only at the final close (the isoline
        # files, whose few kilobytes are written when the run ends). The
        # closing lines held back for the normal end never appear.
        binary = lambda deck: deck.replace("    0    1    1    0\n", "    0    1    1    1\n", 1)
        cases = [
            ("erdsonde.lst", None, None, "Datei erdsonde.lst konnte nicht geschrieben werden: kein Speicherplatz"),
            ("erdsonde.beo", None, None, "Datei erdsonde.beo konnte nicht geschrieben werden: kein Speicherplatz"),
            ("TEMPXY", None, None, "Datei TEMPXY konnte nicht geschrieben werden: kein Speicherplatz"),
            ("TEMPXZ", binary, None, "Datei TEMPXZ konnte nicht geschrieben werden: kein Speicherplatz"),
            # Only the listing grows beyond 16 KiB; SIGXFSZ is left at its
            # default here: the program ignores it itself.
            (None, None, limit_file_size(16384),
             "Datei erdsonde.lst konnte nicht geschrieben werden: Datei zu gross"),
        ]
        for full, edit, preexec, message in cases:
            with self.subTest(file=full or "RLIMIT_FSIZE"):
                run = Run("seasonal_heat_exchanger", edit)
                try:
                    if full:
                        os.symlink("/dev/full", run.path(full))
                    status, out, err = run.start(preexec_fn=preexec)
                    self.assertEqual(status, 4, out + err)
                    self.assertEqual(out.count(" " + message + "\n"), 1, out)
                    self.assertIn(message + "\n                Berechnung vorzeitig abgebrochen\n", out)
                    self.assertNotIn(NORMAL_END, out)
                    if full != "erdsonde.lst" and preexec is None:
                        # The healthy listing carries the report too.
                        listing = read(run.path("erdsonde.lst"))
                        self.assertIn(" " + message + "\n", listing)
                        self.assertNotIn(NORMAL_END, listing)
                finally:
                    run.close()

    def test_a_failed_console_is_reported_on_standard_error(self):
        # A full standard output, and a pipe whose reader has gone.
        for kind in ("full", "pipe"):
            with self.subTest(stdout=kind):
                run = Run("steady_flow")
                try:
                    if kind == "full":
                        with open("/dev/full", "w") as full:
                            status, _, err = run.start(stdout=full)
                        reason = "kein Speicherplatz"
                    else:
                        r, w = os.pipe()
                        os.close(r)
                        status, _, err = run.start(stdout=w)
                        os.close(w)
                        reason = "Empfaenger geschlossen"
                    self.assertEqual(status, 4, err)
                    self.assertTrue(err.startswith(" Standardausgabe konnte nicht geschrieben werden: "
                                                   + reason + "\n"), err)
                    self.assertNotIn(NORMAL_END, err)
                finally:
                    run.close()

    def test_a_restart_file_that_cannot_be_replaced_ends_with_status_4(self):
        # The scratch name is taken by a directory: every rewrite fails, the
        # old file stays, the failure is told once, and the end says that
        # GRUVWS is stale instead of claiming a normal end.
        run = Run("restart_chain_1")
        try:
            os.mkdir(run.path("GRUVWS.neu"))
            write(run.path("GRUVWS"), "alter Stand\n")
            status, out, err = run.start()
            self.assertEqual(status, 4, out + err)
            message = (" Datei GRUVWS konnte nicht geschrieben werden: ist ein Verzeichnis"
                       " - alter Stand bleibt erhalten\n")
            self.assertEqual(out.count(message), 1, out)
            stale = "                Simulation beendet, aber Datei GRUVWS enthaelt einen veralteten Stand\n"
            self.assertIn(stale, out)
            self.assertIn(stale, read(run.path("kette1.lst")))
            self.assertNotIn(NORMAL_END, out)
            self.assertEqual(read(run.path("GRUVWS")), "alter Stand\n")
        finally:
            run.close()

    def test_closed_standard_streams_stay_out_of_the_result_files(self):
        # Started with standard input, output and error closed, the run must
        # not give its listing a standard stream's number: the listing is the
        # one of an ordinary run.
        def close_all():
            for fd in (0, 1, 2):
                os.close(fd)

        reference, run = Run("steady_flow"), Run("steady_flow")
        try:
            self.assertEqual(reference.start()[0], 0)
            p = subprocess.run([GRUV3D], cwd=run.dir, preexec_fn=close_all)
            self.assertEqual(p.returncode, 0)
            listing = lambda r: mask(read(r.path("steady_flow.lst")))
            self.assertEqual(listing(run), listing(reference))
        finally:
            reference.close()
            run.close()


if __name__ == "__main__":
    GRUV3D, EXAMPLES = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
