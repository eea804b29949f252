// Shared by the fuzz targets: a scratch folder of this process (on tmpfs when
// there is one, so that targets reading through the file layer stay fast),
// whole-file writes and reads, and splitting one input into two.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace folivex::fuzz {

// A folder of this process, removed at exit.
inline const std::string& ScratchDir() {
    // Never destroyed: the exit handler below still needs it.
    static const std::string& dir = *new std::string([] {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path base =
            fs::exists("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path d = base / ("folivex-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d, ec);
        if (ec) {
            d = fs::temp_directory_path() / ("folivex-fuzz-" + std::to_string(getpid()));
            fs::create_directories(d);
        }
        return d.string();
    }());
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return true;
    }();
    (void)cleanup;
    return dir;
}

inline std::string ScratchFile(const std::string& name) {
    return ScratchDir() + "/" + name;
}

inline void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();  // the scratch folder is ours: this is a harness fault
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// Splits an input into two parts: a little-endian uint16 gives the first
// part's length (cut to what is there), the rest is the second part.
struct TwoParts {
    std::span<const uint8_t> first, second;
};
inline TwoParts SplitInput(const uint8_t* data, size_t size) {
    if (size < 2) return {};
    const size_t wanted = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
    const size_t firstLength = wanted < size - 2 ? wanted : size - 2;
    return {std::span<const uint8_t>(data + 2, firstLength),
            std::span<const uint8_t>(data + 2 + firstLength, size - 2 - firstLength)};
}
inline std::vector<uint8_t> JoinParts(const std::vector<uint8_t>& first,
                                      const std::vector<uint8_t>& second) {
    std::vector<uint8_t> out{static_cast<uint8_t>(first.size()),
                             static_cast<uint8_t>(first.size() >> 8)};
    out.insert(out.end(), first.begin(), first.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// A fuzz target's own check failed: report it the way libFuzzer notices.
#define FUZZ_CHECK(cond)                                                                        \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

}  // namespace folivex::fuzz
