#include "viewer/server/BookSite.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "format/Crc32.h"
#include "html/Url.h"
#include "platform/Fnv.h"
#include "platform/Json.h"
#include "platform/ThreadPriority.h"
#include "platform/Utf8.h"
#include "viewer/BookReader.h"
#include "viewer/server/PageTitles.h"
#include "viewer/server/SearchIndex.h"
#include "viewer/server/ShellAssets.h"

namespace folivex {

namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

// Pages kept in memory, in both codings, up to this many bytes in all; a
// page bigger than kLargestCachedPage is read from the book every time.
constexpr size_t kPageCacheBytes = 64u << 20;
constexpr size_t kLargestCachedPage = 8u << 20;
constexpr size_t kDefaultResults = 30;

// Book content never changes while we serve, but the same URL names another
// book's page on a later run (ports are reused), so the browser must check
// the ETag on every use instead of keeping pages for a year.
constexpr const char* kPageCacheControl = "no-cache";

std::shared_ptr<const std::string> Share(std::string s) {
    return std::make_shared<const std::string>(std::move(s));
}

std::string Hex(uint64_t v, int digits) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(v));
    return buf;
}

SiteResponse Json(std::string body, const char* cacheControl = "no-store") {
    SiteResponse r;
    r.headers = {{"Content-Type", "application/json; charset=utf-8"},
                 {"Cache-Control", cacheControl}};
    r.body = Share(std::move(body));
    return r;
}

struct CachedPage {
    std::shared_ptr<const std::string> deflate;   // the stored zlib stream
    std::shared_ptr<const std::string> identity;  // inflated, made on demand
    uint32_t length = 0;
    std::string etag;  // quoted; the deflate coding adds "-z" inside the quotes
};

// A compressed coding (deflate for pages, gzip for the shell's files) adds
// "-z" inside the quotes: each coding of a response has an ETag of its own.
std::string WithCoding(const std::string& etag, bool compressed) {
    if (!compressed) return etag;
    return etag.substr(0, etag.size() - 1) + "-z\"";
}

// The contents of one of the shell's gzip files, for a client that does not
// take gzip. They are built into the program, so their stated length is
// ours; a mismatch yields what was inflated.
std::string Gunzip(std::string_view gz) {
    if (gz.size() < 18) return {};
    const auto* end = reinterpret_cast<const unsigned char*>(gz.data() + gz.size());
    const uint32_t length = end[-4] | end[-3] << 8 | end[-2] << 16 | uint32_t{end[-1]} << 24;
    std::string out(length, '\0');
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

// The book's six texts, as "texts":{...}.
void AppendTexts(std::string& j, const BookTexts& t) {
    j += "\"texts\":{";
    const std::pair<const char*, const std::string*> texts[] = {
        {"title", &t.title}, {"author", &t.author}, {"copyright", &t.copyright},
        {"url", &t.url},     {"email", &t.email},   {"aboutInfo", &t.aboutInfo}};
    for (size_t i = 0; i < 6; ++i) {
        if (i) j += ',';
        json::AppendKey(j, texts[i].first);
        json::AppendString(j, ToUtf8(*texts[i].second));
    }
    j += '}';
}

// The start-up options and the ten toolbar buttons, as "settings":{...}.
void AppendSettings(std::string& j, const BookSettings& s) {
    j += "\"settings\":{";
    const int32_t start[] = {s.showAboutAtStart, s.startMaximized, s.startFullScreen,
                             s.showToolbar};
    for (size_t i = 0; i < kStartOptionNames.size(); ++i) {
        json::AppendKey(j, kStartOptionNames[i]);
        json::AppendBool(j, start[i] != 0);
        j += ',';
    }
    j += "\"buttons\":{";
    for (size_t i = 0; i < kToolbarButtonNames.size(); ++i) {
        if (i) j += ',';
        json::AppendKey(j, kToolbarButtonNames[i]);
        json::AppendBool(j, s.toolbarButtons[i] != 0);
    }
    j += "}}";
}

// The page directory in the book's order, each page with its title: the
// shell's contents list and its Prev / Next are made from it.
void AppendPages(std::string& j, const std::vector<PageDirEntry>& pages,
                 const std::vector<std::string>& titles) {
    j += "\"pages\":[";
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i) j += ',';
        j += "{\"path\":";
        json::AppendString(j, ToUtf8(pages[i].path));
        j += ",\"title\":";
        json::AppendString(j, titles[i]);
        j += ",\"seq\":";
        json::AppendBool(j, pages[i].inPageSequence != 0);
        j += ",\"search\":";
        json::AppendBool(j, pages[i].inSearch != 0);
        j += '}';
    }
    j += ']';
}

// Decodes the path of a /book/ address into path. Returns why the address
// is refused (a 400), or nullptr when path names a place inside the book.
const char* DecodePagePath(std::string_view rawPath, std::string& path) {
    // Separators and dots must be visible as such: an encoded "/" or "\"
    // could otherwise smuggle a path past the checks below.
    for (size_t i = 0; i + 2 < rawPath.size(); ++i) {
        if (rawPath[i] != '%') continue;
        char a = rawPath[i + 1], b = static_cast<char>(rawPath[i + 2] | 0x20);
        if ((a == '2' && b == 'f') || (a == '5' && b == 'c'))
            return "The address holds an encoded path separator.";
    }
    if (rawPath.find('\\') != std::string_view::npos || !html::PercentDecode(rawPath, path) ||
        path.find('\0') != std::string::npos)
        return "The address is malformed.";
    std::string_view rest = path;
    while (true) {
        size_t slash = rest.find('/');
        std::string_view segment = rest.substr(0, slash);
        if (segment == ".." || segment == ".") return "The address leaves the book.";
        if (slash == std::string_view::npos) return nullptr;
        rest.remove_prefix(slash + 1);
    }
}

// The page at path. Browsers send UTF-8; a book made on Windows stores its
// ANSI code page, so that spelling is tried too.
const PageDirEntry* FindPageAnySpelling(const BookReader& book, const std::string& path) {
    if (path.empty()) return nullptr;
    if (const PageDirEntry* page = book.FindPage(path)) return page;
    std::string ansi;
    if (Utf8ToWindows1252(path, ansi) && ansi != path) return book.FindPage(ansi);
    return nullptr;
}

}  // namespace

struct BookSite::Impl {
    const BookReader& book;
    std::string shellHtml;
    std::string bookId;
    std::string storageKey;
    std::optional<std::vector<uint8_t>> icon;

    std::once_flag bookJsonOnce;
    std::string bookJson;
    std::shared_ptr<const std::string> splash;

    PageTitles titles;
    SearchIndex search;

    std::mutex cacheMutex;
    std::unordered_map<int32_t, CachedPage> cache;
    size_t cacheBytes = 0;

    std::thread titleReader;

    Impl(const BookReader& b) : book(b), titles(b), search(b) {}
    ~Impl() {
        search.StopBuilding();
        if (titleReader.joinable()) titleReader.join();
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    const std::string& BookJson();
    CachedPage LoadPage(const PageDirEntry& page, bool needIdentity);
    SiteResponse Page(const http::Request& request, std::string_view rawPath);
    SiteResponse Search(std::string_view query);
    SiteResponse Asset(const http::Request& request, std::string_view name);
};

const std::string& BookSite::Impl::BookJson() {
    std::call_once(bookJsonOnce, [this] {
        try {
            if (auto bmp = book.Splash()) splash = Share(std::string(bmp->begin(), bmp->end()));
        } catch (const BookError&) {
            // A damaged splash bitmap is left out; the book itself still shows.
        }
        std::string j = "{";
        json::AppendKey(j, "id");
        json::AppendString(j, bookId);
        j += ',';
        json::AppendKey(j, "storageKey");
        json::AppendString(j, storageKey);
        j += ',';
        AppendTexts(j, book.Texts());
        j += ',';
        AppendSettings(j, book.Settings());
        j += ",\"hasSplash\":";
        json::AppendBool(j, splash != nullptr);
        j += ",\"hasIcon\":";
        json::AppendBool(j, icon.has_value());
        j += ',';
        AppendPages(j, book.Pages(), titles.All());
        j += '}';
        bookJson = std::move(j);
    });
    return bookJson;
}

CachedPage BookSite::Impl::LoadPage(const PageDirEntry& page, bool needIdentity) {
    {
        std::lock_guard lock(cacheMutex);
        auto it = cache.find(page.id);
        if (it != cache.end() && (!needIdentity || it->second.identity)) return it->second;
    }
    CachedPage p;
    std::vector<uint8_t> stream = book.PageDeflateStream(page, p.length);
    const auto* bytes = reinterpret_cast<const char*>(stream.data());
    const uint32_t crc = Crc32(stream);
    p.etag = "\"" + Hex(crc, 8) + "-" + Hex(p.length, 1) + "\"";
    p.deflate = Share(std::string(bytes, stream.size()));
    if (needIdentity) {
        std::vector<uint8_t> data = book.PageData(page);
        p.identity = Share(std::string(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    size_t size = p.deflate->size() + (p.identity ? p.identity->size() : 0);
    if (size <= kLargestCachedPage) {
        std::lock_guard lock(cacheMutex);
        if (cacheBytes + size > kPageCacheBytes) {
            cache.clear();
            cacheBytes = 0;
        }
        auto [it, added] = cache.try_emplace(page.id, p);
        if (!added) {
            cacheBytes -= it->second.deflate->size() +
                          (it->second.identity ? it->second.identity->size() : 0);
            it->second = p;
        }
        cacheBytes += size;
    }
    return p;
}

SiteResponse BookSite::Impl::Page(const http::Request& request, std::string_view rawPath) {
    std::string path;
    if (const char* problem = DecodePagePath(rawPath, path)) return ErrorPage(400, problem);
    const PageDirEntry* page = FindPageAnySpelling(book, path);
    if (!page) return ErrorPage(404, ToUtf8(path));

    const std::string* acceptEncoding = request.Header("accept-encoding");
    bool deflate = acceptEncoding && http::AcceptsDeflate(*acceptEncoding);
    CachedPage cached;
    try {
        cached = LoadPage(*page, !deflate);
    } catch (const std::exception&) {
        return ErrorPage(500, "This page of the book is damaged.");
    }
    std::string etag = WithCoding(cached.etag, deflate);
    SiteResponse r;
    r.headers = {{"Content-Type", std::string(http::ContentTypeFor(page->path))},
                 {"Cache-Control", kPageCacheControl},
                 {"ETag", etag},
                 {"Vary", "Accept-Encoding"}};
    const std::string* ifNoneMatch = request.Header("if-none-match");
    if (ifNoneMatch && (http::EtagMatches(*ifNoneMatch, etag) ||
                        http::EtagMatches(*ifNoneMatch, WithCoding(cached.etag, !deflate)))) {
        r.status = 304;
        r.headers.erase(r.headers.begin());  // no Content-Type on 304
        return r;
    }
    if (deflate) {
        r.headers.emplace_back("Content-Encoding", "deflate");
        r.body = cached.deflate;
    } else {
        r.body = cached.identity;
    }
    return r;
}

SiteResponse BookSite::Impl::Search(std::string_view query) {
    // No words, no search: the shell lists the contents from /api/book.
    SearchIndex::Results found;
    if (!SearchIndex::QueryTerms(query).empty()) found = search.Search(query, kDefaultResults);
    std::string j = "{\"query\":";
    json::AppendString(j, ToUtf8(query));
    j += ",\"terms\":[";
    for (size_t i = 0; i < found.terms.size(); ++i) {
        if (i) j += ',';
        json::AppendString(j, found.terms[i]);
    }
    j += "],\"total\":" + std::to_string(found.total) + ",\"results\":[";
    for (size_t i = 0; i < found.hits.size(); ++i) {
        const SearchIndex::Hit& h = found.hits[i];
        if (i) j += ',';
        j += "{\"path\":";
        json::AppendString(j, ToUtf8(book.Pages()[h.page].path));
        j += ",\"title\":";
        json::AppendString(j, h.title);
        j += ",\"snippet\":[";
        for (size_t k = 0; k < h.snippet.size(); ++k) {
            if (k) j += ',';
            json::AppendString(j, h.snippet[k]);
        }
        j += "]}";
    }
    j += "]}";
    return Json(std::move(j));
}

SiteResponse BookSite::Impl::Asset(const http::Request& request, std::string_view name) {
    std::string_view gz = ShellAssetGzip(name);
    const std::string* acceptEncoding = request.Header("accept-encoding");
    bool gzip = acceptEncoding && http::AcceptsCoding(*acceptEncoding, "gzip");
    std::string etag = "\"" + Hex(Fnv1a64(gz), 16) + "\"";
    // The shell's files are all text, written in UTF-8.
    std::string type = std::string(http::ContentTypeFor(name)) + "; charset=utf-8";
    SiteResponse r;
    r.headers = {{"Content-Type", type},
                 {"Cache-Control", "no-cache"},
                 {"ETag", WithCoding(etag, gzip)},
                 {"Vary", "Accept-Encoding"}};
    const std::string* ifNoneMatch = request.Header("if-none-match");
    if (ifNoneMatch && (http::EtagMatches(*ifNoneMatch, WithCoding(etag, true)) ||
                        http::EtagMatches(*ifNoneMatch, etag))) {
        r.status = 304;
        r.headers.erase(r.headers.begin());  // no Content-Type on 304
        return r;
    }
    if (gzip) {
        r.headers.emplace_back("Content-Encoding", "gzip");
        r.body = Share(std::string(gz));
    } else {
        r.body = Share(Gunzip(gz));
    }
    return r;
}

BookSite::BookSite(const BookReader& book, const std::string& exitToken)
    : m_impl(std::make_unique<Impl>(book)) {
    uint64_t id = Fnv1a64(book.Texts().title);
    for (const PageDirEntry& p : book.Pages()) {
        id = Fnv1a64(p.path, id);
        id = Fnv1a64(std::to_string(p.id), id);
    }
    m_impl->bookId = Hex(id, 16);
    // What the shell remembers for a book (its place, font size, theme) is
    // keyed by the book's file, which stays the same when the book is
    // rebuilt: a page that has gone since is noticed there.
    m_impl->storageKey = Hex(Fnv1a64(book.Path()), 16);

    // The shell page carries the book's title and this run's exit token.
    std::string html = Gunzip(ShellAssetGzip("index.html"));
    auto replace = [&](std::string_view key, const std::string& value) {
        size_t at = html.find(key);
        if (at != std::string::npos) html.replace(at, key.size(), value);
    };
    std::string title = ToUtf8(book.Texts().title);
    replace("{{TITLE}}", http::HtmlEscape(title.empty() ? "E-Book" : title));
    replace("{{EXIT_TOKEN}}", http::HtmlEscape(exitToken));
    m_impl->shellHtml = std::move(html);
}

BookSite::~BookSite() = default;

void BookSite::SetIconFile(std::vector<uint8_t> ico) {
    m_impl->icon = std::move(ico);
}

void BookSite::StartReadingTitles() {
    if (m_impl->titleReader.joinable()) return;
    // Titles first (the shell asks for them at once), then the search
    // index, one after the other so that they do not fight over the cores,
    // and below the threads that answer requests so that no page waits.
    m_impl->titleReader = std::thread([m = m_impl.get()] {
        LowerThisThreadPriority();
        m->titles.All();
        m->search.EnsureBuilt(true);
    });
}

SiteResponse BookSite::ErrorPage(int status, std::string_view detail) {
    std::string heading =
        status == 404 ? "This page is not in the book" : std::string(http::StatusText(status));
    std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + http::HtmlEscape(heading) +
        "</title><style>body{font:15px/1.5 system-ui,sans-serif;color:#333;margin:3em auto;"
        "max-width:36em;padding:0 1em}h1{font-size:1.3em;font-weight:600}"
        "code{background:#f2f2f2;padding:.1em .3em;border-radius:3px}</style></head><body><h1>" +
        http::HtmlEscape(heading) + "</h1>";
    if (!detail.empty()) {
        html += status == 404 ? "<p>No page named <code>" + http::HtmlEscape(detail) +
                                    "</code> is stored in this e-book.</p>"
                              : "<p>" + http::HtmlEscape(detail) + "</p>";
    }
    html += "</body></html>";
    SiteResponse r;
    r.status = status;
    r.headers = {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-store"}};
    r.body = Share(std::move(html));
    return r;
}

SiteResponse BookSite::Handle(const http::Request& request) const {
    Impl& m = *m_impl;
    std::string_view path = request.Path();
    if (path == "/" || path == "/index.html") {
        SiteResponse r;
        r.headers = {{"Content-Type", "text/html; charset=utf-8"},
                     {"Cache-Control", "no-store"},
                     {"Content-Security-Policy", "frame-ancestors 'none'"},
                     {"Referrer-Policy", "no-referrer"}};
        r.body = Share(m.shellHtml);
        return r;
    }
    if (path.substr(0, 6) == "/book/") return m.Page(request, path.substr(6));
    if (path == "/api/book") return Json(m.BookJson());
    if (path == "/api/search") return m.Search(http::QueryParameter(request.Query(), "q"));
    if (path == "/api/splash") {
        m.BookJson();
        if (!m.splash) return ErrorPage(404, "splash");
        SiteResponse r;
        r.headers = {{"Content-Type", "image/bmp"}, {"Cache-Control", "no-store"}};
        r.body = m.splash;
        return r;
    }
    if (path == "/favicon.ico") {
        if (!m.icon) return ErrorPage(404, "favicon.ico");
        SiteResponse r;
        r.headers = {{"Content-Type", "image/x-icon"}, {"Cache-Control", "no-store"}};
        r.body = Share(std::string(m.icon->begin(), m.icon->end()));
        return r;
    }
    // The shell's other files, each at "/" and its name (the service
    // worker must sit at the top to look after every address).
    if (path.size() > 1 && !ShellAssetGzip(path.substr(1)).empty())
        return m.Asset(request, path.substr(1));
    return ErrorPage(404, ToUtf8(path));
}

}  // namespace folivex
