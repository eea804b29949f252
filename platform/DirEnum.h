// Listing one folder, the way the folder scan needs it.
//
// The items of a folder come sorted by their lower-cased names (ToLowerSystem),
// ties broken by the original names' byte order, so a scan gives the same
// order on every system. "." and ".." are never listed. Symbolic links are
// followed: a link to a folder is a folder, a dangling link is left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace folivex {

struct DirItem {
    std::string name;  // as the system reports it
    bool isFolder = false;
    bool isHidden = false;  // POSIX: the name starts with "."; Windows: the hidden attribute
    // Identity of the item (device and inode on POSIX, for files and
    // folders; volume and file index on Windows, for folders only), so that
    // a walk enters each folder once and can recognise one particular file.
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Lists folder (stored or native form). Returns false, with items empty, when
// the folder cannot be enumerated (missing, access denied, not a folder, a
// path too long for the system); whyNot, when given, then receives the
// system's text for the error ("Permission denied").
bool ListFolder(const std::string& folder, std::vector<DirItem>& items,
                std::string* whyNot = nullptr);

// Identity of a folder itself; false when it cannot be read.
bool FolderIdentity(const std::string& folder, uint64_t& device, uint64_t& inode);

// Whether folder names a folder that can be read.
inline bool IsFolder(const std::string& folder) {
    uint64_t device = 0, inode = 0;
    return FolderIdentity(folder, device, inode);
}

// One particular file that a walk must recognise among the items it lists
// (the e-book being built inside the folder it is built from). On POSIX by
// device and inode, so it is also found behind a link or under another
// name; on Windows, whose listings tell no file's identity, by its full path
// compared without regard to case.
class KnownFile {
public:
    // path: stored or native form. On POSIX the file's identity is taken
    // now; a file that does not exist then is never recognised.
    explicit KnownFile(const std::string& path);

    // True when item, listed by ListFolder(folder), is this file.
    bool Is(const std::string& folder, const DirItem& item) const;

private:
    bool m_exists = false;
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
    std::string m_fullPath;  // Windows: lower-cased full path
};

// Why folder cannot be listed, in the system's words ("No such file or
// directory", "Permission denied", "Not a directory"); nothing when it can.
// Only opens the folder: listing a large one whole to find out would cost
// as much again as the scan that follows.
std::optional<std::string> FolderListingError(const std::string& folder);

}  // namespace folivex
