// Writes the seed corpora of the fuzz targets from real files of the kinds
// the tests make: project files, a built book, the viewer's icon, the sample
// book's pages and a few requests. Usage: folivex_fuzz_seeds OUTDIR; makes
// OUTDIR/<target>/<seed> for each target. Run at build time, so no seed is
// kept in the source tree.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "builder/BuildEBook.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "platform/File.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakePe.h"

namespace {

using namespace folivex;
namespace fs = std::filesystem;

fs::path g_out;

void Seed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(g_out / target);
    fuzz::WriteBytes((g_out / target / name).string(), bytes);
}
void Seed(const std::string& target, const std::string& name, std::string_view text) {
    Seed(target, name, std::vector<uint8_t>(text.begin(), text.end()));
}
std::vector<uint8_t> Prefixed(uint8_t selector, std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out(bytes.size() + 1);
    out[0] = selector;
    std::copy(bytes.begin(), bytes.end(), out.begin() + 1);
    return out;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "folivex_fuzz_seeds: %s\n", what.c_str());
    std::exit(1);
}

// Project files: the sample book's project, an empty one, and one whose
// strings take the longer length prefixes.
void ProjectSeeds(const std::string& work) {
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    ScanProjectFolder(app, FOLIVEX_SAMPLE_BOOK);
    app.projectOpen = 1;
    app.project.aboutInfo = "A sample\r\nbook";
    app.projectFile = work + "/sample.ebp";
    if (!app.SaveProject()) Fail("cannot save the sample project");
    Seed("project_file", "sample-book.ebp", fuzz::ReadBytes(app.projectFile));

    CBookApp empty(prompts);
    empty.projectOpen = 1;
    empty.projectFile = work + "/empty.ebp";
    if (!empty.SaveProject()) Fail("cannot save the empty project");
    Seed("project_file", "empty.ebp", fuzz::ReadBytes(empty.projectFile));

    CBookApp longer(prompts);
    longer.projectOpen = 1;
    auto entry = std::make_unique<CPieceElem>();
    entry->path = std::string(300, 'p');
    longer.project.pages.push_back(std::move(entry));
    longer.project.pages.push_back(std::make_unique<CPieceElem>());
    longer.project.title = std::string(255, 't');
    longer.projectFile = work + "/long.ebp";
    if (!longer.SaveProject()) Fail("cannot save the long project");
    Seed("project_file", "long-strings.ebp", fuzz::ReadBytes(longer.projectFile));
}

// The sample book on the small stand-in stub; its entries seed the decoders.
void BookSeeds(const std::string& work) {
    static const std::vector<uint8_t> stub = test::MakeFakePe().bytes;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    ScanProjectFolder(app, FOLIVEX_SAMPLE_BOOK);
    app.viewerStub = stub;
    app.project.splashFile = std::string(FOLIVEX_SAMPLE_BOOK) + "/pictures/toolbar.png";
    app.project.ebookFile = work + "/sample.exe";
    app.blobCacheFolder = std::string();  // no cache of compressed pages in the home folder
    if (!BuildEBook(app)) Fail("cannot build the sample book");
    const std::vector<uint8_t> book = fuzz::ReadBytes(app.project.ebookFile);
    Seed("archive", "sample-book.exe", book);

    CFile file(app.project.ebookFile, CFile::modeRead);
    const std::optional<ArchiveIndex> index = ArchiveIndex::Load(file);
    if (!index) Fail("the sample book has no archive");
    int blobs = 0;
    for (const IndexedEntry& e : index->Entries()) {
        std::vector<uint8_t> data;
        ArchiveIndex::ReadData(file, e, data);
        const std::string name = std::to_string(e.type) + "-" + std::to_string(e.id);
        if (e.type == kTypeBook && e.id == kIdPageDirectory)
            Seed("container", "directory", Prefixed(0, data));
        if (e.type == kTypeBook && e.id == kIdSettings)
            Seed("container", "settings", Prefixed(1, data));
        if (e.type == kTypeBook && e.id >= kIdTitle && e.id <= kIdAboutInfo)
            Seed("container", "text-" + name, Prefixed(2, data));
        if ((e.type == kTypePages || e.id == kIdSplash) && blobs++ < 6)
            Seed("container", "blob-" + name, Prefixed(3, data));
    }

    // The two-entry archive after 16 bytes, as in the format's worked
    // example (the example's 1000 bytes shortened).
    const std::string small = work + "/small.exe";
    fuzz::WriteBytes(small, std::vector<uint8_t>(16, 0));
    CUpdateArchive writer;
    writer.BeginUpdate(small);
    writer.UpdateEntry(349, 1, "abc", 3);
    const uint8_t record[4] = {1, 0, 0, 0};
    writer.UpdateEntry(350, 3, record, 4);
    writer.EndUpdate();
    Seed("archive", "two-entries.exe", fuzz::ReadBytes(small));
}

void IconSeeds() {
    const std::vector<uint8_t> pe = test::MakeFakePe().bytes;
    Seed("icon", "viewer-icon", fuzz::JoinParts(fuzz::ReadBytes(FOLIVEX_VIEWER_ICO), pe));
    Seed("icon", "two-images",
         fuzz::JoinParts(test::MakeIco({{16, 16, 16, 296, 0x11}, {32, 32, 16, 744, 0x22}}), pe));
    Seed("icon", "unsuitable", fuzz::JoinParts(test::MakeIco({{32, 32, 0, 744, 0x33}}), pe));
}

void HttpSeeds() {
    const std::string host = "Host: 127.0.0.1:8080\r\n";
    Seed("http", "shell", "GET / HTTP/1.1\r\n" + host + "\r\n");
    Seed("http", "page-deflate",
         "GET /book/Index.html HTTP/1.1\r\n" + host + "Accept-Encoding: gzip, deflate\r\n\r\n");
    Seed("http", "page-etag",
         "GET /book/wizard/overview.html HTTP/1.1\r\n" + host +
             "If-None-Match: \"abc\", W/\"def-z\"\r\n\r\n");
    Seed("http", "search", "GET /api/search?q=wizard+page&n=5 HTTP/1.1\r\n" + host + "\r\n");
    Seed("http", "api",
         "GET /api/book HTTP/1.1\r\n" + host + "\r\nHEAD /api/contents HTTP/1.1\r\n" + host +
             "Connection: close\r\n\r\n");
    Seed("http", "pipelined",
         "GET /shell.css HTTP/1.1\r\n" + host + "\r\nGET /book/pictures/logo.svg HTTP/1.0\r\n" +
             host + "Connection: keep-alive\r\n\r\nGET /favicon.ico HTTP/1.1\r\n" + host + "\r\n");
    Seed("http", "post-body",
         "POST /api/exit HTTP/1.1\r\n" + host + "X-Exit-Token: 1\r\nContent-Length: 4\r\n\r\nabcd");
    Seed("http", "escaped", "GET /book/%2e%2e/%2Fetc%2fpasswd?x=%zz HTTP/1.1\r\n" + host + "\r\n");
}

void PageTextSeeds() {
    for (const auto& item : fs::recursive_directory_iterator(FOLIVEX_SAMPLE_BOOK)) {
        const std::string ext = item.path().extension().string();
        if (ext == ".html" || ext == ".htm" || ext == ".svg" || ext == ".txt")
            Seed("page_text", item.path().filename().string(),
                 fuzz::ReadBytes(item.path().string()));
    }
    Seed("page_text", "references",
         "<title>A &amp; B</title><h1>&#x263A;&eacute;&#150;</h1>caf\xe9 &nbsp;x");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) Fail("usage: folivex_fuzz_seeds OUTDIR");
    g_out = argv[1];
    const std::string work = fuzz::ScratchDir();
    try {
        ProjectSeeds(work);
        BookSeeds(work);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    IconSeeds();
    HttpSeeds();
    PageTextSeeds();
    return 0;
}
