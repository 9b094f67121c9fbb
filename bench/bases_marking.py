#!/usr/bin/env python3
"""Times the unattended run's marking of every base of a catalogue named in
--bases, at two catalogue sizes a factor of ten apart, and prints the ratio
of the two: a linear marking gives about 10.

    bases_marking.py BUILD_DIR WORK_DIR [--runs N] [--sizes 6553,65535]

Two figures per size, each min / median / max over N runs:
- first base started: from the start of `corvixmass --post ... --bases
  1-N --yes` to the moment the host utility of the first base runs (the
  utility notes the time and the program's CPU time so far, and ends the run
  with SIGTERM, so no more bases are posted);
- dry run: the whole `--dry-run` of the same list, its job files written to
  /dev/null.
Wall time and CPU time (user + system of the program) are both printed: CPU
time does not count the waits of a busy machine.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drive  # noqa: E402  (the host maker of the other benchmarks)

# Notes the time in nanoseconds and the CPU time the program has used so far
# (/proc/PID/schedstat, in ns), then ends the run that started it: the
# program passes SIGTERM on to the running utility (this one, already done)
# and stops before the next base.
UTILITY = """#!/bin/sh
echo $(date +%s%N) $(cut -d' ' -f1 /proc/$PPID/schedstat) > started
kill -TERM $PPID
"""


def make_host(build, work, bases):
    """The benchmark host of drive.py, with the utility above and a
    configuration that posts the same text again without asking."""
    _, catalogue, host = drive.make_host(build, work, bases)
    util = os.path.join(host, "corvixutil")
    os.remove(util)  # a copy of /bin/true: replaced, not written through
    with open(util, "w") as f:
        f.write(UTILITY)
    os.chmod(util, 0o755)
    ini = os.path.join(work, "corvixmass.ini")
    with open(ini, "w") as f:
        f.write("[main]\ndelay = 0\nrepost_hours = 0\n[corvix]\nmbases = %s\ndir = %s\n"
                % (catalogue, host))
    return ini, host, catalogue


def timed(args, cwd, env):
    """Wall time from the start, CPU time of the program, exit status."""
    t = time.perf_counter()
    start_ns = time.time_ns()
    proc = subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - t
    return start_ns, wall, (usage.ru_utime + usage.ru_stime), os.waitstatus_to_exitcode(status)


def figures(build, work, bases, runs):
    ini, host, catalogue = make_host(build, work, bases)
    exe = os.path.join(build, "corvixmass")
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"))
    post = [exe, "--config", ini, "--post", "message.txt", "--bases", "1-%d" % bases,
            "--subject", "Marking", "--yes"]
    subprocess.run(["cat", catalogue], stdout=subprocess.DEVNULL, check=True)
    first, first_cpu, dry, dry_cpu = [], [], [], []
    for _ in range(runs):
        started = os.path.join(host, "started")
        if os.path.exists(started):
            os.remove(started)
        start_ns, _, _, _ = timed(post, work, env)
        with open(started) as f:
            when, cpu_ns = (int(v) for v in f.read().split())
        first.append((when - start_ns) / 1e6)
        first_cpu.append(cpu_ns / 1e6)
        _, wall, cpu, status = timed(post[:-1] + ["--dry-run"], work, env)
        if status != 0:
            raise RuntimeError("the dry run at %d bases ended with %d" % (bases, status))
        dry.append(wall * 1000)
        dry_cpu.append(cpu * 1000)
    return {"first base started": first, "  CPU time of the program until then": first_cpu,
            "dry run, job files to /dev/null": dry, "  CPU time of the dry run": dry_cpu}


def row(name, values, target):
    lo, med, hi = min(values), statistics.median(values), max(values)
    print("  %-48s %9.2f / %9.2f / %9.2f ms  target %s" % (name, lo, med, hi, target))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("work")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--sizes", default="6553,65535")
    a = ap.parse_args()
    sizes = [int(s) for s in a.sizes.split(",")]
    results = {}
    print("--bases of every base (1-N), unattended run (min / median / max over %d runs):" % a.runs)
    for bases in sizes:
        results[bases] = figures(a.build, a.work, bases, a.runs)
        print("  %d bases:" % bases)
        for name, values in results[bases].items():
            target = "<= 200" if name == "first base started" and bases == sizes[-1] else "(printed)"
            row(name, values, target)
    if len(sizes) >= 2:
        lo, hi = sizes[0], sizes[-1]
        for name in results[lo]:
            ratio = statistics.median(results[hi][name]) / max(statistics.median(results[lo][name]), 1e-9)
            print("  %-56s %.1f (size ratio %.1f; linear: about the same)"
                  % ("ratio %d / %d, %s" % (hi, lo, name.strip()), ratio, hi / lo))
    return 0


if __name__ == "__main__":
    sys.exit(main())
