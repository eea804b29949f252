#include "viewer/PeIcon.h"

#include <cstring>

#include "platform/ByteReader.h"
#include "platform/LittleEndian.h"

namespace folivex {

namespace {

constexpr uint32_t kSubdirectoryBit = 0x80000000;
constexpr int kResourceIcon = 3;
constexpr int kResourceIconGroup = 14;
constexpr int kViewerIconGroup = 128;
constexpr int kAnyId = -1;

// The ".rsrc" section's bytes and the RVA they are loaded at.
struct ResourceSection {
    ByteReader bytes;
    uint32_t rva = 0;
};

std::optional<ResourceSection> FindResourceSection(const ByteReader& pe) {
    if (pe.U16At(0) != 0x5A4D) return std::nullopt;  // "MZ"
    const uint32_t e_lfanew = pe.U32At(60);
    if (pe.U32At(e_lfanew) != 0x00004550) return std::nullopt;  // "PE\0\0"
    const uint16_t NumberOfSections = pe.U16At(uint64_t{e_lfanew} + 6);
    const uint16_t SizeOfOptionalHeader = pe.U16At(uint64_t{e_lfanew} + 20);
    // The real optional-header size is used (not the 224 of PE32), so the
    // x86-64 build's PE32+ headers are read as well.
    const uint64_t table = uint64_t{e_lfanew} + 24 + SizeOfOptionalHeader;
    for (uint32_t i = 0; i < NumberOfSections; ++i) {
        const uint64_t header = table + uint64_t{i} * 40;
        const auto name = pe.BytesAt(header, 8);
        if (std::memcmp(name.data(), ".rsrc\0\0\0", 8) != 0) continue;
        const uint32_t VirtualAddress = pe.U32At(header + 12);
        const uint32_t SizeOfRawData = pe.U32At(header + 16);
        const uint32_t PointerToRawData = pe.U32At(header + 20);
        return ResourceSection{ByteReader(pe.BytesAt(PointerToRawData, SizeOfRawData)),
                               VirtualAddress};
    }
    return std::nullopt;
}

// The offset field of the first id entry of the directory at dirOffset whose
// id is id (any id entry for kAnyId). Named entries are passed over.
std::optional<uint32_t> FindChild(const ByteReader& rsrc, uint32_t dirOffset, int id) {
    const uint32_t named = rsrc.U16At(uint64_t{dirOffset} + 12);
    const uint32_t ids = rsrc.U16At(uint64_t{dirOffset} + 14);
    for (uint32_t i = 0; i < named + ids; ++i) {
        const uint64_t entry = uint64_t{dirOffset} + 16 + uint64_t{i} * 8;
        const uint32_t nameOrId = rsrc.U32At(entry);
        if (nameOrId & kSubdirectoryBit) continue;  // a named entry
        if (id == kAnyId || nameOrId == static_cast<uint32_t>(id)) return rsrc.U32At(entry + 4);
    }
    return std::nullopt;
}

// The data of resource (type, id), first language. The resource tree has
// exactly three levels (type, name, language); a leaf anywhere else, or a
// directory where the data entry belongs, means the table is malformed.
std::optional<std::span<const uint8_t>> FindResource(const ResourceSection& s, int type, int id) {
    const auto typeDir = FindChild(s.bytes, 0, type);
    if (!typeDir || !(*typeDir & kSubdirectoryBit)) return std::nullopt;
    const auto nameDir = FindChild(s.bytes, *typeDir & ~kSubdirectoryBit, id);
    if (!nameDir || !(*nameDir & kSubdirectoryBit)) return std::nullopt;
    const auto leaf = FindChild(s.bytes, *nameDir & ~kSubdirectoryBit, kAnyId);
    if (!leaf || (*leaf & kSubdirectoryBit)) return std::nullopt;
    const uint32_t dataRva = s.bytes.U32At(*leaf);
    const uint32_t size = s.bytes.U32At(uint64_t{*leaf} + 4);
    if (dataRva < s.rva) return std::nullopt;
    return s.bytes.BytesAt(dataRva - s.rva, size);
}

struct IconImage {
    std::span<const uint8_t> groupEntry;  // the 14-byte entry of the group
    std::span<const uint8_t> data;
};

std::optional<std::vector<uint8_t>> IcoFromResources(const ResourceSection& s) {
    auto group = FindResource(s, kResourceIconGroup, kViewerIconGroup);
    if (!group) group = FindResource(s, kResourceIconGroup, kAnyId);
    if (!group) return std::nullopt;

    ByteReader g(*group);
    g.U16();                                // reserved
    if (g.U16() != 1) return std::nullopt;  // not an icon group
    const uint32_t count = g.U16();
    std::vector<IconImage> images;
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const auto entry = g.Bytes(14);
        const uint16_t iconId = ByteReader(entry).U16At(12);
        const auto data = FindResource(s, kResourceIcon, iconId);
        if (!data) continue;
        // Entries may name the same image many times; the .ico never grows
        // past the resource section's own size.
        if (total + data->size() > s.bytes.Size()) break;
        total += data->size();
        images.push_back({entry, *data});
    }
    if (images.empty()) return std::nullopt;

    std::vector<uint8_t> ico;
    AppendU16(ico, 0);
    AppendU16(ico, 1);
    AppendU16(ico, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const auto& image : images) {
        // width, height, colour count, reserved, planes, bit count
        ico.insert(ico.end(), image.groupEntry.begin(), image.groupEntry.begin() + 8);
        AppendU32(ico, static_cast<uint32_t>(image.data.size()));
        AppendU32(ico, offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const auto& image : images) ico.insert(ico.end(), image.data.begin(), image.data.end());
    return ico;
}

}  // namespace

std::optional<std::vector<uint8_t>> IcoFromPeImage(std::span<const uint8_t> image) {
    try {
        const auto section = FindResourceSection(ByteReader(image));
        if (!section) return std::nullopt;
        return IcoFromResources(*section);
    } catch (const ByteReader::OutOfRange&) {
        return std::nullopt;
    }
}

}  // namespace folivex
