// Reading a cache file on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "builder/CacheFile.h"

namespace folivex {

// One open, one fstat and one read for the whole file: a rebuild reads
// thousands of entries, and system calls are most of what that costs.
CacheRead ReadCacheFile(const std::string& path, std::span<uint8_t> header, uint64_t maxBody,
                        std::vector<uint8_t>& body) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CacheRead::missing;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) < header.size() ||
        static_cast<uint64_t>(st.st_size) - header.size() > maxBody)
        return CacheRead::damaged;
    body.resize(static_cast<size_t>(st.st_size) - header.size());
    // One byte more than the file holds, to see a file that grew meanwhile.
    uint8_t extra;
    iovec parts[3] = {{header.data(), header.size()}, {body.data(), body.size()}, {&extra, 1}};
    const size_t wanted = header.size() + body.size();
    size_t got = 0;
    while (got < wanted) {
        ssize_t n = ::readv(fd, parts, 3);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return CacheRead::damaged;
        got += static_cast<size_t>(n);
        if (got > wanted) return CacheRead::damaged;
        // Rare: a short read; the rest is read into what is left.
        for (iovec& part : parts) {
            const size_t used = std::min(part.iov_len, static_cast<size_t>(n));
            part.iov_base = static_cast<uint8_t*>(part.iov_base) + used;
            part.iov_len -= used;
            n -= static_cast<ssize_t>(used);
        }
    }
    const auto hourAgo = std::chrono::system_clock::now() - std::chrono::hours(1);
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::seconds(st.st_mtim.tv_sec) +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    if (modified < hourAgo) ::futimens(fd, nullptr);
    return CacheRead::read;
}

}  // namespace folivex
