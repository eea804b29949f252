// BookSite: what the viewer's server answers for one book, independent of
// connections: the shell page and its assets, the book's pages, the JSON
// endpoints and the error pages. HttpServer checks the Host, handles the
// exit and heartbeat endpoints and passes every other GET or HEAD here.
//
// Pages are served unchanged, as the book stores them: as the stored zlib
// stream with "Content-Encoding: deflate" when the client accepts it, else
// inflated. Every response for a page carries a strong ETag made from its
// bytes, and If-None-Match is answered with 304.
//
// Thread-safe: Handle may run on several connections at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "viewer/server/HttpMessage.h"

namespace folivex {

class BookReader;

struct SiteResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // besides length/connection
    std::shared_ptr<const std::string> body;                   // may be null: empty
};

class BookSite {
public:
    // exitToken is written into the shell page for its exit request.
    BookSite(const BookReader& book, const std::string& exitToken);
    ~BookSite();
    BookSite(const BookSite&) = delete;
    BookSite& operator=(const BookSite&) = delete;

    void SetIconFile(std::vector<uint8_t> ico);

    // Reads the pages' titles, which /api/book carries, on a thread of its
    // own, so that the shell's first request finds them ready while the
    // browser is still starting; then builds the search index there, so
    // that the reader's first search finds it ready. That thread runs at low
    // priority. The destructor waits for it.
    void StartReadingTitles();

    // Answers a GET or HEAD (the caller drops the body for HEAD).
    SiteResponse Handle(const http::Request& request) const;

    // A small HTML page of our own for an error status.
    static SiteResponse ErrorPage(int status, std::string_view detail = {});

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace folivex
