"""Progress display: one line updated in place on a terminal, a line every few seconds in a pipe or log."""

import os
import sys
import time


def clock(seconds):
    """h:mm:ss or m:ss."""
    s = int(round(seconds))
    h, s = divmod(s, 3600)
    m, s = divmod(s, 60)
    return f"{h}:{m:02d}:{s:02d}" if h else f"{m}:{s:02d}"


class Progress:
    """Counts of a batch of runs: done, failed, running, with elapsed and estimated remaining time."""

    def __init__(self, total, stream=None, interval=None):
        self.total = total  #: runs of this batch
        self.stream = stream or sys.stderr
        self.tty = self.stream.isatty()
        # Seconds between two lines in a pipe or log file.
        self.interval = interval if interval is not None else float(os.environ.get("GRUV_STUDY_PROGRESS", "5"))
        self.start = time.monotonic()
        self.last = None
        self.width = 0
        self.text = None

    def line(self, done, failed, running):
        ended = done + failed
        elapsed = time.monotonic() - self.start
        bar_len = 20
        filled = bar_len * ended // self.total if self.total else bar_len
        text = (f"[{'#' * filled}{'.' * (bar_len - filled)}] {ended}/{self.total}: "
                f"{done} fertig, {failed} fehlgeschlagen, {running} laufend | {clock(elapsed)}")
        if 0 < ended < self.total:
            text += f", noch ca. {clock(elapsed / ended * (self.total - ended))}"
        return text

    def update(self, done, failed, running, force=False):
        now = time.monotonic()
        if self.tty:
            if not force and self.last is not None and now - self.last < 0.2:
                return
            text = self.line(done, failed, running)
            if text != self.text:
                self.stream.write("\r" + text.ljust(self.width))
                self.width = len(text)
        else:
            if not force and self.last is not None and now - self.last < self.interval:
                return
            text = self.line(done, failed, running)
            if text != self.text:
                self.stream.write(text + "\n")
        self.text = text
        self.stream.flush()
        self.last = now

    def finish(self, done, failed, running=0):
        self.update(done, failed, running, force=True)
        if self.tty:
            self.stream.write("\n")
            self.stream.flush()
