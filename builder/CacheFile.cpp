#include "builder/CacheFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace folivex {

std::string TemporarySuffix() {
    static std::atomic<uint64_t> counter{0};
    const auto now =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint64_t mix = std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
                         (now * 0x9E3779B97F4A7C15ull) ^ reinterpret_cast<uintptr_t>(&counter);
    return ".tmp" + std::to_string(mix) + "-" + std::to_string(counter++);
}

#ifndef _WIN32

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

#else

CacheRead ReadCacheFile(const std::string& path, std::span<uint8_t> header, uint64_t maxBody,
                        std::vector<uint8_t>& body) {
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) return std::filesystem::exists(path, ec) ? CacheRead::damaged : CacheRead::missing;
    if (size < header.size() || size - header.size() > maxBody) return CacheRead::damaged;
    StdFile file(path, "rb");
    if (!file) return CacheRead::missing;
    std::setvbuf(file.Get(), nullptr, _IONBF, 0);
    body.resize(static_cast<size_t>(size - header.size()));
    uint8_t extra;
    if (std::fread(header.data(), 1, header.size(), file.Get()) != header.size() ||
        std::fread(body.data(), 1, body.size(), file.Get()) != body.size() ||
        std::fread(&extra, 1, 1, file.Get()) != 0)
        return CacheRead::damaged;
    const auto now = std::filesystem::file_time_type::clock::now();
    if (std::filesystem::last_write_time(path, ec) < now - std::chrono::hours(1) && !ec)
        std::filesystem::last_write_time(path, now, ec);
    return CacheRead::read;
}

#endif

bool ReplaceWhole(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts) {
    const std::string temporary = path + TemporarySuffix();
    std::error_code ec;
    {
        StdFile file(temporary, "wb");
        if (!file) return false;
        bool written = true;
        for (const auto& part : parts)
            written =
                written && std::fwrite(part.data(), 1, part.size(), file.Get()) == part.size();
        if (!file.Close() || !written) {
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace folivex
