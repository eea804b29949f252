// The platform's part of replacing a file on POSIX: links read with
// readlink, the folder's right to new files asked with faccessat, the mode
// and owner copied with chown and chmod.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileReplace.h"

namespace folivex {

std::string FollowFileLinks(const std::string& path) {
    std::string at = path;
    // As many links as the system follows itself before it gives up
    // (ELOOP); a path still a link after that fails when opened.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return at;
        std::string next(buffer, static_cast<size_t>(n));
        // A relative link is relative to the folder the link is in.
        const size_t slash = at.rfind('/');
        if (next[0] != '/' && slash != std::string::npos) next.insert(0, at, 0, slash + 1);
        at = std::move(next);
    }
    return at;
}

bool FolderRefusesNewFiles(const std::string& folder) {
    // Asked for the effective user, whom the kernel checks when creating.
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0;
}

void CopyFileMode(const std::string& from, const std::string& to) noexcept {
    struct stat st;
    if (::stat(from.c_str(), &st) != 0) return;
    // The owner first: changing it may clear the set-user-ID bits, which
    // chmod then puts back. Only root may give a file away; others may
    // still give it one of their groups.
    if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0 &&
        ::chown(to.c_str(), static_cast<uid_t>(-1), st.st_gid) != 0) {
        // The new file stays the writer's: the system does not allow more.
    }
    if (::chmod(to.c_str(), st.st_mode & 07777) != 0) {
        // The new file keeps the usual mode of a new file.
    }
}

void RenameOverHeld(CFile& held, const std::string& from, const std::string& to) {
    CFile::Rename(from, to);
    // The replaced file is freed with its last handle: a large book's
    // blocks and cached pages take the kernel as long as a tenth of a
    // rebuild, which need not wait for them.
    held.AbortInBackground();
}

}  // namespace folivex
