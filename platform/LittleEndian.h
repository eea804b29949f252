// Numbers as every file format of the system writes them: least significant
// byte first (ByteReader reads them back). Values wider than the field keep
// their low bytes, so callers check their ranges before writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace folivex {

// The low `bytes` bytes (at most 8) of value at p.
inline void StoreLittleEndian(uint8_t* p, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void StoreU16(uint8_t* p, uint64_t value) {
    StoreLittleEndian(p, value, 2);
}
inline void StoreU32(uint8_t* p, uint64_t value) {
    StoreLittleEndian(p, value, 4);
}

// The same, appended to out.
inline void AppendLittleEndian(std::vector<uint8_t>& out, uint64_t value, size_t bytes) {
    uint8_t le[8] = {};
    StoreLittleEndian(le, value, bytes);
    out.insert(out.end(), le, le + bytes);
}
inline void AppendU16(std::vector<uint8_t>& out, uint64_t value) {
    AppendLittleEndian(out, value, 2);
}
inline void AppendU32(std::vector<uint8_t>& out, uint64_t value) {
    AppendLittleEndian(out, value, 4);
}
inline void AppendU64(std::vector<uint8_t>& out, uint64_t value) {
    AppendLittleEndian(out, value, 8);
}

// text's length as a U32, then its bytes (ByteReader::CountedText).
inline void AppendCountedText(std::vector<uint8_t>& out, std::string_view text) {
    AppendU32(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace folivex
