#!/usr/bin/env python3
"""Runs corvixmass in a pseudo-terminal of 80x25 on a host with a large
catalogue and prints the figures of a run next to their targets.

    drive.py BUILD_DIR WORK_DIR [--runs N] [--bases N] [--load-only]

BUILD_DIR holds corvixmass, mkcatalog; WORK_DIR is emptied and used for the
host. Every figure is taken over N runs and printed as min / median / max.
The catalogue load is measured first at several sizes, each round beside
`cat` of the same file; --load-only stops after it.
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
HOME = b"\x1b[1~"

# Every redraw mode with every charset, in the colours TERM chooses; the
# first is the default and gives the figures that do not depend on them. The
# last has colors = pc, the PC's own colours, which take more bytes to name.
CONFIGS = (("changes", "cp437"), ("full", "cp437"), ("changes", "utf8"), ("full", "utf8"),
           ("changes", "cp437", "pc"))
# Keys measured on the drawn list: name, key, keys that undo it (not
# measured), most bytes allowed in changes mode.
KEYS = (("Down", DOWN, HOME, 200),
        ("Page Down", PAGE_DOWN, HOME, 2200),
        # From the top, "l" first occurs in the second base: the list moves one row.
        ("search letter, list one row on", b"l", CTRL_Y + HOME, 200),
        ("search letter, nothing found", b"z", CTRL_Y + HOME, 40))
FIRST_SCREEN_MAX = 6000
# Each key is measured this often in a run; its latency is the median, so that
# one late wake-up on a busy machine does not count as the key's cost.
KEY_REPEATS = 5


class Program:
    """corvixmass on the slave side of a pseudo-terminal; we read the master."""

    def __init__(self, exe, args, cwd, extra_env=None):
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        self.master = master
        self.out = bytearray()
        self.start = time.perf_counter()
        self.last = self.start  # when the last bytes arrived
        # The posting log goes below the work directory, not into the user's own.
        env = dict(os.environ, XDG_STATE_HOME=os.path.join(cwd, "state"), **(extra_env or {}))
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
        self.last = time.perf_counter()
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

    def cpu_ms(self):
        """CPU time the program has used so far (/proc/PID/schedstat, in ns)."""
        with open("/proc/%d/schedstat" % self.proc.pid) as f:
            return int(f.read().split()[0]) / 1e6

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


def write_config(work, catalogue, host, redraw="changes", charset="cp437", colors=None):
    with open(os.path.join(work, "corvixmass.ini"), "w") as f:
        f.write("[main]\ndelay = 0\nredraw = %s\ncharset = %s\n%s\n[corvix]\nmbases = %s\n"
                "dir = %s\n\n[message]\nfrom = The Sysop\nto = All\nsubject = News\n"
                % (redraw, charset, "colors = %s\n" % colors if colors else "", catalogue, host))


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
    write_config(work, catalogue, host)
    with open(os.path.join(work, "message.txt"), "w") as f:
        f.write("Hello all,\nthis is the message.\n")
    return os.path.join(work, "corvixmass"), catalogue, host


def timed_cat(path, cpu=None):
    """Wall time of cat PATH > /dev/null; its CPU time (user + system) is
    appended to cpu when given."""
    t = time.perf_counter()
    proc = subprocess.Popen(["cat", path], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - t
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise RuntimeError("cat %s failed" % path)
    if cpu is not None:
        cpu.append((usage.ru_utime + usage.ru_stime) * 1000)
    return elapsed


def start_to_list(exe, work, extra_env=None):
    """Starts the program and brings it to the drawn base list."""
    p = Program(exe, ["message.txt"], work, extra_env)
    # Single words: with only the changes sent, a blank already on the
    # screen is not sent again, so a phrase may arrive in pieces.
    t_box = p.wait_for(b"Edit")
    box = (t_box - p.start, p.peak_rss_kib())
    p.settle(0.02)
    mark = len(p.out)
    p.answer_mark = mark
    cpu0 = p.cpu_ms()
    t0 = time.perf_counter()
    p.send(b"n")
    # The more indicator is drawn right after the list's rows: the list is up.
    t_list = p.wait_for(b"more", mark)
    p.load_cpu = p.cpu_ms() - cpu0
    return p, box, t_list - t0


def first_screen_bytes(p):
    """Bytes from the answer to the drawn base list, once the program is idle."""
    p.settle()
    return len(p.out) - p.answer_mark


def key_writes(p, key, undo=None):
    """write() calls and bytes for one key, once the program is idle again."""
    p.settle()
    before, mark = p.writes(), len(p.out)
    t0 = time.perf_counter()
    p.send(key)
    p.settle()
    result = (p.writes() - before, len(p.out) - mark, (p.last - t0) * 1000 if len(p.out) > mark else 0.0)
    if undo:
        p.send(undo)
        p.settle()
    return result


def quit_from_list(p):
    p.send(b"\x1b")
    p.finish()


# Turns off the two syncs of posted.log per base (a switch for the benchmarks
# only), to show what they cost.
NOSYNC = {"CORVIXMASS_BENCH_NOSYNC": "1"}


def post_run(exe, work, marks, extra_env=None):
    """Time from the Enter that starts posting to the end of the process."""
    p, _, _ = start_to_list(exe, work, extra_env)
    p.settle()
    p.send((TAB + DOWN) * marks)
    p.settle(0.2)
    p.send(ENTER)
    p.wait_for(b"Message")
    p.send(b"s")
    p.send(ENTER)
    time.sleep(0.05)
    p.send(b"\x1b")
    p.wait_for(b"Verify")
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


def shell_loop(host, bases):
    """A shell loop doing by hand what the program does per base: write the
    job file the program wrote last, run the same sh -c in the host directory."""
    script = ('job=$(cat aupload.ini; echo x); job=${job%%x}\n'
              'i=0; while [ $i -lt %d ]; do i=$((i + 1)); '
              'printf %%s "$job" > aupload.ini; sh -c "exec ./corvixutil aupload.ini"; done\n' % bases)
    t = time.perf_counter()
    subprocess.run(["sh", "-c", script], cwd=host, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - t


def stats(values):
    return min(values), statistics.median(values), max(values)


def row(name, values, unit, target, fmt="%.1f"):
    lo, med, hi = stats(values)
    print(("  %-44s " + fmt + " / " + fmt + " / " + fmt + " %-4s  target %s") % (name, lo, med, hi, unit, target))


# Catalogue sizes of the load figures: the cost per record between two sizes
# shows whether the load stays linear.
LOAD_SIZES = (1000, 10000, 65535)


def load_figures(build, work, runs):
    """Answer to the drawn list beside cat of the catalogue, per round and size."""
    medians, cpu_medians = {}, {}
    print("Catalogue load, answer to \"Edit file?\" -> base list drawn, beside cat of the catalogue:")
    for bases in LOAD_SIZES:
        exe, catalogue, _ = make_host(build, work, bases)
        timed_cat(catalogue)  # the page cache holds the file before anything is timed
        loads, cats, ratios, rss, cpus, cat_cpus, cpu_ratios = [], [], [], [], [], [], []
        for r in range(runs):
            cats.append(timed_cat(catalogue, cat_cpus) * 1000)
            p, _, t_list = start_to_list(exe, work)
            loads.append(t_list * 1000)
            ratios.append(loads[-1] / cats[-1])
            cpus.append(p.load_cpu)
            cpu_ratios.append(cpus[-1] / cat_cpus[-1])
            p.settle()
            rss.append(p.peak_rss_kib() / 1024)
            quit_from_list(p)
            print("  %5d bases, round %d: load %7.2f ms  cat %7.2f ms  ratio %.2f  "
                  "(CPU %.2f / %.2f ms, %.2f)  peak RSS %.1f MiB"
                  % (bases, r + 1, loads[-1], cats[-1], ratios[-1], cpus[-1], cat_cpus[-1],
                     cpu_ratios[-1], rss[-1]))
        medians[bases] = statistics.median(loads)
        cpu_medians[bases] = statistics.median(cpus)
        row("%d bases: load" % bases, loads, "ms", "(printed)", "%.2f")
        row("  cat of the catalogue (%.1f MB)" % (os.path.getsize(catalogue) / 1e6), cats, "ms",
            "(reference)", "%.2f")
        row("  ratio to cat", ratios, "x", "<= 1.0 (stretch 0.7)" if bases == LOAD_SIZES[-1] else "(printed)",
            "%.2f")
        # CPU time does not count the waits of a busy machine: a steadier comparison.
        row("  CPU time of the load", cpus, "ms", "(printed)", "%.2f")
        row("  CPU time of cat", cat_cpus, "ms", "(printed)", "%.2f")
        row("  CPU time ratio", cpu_ratios, "x", "(printed)", "%.2f")
        row("  peak RSS with the base list drawn", rss, "MiB", "<= 8", "%.1f")
    for lo, hi in zip(LOAD_SIZES, LOAD_SIZES[1:]):
        ns = (medians[hi] - medians[lo]) * 1e6 / (hi - lo)
        cpu_ns = (cpu_medians[hi] - cpu_medians[lo]) * 1e6 / (hi - lo)
        print("  cost per record from %d to %d bases (medians): %.0f ns, CPU time %.0f ns"
              % (lo, hi, ns, cpu_ns))
    print("  target: the cost per record does not grow with the size (linear)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("work")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--bases", type=int, default=65535)
    ap.add_argument("--post-few", type=int, default=10)
    ap.add_argument("--post-many", type=int, default=110)
    ap.add_argument("--bench-json", help="Google Benchmark results to print with the figures")
    ap.add_argument("--load-only", action="store_true", help="only the catalogue load figures")
    a = ap.parse_args()
    load_figures(a.build, a.work, a.runs)
    if a.load_only:
        return 0
    exe, catalogue, host = make_host(a.build, a.work, a.bases)
    timed_cat(catalogue)  # warm the page cache before anything is timed

    box, rss_box, to_list, cats, ratios, rss_list = [], [], [], [], [], []
    # Per configuration: load time, first screen, and per key bytes, writes, latency.
    figures = {c: {"load": [], "first": [], "keys": {k[0]: ([], [], [], []) for k in KEYS}}
               for c in CONFIGS}
    for _ in range(a.runs):
        for config in CONFIGS:
            write_config(a.work, catalogue, host, *config)
            cats.append(timed_cat(catalogue) * 1000)
            p, (t_box, rss), t_list = start_to_list(exe, a.work)
            f = figures[config]
            f["load"].append(t_list * 1000)
            f["first"].append(first_screen_bytes(p))
            if config == CONFIGS[0]:
                box.append(t_box * 1000)
                rss_box.append(rss / 1024)
                to_list.append(t_list * 1000)
                ratios.append(to_list[-1] / cats[-1])
                rss_list.append(p.peak_rss_kib() / 1024)
            for name, key, undo, _ in KEYS:
                tries = [key_writes(p, key, undo) for _ in range(KEY_REPEATS)]
                n, size = max(t[0] for t in tries), max(t[1] for t in tries)
                latency = statistics.median(t[2] for t in tries)
                kw = f["keys"][name]
                kw[0].append(size)
                kw[1].append(n)
                kw[2].append(max(1, -(-size // 1024)))
                kw[3].append(latency)
            quit_from_list(p)
    write_config(a.work, catalogue, host)

    per_base, program, loop, nosync = {}, [], [], []
    span = a.post_many - a.post_few
    for redraw in ("changes", "full"):
        write_config(a.work, catalogue, host, redraw)
        few, many, util = [], [], []
        for _ in range(a.runs):
            few.append(post_run(exe, a.work, a.post_few))
            many.append(post_run(exe, a.work, a.post_many))
            util.append(utility_run(host))
            if redraw == "changes":
                loop.append((shell_loop(host, a.post_many) - shell_loop(host, a.post_few)) / span * 1000)
                nosync.append((post_run(exe, a.work, a.post_many, NOSYNC) -
                               post_run(exe, a.work, a.post_few, NOSYNC)) / span * 1000)
        per_base[redraw] = [((m - f) / span - u) * 1000 for f, m, u in zip(few, many, util)]
        if redraw == "changes":
            program = [(m - f) / span * 1000 for f, m in zip(few, many)]
    write_config(a.work, catalogue, host)

    print("Figures over %d runs, %d bases (min / median / max):" % (a.runs, a.bases))
    row("cat catalogue > /dev/null", cats, "ms", "(reference)")
    row("answer to \"Edit file?\" -> base list drawn", to_list, "ms", "(see ratio)")
    row("  ratio to cat", ratios, "x", "<= 1.0", "%.2f")
    row("start -> \"Edit file?\" box", box, "ms", "(printed)")
    row("peak RSS at \"Edit file?\"", rss_box, "MiB", "(printed)")
    row("peak RSS with the base list drawn", rss_list, "MiB", "<= 8")
    for config in CONFIGS:
        print_config(config, figures)
    row("utility's own run (spawn + wait)", [u * 1000 for u in util], "ms", "(subtracted)", "%.2f")
    row("posting overhead per base", per_base["changes"], "ms", "<= 3", "%.2f")
    row("  with redraw = full", per_base["full"], "ms", "(printed)", "%.2f")
    row("per base: the program (job file + utility)", program, "ms", "(beside the loop)", "%.2f")
    row("per base: shell loop (job file + same sh -c)", loop, "ms", "(reference)", "%.2f")
    row("  program minus shell loop", [p - l for p, l in zip(program, loop)], "ms", "(printed)", "%.2f")
    row("  the same, posted.log syncs off", [n - l for n, l in zip(nosync, loop)], "ms", "<= 0.5",
        "%.2f")
    row("  the two posted.log syncs per base", [p - n for p, n in zip(program, nosync)], "ms",
        "(printed)", "%.2f")
    if a.bench_json:
        print_benchmarks(a.bench_json)


def print_config(config, figures):
    """The figures of one redraw mode and charset; changes mode beside full mode."""
    f = figures[config]
    full = figures[("full", config[1])]
    changes = config[0] == "changes"
    print("Redraw %s, charset %s%s:" % (config[0], config[1], ", colors pc" if config[2:] else ""))
    row("answer -> base list drawn", f["load"], "ms", "(printed)")
    if changes:
        row("  ratio to redraw = full", [v / statistics.median(full["load"]) for v in f["load"]], "x",
            "<= 1.10", "%.2f")
    row("bytes of the first list screen", f["first"], "", "<= %d" % FIRST_SCREEN_MAX if changes else "(printed)",
        "%d")
    for name, _, _, most in KEYS:
        size, n, allowed, latency = f["keys"][name]
        row("%s: bytes" % name, size, "", "<= %d" % most if changes else "(printed)", "%d")
        row("  write() calls", n, "", "<= %d (bytes/1024 rounded up)" % max(allowed), "%d")
        row("  latency (key sent -> last byte, median of %d)" % KEY_REPEATS, latency, "ms", "(printed)",
            "%.2f")
        if changes:
            ref = statistics.median(full["keys"][name][3]) or 1e-9
            row("    ratio to redraw = full", [v / ref for v in latency], "x", "<= 1.10", "%.2f")


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
