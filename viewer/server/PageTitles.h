// PageTitles: a title for every page of a book, for the contents list and
// the search results: the page's <title>, else its first heading, else its
// file path. Only the start of each HTML page is inflated when it holds the
// title. Computed once, on first use, on all cores; thread-safe.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace folivex {

class BookReader;

class PageTitles {
public:
    explicit PageTitles(const BookReader& book);
    ~PageTitles();
    PageTitles(const PageTitles&) = delete;
    PageTitles& operator=(const PageTitles&) = delete;

    // One UTF-8 title per entry of BookReader::Pages(), in the same order.
    const std::vector<std::string>& All() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace folivex
