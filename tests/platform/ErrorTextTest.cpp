// The texts that file and archive errors show, to the letter.
#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace folivex {
namespace {

// Each cause picks its own text and names the file, or "an unnamed file";
// a cause outside the table reads as the unknown error. The texts
// themselves are Exceptions.cpp's; these rows check the lookup at both ends
// of each table and the file name put in.
TEST(ErrorText, EachCauseNamesTheFile) {
    const std::pair<std::string, std::string> cases[] = {
        {CFileException(CFileException::none, "C:\\b.ebp").Description(), "No error occurred."},
        {CFileException(CFileException::fileNotFound, "C:\\b.ebp").Description(),
         "C:\\b.ebp was not found."},
        {CFileException(CFileException::badSeek, "C:\\b.ebp").Description(),
         "Seek failed on C:\\b.ebp"},
        {CFileException(CFileException::endOfFile, "C:\\b.ebp").Description(),
         "An attempt was made to access C:\\b.ebp past its end."},
        {CFileException(static_cast<CFileException::Cause>(99), "x").Description(),
         "An unknown error occurred while accessing x."},
        {CArchiveException(CArchiveException::endOfFile).Description(),
         "An attempt was made to access an unnamed file past its end."},
        {CArchiveException(CArchiveException::badSchema).Description(),
         "an unnamed file contains an incorrect schema."},
        {CArchiveException(CArchiveException::badClass, "/p/b.ebp").Description(),
         "/p/b.ebp contained an unexpected object."},
    };
    for (const auto& [description, text] : cases) EXPECT_EQ(description, text);
}

TEST(ErrorText, MessageIsPrefixLineBreakAndDescriptionCutAt255) {
    EXPECT_EQ(
        FileErrorMessage("Cannot open E-Book Project",
                         CArchiveException(CArchiveException::endOfFile)),
        "Cannot open E-Book Project\nAn attempt was made to access an unnamed file past its end.");
    const std::string longName(300, 'n');
    const std::string message =
        FileErrorMessage("P", CFileException(CFileException::fileNotFound, longName));
    EXPECT_EQ(message, "P\n" + std::string(255, 'n'));
    // A UTF-8 description is never cut inside a character.
    const std::string accented = std::string(254, 'a') + "\xC3\xA9";
    const std::string cut =
        FileErrorMessage("P", CFileException(CFileException::fileNotFound, accented));
    EXPECT_EQ(cut, "P\n" + std::string(254, 'a'));
}

TEST(ErrorText, InsertFileNameReplacesEveryPlaceholder) {
    EXPECT_EQ(InsertFileName("%1 and %1", "f"), "f and f");
    EXPECT_EQ(InsertFileName("%1", ""), "an unnamed file");
    EXPECT_EQ(InsertFileName("100%", "f"), "100%");
}

}  // namespace
}  // namespace folivex
