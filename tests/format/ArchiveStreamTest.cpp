// The streamed archive against the writer: the same entries given to
// CUpdateArchive one by one and to ArchiveStream give the same file, and the
// stream keeps the writer's limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "format/ArchiveStream.h"
#include "format/UpdateArchive.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::ReadFile;
using test::WriteFile;

struct Item {
    int type, id;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> ByWriter(const std::string& path, const std::vector<uint8_t>& head,
                              const std::vector<Item>& items) {
    WriteFile(path, head);
    CUpdateArchive archive;
    archive.BeginUpdate(path);
    for (const Item& item : items)
        archive.UpdateEntry(item.type, item.id, item.data.data(), item.data.size());
    archive.EndUpdate();
    return ReadFile(path);
}

std::vector<uint8_t> ByStream(const std::string& path, const std::vector<uint8_t>& head,
                              const std::vector<Item>& items) {
    WriteFile(path, head);
    std::vector<ArchiveStream::TypePlan> plan;
    for (const Item& item : items) {
        if (plan.empty() || plan.back().type != item.type) plan.push_back({item.type, 0});
        ++plan.back().entries;
    }
    ArchiveStream stream(path, plan);
    for (const Item& item : items) stream.Add(item.type, item.id, item.data);
    stream.Finish();
    return ReadFile(path);
}

TEST(ArchiveStream, WritesTheWritersBytes) {
    test::TempDir dir;
    std::mt19937 random(3);
    const std::vector<uint8_t> head(1000, 0x4D);
    // From one entry up to more class numbers than a 16-bit tag holds
    // (0x7FFF), with entries of every small size.
    for (const int pages : {1, 2, 40, 17000}) {
        std::vector<Item> items;
        for (int i = 0; i < pages; ++i) {
            std::vector<uint8_t> data(1 + random() % 40);
            for (auto& b : data) b = static_cast<uint8_t>(random());
            items.push_back({349, i * 2 + 1, std::move(data)});
        }
        for (const int id : {2, 15, 3, 6, 7, 14})
            items.push_back({350, id, std::vector<uint8_t>(1 + id, 0x20)});
        EXPECT_EQ(ByStream(dir / "stream.exe", head, items),
                  ByWriter(dir / "writer.exe", head, items))
            << pages << " pages";
    }
    // Only the book type, as for a project without included pages.
    const std::vector<Item> bookOnly = {{350, 3, std::vector<uint8_t>(56, 1)},
                                        {350, 14, {0x45, 0}}};
    EXPECT_EQ(ByStream(dir / "stream.exe", head, bookOnly),
              ByWriter(dir / "writer.exe", head, bookOnly));
}

TEST(ArchiveStream, CallsOutsideThePlanAreRefused) {
    test::TempDir dir;
    WriteFile(dir / "book.exe", std::vector<uint8_t>(100, 1));
    {
        ArchiveStream stream(dir / "book.exe", {{349, 1}, {350, 1}});
        EXPECT_THROW(stream.Add(350, 3, std::vector<uint8_t>{1}), std::logic_error);  // 349 first
        stream.Add(349, 1, std::vector<uint8_t>{1});
        EXPECT_THROW(stream.Add(349, 2, std::vector<uint8_t>{1}),
                     std::logic_error);  // one 349 only
        EXPECT_THROW(stream.Add(350, 3, std::vector<uint8_t>{}),
                     std::logic_error);                   // empty means delete
        EXPECT_THROW(stream.Finish(), std::logic_error);  // 350 missing
    }
    EXPECT_THROW(ArchiveStream(dir / "missing.exe", {{350, 1}}), CFileException);
}

TEST(ArchiveStream, StopsBeforeTheFileWouldPassFourGiB) {
    test::TempDir dir;
    const std::string path = dir / "big.exe";
    WriteFile(path, {});
    // Sparse: takes no room on disk.
    std::filesystem::resize_file(path, kMaxBookFileSize - 200);
    {
        ArchiveStream stream(path, {{349, 2}, {350, 1}});
        stream.Add(349, 1, std::vector<uint8_t>(100, 7));
        try {
            stream.Add(349, 2, std::vector<uint8_t>(100, 7));
            FAIL() << "no limit error";
        } catch (const ArchiveLimitError& e) {
            EXPECT_NE(std::string(e.what()).find("4 GiB (4,294,967,295 bytes)"), std::string::npos)
                << e.what();
        }
    }

    std::filesystem::resize_file(path, kMaxBookFileSize + 1);
    EXPECT_THROW(ArchiveStream(path, {{350, 1}}), ArchiveLimitError);
}

}  // namespace
}  // namespace folivex
