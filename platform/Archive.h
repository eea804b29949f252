// CArchive: the object-archive encoding shared by the project file and the
// e-book's appended archive.
//
// All integers are little-endian. Strings carry a length prefix of one byte
// (0..254), 0xFF + uint16 (255..65533) or 0xFF 0xFFFF + uint32 (65534 and
// more), then the bytes, no terminator; on reading, the wide form 0xFF 0xFFFE
// + length + UTF-16LE units is accepted too. Objects are preceded by a class
// tag: 0xFFFF + schema + name for a class met for the first time, else
// 0x8000 | class number (0x7FFF + uint32 0x80000000 | number from 0x7FFF on).
// Classes and objects share one counter that starts at 1.
//
// Reading is bounded: every length or count is checked against the bytes
// left in the file before anything is allocated. A file that ends early
// throws CArchiveException(endOfFile) without a file name; a malformed tag,
// class or schema throws badIndex, badClass or badSchema naming the file.
//
// The archive does not own the file. Close() (or Flush()) writes out the
// store buffer; the destructor does not, so an archive abandoned by an
// exception writes nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/File.h"

namespace folivex {

class CArchive;
class CObject;

// What the archive knows of a serialisable class.
struct CRuntimeClass {
    const char* m_lpszClassName;
    uint16_t m_wSchema;
    std::unique_ptr<CObject> (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const = 0;
    virtual void Serialize(CArchive& ar) = 0;
};

class CArchive {
public:
    enum Mode { store, load };

    // file must be open (for writing when storing, for reading when loading)
    // and positioned where the archive starts. For loading, knownClasses are
    // the classes whose names the stream may name.
    CArchive(CFile& file, Mode mode, size_t bufferSize = 4096,
             std::initializer_list<const CRuntimeClass*> knownClasses = {});
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive() = default;

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    CFile& GetFile() { return m_file; }

    // Storing. Everything is buffered; Flush() or Close() writes it out.
    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteI32(int32_t v);
    void WriteU32(uint32_t v);
    void WriteBytes(const void* data, size_t n);
    void WriteString(std::string_view s);
    // A list count: uint16 below 0xFFFF, else 0xFFFF + uint32.
    void WriteCount(uint32_t n);
    // The object's class tag, then obj.Serialize(*this).
    void WriteObject(CObject& obj);

    // Loading. Each throws CArchiveException(endOfFile) when the file ends
    // before the item is complete.
    uint8_t ReadU8();
    uint16_t ReadU16();
    int32_t ReadI32();
    uint32_t ReadU32();
    void ReadBytes(void* data, size_t n);
    std::string ReadString();
    uint32_t ReadCount();
    // Skips n bytes (bounded by the bytes left).
    void Skip(uint64_t n);
    // Reads a class tag and the object's fields. The class must be
    // `required` or derived from it, else badClass.
    std::unique_ptr<CObject> ReadObject(const CRuntimeClass* required);

    // Loading: bytes left between the read position and the end of the file.
    uint64_t BytesRemaining() const;
    // The file offset of the next byte to read or write.
    uint64_t GetPosition() const;

    // Writes the store buffer to the file.
    void Flush();
    // Storing: Flush(). Loading: nothing more to do. The file stays open.
    void Close();

private:
    void FillTo(size_t n);  // loading: make n bytes available in the buffer
    [[noreturn]] void ThrowArchive(int cause, bool withName) const;
    const CRuntimeClass* ReadClassTag();

    CFile& m_file;
    Mode m_mode;
    std::vector<uint8_t> m_buf;
    size_t m_cur = 0;              // read position in m_buf (loading)
    size_t m_len = 0;              // valid bytes in m_buf
    uint64_t m_bufFileOffset = 0;  // file offset of m_buf[0]
    uint64_t m_fileLength = 0;     // loading: length of the file

    std::vector<const CRuntimeClass*> m_knownClasses;
    // Storing: class -> number. Loading: number -> class (nullptr for an
    // object's number). One counter for classes and objects, from 1.
    std::unordered_map<const CRuntimeClass*, uint32_t> m_storeMap;
    std::vector<const CRuntimeClass*> m_loadMap{nullptr};
    uint32_t m_nextNumber = 1;
};

}  // namespace folivex
