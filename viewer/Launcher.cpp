// What the launchers of every platform share.
#include "viewer/Launcher.h"

#include <cstdint>

#include "platform/Path.h"

namespace folivex {

std::string BrowserProfileName(const std::string& bookPath) {
    // FNV-1a of the full path: books of the same name in different folders
    // get profiles of their own. Hex by hand: the printf family would add a
    // formatter that the stub needs nowhere else.
    uint32_t h = 2166136261u;
    for (unsigned char c : bookPath) h = (h ^ c) * 16777619u;
    std::string hash(8, '0');
    for (size_t i = 0; i < 8; ++i) hash[i] = "0123456789abcdef"[(h >> (28 - 4 * i)) & 0xF];
    return BaseNameWithoutExtension(bookPath) + "-" + hash;
}

}  // namespace folivex
