// Saving and opening a project while the file layer fails on purpose: on
// every call in turn, and after every byte count. A failed save keeps the
// previous project file byte for byte and leaves nothing else behind; the
// message names the project file with the cause's text; a failed open
// changes nothing on disk.
#include <gtest/gtest.h>

#include "platform/FaultInjection.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/faults/DiskSnapshot.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::ReadFile;
using test::Snapshot;

const char* const kSave = "Cannot save E-Book Project";
const char* const kOpen = "Cannot open E-Book Project";

class SaveFaults : public ::testing::Test {
protected:
    SaveFaults() : app(prompts) {
        app.projectFile = dir / "book.ebp";
        app.projectOpen = 1;
        for (const char* path : {"index.htm", "guide\\one.htm", "pictures\\cover.jpg"}) {
            auto entry = std::make_unique<CPieceElem>();
            entry->path = path;
            app.project.pages.push_back(std::move(entry));
        }
        app.project.title = "Faults";
        // Long enough that the file takes more than one 4096-byte buffer.
        app.project.aboutInfo = std::string(5000, 'a');
        app.project.projectDir = "/books/faults";
    }

    // The message a failed save must show for this cause.
    std::string Expected(const char* prefix, CFileException::Cause cause) const {
        return FileErrorMessage(prefix, CFileException(cause, app.projectFile));
    }

    // Saves with plan installed; returns the result.
    int SaveWith(FaultPlan& plan) {
        prompts.messages.clear();
        ScopedFaultPlan scoped(plan);
        return app.SaveProject();
    }

    ScriptedPrompts prompts;
    CBookApp app;
    test::TempDir dir;
};

TEST_F(SaveFaults, EveryFailingCallKeepsThePreviousFileWithEachCause) {
    ASSERT_EQ(app.SaveProject(), 1);
    const auto before = Snapshot(dir.Path());
    app.project.title = "Changed";

    for (const auto cause : {CFileException::diskFull, CFileException::accessDenied,
                             CFileException::hardIO, CFileException::sharingViolation}) {
        uint64_t call = 1;
        for (;; ++call) {
            FaultPlan plan;
            plan.failOnCall = call;
            plan.cause = cause;
            const int result = SaveWith(plan);
            if (!plan.fired) break;
            ASSERT_LT(call, 200u);
            EXPECT_EQ(result, 0) << "call " << call;
            ASSERT_EQ(prompts.messages.size(), 1u) << "call " << call;
            EXPECT_EQ(prompts.messages[0].text, Expected(kSave, cause)) << "call " << call;
            EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Stop);
            EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "") << "call " << call;
            EXPECT_EQ(app.project.title, "Changed");
        }
        EXPECT_GT(call, 5u);  // the save went through several file calls
        // The sweep ended with a save that went through; put the old one back.
        app.project.title = "Faults";
        ASSERT_EQ(app.SaveProject(), 1);
        ASSERT_EQ(test::Differences(before, Snapshot(dir.Path())), "");
        app.project.title = "Changed";
    }
}

TEST_F(SaveFaults, AFullDiskAfterAnyByteKeepsThePreviousFile) {
    ASSERT_EQ(app.SaveProject(), 1);
    const auto before = Snapshot(dir.Path());
    const size_t size = ReadFile(app.projectFile).size();
    app.project.title = "Changed";

    for (uint64_t bytes = 0; bytes <= size + 8;
         bytes += (bytes < 64 || bytes + 64 > size) ? 1 : 97) {
        FaultPlan plan;
        plan.failAfterBytes = bytes;
        const int result = SaveWith(plan);
        if (!plan.fired) {
            // Everything fitted: the new file is in place.
            EXPECT_EQ(result, 1) << bytes;
            EXPECT_GE(bytes, size + 1);  // "Changed" is one byte longer than "Faults"
            break;
        }
        EXPECT_EQ(result, 0) << bytes;
        ASSERT_EQ(prompts.messages.size(), 1u) << bytes;
        EXPECT_EQ(prompts.messages[0].text, Expected(kSave, CFileException::diskFull)) << bytes;
        EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "")
            << "after " << bytes << " bytes";
    }
}

TEST_F(SaveFaults, AFailedFirstSaveLeavesNothingBehind) {
    for (uint64_t call = 1;; ++call) {
        FaultPlan plan;
        plan.failOnCall = call;
        const int result = SaveWith(plan);
        if (!plan.fired) {
            EXPECT_EQ(result, 1);
            break;
        }
        ASSERT_LT(call, 200u);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(prompts.messages.at(0).text, Expected(kSave, CFileException::diskFull))
            << "call " << call;
        EXPECT_TRUE(Snapshot(dir.Path()).empty()) << "call " << call;
    }
}

// Save As after a failure: "No" returns 0 with the failed name kept, and the
// file under that name is still the previous one.
TEST_F(SaveFaults, SaveAsThatFailsAndIsNotRetriedKeepsThePreviousFile) {
    ASSERT_EQ(app.SaveProject(), 1);
    const auto before = Snapshot(dir.Path());
    prompts.AnswerFile(app.projectFile);
    prompts.AnswerMessage(MsgResult::No);
    FaultPlan plan;
    plan.failAfterBytes = 100;
    int result;
    {
        ScopedFaultPlan scoped(plan);
        result = app.SaveProjectAs();
    }
    EXPECT_EQ(result, 0);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, Expected(kSave, CFileException::diskFull));
    EXPECT_EQ(prompts.messages[1].text, "Do you want to save the project to other file?");
    EXPECT_EQ(app.projectFile, dir / "book.ebp");
    EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "");
}

TEST_F(SaveFaults, EveryFailingCallOfAnOpenChangesNothingOnDisk) {
    ASSERT_EQ(app.SaveProject(), 1);
    const auto before = Snapshot(dir.Path());
    for (uint64_t call = 1;; ++call) {
        ScriptedPrompts openPrompts;
        CBookApp reader(openPrompts);
        reader.projectFile = app.projectFile;
        FaultPlan plan;
        plan.failOnCall = call;
        plan.cause = CFileException::hardIO;
        int result;
        {
            ScopedFaultPlan scoped(plan);
            result = reader.OpenProject();
        }
        if (!plan.fired) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(reader.project.aboutInfo, app.project.aboutInfo);
            break;
        }
        ASSERT_LT(call, 200u);
        EXPECT_EQ(result, 0) << "call " << call;
        ASSERT_EQ(openPrompts.messages.size(), 1u) << "call " << call;
        EXPECT_EQ(openPrompts.messages[0].text, Expected(kOpen, CFileException::hardIO))
            << "call " << call;
        EXPECT_EQ(test::Differences(before, Snapshot(dir.Path())), "") << "call " << call;
    }
}

}  // namespace
}  // namespace folivex
