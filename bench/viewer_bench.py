#!/usr/bin/env python3
"""Measures the Folivex viewer against kiwix-serve on the same corpus.

usage: viewer_bench.py FOLIVEX_VIEW BOOK.exe ZIM CORPUS_DIR REPS WRK_SECONDS OUT.json BOOK_D.exe

For each repetition, one server after the other (folivex-view, then
kiwix-serve): the time from starting it to the first page answered, the
first full-text search (index build included) and the median of later
searches for the same words, then pages per second with wrk over the same
200 pages, same settings. Then folivex-view alone on the book of the
many-small-files corpus (BOOK_D.exe): start to first page, and the first
search asked 2 s after the start, as a reader who opens the search panel
would, then the later searches. Every server is started fresh and stopped
after. Only loopback addresses are used.
"""
import json
import os
import random
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

QUERIES = ["asyncio", "dictionary comprehension", "socket", "thread", "decorator"]
QUERIES_D = ["allocator", "vector capacity", "iterator", "shared pointer", "basic string"]
# When the reader of corpus D asks the first search, after the start.
FIRST_SEARCH_AFTER_S = 2.0
WRK = ["wrk", "-t2", "-c16", "--latency"]


def free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(url: str, timeout: float = 10.0) -> tuple[int, bytes]:
    request = urllib.request.Request(url, headers={"Accept-Encoding": "identity"})
    try:
        with urllib.request.urlopen(request, timeout=timeout) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, b""
    except (urllib.error.URLError, ConnectionError, socket.timeout):
        return 0, b""


class Server:
    def __init__(self, name, argv, base, page_prefix, search_url, start_time):
        self.name, self.argv, self.base = name, argv, base
        self.page_prefix, self.search_url, self.start_time = page_prefix, search_url, start_time
        self.proc = None

    def stop(self):
        if self.proc:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None


def start_folivex(view, book):
    url_file = tempfile.mktemp(prefix="folivex-url-")
    t0 = time.perf_counter()
    proc = subprocess.Popen([view, book, "--no-browser", "--url-file", url_file],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not (os.path.exists(url_file) and open(url_file).read().strip()):
        if proc.poll() is not None:
            sys.exit("folivex-view ended early")
        time.sleep(0.0005)
    base = open(url_file).read().strip().rstrip("/")
    os.unlink(url_file)
    s = Server("folivex-view", None, base, "/book/", lambda q: f"{base}/api/search?q={urllib.parse.quote(q)}", t0)
    s.proc = proc
    return s


def start_kiwix(zim):
    port = free_port()
    t0 = time.perf_counter()
    proc = subprocess.Popen(["kiwix-serve", "-i", "127.0.0.1", "-p", str(port), zim],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    base = f"http://127.0.0.1:{port}"
    # kiwix-serve 3.3 names a book after its file, lower-cased, and serves
    # its pages under /<name>/.
    book = os.path.splitext(os.path.basename(zim))[0].lower()
    s = Server("kiwix-serve", None, base, f"/{book}/",
               lambda q: f"{base}/search?content={book}&pattern={urllib.parse.quote(q)}", t0)
    s.proc = proc
    return s


def first_page_ms(server, page):
    url = server.base + server.page_prefix + page
    while True:
        status, _ = get(url, 2)
        if status == 200:
            return (time.perf_counter() - server.start_time) * 1000
        if server.proc.poll() is not None:
            sys.exit(f"{server.name} ended early")
        time.sleep(0.0005)


def timed_get(url):
    t = time.perf_counter()
    status, body = get(url, 120)
    if status != 200:
        sys.exit(f"search failed ({status}): {url}")
    return (time.perf_counter() - t) * 1000


def wrk_rps(server, paths_file, seconds):
    here = os.path.dirname(os.path.abspath(__file__))
    out = subprocess.run(WRK + ["-d", f"{seconds}s", "-s", os.path.join(here, "paths.lua"),
                                server.base + "/", "--", paths_file, server.page_prefix],
                         capture_output=True, text=True, timeout=seconds + 60).stdout
    rps = errors = 0.0
    for line in out.splitlines():
        if line.startswith("Requests/sec:"):
            rps = float(line.split()[1])
        if "Non-2xx or 3xx responses" in line:
            errors = float(line.split()[-1])
    return rps, errors


def search_after_start(view, book, rep):
    """Start to first page, then the first search 2 s after the start and
    the median of ten later ones."""
    server = start_folivex(view, book)
    try:
        first_page = first_page_ms(server, "index.html")
        wait = server.start_time + FIRST_SEARCH_AFTER_S - time.perf_counter()
        if wait > 0:
            time.sleep(wait)
        first = timed_get(server.search_url(QUERIES_D[rep % len(QUERIES_D)]))
        later = [timed_get(server.search_url(QUERIES_D[(rep + k) % len(QUERIES_D)])) for k in range(1, 11)]
        return first_page, first, statistics.median(later)
    finally:
        server.stop()


def main():
    view, book, zim, corpus, reps, seconds, out_json, book_d = sys.argv[1:9]
    reps, seconds = int(reps), int(seconds)
    pages = []
    for root, _, files in os.walk(corpus):
        for f in files:
            rel = os.path.relpath(os.path.join(root, f), corpus)
            # Names already in lower case: the ZIM matches names exactly.
            if f.endswith(".html") and rel == rel.lower():
                pages.append(rel)
    pages.sort()
    random.Random(5).shuffle(pages)
    sample = pages[:200]
    paths_file = tempfile.mktemp(prefix="bench-paths-")
    with open(paths_file, "w") as f:
        f.write("\n".join(sample) + "\n")

    results = {"folivex-view": {}, "kiwix-serve": {}}
    for rep in range(reps):
        for name in ("folivex-view", "kiwix-serve"):
            server = start_folivex(view, book) if name == "folivex-view" else start_kiwix(zim)
            try:
                r = results[name]
                # The book's welcome page, as a reader's window asks for it.
                r.setdefault("first_page_ms", []).append(first_page_ms(server, "copy1/index.html"))
                query = QUERIES[rep % len(QUERIES)]
                r.setdefault("first_search_ms", []).append(timed_get(server.search_url(query)))
                later = [timed_get(server.search_url(QUERIES[(rep + k) % len(QUERIES)])) for k in range(1, 11)]
                r.setdefault("later_search_ms", []).append(statistics.median(later))
                rps, errors = wrk_rps(server, paths_file, seconds)
                r.setdefault("pages_per_s", []).append(rps)
                r.setdefault("wrk_errors", []).append(errors)
            finally:
                server.stop()
    os.unlink(paths_file)
    d = results["folivex-view-D"] = {}
    for rep in range(reps):
        first_page, first, later = search_after_start(view, book_d, rep)
        d.setdefault("first_page_ms", []).append(first_page)
        d.setdefault("first_search_at_2s_ms", []).append(first)
        d.setdefault("later_search_ms", []).append(later)
    with open(out_json, "w") as f:
        json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
