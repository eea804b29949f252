// CFile on Windows: a HANDLE from CreateFileW; exclusive sharing is share
// mode 0. Paths are UTF-8, made wide at each call (Wide.h).
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/FaultInjection.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Wide.h"

namespace folivex {

CFileException::Cause CFileException::OsErrorToCause(long osError) {
    switch (osError) {
        case NO_ERROR: return none;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return fileNotFound;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY: return badPath;
        case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_NOT_READY:
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return accessDenied;
        case ERROR_INVALID_HANDLE: return invalidFile;
        case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
        case ERROR_CANNOT_MAKE: return directoryFull;
        case ERROR_SEEK:
        case ERROR_NEGATIVE_SEEK: return badSeek;
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE: return hardIO;
        case ERROR_SHARING_VIOLATION:
        case ERROR_SHARING_BUFFER_EXCEEDED: return sharingViolation;
        case ERROR_LOCK_VIOLATION:
        case ERROR_DRIVE_LOCKED:
        case ERROR_LOCK_FAILED: return lockViolation;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL: return diskFull;
        case ERROR_HANDLE_EOF: return endOfFile;
        default: return genericException;
    }
}

std::string SystemErrorText(long osError) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(osError), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = text ? Narrow(text) : "error " + std::to_string(osError);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == '.' || result.back() == ' '))
        result.pop_back();
    return result;
}

namespace {

HANDLE H(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

[[noreturn]] void ThrowLastError(const std::string& name) {
    const long err = static_cast<long>(GetLastError());
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

// Win32 opens no file relative to a folder's handle: the folder is only
// named, and its files are opened by their full paths.
CFolderHandle::CFolderHandle(const std::string& nativePath) : m_path(nativePath) {}

CFolderHandle::~CFolderHandle() = default;

void CFile::OpenBelow(const CFolderHandle&, const std::string& path, unsigned openFlags) {
    Open(path, openFlags);
}

void CFile::Open(const std::string& path, unsigned openFlags) {
    Abort();
    m_strFileName = path;
    FaultCheckCall(path.c_str());

    DWORD access = GENERIC_READ;
    if (openFlags & modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    else if (openFlags & modeWrite)
        access = GENERIC_WRITE;
    const DWORD share = (openFlags & shareExclusive) ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    DWORD disposition = OPEN_EXISTING;
    if (openFlags & modeCreate)
        disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE h = CreateFileW(WidePath(NativePath(path)).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) ThrowLastError(path);
    m_hFile = reinterpret_cast<intptr_t>(h);
}

void CFile::Close() {
    if (!IsOpen()) return;
    FaultCheckCall(m_strFileName.c_str());
    HANDLE h = H(m_hFile);
    m_hFile = kInvalid;
    if (!CloseHandle(h)) ThrowLastError(m_strFileName);
}

void CFile::Abort() noexcept {
    if (!IsOpen()) return;
    CloseHandle(H(m_hFile));
    m_hFile = kInvalid;
}

// Windows replaces no file that is held open: the handle is closed before
// the file is replaced, and closing it frees nothing.
void CFile::AbortInBackground() noexcept {
    Abort();
}

size_t CFile::Read(void* buffer, size_t count) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 0x40000000u));
        DWORD got = 0;
        if (!ReadFile(H(m_hFile), out + done, chunk, &got, nullptr)) ThrowLastError(m_strFileName);
        if (got == 0) break;
        done += got;
    }
    return done;
}

size_t CFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 0x40000000u));
        const uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(H(m_hFile), out + done, chunk, &got, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            ThrowLastError(m_strFileName);
        }
        if (got == 0) break;
        done += got;
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
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(allowed - done, 0x40000000u));
        DWORD put = 0;
        if (!WriteFile(H(m_hFile), in + done, chunk, &put, nullptr)) ThrowLastError(m_strFileName);
        if (put == 0) ThrowOsError(ERROR_DISK_FULL);
        done += put;
    }
    if (allowed < count) FaultThrowWrite(m_strFileName.c_str());
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(H(m_hFile), distance, &pos, method)) ThrowLastError(m_strFileName);
    return static_cast<uint64_t>(pos.QuadPart);
}

uint64_t CFile::GetPosition() const {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(H(m_hFile), zero, &pos, FILE_CURRENT)) ThrowLastError(m_strFileName);
    return static_cast<uint64_t>(pos.QuadPart);
}

uint64_t CFile::GetLength() const {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(H(m_hFile), &size)) ThrowLastError(m_strFileName);
    return static_cast<uint64_t>(size.QuadPart);
}

uint64_t CFile::LengthWhenOpened() const {
    return CFile::GetLength();  // opening tells Windows nothing of it
}

void CFile::SetLength(uint64_t newLength) {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(newLength);
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(H(m_hFile), distance, &pos, FILE_BEGIN) || !SetEndOfFile(H(m_hFile)))
        ThrowLastError(m_strFileName);
}

void CFile::Flush() {
    FaultCheckCall(m_strFileName.c_str());
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, m_strFileName);
    if (!FlushFileBuffers(H(m_hFile))) ThrowLastError(m_strFileName);
}

void CFile::Remove(const std::string& path) {
    FaultCheckCall(path.c_str());
    if (!DeleteFileW(WidePath(NativePath(path)).c_str())) ThrowLastError(path);
}

void CFile::Rename(const std::string& from, const std::string& to) {
    FaultCheckCall(to.c_str());
    // Replacing a file that exists takes MOVEFILE_REPLACE_EXISTING; a file
    // that is running or held open with share mode 0 is not replaced.
    if (!MoveFileExW(WidePath(NativePath(from)).c_str(), WidePath(NativePath(to)).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowLastError(to);
}

bool CFile::Exists(const std::string& path) {
    return GetFileAttributesW(WidePath(NativePath(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace folivex
