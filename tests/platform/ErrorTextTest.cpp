// The texts that file and archive errors show, to the letter.
#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace folivex {
namespace {

TEST(ErrorText, EveryFileErrorCauseNamesTheFile) {
    const char* expected[] = {
        "No error occurred.",
        "An unknown error occurred while accessing C:\\b.ebp.",
        "C:\\b.ebp was not found.",
        "C:\\b.ebp contains an invalid path.",
        "C:\\b.ebp could not be opened because there are too many open files.",
        "Access to C:\\b.ebp was denied.",
        "An invalid file handle was associated with C:\\b.ebp.",
        "C:\\b.ebp could not be removed because it is the current directory.",
        "C:\\b.ebp could not be created because the directory is full.",
        "Seek failed on C:\\b.ebp",
        "A hardware I/O error was reported while accessing C:\\b.ebp.",
        "A sharing violation occurred while accessing C:\\b.ebp.",
        "A locking violation occurred while accessing C:\\b.ebp.",
        "Disk full while accessing C:\\b.ebp.",
        "An attempt was made to access C:\\b.ebp past its end.",
    };
    for (int cause = 0; cause < 15; ++cause)
        EXPECT_EQ(
            CFileException(static_cast<CFileException::Cause>(cause), "C:\\b.ebp").Description(),
            expected[cause]);
    EXPECT_EQ(CFileException(static_cast<CFileException::Cause>(99), "x").Description(),
              "An unknown error occurred while accessing x.");
}

TEST(ErrorText, EveryArchiveErrorCauseAndTheUnnamedFile) {
    const char* expected[] = {
        "No error occurred.",
        "An unknown error occurred while accessing an unnamed file.",
        "An attempt was made to write to the reading an unnamed file.",
        "An attempt was made to access an unnamed file past its end.",
        "An attempt was made to read from the writing an unnamed file.",
        "an unnamed file has a bad format.",
        "an unnamed file contained an unexpected object.",
        "an unnamed file contains an incorrect schema.",
    };
    for (int cause = 0; cause < 8; ++cause)
        EXPECT_EQ(CArchiveException(static_cast<CArchiveException::Cause>(cause)).Description(),
                  expected[cause]);
    EXPECT_EQ(CArchiveException(CArchiveException::badClass, "/p/b.ebp").Description(),
              "/p/b.ebp contained an unexpected object.");
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
