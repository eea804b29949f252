// CFile on POSIX: a file descriptor; exclusive sharing is a non-blocking
// exclusive flock held while the file is open.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/FaultInjection.h"
#include "platform/File.h"
#include "platform/Path.h"

namespace folivex {

CFileException::Cause CFileException::OsErrorToCause(long osError) {
    switch (osError) {
        case 0: return none;
        case ENOENT:
        case ENOTDIR: return fileNotFound;
        case ENAMETOOLONG:
        case ELOOP: return badPath;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return accessDenied;
        case EMFILE:
        case ENFILE: return tooManyOpenFiles;
        case EBADF: return invalidFile;
        case ESPIPE: return badSeek;
        case EIO: return hardIO;
        case EWOULDBLOCK: return sharingViolation;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG: return diskFull;
        default: return genericException;
    }
}

std::string SystemErrorText(long osError) {
    return std::strerror(static_cast<int>(osError));
}

namespace {

int Fd(intptr_t h) {
    return static_cast<int>(h);
}

[[noreturn]] void ThrowErrno(const std::string& name, int err) {
    throw CFileException(CFileException::OsErrorToCause(err), name, err);
}

}  // namespace

CFile::CFile(const std::string& path, unsigned openFlags) {
    Open(path, openFlags);
}

CFile::~CFile() {
    Abort();
}

void CFile::ThrowOsError(long osError) const {
    throw CFileException(CFileException::OsErrorToCause(osError), m_strFileName, osError);
}

namespace {

// The open(2) flags for CFile's mode bits.
int SystemOpenFlags(unsigned openFlags) {
    int flags = O_CLOEXEC;
    if (openFlags & CFile::modeReadWrite)
        flags |= O_RDWR;
    else if (openFlags & CFile::modeWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (openFlags & CFile::modeCreate) flags |= O_CREAT;
    return flags;
}

// name: relative to folder (AT_FDCWD: the current folder), or absolute.
int OpenRetrying(int folder, const char* name, int flags) {
    int fd;
    do {
        fd = ::openat(folder, name, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A file opened without creating it is found under its exact name in one
// system call when it is there (spelled, relative to folder; null for
// none); only a miss looks for another spelling of path (NativePath).
// Creating always resolves first, so that an existing file spelled
// otherwise is the one opened.
int OpenSpelledAnyhow(const std::string& path, int flags, int folder, const char* spelled) {
    int fd = -1;
    if (!(flags & O_CREAT) && spelled != nullptr) {
        fd = OpenRetrying(folder, spelled, flags);
        if (fd < 0 && errno != ENOENT && errno != ENOTDIR) ThrowErrno(path, errno);
    }
    if (fd < 0) {
        fd = OpenRetrying(AT_FDCWD, NativePath(path).c_str(), flags);
        if (fd < 0) ThrowErrno(path, errno);
    }
    return fd;
}

[[noreturn]] void CloseAndThrow(int fd, const std::string& path, int err) {
    ::close(fd);
    ThrowErrno(path, err);
}

// What follows the open itself; closes fd when it throws. Windows denies
// access to a folder opened as a file, and so do we. Truncation waits until
// the lock is held, so a file that someone else holds is never emptied by a
// failed open. Returns the file's length then.
uint64_t SettleOpened(int fd, const std::string& path, unsigned openFlags) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw CFileException(CFileException::accessDenied, path, EISDIR);
    }
    if ((openFlags & CFile::shareExclusive) && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        CloseAndThrow(fd, path, errno);
    const bool truncate = (openFlags & CFile::modeCreate) && !(openFlags & CFile::modeNoTruncate);
    if (truncate && ::ftruncate(fd, 0) != 0) CloseAndThrow(fd, path, errno);
    return truncate ? 0 : static_cast<uint64_t>(st.st_size);
}

// Opens path as OpenSpelledAnyhow does and settles it; the file's length
// then through length.
int OpenSettled(const std::string& path, unsigned openFlags, int folder, const char* spelled,
                uint64_t& length) {
    FaultCheckCall(path.c_str());
    const int fd = OpenSpelledAnyhow(path, SystemOpenFlags(openFlags), folder, spelled);
    length = SettleOpened(fd, path, openFlags);
    return fd;
}

}  // namespace

void CFile::Open(const std::string& path, unsigned openFlags) {
    Abort();
    m_strFileName = path;
    const std::string slashed = WithNativeSeparators(path);
    m_hFile = OpenSettled(path, openFlags, AT_FDCWD, slashed.empty() ? nullptr : slashed.c_str(),
                          m_lengthWhenOpened);
}

CFolderHandle::CFolderHandle(const std::string& nativePath)
    : m_path(nativePath),
      m_handle(OpenRetrying(AT_FDCWD, nativePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

CFolderHandle::~CFolderHandle() {
    if (m_handle >= 0) ::close(Fd(m_handle));
}

void CFile::OpenBelow(const CFolderHandle& folder, const std::string& path, unsigned openFlags) {
    const std::string& base = folder.m_path;
    const bool below = folder.m_handle >= 0 && path.size() > base.size() + 1 &&
                       path.starts_with(base) && path[base.size()] == '/';
    if (!below) return Open(path, openFlags);
    Abort();
    m_strFileName = path;
    m_hFile = OpenSettled(path, openFlags, Fd(folder.m_handle), path.c_str() + base.size() + 1,
                          m_lengthWhenOpened);
}

void CFile::Close() {
    if (!IsOpen()) return;
    FaultCheckCall(m_strFileName.c_str());
    const int fd = Fd(m_hFile);
    m_hFile = kInvalid;
    // Closing also drops the lock.
    if (::close(fd) != 0 && errno != EINTR) ThrowOsError(errno);
}

void CFile::Abort() noexcept {
    if (!IsOpen()) return;
    ::close(Fd(m_hFile));
    m_hFile = kInvalid;
}

void CFile::AbortInBackground() noexcept {
    if (!IsOpen()) return;
    const int fd = Fd(m_hFile);
    try {
        std::thread([fd] { ::close(fd); }).detach();
        m_hFile = kInvalid;
    } catch (const std::system_error&) {
        Abort();  // no thread to be had
    }
}

size_t CFile::Read(void* buffer, size_t count) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(Fd(m_hFile), out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t CFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n =
            ::pread(Fd(m_hFile), out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, size_t count) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    const size_t allowed = static_cast<size_t>(FaultAllowedBytes(count));
    size_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < allowed) {
        const ssize_t n = ::write(Fd(m_hFile), in + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (n == 0) ThrowOsError(ENOSPC);
        done += static_cast<size_t>(n);
    }
    if (allowed < count) FaultThrowWrite(m_strFileName.c_str());
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(Fd(m_hFile), static_cast<off_t>(offset), whence);
    if (pos < 0) {
        if (errno == EINVAL) throw CFileException(CFileException::badSeek, m_strFileName, EINVAL);
        ThrowOsError(errno);
    }
    return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetPosition() const {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    const off_t pos = ::lseek(Fd(m_hFile), 0, SEEK_CUR);
    if (pos < 0) ThrowOsError(errno);
    return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetLength() const {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    struct stat st;
    if (::fstat(Fd(m_hFile), &st) != 0) ThrowOsError(errno);
    return static_cast<uint64_t>(st.st_size);
}

uint64_t CFile::LengthWhenOpened() const {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    return m_lengthWhenOpened;
}

void CFile::SetLength(uint64_t newLength) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    if (::ftruncate(Fd(m_hFile), static_cast<off_t>(newLength)) != 0) ThrowOsError(errno);
}

void CFile::Flush() {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    if (::fsync(Fd(m_hFile)) != 0 && errno != EINVAL && errno != EROFS) ThrowOsError(errno);
}

void CFile::Remove(const std::string& path) {
    FaultCheckCall(path.c_str());
    if (::unlink(NativePath(path).c_str()) != 0) ThrowErrno(path, errno);
}

void CFile::Rename(const std::string& from, const std::string& to) {
    FaultCheckCall(to.c_str());
    const std::string nativeFrom = NativePath(from);
    // The target is named as given when it does not exist yet in any case.
    std::string nativeTo = NativePath(to);
    if (::rename(nativeFrom.c_str(), nativeTo.c_str()) != 0) ThrowErrno(to, errno);
}

bool CFile::Exists(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0;
}

}  // namespace folivex
