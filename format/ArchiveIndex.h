// Reading an e-book's appended archive without loading its data: the trailer
// gives where the archive starts, and the tree is walked once to record, for
// every entry, where its data lies in the file. The viewer and the
// command-line inspector use this; the writer (CUpdateArchive) shares the
// same loading code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"

namespace folivex {

// The last 6 bytes of a file that carries an archive: dword base, word 0x474B.
constexpr uint16_t kArchiveTrailerMagic = 0x474B;
constexpr size_t kArchiveTrailerSize = 6;

// True when bytes end with an archive trailer: at least its 6 bytes, the
// last two 4B 47. This is what tells an e-book (or a stub that already
// carries an archive) from every other file; the base is not checked.
bool EndsWithArchiveTrailer(std::span<const uint8_t> bytes);
// The same for the file at path (stored or native form); false when it
// cannot be opened or read.
bool EndsWithArchiveTrailer(const std::string& path);

struct IndexedEntry {
    uint16_t type = 0;
    uint16_t id = 0;
    uint64_t dataOffset = 0;  // file offset of the entry's first data byte
    uint32_t length = 0;      // bytes of data
};

class ArchiveIndex {
public:
    // Reads the trailer of file and walks the archive body. Returns nothing
    // when the file has no trailer (shorter than 6 bytes, or its last two
    // bytes are not 4B 47). A base inside the trailer is a CArchiveException.
    // Throws CArchiveException for a malformed body (wrong class, schema,
    // tag, a count or length past the end) and CFileException for a trailer
    // base outside the file or a failed read. Reads no entry data.
    static std::optional<ArchiveIndex> Load(CFile& file);

    uint32_t Base() const { return m_base; }
    // Where the trailer starts (the end of the body), and where the walk of
    // the tree ended; the two are equal in an archive as the writer leaves
    // it.
    uint64_t BodyEnd() const { return m_bodyEnd; }
    uint64_t TreeEnd() const { return m_treeEnd; }
    // Every entry in archive order (type nodes in order, entries in order).
    const std::vector<IndexedEntry>& Entries() const { return m_entries; }
    // The first entry whose type and id equal the 16-bit values of the keys.
    const IndexedEntry* Find(int type, int id) const;

    // Reads an entry's data into out (resized to its length). Throws
    // CFileException when the file is shorter than the index says.
    static void ReadData(CFile& file, const IndexedEntry& entry, std::vector<uint8_t>& out);

private:
    uint32_t m_base = 0;
    uint64_t m_bodyEnd = 0;
    uint64_t m_treeEnd = 0;
    std::vector<IndexedEntry> m_entries;
    // (type << 16 | id) -> index of the first such entry, for Find.
    std::vector<std::pair<uint32_t, uint32_t>> m_sorted;
};

}  // namespace folivex
