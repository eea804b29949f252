#include "format/ArchiveIndex.h"

#include <algorithm>

#include "format/ArchiveWalker.h"

namespace folivex {

namespace {

uint32_t IndexKey(int type, int id) {
    return static_cast<uint32_t>(static_cast<uint16_t>(type)) << 16 | static_cast<uint16_t>(id);
}

// Records where each entry's data lies and skips over it, so that an index
// of a large book costs memory only for its entry list.
class IndexBuilder : public ArchiveSink {
public:
    explicit IndexBuilder(std::vector<IndexedEntry>& entries) : m_entries(entries) {}

    void OnTypeNode(uint16_t) override {}

    void OnEntry(uint16_t type, uint16_t id, uint32_t length, uint64_t dataOffset,
                 CArchive& ar) override {
        m_entries.push_back(IndexedEntry{type, id, dataOffset, length});
        ar.Skip(length);
    }

private:
    std::vector<IndexedEntry>& m_entries;
};

}  // namespace

bool EndsWithArchiveTrailer(std::span<const uint8_t> bytes) {
    if (bytes.size() < kArchiveTrailerSize) return false;
    const size_t last = bytes.size() - 2;
    return (bytes[last] | bytes[last + 1] << 8) == kArchiveTrailerMagic;
}

bool EndsWithArchiveTrailer(const std::string& path) {
    try {
        CFile file(path, CFile::modeRead);
        const uint64_t length = file.GetLength();
        if (length < kArchiveTrailerSize) return false;
        uint8_t trailer[kArchiveTrailerSize];
        return file.ReadAt(length - kArchiveTrailerSize, trailer, sizeof trailer) ==
                   sizeof trailer &&
               EndsWithArchiveTrailer(trailer);
    } catch (const CException&) {
        return false;
    }
}

std::optional<ArchiveIndex> ArchiveIndex::Load(CFile& file) {
    const ArchiveLocation where = LocateArchive(file, false);
    if (!where.base) return std::nullopt;

    ArchiveIndex index;
    index.m_base = *where.base;
    index.m_bodyEnd = where.fileLength - kArchiveTrailerSize;
    IndexBuilder builder(index.m_entries);
    index.m_treeEnd = WalkArchive(file, *where.base, index.m_bodyEnd, builder);

    index.m_sorted.reserve(index.m_entries.size());
    for (uint32_t i = 0; i < index.m_entries.size(); ++i)
        index.m_sorted.emplace_back(IndexKey(index.m_entries[i].type, index.m_entries[i].id), i);
    // Stable, so that of two entries with one key the first in the archive
    // is found, as the writer's Find would.
    std::stable_sort(index.m_sorted.begin(), index.m_sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return index;
}

const IndexedEntry* ArchiveIndex::Find(int type, int id) const {
    const uint32_t key = IndexKey(type, id);
    const auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), key,
                                     [](const auto& item, uint32_t k) { return item.first < k; });
    if (it == m_sorted.end() || it->first != key) return nullptr;
    return &m_entries[it->second];
}

void ArchiveIndex::ReadData(CFile& file, const IndexedEntry& entry, std::vector<uint8_t>& out) {
    out.resize(entry.length);
    if (entry.length == 0) return;
    file.Seek(static_cast<int64_t>(entry.dataOffset), CFile::begin);
    size_t done = 0;
    while (done < out.size()) {
        const size_t got = file.Read(out.data() + done, out.size() - done);
        if (got == 0) throw CFileException(CFileException::endOfFile, file.GetFilePath());
        done += got;
    }
}

}  // namespace folivex
