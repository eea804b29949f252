#include "format/UpdateArchive.h"

#include <cstring>
#include <limits>
#include <optional>

#include "format/ArchiveIndex.h"
#include "format/ArchiveWalker.h"

namespace folivex {

namespace {

std::unique_ptr<CObject> CreateUpdateElem() {
    return std::make_unique<CUpdateElem>();
}
std::unique_ptr<CObject> CreateUpdateDir() {
    return std::make_unique<CUpdateDir>();
}

uint16_t Key(int key) {
    return static_cast<uint16_t>(key);
}

// Builds the tree from the walker's calls, keeping every entry's data.
class TreeBuilder : public ArchiveSink {
public:
    explicit TreeBuilder(CUpdateDir& root) : m_root(root) {}

    void OnTypeNode(uint16_t type) override {
        auto node = std::make_unique<CUpdateDir>();
        m_current = node.get();
        m_root.Add(std::move(node), type);
    }

    void OnEntry(uint16_t, uint16_t id, uint32_t length, uint64_t, CArchive& ar) override {
        std::vector<uint8_t> data(length);
        if (length > 0) ar.ReadBytes(data.data(), length);
        auto entry = std::make_unique<CUpdateElem>();
        entry->SetData(std::move(data));
        m_current->Add(std::move(entry), id);
    }

private:
    CUpdateDir& m_root;
    CUpdateDir* m_current = nullptr;
};

uint64_t CountSize(size_t n) {
    return n < 0xFFFF ? 2 : 6;
}

std::string LimitText() {
    return ArchiveLimitText();
}

}  // namespace

std::string ArchiveLimitText() {
    return "The e-book would be larger than 4 GiB (4,294,967,295 bytes), the most an "
           "e-book file can hold.";
}

const CRuntimeClass CUpdateElem::classCUpdateElem{"CUpdateElem", 1, &CreateUpdateElem, nullptr};
const CRuntimeClass CUpdateDir::classCUpdateDir{"CUpdateDir", 1, &CreateUpdateDir,
                                                &CUpdateElem::classCUpdateElem};

// ---- CUpdateElem ----

void CUpdateElem::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteU16(static_cast<uint16_t>(id));
        ar.WriteU32(Length());
        if (!m_data.empty()) ar.WriteBytes(m_data.data(), m_data.size());
        return;
    }
    id = static_cast<int16_t>(ar.ReadU16());
    const uint32_t length = ar.ReadU32();
    if (length > ar.BytesRemaining())
        throw CArchiveException(CArchiveException::endOfFile, ar.GetFile().GetFilePath());
    std::vector<uint8_t> data(length);
    if (length > 0) ar.ReadBytes(data.data(), length);
    m_data = std::move(data);
}

void CUpdateElem::SetData(const void* data, size_t size) {
    std::vector<uint8_t> copy(size);
    if (size > 0) std::memcpy(copy.data(), data, size);
    m_data = std::move(copy);
}

void CUpdateElem::SetData(std::vector<uint8_t>&& data) {
    m_data = std::move(data);
    m_data.shrink_to_fit();
}

// ---- CUpdateDir ----

void CUpdateDir::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteU16(static_cast<uint16_t>(id));
        ar.WriteCount(static_cast<uint32_t>(m_children.size()));
        for (const auto& child : m_children) ar.WriteObject(*child);
        return;
    }
    Clear();
    TreeBuilder builder(*this);
    WalkArchiveBody(ar, ar.GetPosition() + ar.BytesRemaining(), builder);
}

CUpdateElem* CUpdateDir::Find(int key) const {
    for (const auto& child : m_children)
        if (static_cast<uint16_t>(child->id) == Key(key)) return child.get();
    return nullptr;
}

CUpdateElem& CUpdateDir::Add(std::unique_ptr<CUpdateElem> child, int key) {
    child->id = static_cast<int16_t>(Key(key));
    m_children.push_back(std::move(child));
    return *m_children.back();
}

void CUpdateDir::Remove(int key) {
    for (auto it = m_children.begin(); it != m_children.end(); ++it) {
        if (static_cast<uint16_t>((*it)->id) == Key(key)) {
            m_children.erase(it);
            return;
        }
    }
}

// ---- COffsetFile ----

uint64_t COffsetFile::Seek(int64_t offset, SeekPosition from) {
    if (static_cast<int>(from) == fromBase)
        return CFile::Seek(static_cast<int64_t>(base) + offset, CFile::begin);
    return CFile::Seek(offset, from);
}

// ---- CUpdateArchive ----

CUpdateArchive::~CUpdateArchive() {
    if (m_file) m_file->Abort();
}

void CUpdateArchive::BeginUpdate(const std::string& path) {
    m_path = path;
    if (m_file) m_file->Abort();
    m_file = std::make_unique<COffsetFile>();
    m_file->Open(path, CFile::modeReadWrite | CFile::shareExclusive);

    m_root.Clear();
    const ArchiveLocation where = LocateArchive(*m_file, true);
    if (where.base) {
        m_file->base = *where.base;
        TreeBuilder builder(m_root);
        WalkArchive(*m_file, *where.base, where.fileLength - kArchiveTrailerSize, builder);
    } else {
        // The archive goes after the file's last byte, and the base must
        // fit the trailer's dword.
        if (where.fileLength > kMaxBookFileSize) throw ArchiveLimitError(LimitText());
        m_file->base = static_cast<uint32_t>(where.fileLength);
    }
    m_file->SeekFromBase(0);

    // The totals of the early size check.
    m_typeCount = m_root.Children().size();
    m_entryCount = 0;
    m_dataBytes = 0;
    for (const auto& type : m_root.Children()) {
        const auto& node = static_cast<const CUpdateDir&>(*type);
        m_entryCount += node.Children().size();
        for (const auto& entry : node.Children()) m_dataBytes += entry->Length();
    }
}

void CUpdateArchive::UpdateEntry(int type, int id, const void* data, size_t size) {
    if (size == 0) {
        RemoveEntry(type, id);
        return;
    }
    if (size > std::numeric_limits<uint32_t>::max()) throw ArchiveLimitError(LimitText());
    std::vector<uint8_t> copy(size);
    std::memcpy(copy.data(), data, size);
    UpdateEntry(type, id, std::move(copy));
}

void CUpdateArchive::UpdateEntry(int type, int id, std::vector<uint8_t>&& data) {
    if (data.empty()) {
        RemoveEntry(type, id);
        return;
    }
    if (data.size() > std::numeric_limits<uint32_t>::max()) throw ArchiveLimitError(LimitText());
    // Children of the root are always directories: the walker and this
    // class create nothing else there.
    auto* typeNode = static_cast<CUpdateDir*>(m_root.Find(type));
    CUpdateElem* entry = typeNode ? typeNode->Find(id) : nullptr;
    const uint64_t oldLength = entry ? entry->Length() : 0;

    const uint64_t dataBytes = m_dataBytes - oldLength + data.size();
    const uint64_t entryCount = m_entryCount + (entry ? 0 : 1);
    const uint64_t typeCount = m_typeCount + (typeNode ? 0 : 1);
    // Upper bound of the written size: the root, both class introductions,
    // the largest tag and fields per node, the data and the trailer.
    const uint64_t bound =
        8 + 16 + 17 + typeCount * 14 + entryCount * 12 + dataBytes + kArchiveTrailerSize;
    if (Base() + bound > kMaxBookFileSize) throw ArchiveLimitError(LimitText());

    if (!typeNode) {
        auto node = std::make_unique<CUpdateDir>();
        typeNode = node.get();
        m_root.Add(std::move(node), type);
    }
    if (!entry) entry = &typeNode->Add(std::make_unique<CUpdateElem>(), id);
    entry->SetData(std::move(data));
    m_dataBytes = dataBytes;
    m_entryCount = entryCount;
    m_typeCount = typeCount;
}

void CUpdateArchive::RemoveEntry(int type, int id) {
    auto* typeNode = static_cast<CUpdateDir*>(m_root.Find(type));
    if (!typeNode) return;
    const CUpdateElem* entry = typeNode->Find(id);
    if (!entry) return;
    m_dataBytes -= entry->Length();
    --m_entryCount;
    typeNode->Remove(id);
    if (typeNode->Children().empty()) {
        m_root.Remove(type);
        --m_typeCount;
    }
}

uint64_t CUpdateArchive::ArchiveSize() const {
    // Replays the numbering of the store archive: one counter for classes
    // and objects; a class's first object carries its name, later ones a
    // 2-byte tag, or 6 bytes once the class number reaches 0x7FFF.
    uint32_t next = 1;
    std::optional<uint32_t> dirClass, elemClass;
    auto tagSize = [&next](std::optional<uint32_t>& cls, uint64_t nameLength) -> uint64_t {
        uint64_t size;
        if (!cls) {
            cls = next++;
            size = 6 + nameLength;
        } else {
            size = *cls < 0x7FFF ? 2 : 6;
        }
        ++next;
        return size;
    };
    auto nodeSize = [&](const CUpdateElem& node, auto& self) -> uint64_t {
        if (node.GetRuntimeClass() == &CUpdateDir::classCUpdateDir) {
            const auto& dir = static_cast<const CUpdateDir&>(node);
            uint64_t size = tagSize(dirClass, 10) + 2 + CountSize(dir.Children().size());
            for (const auto& child : dir.Children()) size += self(*child, self);
            return size;
        }
        return tagSize(elemClass, 11) + 6 + node.Length();
    };
    uint64_t size = 2 + CountSize(m_root.Children().size());
    for (const auto& child : m_root.Children()) size += nodeSize(*child, nodeSize);
    return size + kArchiveTrailerSize;
}

void CUpdateArchive::EndUpdate() {
    if (!m_file) throw CFileException(CFileException::invalidFile, m_path);
    if (m_file->base + ArchiveSize() > kMaxBookFileSize) throw ArchiveLimitError(LimitText());
    m_file->SeekFromBase(0);
    CArchive ar(*m_file, CArchive::store, 4096);
    m_root.Serialize(ar);
    ar.WriteU32(m_file->base);
    ar.WriteU16(kArchiveTrailerMagic);
    ar.Flush();
    // Nothing of an older, longer archive may survive after the trailer.
    m_file->SetLength(m_file->GetPosition());
}

}  // namespace folivex
