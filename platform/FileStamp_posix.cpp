#include <sys/stat.h>

#include <cerrno>
#include <chrono>

#include "platform/FileStamp.h"
#include "platform/Path.h"

namespace folivex {

namespace {

int64_t Nanoseconds(const struct timespec& t) {
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

}  // namespace

std::optional<FileStamp> StampOfFile(const std::string& path) {
    // Found under its exact name in one call when it is there, as CFile
    // opens it; only a miss looks for another spelling.
    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    struct stat st;
    if (slashed.empty() || ::stat(slashed.c_str(), &st) != 0) {
        if (!slashed.empty() && errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        if (::stat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedNs = Nanoseconds(st.st_mtim);
    stamp.changedNs = Nanoseconds(st.st_ctim);
    stamp.fileId = static_cast<uint64_t>(st.st_ino);
    stamp.volumeId = static_cast<uint64_t>(st.st_dev);
    return stamp;
}

int64_t StampClockNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace folivex
