#include "platform/Archive.h"

#include <algorithm>
#include <cstring>

#include "platform/LittleEndian.h"
#include "platform/Text.h"

namespace folivex {

namespace {

constexpr uint16_t kNullTag = 0;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint32_t kBigClassTag = 0x80000000u;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint16_t kWideStringMark = 0xFFFE;
// The longest class name the format allows, not counting a terminator.
constexpr uint16_t kMaxClassName = 63;

}  // namespace

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass)
        if (c == base) return true;
    return false;
}

CArchive::CArchive(CFile& file, Mode mode, size_t bufferSize,
                   std::initializer_list<const CRuntimeClass*> knownClasses)
    : m_file(file), m_mode(mode), m_knownClasses(knownClasses) {
    // The buffer must hold the largest fixed-size item (a uint32).
    m_buf.reserve(std::max<size_t>(bufferSize, 16));
    m_bufFileOffset = m_file.GetPosition();
    if (mode == load) {
        m_buf.resize(m_buf.capacity());
        m_fileLength = m_file.GetLength();
    }
}

void CArchive::ThrowArchive(int cause, bool withName) const {
    throw CArchiveException(static_cast<CArchiveException::Cause>(cause),
                            withName ? m_file.GetFilePath() : std::string());
}

// ---- storing ----

void CArchive::WriteBytes(const void* data, size_t n) {
    if (!IsStoring()) ThrowArchive(CArchiveException::readOnly, true);
    const auto* p = static_cast<const uint8_t*>(data);
    const size_t capacity = m_buf.capacity();
    while (n > 0) {
        if (m_buf.size() == capacity) Flush();
        const size_t take = std::min(n, capacity - m_buf.size());
        m_buf.insert(m_buf.end(), p, p + take);
        p += take;
        n -= take;
    }
}

void CArchive::WriteU8(uint8_t v) {
    WriteBytes(&v, 1);
}

void CArchive::WriteU16(uint16_t v) {
    uint8_t b[2];
    StoreU16(b, v);
    WriteBytes(b, 2);
}

void CArchive::WriteU32(uint32_t v) {
    uint8_t b[4];
    StoreU32(b, v);
    WriteBytes(b, 4);
}

void CArchive::WriteI32(int32_t v) {
    WriteU32(static_cast<uint32_t>(v));
}

void CArchive::WriteString(std::string_view s) {
    // The format cannot state a length of 4 GiB or more.
    if (s.size() > 0xFFFFFFFFu) ThrowArchive(CArchiveException::genericException, true);
    const auto n = static_cast<uint32_t>(s.size());
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(n);
    }
    WriteBytes(s.data(), s.size());
}

void CArchive::WriteCount(uint32_t n) {
    if (n < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU16(0xFFFF);
        WriteU32(n);
    }
}

void CArchive::WriteObject(CObject& obj) {
    const CRuntimeClass* cls = obj.GetRuntimeClass();
    auto it = m_storeMap.find(cls);
    if (it == m_storeMap.end()) {
        const size_t nameLen = std::strlen(cls->m_lpszClassName);
        WriteU16(kNewClassTag);
        WriteU16(cls->m_wSchema);
        WriteU16(static_cast<uint16_t>(nameLen));
        WriteBytes(cls->m_lpszClassName, nameLen);
        m_storeMap.emplace(cls, m_nextNumber++);
    } else if (it->second < kBigObjectTag) {
        WriteU16(static_cast<uint16_t>(kClassTag | it->second));
    } else {
        WriteU16(kBigObjectTag);
        WriteU32(kBigClassTag | it->second);
    }
    ++m_nextNumber;  // the object's own number
    obj.Serialize(*this);
}

void CArchive::Flush() {
    if (!IsStoring() || m_buf.empty()) return;
    m_file.Write(m_buf.data(), m_buf.size());
    m_bufFileOffset += m_buf.size();
    m_buf.clear();
}

void CArchive::Close() {
    if (IsStoring()) Flush();
}

// ---- loading ----

uint64_t CArchive::GetPosition() const {
    return m_bufFileOffset + (IsStoring() ? m_buf.size() : m_cur);
}

uint64_t CArchive::BytesRemaining() const {
    const uint64_t pos = GetPosition();
    return pos >= m_fileLength ? 0 : m_fileLength - pos;
}

void CArchive::FillTo(size_t n) {
    if (m_len - m_cur >= n) return;
    // Move what is left to the front, then read more behind it.
    std::memmove(m_buf.data(), m_buf.data() + m_cur, m_len - m_cur);
    m_bufFileOffset += m_cur;
    m_len -= m_cur;
    m_cur = 0;
    while (m_len < n) {
        const size_t got = m_file.Read(m_buf.data() + m_len, m_buf.size() - m_len);
        if (got == 0) ThrowArchive(CArchiveException::endOfFile, false);
        m_len += got;
    }
}

void CArchive::ReadBytes(void* data, size_t n) {
    if (!IsLoading()) ThrowArchive(CArchiveException::writeOnly, true);
    if (n > BytesRemaining()) ThrowArchive(CArchiveException::endOfFile, false);
    auto* out = static_cast<uint8_t*>(data);
    const size_t buffered = std::min(n, m_len - m_cur);
    if (buffered > 0) std::memcpy(out, m_buf.data() + m_cur, buffered);
    m_cur += buffered;
    out += buffered;
    n -= buffered;
    if (n == 0) return;
    if (n < m_buf.size()) {
        FillTo(n);
        std::memcpy(out, m_buf.data() + m_cur, n);
        m_cur += n;
        return;
    }
    // A large item goes straight from the file to its place.
    m_bufFileOffset += m_len;
    m_cur = m_len = 0;
    while (n > 0) {
        const size_t got = m_file.Read(out, n);
        if (got == 0) ThrowArchive(CArchiveException::endOfFile, false);
        out += got;
        n -= got;
        m_bufFileOffset += got;
    }
}

uint8_t CArchive::ReadU8() {
    uint8_t b;
    ReadBytes(&b, 1);
    return b;
}

uint16_t CArchive::ReadU16() {
    uint8_t b[2];
    ReadBytes(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t CArchive::ReadU32() {
    uint8_t b[4];
    ReadBytes(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t CArchive::ReadI32() {
    return static_cast<int32_t>(ReadU32());
}

std::string CArchive::ReadString() {
    bool wide = false;
    uint32_t n = ReadU8();
    if (n == 0xFF) {
        uint16_t w = ReadU16();
        if (w == kWideStringMark) {
            // The wide form repeats the three length forms, counting units.
            wide = true;
            n = ReadU8();
            if (n == 0xFF) w = ReadU16();
        }
        if (n == 0xFF) n = (w == 0xFFFF) ? ReadU32() : w;
    }
    const uint64_t bytes = wide ? uint64_t{n} * 2 : uint64_t{n};
    // Checked before allocating: the stated length cannot exceed the file.
    if (bytes > BytesRemaining()) ThrowArchive(CArchiveException::endOfFile, false);
    std::string raw(static_cast<size_t>(bytes), '\0');
    ReadBytes(raw.data(), raw.size());
    if (!wide) return raw;
    return Utf16LeToUtf8(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
}

uint32_t CArchive::ReadCount() {
    const uint16_t n = ReadU16();
    return n == 0xFFFF ? ReadU32() : n;
}

void CArchive::Skip(uint64_t n) {
    if (n > BytesRemaining()) ThrowArchive(CArchiveException::endOfFile, false);
    const size_t buffered = static_cast<size_t>(std::min<uint64_t>(n, m_len - m_cur));
    m_cur += buffered;
    n -= buffered;
    if (n == 0) return;
    m_bufFileOffset += m_len + n;
    m_cur = m_len = 0;
    m_file.Seek(static_cast<int64_t>(m_bufFileOffset), CFile::begin);
}

const CRuntimeClass* CArchive::ReadClassTag() {
    const uint16_t wTag = ReadU16();
    const uint32_t tag = (wTag == kBigObjectTag)
                             ? ReadU32()
                             : ((static_cast<uint32_t>(wTag & kClassTag) << 16) | (wTag & 0x7FFFu));
    // A null object or a reference back to an object read before is never
    // written; accepting one would leave an empty slot or a shared entry.
    if (wTag == kNullTag || !(tag & kBigClassTag)) ThrowArchive(CArchiveException::badIndex, true);

    if (wTag != kNewClassTag) {
        const uint32_t number = tag & ~kBigClassTag;
        // Number 0, a number not given yet, or an object's number.
        if (number == 0 || number >= m_loadMap.size() || m_loadMap[number] == nullptr)
            ThrowArchive(CArchiveException::badIndex, true);
        return m_loadMap[number];
    }

    const uint16_t schema = ReadU16();
    const uint16_t nameLen = ReadU16();
    if (nameLen > kMaxClassName) ThrowArchive(CArchiveException::badClass, true);
    // A name cut short by the end of the file is a bad class, not an early end.
    if (nameLen > BytesRemaining()) ThrowArchive(CArchiveException::badClass, true);
    char name[kMaxClassName + 1] = {};
    ReadBytes(name, nameLen);
    const std::string_view className(name, nameLen);
    const CRuntimeClass* found = nullptr;
    for (const CRuntimeClass* known : m_knownClasses)
        if (known != nullptr && className == known->m_lpszClassName) found = known;
    if (found == nullptr) ThrowArchive(CArchiveException::badClass, true);
    if (schema != found->m_wSchema) ThrowArchive(CArchiveException::badSchema, true);
    m_loadMap.push_back(found);
    ++m_nextNumber;
    return found;
}

std::unique_ptr<CObject> CArchive::ReadObject(const CRuntimeClass* required) {
    if (!IsLoading()) ThrowArchive(CArchiveException::writeOnly, true);
    const CRuntimeClass* cls = ReadClassTag();
    if (required != nullptr && !cls->IsDerivedFrom(required))
        ThrowArchive(CArchiveException::badClass, true);
    if (cls->m_pfnCreateObject == nullptr) ThrowArchive(CArchiveException::badClass, true);
    std::unique_ptr<CObject> obj = cls->m_pfnCreateObject();
    // The object takes the next number; as a class reference it is refused.
    m_loadMap.push_back(nullptr);
    ++m_nextNumber;
    obj->Serialize(*this);
    return obj;
}

}  // namespace folivex
