// Listing a folder: stable order, hidden items, links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/DirEnum.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::TempDir;
using test::WriteText;

std::string Names(const std::vector<DirItem>& items) {
    std::string s;
    for (const auto& i : items) s += (s.empty() ? "" : " ") + i.name + (i.isFolder ? "/" : "");
    return s;
}

TEST(FolderListing, SortedByLowerCasedNameThenBytes) {
    TempDir dir;
    for (const char* name :
         {"b.htm", "A.htm", "a.htm", "C.png", "_x", "\xC3\x89t\xC3\xA9.htm", "Z"})
        WriteText(dir / name, "x");
    std::filesystem::create_directory(dir.Path() / "Guide");
    std::vector<DirItem> items;
    ASSERT_TRUE(ListFolder(dir.Path().string(), items));
    EXPECT_EQ(Names(items), "_x A.htm a.htm b.htm C.png Guide/ Z \xC3\x89t\xC3\xA9.htm");
}

TEST(FolderListing, HiddenLinksAndOddItems) {
    TempDir dir;
    WriteText(dir / ".hidden", "x");
    WriteText(dir / "real/page.htm", "x");
    std::filesystem::create_directory_symlink(dir.Path() / "real", dir.Path() / "link");
    std::filesystem::create_symlink(dir.Path() / "gone", dir.Path() / "dangling");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

    std::vector<DirItem> items;
    ASSERT_TRUE(ListFolder(dir.Path().string(), items));
    // The FIFO and the dangling link are left out; the link is a folder.
    ASSERT_EQ(Names(items), ".hidden link/ real/");
    EXPECT_TRUE(items[0].isHidden);
    EXPECT_FALSE(items[1].isHidden);
    EXPECT_EQ(items[1].device, items[2].device);
    EXPECT_EQ(items[1].inode, items[2].inode);
    uint64_t device = 0, inode = 0;
    ASSERT_TRUE(FolderIdentity(dir / "real", device, inode));
    EXPECT_EQ(inode, items[2].inode);
}

TEST(FolderListing, MissingOrNonFolderCannotBeListed) {
    TempDir dir;
    WriteText(dir / "file.txt", "x");
    std::vector<DirItem> items{DirItem{}};
    EXPECT_FALSE(ListFolder(dir / "missing", items));
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(ListFolder(dir / "file.txt", items));
    uint64_t device = 0, inode = 0;
    EXPECT_FALSE(FolderIdentity(dir / "file.txt", device, inode));
}

}  // namespace
}  // namespace folivex
