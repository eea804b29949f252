#include "viewer/server/PageTitles.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "html/PageText.h"
#include "platform/Utf8.h"
#include "viewer/BookReader.h"
#include "viewer/server/HttpMessage.h"

namespace folivex {

namespace {

// The title sits in the page's head; this much of a page nearly always holds it.
constexpr size_t kTitlePrefixBytes = 16384;

// Inflates at most limit bytes of a zlib stream; stops quietly at damage.
std::string InflatePrefix(const std::vector<uint8_t>& stream, size_t limit) {
    std::string out(limit, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(std::min<size_t>(stream.size(), 0x7FFFFFFF));
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(limit);
    inflate(&z, Z_SYNC_FLUSH);
    out.resize(limit - z.avail_out);
    inflateEnd(&z);
    return out;
}

bool IsHtml(std::string_view path) {
    return http::ContentTypeFor(path) == "text/html" ||
           http::ContentTypeFor(path) == "application/xhtml+xml";
}

std::string TitleOf(const BookReader& book, const PageDirEntry& page) {
    std::string title;
    if (IsHtml(page.path)) {
        try {
            uint32_t length = 0;
            std::vector<uint8_t> stream = book.PageDeflateStream(page, length);
            std::string prefix = InflatePrefix(stream, std::min<size_t>(length, kTitlePrefixBytes));
            bool whole = prefix.size() >= length;
            title = html::ExtractTitle(ToUtf8(whole ? prefix : TrimPartialUtf8(prefix)));
            if (title.empty() && !whole) {
                std::vector<uint8_t> all = book.PageData(page);
                title = html::ExtractTitle(ToUtf8(
                    std::string_view(reinterpret_cast<const char*>(all.data()), all.size())));
            }
        } catch (const std::exception&) {
            // Unreadable page: its path stands in.
        }
    }
    return title.empty() ? ToUtf8(page.path) : title;
}

}  // namespace

struct PageTitles::Impl {
    const BookReader& book;
    std::once_flag once;
    std::vector<std::string> titles;
    explicit Impl(const BookReader& b) : book(b) {}
};

PageTitles::PageTitles(const BookReader& book) : m_impl(std::make_unique<Impl>(book)) {}
PageTitles::~PageTitles() = default;

const std::vector<std::string>& PageTitles::All() const {
    std::call_once(m_impl->once, [m = m_impl.get()] {
        const auto& pages = m->book.Pages();
        m->titles.resize(pages.size());
        std::atomic<size_t> next{0};
        auto work = [&] {
            for (size_t i; (i = next.fetch_add(1)) < pages.size();)
                m->titles[i] = TitleOf(m->book, pages[i]);
        };
        unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
        if (pages.size() < 64) n = 1;
        std::vector<std::thread> workers;
        for (unsigned k = 1; k < n; ++k) workers.emplace_back(work);
        work();
        for (auto& w : workers) w.join();
    });
    return m_impl->titles;
}

}  // namespace folivex
