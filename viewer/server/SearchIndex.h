// SearchIndex: full-text search over the pages of a book whose inSearch flag
// is set.
//
// The index is built on the first query, or ahead of it by EnsureBuilt
// (the viewer does that in the background at start, at low priority): every
// searchable page is inflated, reduced to its text (html/PageText), split into
// case-folded words (Words.h) and recorded as postings (page, count, whether
// the word is in the page's title). The build runs on all cores. Queries
// match pages that hold every word of the query, ranked by BM25 with a boost
// for title words, and come back with a snippet around the first hit.
//
// All members are safe to call from several threads at once. A page that
// cannot be read is left out of the index; the build never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace folivex {

class BookReader;

class SearchIndex {
public:
    struct Hit {
        size_t page = 0;                   // index into BookReader::Pages()
        std::string title;                 // UTF-8
        std::vector<std::string> snippet;  // alternating: text, hit, text, hit, ...
        double score = 0;
    };
    struct Results {
        std::vector<std::string> terms;  // the query's words, folded
        size_t total = 0;                // pages that match
        std::vector<Hit> hits;           // the best maxResults, best first
    };

    // threads 0: one per core.
    explicit SearchIndex(const BookReader& book, unsigned threads = 0);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Builds the index unless it is built already; a query meanwhile waits
    // for it. With lowPriority the building threads give way to every other
    // (ThreadPriority.h).
    void EnsureBuilt(bool lowPriority = false) const;
    Results Search(std::string_view query, size_t maxResults) const;
    // Makes a build under way stop soon, leaving the index partial: for a
    // viewer that is closing, after which no query comes.
    void StopBuilding() const;

    // The words of a query, folded and without repeats (at most 16).
    static std::vector<std::string> QueryTerms(std::string_view query);

    size_t IndexedPageCount() const;
    size_t WordCount() const;  // distinct words

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace folivex
