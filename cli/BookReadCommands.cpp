// folivexc info (for e-books), extract and verify: reading a built book.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "platform/Ascii.h"
#include "platform/FsPath.h"
#include "platform/Json.h"
#include "platform/Utf8.h"

namespace folivex::cli {

namespace {

namespace fs = std::filesystem;

struct TextId {
    const char* name;
    int id;
};
constexpr TextId kTexts[] = {{"title", kIdTitle},         {"author", kIdAuthor},
                             {"copyright", kIdCopyright}, {"url", kIdUrl},
                             {"email", kIdEmail},         {"aboutInfo", kIdAboutInfo}};

// An e-book opened for inspection: the index and the small records.
struct OpenBook {
    CFile file;
    ArchiveIndex index;

    std::vector<uint8_t> Data(const IndexedEntry& e) {
        std::vector<uint8_t> out;
        ArchiveIndex::ReadData(file, e, out);
        return out;
    }
    std::optional<std::vector<uint8_t>> Data(int type, int id) {
        const IndexedEntry* e = index.Find(type, id);
        if (!e) return std::nullopt;
        return Data(*e);
    }
    // The stated uncompressed length of a blob entry, reading only its head.
    std::optional<uint32_t> BlobSize(int type, int id) {
        const IndexedEntry* e = index.Find(type, id);
        if (!e || e->length < 4) return std::nullopt;
        IndexedEntry head = *e;
        head.length = 4;
        return BlobLength(Data(head));
    }
};

// Opens path and its archive; nothing after a message on stderr.
std::unique_ptr<OpenBook> Open(const std::string& path) {
    try {
        auto book = std::make_unique<OpenBook>();
        book->file.Open(path, CFile::modeRead);
        auto index = ArchiveIndex::Load(book->file);
        if (!index) {
            Fail(path + " holds no e-book archive.");
            return nullptr;
        }
        book->index = std::move(*index);
        return book;
    } catch (const CException& e) {
        Fail("Cannot read " + path + ":\n" + e.Description());
        return nullptr;
    }
}

std::string Text(OpenBook& book, int id) {
    const auto data = book.Data(kTypeBook, id);
    return data ? DecodeText(*data) : std::string();
}

// Safe relative path for extraction: "/"-separated components, none empty,
// "." or "..", no drive letter, no backslash, not absolute.
bool IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string::npos ||
        path.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = slash + 1;
    }
    return true;
}

// True when some folder between root and target (exclusive) is a symbolic
// link, which could lead the write out of root.
bool PassesThroughLink(const fs::path& root, const std::string& relative) {
    fs::path at = root;
    const fs::path rel = FsPath(ToUtf8(relative));
    for (auto it = rel.begin(); it != rel.end(); ++it) {
        at /= *it;
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(at, ec))) return true;
    }
    return false;
}

}  // namespace

namespace {

// What info shows of an e-book, read once for either output.
struct BookSummary {
    struct Page {
        PageDirEntry entry;
        std::optional<uint32_t> size;  // the blob's stated length
    };
    uint32_t base = 0;
    std::vector<IndexedEntry> entries;
    std::vector<Page> pages;
    std::optional<BookSettings> settings;
    std::vector<std::pair<const char*, std::string>> texts;  // kTexts' names
    std::optional<uint32_t> splashSize;
    bool markerOk = false;
};

// Reads the summary; CException or ContainerError when the book's records
// cannot be read.
BookSummary Summarize(OpenBook& book) {
    BookSummary s;
    s.base = book.index.Base();
    s.entries = book.index.Entries();
    if (const auto dir = book.Data(kTypeBook, kIdPageDirectory))
        for (PageDirEntry& entry : DecodePageDirectory(*dir))
            s.pages.push_back({std::move(entry), {}});
    if (const auto settings = book.Data(kTypeBook, kIdSettings))
        s.settings = DecodeSettings(*settings);
    const auto marker = book.Data(kTypeBook, kIdMarker);
    s.markerOk = marker &&
                 std::equal(marker->begin(), marker->end(), kBookMarker.begin(), kBookMarker.end());
    s.splashSize = book.BlobSize(kTypeBook, kIdSplash);
    for (BookSummary::Page& page : s.pages) page.size = book.BlobSize(kTypePages, page.entry.id);
    for (const TextId& t : kTexts) s.texts.emplace_back(t.name, Text(book, t.id));
    return s;
}

std::string SizeOrNull(const std::optional<uint32_t>& n) {
    return n ? std::to_string(*n) : "null";
}

// The settings record's 14 flags with their names, in record order.
std::vector<std::pair<const char*, int32_t>> NamedFlags(const BookSettings& s) {
    std::vector<std::pair<const char*, int32_t>> flags = {
        {kStartOptionNames[0], s.showAboutAtStart},
        {kStartOptionNames[1], s.startMaximized},
        {kStartOptionNames[2], s.startFullScreen},
        {kStartOptionNames[3], s.showToolbar}};
    for (size_t i = 0; i < kToolbarButtonNames.size(); ++i)
        flags.emplace_back(kToolbarButtonNames[i], s.toolbarButtons[i]);
    return flags;
}

// A JSON array of items, one a line, indented under a key of the top object.
std::string JsonLines(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ",\n    " : "\n    ") + items[i];
    return out + "\n  ]";
}

std::string FormatJson(const BookSummary& s) {
    std::vector<std::string> entries, pages;
    for (const auto& e : s.entries)
        entries.push_back("{\"type\": " + std::to_string(e.type) + ", \"id\": " +
                          std::to_string(e.id) + ", \"size\": " + std::to_string(e.length) + "}");
    for (const auto& [p, size] : s.pages)
        pages.push_back("{\"path\": " + json::String(ToUtf8(p.path)) +
                        ", \"id\": " + std::to_string(p.id) +
                        ", \"inPageSequence\": " + std::to_string(p.inPageSequence) +
                        ", \"inSearch\": " + std::to_string(p.inSearch) +
                        ", \"size\": " + SizeOrNull(size) + "}");
    std::string settings = "null";
    if (s.settings) {
        settings = "{";
        for (const auto& [name, value] : NamedFlags(*s.settings))
            settings += std::string(settings.size() > 1 ? ", " : "") + "\"" + name +
                        "\": " + std::to_string(value);
        settings += "}";
    }
    std::string texts;
    for (const auto& [name, text] : s.texts)
        texts += std::string(texts.empty() ? "" : ", ") + "\"" + name +
                 "\": " + json::String(ToUtf8(text));
    return "{\n  \"base\": " + std::to_string(s.base) + ",\n  \"entries\": " + JsonLines(entries) +
           ",\n  \"pages\": " + JsonLines(pages) + ",\n  \"settings\": " + settings +
           ",\n  \"texts\": {" + texts + "},\n  \"splashSize\": " + SizeOrNull(s.splashSize) +
           ",\n  \"marker\": " + (s.markerOk ? "true" : "false") + "\n}\n";
}

std::string FormatText(const BookSummary& s) {
    std::string out = "archive at offset " + std::to_string(s.base) + "\nentries:\n";
    for (const auto& e : s.entries)
        out += "  type " + std::to_string(e.type) + " id " + std::to_string(e.id) + " size " +
               std::to_string(e.length) + "\n";
    out += "pages: " + std::to_string(s.pages.size()) + "\n  id    seq search size        path\n";
    for (const auto& [p, size] : s.pages) {
        char line[80];
        std::snprintf(line, sizeof line, "  %-5d %-3d %-6d %-11s ", p.id, p.inPageSequence,
                      p.inSearch, SizeOrNull(size).c_str());
        out += line + p.path + "\n";
    }
    if (s.settings) {
        out += "settings:";
        for (const auto& [name, value] : NamedFlags(*s.settings))
            out += std::string(" ") + name + "=" + std::to_string(value);
        out += "\n";
    } else {
        out += "settings: none\n";
    }
    for (const auto& [name, text] : s.texts) out += std::string(name) + ": " + text + "\n";
    out += "splash: " +
           (s.splashSize ? std::to_string(*s.splashSize) + " bytes" : std::string("none")) + "\n";
    out += std::string("marker: ") + (s.markerOk ? "present" : "missing or wrong") + "\n";
    return out;
}

}  // namespace

int CmdBookInfo(const std::string& path, bool json) {
    auto book = Open(path);
    if (!book) return 1;
    try {
        const BookSummary summary = Summarize(*book);
        std::fputs((json ? FormatJson(summary) : FormatText(summary)).c_str(), stdout);
        return 0;
    } catch (const CException& e) {
        return Fail("Cannot read " + path + ":\n" + e.Description());
    } catch (const ContainerError& e) {
        return Fail(path + ": " + e.what() + " (run folivexc verify for details)");
    }
}

int CmdExtract(const Args& args) {
    if (args.size() != 2) return Usage("extract takes BOOK.exe DIR");
    auto book = Open(args[0]);
    if (!book) return 1;
    const fs::path root = FsPath(AbsolutePath(args[1]));
    int problems = 0, written = 0;
    try {
        const auto dir = book->Data(kTypeBook, kIdPageDirectory);
        const std::vector<PageDirEntry> pages =
            dir ? DecodePageDirectory(*dir) : std::vector<PageDirEntry>{};
        for (const auto& p : pages) {
            if (!IsSafeRelativePath(p.path) || PassesThroughLink(root, p.path)) {
                Fail("refused: " + p.path + " would be written outside " + Utf8Path(root));
                ++problems;
                continue;
            }
            const IndexedEntry* e = book->index.Find(kTypePages, p.id);
            if (!e) {
                Fail("missing: " + p.path + " (no entry 349/" + std::to_string(p.id) + ")");
                ++problems;
                continue;
            }
            std::vector<uint8_t> data;
            try {
                data = InflateBlob(book->Data(*e));
            } catch (const ContainerError& error) {
                Fail("damaged: " + p.path + ": " + error.what());
                ++problems;
                continue;
            }
            const fs::path target = root / FsPath(ToUtf8(p.path));
            std::error_code ec;
            fs::create_directories(target.parent_path(), ec);
            std::ofstream out(target, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(data.data()),
                      static_cast<std::streamsize>(data.size()));
            out.close();
            if (!out) {
                Fail("cannot write " + Utf8Path(target));
                ++problems;
                continue;
            }
            ++written;
        }
    } catch (const CException& e) {
        return Fail("Cannot read " + args[0] + ":\n" + e.Description());
    } catch (const ContainerError& e) {
        return Fail(args[0] + ": " + e.what());
    }
    std::printf("%d files extracted to %s\n", written, Utf8Path(root).c_str());
    return problems == 0 ? 0 : 1;
}

namespace {

using Problems = std::vector<std::string>;

std::string Where(const IndexedEntry& e) {
    return "entry " + std::to_string(e.type) + "/" + std::to_string(e.id) + " at offset " +
           std::to_string(e.dataOffset);
}

// The archive's own layout: nothing between it and the trailer, no id
// twice, and every blob (the pages and the splash bitmap) inflates.
void CheckEntries(OpenBook& book, Problems& problems) {
    const ArchiveIndex& index = book.index;
    if (index.TreeEnd() != index.BodyEnd())
        problems.push_back(std::to_string(index.BodyEnd() - index.TreeEnd()) +
                           " stray bytes between the archive and its trailer at offset " +
                           std::to_string(index.TreeEnd()));
    std::set<std::pair<uint16_t, uint16_t>> seen;
    for (const auto& e : index.Entries()) {
        if (!seen.emplace(e.type, e.id).second)
            problems.push_back(Where(e) + ": the same id twice");
        if (e.type != kTypePages && !(e.type == kTypeBook && e.id == kIdSplash)) continue;
        try {
            InflateBlob(book.Data(e));
        } catch (const ContainerError& error) {
            problems.push_back(Where(e) + ": " + error.what());
        }
    }
}

// The page directory, and an entry for every page it names. Returns the
// number of pages it lists.
size_t CheckPageDirectory(OpenBook& book, Problems& problems) {
    const ArchiveIndex& index = book.index;
    const IndexedEntry* dir = index.Find(kTypeBook, kIdPageDirectory);
    if (!dir) {
        if (!index.Entries().empty() && index.Entries().front().type == kTypePages)
            problems.push_back("pages are stored but there is no page directory (entry 350/2)");
        return 0;
    }
    try {
        const auto pages = DecodePageDirectory(book.Data(*dir));
        for (size_t i = 0; i < pages.size(); ++i)
            if (!index.Find(kTypePages, pages[i].id))
                problems.push_back("page directory record " + std::to_string(i + 1) + " (" +
                                   pages[i].path + ") names id " + std::to_string(pages[i].id) +
                                   ", which has no entry");
        return pages.size();
    } catch (const ContainerError& error) {
        problems.push_back(Where(*dir) + ": " + error.what());
        return 0;
    }
}

// The small records: the settings, the six texts (each ending in NUL) and
// the book marker.
void CheckRecords(OpenBook& book, Problems& problems) {
    const IndexedEntry* settings = book.index.Find(kTypeBook, kIdSettings);
    if (!settings)
        problems.push_back("no settings record (entry 350/3)");
    else if (settings->length < kBookSettingsSize)
        problems.push_back(Where(*settings) + ": settings record of " +
                           std::to_string(settings->length) + " bytes, not " +
                           std::to_string(kBookSettingsSize));
    for (const auto& t : kTexts) {
        const IndexedEntry* e = book.index.Find(kTypeBook, t.id);
        if (!e) {
            problems.push_back(std::string("no ") + t.name + " text (entry 350/" +
                               std::to_string(t.id) + ")");
            continue;
        }
        const auto data = book.Data(*e);
        if (data.empty() || data.back() != 0)
            problems.push_back(Where(*e) + ": the " + t.name + " text does not end in NUL");
    }
    const auto marker = book.Data(kTypeBook, kIdMarker);
    if (!marker ||
        !std::equal(marker->begin(), marker->end(), kBookMarker.begin(), kBookMarker.end()))
        problems.push_back("the book marker (entry 350/14, \"EBOOK\") is missing or wrong");
}

}  // namespace

int CmdVerify(const Args& args) {
    if (args.size() != 1) return Usage("verify takes BOOK.exe");
    const std::string& path = args[0];
    auto book = Open(path);
    if (!book) return 1;
    Problems problems;
    size_t pageCount = 0;
    try {
        CheckEntries(*book, problems);
        pageCount = CheckPageDirectory(*book, problems);
        CheckRecords(*book, problems);
    } catch (const CException& e) {
        problems.push_back("cannot read the file: " + e.Description());
    }

    if (!problems.empty()) {
        for (const auto& p : problems) std::fprintf(stderr, "%s: %s\n", path.c_str(), p.c_str());
        std::fprintf(stderr, "%s: %zu problem%s\n", path.c_str(), problems.size(),
                     problems.size() == 1 ? "" : "s");
        return 1;
    }
    std::printf("%s: OK, %zu pages, %zu entries, archive at offset %u\n", path.c_str(), pageCount,
                book->index.Entries().size(), book->index.Base());
    return 0;
}

}  // namespace folivex::cli
