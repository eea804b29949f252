// Opening damaged project files: each gives its own message, keeps what was
// read before the damage, and never crashes or allocates by a stated size.
#include <filesystem>

#include "platform/FaultInjection.h"
#include "tests/project/ProjectTestSupport.h"

namespace folivex {
namespace {

using test::Bytes;
using test::Entry;
using test::ReadFile;
using test::WriteFile;

const std::string kOpen = "Cannot open E-Book Project\n";
const std::string kEnded = kOpen + "An attempt was made to access an unnamed file past its end.";

class OpenDamaged : public test::AppTest {
protected:
    void SetUp() override { app.projectFile = dir / "damaged.ebp"; }

    // Writes bytes as the project file, opens it, returns the one message.
    std::string Open(const std::vector<uint8_t>& bytes) {
        WriteFile(app.projectFile, bytes);
        prompts.messages.clear();
        EXPECT_EQ(app.OpenProject(), 0);
        EXPECT_EQ(prompts.messages.size(), 1u);
        return LastMessage();
    }

    // The signature and one entry count, then more.
    std::vector<uint8_t> WithCount(uint32_t n, const std::vector<uint8_t>& more) {
        std::vector<uint8_t> v = Bytes("\x03\x00\x01\x00", 4);
        test::Append(v, {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                         static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)});
        test::Append(v, more);
        return v;
    }

    std::string Named(const char* text) const {
        return kOpen + InsertFileName(text, app.projectFile);
    }
};

const std::vector<uint8_t> kEntry = Bytes(
    "\xFF\xFF\x01\x00\x0A\x00"
    "CPieceElem"
    "\x01"
    "a"
    "\x01\x00\x00\x00"
    "\x01\x00\x00\x00"
    "\x01\x00\x00\x00",
    30);

TEST_F(OpenDamaged, CutAtEveryOffsetOfARealFile) {
    // A real file with two entries and every field set.
    app.projectFile = dir / "real.ebp";
    app.projectOpen = 1;
    app.project.pages.push_back(Entry("index.htm", 1, 1, 1));
    app.project.pages.push_back(Entry("guide\\a.htm", 1, 0, 1));
    app.project.title = "T";
    app.project.projectDir = "/books/x";
    ASSERT_EQ(app.SaveProject(), 1);
    const auto real = ReadFile(app.projectFile);
    // The class name sits at bytes 14..23; a cut inside it is a bad class.
    const size_t nameStart = 14, nameEnd = 24;

    app.projectFile = dir / "cut.ebp";
    size_t lastPages = 0;
    for (size_t cut = 0; cut < real.size(); ++cut) {
        const std::string message =
            Open(std::vector<uint8_t>(real.begin(), real.begin() + static_cast<long>(cut)));
        const bool inName = cut >= nameStart && cut < nameEnd;
        EXPECT_EQ(message, inName ? Named("%1 contained an unexpected object.") : kEnded)
            << "cut at " << cut;
        EXPECT_EQ(prompts.messages.back().icon, MsgIcon::Stop);
        // Entries read before the cut stay, in order.
        EXPECT_GE(app.project.pages.size(), lastPages);
        lastPages = app.project.pages.size();
        if (lastPages > 0) {
            EXPECT_EQ(app.project.pages[0]->path, "index.htm");
        }
    }
    EXPECT_EQ(lastPages, 2u);
    EXPECT_EQ(app.project.title, "T");
}

TEST_F(OpenDamaged, WrongSignatureIsAnOldVersionAndLeavesTheDefaults) {
    app.project.title = "before";
    app.project.pages.push_back(Entry("x.htm", 1, 1, 1));
    auto bytes = WithCount(0, {});
    bytes[0] = 0x02;
    EXPECT_EQ(Open(bytes), "Old version of the .EBP file. Please regenerate.");
    EXPECT_EQ(prompts.messages.back().icon, MsgIcon::Stop);
    EXPECT_EQ(prompts.messages.back().buttons, MsgButtons::OK);
    EXPECT_EQ(app.project.title, "E-Book");
    EXPECT_TRUE(app.project.pages.empty());
}

TEST_F(OpenDamaged, MalformedRecords) {
    auto longName = Bytes("\xFF\xFF\x01\x00\x40\x00", 6);
    longName.resize(6 + 64, 'C');
    EXPECT_EQ(Open(WithCount(1, longName)), Named("%1 contained an unexpected object."));
    EXPECT_EQ(Open(WithCount(1, Bytes("\xFF\xFF\x01\x00\x0A\x00"
                                      "CPieceElex",
                                      16))),
              Named("%1 contained an unexpected object."));
    EXPECT_EQ(Open(WithCount(1, Bytes("\xFF\xFF\x02\x00\x0A\x00"
                                      "CPieceElem",
                                      16))),
              Named("%1 contains an incorrect schema."));
    // Class number 0, a number not given yet, the entry's own number.
    EXPECT_EQ(Open(WithCount(1, Bytes("\x00\x80", 2))), Named("%1 has a bad format."));
    EXPECT_EQ(Open(WithCount(1, Bytes("\x01\x80", 2))), Named("%1 has a bad format."));
    auto two = kEntry;
    test::Append(two, Bytes("\x02\x80", 2));
    EXPECT_EQ(Open(WithCount(2, two)), Named("%1 has a bad format."));
    EXPECT_EQ(app.project.pages.size(), 1u);
    // The null tag, and a reference back to the entry already read: no
    // empty slot and no shared entry.
    EXPECT_EQ(Open(WithCount(1, Bytes("\x00\x00", 2))), Named("%1 has a bad format."));
    EXPECT_TRUE(app.project.pages.empty());
    two = kEntry;
    test::Append(two, Bytes("\x02\x00", 2));
    EXPECT_EQ(Open(WithCount(2, two)), Named("%1 has a bad format."));
    EXPECT_EQ(app.project.pages.size(), 1u);
}

TEST_F(OpenDamaged, HugeCountsAndLengthsEndAtTheFilesEnd) {
    // Four billion entries stated, one present: ends at the file's end.
    EXPECT_EQ(Open(WithCount(0xFFFFFFFFu, kEntry)), kEnded);
    EXPECT_EQ(app.project.pages.size(), 1u);
    // A title that states 4 GiB.
    EXPECT_EQ(Open(WithCount(0, Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
                                      "abc",
                                      10))),
              kEnded);
    // A path that states 65000 bytes, in the wide form too.
    auto longPath = Bytes(
        "\xFF\xFF\x01\x00\x0A\x00"
        "CPieceElem"
        "\xFF\xE8\xFD"
        "ab",
        21);
    EXPECT_EQ(Open(WithCount(1, longPath)), kEnded);
    auto widePath = Bytes(
        "\xFF\xFF\x01\x00\x0A\x00"
        "CPieceElem"
        "\xFF\xFE\xFF\x10"
        "ab",
        22);
    EXPECT_EQ(Open(WithCount(1, widePath)), kEnded);
}

TEST_F(OpenDamaged, WideStringsAreReadAndBytesAfterTheEndIgnored) {
    auto bytes = WithCount(1, Bytes("\xFF\xFF\x01\x00\x0A\x00"
                                    "CPieceElem"
                                    "\xFF\xFE\xFF\x02"
                                    "a\x00"
                                    "b\x00"
                                    "\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00",
                                    36));
    bytes.resize(bytes.size() + 10, 0);  // ten empty strings
    test::Append(bytes,
                 Bytes("\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00", 16));
    for (int i = 0; i < 10; ++i) test::Append(bytes, Bytes("\x01\x00\x00\x00", 4));
    test::Append(bytes, Bytes("trailing", 8));
    WriteFile(app.projectFile, bytes);
    ASSERT_EQ(app.OpenProject(), 1);
    ASSERT_EQ(app.project.pages.size(), 1u);
    EXPECT_EQ(app.project.pages[0]->path, "ab");
    EXPECT_EQ(app.project.pages[0]->inSearch, 0);
    EXPECT_EQ(app.project.title, "");
}

TEST_F(OpenDamaged, FilesThatCannotBeOpenedLeaveTheProjectAlone) {
    app.project.title = "kept";
    app.project.pages.push_back(Entry("x.htm", 1, 1, 1));

    app.projectFile = dir / "missing.ebp";
    EXPECT_EQ(app.OpenProject(), 0);
    EXPECT_EQ(LastMessage(), kOpen + app.projectFile + " was not found.");

    app.projectFile = dir.Path().string();  // a folder
    EXPECT_EQ(app.OpenProject(), 0);
    EXPECT_EQ(LastMessage(), kOpen + "Access to " + app.projectFile + " was denied.");

    // Unreadable (simulated: this suite may run as root, who reads anything).
    app.projectFile = dir / "unreadable.ebp";
    WriteFile(app.projectFile, WithCount(0, {}));
    FaultPlan plan;
    plan.failOnCall = 1;
    plan.cause = CFileException::accessDenied;
    {
        ScopedFaultPlan scoped(plan);
        EXPECT_EQ(app.OpenProject(), 0);
    }
    EXPECT_EQ(LastMessage(), kOpen + "Access to " + app.projectFile + " was denied.");

    EXPECT_EQ(app.project.title, "kept");
    EXPECT_EQ(app.project.pages.size(), 1u);
}

}  // namespace
}  // namespace folivex
