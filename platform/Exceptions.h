// File and archive errors, as the file layer raises them and ReportFileError
// shows them.
//
// A CFileException carries the cause from the table of file-error texts and
// the name of the file it concerns; a CArchiveException carries the cause from
// the table of archive-error texts and, except for an archive that ends early,
// the name of the file being read. Description() gives the text that a message
// box shows below its prefix: the cause's text with %1 replaced by the file
// name, or by "an unnamed file" when there is none.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace folivex {

// Common root of the two error kinds, so that one handler can report either.
class CException : public std::exception {
public:
    explicit CException(std::string fileName) : m_strFileName(std::move(fileName)) {}
    ~CException() override = default;

    // The description for this error's cause with the file name put in. Not
    // cut: ReportFileError cuts it to 255 characters.
    virtual std::string Description() const = 0;
    const char* what() const noexcept override;

    std::string m_strFileName;

private:
    mutable std::string m_what;
};

class CFileException : public CException {
public:
    enum Cause : int {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(Cause cause, std::string fileName, long osError = 0)
        : CException(std::move(fileName)), m_cause(cause), m_lOsError(osError) {}

    std::string Description() const override;

    // Maps a POSIX errno (or a Windows error code, in the _win32 build) to a
    // cause: not found, access denied, too many files, disk full, I/O, else
    // generic.
    static Cause OsErrorToCause(long osError);

    Cause m_cause;
    long m_lOsError;
};

class CArchiveException : public CException {
public:
    enum Cause : int {
        none = 0,
        genericException = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7,
    };

    explicit CArchiveException(Cause cause, std::string fileName = {})
        : CException(std::move(fileName)), m_cause(cause) {}

    std::string Description() const override;

    Cause m_cause;
};

// The system's own text for an error code (errno on POSIX, a Windows error
// code in the _win32 build), e.g. "Permission denied", without a line break.
std::string SystemErrorText(long osError);

// The text of a file-error or archive-error cause, with "%1" still in it.
// Causes outside the table give the generic text.
const char* FileErrorText(int cause);
const char* ArchiveErrorText(int cause);

// Replaces every "%1" in text with fileName, or with "an unnamed file" when
// fileName is empty.
std::string InsertFileName(const std::string& text, const std::string& fileName);

// What ReportFileError shows: prefix, "\n", the error's description cut to
// 255 characters.
std::string FileErrorMessage(const std::string& prefix, const CException& error);

}  // namespace folivex
