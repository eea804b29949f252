// The viewer program's PE headers and resource table, walked the way the
// icon step and the check of a viewer program need them.
#include "builder/StubContract.h"

#include <algorithm>
#include <cstdio>

#include "format/ArchiveIndex.h"
#include "platform/ByteReader.h"

namespace folivex {

namespace {

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint16_t kPe32PlusMagic = 0x020B;
constexpr uint16_t kPe32OptionalHeaderSize = 224;
constexpr uint16_t kPe32PlusOptionalHeaderSize = 240;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kFileHeaderEnd = 24;  // the signature and the file header
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kResourceTypeIcon = 3;
constexpr uint32_t kResourceTypeGroupIcon = 14;
constexpr uint32_t kViewerIconGroupId = 128;
constexpr size_t kGroupEntrySize = 14;

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// Sets *why when asked for, and gives the nothing that every failed step
// returns.
std::nullopt_t Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return std::nullopt;
}

// The optional header's size that the machine and magic call for; 0 when
// they are no pair a viewer program may be.
uint16_t OptionalHeaderSizeFor(uint16_t machine, uint16_t magic) {
    if (machine == kMachineI386 && magic == kPe32Magic) return kPe32OptionalHeaderSize;
    if (machine == kMachineX64 && magic == kPe32PlusMagic) return kPe32PlusOptionalHeaderSize;
    return 0;
}

// The resource table inside the .rsrc section.
class ResourceTable {
public:
    ResourceTable(ExecutableBytes& exe, const SectionInfo& rsrc) : m_exe(exe), m_rsrc(rsrc) {}

    struct Directory {
        uint16_t namedCount = 0;
        uint16_t idCount = 0;
        std::vector<uint8_t> entries;  // named entries, then id entries, 8 bytes each
    };

    // The directory at offset (relative to the section, flag masked off).
    std::optional<Directory> ReadDirectory(uint32_t offset, std::string* why) {
        const uint64_t at = uint64_t{m_rsrc.rawOffset} + (offset & ~kSubdirectoryFlag);
        const auto header = m_exe.ReadAt(at, 16);
        if (!header)
            return Fail(why, "its resource directory at offset " + Hex(at) + " lies past its end");
        Directory dir;
        dir.namedCount = ByteReader(*header).U16At(12);
        dir.idCount = ByteReader(*header).U16At(14);
        const auto entries = m_exe.ReadAt(at + 16, (uint64_t{dir.namedCount} + dir.idCount) * 8);
        if (!entries)
            return Fail(why, "the entries of its resource directory at offset " + Hex(at) +
                                 " run past its end");
        dir.entries = *entries;
        return dir;
    }

    // The offset field of the first id entry with this id.
    static std::optional<uint32_t> FindId(const Directory& dir, uint32_t id) {
        const ByteReader entries(dir.entries);
        for (uint32_t k = 0; k < dir.idCount; ++k) {
            const uint64_t at = (uint64_t{dir.namedCount} + k) * 8;
            if (entries.U32At(at) == id) return entries.U32At(at + 4);
        }
        return std::nullopt;
    }

    // The subdirectory that entry id of dir points to; what names what was
    // looked for, in a reason.
    std::optional<Directory> Subdirectory(const Directory& dir, uint32_t id,
                                          const std::string& what, std::string* why) {
        const auto offset = FindId(dir, id);
        if (!offset) return Fail(why, "its resources hold no " + what);
        if ((*offset & kSubdirectoryFlag) == 0)
            return Fail(why, "its resource entry for " + what + " is data, not a directory");
        return ReadDirectory(*offset, why);
    }

    struct DataEntry {
        uint64_t fileOffset = 0;  // where the resource's bytes are in the file
        uint32_t size = 0;
    };

    // The data entry at offset (a language entry's offset field, which must
    // not point to a further directory).
    std::optional<DataEntry> ReadDataEntry(uint32_t offset, const std::string& what,
                                           std::string* why) {
        if ((offset & kSubdirectoryFlag) != 0)
            return Fail(why, "the language entry of " + what + " is a directory, not data");
        const auto entry = m_exe.ReadAt(uint64_t{m_rsrc.rawOffset} + offset, 16);
        if (!entry) return Fail(why, "the data entry of " + what + " lies past its end");
        const ByteReader reader(*entry);
        const int64_t at =
            int64_t{m_rsrc.rawOffset} - int64_t{m_rsrc.virtualAddress} + int64_t{reader.U32At(0)};
        if (at < 0)
            return Fail(why, "the data of " + what + " (RVA " + Hex(reader.U32At(0)) +
                                 ") lies before the start of the file");
        return DataEntry{static_cast<uint64_t>(at), reader.U32At(4)};
    }

private:
    ExecutableBytes& m_exe;
    SectionInfo m_rsrc;
};

}  // namespace

std::optional<std::vector<uint8_t>> MemoryBytes::ReadAt(uint64_t offset, uint64_t n) {
    if (offset > m_bytes.size() || n > m_bytes.size() - offset) return std::nullopt;
    const auto part = m_bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(n));
    return std::vector<uint8_t>(part.begin(), part.end());
}

std::optional<SectionInfo> FindResourceSection(ExecutableBytes& exe, std::string* why) {
    const auto dos = exe.ReadAt(0, kDosHeaderSize);
    if (!dos) return Fail(why, "it is shorter than a DOS header (64 bytes)");
    const ByteReader dosHeader(*dos);
    if (dosHeader.U16At(0) != kDosSignature)
        return Fail(why, "it does not start with \"MZ\": it is no Windows program");
    const uint64_t e_lfanew = dosHeader.U32At(60);

    const auto head = exe.ReadAt(e_lfanew, kFileHeaderEnd + 2);
    if (!head)
        return Fail(why,
                    "its PE header offset " + Hex(e_lfanew) + " (at offset 60) lies past its end");
    const ByteReader fileHeader(*head);
    if (fileHeader.U32At(0) != kPeSignature)
        return Fail(why, "there is no PE signature at offset " + Hex(e_lfanew));
    const uint16_t machine = fileHeader.U16At(4);
    const uint16_t magic = fileHeader.U16At(kFileHeaderEnd);
    const uint16_t wanted = OptionalHeaderSizeFor(machine, magic);
    if (wanted == 0)
        return Fail(why, "it is made for machine " + Hex(machine) + " with optional-header magic " +
                             Hex(magic) +
                             "; a viewer program is a PE32 image for the Intel 386 (0x14C, 0x10B) "
                             "or a PE32+ image for x86-64 (0x8664, 0x20B)");
    const uint16_t SizeOfOptionalHeader = fileHeader.U16At(20);
    if (SizeOfOptionalHeader != wanted)
        return Fail(why, "its optional header is " + std::to_string(SizeOfOptionalHeader) +
                             " bytes long; a " +
                             (wanted == kPe32OptionalHeaderSize ? "PE32" : "PE32+") +
                             " image has " + std::to_string(wanted));
    // The section table follows the optional header.
    const uint64_t table = e_lfanew + kFileHeaderEnd + SizeOfOptionalHeader;
    if (!exe.ReadAt(e_lfanew, table - e_lfanew))
        return Fail(why, "its PE headers at offset " + Hex(e_lfanew) + " run past its end");
    const uint16_t NumberOfSections = fileHeader.U16At(6);

    static constexpr uint8_t kRsrcName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (uint16_t s = 0; s < NumberOfSections; ++s) {
        const auto section =
            exe.ReadAt(table + uint64_t{s} * kSectionHeaderSize, kSectionHeaderSize);
        if (!section)
            return Fail(why, "its section table (" + std::to_string(NumberOfSections) +
                                 " sections at offset " + Hex(table) + ") runs past its end");
        const ByteReader header(*section);
        // Compared as the five characters and their NUL: what follows the
        // NUL is padding.
        if (std::equal(kRsrcName, kRsrcName + 6, section->begin()))
            return SectionInfo{header.U32At(20), header.U32At(16), header.U32At(12)};
    }
    return Fail(why, "it has no .rsrc section (no resources)");
}

std::optional<StubIconEntry> FindStubIconEntry(ExecutableBytes& exe, const SectionInfo& rsrc,
                                               std::string* why) {
    ResourceTable table(exe, rsrc);
    const std::string group = "icon group " + std::to_string(kViewerIconGroupId);
    const auto root = table.ReadDirectory(0, why);
    if (!root) return std::nullopt;
    const auto groups =
        table.Subdirectory(*root, kResourceTypeGroupIcon, "icon groups (type 14)", why);
    if (!groups) return std::nullopt;
    const auto languages = table.Subdirectory(*groups, kViewerIconGroupId, group, why);
    if (!languages) return std::nullopt;
    if (languages->entries.empty()) return Fail(why, group + " has no language");
    const auto data = table.ReadDataEntry(ByteReader(languages->entries).U32At(4), group, why);
    if (!data) return std::nullopt;

    const auto groupHeader = exe.ReadAt(data->fileOffset, 6);
    const uint16_t count = groupHeader ? ByteReader(*groupHeader).U16At(4) : 0;
    const auto entries = groupHeader
                             ? exe.ReadAt(data->fileOffset + 6, uint64_t{count} * kGroupEntrySize)
                             : std::nullopt;
    if (!entries)
        return Fail(why, group + " at offset " + Hex(data->fileOffset) + " runs past its end");
    const ByteReader entry(*entries);
    std::optional<StubIconEntry> found;
    for (uint16_t k = 0; k < count; ++k) {
        const uint64_t at = uint64_t{k} * kGroupEntrySize;
        if (entry.U8At(at) != 32) continue;
        found = StubIconEntry{entry.U8At(at), entry.U8At(at + 1), entry.U8At(at + 2),
                              entry.U32At(at + 8), entry.U16At(at + 12)};
    }
    if (!found) return Fail(why, group + " has no image 32 pixels wide");
    return found;
}

std::optional<uint64_t> FindStubImage(ExecutableBytes& exe, const SectionInfo& rsrc,
                                      const StubIconEntry& icon, std::string* why) {
    ResourceTable table(exe, rsrc);
    const std::string image = "icon " + std::to_string(icon.iconId) +
                              " (the 32x32 image of icon group " +
                              std::to_string(kViewerIconGroupId) + ")";
    const auto root = table.ReadDirectory(0, why);
    if (!root) return std::nullopt;
    const auto icons = table.Subdirectory(*root, kResourceTypeIcon, "icons (type 3)", why);
    if (!icons) return std::nullopt;
    const auto languages = table.Subdirectory(*icons, icon.iconId, image, why);
    if (!languages) return std::nullopt;
    if (languages->idCount != 1)
        return Fail(why, image + " has " + std::to_string(languages->idCount) +
                             " languages; the icon step needs exactly one");
    const uint32_t offset =
        ByteReader(languages->entries).U32At(uint64_t{languages->namedCount} * 8 + 4);
    const auto data = table.ReadDataEntry(offset, image, why);
    if (!data) return std::nullopt;
    // The new image must overwrite the old one and nothing else.
    const uint64_t end = data->fileOffset + icon.bytesInRes;
    if (data->size < icon.bytesInRes)
        return Fail(why, image + " holds " + std::to_string(data->size) +
                             " bytes, fewer than the " + std::to_string(icon.bytesInRes) +
                             " its group entry states");
    if (data->fileOffset < rsrc.rawOffset || end > uint64_t{rsrc.rawOffset} + rsrc.rawSize ||
        end > exe.Length())
        return Fail(why, "the bytes of " + image + " at offset " + Hex(data->fileOffset) +
                             " lie outside the .rsrc section");
    return data->fileOffset;
}

std::string ViewerStubProblem(std::span<const uint8_t> stub, uint16_t* machine) {
    if (stub.empty()) return "it is empty";
    if (EndsWithArchiveTrailer(stub))
        return "it ends in 4B 47, the trailer of an e-book's archive, so a build would take it for "
               "a "
               "finished e-book; give the bare viewer program";
    MemoryBytes exe(stub);
    std::string why;
    try {
        const auto rsrc = FindResourceSection(exe, &why);
        if (!rsrc) return why;
        const auto icon = FindStubIconEntry(exe, *rsrc, &why);
        if (!icon) return why;
        if (!FindStubImage(exe, *rsrc, *icon, &why)) return why;
    } catch (const ByteReader::OutOfRange&) {
        // Every read above is checked first; this is the last line of defence.
        return "its headers are damaged";
    }
    if (machine) *machine = ByteReader(stub).U16At(ByteReader(stub).U32At(60) + 4);
    return {};
}

}  // namespace folivex
