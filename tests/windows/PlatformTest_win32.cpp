// The Windows platform layer for real (under wine64 here): UTF-8 names
// through the wide API, paths longer than MAX_PATH, listings and errors.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/DirEnum.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileReplace.h"
#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Utf8.h"
#include "platform/Wide.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

struct Conversion {
    const char* utf8;
    const wchar_t* wide;
};

TEST(Wide, TakesUtf8AndReadsOtherBytesAsWindows1252) {
    const Conversion cases[] = {
        {"", L""},
        {"Zo\xC3\xAB", L"Zo\u00eb"},
        {"\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.exe", L"\u043a\u043d\u0438\u0433\u0430.exe"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},  // a surrogate pair in UTF-16
        // A UTF-8 folder joined with a name stored in Windows-1252.
        {"Zo\xC3\xAB\\caf\xE9.htm", L"Zo\u00eb\\caf\u00e9.htm"},
        {"\x80\x8A", L"\u20ac\u0160"},
        {"\xED\xA0\x80", L"\u00ed\u00a0\u20ac"},  // an encoded surrogate is no UTF-8
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(Widen(c.utf8), c.wide) << c.utf8;
        if (IsValidUtf8(c.utf8)) {
            EXPECT_EQ(Narrow(c.wide), c.utf8) << c.utf8;
        }
    }
    EXPECT_EQ(Narrow(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Wide, PathsPastMaxPathTakeTheExtendedForm) {
    const std::string longName(300, 'a');
    EXPECT_EQ(WidePath("C:\\book\\page.htm"), L"C:\\book\\page.htm");
    EXPECT_EQ(WidePath("page.htm"), L"page.htm");
    EXPECT_EQ(WidePath("C:\\" + longName + "\\x.htm"),
              L"\\\\?\\C:\\" + Widen(longName) + L"\\x.htm");
    // The extended form is taken as it is: separators and ".." are settled
    // before it is made.
    EXPECT_EQ(WidePath("C:/" + longName + "/../b/x.htm"), L"\\\\?\\C:\\b\\x.htm");
    EXPECT_EQ(WidePath("\\\\server\\share\\" + longName),
              L"\\\\?\\UNC\\server\\share\\" + Widen(longName));
    const std::string extended = "\\\\?\\C:\\" + longName;
    EXPECT_EQ(WidePath(extended), Widen(extended));
}

void MakeFolder(const std::string& path) {
    ASSERT_TRUE(CreateDirectoryW(WidePath(path).c_str(), nullptr)) << path;
}

void WriteWhole(const std::string& path, const std::string& text) {
    CFile file(path, CFile::modeCreate | CFile::modeWrite);
    file.Write(text.data(), text.size());
    file.Close();
}

std::string ReadWhole(const std::string& path) {
    CFile file(path, CFile::modeRead);
    std::string text(static_cast<size_t>(file.GetLength()), '\0');
    EXPECT_EQ(file.Read(text.data(), text.size()), text.size());
    return text;
}

class WindowsFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    const std::string root = dir.Path().string();
};

TEST_F(WindowsFiles, NamesInAnyScriptAreMadeListedAndReadBack) {
    const std::string folder = root + "\\Zo\xC3\xAB";
    MakeFolder(folder);
    const std::set<std::string> names = {"\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.htm",  // книга
                                         "Caf\xC3\xA9.html", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
                                         "\xF0\x9F\x98\x80.png"};
    for (const std::string& name : names) WriteWhole(folder + "\\" + name, name);

    std::vector<DirItem> items;
    ASSERT_TRUE(ListFolder(folder, items));
    std::set<std::string> listed;
    for (const DirItem& item : items) listed.insert(item.name);
    EXPECT_EQ(listed, names);
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](const DirItem& a, const DirItem& b) {
        return ToLowerSystem(a.name) < ToLowerSystem(b.name);
    }));
    for (const std::string& name : names) {
        const std::string path = folder + "\\" + name;
        EXPECT_TRUE(CFile::Exists(path)) << name;
        EXPECT_EQ(ReadWhole(path), name);
        const auto stamp = StampOfFile(path);
        ASSERT_TRUE(stamp.has_value()) << name;
        EXPECT_EQ(stamp->size, name.size());
    }
    // The file system ignores case by Windows' own rules; the name as the
    // program spells it in another case still opens the file.
    EXPECT_EQ(ReadWhole(folder + "\\CAF\xC3\x89.HTML"), "Caf\xC3\xA9.html");

    const std::string renamed = folder + "\\\xD0\x9A\xD0\x9D\xD0\x98\xD0\x93\xD0\x90-2.htm";
    CFile::Rename(folder + "\\" + *names.begin(), renamed);
    EXPECT_EQ(ReadWhole(renamed), *names.begin());
    CFile::Remove(renamed);
    EXPECT_FALSE(CFile::Exists(renamed));
}

TEST_F(WindowsFiles, PathsLongerThanMaxPathWork) {
    std::vector<std::string> folders;
    std::string folder = root;
    while (folder.size() < 400) {
        folder += "\\" + std::string(40, 'd') + "\xC3\xA9";
        MakeFolder(folder);
        folders.push_back(folder);
    }
    const std::string page = folder + "\\page.html";
    WriteWhole(page, "first");
    EXPECT_EQ(ReadWhole(page), "first");
    EXPECT_TRUE(StampOfFile(page).has_value());

    std::vector<DirItem> items;
    ASSERT_TRUE(ListFolder(folder, items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "page.html");
    EXPECT_TRUE(KnownFile(page).Is(folder, items[0]));

    // A save replaces the file through a temporary file beside it.
    {
        FileReplacement replacement(page, ".saving");
        CFile out;
        replacement.Begin(out);
        EXPECT_FALSE(replacement.InPlace());
        out.Write("second", 6);
        out.Close();
        replacement.Commit();
    }
    EXPECT_EQ(ReadWhole(page), "second");
    EXPECT_FALSE(CFile::Exists(page + ".saving"));

    CFile::Remove(page);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        EXPECT_TRUE(RemoveDirectoryW(WidePath(*it).c_str())) << *it;
}

TEST_F(WindowsFiles, ErrorsNameTheFileAndReadAsUtf8) {
    const std::string missing = root + "\\\xD0\xBD\xD0\xB5\xD1\x82.htm";  // нет.htm
    try {
        CFile file(missing, CFile::modeRead);
        FAIL() << "opened a file that is not there";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.Description(), missing + " was not found.");
    }
    const auto why = FolderListingError(root + "\\Zo\xC3\xAB-missing");
    ASSERT_TRUE(why.has_value());
    EXPECT_FALSE(why->empty());
    EXPECT_TRUE(IsValidUtf8(*why)) << *why;
    EXPECT_TRUE(IsValidUtf8(SystemErrorText(ERROR_ACCESS_DENIED)));
}

}  // namespace
}  // namespace folivex
