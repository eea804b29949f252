// Books made by the builder itself: pages written into a project folder and
// added as entries, a small book of three pages and a splash bitmap, and a
// folder built into an e-book and opened as the viewer opens it. All of
// them are built on the stand-in stub (FakePe.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/BuildEBook.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"
#include "viewer/BookReader.h"

namespace folivex::test {

// Writes content to the file that the stored path ("\" separators) names in
// the project folder and appends its entry.
inline CPieceElem& AddPage(CBookApp& app, const std::string& path, const std::string& content,
                           bool included = true) {
    std::string onDisk = path;
    std::replace(onDisk.begin(), onDisk.end(), '\\', '/');
    WriteText(app.project.projectDir + "/" + onDisk, content);
    auto page = std::make_unique<CPieceElem>();
    page->path = path;
    page->included = included;
    app.project.pages.push_back(std::move(page));
    return *app.project.pages.back();
}

inline CPieceElem* FindEntry(CBookApp& app, const std::string& path) {
    for (auto& p : app.project.pages)
        if (p->path == path) return p.get();
    return nullptr;
}

// dir/book.exe: three pages in search (one in a subfolder, one longer than
// a read buffer) and a splash bitmap; no blob cache outside dir.
inline std::string BuildTestBook(const TempDir& dir) {
    static const std::vector<uint8_t> stub = MakeFakePe().bytes;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    app.viewerStub = stub;
    app.project.projectDir = dir / "book";
    AddPage(app, "index.htm", "<title>Home</title><p>Welcome home</p>").inSearch = 1;
    AddPage(app, "guide\\one.htm", "<h1>One</h1>" + std::string(9000, 'x')).inSearch = 1;
    AddPage(app, "two.htm", "<title>Two</title>second page").inSearch = 1;
    WriteText(dir / "splash.bmp", "BM splash bitmap");
    app.project.splashFile = dir / "splash.bmp";
    app.project.title = "Test book";
    app.project.ebookFile = dir / "book.exe";
    app.blobCacheFolder = std::string();
    EXPECT_EQ(BuildEBook(app), 1);
    return app.project.ebookFile;
}

// Scans folder, builds it into out and opens out as the viewer does;
// nothing when the build fails. adjust may change the scanned project first.
inline std::unique_ptr<BookReader> BuildBook(const std::string& folder, const std::string& out,
                                             const std::function<void(CBookApp&)>& adjust = {}) {
    static const std::vector<uint8_t> stub = MakeFakePe().bytes;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    ScanProjectFolder(app, folder);
    app.viewerStub = stub;
    app.project.ebookFile = out;
    if (adjust) adjust(app);
    if (!BuildEBook(app)) return nullptr;
    return BookReader::Open(out);
}

}  // namespace folivex::test
