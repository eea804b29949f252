// ByteReader: the one bounds-checked reader for untrusted bytes in memory
// (icon files, PE headers, page directories, settings records, requests).
//
// Every read checks offset + size against the buffer's length in 64-bit
// arithmetic first; a read past the end throws ByteReader::OutOfRange and
// reads nothing. The reader never owns the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace folivex {

class ByteReader {
public:
    class OutOfRange : public std::runtime_error {
    public:
        OutOfRange() : std::runtime_error("read past the end of the data") {}
    };

    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}
    ByteReader(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data), size) {}

    size_t Size() const { return m_data.size(); }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_data.size() - m_pos; }
    bool AtEnd() const { return m_pos == m_data.size(); }

    // Moves the read position; past the end throws.
    void Seek(uint64_t offset);
    void Skip(uint64_t n);

    // Sequential reads, little-endian.
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64();
    std::span<const uint8_t> Bytes(uint64_t n);
    // Bytes up to (not including) the next NUL, which is consumed; no NUL
    // before the end throws.
    std::string_view CString();
    // A 32-bit length, then that many bytes (what AppendCountedText writes).
    std::string_view CountedText();

    // Reads at an absolute offset without moving the position.
    uint8_t U8At(uint64_t offset) const;
    uint16_t U16At(uint64_t offset) const;
    uint32_t U32At(uint64_t offset) const;
    std::span<const uint8_t> BytesAt(uint64_t offset, uint64_t n) const;

    // True when n bytes are available at offset.
    bool Has(uint64_t offset, uint64_t n) const {
        return offset <= m_data.size() && n <= m_data.size() - offset;
    }

private:
    void Need(uint64_t offset, uint64_t n) const {
        if (!Has(offset, n)) throw OutOfRange();
    }

    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
};

}  // namespace folivex
