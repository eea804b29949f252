#!/usr/bin/env bash
# The performance benchmark behind ./dev bench: builds folivexc and
# folivex-view in Release, makes the corpora, measures every figure beside
# its peer in the same run (interleaved, REPS repetitions, medians) and
# prints one table of ratios.
#
#   bench/run.sh [REPS]      (default 3; BENCH_WRK_SECONDS sets wrk's run, default 5)
#
# Everything it makes lives in build-bench/ (corpora, Release build, books,
# ZIM, JSON results).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BENCH=$ROOT/build-bench
BUILD=$BENCH/release
REPS=${1:-3}
WRK_SECONDS=${BENCH_WRK_SECONDS:-5}
CORPUS_A=/usr/share/doc/python3.11/html
# Many small files: the C++ library's API reference, made by Doxygen
# (7,884 files, 149 MB: *_source.html pages, class diagrams as SVG and image
# maps, scripts; half the files under 4 KB).
CORPUS_D=/usr/share/doc/gcc-12-base/libstdc++

# Only the benchmark needs these: the corpus, the peers and the timers.
BENCH_PACKAGES=(python3.11-doc libstdc++-12-doc zip pigz kiwix-tools zim-tools wrk hyperfine time python3)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
  local missing=() p
  for p in "${BENCH_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "bench: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

build_release() {
  # -O2: GCC 12 at -O3 reports false -Wrestrict warnings in std::string,
  # which -Werror turns into errors.
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
      -DFOLIVEX_BUILD_GUI=OFF -DFOLIVEX_BUILD_TESTS=OFF >/dev/null
  fi
  # Quiet when it works; the compiler's messages when it does not.
  local log=$BENCH/release-build.log
  if ! cmake --build "$BUILD" --target folivexc folivex-view >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "bench: the Release build failed (all of it in $log)" >&2
    exit 1
  fi
}

make_corpora() {
  local c=$BENCH/corpora
  mkdir -p "$c"
  if [ ! -d "$c/A" ]; then
    [ -d "$CORPUS_A" ] || { echo "bench: $CORPUS_A is missing" >&2; exit 1; }
    echo "bench: corpus A from $CORPUS_A"
    cp -rL "$CORPUS_A" "$c/A.tmp" && mv "$c/A.tmp" "$c/A"
  fi
  if [ ! -d "$c/D" ]; then
    [ -d "$CORPUS_D" ] || { echo "bench: $CORPUS_D is missing" >&2; exit 1; }
    echo "bench: corpus D from $CORPUS_D"
    cp -rL "$CORPUS_D" "$c/D.tmp" && mv "$c/D.tmp" "$c/D"
  fi
  if [ ! -d "$c/B" ]; then
    echo "bench: corpus B (A five times)"
    mkdir -p "$c/B.tmp"
    for i in 1 2 3 4 5; do cp -r "$c/A" "$c/B.tmp/copy$i"; done
    mv "$c/B.tmp" "$c/B"
  fi
  if [ ! -d "$c/C" ]; then
    echo "bench: corpus C (100,000 files)"
    rm -rf "$c/C.tmp" && python3 bench/make_corpus_c.py "$c/C.tmp" 100000 && mv "$c/C.tmp" "$c/C"
  fi
  if [ ! -d "$c/C2" ]; then
    echo "bench: corpus C2 (200,000 files)"
    rm -rf "$c/C2.tmp" && python3 bench/make_corpus_c.py "$c/C2.tmp" 200000 && mv "$c/C2.tmp" "$c/C2"
  fi
}

# The peer of the viewer: kiwix-serve on a ZIM of corpus B, made once by
# zimwriterfs (with its full-text index, the default). A ZIM needs a 48x48
# illustration inside the folder, so it is made from a hard-linked copy.
make_zim() {
  local zim=$BENCH/B.zim src=$BENCH/zimsrc-B
  [ -f "$zim" ] && return
  echo "bench: ZIM of corpus B (zimwriterfs, full-text index; a few minutes)"
  rm -rf "$src" && cp -al "$BENCH/corpora/B" "$src"
  python3 bench/make_png.py "$src/illustration.png"
  zimwriterfs -w copy1/index.html -I illustration.png -l eng -t "Python documentation x5" \
    -d "Folivex benchmark corpus B" -c bench -p bench -n B "$src" "$zim.tmp" >"$BENCH/zimwriterfs.log" 2>&1
  mv "$zim.tmp" "$zim"
  rm -rf "$src"
}

install_packages
build_release
make_corpora
make_zim

echo "bench: building and scanning ($REPS repetitions, interleaved)"
python3 bench/build_bench.py "$BUILD/bin/folivexc" "$BENCH" "$REPS" "$BENCH/build.json"

echo "bench: viewer against kiwix-serve ($REPS repetitions, wrk ${WRK_SECONDS}s each)"
for c in B D; do
  XDG_CACHE_HOME=$BENCH/work/viewer-cache "$BUILD/bin/folivexc" make "$BENCH/corpora/$c" -o "$BENCH/work/$c-view.exe" >/dev/null 2>"$BENCH/work/$c-view.log"
done
python3 bench/viewer_bench.py "$BUILD/bin/folivex-view" "$BENCH/work/B-view.exe" "$BENCH/B.zim" \
  "$BENCH/corpora/B" "$REPS" "$WRK_SECONDS" "$BENCH/viewer.json" "$BENCH/work/D-view.exe"

STUB_BYTES=$(stat -c %s "$BUILD/windows-i686/bin/folivex-stub.exe")
echo
echo "Folivex benchmark, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; medians of $REPS runs"
python3 bench/report.py "$BENCH/build.json" "$BENCH/viewer.json" "$STUB_BYTES"
