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
    // Identity of a folder (device and inode on POSIX, volume and file index
    // on Windows), so that a walk can enter each folder only once.
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Lists folder (stored or native form). Returns false, with items empty, when
// the folder cannot be enumerated (missing, access denied, not a folder).
bool ListFolder(const std::string& folder, std::vector<DirItem>& items);

// Identity of a folder itself; false when it cannot be read.
bool FolderIdentity(const std::string& folder, uint64_t& device, uint64_t& inode);

// Why folder cannot be listed, in the system's words ("No such file or
// directory", "Permission denied", "Not a directory"); nothing when it can.
std::optional<std::string> FolderListingError(const std::string& folder);

}  // namespace folivex
