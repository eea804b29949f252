// ArchiveStream: writes a new archive straight to the end of a file, entry by
// entry, instead of holding every entry in memory until the end.
//
// The bytes are those CUpdateArchive writes when it starts on a file without
// an archive and is given the same entries through UpdateEntry in the same
// order: the archive format puts each node's count before its children, so
// the caller states up front how many entries each type will get, and the
// entries then go out as they come. Each entry must be new (no (type, id)
// twice) and non-empty, as UpdateEntry would otherwise replace or delete.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Archive.h"
#include "platform/File.h"

namespace folivex {

class ArchiveStream {
public:
    struct TypePlan {
        int type = 0;
        uint32_t entries = 0;  // at least 1
    };

    // Opens the existing file path for reading and writing with exclusive
    // sharing (never creating it); the archive starts at its end. Throws
    // CFileException, and ArchiveLimitError when the file is already too
    // long for the trailer's base.
    ArchiveStream(const std::string& path, std::vector<TypePlan> plan);
    // Closes the file, ignoring failures, if Finish did not.
    ~ArchiveStream();
    ArchiveStream(const ArchiveStream&) = delete;
    ArchiveStream& operator=(const ArchiveStream&) = delete;

    // Writes the next entry. Entries come type by type in the order of the
    // plan, each type with exactly its planned count. Throws
    // std::logic_error when the calls break the plan or data is empty,
    // ArchiveLimitError (before writing it) when the entry would take the
    // file past kMaxBookFileSize, CFileException when writing fails.
    // Returns the file offset at which data's first byte is written.
    uint64_t Add(int type, int id, std::span<const uint8_t> data);

    // Writes the trailer, cuts the file after it and closes it. Throws
    // std::logic_error when entries are still missing, CFileException.
    void Finish();

    uint32_t Base() const { return m_base; }

private:
    void StartType();

    CFile m_file;
    uint32_t m_base = 0;
    std::vector<TypePlan> m_plan;
    size_t m_type = 0;       // index into m_plan of the type being written
    uint32_t m_written = 0;  // entries written of that type
    bool m_typeStarted = false;
    std::unique_ptr<CArchive> m_archive;
};

}  // namespace folivex
