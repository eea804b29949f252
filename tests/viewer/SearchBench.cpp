// Measures the search on a book: the first query (index build included) and
// the median of later ones. Not a test; run by hand:
//   viewer_search_bench BOOK.exe word [word...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "viewer/BookReader.h"
#include "viewer/server/SearchIndex.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BOOK.exe word [word...]\n", argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    auto book = folivex::BookReader::Open(argv[1]);
    folivex::SearchIndex index(*book);
    auto t0 = Clock::now();
    auto first = index.Search(argv[2], 30);
    auto t1 = Clock::now();
    std::printf("pages %zu, words %zu, first query %.1f ms (%zu hits)\n", index.IndexedPageCount(),
                index.WordCount(), ms(t1 - t0), first.total);
    std::vector<double> times;
    for (int round = 0; round < 3; ++round) {
        for (int i = 2; i < argc; ++i) {
            auto a = Clock::now();
            auto r = index.Search(argv[i], 30);
            times.push_back(ms(Clock::now() - a));
            if (round == 0) std::printf("  %-20s %zu hits\n", argv[i], r.total);
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("later queries: median %.2f ms, max %.2f ms over %zu\n", times[times.size() / 2],
                times.back(), times.size());
}
