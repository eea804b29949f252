// Folder listing on Windows: FindFirstFileW/FindNextFileW with the hidden
// attribute; a folder's identity is its volume serial number and file index.
// Names come back as UTF-8.
#include <windows.h>

#include <algorithm>

#include "platform/DirEnum.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

bool IdentityOf(const std::string& path, uint64_t& device, uint64_t& inode) {
    // FILE_FLAG_BACKUP_SEMANTICS lets CreateFile open a folder.
    HANDLE h = CreateFileW(WidePath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    device = info.dwVolumeSerialNumber;
    inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// The full path of path, lower-cased; empty when the system cannot form it.
std::string FullPathNoCase(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    const DWORD n = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (n == 0 || n >= need) return {};
    full.resize(n);
    return ToLowerSystem(Narrow(full));
}

// The folder's native path ending in a separator, which its items' names
// are appended to.
std::string FolderBase(const std::string& folder) {
    return JoinStoredPath(NativePath(folder), "");
}

// Starts listing the folder whose FolderBase is base.
HANDLE FindFirstIn(const std::string& base, WIN32_FIND_DATAW& data) {
    const std::string search = (base.empty() ? std::string("\\") : base) + "*";
    return FindFirstFileW(WidePath(search).c_str(), &data);
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<DirItem>& items, std::string* whyNot) {
    items.clear();
    const std::string base = FolderBase(folder);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstIn(base, data);
    if (find == INVALID_HANDLE_VALUE) {
        if (whyNot) *whyNot = SystemErrorText(static_cast<long>(GetLastError()));
        return false;
    }
    do {
        DirItem item;
        item.name = Narrow(data.cFileName);
        if (item.name == "." || item.name == "..") continue;
        item.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        if (item.isFolder && !item.isHidden) IdentityOf(base + item.name, item.device, item.inode);
        items.push_back(std::move(item));
    } while (FindNextFileW(find, &data));
    FindClose(find);

    std::vector<std::pair<std::string, DirItem>> keyed;
    keyed.reserve(items.size());
    for (auto& item : items) keyed.emplace_back(ToLowerSystem(item.name), std::move(item));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (const int order = a.first.compare(b.first); order != 0) return order < 0;
        return a.second.name < b.second.name;
    });
    items.clear();
    for (auto& k : keyed) items.push_back(std::move(k.second));
    return true;
}

std::optional<std::string> FolderListingError(const std::string& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstIn(FolderBase(folder), data);
    if (find == INVALID_HANDLE_VALUE) return SystemErrorText(static_cast<long>(GetLastError()));
    FindClose(find);
    return std::nullopt;
}

bool FolderIdentity(const std::string& folder, uint64_t& device, uint64_t& inode) {
    return IdentityOf(NativePath(folder), device, inode);
}

KnownFile::KnownFile(const std::string& path) : m_fullPath(FullPathNoCase(NativePath(path))) {
    m_exists = !m_fullPath.empty();
}

bool KnownFile::Is(const std::string& folder, const DirItem& item) const {
    // The names are compared first: a full path is formed only for the
    // item that could be the file.
    if (!m_exists || item.isFolder || m_fullPath.size() < item.name.size() ||
        m_fullPath.compare(m_fullPath.size() - item.name.size(), std::string::npos,
                           ToLowerSystem(item.name)) != 0)
        return false;
    return FullPathNoCase(JoinNativePath(NativePath(folder), item.name)) == m_fullPath;
}

}  // namespace folivex
