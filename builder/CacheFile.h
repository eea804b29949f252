// The files of the blob cache and the digest memo. They are read and
// written directly, not through CFile, so they play no part in a build's
// file errors, and each is replaced whole, so that builds running at the
// same time (in threads or processes) never see half of one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace folivex {

class StdFile {
public:
    StdFile(const std::string& path, const char* mode) : m_file(std::fopen(path.c_str(), mode)) {}
    ~StdFile() {
        if (m_file) std::fclose(m_file);
    }
    StdFile(const StdFile&) = delete;
    StdFile& operator=(const StdFile&) = delete;
    explicit operator bool() const { return m_file != nullptr; }
    std::FILE* Get() const { return m_file; }
    // Closes; false when the last writes failed.
    bool Close() {
        const bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
    std::FILE* m_file;
};

// A suffix that no other thread or process picks at the same time; the
// cache's trimming removes old files carrying ".tmp".
std::string TemporarySuffix();

enum class CacheRead { missing, damaged, read };

// Reads the whole file at path: its first header.size() bytes into header
// and the rest into body. damaged when the file is shorter than the header
// or its rest longer than maxBody (nothing that large is allocated). A file
// read is marked as used (its time set to now) unless that was done within
// the hour, so that the cache's trimming drops what was used least lately.
CacheRead ReadCacheFile(const std::string& path, std::span<uint8_t> header, uint64_t maxBody,
                        std::vector<uint8_t>& body);

// Writes the parts one after the other to a temporary name beside path and
// renames it over path. False on any failure, which leaves path as it was
// and no temporary file behind.
bool ReplaceWhole(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts);

}  // namespace folivex
