#include "platform/ByteReader.h"

namespace folivex {

void ByteReader::Seek(uint64_t offset) {
    Need(offset, 0);
    m_pos = static_cast<size_t>(offset);
}

void ByteReader::Skip(uint64_t n) {
    Need(m_pos, n);
    m_pos += static_cast<size_t>(n);
}

uint8_t ByteReader::U8() {
    const uint8_t v = U8At(m_pos);
    m_pos += 1;
    return v;
}

uint16_t ByteReader::U16() {
    const uint16_t v = U16At(m_pos);
    m_pos += 2;
    return v;
}

uint32_t ByteReader::U32() {
    const uint32_t v = U32At(m_pos);
    m_pos += 4;
    return v;
}

uint64_t ByteReader::U64() {
    Need(m_pos, 8);
    const uint64_t low = U32();
    return low | (uint64_t{U32()} << 32);
}

std::span<const uint8_t> ByteReader::Bytes(uint64_t n) {
    auto bytes = BytesAt(m_pos, n);
    m_pos += bytes.size();
    return bytes;
}

std::string_view ByteReader::CountedText() {
    const std::span<const uint8_t> bytes = Bytes(U32());
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string_view ByteReader::CString() {
    for (size_t i = m_pos; i < m_data.size(); ++i) {
        if (m_data[i] == 0) {
            std::string_view s(reinterpret_cast<const char*>(m_data.data() + m_pos), i - m_pos);
            m_pos = i + 1;
            return s;
        }
    }
    throw OutOfRange();
}

uint8_t ByteReader::U8At(uint64_t offset) const {
    Need(offset, 1);
    return m_data[static_cast<size_t>(offset)];
}

uint16_t ByteReader::U16At(uint64_t offset) const {
    Need(offset, 2);
    const size_t o = static_cast<size_t>(offset);
    return static_cast<uint16_t>(m_data[o] | (m_data[o + 1] << 8));
}

uint32_t ByteReader::U32At(uint64_t offset) const {
    Need(offset, 4);
    const size_t o = static_cast<size_t>(offset);
    return static_cast<uint32_t>(m_data[o]) | (static_cast<uint32_t>(m_data[o + 1]) << 8) |
           (static_cast<uint32_t>(m_data[o + 2]) << 16) |
           (static_cast<uint32_t>(m_data[o + 3]) << 24);
}

std::span<const uint8_t> ByteReader::BytesAt(uint64_t offset, uint64_t n) const {
    Need(offset, n);
    return m_data.subspan(static_cast<size_t>(offset), static_cast<size_t>(n));
}

}  // namespace folivex
