// SHA-256 (FIPS 180-4), for the blob cache's keys.
//
// Uses the processor's SHA instructions where it has them (x86 with the SHA
// extensions, checked at run time), else portable code; both give the same
// digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace folivex {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    // Adds bytes to the message; may be called any number of times.
    void Update(std::span<const uint8_t> data);
    // The digest of everything added. The object must not be used after.
    Sha256Digest Final();

    // Portable code even where the SHA instructions exist (tests compare
    // the two).
    void ForcePortable() { m_portable = true; }
    // True when this processor has the SHA instructions.
    static bool HasShaInstructions();

private:
    void Blocks(const uint8_t* data, size_t count);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_pending{};
    size_t m_pendingSize = 0;
    uint64_t m_totalBytes = 0;
    bool m_portable = false;
};

// The digest of data in one call.
Sha256Digest Sha256Of(std::span<const uint8_t> data);
// 64 lower-case hex digits.
std::string ToHex(const Sha256Digest& digest);

}  // namespace folivex
