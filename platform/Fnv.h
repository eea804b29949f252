// FNV-1a, 64 bits: a hash of a few bytes that is the same on every system
// and in every build (std::hash is neither, and is 32 bits on 32-bit
// Windows).
#pragma once

#include <cstdint>
#include <string_view>

namespace folivex {

constexpr uint64_t kFnv1a64Start = 1469598103934665603ULL;

// The hash of data, going on from h (the hash of what came before it).
inline uint64_t Fnv1a64(std::string_view data, uint64_t h = kFnv1a64Start) {
    for (const char c : data) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

}  // namespace folivex
