// The icon step of the build: the viewer's own 32x32 image, found through the
// PE resource table at the start of the e-book, is overwritten in place by an
// image of exactly the same size from the author's .ico file. Nothing moves,
// so the archive after the stub stays valid.
//
// The output and the icon file are untrusted here: every structure is read
// through bounds-checked reads, and the walk has the fixed three levels of a
// PE resource table (type, name, language), so a table that loops or goes
// deeper cannot make it run on.
#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "builder/BuildEBook.h"
#include "platform/ByteReader.h"
#include "platform/File.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

constexpr const char* kUnsuitableIcon =
    "Invalid or unsuitable .ico file. The icon file must contain 32x32 16-color image.";

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeHeadersSize = 248;  // signature, file header, 224-byte optional header
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kResourceTypeIcon = 3;
constexpr uint32_t kResourceTypeGroupIcon = 14;
constexpr uint32_t kViewerIconGroupId = 128;
constexpr size_t kGroupEntrySize = 14;
constexpr size_t kIcoEntrySize = 16;

// The stub's icon group entry that the author's image must match.
struct StubIconEntry {
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t iconId = 0;
};

// Bounds-checked access to the open output file.
class OutputReader {
public:
    explicit OutputReader(CFile& file) : m_file(file), m_length(file.GetLength()) {}

    // Exactly n bytes at offset, or nothing when the file is shorter.
    std::optional<std::vector<uint8_t>> ReadAt(uint64_t offset, uint64_t n) {
        if (offset > m_length || n > m_length - offset) return std::nullopt;
        std::vector<uint8_t> bytes(static_cast<size_t>(n));
        m_file.Seek(static_cast<int64_t>(offset), CFile::begin);
        if (m_file.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
        return bytes;
    }
    uint64_t Length() const { return m_length; }

private:
    CFile& m_file;
    uint64_t m_length;
};

struct SectionInfo {
    uint32_t rawOffset = 0;  // PointerToRawData
    uint32_t rawSize = 0;    // SizeOfRawData
    uint32_t virtualAddress = 0;
};

// The ".rsrc" section of a PE32 i386 image; nothing when the headers are not
// what the viewer stub has.
std::optional<SectionInfo> FindResourceSection(OutputReader& out) {
    const auto dos = out.ReadAt(0, kDosHeaderSize);
    if (!dos) return std::nullopt;
    const ByteReader dosHeader(*dos);
    if (dosHeader.U16At(0) != kDosSignature) return std::nullopt;
    const uint64_t e_lfanew = dosHeader.U32At(60);

    const auto pe = out.ReadAt(e_lfanew, kPeHeadersSize);
    if (!pe) return std::nullopt;
    const ByteReader headers(*pe);
    if (headers.U32At(0) != kPeSignature || headers.U16At(4) != kMachineI386 ||
        headers.U16At(24) != kPe32Magic)
        return std::nullopt;
    const uint16_t numberOfSections = headers.U16At(6);

    static constexpr uint8_t kRsrcName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (uint16_t s = 0; s < numberOfSections; ++s) {
        const auto section = out.ReadAt(
            e_lfanew + kPeHeadersSize + uint64_t{s} * kSectionHeaderSize, kSectionHeaderSize);
        if (!section) return std::nullopt;
        const ByteReader header(*section);
        // Compared as the five characters and their NUL: what follows the
        // NUL is padding.
        if (std::equal(kRsrcName, kRsrcName + 6, section->begin()))
            return SectionInfo{header.U32At(20), header.U32At(16), header.U32At(12)};
    }
    return std::nullopt;
}

// The resource table inside the .rsrc section.
class ResourceTable {
public:
    ResourceTable(OutputReader& out, uint32_t fileOffset, uint32_t rva)
        : m_out(out), m_fileOffset(fileOffset), m_rva(rva) {}

    struct Directory {
        uint16_t namedCount = 0;
        uint16_t idCount = 0;
        std::vector<uint8_t> entries;  // named entries, then id entries, 8 bytes each
    };

    // The directory at offset (relative to the section, flag masked off).
    std::optional<Directory> ReadDirectory(uint32_t offset) {
        const uint64_t at = uint64_t{m_fileOffset} + (offset & ~kSubdirectoryFlag);
        const auto header = m_out.ReadAt(at, 16);
        if (!header) return std::nullopt;
        Directory dir;
        dir.namedCount = ByteReader(*header).U16At(12);
        dir.idCount = ByteReader(*header).U16At(14);
        const auto entries = m_out.ReadAt(at + 16, (uint64_t{dir.namedCount} + dir.idCount) * 8);
        if (!entries) return std::nullopt;
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

    // The subdirectory that entry id of the directory at offset points to.
    std::optional<Directory> Subdirectory(const Directory& dir, uint32_t id) {
        const auto offset = FindId(dir, id);
        if (!offset || (*offset & kSubdirectoryFlag) == 0) return std::nullopt;
        return ReadDirectory(*offset);
    }

    struct DataEntry {
        uint64_t fileOffset = 0;  // where the resource's bytes are in the file
        uint32_t size = 0;
    };

    // The data entry at offset (a language entry's offset field, which must
    // not point to a further directory).
    std::optional<DataEntry> ReadDataEntry(uint32_t offset) {
        if ((offset & kSubdirectoryFlag) != 0) return std::nullopt;
        const auto entry = m_out.ReadAt(uint64_t{m_fileOffset} + offset, 16);
        if (!entry) return std::nullopt;
        const ByteReader reader(*entry);
        const int64_t at = int64_t{m_fileOffset} - int64_t{m_rva} + int64_t{reader.U32At(0)};
        if (at < 0) return std::nullopt;
        return DataEntry{static_cast<uint64_t>(at), reader.U32At(4)};
    }

private:
    OutputReader& m_out;
    uint32_t m_fileOffset;
    uint32_t m_rva;
};

// The stub's 32-pixel icon group entry: group 128, its first language, the
// last entry of width 32.
std::optional<StubIconEntry> FindStubIconEntry(OutputReader& out, ResourceTable& table) {
    const auto root = table.ReadDirectory(0);
    if (!root) return std::nullopt;
    const auto groups = table.Subdirectory(*root, kResourceTypeGroupIcon);
    if (!groups) return std::nullopt;
    const auto languages = table.Subdirectory(*groups, kViewerIconGroupId);
    if (!languages || languages->entries.empty()) return std::nullopt;
    const auto data = table.ReadDataEntry(ByteReader(languages->entries).U32At(4));
    if (!data) return std::nullopt;

    const auto groupHeader = out.ReadAt(data->fileOffset, 6);
    if (!groupHeader) return std::nullopt;
    const uint16_t count = ByteReader(*groupHeader).U16At(4);
    const auto entries = out.ReadAt(data->fileOffset + 6, uint64_t{count} * kGroupEntrySize);
    if (!entries) return std::nullopt;
    const ByteReader group(*entries);
    std::optional<StubIconEntry> found;
    for (uint16_t k = 0; k < count; ++k) {
        const uint64_t at = uint64_t{k} * kGroupEntrySize;
        if (group.U8At(at) != 32) continue;
        found = StubIconEntry{group.U8At(at), group.U8At(at + 1), group.U8At(at + 2),
                              group.U32At(at + 8), group.U16At(at + 12)};
    }
    return found;
}

// Where the stub's image is in the file: icon resource iconId with exactly
// one language, its bytes inside the .rsrc section.
std::optional<uint64_t> FindStubImage(ResourceTable& table, const SectionInfo& rsrc,
                                      const StubIconEntry& icon, uint64_t fileLength) {
    const auto root = table.ReadDirectory(0);
    if (!root) return std::nullopt;
    const auto icons = table.Subdirectory(*root, kResourceTypeIcon);
    if (!icons) return std::nullopt;
    const auto languages = table.Subdirectory(*icons, icon.iconId);
    if (!languages || languages->idCount != 1) return std::nullopt;
    const uint32_t offset =
        ByteReader(languages->entries).U32At(uint64_t{languages->namedCount} * 8 + 4);
    const auto data = table.ReadDataEntry(offset);
    if (!data) return std::nullopt;
    // The new image must overwrite the old one and nothing else.
    const uint64_t end = data->fileOffset + icon.bytesInRes;
    if (data->size < icon.bytesInRes || data->fileOffset < rsrc.rawOffset ||
        end > uint64_t{rsrc.rawOffset} + rsrc.rawSize || end > fileLength)
        return std::nullopt;
    return data->fileOffset;
}

// The bytes of the first .ico image matching the stub's entry; nothing when
// the file has none, or its directory or that image runs past its end.
std::optional<std::span<const uint8_t>> MatchIcoImage(const std::vector<uint8_t>& ico,
                                                      const StubIconEntry& icon) {
    const ByteReader reader(ico);
    if (!reader.Has(4, 2)) return std::nullopt;
    const uint16_t count = reader.U16At(4);
    for (uint16_t k = 0; k < count; ++k) {
        const uint64_t at = 6 + uint64_t{k} * kIcoEntrySize;
        if (!reader.Has(at, kIcoEntrySize)) return std::nullopt;
        if (reader.U8At(at) != icon.width || reader.U8At(at + 1) != icon.height ||
            reader.U8At(at + 2) != icon.colorCount || reader.U32At(at + 8) != icon.bytesInRes)
            continue;
        const uint32_t imageOffset = reader.U32At(at + 12);
        if (!reader.Has(imageOffset, icon.bytesInRes)) return std::nullopt;
        return reader.BytesAt(imageOffset, icon.bytesInRes);
    }
    return std::nullopt;
}

std::vector<uint8_t> ReadIconFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    std::vector<uint8_t> data(static_cast<size_t>(file.GetLength()));
    if (file.Read(data.data(), data.size()) != data.size())
        throw CFileException(CFileException::endOfFile, path);
    file.Close();
    return data;
}

}  // namespace

int ReplaceIcon(CBookApp& app) {
    return ReplaceIcon(app, app.project.ebookFile);
}

int ReplaceIcon(CBookApp& app, const std::string& bookFile) {
    const BookProject& project = app.project;
    if (project.iconFile.empty()) return 1;
    try {
        CFile output(bookFile, CFile::modeReadWrite);
        OutputReader out(output);

        // The headers and the icon group: a file not shaped like the viewer
        // stub keeps its icon, without a message.
        const auto rsrc = FindResourceSection(out);
        if (!rsrc) return 0;
        app.rsrcFileOffset = rsrc->rawOffset;
        app.rsrcRva = rsrc->virtualAddress;
        ResourceTable table(out, app.rsrcFileOffset, app.rsrcRva);
        const auto icon = FindStubIconEntry(out, table);
        if (!icon) return 0;

        const std::vector<uint8_t> ico = ReadIconFile(project.iconFile);
        const auto image = MatchIcoImage(ico, *icon);
        const auto position =
            image ? FindStubImage(table, *rsrc, *icon, out.Length()) : std::nullopt;
        if (!image || !position) {
            app.GetPrompts().ShowMessage(kUnsuitableIcon, MsgButtons::OK, MsgIcon::Stop);
            return 0;
        }

        output.Seek(static_cast<int64_t>(*position), CFile::begin);
        output.Write(image->data(), image->size());
        output.Close();
        return 1;
    } catch (const CFileException& error) {
        CFileException named(error);
        if (named.m_strFileName == bookFile) named.m_strFileName = project.ebookFile;
        app.ReportFileError("File error with " + named.m_strFileName, named);
        return 0;
    } catch (const ByteReader::OutOfRange&) {
        // Every read above is checked first; this is the last line of defence.
        return 0;
    }
}

}  // namespace folivex
