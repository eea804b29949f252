// CFile: an open file on disk, the way the rest of the program sees one.
//
// Paths are given in the stored form ("\" or "/" separators); before touching
// the disk they pass through NativePath(), which converts separators and, on a
// case-sensitive file system, finds each missing component without regard to
// case. Every failure throws CFileException with the cause mapped from the
// system error and the path as given by the caller.
//
// Share mode shareExclusive takes an exclusive lock for as long as the file is
// open (flock on POSIX, share mode 0 on Windows); a file locked by someone
// else gives sharingViolation.
//
// Test seam: FaultPlan (FaultInjection.h) can make any call fail on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Exceptions.h"

namespace folivex {

// A folder held open, so that the files below it can be opened by their
// paths below it (CFile::OpenBelow): the system then walks only that part
// of each path, where a full path is walked from the root again for every
// one of the thousands of files a check reads. On Windows, and when the
// folder cannot be opened, files are opened by their full paths.
class CFolderHandle {
public:
    explicit CFolderHandle(const std::string& nativePath);
    CFolderHandle(const CFolderHandle&) = delete;
    CFolderHandle& operator=(const CFolderHandle&) = delete;
    ~CFolderHandle();

private:
    friend class CFile;
    std::string m_path;
    intptr_t m_handle = -1;  // fd on POSIX; none on Windows
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        modeNoTruncate = 0x0100,  // with modeCreate: keep an existing file's bytes
        modeCreate = 0x1000,      // create, or truncate an existing file
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    // Opens at once; throws CFileException on failure.
    CFile(const std::string& path, unsigned openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes the file if it is open; never throws.
    virtual ~CFile();

    // Opens path; throws CFileException. Any file open before is closed first.
    virtual void Open(const std::string& path, unsigned openFlags);
    // Opens path as Open does, but by its part below folder when it lies
    // below it (native path; errors still name path).
    void OpenBelow(const CFolderHandle& folder, const std::string& path, unsigned openFlags);
    // Closes; throws CFileException only if the system reports a failure.
    virtual void Close();
    // Closes, ignoring every failure.
    void Abort() noexcept;
    // Abort, on a thread of its own where there is one to be had: closing
    // the last handle of a file that was replaced frees its space, which
    // for a large file takes the system milliseconds the caller need not
    // wait for.
    void AbortInBackground() noexcept;
    bool IsOpen() const { return m_hFile != kInvalid; }

    // Reads up to count bytes; returns how many were read (fewer only at the
    // end of the file). Throws on a read error.
    virtual size_t Read(void* buffer, size_t count);
    // Reads up to count bytes starting at offset, leaving the file position
    // alone (pread on POSIX); returns how many were read (fewer only at the
    // end of the file). Throws on a read error.
    size_t ReadAt(uint64_t offset, void* buffer, size_t count);
    // Writes all count bytes or throws (diskFull when the disk is full).
    virtual void Write(const void* buffer, size_t count);
    // Returns the new position; a position before the start throws badSeek.
    virtual uint64_t Seek(int64_t offset, SeekPosition from);
    uint64_t SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }
    virtual uint64_t GetPosition() const;
    virtual uint64_t GetLength() const;
    // The length the file had when it was opened, for reading it whole:
    // POSIX learns it while opening, which spares a system call for each
    // of the thousands of files a build reads.
    uint64_t LengthWhenOpened() const;
    virtual void SetLength(uint64_t newLength);
    virtual void Flush();

    // The path as the caller gave it (the name error messages carry).
    const std::string& GetFilePath() const { return m_strFileName; }

    // Deletes a file; throws CFileException.
    static void Remove(const std::string& path);
    // Renames from over to (replacing it); throws CFileException naming to.
    static void Rename(const std::string& from, const std::string& to);
    // True when path names an existing file or folder.
    static bool Exists(const std::string& path);

protected:
    [[noreturn]] void ThrowOsError(long osError) const;

    static constexpr intptr_t kInvalid = -1;
    intptr_t m_hFile = kInvalid;  // fd on POSIX, HANDLE on Windows
    std::string m_strFileName;
    uint64_t m_lengthWhenOpened = 0;  // POSIX only
};

}  // namespace folivex
