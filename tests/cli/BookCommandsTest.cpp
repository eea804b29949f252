// folivexc build, make, info, extract and verify, run as the user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class BookCommands : public ::testing::Test {
protected:
    BookCommands() {
        stub = dir / "stub.exe";
        WriteFile(stub, test::MakeFakePe().bytes);
    }

    test::CliResult Run(const std::vector<std::string>& args) {
        return test::RunFolivexc(args, dir);
    }

    TempDir dir;
    std::string stub;
    const std::string sample = FOLIVEX_SAMPLE_BOOK;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(BookCommands, MakeVerifyInfoAndExtractGiveTheSampleBookBack) {
    ASSERT_TRUE(fs::is_directory(sample));
    const std::string book = dir / "sample.exe";
    auto r = Run({"make", sample, "-o", book, "--stub", stub, "--title", "Sample \"Book\"",
                  "--no-toolbar", "--buttons", "home,search"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "E-Book " + book + " created successfully.\n");

    r = Run({"verify", book});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "OK")) << r.out;

    r = Run({"info", book, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* part :
         {"\"base\": 2048,", "\"marker\": true", "\"splashSize\": null", "\"showToolbar\": 0",
          "\"home\": 1", "\"prevNext\": 0", "\"search\": 1", "\"exit\": 0",
          "\"title\": \"Sample \\\"Book\\\"\"", "\"author\": \"*Your Name*\"",
          "{\"type\": 350, \"id\": 14, \"size\": 6}", "\"path\": \"index.html\", \"id\": 1"})
        EXPECT_TRUE(Contains(r.out, part)) << part << "\n" << r.out;

    const std::string out = dir / "extracted";
    r = Run({"extract", book, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(sample)) {
        if (!item.is_regular_file() || item.path().filename().string().front() == '.') continue;
        ++files;
        const std::string relative = fs::relative(item.path(), sample).string();
        EXPECT_EQ(ReadFile(out + "/" + relative), ReadFile(item.path().string())) << relative;
    }
    size_t extracted = 0;
    for (const auto& item : fs::recursive_directory_iterator(out))
        extracted += item.is_regular_file();
    EXPECT_EQ(extracted, files);
    EXPECT_GT(files, 3u);
}

TEST_F(BookCommands, BuildTakesTheProjectsOutputOrDashO) {
    const std::string project = dir / "sample.ebp";
    auto r = Run({"new", sample, "-o", project});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"build", project, "--stub", stub});
    EXPECT_EQ(r.exitCode, 2);  // the new project names no e-book file
    const std::string book = dir / "built.exe";
    r = Run({"build", project, "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run({"verify", book}).exitCode, 0);

    r = Run({"build", dir / "missing.ebp", "-o", book, "--stub", stub});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "missing.ebp")) << r.err;
}

TEST_F(BookCommands, FailuresGoToStderrWithExitOne) {
    WriteFile(dir / "empty-stub.exe", {});
    auto r = Run({"make", sample, "-o", dir / "a.exe", "--stub", dir / "empty-stub.exe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "empty")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.exe"));

    r = Run({"make", sample, "-o", dir / "b.exe", "--stub", stub, "--splash", dir / "no-such.bmp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "Cannot read file " + (dir / "no-such.bmp"))) << r.err;
    EXPECT_FALSE(fs::exists(dir / "b.exe"));

    EXPECT_EQ(Run({"make", sample, "--stub", stub}).exitCode, 2);
    EXPECT_EQ(Run({"make", sample, "-o", dir / "c.exe", "--buttons", "home,nope"}).exitCode, 2);

    r = Run({"info", stub});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "no e-book archive")) << r.err;
}

TEST_F(BookCommands, VerifyNamesWhatIsDamagedAndWhere) {
    const std::string book = dir / "book.exe";
    ASSERT_EQ(Run({"make", sample, "-o", book, "--stub", stub}).exitCode, 0);
    auto bytes = ReadFile(book);
    // The first page's zlib stream starts after the archive's head, the
    // type tag and the entry tag: damage a byte well inside it.
    const size_t firstData = test::MakeFakePe().bytes.size() + 4 + 16 + 4 + 17 + 6;
    bytes[firstData + 20] ^= 0x55;
    WriteFile(book, bytes);
    const auto r = Run({"verify", book});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "entry 349/1 at offset " + std::to_string(firstData))) << r.err;
}

TEST_F(BookCommands, ExtractRefusesPathsThatLeaveTheFolder) {
    const std::string book = dir / "evil.exe";
    WriteFile(book, test::MakeFakePe().bytes);
    {
        CUpdateArchive archive;
        archive.BeginUpdate(book);
        const std::vector<PageDirEntry> pages = {
            {"ok.htm", 1, 1, 1},      {"../evil.htm", 2, 1, 1},         {"/tmp/evil.htm", 3, 1, 1},
            {"c:/evil.htm", 4, 1, 1}, {"a\\..\\..\\evil.htm", 5, 1, 1}, {"sub/y.htm", 6, 1, 1},
            {"./x.htm", 7, 1, 1}};
        for (int id = 1; id <= 7; ++id)
            archive.UpdateEntry(349, id, MakeBlob(test::Bytes("page", 4)));
        archive.UpdateEntry(350, 2, EncodePageDirectory(pages));
        archive.EndUpdate();
    }
    const std::string out = dir / "out";
    const auto r = Run({"extract", book, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ReadFile(out + "/ok.htm"), test::Bytes("page", 4));
    EXPECT_FALSE(fs::exists(dir / "evil.htm"));
    EXPECT_TRUE(Contains(r.err, "refused: ../evil.htm")) << r.err;
    EXPECT_TRUE(Contains(r.err, "refused: a\\..\\..\\evil.htm")) << r.err;
    size_t extracted = 0;
    for (const auto& item : fs::recursive_directory_iterator(out))
        extracted += item.is_regular_file();
    EXPECT_EQ(extracted, 2u);
    EXPECT_EQ(ReadFile(out + "/sub/y.htm"), test::Bytes("page", 4));

    // A folder inside the target that links elsewhere is not followed.
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(dir / "out2");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out2/sub");
    Run({"extract", book, dir / "out2"});
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

}  // namespace
}  // namespace folivex
