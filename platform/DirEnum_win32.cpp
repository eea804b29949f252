// Folder listing on Windows: FindFirstFile/FindNextFile with the hidden
// attribute; a folder's identity is its volume serial number and file index.
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "platform/DirEnum.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace folivex {

namespace {

bool IdentityOf(const std::string& path, uint64_t& device, uint64_t& inode) {
    // FILE_FLAG_BACKUP_SEMANTICS lets CreateFile open a folder.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    device = info.dwVolumeSerialNumber;
    inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<DirItem>& items) {
    items.clear();
    const std::string base = JoinStoredPath(NativePath(folder), "");
    const std::string search = (base.empty() ? std::string("\\") : base) + "*.*";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        DirItem item;
        item.name = data.cFileName;
        if (item.name == "." || item.name == "..") continue;
        item.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        if (item.isFolder && !item.isHidden) IdentityOf(base + item.name, item.device, item.inode);
        items.push_back(std::move(item));
    } while (FindNextFileA(find, &data));
    FindClose(find);

    std::vector<std::pair<std::string, DirItem>> keyed;
    keyed.reserve(items.size());
    for (auto& item : items) keyed.emplace_back(ToLowerSystem(item.name), std::move(item));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return a.second.name < b.second.name;
    });
    items.clear();
    for (auto& k : keyed) items.push_back(std::move(k.second));
    return true;
}

bool FolderIdentity(const std::string& folder, uint64_t& device, uint64_t& inode) {
    return IdentityOf(NativePath(folder), device, inode);
}

std::optional<std::string> FolderListingError(const std::string& folder) {
    const std::string base = JoinStoredPath(NativePath(folder), "");
    const std::string search = (base.empty() ? std::string("\\") : base) + "*.*";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return std::system_category().message(static_cast<int>(GetLastError()));
    FindClose(find);
    return std::nullopt;
}

}  // namespace folivex
