// Folder listing on POSIX: readdir, then stat (which follows links) for the
// kind and identity of each item, sorted the way NTFS would list them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/DirEnum.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace folivex {

namespace {

void SortItems(std::vector<DirItem>& items) {
    // Sorts (key, index) pairs by the lower-cased names, then moves each
    // item once. Most names are lower case already and are their own key;
    // only the others are lowered into keys of their own.
    std::vector<std::string> lowered;
    struct Key {
        std::string_view text;
        uint32_t index;
    };
    std::vector<Key> keys(items.size());
    lowered.reserve(
        static_cast<size_t>(std::count_if(items.begin(), items.end(), [](const DirItem& item) {
            return !IsLowerAscii(item.name);
        })));  // never reallocated
    for (uint32_t i = 0; i < items.size(); ++i) {
        const std::string& name = items[i].name;
        if (IsLowerAscii(name)) {
            keys[i] = {name, i};
        } else {
            lowered.push_back(ToLowerSystem(name));
            keys[i] = {lowered.back(), i};
        }
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (const int order = a.text.compare(b.text); order != 0) return order < 0;
        return items[a.index].name < items[b.index].name;
    });
    // Each item to its place, cycle by cycle: place i takes the item at
    // keys[i].index. In place, as a second list of a large folder's items
    // is memory the system must first hand out.
    for (uint32_t i = 0; i < keys.size(); ++i) {
        if (keys[i].index == i) continue;
        DirItem first = std::move(items[i]);
        uint32_t at = i;
        while (keys[at].index != i) {
            const uint32_t from = keys[at].index;
            items[at] = std::move(items[from]);
            keys[at].index = at;
            at = from;
        }
        items[at] = std::move(first);
        keys[at].index = at;
    }
}

DIR* OpenFolder(const std::string& folder) {
    const std::string native = NativePath(folder);
    return ::opendir(native.empty() ? "." : native.c_str());
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<DirItem>& items, std::string* whyNot) {
    items.clear();
    DIR* dir = OpenFolder(folder);
    if (dir == nullptr) {
        if (whyNot) *whyNot = std::strerror(errno);
        return false;
    }
    // Items are looked at relative to the open folder: a full path would be
    // walked again by the kernel for every one of them.
    const int dirFd = ::dirfd(dir);
    struct stat folderStat;
    const bool folderKnown = ::fstat(dirFd, &folderStat) == 0;
    const uint64_t folderDevice = folderKnown ? static_cast<uint64_t>(folderStat.st_dev) : 0;
    // Room for about as many items as the folder's size tells (an entry
    // takes some 20 bytes on ext4 and tmpfs), so that a large folder's list
    // is not moved as it grows; a hint only, and bounded.
    if (folderKnown && folderStat.st_size > 0)
        items.reserve(static_cast<size_t>(std::min<off_t>(folderStat.st_size / 20, 1 << 16)));
    while (const dirent* e = ::readdir(dir)) {
        DirItem item;
        item.name = e->d_name;
        if (item.name == "." || item.name == "..") continue;
        // A regular file needs no stat: the listing tells its inode, and it
        // lives on the folder's device. Folders need theirs (link loops),
        // and links and unknown kinds are followed by stat to find out what
        // they are.
        if (e->d_type == DT_REG) {
            item.isHidden = item.name[0] == '.';
            item.device = folderDevice;
            item.inode = static_cast<uint64_t>(e->d_ino);
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

std::optional<std::string> FolderListingError(const std::string& folder) {
    DIR* dir = OpenFolder(folder);
    if (dir == nullptr) return std::string(std::strerror(errno));
    ::closedir(dir);
    return std::nullopt;
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

KnownFile::KnownFile(const std::string& path) {
    struct stat st;
    const std::string native = NativePath(path);
    m_exists = !native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!m_exists) return;
    m_device = static_cast<uint64_t>(st.st_dev);
    m_inode = static_cast<uint64_t>(st.st_ino);
}

bool KnownFile::Is(const std::string&, const DirItem& item) const {
    return m_exists && !item.isFolder && item.device == m_device && item.inode == m_inode;
}

}  // namespace folivex
