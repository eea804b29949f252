// std::filesystem paths from and to the programs' UTF-8 strings. A path made
// from a plain std::string takes it in the system's narrow code page on
// Windows, not as UTF-8, so names outside ASCII would change on the way;
// these cross through char8_t, which is UTF-8 on every system (on POSIX the
// bytes pass as they are).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace folivex {

// Throws std::filesystem::filesystem_error on Windows when utf8 is not valid
// UTF-8 (names the programs take from the system always are).
inline std::filesystem::path FsPath(std::string_view utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace folivex
