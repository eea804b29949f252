// A small e-book for the viewer's fault tests: three pages (one in a
// subfolder) and a splash bitmap, built on the stand-in stub.
#pragma once

#include <gtest/gtest.h>

#include "builder/BuildEBook.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"
#include "viewer/server/BookSite.h"

namespace folivex::test {

inline std::string BuildTestBook(const TempDir& dir) {
    static const std::vector<uint8_t> stub = MakeFakePe().bytes;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    app.viewerStub = stub;
    app.project.projectDir = dir / "book";
    const std::pair<const char*, std::string> pages[] = {
        {"index.htm", "<title>Home</title><p>Welcome home</p>"},
        {"guide\\one.htm", "<h1>One</h1>" + std::string(9000, 'x')},
        {"two.htm", "<title>Two</title>second page"},
    };
    for (const auto& [path, content] : pages) {
        std::string onDisk = path;
        for (char& c : onDisk)
            if (c == '\\') c = '/';
        WriteText(app.project.projectDir + "/" + onDisk, content);
        auto page = std::make_unique<CPieceElem>();
        page->path = path;
        page->inSearch = 1;
        app.project.pages.push_back(std::move(page));
    }
    WriteText(dir / "splash.bmp", "BM splash bitmap");
    app.project.splashFile = dir / "splash.bmp";
    app.project.title = "Test book";
    app.project.ebookFile = dir / "book.exe";
    app.blobCacheFolder = std::string();  // no cache of compressed pages in the home folder
    EXPECT_EQ(BuildEBook(app), 1);
    return app.project.ebookFile;
}

inline int Get(const BookSite& site, const std::string& target, std::string* body = nullptr) {
    http::Request request;
    request.method = "GET";
    request.target = target;
    request.headers = {{"host", "127.0.0.1:1"}};
    const SiteResponse response = site.Handle(request);
    if (body) *body = response.body ? *response.body : std::string();
    return response.status;
}

}  // namespace folivex::test
