// The files of the build memo's cache folder. They are read and written
// directly, not through CFile, so they play no part in a build's file
// errors, and each is replaced whole, so that builds running at the same
// time (in threads or processes) never see half of one.
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
// cache folder's trimming removes old files carrying ".tmp".
std::string TemporarySuffix();

// Writes the parts one after the other to a temporary name beside path and
// renames it over path. False on any failure, which leaves path as it was
// and no temporary file behind.
bool ReplaceWhole(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts);

}  // namespace folivex
