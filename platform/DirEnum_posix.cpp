// Folder listing on POSIX: readdir, then stat (which follows links) for the
// kind and identity of each item, sorted the way NTFS would list them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/DirEnum.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace folivex {

namespace {

void SortItems(std::vector<DirItem>& items) {
    // Sorts indexes by the lower-cased names, then moves each item once.
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const auto& item : items) keys.push_back(ToLowerSystem(item.name));
    std::vector<uint32_t> order(items.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        if (keys[a] != keys[b]) return keys[a] < keys[b];
        return items[a].name < items[b].name;
    });
    std::vector<DirItem> sorted;
    sorted.reserve(items.size());
    for (const uint32_t i : order) sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<DirItem>& items) {
    items.clear();
    const std::string native = NativePath(folder);
    DIR* dir = ::opendir(native.empty() ? "." : native.c_str());
    if (dir == nullptr) return false;
    // Items are looked at relative to the open folder: a full path would be
    // walked again by the kernel for every one of them.
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        DirItem item;
        item.name = e->d_name;
        if (item.name == "." || item.name == "..") continue;
        // A regular file needs no stat: its identity is never used. Folders
        // need theirs (link loops), and links and unknown kinds are
        // followed by stat to find out what they are.
        if (e->d_type == DT_REG) {
            item.isHidden = item.name[0] == '.';
            items.push_back(std::move(item));
            continue;
        }
        struct stat st;
        // A dangling link, or an item that vanished meanwhile, is left out.
        if (::fstatat(dirFd, e->d_name, &st, 0) != 0) continue;
        // Only folders and regular files: a FIFO or device would block or
        // never end when the build reads it.
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
        item.isFolder = S_ISDIR(st.st_mode);
        item.isHidden = item.name[0] == '.';
        item.device = static_cast<uint64_t>(st.st_dev);
        item.inode = static_cast<uint64_t>(st.st_ino);
        items.push_back(std::move(item));
    }
    ::closedir(dir);
    SortItems(items);
    return true;
}

bool FolderIdentity(const std::string& folder, uint64_t& device, uint64_t& inode) {
    const std::string native = NativePath(folder);
    struct stat st;
    if (::stat(native.empty() ? "." : native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

std::optional<std::string> FolderListingError(const std::string& folder) {
    const std::string native = NativePath(folder);
    DIR* dir = ::opendir(native.empty() ? "." : native.c_str());
    if (dir == nullptr) return std::generic_category().message(errno);
    ::closedir(dir);
    return std::nullopt;
}

}  // namespace folivex
