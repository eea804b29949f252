#include "format/ArchiveWalker.h"

#include <string_view>
#include <unordered_map>

#include "format/ArchiveIndex.h"

namespace folivex {

namespace {

// Object tags of the encoding.
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kBigClassTag = 0x7FFF;  // followed by a dword
constexpr uint16_t kClassTagFlag = 0x8000;
constexpr uint32_t kBigClassTagFlag = 0x80000000;
constexpr uint16_t kSchema = 1;

// The smallest encodings, for checking counts against the bytes left: a
// type node is at least a tag, its type and a count (2 + 2 + 2); an entry a
// tag, its id and its length (2 + 2 + 4).
constexpr uint64_t kMinTypeNodeSize = 6;
constexpr uint64_t kMinEntrySize = 8;
// No class of this format has a longer name; a longer one is not ours.
constexpr uint16_t kMaxClassNameLength = 64;

enum class NodeClass { directory, element };

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads the body through the archive, never past bodyEnd, and keeps the
// numbers the writer gave to classes and objects.
class BodyReader {
public:
    BodyReader(CArchive& ar, uint64_t bodyEnd)
        : m_ar(ar), m_end(bodyEnd), m_name(ar.GetFile().GetFilePath()) {}

    uint64_t Left() const {
        const uint64_t pos = m_ar.GetPosition();
        return pos <= m_end ? m_end - pos : 0;
    }
    void Need(uint64_t n) const {
        if (n > Left()) Fail(CArchiveException::endOfFile);
    }
    uint16_t U16() {
        Need(2);
        return m_ar.ReadU16();
    }
    uint32_t U32() {
        Need(4);
        return m_ar.ReadU32();
    }
    uint32_t Count() {
        const uint16_t w = U16();
        return w != 0xFFFF ? w : U32();
    }
    // A count of items of at least minSize bytes each must fit what is left.
    uint32_t CountOf(uint64_t minSize) {
        const uint32_t n = Count();
        if (n > Left() / minSize) Fail(CArchiveException::endOfFile);
        return n;
    }

    // Reads the tag before an object, which must be of class expected.
    void ObjectTag(NodeClass expected) {
        const uint16_t w = U16();
        NodeClass cls;
        if (w == kNewClassTag) {
            cls = NewClass();
        } else if (w == kBigClassTag || (w & kClassTagFlag) != 0) {
            uint32_t number = w & ~kClassTagFlag;
            if (w == kBigClassTag) {
                const uint32_t big = U32();
                // Without the flag it is a reference to an earlier object,
                // which this format never writes.
                if ((big & kBigClassTagFlag) == 0) Fail(CArchiveException::badIndex);
                number = big & ~kBigClassTagFlag;
            }
            const auto it = m_classes.find(number);
            if (it == m_classes.end()) Fail(CArchiveException::badIndex);
            cls = it->second;
        } else {
            // The null tag or a reference to an earlier object.
            Fail(CArchiveException::badIndex);
        }
        if (cls != expected) Fail(CArchiveException::badClass);
        TakeNumber();  // the object's own number
    }

    [[noreturn]] void Fail(CArchiveException::Cause cause) const {
        throw CArchiveException(cause, m_name);
    }

    CArchive& Archive() { return m_ar; }

private:
    NodeClass NewClass() {
        const uint16_t schema = U16();
        const uint16_t length = U16();
        Need(length);
        if (length > kMaxClassNameLength) Fail(CArchiveException::badClass);
        char name[kMaxClassNameLength];
        m_ar.ReadBytes(name, length);
        const std::string_view view(name, length);
        NodeClass cls;
        if (view == "CUpdateDir")
            cls = NodeClass::directory;
        else if (view == "CUpdateElem")
            cls = NodeClass::element;
        else
            Fail(CArchiveException::badClass);
        if (schema != kSchema) Fail(CArchiveException::badSchema);
        m_classes[TakeNumber()] = cls;
        return cls;
    }

    uint32_t TakeNumber() {
        // Class numbers above 0x7FFFFFFF cannot be referred to.
        if (m_next >= kBigClassTagFlag) Fail(CArchiveException::badIndex);
        return m_next++;
    }

    CArchive& m_ar;
    uint64_t m_end;
    std::string m_name;
    std::unordered_map<uint32_t, NodeClass> m_classes;  // number -> class
    uint32_t m_next = 1;                                // classes and objects share one counter
};

}  // namespace

ArchiveLocation LocateArchive(CFile& file, bool requireTrailerRoom) {
    ArchiveLocation where;
    where.fileLength = file.GetLength();
    if (where.fileLength < kArchiveTrailerSize) {
        if (requireTrailerRoom) throw CFileException(CFileException::badSeek, file.GetFilePath());
        return where;
    }
    file.Seek(static_cast<int64_t>(where.fileLength - kArchiveTrailerSize), CFile::begin);
    uint8_t trailer[kArchiveTrailerSize];
    if (file.Read(trailer, kArchiveTrailerSize) != kArchiveTrailerSize)
        throw CFileException(CFileException::endOfFile, file.GetFilePath());
    if (!EndsWithArchiveTrailer(trailer)) return where;
    const uint32_t base = Le32(trailer);
    if (base > where.fileLength) throw CFileException(CFileException::badSeek, file.GetFilePath());
    if (base > where.fileLength - kArchiveTrailerSize)
        throw CArchiveException(CArchiveException::badIndex, file.GetFilePath());
    where.base = base;
    return where;
}

uint64_t WalkArchive(CFile& file, uint32_t base, uint64_t bodyEnd, ArchiveSink& sink) {
    file.Seek(base, CFile::begin);
    CArchive ar(file, CArchive::load, 4096);
    return WalkArchiveBody(ar, bodyEnd, sink);
}

uint64_t WalkArchiveBody(CArchive& ar, uint64_t bodyEnd, ArchiveSink& sink) {
    BodyReader body(ar, bodyEnd);
    body.U16();  // the root's id; the root carries no tag
    const uint32_t typeCount = body.CountOf(kMinTypeNodeSize);
    for (uint32_t t = 0; t < typeCount; ++t) {
        body.ObjectTag(NodeClass::directory);
        const uint16_t type = body.U16();
        const uint32_t entryCount = body.CountOf(kMinEntrySize);
        sink.OnTypeNode(type);
        for (uint32_t e = 0; e < entryCount; ++e) {
            body.ObjectTag(NodeClass::element);
            const uint16_t id = body.U16();
            const uint32_t length = body.U32();
            body.Need(length);
            const uint64_t dataOffset = ar.GetPosition();
            sink.OnEntry(type, id, length, dataOffset, ar);
            if (ar.GetPosition() != dataOffset + length)
                body.Fail(CArchiveException::genericException);
        }
    }
    return ar.GetPosition();
}

}  // namespace folivex
