// The CRC-32 (zlib's) of bytes of any length: what the build memo keeps for
// each blob, what the link memo checks its records with, and what the
// viewer's entity tags are made of.
#pragma once

#include <cstdint>
#include <span>

namespace folivex {

uint32_t Crc32(std::span<const uint8_t> bytes);

}  // namespace folivex
