#!/usr/bin/env python3
"""Times folivexc against its peers on the benchmark corpora, interleaved.

usage: build_bench.py FOLIVEXC BENCH_DIR REPS OUT.json

Per repetition and corpus (A, B, D), one after the other: folivexc make
without the cache (every page compressed), make with an empty cache (a
user's first build), the rebuild after one page changed (same cache), zip
-r -6, and tar | pigz -6; on A and D also five rounds of make without
the cache, the same on one thread (against which the default, one thread
per core, is the speed-up), folivexc check (the link report on its own)
and make without the cache and without the link report (what the report
adds to a build).
Then the scan: folivexc new against find | wc -l on corpus C and on C2
(twice the files). Each repetition also times a busy loop on each processor
alone. Peak memory comes from /usr/bin/time. The rebuild's
output is compared byte for byte with a full build of the same folder
without the cache.
"""
import collections
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

# The page each corpus has changed before its rebuild.
CHANGED_PAGE = {"A": ("library", "os.html"), "B": ("copy3", "library", "os.html"),
                "D": ("user", "index.html")}


def run(argv, cwd=None, shell=False, peak=False):
    """Runs a command; returns (seconds, peak RSS in KiB, or None unless
    peak). What the commands before it wrote is flushed first, so that no
    command pays for another's writes. The peak comes from /usr/bin/time
    (a process started by this one would count this one's memory as its
    own); the other commands are timed here alone, as /usr/bin/time's own
    start, a millisecond or two, is 2 % of folivexc check."""
    os.sync()
    timed = (["/usr/bin/time", "-f", "%M"] if peak else []) + (["sh", "-c", argv] if shell else argv)
    t = time.perf_counter()
    p = subprocess.run(timed, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - t
    if p.returncode != 0:
        sys.exit(f"failed: {argv}\n{p.stderr}")
    return seconds, int(p.stderr.strip().splitlines()[-1]) if peak else None


def busy_loop_seconds(cpu):
    """Seconds a fixed busy loop takes on processor cpu alone. On a shared
    host one processor can run at a fraction of another's speed, which
    bounds what a second thread can gain (1 thread / 2 threads)."""
    everywhere = os.sched_getaffinity(0)
    os.sched_setaffinity(0, {cpu})
    try:
        t = time.perf_counter()
        x = 0
        for i in range(3_000_000):
            x += i * i
        return time.perf_counter() - t
    finally:
        os.sched_setaffinity(0, everywhere)


def side_by_side(folivexc, folder, book, name, note):
    """The rows that compare two runs of folivexc on one corpus: one thread
    against the default, the link report alone (folivexc check) and what the
    report adds (a build without it). Each is a ratio of runs seconds
    apart, and a burst of the shared machine's noise can take a processor
    for seconds, so each repetition takes five rounds of four runs and
    notes the median of each ratio over them: what the report adds is the
    difference of two builds, whose noise is as large as it."""
    rounds = collections.defaultdict(list)
    for _ in range(5):
        # The build the other three are compared with runs between the
        # build without the report and the check, which is short, so the
        # one-thread build after the check is as good as next to it too.
        without, _ = run([folivexc, "make", folder, "-o", book, "--no-cache", "--no-link-report"])
        whole, _ = run([folivexc, "make", folder, "-o", book, "--no-cache"])
        # The link report alone, reading the pages itself: an upper
        # bound of what it adds to the build, which reads them anyway.
        check, _ = run([folivexc, "check", folder])
        one, _ = run([folivexc, "make", folder, "-o", book, "--no-cache", "--threads", "1"])
        for key, value in (("rounds_nocache_s", whole), ("make_nocache_1thread_s", one),
                           ("check_s", check), ("speedup", one / whole),
                           ("check_share", check / whole), ("links_added_s", whole - without),
                           ("links_added_share", (whole - without) / whole)):
            rounds[key].append(value)
    for key, values in rounds.items():
        note(f"{name}.{key}", statistics.median(values))


def main():
    folivexc, bench, reps, out_json = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    corpora = os.path.join(bench, "corpora")
    work = os.path.join(bench, "work")
    os.makedirs(work, exist_ok=True)
    results = {}

    def note(key, value):
        results.setdefault(key, []).append(value)

    for rep in range(reps):
        for cpu in sorted(os.sched_getaffinity(0)):
            note(f"cpu{cpu}.loop_s", busy_loop_seconds(cpu))
        for name in ("A", "B", "D"):
            folder = os.path.join(corpora, name)
            book = os.path.join(work, f"{name}.exe")
            cache = os.path.join(work, f"cache-{name}-{rep}")
            shutil.rmtree(cache, ignore_errors=True)

            t, rss = run([folivexc, "make", folder, "-o", book, "--no-cache"], peak=True)
            note(f"{name}.make_nocache_s", t)
            note(f"{name}.make_nocache_rss_kib", rss)
            # The first build next to the build without the cache that it
            # is compared with.
            os.environ["XDG_CACHE_HOME"] = cache
            t, rss = run([folivexc, "make", folder, "-o", book], peak=True)
            note(f"{name}.make_cold_s", t)
            note(f"{name}.make_cold_rss_kib", rss)

            # One page changed, then the rebuild with the cache the first
            # build filled; the page is put back afterwards.
            page = os.path.join(folder, *CHANGED_PAGE[name])
            original = open(page, "rb").read()
            try:
                with open(page, "ab") as f:
                    f.write(f"<!-- changed for the benchmark, run {rep} -->\n".encode())
                t, _ = run([folivexc, "make", folder, "-o", book])
                note(f"{name}.rebuild_s", t)
                full = os.path.join(work, f"{name}-full.exe")
                run([folivexc, "make", folder, "-o", full, "--no-cache"])
                note(f"{name}.rebuild_identical", open(book, "rb").read() == open(full, "rb").read())
                os.unlink(full)
            finally:
                with open(page, "wb") as f:
                    f.write(original)
            del os.environ["XDG_CACHE_HOME"]
            shutil.rmtree(cache, ignore_errors=True)

            zip_file = os.path.join(work, f"{name}.zip")
            if os.path.exists(zip_file):
                os.unlink(zip_file)
            t, _ = run(["zip", "-r", "-6", "-q", zip_file, "."], cwd=folder)
            note(f"{name}.zip_s", t)
            os.unlink(zip_file)
            t, _ = run(f"tar cf - -C '{corpora}' {name} | pigz -6 > '{work}/{name}.tgz'", shell=True)
            note(f"{name}.pigz_s", t)
            os.unlink(os.path.join(work, f"{name}.tgz"))
            # Last, so that the first build stays next to its peers.
            if name != "B":
                side_by_side(folivexc, folder, book, name, note)
            note(f"{name}.bytes", sum(os.path.getsize(os.path.join(r, f))
                                      for r, _, fs in os.walk(folder) for f in fs))

        # Scans are short, so each repetition times them three times.
        for _ in range(3):
            for name in ("C", "C2"):
                folder = os.path.join(corpora, name)
                t, _ = run([folivexc, "new", folder, "-o", os.path.join(work, f"{name}.ebp"), "--force"])
                note(f"{name}.new_s", t)
                t, _ = run(f"find '{folder}' -type f | wc -l", shell=True)
                note(f"{name}.find_s", t)

    summary = {}
    for key, values in results.items():
        if all(isinstance(v, bool) for v in values):
            summary[key] = all(values)
        elif key.endswith("_rss_kib") or key.endswith(".bytes"):
            summary[key] = max(values)
        else:
            summary[key] = statistics.median(values)
    with open(out_json, "w") as f:
        json.dump({"median": summary, "all": results}, f, indent=1)


if __name__ == "__main__":
    main()
