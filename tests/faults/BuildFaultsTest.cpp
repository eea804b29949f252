// Building an e-book while the file layer fails on purpose, on every call in
// turn and after every byte count. A build that fails before its icon step
// leaves no output (or the earlier e-book, byte for byte) and changes
// nothing else on disk; the message carries the prefix of the step that
// failed ("Cannot save E-Book file:" while the stub is written, "Cannot read
// file " + the file's name after it, "File error with " + the file's name in
// the icon step, "Cannot save E-Book file:" again when the finished book
// cannot take the output's place); a failure in the icon step leaves a
// complete e-book with the stub's own icon (or the new one, when only
// closing the file failed after the image was written).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "builder/BuildEBook.h"
#include "format/ArchiveIndex.h"
#include "platform/FaultInjection.h"
#include "platform/Path.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/faults/DiskSnapshot.h"
#include "tests/support/BuiltBook.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::ReadFile;
using test::Snapshot;
using test::WriteText;

enum class Step { stub, archive, icon, replace };

class BuildFaults : public ::testing::Test {
protected:
    BuildFaults() : app(prompts) {
        stub = test::MakeFakePe();
        app.viewerStub = stub.bytes;
        app.project.projectDir = dir / "book";
        test::AddPage(app, "index.htm", "<title>Home</title>home");
        test::AddPage(app, "guide\\one.htm",
                      std::string(9000, 'x'));  // more than one 4096-byte buffer
        test::AddPage(app, "pictures\\cover.jpg", "not really a picture", false);
        WriteText(dir / "splash.bmp", "BM splash");
        app.project.splashFile = dir / "splash.bmp";
        test::WriteFile(dir / "icon.ico", test::MakeIco({{32, 32, 16, 744, 0x77}}));
        app.project.iconFile = dir / "icon.ico";
        app.project.ebookFile = dir / "out.exe";
        app.blobCacheFolder = std::string();  // no cache of compressed pages outside the folder
    }

    int BuildWith(FaultPlan& plan) {
        prompts.messages.clear();
        ScopedFaultPlan scoped(plan);
        return BuildEBook(app);
    }

    // Which step's message this is; fails the test for any other message.
    Step StepOf(const std::string& message, CFileException::Cause cause) {
        std::vector<std::string> names = {app.project.ebookFile, app.project.splashFile,
                                          app.project.iconFile};
        for (const auto& page : app.project.pages)
            names.push_back(JoinStoredPath(app.project.projectDir, page->path));
        for (const std::string& name : names) {
            const CFileException error(cause, name);
            if (name == app.project.ebookFile &&
                message == FileErrorMessage("Cannot save E-Book file:", error))
                return Step::stub;
            if (message == FileErrorMessage("Cannot read file " + name, error))
                return Step::archive;
            if (message == FileErrorMessage("File error with " + name, error)) return Step::icon;
        }
        ADD_FAILURE() << "unexpected message: " << message;
        return Step::stub;
    }

    // The output as the icon step left it: the stub and a whole archive,
    // the image either the stub's own or the new one (when only closing the
    // file failed after the write).
    void ExpectComplete(const std::string& when) {
        auto out = ReadFile(app.project.ebookFile);
        ASSERT_GE(out.size(), stub.bytes.size()) << when;
        const auto image = out.begin() + static_cast<long>(stub.image);
        const bool stubImage = std::all_of(image, image + 744, [](uint8_t b) { return b == 0x5A; });
        const bool newImage = std::all_of(image, image + 744, [](uint8_t b) { return b == 0x77; });
        EXPECT_TRUE(stubImage || newImage) << when;
        std::fill(image, image + 744, uint8_t{0x5A});
        EXPECT_TRUE(std::equal(stub.bytes.begin(), stub.bytes.end(), out.begin())) << when;
        CFile file(app.project.ebookFile, CFile::modeRead);
        const auto index = ArchiveIndex::Load(file);
        ASSERT_TRUE(index.has_value()) << when;
        EXPECT_EQ(index->Base(), stub.bytes.size()) << when;
        EXPECT_NE(index->Find(350, 14), nullptr) << when;
    }

    // Fails every file call of a build in turn and checks each message and
    // the disk: as before the build, except after a failure in the icon
    // step, which leaves the new book complete (put back to the earlier one
    // afterwards, or removed). Returns how many failures each step saw.
    std::vector<int> SweepEveryCall(const std::optional<std::vector<uint8_t>>& earlier) {
        const auto before = Snapshot(dir.Path());
        Step last = Step::stub;
        std::vector<int> seen(4, 0);
        for (uint64_t call = 1;; ++call) {
            FaultPlan plan;
            plan.failOnCall = call;
            plan.cause = CFileException::hardIO;
            const int result = BuildWith(plan);
            const std::string when = "call " + std::to_string(call);
            if (!plan.fired) {
                EXPECT_EQ(result, 1) << when;
                break;
            }
            if (call >= 500u) {
                ADD_FAILURE() << "no end of calls";
                break;
            }
            EXPECT_EQ(result, 0) << when;
            if (prompts.messages.size() != 1u) {
                ADD_FAILURE() << when << ": " << prompts.messages.size() << " messages";
                continue;
            }
            EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Stop) << when;
            EXPECT_EQ(prompts.waitDepth, 0) << when;
            Step step = StepOf(prompts.messages[0].text, CFileException::hardIO);
            // Saving fails after the archive: the finished book could not
            // take the output's place.
            if (step == Step::stub && last >= Step::archive) step = Step::replace;
            EXPECT_GE(static_cast<int>(step), static_cast<int>(last))
                << when << ": the steps run in order";
            last = step;
            ++seen[static_cast<int>(step)];

            if (step == Step::icon) {
                ExpectComplete(when);
                if (earlier)
                    test::WriteFile(app.project.ebookFile, *earlier);
                else
                    CFile::Remove(app.project.ebookFile);
            }
            EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "") << when;
        }
        return seen;
    }

    ScriptedPrompts prompts;
    CBookApp app;
    test::FakePe stub;
    test::TempDir dir;
};

TEST_F(BuildFaults, EveryFailingCallReportsItsStepAndLeavesNoOutput) {
    const auto seen = SweepEveryCall(std::nullopt);
    // Every step was hit by some failure.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 5);
    EXPECT_GT(seen[2], 3);
    EXPECT_EQ(seen[3], 1);  // the rename
}

TEST_F(BuildFaults, EveryFailingCallKeepsTheEarlierBook) {
    ASSERT_EQ(BuildEBook(app), 1);
    const auto earlier = ReadFile(app.project.ebookFile);
    app.project.title = "Second edition";
    const auto seen = SweepEveryCall(earlier);
    EXPECT_GT(seen[0], 1);  // the earlier book held, the new one started
    EXPECT_GT(seen[1], 5);
    EXPECT_GT(seen[2], 3);
#if defined(_WIN32)
    EXPECT_EQ(seen[3], 2);  // letting go of the earlier book, the rename
#else
    EXPECT_EQ(seen[3], 1);  // the rename, over the earlier book still held
#endif
}

TEST_F(BuildFaults, AFullDiskAtAnyByteLeavesNoOutput) {
    const auto before = Snapshot(dir.Path());
    ASSERT_EQ(BuildEBook(app), 1);
    const uint64_t size = ReadFile(app.project.ebookFile).size();
    CFile::Remove(app.project.ebookFile);

    const uint64_t stubSize = stub.bytes.size();
    const auto nearAnEdge = [&](uint64_t b) {
        for (const uint64_t edge : {uint64_t{0}, stubSize, size, size + 744})
            if (b + 16 >= edge && b <= edge + 16) return true;
        return false;
    };
    for (uint64_t bytes = 0; bytes <= size + 800; ++bytes) {
        // Every byte near where one write ends and the next begins; a
        // stride elsewhere.
        if (!nearAnEdge(bytes) && bytes % 37 != 0) continue;
        FaultPlan plan;
        plan.failAfterBytes = bytes;
        const int result = BuildWith(plan);
        const std::string when = "after " + std::to_string(bytes) + " bytes";
        if (!plan.fired) {
            // The stub and the archive fitted, and the 744-byte icon too.
            EXPECT_EQ(result, 1) << when;
            EXPECT_GE(bytes, size + 744) << when;
            break;
        }
        EXPECT_EQ(result, 0) << when;
        ASSERT_EQ(prompts.messages.size(), 1u) << when;
        const Step step = StepOf(prompts.messages[0].text, CFileException::diskFull);
        EXPECT_EQ(step, bytes < stubSize ? Step::stub
                        : bytes < size   ? Step::archive
                                         : Step::icon)
            << when;
        if (step == Step::icon) {
            // The image was written part-way: only it may differ.
            const auto out = ReadFile(app.project.ebookFile);
            EXPECT_EQ(out.size(), size) << when;
            CFile::Remove(app.project.ebookFile);
        }
        EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "") << when;
    }
}

}  // namespace
}  // namespace folivex
