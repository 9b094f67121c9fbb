#!/usr/bin/env python3
"""Runs corvixmass in a pseudo-terminal of 80x25 on a host with a large
catalogue and prints the figures of a run next to their targets.

    drive.py BUILD_DIR WORK_DIR [--runs N] [--bases N]

BUILD_DIR holds corvixmass, mkcatalog; WORK_DIR is emptied and used for the
host. Every figure is taken over N runs and printed as min / median / max.
"""
import argparse
import fcntl
import json
import os
import select
import shutil
import statistics
import struct
import subprocess
import sys
import termios
import time

DOWN = b"\x1b[B"
PAGE_DOWN = b"\x1b[6~"
TAB = b"\t"
ENTER = b"\r"
CTRL_Y = b"\x19"


class Program:
    """corvixmass on the slave side of a pseudo-terminal; we read the master."""

    def __init__(self, exe, args, cwd):
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        self.master = master
        self.out = bytearray()
        self.start = time.perf_counter()
        # The posting log goes below the work directory, not into the user's own.
        env = dict(os.environ, XDG_STATE_HOME=os.path.join(cwd, "state"))
        self.proc = subprocess.Popen([exe] + args, cwd=cwd, stdin=slave, stdout=slave, stderr=slave,
                                     start_new_session=True, close_fds=True, env=env)
        os.close(slave)

    def pump(self, timeout):
        """Reads what is there within timeout seconds; False on silence or end."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.master, 65536)
        except OSError:
            return False
        if not data:
            return False
        self.out += data
        return True

    def wait_for(self, text, since=0, timeout=30.0):
        """Reads until text shows in the output after byte since; the time it did."""
        end = time.perf_counter() + timeout
        while self.out.find(text, since) < 0:
            if time.perf_counter() > end or (not self.pump(0.5) and self.proc.poll() is not None):
                raise RuntimeError("no %r on the screen" % text)
        return time.perf_counter()

    def settle(self, quiet=0.05):
        """Reads until the program has been silent for quiet seconds."""
        while self.pump(quiet):
            pass

    def send(self, data):
        os.write(self.master, data)

    def writes(self):
        """write() system calls the program made so far (from /proc/PID/io)."""
        with open("/proc/%d/io" % self.proc.pid) as f:
            for line in f:
                if line.startswith("syscw:"):
                    return int(line.split()[1])
        return 0

    def peak_rss_kib(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return 0

    def finish(self, timeout=60.0):
        end = time.perf_counter() + timeout
        while self.proc.poll() is None and time.perf_counter() < end:
            self.pump(0.05)
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        os.close(self.master)
        return time.perf_counter()


def make_host(build, work, bases):
    shutil.rmtree(work, ignore_errors=True)
    host = os.path.join(work, "host")
    os.makedirs(host)
    catalogue = os.path.join(host, "mbases.dat")
    subprocess.run([os.path.join(build, "mkcatalog"), catalogue, "--generate", str(bases)],
                   check=True, stderr=subprocess.DEVNULL)
    shutil.copy(os.path.join(build, "corvixmass"), os.path.join(work, "corvixmass"))
    # A utility that exits at once, so that what is left is the program's own cost.
    shutil.copy("/bin/true", os.path.join(host, "corvixutil"))
    with open(os.path.join(work, "corvixmass.ini"), "w") as f:
        f.write("[main]\ndelay = 0\n\n[corvix]\nmbases = %s\ndir = %s\n\n"
                "[message]\nfrom = The Sysop\nto = All\nsubject = News\n" % (catalogue, host))
    with open(os.path.join(work, "message.txt"), "w") as f:
        f.write("Hello all,\nthis is the message.\n")
    return os.path.join(work, "corvixmass"), catalogue, host


def timed_cat(path):
    t = time.perf_counter()
    subprocess.run(["cat", path], stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - t


def start_to_list(exe, work):
    """Starts the program and brings it to the drawn base list."""
    p = Program(exe, ["message.txt"], work)
    t_box = p.wait_for(b"Edit file?")
    box = (t_box - p.start, p.peak_rss_kib())
    p.settle(0.02)
    mark = len(p.out)
    t0 = time.perf_counter()
    p.send(b"n")
    # The more indicator is drawn right after the list's rows: the list is up.
    t_list = p.wait_for(b" more", mark)
    return p, box, t_list - t0


def key_writes(p, key, undo=None):
    """write() calls and bytes for one key, once the program is idle again."""
    p.settle()
    before, mark = p.writes(), len(p.out)
    p.send(key)
    p.settle()
    result = (p.writes() - before, len(p.out) - mark)
    if undo:
        p.send(undo)
        p.settle()
    return result


def quit_from_list(p):
    p.send(b"\x1b")
    p.finish()


def post_run(exe, work, marks):
    """Time from the Enter that starts posting to the end of the process."""
    p, _, _ = start_to_list(exe, work)
    p.settle()
    p.send((TAB + DOWN) * marks)
    p.settle(0.2)
    p.send(ENTER)
    p.wait_for(b"Message Info")
    p.send(b"s")
    p.send(ENTER)
    time.sleep(0.05)
    p.send(b"\x1b")
    p.wait_for(b"Verify the list")
    p.settle()
    t0 = time.perf_counter()
    p.send(ENTER)
    return p.finish() - t0


def utility_run(host):
    """The utility's own run: spawned directly and waited for."""
    util = os.path.join(host, "corvixutil")
    t = time.perf_counter()
    for _ in range(50):
        pid = os.posix_spawn(util, [util, "aupload.ini"], os.environ)
        os.waitpid(pid, 0)
    return (time.perf_counter() - t) / 50


def stats(values):
    return min(values), statistics.median(values), max(values)


def row(name, values, unit, target, fmt="%.1f"):
    lo, med, hi = stats(values)
    print(("  %-44s " + fmt + " / " + fmt + " / " + fmt + " %-4s  target %s") % (name, lo, med, hi, unit, target))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("work")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--bases", type=int, default=65535)
    ap.add_argument("--post-few", type=int, default=10)
    ap.add_argument("--post-many", type=int, default=110)
    ap.add_argument("--bench-json", help="Google Benchmark results to print with the figures")
    a = ap.parse_args()
    exe, catalogue, host = make_host(a.build, a.work, a.bases)
    timed_cat(catalogue)  # warm the page cache before anything is timed

    box, rss_box, to_list, cats, ratios, rss_list = [], [], [], [], [], []
    writes = {"Down": [], "Page Down": [], "search letter": []}
    allowed = {k: [] for k in writes}
    sizes = {k: [] for k in writes}
    for _ in range(a.runs):
        cats.append(timed_cat(catalogue) * 1000)
        p, (t_box, rss), t_list = start_to_list(exe, a.work)
        box.append(t_box * 1000)
        rss_box.append(rss / 1024)
        to_list.append(t_list * 1000)
        ratios.append(to_list[-1] / cats[-1])
        p.settle()
        rss_list.append(p.peak_rss_kib() / 1024)
        for name, key, undo in (("Down", DOWN, None), ("Page Down", PAGE_DOWN, None),
                                ("search letter", b"z", CTRL_Y)):
            n, size = key_writes(p, key, undo)
            writes[name].append(n)
            sizes[name].append(size)
            allowed[name].append(max(1, -(-size // 1024)))
        quit_from_list(p)

    few, many, util = [], [], []
    for _ in range(a.runs):
        few.append(post_run(exe, a.work, a.post_few))
        many.append(post_run(exe, a.work, a.post_many))
        util.append(utility_run(host))
    per_base = [((m - f) / (a.post_many - a.post_few) - u) * 1000 for f, m, u in zip(few, many, util)]

    print("Figures over %d runs, %d bases (min / median / max):" % (a.runs, a.bases))
    row("cat catalogue > /dev/null", cats, "ms", "(reference)")
    row("answer to \"Edit file?\" -> base list drawn", to_list, "ms", "(see ratio)")
    row("  ratio to cat", ratios, "x", "<= 1.5", "%.2f")
    row("start -> \"Edit file?\" box", box, "ms", "(printed)")
    row("peak RSS at \"Edit file?\"", rss_box, "MiB", "(printed)")
    row("peak RSS with the base list drawn", rss_list, "MiB", "<= 16")
    for name in writes:
        row("write() calls for %s (%d bytes)" % (name, max(sizes[name])), writes[name], "",
            "<= %d (bytes/1024 rounded up)" % max(allowed[name]), "%d")
    row("utility's own run (spawn + wait)", [u * 1000 for u in util], "ms", "(subtracted)", "%.2f")
    row("posting overhead per base", per_base, "ms", "<= 3", "%.2f")
    if a.bench_json:
        print_benchmarks(a.bench_json)


def print_benchmarks(path):
    """min / median / max of each benchmark's repetitions (Google Benchmark JSON)."""
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    times = {}
    for b in runs:
        if b.get("run_type", "iteration") == "iteration":
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[b.get("time_unit", "ns")]
            times.setdefault(b["run_name"], []).append(b["real_time"] * scale)
    targets = {"BM_SearchLetter": "<= 3 (one letter, whole list searched)"}
    print("Benchmarks (%d repetitions each):" % max(len(v) for v in times.values()))
    for name, values in times.items():
        row(name, values, "ms", targets.get(name, "(printed)"), "%.3f")


if __name__ == "__main__":
    sys.exit(main())
