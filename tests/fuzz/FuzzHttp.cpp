// Fuzz target: the viewer's request handling without a socket. The input is
// what a client sends on one connection; it is parsed request by request
// (http::ParseRequest, with the server's own bound) and every complete GET or
// HEAD is answered by the book's site (BookSite::Handle) for a book built
// from the sample book at start-up, as the server does after its Host check.
//
// No input may crash, hang or make the parser claim bytes it was not given;
// every answer has a status the server can send.
#include <cstdlib>

#include "builder/BuildEBook.h"
#include "html/Url.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakePe.h"
#include "viewer/BookReader.h"
#include "viewer/server/BookSite.h"
#include "viewer/server/HttpMessage.h"

namespace {

using namespace folivex;

// The server's own bound on a request (HttpServerOptions::maxRequestBytes).
constexpr size_t kMaxRequestBytes = 16384;

struct Site {
    std::unique_ptr<BookReader> book;
    std::unique_ptr<BookSite> site;
};

// The sample book, built on the small stand-in stub, opened as the viewer
// opens it.
Site& TheSite() {
    static Site s = [] {
        static const std::vector<uint8_t> stub = test::MakeFakePe().bytes;
        ScriptedPrompts prompts;
        CBookApp app(prompts);
        ScanProjectFolder(app, FOLIVEX_SAMPLE_BOOK);
        for (auto& page : app.project.pages) page->inSearch = 1;
        app.viewerStub = stub;
        app.project.ebookFile = fuzz::ScratchFile("site.exe");
        app.blobCacheFolder = std::string();  // no cache of compressed pages in the home folder
        if (!BuildEBook(app)) {
            std::fprintf(stderr, "cannot build the sample book for the site\n");
            std::abort();
        }
        Site made;
        made.book = BookReader::Open(app.project.ebookFile);
        made.site = std::make_unique<BookSite>(*made.book, "0123456789abcdef0123456789abcdef");
        return made;
    }();
    return s;
}

void Answer(const http::Request& request) {
    std::string decoded;
    (void)html::PercentDecode(request.target, decoded);
    (void)http::QueryParameter(request.Query(), "q");
    if (const std::string* v = request.Header("accept-encoding")) (void)http::AcceptsDeflate(*v);
    if (const std::string* v = request.Header("if-none-match"))
        (void)http::EtagMatches(*v, "\"0-z\"");
    if (request.method != "GET" && request.method != "HEAD") return;
    if (request.target.empty() || request.target[0] != '/') return;
    const SiteResponse response = TheSite().site->Handle(request);
    FUZZ_CHECK(response.status >= 200 && response.status <= 599);
    (void)http::ResponseHead(response.status, response.headers,
                             response.body ? response.body->size() : 0, request.keepAlive);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TheSite();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        http::Request request;
        const http::ParseResult parsed = http::ParseRequest(rest, kMaxRequestBytes, request);
        if (parsed.status == http::ParseStatus::incomplete) break;
        if (parsed.status == http::ParseStatus::failed) {
            FUZZ_CHECK(parsed.errorStatus >= 400 && parsed.errorStatus <= 599);
            (void)BookSite::ErrorPage(parsed.errorStatus);
            break;
        }
        FUZZ_CHECK(parsed.consumed > 0 && parsed.consumed <= rest.size());
        Answer(request);
        rest.remove_prefix(parsed.consumed);
    }
    return 0;
}
