// CFile on this platform: error causes, exclusive sharing, case-insensitive
// paths, and the fault seam.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/DirEnum.h"
#include "platform/FaultInjection.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/PathResolver.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteText;

CFileException::Cause CauseOfOpen(const std::string& path, unsigned flags) {
    try {
        CFile f(path, flags);
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_strFileName, path);
        return e.m_cause;
    }
    return CFileException::none;
}

TEST(File, OpenFailuresMapToCauses) {
    TempDir dir;
    EXPECT_EQ(CauseOfOpen(dir / "missing.ebp", CFile::modeRead), CFileException::fileNotFound);
    EXPECT_EQ(CauseOfOpen(dir / "no\\such\\folder.ebp", CFile::modeCreate | CFile::modeWrite),
              CFileException::fileNotFound);
    // A folder opened as a file: access denied, for reading and for writing.
    EXPECT_EQ(CauseOfOpen(dir.Path().string(), CFile::modeRead), CFileException::accessDenied);
    EXPECT_EQ(CauseOfOpen(dir.Path().string(), CFile::modeCreate | CFile::modeWrite),
              CFileException::accessDenied);
}

TEST(File, UnreadableFileIsAccessDenied) {
    const test::AsOrdinaryUser as = test::RunAsOrdinaryUser();
    if (as == test::AsOrdinaryUser::impossible) GTEST_SKIP() << "no setpriv or runuser for root";
    if (as == test::AsOrdinaryUser::ran) return;
    TempDir dir;
    WriteText(dir / "locked.ebp", "x");
    chmod((dir / "locked.ebp").c_str(), 0);
    EXPECT_EQ(CauseOfOpen(dir / "locked.ebp", CFile::modeRead), CFileException::accessDenied);
}

TEST(File, ExclusiveSharingRefusesASecondOpenWithoutTruncating) {
    TempDir dir;
    const std::string path = dir / "book.exe";
    WriteText(path, "keep me");
    CFile holder(path, CFile::modeRead | CFile::shareExclusive);
    EXPECT_EQ(CauseOfOpen(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive),
              CFileException::sharingViolation);
    EXPECT_EQ(ReadFile(path).size(), 7u);
    holder.Close();
    EXPECT_EQ(CauseOfOpen(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive),
              CFileException::none);
    EXPECT_TRUE(ReadFile(path).empty());
}

TEST(File, ReadWriteSeekLength) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    CFile f(path, CFile::modeCreate | CFile::modeReadWrite);
    f.Write("abcdef", 6);
    EXPECT_EQ(f.GetLength(), 6u);
    EXPECT_EQ(f.Seek(-2, CFile::end), 4u);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 2u);
    EXPECT_STREQ(buf, "ef");
    f.SetLength(3);
    EXPECT_EQ(f.SeekToEnd(), 3u);
    try {
        f.Seek(-10, CFile::begin);
        ADD_FAILURE() << "seek before the start";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badSeek);
    }
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    // The length when opened stays what it was, whatever is written since;
    // a file emptied by opening it is empty.
    CFile again(path, CFile::modeReadWrite);
    again.Write("xxxxxxxx", 8);
    EXPECT_EQ(again.LengthWhenOpened(), 3u);
    again.Open(path, CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(again.LengthWhenOpened(), 0u);
    again.Close();

    CFile::Rename(path, dir / "g.bin");
    EXPECT_FALSE(CFile::Exists(path));
    CFile::Remove(dir / "g.bin");
    try {
        CFile::Remove(dir / "g.bin");
        ADD_FAILURE() << "removed twice";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_strFileName, dir / "g.bin");
    }
}

TEST(File, StoredPathsFindFilesWhateverTheirCase) {
    TempDir dir;
    WriteText(dir / "IMG/Logo.PNG", "png");
    const std::string stored = dir.Path().string() + "\\img\\logo.png";
    EXPECT_EQ(NativePath(stored), dir / "IMG/Logo.PNG");
    CFile f(stored, CFile::modeRead);
    EXPECT_EQ(f.GetLength(), 3u);
    EXPECT_EQ(f.GetFilePath(), stored);  // errors keep naming what was asked
    // A part that exists under no spelling stays as given, and so does the rest.
    EXPECT_EQ(NativePath(dir.Path().string() + "\\Nope\\img"), dir / "Nope/img");
    // Only the name spelled otherwise, the folder as it is; a missing name;
    // the smallest of two spellings; the folder itself.
    EXPECT_EQ(NativePath(dir.Path().string() + "/IMG/LOGO.png"), dir / "IMG/Logo.PNG");
    EXPECT_EQ(NativePath(dir.Path().string() + "/IMG/other.png"), dir / "IMG/other.png");
    WriteText(dir / "IMG/logo.PNG", "second");
    EXPECT_EQ(NativePath(dir.Path().string() + "/IMG/LOGO.PNG"), dir / "IMG/Logo.PNG");
    EXPECT_EQ(NativePath(dir.Path().string() + "/img/."), dir / "IMG/.");
}

// A file below a folder held open is the one Open would give, and errors
// name it by its full path; a path elsewhere is opened as Open does.
TEST(File, OpenBelowOpensWhatOpenWould) {
    TempDir dir;
    WriteText(dir / "book/IMG/Logo.png", "below");
    WriteText(dir / "bookish.htm", "beside");
    const CFolderHandle book(dir / "book");
    const std::pair<std::string, std::string> opened[] = {
        {dir / "book/IMG/Logo.png", "below"},
        {dir / "book/img/logo.png", "below"},  // not there as spelled: found in any case
        {dir / "bookish.htm", "beside"},
    };
    for (const auto& [path, text] : opened) {
        CFile f;
        f.OpenBelow(book, path, CFile::modeRead);
        std::string read(16, '\0');
        read.resize(f.Read(read.data(), read.size()));
        EXPECT_EQ(read, text) << path;
        EXPECT_EQ(f.LengthWhenOpened(), text.size()) << path;
        EXPECT_EQ(f.GetFilePath(), path);
    }
    try {
        CFile f;
        f.OpenBelow(book, dir / "book/missing.htm", CFile::modeRead);
        ADD_FAILURE() << "opened a missing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_strFileName, dir / "book/missing.htm");
    }
}

// Names that differ only in case: a stored path means the file the scan met
// first (depth first, listing order), level by level.
TEST(File, StoredPathsResolveToTheFileTheScanMetFirst) {
    TempDir dir;
    for (const char* name : {"Index.htm", "index.htm", "Guide/x.htm", "guide/X.htm", "guide/y.htm",
                             "a\\b.htm", "a/b.htm", "deep/Er/z.htm"})
        WriteText(dir / name, name);
    struct Case {
        const char* stored;
        const char* spelled;  // nullptr: nothing fits
    };
    const Case cases[] = {
        {"index.htm", "Index.htm"},
        {"guide\\x.htm", "Guide/x.htm"},
        {"guide\\y.htm", "guide/y.htm"},  // Guide holds no y.htm: the next spelling
        {"a\\b.htm", "a/b.htm"},          // never the file whose name holds "\"
        {"DEEP/er/Z.HTM", "deep/Er/z.htm"},
        {"missing.htm", nullptr},
        {"guide", nullptr},  // a folder is no page
        {"guide\\..\\index.htm", nullptr},
    };
    PathResolver resolver(dir.Path().string());
    for (const Case& c : cases) {
        const auto result = resolver.Resolve(c.stored);
        ASSERT_EQ(result.found.has_value(), c.spelled != nullptr) << c.stored;
        if (!c.spelled) continue;
        EXPECT_EQ(result.found->spelled, c.spelled);
        EXPECT_EQ(result.found->path, dir / c.spelled);
        EXPECT_EQ(ReadFile(result.found->path), test::Bytes(c.spelled, strlen(c.spelled)));
    }
    // A file to skip gives way to the next spelling, or is reported.
    PathResolver skipping(dir.Path().string(),
                          {KnownFile(dir / "Index.htm"), KnownFile(dir / "a/b.htm")});
    EXPECT_EQ(skipping.Resolve("index.htm").found->spelled, "index.htm");
    const auto onlySkipped = skipping.Resolve("a\\b.htm");
    EXPECT_FALSE(onlySkipped.found);
    EXPECT_TRUE(onlySkipped.skipped);
}

TEST(File, FaultPlanFailsTheChosenCallOrAfterNBytes) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    {
        FaultPlan plan;
        plan.failAfterBytes = 4;
        ScopedFaultPlan scoped(plan);
        CFile f(path, CFile::modeCreate | CFile::modeWrite);
        f.Write("ab", 2);
        try {
            f.Write("cdef", 4);
            ADD_FAILURE() << "write past the limit";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
            EXPECT_EQ(e.m_strFileName, path);
        }
        EXPECT_TRUE(plan.fired);
    }
    EXPECT_EQ(ReadFile(path), test::Bytes("abcd", 4));  // what still fitted was written
    {
        FaultPlan plan;
        plan.failOnCall = 2;
        plan.cause = CFileException::accessDenied;
        ScopedFaultPlan scoped(plan);
        CFile f(path, CFile::modeRead);  // call 1
        char c;
        EXPECT_THROW(f.Read(&c, 1), CFileException);  // call 2
        EXPECT_EQ(f.Read(&c, 1), 1u);
    }
}

}  // namespace
}  // namespace folivex
