#!/usr/bin/env python3
"""Start-up time of folivex-view on a large book, against a plain static
server on the same pages: process start to the first page served.

Usage: startup_timing.py BUILD_DIR WORK_DIR [PAGES]
Makes WORK_DIR/site (PAGES pages of about 100 KB of words; 1700 give a book
of about 100 MB) and WORK_DIR/big.exe with folivexc, then times seven starts
of each: folivex-view BOOK --no-browser --url-file, and python3 -m
http.server on the folder.
"""
import os
import random
import socket
import statistics
import subprocess
import sys
import time
import urllib.request


def make_site(site, pages):
    os.makedirs(site, exist_ok=True)
    rng = random.Random(7)
    words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(3, 10)))
             for _ in range(20000)]
    for i in range(pages):
        path = os.path.join(site, f'page{i:04d}.html')
        if os.path.exists(path):
            continue
        parts, n = [f'<html><head><title>Page {i}</title></head><body><h1>Page {i}</h1>'], 0
        while n < 100000:
            para = ' '.join(rng.choice(words) for _ in range(80))
            parts.append('<p>' + para + '</p>\n')
            n += len(para) + 8
        parts.append('</body></html>')
        with open(path, 'w') as f:
            f.write(''.join(parts))


def fetched(url):
    try:
        with urllib.request.urlopen(url, timeout=5) as r:
            return r.status == 200 and len(r.read()) > 0
    except Exception:
        return False


def time_viewer(view, book, url_file, page):
    if os.path.exists(url_file):
        os.remove(url_file)
    t0 = time.perf_counter()
    p = subprocess.Popen([view, book, '--no-browser', '--url-file', url_file],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    url = ''
    while not url:
        try:
            url = open(url_file).read().strip()
        except FileNotFoundError:
            time.sleep(0.001)
    while not fetched(url + 'book/' + page):
        time.sleep(0.001)
    elapsed = time.perf_counter() - t0
    p.terminate()
    p.wait()
    return elapsed


def time_static_server(site, page):
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        port = s.getsockname()[1]
    t0 = time.perf_counter()
    p = subprocess.Popen([sys.executable, '-m', 'http.server', str(port), '--bind', '127.0.0.1',
                          '--directory', site], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not fetched(f'http://127.0.0.1:{port}/{page}'):
        time.sleep(0.001)
    elapsed = time.perf_counter() - t0
    p.terminate()
    p.wait()
    return elapsed


def main(build, work, pages=1700):
    site, book = os.path.join(work, 'site'), os.path.join(work, 'big.exe')
    make_site(site, pages)
    if not os.path.exists(book):
        subprocess.run([os.path.join(build, 'bin', 'folivexc'), 'make', site, '-o', book,
                        '--title', 'Big'], check=True, stdout=subprocess.DEVNULL)
    print(f'book: {os.path.getsize(book)} bytes, {pages} pages')
    page = f'page{pages // 2:04d}.html'
    view = os.path.join(build, 'bin', 'folivex-view')
    viewer, static = [], []
    for _ in range(7):
        viewer.append(time_viewer(view, book, os.path.join(work, 'url.txt'), page))
        static.append(time_static_server(site, page))
    v, s = statistics.median(viewer), statistics.median(static)
    print(f'folivex-view      start -> first page: median {v * 1000:.0f} ms')
    print(f'python http.server start -> first page: median {s * 1000:.0f} ms')
    print(f'ratio (folivex-view / http.server): {v / s:.2f}')


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], *(int(a) for a in sys.argv[3:4]))
