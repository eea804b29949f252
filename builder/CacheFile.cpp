#include "builder/CacheFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

namespace folivex {

std::string TemporarySuffix() {
    static std::atomic<uint64_t> counter{0};
    const auto now =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint64_t mix = std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
                         (now * 0x9E3779B97F4A7C15ull) ^ reinterpret_cast<uintptr_t>(&counter);
    return ".tmp" + std::to_string(mix) + "-" + std::to_string(counter++);
}

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
