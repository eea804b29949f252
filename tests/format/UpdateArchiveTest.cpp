// The appended archive: the byte layout, updates of an existing archive, and
// the loader against malformed input (writer and index share it).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "format/ArchiveIndex.h"
#include "format/UpdateArchive.h"
#include "tests/support/FakePe.h"
#include "tests/support/HandMadeBook.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::Cat;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<uint8_t> Prefix(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    bytes.back() = 0;  // no trailer
    return bytes;
}

void Update(const std::string& path,
            const std::vector<std::tuple<int, int, std::string>>& changes) {
    CUpdateArchive archive;
    archive.BeginUpdate(path);
    for (const auto& [type, id, data] : changes)
        archive.UpdateEntry(type, id, data.data(), data.size());
    archive.EndUpdate();
}

// Every entry as "type/id=data", in archive order, read through the index.
std::vector<std::string> Listing(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const auto index = ArchiveIndex::Load(file);
    std::vector<std::string> out;
    if (!index) return out;
    for (const auto& e : index->Entries()) {
        std::vector<uint8_t> data;
        ArchiveIndex::ReadData(file, e, data);
        out.push_back(std::to_string(e.type) + "/" + std::to_string(e.id) + "=" +
                      std::string(data.begin(), data.end()));
    }
    return out;
}

TEST(UpdateArchive, WorkedExampleComesOutByteForByte) {
    TempDir dir;
    const std::string path = dir / "book.exe";
    WriteFile(path, Prefix(1000));
    CUpdateArchive archive;
    archive.BeginUpdate(path);
    archive.UpdateEntry(349, 1, "abc", 3);
    const uint8_t settings[4] = {1, 0, 0, 0};
    archive.UpdateEntry(350, 3, settings, 4);
    EXPECT_EQ(archive.ArchiveSize(), 74u);
    archive.EndUpdate();
    EXPECT_EQ(archive.Base(), 1000u);

    const auto bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 1074u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 1000), Prefix(1000));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 1000, bytes.end()), test::kWorkedExampleArchive);

    // The index finds both entries where their data lie.
    CFile file(path, CFile::modeRead);
    const auto index = ArchiveIndex::Load(file);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->Base(), 1000u);
    EXPECT_EQ(index->TreeEnd(), index->BodyEnd());
    ASSERT_EQ(index->Entries().size(), 2u);
    const IndexedEntry* abc = index->Find(349, 1);
    ASSERT_TRUE(abc);
    EXPECT_EQ(abc->dataOffset, 1000u + 4 + 16 + 4 + 17 + 6);
    EXPECT_EQ(abc->length, 3u);
    EXPECT_EQ(index->Find(350, 3 + 65536), index->Find(350, 3));
    EXPECT_EQ(index->Find(350, 4), nullptr);
}

TEST(UpdateArchive, UpdatingAnExistingArchiveKeepsOrderReplacesInPlaceAndAppendsAtTheTail) {
    TempDir dir;
    const std::string path = dir / "book.exe";
    WriteFile(path, Prefix(100));
    Update(path, {{349, 1, "one"}, {349, 2, "two"}, {350, 3, "settings"}, {350, 6, "title"}});

    // 65541 is id 5; 2 is replaced where it stands; 4 goes to the tail of 349.
    Update(path, {{349, 65541, "five"}, {349, 2, "TWO"}, {350, 6, "T"}, {349, 4, "four"}});
    EXPECT_EQ(Listing(path), (std::vector<std::string>{"349/1=one", "349/2=TWO", "349/5=five",
                                                       "349/4=four", "350/3=settings", "350/6=T"}));
    Update(path, {{349, 5, "5"}});
    EXPECT_EQ(Listing(path)[2], "349/5=5");

    // A shorter archive leaves the file ending at its trailer.
    const auto before = ReadFile(path).size();
    Update(path, {{349, 1, ""}, {349, 2, ""}, {349, 5, ""}, {349, 4, ""}});
    const auto after = ReadFile(path);
    EXPECT_LT(after.size(), before);
    EXPECT_EQ(after[after.size() - 2], 0x4B);
    EXPECT_EQ(test::Get32(after, after.size() - 6), 100u);
    // Deleting the last entry of 349 removed the type node too.
    EXPECT_EQ(Listing(path), (std::vector<std::string>{"350/3=settings", "350/6=T"}));
    CFile file(path, CFile::modeRead);
    EXPECT_EQ(ArchiveIndex::Load(file)->TreeEnd(), after.size() - 6);
}

TEST(UpdateArchive, DeletingSomethingMissingCreatesNothing) {
    TempDir dir;
    const std::string path = dir / "book.exe";
    WriteFile(path, Prefix(50));
    Update(path, {{350, 3, "x"}});
    const auto before = ReadFile(path);
    Update(path, {{349, 7, ""}, {350, 9, ""}});
    EXPECT_EQ(ReadFile(path), before);

    // An archive of nothing at all is a root with no types and the trailer.
    const std::string bare = dir / "bare.exe";
    WriteFile(bare, Prefix(10));
    Update(bare, {{349, 1, ""}});
    const auto bytes = ReadFile(bare);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 10, bytes.end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 10, 0, 0, 0, 0x4B, 0x47}));
}

TEST(UpdateArchive, IdsAreSixteenBit) {
    CUpdateDir node;
    node.Add(std::make_unique<CUpdateElem>(), 5);
    EXPECT_EQ(node.Find(65541), node.Find(5));
    EXPECT_EQ(node.Find(-65531), node.Find(5));
    node.Add(std::make_unique<CUpdateElem>(), 65535);
    EXPECT_NE(node.Find(-1), nullptr);
    node.Remove(65541);
    EXPECT_EQ(node.Find(5), nullptr);
    EXPECT_EQ(node.Children().size(), 1u);
}

TEST(UpdateArchive, RefusesAnArchivePastFourGigabytesAndLeavesTheFile) {
    TempDir dir;
    const std::string path = dir / "huge.exe";
    WriteFile(path, {1});
    std::filesystem::resize_file(path, 0xFFFFFF00ull);  // sparse
    CUpdateArchive archive;
    archive.BeginUpdate(path);
    std::vector<uint8_t> data(300, 1);
    try {
        archive.UpdateEntry(349, 1, data.data(), data.size());
        FAIL() << "no limit error";
    } catch (const ArchiveLimitError& e) {
        EXPECT_NE(std::string(e.what()).find("4 GiB"), std::string::npos);
    }
    archive.UpdateEntry(349, 1, data.data(), 100);
    archive.EndUpdate();
    EXPECT_EQ(std::filesystem::file_size(path), 0xFFFFFF00ull + archive.ArchiveSize());
}

TEST(UpdateArchive, WritesThroughTheFileSoFailuresSurface) {
    TempDir dir;
    EXPECT_THROW(
        {
            CUpdateArchive archive;
            archive.BeginUpdate(dir / "missing.exe");
        },
        CFileException);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.exe"));

    const std::string path = dir / "locked.exe";
    WriteFile(path, Prefix(20));
    CFile holder(path, CFile::modeRead | CFile::shareExclusive);
    try {
        CUpdateArchive archive;
        archive.BeginUpdate(path);
        FAIL() << "opened a locked file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    }
}

// ---- malformed archives ----

struct Malformed {
    const char* name;
    std::vector<uint8_t> body;  // after the 16-byte prefix; the trailer is added
    int expectedCause;          // CArchiveException cause
};

std::vector<uint8_t> Tag(const char* className, uint16_t schema = 1) {
    const size_t n = std::strlen(className);
    std::vector<uint8_t> t(6 + n);
    t[0] = t[1] = 0xFF;
    t[2] = static_cast<uint8_t>(schema);
    t[3] = static_cast<uint8_t>(schema >> 8);
    t[4] = static_cast<uint8_t>(n);
    std::memcpy(t.data() + 6, className, n);
    return t;
}

class MalformedArchive : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedArchive, IsRefusedWithAnArchiveError) {
    const Malformed& c = GetParam();
    TempDir dir;
    const std::string path = dir / "bad.exe";
    std::vector<uint8_t> file = Prefix(16);
    file.insert(file.end(), c.body.begin(), c.body.end());
    file.insert(file.end(), {16, 0, 0, 0, 0x4B, 0x47});
    WriteFile(path, file);

    try {
        CFile f(path, CFile::modeRead);
        ArchiveIndex::Load(f);
        FAIL() << "index accepted it";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, c.expectedCause) << e.Description();
    }
    try {
        CUpdateArchive archive;
        archive.BeginUpdate(path);
        FAIL() << "writer accepted it";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, c.expectedCause) << e.Description();
    }
    EXPECT_EQ(ReadFile(path), file);
}

const std::vector<uint8_t> kDirTag = Tag("CUpdateDir");
const std::vector<uint8_t> kElemTag = Tag("CUpdateElem");
constexpr int kEnd = CArchiveException::endOfFile;
constexpr int kBadIndex = CArchiveException::badIndex;
constexpr int kBadClass = CArchiveException::badClass;
constexpr int kBadSchema = CArchiveException::badSchema;

INSTANTIATE_TEST_SUITE_P(
    Loader, MalformedArchive,
    ::testing::Values(
        Malformed{"Empty", {}, kEnd}, Malformed{"TypeCountPastTheEnd", {0, 0, 5, 0}, kEnd},
        Malformed{"HugeTypeCount", {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, kEnd},
        Malformed{"UnknownClass", Cat({{0, 0, 1, 0}, Tag("CPieceElem"), {0x5D, 1, 0, 0}}),
                  kBadClass},
        Malformed{"WrongSchema", Cat({{0, 0, 1, 0}, Tag("CUpdateDir", 2), {0x5D, 1, 0, 0}}),
                  kBadSchema},
        Malformed{"EntryWhereATypeBelongs", Cat({{0, 0, 1, 0}, kElemTag, {1, 0, 0, 0, 0, 0}}),
                  kBadClass},
        Malformed{"DirectoryWhereAnEntryBelongs",
                  Cat({{0, 0, 1, 0}, kDirTag, {0x5D, 1, 1, 0}, {0x01, 0x80, 1, 0, 0, 0, 0, 0}}),
                  kBadClass},
        Malformed{"NullTag", Cat({{0, 0, 1, 0}, {0, 0, 0x5D, 1, 0, 0}}), kBadIndex},
        Malformed{"ObjectBackReference",
                  Cat({{0, 0, 2, 0}, kDirTag, {0x5D, 1, 0, 0}, {0x02, 0x00, 0x5E, 1, 0, 0}}),
                  kBadIndex},
        Malformed{"ClassReferenceToAnObject",
                  Cat({{0, 0, 2, 0}, kDirTag, {0x5D, 1, 0, 0}, {0x02, 0x80, 0x5E, 1, 0, 0}}),
                  kBadIndex},
        Malformed{"ClassReferenceNeverIntroduced", Cat({{0, 0, 1, 0}, {0x07, 0x80, 0x5D, 1, 0, 0}}),
                  kBadIndex},
        Malformed{"BigTagWithoutClassFlag",
                  Cat({{0, 0, 1, 0}, {0xFF, 0x7F, 1, 0, 0, 0, 0x5D, 1, 0, 0}}), kBadIndex},
        Malformed{"EntryCountPastTheEnd", Cat({{0, 0, 1, 0}, kDirTag, {0x5D, 1, 0xFF, 0xFE}}),
                  kEnd},
        Malformed{"EntryLengthPastTheEnd",
                  Cat({{0, 0, 1, 0},
                       kDirTag,
                       {0x5D, 1, 1, 0},
                       kElemTag,
                       {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}}),
                  kEnd},
        Malformed{"EntryDataRunsIntoTheTrailer",
                  Cat({{0, 0, 1, 0}, kDirTag, {0x5D, 1, 1, 0}, kElemTag, {1, 0, 4, 0, 0, 0, 'a'}}),
                  kEnd},
        Malformed{"ClassNameLongerThanAnyClass",
                  Cat({{0, 0, 1, 0}, {0xFF, 0xFF, 1, 0, 200, 0}, std::vector<uint8_t>(200, 'A')}),
                  kBadClass}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UpdateArchive, TrailerPointingOutsideTheFileOrIntoItselfIsRefused) {
    TempDir dir;
    const std::string path = dir / "bad.exe";
    // Base past the end of the file: a file error.
    WriteFile(path, Cat({Prefix(20), {0xFF, 0, 0, 0, 0x4B, 0x47}}));
    {
        CFile f(path, CFile::modeRead);
        EXPECT_THROW(ArchiveIndex::Load(f), CFileException);
        CUpdateArchive archive;
        EXPECT_THROW(archive.BeginUpdate(path), CFileException);
    }
    // Base inside the trailer itself: an archive error.
    WriteFile(path, Cat({Prefix(20), {22, 0, 0, 0, 0x4B, 0x47}}));
    {
        CFile f(path, CFile::modeRead);
        EXPECT_THROW(ArchiveIndex::Load(f), CArchiveException);
        CUpdateArchive archive;
        EXPECT_THROW(archive.BeginUpdate(path), CArchiveException);
    }
    // A file too short for a trailer: no archive for the index, a seek
    // error for the writer.
    WriteFile(path, {0x4B, 0x47});
    {
        CFile f(path, CFile::modeRead);
        EXPECT_FALSE(ArchiveIndex::Load(f).has_value());
        CUpdateArchive archive;
        try {
            archive.BeginUpdate(path);
            FAIL();
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::badSeek);
        }
    }
}

// Only the trailer's word at the very end makes a file an e-book, and only
// when the whole trailer fits; the span and the file say the same.
TEST(UpdateArchive, AFileIsAnEBookWhenItEndsInTheTrailer) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool isBook;
    };
    const Case cases[] = {
        {{}, false},
        {{0x4B, 0x47}, false},  // too short for a trailer
        {{0, 0, 0, 0, 0x4B, 0x47}, true},
        {Cat({Prefix(40), test::kWorkedExampleArchive}), true},
        {{3, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0}, false},  // a project file's last flags
        {{0, 0, 0, 0, 0x47, 0x4B}, false},
        {{0, 0, 0, 0, 0x4B, 0x47, 0}, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        EXPECT_EQ(EndsWithArchiveTrailer(c.bytes), c.isBook) << c.bytes.size();
        WriteFile(dir / "file", c.bytes);
        EXPECT_EQ(EndsWithArchiveTrailer(dir / "file"), c.isBook) << c.bytes.size();
    }
    EXPECT_FALSE(EndsWithArchiveTrailer(dir / "missing"));
    EXPECT_FALSE(EndsWithArchiveTrailer(dir.Path().string()));  // a folder
}

}  // namespace
}  // namespace folivex

namespace folivex {
namespace {

// Thousands of damaged copies of a small archive: each loads or is refused
// with an error, never a crash or a read past the end.
TEST(UpdateArchive, RandomDamageIsLoadedOrRefusedNeverACrash) {
    TempDir dir;
    const std::string good = dir / "good.exe";
    WriteFile(good, Prefix(64));
    Update(good, {{349, 1, "page one"}, {349, 3, "three"}, {350, 2, "dir"}, {350, 14, "EBOOK"}});
    const auto original = ReadFile(good);
    std::mt19937 gen(7);
    const std::string path = dir / "bad.exe";
    int refused = 0;
    for (int round = 0; round < 500; ++round) {
        auto bytes = original;
        const int hits = 1 + static_cast<int>(gen() % 3);
        for (int h = 0; h < hits; ++h)
            bytes[64 + gen() % (bytes.size() - 64)] = static_cast<uint8_t>(gen());
        WriteFile(path, bytes);
        try {
            CFile file(path, CFile::modeRead);
            if (const auto index = ArchiveIndex::Load(file)) {
                for (const auto& e : index->Entries()) {
                    std::vector<uint8_t> data;
                    ArchiveIndex::ReadData(file, e, data);
                    EXPECT_EQ(data.size(), e.length);
                    EXPECT_LE(e.dataOffset + e.length, index->BodyEnd());
                }
            }
            CUpdateArchive archive;
            archive.BeginUpdate(path);
        } catch (const CException&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 25);
}

}  // namespace
}  // namespace folivex
