// The platform's part of replacing a file on Windows: links (reparse points)
// resolved through the handle's final path, the folder's right to new files
// asked by opening it for FILE_ADD_FILE, the attributes copied.
#include <windows.h>

#include "platform/FileReplace.h"
#include "platform/Wide.h"

namespace folivex {

std::string FollowFileLinks(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    // Opening follows the link; the handle knows where it ended.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring buffer(32768, L'\0');  // the longest path the system has
    const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n == 0 || n >= buffer.size()) return path;
    buffer.resize(n);
    const std::string final = Narrow(buffer);
    // The answer comes in the "\\?\" form; the rest of the program uses
    // the usual one.
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + final.substr(8);
    if (final.rfind("\\\\?\\", 0) == 0) return final.substr(4);
    return final;
}

bool FolderRefusesNewFiles(const std::string& folder) {
    // FILE_FLAG_BACKUP_SEMANTICS lets CreateFile open a folder; the access
    // asked for is the right to add a file to it.
    HANDLE h = CreateFileW(WidePath(folder).c_str(), FILE_ADD_FILE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
    }
    CloseHandle(h);
    return false;
}

void CopyFileMode(const std::string& from, const std::string& to) noexcept {
    // What Windows keeps of a file's mode besides its ACL, which a file
    // made in the same folder inherits alike.
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(WidePath(from).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    const DWORD copied = attributes & kept;
    SetFileAttributesW(WidePath(to).c_str(), copied ? copied : FILE_ATTRIBUTE_NORMAL);
}

void RenameOverHeld(CFile& held, const std::string& from, const std::string& to) {
    // Windows renames over no file that is held open.
    held.Close();
    CFile::Rename(from, to);
}

}  // namespace folivex
