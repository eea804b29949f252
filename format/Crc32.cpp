#include "format/Crc32.h"

#include <zlib.h>

#include <algorithm>

namespace folivex {

uint32_t Crc32(std::span<const uint8_t> bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    size_t done = 0;
    while (done < bytes.size()) {  // crc32 takes at most 4 GiB per call
        const uInt chunk = static_cast<uInt>(std::min<size_t>(bytes.size() - done, 1u << 30));
        crc = crc32(crc, bytes.data() + done, chunk);
        done += chunk;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace folivex
