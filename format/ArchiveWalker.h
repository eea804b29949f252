// The one loader of the appended archive, shared by the writer (which keeps
// every entry's data) and the index (which records where each entry's data
// lies and skips it).
//
// Untrusted input: every count and length is checked against the bytes left
// before the end of the body before anything is read or allocated; the tree
// must have exactly two levels (type nodes of class CUpdateDir holding
// entries of class CUpdateElem, both schema 1). Anything else throws
// CArchiveException naming the file: badClass for an unknown or misplaced
// class, badSchema for a schema other than 1, badIndex for a null tag, an
// object back-reference or a class reference to an unknown number,
// endOfFile for a count or length that runs past the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Archive.h"
#include "platform/File.h"

namespace folivex {

class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // A type node starts; its entries follow.
    virtual void OnTypeNode(uint16_t type) = 0;
    // One entry of the current type node. Its length bytes of data come next
    // in ar, starting at file offset dataOffset; the sink must consume them
    // exactly (ReadBytes or Skip). length is already known to fit the body.
    virtual void OnEntry(uint16_t type, uint16_t id, uint32_t length, uint64_t dataOffset,
                         CArchive& ar) = 0;
};

// Where the archive of an open file begins.
struct ArchiveLocation {
    uint64_t fileLength = 0;
    std::optional<uint32_t> base;  // empty: the file has no trailer
};

// Reads the last 6 bytes of file. A file shorter than 6 bytes throws
// CFileException(badSeek) when requireTrailerRoom, else counts as having no
// trailer. A base past the end of the file throws CFileException(badSeek);
// a base inside the trailer throws CArchiveException(badIndex).
ArchiveLocation LocateArchive(CFile& file, bool requireTrailerRoom);

// Walks the body that starts at base and ends at bodyEnd (where the trailer
// starts), calling sink for every type node and entry in archive order.
// Reads through a 4096-byte buffer. Returns the file offset where the tree
// ended (bodyEnd for an archive as the writer leaves it).
uint64_t WalkArchive(CFile& file, uint32_t base, uint64_t bodyEnd, ArchiveSink& sink);
// The same on a loading archive positioned at the start of the body.
uint64_t WalkArchiveBody(CArchive& ar, uint64_t bodyEnd, ArchiveSink& sink);

}  // namespace folivex
