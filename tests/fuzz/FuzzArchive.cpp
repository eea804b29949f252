// Fuzz target: the appended archive as the three readers load it: the index
// (ArchiveIndex::Load), the viewer (BookReader::Open, and the book's site
// answering for its pages, contents, texts and search) and the writer
// (CUpdateArchive::BeginUpdate).
//
// Any input must load or throw the reader's documented error; a book that
// opens is served without a server error for its own texts, contents and search. An archive that
// loads must survive the writer: rewriting it in place gives an archive whose
// index lists the same entries with the same data.
#include <optional>

#include "format/ArchiveIndex.h"
#include "format/UpdateArchive.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzSupport.h"
#include "viewer/BookReader.h"
#include "viewer/server/BookSite.h"

namespace {

using namespace folivex;

struct Snapshot {
    std::vector<IndexedEntry> entries;
    std::vector<std::vector<uint8_t>> data;
};

// The index and every entry's data; nothing when the file has no archive or
// a malformed one.
std::optional<Snapshot> Index(const std::string& path) {
    CFile file(path, CFile::modeRead);
    std::optional<ArchiveIndex> index;
    try {
        index = ArchiveIndex::Load(file);
    } catch (const CException&) {
        return std::nullopt;
    }
    if (!index) return std::nullopt;
    FUZZ_CHECK(index->Base() <= index->TreeEnd());
    FUZZ_CHECK(index->TreeEnd() <= index->BodyEnd());
    Snapshot s;
    s.entries = index->Entries();
    for (const IndexedEntry& e : s.entries) {
        FUZZ_CHECK(e.dataOffset + e.length <= index->BodyEnd());
        FUZZ_CHECK(index->Find(e.type, e.id) != nullptr);
        s.data.emplace_back();
        ArchiveIndex::ReadData(file, e, s.data.back());
        FUZZ_CHECK(s.data.back().size() == e.length);
    }
    return s;
}

int Get(const BookSite& site, const std::string& target) {
    http::Request request;
    request.method = "GET";
    request.target = target;
    request.headers = {{"host", "127.0.0.1:1"}, {"accept-encoding", "deflate"}};
    return site.Handle(request).status;
}

void ReadAsViewer(const std::string& path) {
    std::unique_ptr<BookReader> book;
    try {
        book = BookReader::Open(path);
    } catch (const BookError&) {
        return;
    }
    for (const PageDirEntry& page : book->Pages()) {
        FUZZ_CHECK(book->FindPage(page.path) != nullptr);
        try {
            (void)book->PageData(page);
            uint32_t length = 0;
            (void)book->PageDeflateStream(page, length);
        } catch (const BookError&) {
        }
    }
    try {
        (void)book->Splash();
    } catch (const BookError&) {
    }
    (void)book->IconFile();

    // What the shell page asks for first must never fail on a damaged book.
    BookSite site(*book, "0123456789abcdef0123456789abcdef");
    FUZZ_CHECK(Get(site, "/") == 200);
    FUZZ_CHECK(Get(site, "/api/book") == 200);
    FUZZ_CHECK(Get(site, "/api/search?q=") == 200);
    FUZZ_CHECK(Get(site, "/api/search?q=the") == 200);
    if (!book->Pages().empty()) (void)Get(site, "/book/" + book->Pages().front().path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace folivex::fuzz;
    static const std::string path = ScratchFile("book.exe");
    WriteBytes(path, std::span<const uint8_t>(data, size));

    const std::optional<Snapshot> before = Index(path);
    ReadAsViewer(path);

    try {
        CUpdateArchive writer;
        writer.BeginUpdate(path);
        writer.EndUpdate();
    } catch (const CException&) {
        // A malformed archive is refused by the writer as by the index
        // (unless the index saw no trailer: then the writer appends one).
        FUZZ_CHECK(!before);
        return 0;
    } catch (const ArchiveLimitError&) {
        return 0;
    }
    if (!before) return 0;
    const std::optional<Snapshot> after = Index(path);
    FUZZ_CHECK(after.has_value());
    FUZZ_CHECK(after->data == before->data);
    FUZZ_CHECK(after->entries.size() == before->entries.size());
    for (size_t i = 0; i < after->entries.size(); ++i) {
        FUZZ_CHECK(after->entries[i].type == before->entries[i].type);
        FUZZ_CHECK(after->entries[i].id == before->entries[i].id);
    }
    return 0;
}
