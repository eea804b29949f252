// Reading a cache file on Windows.
#include <chrono>
#include <filesystem>
#include <system_error>

#include "builder/CacheFile.h"

namespace folivex {

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

}  // namespace folivex
