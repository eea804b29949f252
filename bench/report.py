#!/usr/bin/env python3
"""Prints the benchmark table from the JSON files of build_bench.py and
viewer_bench.py: each figure beside its peer from the same run, the ratio,
the target and whether it holds.

Times are medians over the repetitions. A build ratio is the median of
each repetition's own ratio: the two runs of a pair are seconds apart,
while the speed of a shared machine drifts by a fifth over minutes, which a
ratio of medians taken from different repetitions would carry.

usage: report.py BUILD.json VIEWER.json STUB_BYTES
"""
import json
import os
import statistics
import sys

NPROC = os.cpu_count()


def main():
    timings = json.load(open(sys.argv[1]))
    build, runs = timings["median"], timings["all"]
    viewer = json.load(open(sys.argv[2]))
    stub = int(sys.argv[3])
    f, k = viewer["folivex-view"], viewer["kiwix-serve"]
    med = statistics.median
    rows = []

    def paired(ours, peer):
        """The median over the repetitions of ours / peer (keys of runs)."""
        return med([a / b for a, b in zip(runs[ours], runs[peer])])

    def row(what, ours, peer, peer_name, unit, ratio, target, holds):
        rows.append((what, f"{ours:.3f} {unit}" if isinstance(ours, float) else str(ours),
                     f"{peer:.3f} {unit}" if isinstance(peer, float) else str(peer), peer_name,
                     f"{ratio:.2f}" if ratio is not None else "", target,
                     "" if holds is None else ("yes" if holds else "NO")))

    for c in ("A", "D", "B"):
        # A and D carry the targets; B (A five times) is there for memory.
        targeted = c != "B"

        def aim(text, holds):
            return (text, holds) if targeted else ("", None)

        mb = build[f"{c}.bytes"] / 1e6
        nc, cold = build[f"{c}.make_nocache_s"], build[f"{c}.make_cold_s"]
        z, p = build[f"{c}.zip_s"], build[f"{c}.pigz_s"]
        r = paired(f"{c}.make_cold_s", f"{c}.zip_s")
        row(f"build {c} ({mb:.0f} MB), empty cache (first build)", cold, z, "zip -r -6", "s", r,
            *aim("<= 0.62", r <= 0.62))
        r = paired(f"{c}.make_cold_s", f"{c}.pigz_s")
        row(f"build {c}, empty cache (first build)", cold, p, "tar|pigz -6", "s", r,
            *aim("<= 1.25", r <= 1.25))
        r = paired(f"{c}.make_cold_s", f"{c}.make_nocache_s")
        row(f"build {c}, empty cache (first build)", cold, nc, "build, no cache", "s", r,
            *aim("<= 1.05", r <= 1.05))
        row(f"build {c}, no cache", nc, z, "zip -r -6", "s", paired(f"{c}.make_nocache_s", f"{c}.zip_s"),
            "", None)
        if targeted:
            # Ratios of runs side by side, worked out in build_bench.py,
            # beside the builds of those rounds.
            whole = build[f"{c}.rounds_nocache_s"]
            one = build[f"{c}.make_nocache_1thread_s"]
            r = build[f"{c}.speedup"]
            row(f"build {c}, no cache: 1 thread / {NPROC} threads", one, whole, f"{NPROC} threads",
                "s", r, ">= 1.7", r >= 1.7)
            r = build[f"{c}.check_share"]
            row(f"link report {c} on its own (folivexc check)", build[f"{c}.check_s"], whole,
                "build, no cache", "s", r, "<= 0.15", r <= 0.15)
            r = build[f"{c}.links_added_share"]
            row(f"link report {c}: what it adds to the build", build[f"{c}.links_added_s"], whole,
                "build, no cache", "s", r, "<= 0.15", r <= 0.15)
        rb = build[f"{c}.rebuild_s"]
        r = paired(f"{c}.rebuild_s", f"{c}.make_cold_s")
        row(f"rebuild {c}, one page changed", rb, cold, "first build", "s", r,
            *aim("<= 0.10", r <= 0.10 and build[f"{c}.rebuild_identical"]))
        row(f"rebuild {c} equals a full build", "yes" if build[f"{c}.rebuild_identical"] else "NO",
            "", "", "", None, "identical", build[f"{c}.rebuild_identical"])
    for c in ("A", "B", "D"):
        mb = build[f"{c}.bytes"] / 2**20
        for kind in ("nocache", "cold"):
            rss = build[f"{c}.make_{kind}_rss_kib"] / 1024
            row(f"peak RSS build {c} ({'no cache' if kind == 'nocache' else 'empty cache'})", rss, mb,
                "corpus size", "MiB", rss / mb, "< 200 MiB" if c != "A" else "",
                rss < 200 if c != "A" else None)
    for c in ("C", "C2"):
        n, fd = build[f"{c}.new_s"], build[f"{c}.find_s"]
        r = paired(f"{c}.new_s", f"{c}.find_s")
        row(f"scan {c} ({'100,000' if c == 'C' else '200,000'} files)", n, fd, "find|wc -l", "s", r,
            "<= 2", r <= 2)
    lin = paired("C2.new_s", "C.new_s")
    lin_find = paired("C2.find_s", "C.find_s")
    row("scan 2x files: time ratio", lin, lin_find, "find's ratio", "x", None, "~2 (linear)", lin <= 2.4)

    fp, kp = med(f["first_page_ms"]), med(k["first_page_ms"])
    row("viewer B: start to first page", fp, kp, "kiwix-serve", "ms", fp / kp, "< 50 ms", fp < 50)
    fr, kr = med(f["pages_per_s"]), med(k["pages_per_s"])
    row("viewer B: pages/s (wrk -t2 -c16)", fr, kr, "kiwix-serve", "/s", fr / kr, ">= 2.0", fr / kr >= 2.0)
    fs, ks = med(f["first_search_ms"]), med(k["first_search_ms"])
    row("viewer B: first search (index build)", fs, ks, "kiwix-serve", "ms", fs / ks, "< 3000 ms", fs < 3000)
    ls_, lk = med(f["later_search_ms"]), med(k["later_search_ms"])
    row("viewer B: later searches (median)", ls_, lk, "kiwix-serve", "ms", ls_ / lk, "< 20 ms", ls_ < 20)
    d = viewer["folivex-view-D"]
    fp = med(d["first_page_ms"])
    row("viewer D: start to first page", fp, "", "", "ms", None, "< 50 ms", fp < 50)
    fs = med(d["first_search_at_2s_ms"])
    row("viewer D: first search, 2 s after start", fs, "", "", "ms", None, "< 300 ms", fs < 300)
    ls_ = med(d["later_search_ms"])
    row("viewer D: later searches (median)", ls_, "", "", "ms", None, "< 20 ms", ls_ < 20)
    row("viewer stub size", f"{stub} B", "524288 B", "512 KiB", "", stub / 524288, "< 512 KiB", stub < 524288)

    # What the machine offers two threads: a processor slower than the
    # fastest caps 1 thread / 2 threads at 1 + slowest / fastest.
    loops = [med(v) for k, v in runs.items() if k.startswith("cpu") and k.endswith(".loop_s")]
    if len(loops) > 1:
        row("processors: slowest / fastest (busy loop)", max(loops), min(loops), "fastest", "s",
            min(loops) / max(loops), "", None)

    headers = ("measure", "folivex", "peer", "peer is", "ratio", "target", "holds")
    widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(len(headers))]
    line = "  ".join(h.ljust(w) for h, w in zip(headers, widths))
    print(line)
    print("-" * len(line))
    for r in rows:
        print("  ".join(str(v).ljust(w) for v, w in zip(r, widths)))


if __name__ == "__main__":
    main()
