#include <ctime>

#include "project/Defaults.h"
#include "tests/project/ProjectTestSupport.h"

namespace folivex {
namespace {

using test::Entry;

class BookApp : public test::AppTest {};

TEST_F(BookApp, ResetRestoresDefaultsAndKeepsAuthorDetailsAndFileNames) {
    auto& p = app.project;
    p.pages.push_back(Entry("a.htm", 1, 1, 1));
    p.title = "T";
    p.author = "A";
    p.copyright = "C";
    p.url = "U";
    p.email = "E";
    p.aboutInfo = "about";
    p.splashFile = p.iconFile = p.ebookFile = p.projectDir = "x";
    p.showAboutAtStart = 1;
    p.startMaximized = 0;
    p.startFullScreen = 1;
    p.showToolbar = 0;
    p.toolbarButtons.fill(0);
    app.projectFile = "f.ebp";
    app.lastProjectDir = "d";
    app.projectOpen = 1;
    app.rsrcFileOffset = app.rsrcRva = 9;

    for (int twice = 0; twice < 2; ++twice) {
        app.ResetProject();
        EXPECT_TRUE(p.pages.empty());
        EXPECT_EQ(p.title, "E-Book");
        EXPECT_EQ(p.author + p.copyright + p.url + p.email, "ACUE");
        EXPECT_EQ(p.aboutInfo + p.splashFile + p.iconFile + p.ebookFile + p.projectDir, "");
        EXPECT_EQ(p.showAboutAtStart, 0);
        EXPECT_EQ(p.startMaximized, 1);
        EXPECT_EQ(p.startFullScreen, 0);
        EXPECT_EQ(p.showToolbar, 1);
        for (int32_t b : p.toolbarButtons) EXPECT_EQ(b, 1);
        EXPECT_EQ(app.projectOpen, 0);
        EXPECT_EQ(app.rsrcFileOffset + app.rsrcRva, 0u);
        EXPECT_EQ(app.projectFile, "f.ebp");
        EXPECT_EQ(app.lastProjectDir, "d");
    }
}

TEST_F(BookApp, ReportFileErrorShowsOneStopBox) {
    app.ReportFileError("Cannot read file /b/a.htm",
                        CFileException(CFileException::fileNotFound, "/b/a.htm"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Cannot read file /b/a.htm\n/b/a.htm was not found.");
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(prompts.messages[0].buttons, MsgButtons::OK);
}

TEST(Defaults, CopyrightNamesTheCurrentYear) {
    // Read the year on both sides of the call, in case it turns meanwhile.
    const auto year = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return std::to_string(local.tm_year + 1900);
    };
    const std::string before = year();
    const std::string copyright = DefaultCopyright();
    const std::string after = year();
    EXPECT_TRUE(copyright == "Copyright (C) " + before + " *your company name*" ||
                copyright == "Copyright (C) " + after + " *your company name*")
        << copyright;
}

}  // namespace
}  // namespace folivex
