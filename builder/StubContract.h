// What the builder requires of a viewer program, the stub every e-book
// starts with, and the walk through its PE headers and resource table that
// the icon step takes to the stub's own icon.
//
// A viewer program:
//  - does not end in 4B 47, the archive trailer's magic, so that a build
//    appends a new archive after it instead of loading one;
//  - is a PE32 image for the Intel 386 (machine 0x14C, optional-header magic
//    0x10B, an optional header of 224 bytes) or a PE32+ image for x86-64
//    (0x8664, 0x20B, 240 bytes), its section table right after the optional
//    header;
//  - has a ".rsrc" section whose resource table holds, among id entries,
//    icon group 128 (type 14) with a data entry as its first language and
//    in it an entry 32 pixels wide, and that entry's icon (type 3) with
//    exactly one language, a data entry whose bytes, as many as the group
//    entry states, lie inside the .rsrc section. The icon step overwrites
//    those bytes with the author's image.
//
// Every structure is read through bounds-checked reads, and the resource
// walk has the fixed three levels of a PE resource table (type, name,
// language), so a table that loops or goes deeper cannot make it run on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace folivex {

// The bytes of an executable: the e-book being built (a file) or a viewer
// program in memory.
class ExecutableBytes {
public:
    virtual ~ExecutableBytes() = default;
    // Exactly n bytes at offset, or nothing when there are fewer. May throw
    // the file layer's errors.
    virtual std::optional<std::vector<uint8_t>> ReadAt(uint64_t offset, uint64_t n) = 0;
    virtual uint64_t Length() const = 0;
};

class MemoryBytes final : public ExecutableBytes {
public:
    explicit MemoryBytes(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    std::optional<std::vector<uint8_t>> ReadAt(uint64_t offset, uint64_t n) override;
    uint64_t Length() const override { return m_bytes.size(); }

private:
    std::span<const uint8_t> m_bytes;
};

// The ".rsrc" section: where its bytes are in the file, and the address
// they are loaded at (a resource's RVA r lies at rawOffset - virtualAddress
// + r in the file).
struct SectionInfo {
    uint32_t rawOffset = 0;  // PointerToRawData
    uint32_t rawSize = 0;    // SizeOfRawData
    uint32_t virtualAddress = 0;
};

// The 32-pixel entry of icon group 128: what an author's image must match.
struct StubIconEntry {
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t iconId = 0;
};

// Each step of the walk returns nothing when the bytes are not as required;
// why, when given, then receives what is wrong and where ("there is no PE
// signature at offset 0x80").

// The .rsrc section of a PE32 i386 or PE32+ x86-64 image.
std::optional<SectionInfo> FindResourceSection(ExecutableBytes& exe, std::string* why = nullptr);

// The last entry of width 32 in icon group 128 (first language).
std::optional<StubIconEntry> FindStubIconEntry(ExecutableBytes& exe, const SectionInfo& rsrc,
                                               std::string* why = nullptr);

// The file offset of the image of icon.iconId: exactly one language, a data
// entry holding at least icon.bytesInRes bytes, all inside the section.
std::optional<uint64_t> FindStubImage(ExecutableBytes& exe, const SectionInfo& rsrc,
                                      const StubIconEntry& icon, std::string* why = nullptr);

// A viewer program is a few hundred kilobytes and every e-book carries a
// copy; a file larger than this is refused before it is read.
constexpr uint64_t kMaxViewerStubBytes = 64ull << 20;

// Empty when stub is a viewer program as above; otherwise what is wrong and
// where, to follow "cannot be used: " in a message. machine, when given,
// receives the machine of a stub that passes (0x14C or 0x8664).
std::string ViewerStubProblem(std::span<const uint8_t> stub, uint16_t* machine = nullptr);

}  // namespace folivex
