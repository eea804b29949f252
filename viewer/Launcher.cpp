// What the launchers of every platform share.
#include "viewer/Launcher.h"

#include <cstdint>

#include "platform/Path.h"

namespace folivex {

namespace {

// FNV-1a of the full path: books of the same name in different folders get
// profiles and ports of their own.
uint32_t PathHash(const std::string& bookPath) {
    uint32_t h = 2166136261u;
    for (unsigned char c : bookPath) h = (h ^ c) * 16777619u;
    return h;
}

}  // namespace

std::string BrowserProfileName(const std::string& bookPath) {
    // Hex by hand: the printf family would add a formatter that the stub
    // needs nowhere else.
    const uint32_t h = PathHash(bookPath);
    std::string hash(8, '0');
    for (size_t i = 0; i < 8; ++i) hash[i] = "0123456789abcdef"[(h >> (28 - 4 * i)) & 0xF];
    return BaseNameWithoutExtension(bookPath) + "-" + hash;
}

uint16_t PreferredPort(const std::string& bookPath) {
    // 20000-29999 lies below the ephemeral ranges of Linux (32768-) and
    // Windows (49152-), so outgoing connections rarely hold it.
    return static_cast<uint16_t>(20000 + PathHash(bookPath) % 10000);
}

}  // namespace folivex
