// The appended resource archive and its writer.
//
// An e-book is an executable followed by an archive of numbered byte blocks,
// grouped by a numeric type, and a 6-byte trailer (dword base, word 0x474B)
// that tells the viewer where the archive begins. The archive body is the
// object-archive encoding of a two-level tree: the root CUpdateDir (written
// without a class tag) holds one CUpdateDir per type, each holding one
// CUpdateElem per entry. The class names "CUpdateDir" and "CUpdateElem" and
// schema 1 are part of the file format.
//
// CUpdateArchive opens an existing file, loads the archive already at its end
// (or starts an empty one after the file's last byte), lets the caller add,
// replace and delete entries by (type, id), and writes the whole archive back
// in place. Keys are 16-bit: ids that are equal modulo 65536 are one key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Archive.h"
#include "platform/File.h"

namespace folivex {

// The largest file an e-book can be: the trailer's base and every entry
// length are dwords, and the 32-bit viewer addresses its file with them.
constexpr uint64_t kMaxBookFileSize = 0xFFFFFFFFull;

// Raised when an archive would make its file pass kMaxBookFileSize. The text
// names the limit.
class ArchiveLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The text of ArchiveLimitError for an e-book that would pass 4 GiB.
std::string ArchiveLimitText();

// One entry: an id and an owned block of bytes.
class CUpdateElem : public CObject {
public:
    static const CRuntimeClass classCUpdateElem;

    CUpdateElem() = default;
    ~CUpdateElem() override = default;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCUpdateElem; }
    // Storing: word id, dword length, the bytes. Loading: the same, the
    // length checked against the bytes left before anything is allocated
    // (CArchiveException(endOfFile) when it runs past the end).
    void Serialize(CArchive& ar) override;

    // Replaces the data with a copy of size bytes at data (none when 0).
    void SetData(const void* data, size_t size);
    // Takes the bytes over without copying.
    void SetData(std::vector<uint8_t>&& data);
    std::span<const uint8_t> Data() const { return m_data; }
    uint32_t Length() const { return static_cast<uint32_t>(m_data.size()); }

    int16_t id = 0;

protected:
    std::vector<uint8_t> m_data;
};

// A directory node: the root (id 0) or one type node (id = the type number).
class CUpdateDir : public CUpdateElem {
public:
    static const CRuntimeClass classCUpdateDir;

    CUpdateDir() = default;
    ~CUpdateDir() override = default;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCUpdateDir; }
    // Storing: word id, list count, each child as an object. Loading reads a
    // whole archive body into this directory as its root (type nodes and
    // entries are always read by the archive walker, which checks that the
    // tree has exactly two levels); throws CArchiveException when malformed.
    void Serialize(CArchive& ar) override;

    // The first child whose 16-bit id equals the 16-bit value of key.
    CUpdateElem* Find(int key) const;
    // Sets child's id to key and appends it at the tail.
    CUpdateElem& Add(std::unique_ptr<CUpdateElem> child, int key);
    // Deletes the first child whose id matches key; nothing if none.
    void Remove(int key);
    // Deletes every child.
    void Clear() { m_children.clear(); }

    const std::vector<std::unique_ptr<CUpdateElem>>& Children() const { return m_children; }

private:
    std::vector<std::unique_ptr<CUpdateElem>> m_children;  // insertion order
};

// The e-book file, with the archive's base as an extra seek origin.
class COffsetFile : public CFile {
public:
    static constexpr int fromBase = 3;

    // origin fromBase (3) seeks to base + offset from the start of the file;
    // begin, current and end behave as in CFile.
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    uint64_t SeekFromBase(int64_t offset) {
        return Seek(offset, static_cast<SeekPosition>(fromBase));
    }

    uint32_t base = 0;
};

// One update of one file. Entries live in memory until EndUpdate; nothing
// reaches the file before it.
class CUpdateArchive {
public:
    CUpdateArchive() = default;
    CUpdateArchive(const CUpdateArchive&) = delete;
    CUpdateArchive& operator=(const CUpdateArchive&) = delete;
    // Closes the file if it is open (ignoring failures), then frees the tree.
    ~CUpdateArchive();

    // Opens the existing file path for reading and writing with exclusive
    // sharing (never creating it). When its last two bytes are 4B 47 the
    // dword before them is the base and the archive there is loaded;
    // otherwise the base is the file's length and the tree starts empty.
    // Throws CFileException (missing, locked, unreadable, shorter than 6
    // bytes, a base past the end of the file), CArchiveException (malformed
    // archive body, or a base pointing into the trailer) and
    // ArchiveLimitError (a file without trailer already at the size limit).
    void BeginUpdate(const std::string& path);

    // size above 0: entry (type, id) becomes a copy of size bytes at data;
    // the type node and the entry are created at the tail when missing, an
    // existing entry keeps its place. size 0: the entry is deleted, and its
    // type node too when that was its last entry; a missing entry is left
    // missing. Throws ArchiveLimitError when the archive would make the file
    // pass kMaxBookFileSize.
    void UpdateEntry(int type, int id, const void* data, size_t size);
    // The same, taking the bytes over instead of copying them.
    void UpdateEntry(int type, int id, std::vector<uint8_t>&& data);

    // Writes the tree and the trailer at the base through a 4096-byte store
    // buffer and cuts the file after the trailer. The file stays open.
    // Throws CFileException, or ArchiveLimitError before writing anything.
    void EndUpdate();

    // The exact number of bytes EndUpdate writes (body and trailer).
    uint64_t ArchiveSize() const;

    const CUpdateDir& Root() const { return m_root; }
    uint32_t Base() const { return m_file ? m_file->base : 0; }

private:
    CUpdateElem* PrepareEntry(int type, int id);
    void RemoveEntry(int type, int id);
    void CheckLimit(uint64_t extraData) const;

    std::string m_path;
    std::unique_ptr<COffsetFile> m_file;
    CUpdateDir m_root;
    // Running totals for the early size check: data bytes and entries.
    uint64_t m_dataBytes = 0;
    uint64_t m_entryCount = 0;
    uint64_t m_typeCount = 0;
};

}  // namespace folivex
