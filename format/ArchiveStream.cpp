#include "format/ArchiveStream.h"

#include <stdexcept>

#include "format/ArchiveIndex.h"
#include "format/UpdateArchive.h"

namespace folivex {

namespace {

// Larger than the writer's 4096 bytes: fewer system calls, same bytes.
constexpr size_t kStoreBuffer = 1 << 18;

// The head of a type node, written as CUpdateDir writes itself: the class
// tag comes from the archive, then the type number and the entry count.
class TypeNodeHead : public CObject {
public:
    TypeNodeHead(int type, uint32_t count) : m_type(type), m_count(count) {}
    const CRuntimeClass* GetRuntimeClass() const override { return &CUpdateDir::classCUpdateDir; }
    void Serialize(CArchive& ar) override {
        ar.WriteU16(static_cast<uint16_t>(m_type));
        ar.WriteCount(m_count);
    }

private:
    int m_type;
    uint32_t m_count;
};

// One entry, written as CUpdateElem writes itself, without a copy.
class EntryView : public CObject {
public:
    EntryView(int id, std::span<const uint8_t> data) : m_id(id), m_data(data) {}
    const CRuntimeClass* GetRuntimeClass() const override { return &CUpdateElem::classCUpdateElem; }
    void Serialize(CArchive& ar) override {
        ar.WriteU16(static_cast<uint16_t>(m_id));
        ar.WriteU32(static_cast<uint32_t>(m_data.size()));
        ar.WriteBytes(m_data.data(), m_data.size());
    }

private:
    int m_id;
    std::span<const uint8_t> m_data;
};

}  // namespace

ArchiveStream::ArchiveStream(const std::string& path, std::vector<TypePlan> plan)
    : m_plan(std::move(plan)) {
    for (const TypePlan& t : m_plan)
        if (t.entries == 0) throw std::logic_error("ArchiveStream: a planned type without entries");
    m_file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
    const uint64_t length = m_file.SeekToEnd();
    if (length > kMaxBookFileSize) throw ArchiveLimitError(ArchiveLimitText());
    m_base = static_cast<uint32_t>(length);
    m_archive = std::make_unique<CArchive>(m_file, CArchive::store, kStoreBuffer);
    m_archive->WriteU16(0);  // the root's id; the root carries no tag
    m_archive->WriteCount(static_cast<uint32_t>(m_plan.size()));
}

ArchiveStream::~ArchiveStream() {
    m_archive.reset();  // unwritten bytes are dropped
    m_file.Abort();
}

uint64_t ArchiveStream::Add(int type, int id, std::span<const uint8_t> data) {
    if (m_typeStarted && m_written == m_plan[m_type].entries) {
        ++m_type;
        m_typeStarted = false;
    }
    if (m_type >= m_plan.size() ||
        static_cast<uint16_t>(m_plan[m_type].type) != static_cast<uint16_t>(type))
        throw std::logic_error("ArchiveStream: entry of type " + std::to_string(type) +
                               " out of plan");
    if (data.empty()) throw std::logic_error("ArchiveStream: an empty entry is never stored");
    // The type head and the entry's tag and fields take at most 25 + 23
    // bytes; the trailer must still fit after them.
    const uint64_t needed = (m_typeStarted ? 0 : 25) + 23 + data.size() + kArchiveTrailerSize;
    if (m_archive->GetPosition() + needed > kMaxBookFileSize)
        throw ArchiveLimitError(ArchiveLimitText());
    if (!m_typeStarted) StartType();
    EntryView entry(id, data);
    m_archive->WriteObject(entry);
    ++m_written;
    return m_archive->GetPosition() - data.size();
}

void ArchiveStream::StartType() {
    TypeNodeHead head(m_plan[m_type].type, m_plan[m_type].entries);
    m_archive->WriteObject(head);
    m_typeStarted = true;
    m_written = 0;
}

void ArchiveStream::Finish() {
    const bool complete = m_plan.empty() || (m_type == m_plan.size() - 1 && m_typeStarted &&
                                             m_written == m_plan[m_type].entries);
    if (!complete) throw std::logic_error("ArchiveStream: entries missing from the plan");
    m_archive->WriteU32(m_base);
    m_archive->WriteU16(kArchiveTrailerMagic);
    m_archive->Flush();
    // Nothing of what the file held after its old end may survive.
    m_file.SetLength(m_file.GetPosition());
    m_archive.reset();
    m_file.Close();
}

}  // namespace folivex
