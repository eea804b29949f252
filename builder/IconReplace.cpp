// The icon step of the build: the viewer's own 32x32 image, found through the
// PE resource table at the start of the e-book (StubContract.h walks it), is
// overwritten in place by an image of exactly the same size from the
// author's .ico file. Nothing moves, so the archive after the stub stays
// valid. The output and the icon file are untrusted here: every structure is
// read through bounds-checked reads.
#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "builder/BuildEBook.h"
#include "builder/StubContract.h"
#include "platform/ByteReader.h"
#include "platform/File.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

constexpr const char* kUnsuitableIcon =
    "Invalid or unsuitable .ico file. The icon file must contain 32x32 16-color image.";

constexpr size_t kIcoEntrySize = 16;

// Bounds-checked access to the open output file.
class OutputReader final : public ExecutableBytes {
public:
    explicit OutputReader(CFile& file) : m_file(file), m_length(file.GetLength()) {}

    std::optional<std::vector<uint8_t>> ReadAt(uint64_t offset, uint64_t n) override {
        if (offset > m_length || n > m_length - offset) return std::nullopt;
        std::vector<uint8_t> bytes(static_cast<size_t>(n));
        m_file.Seek(static_cast<int64_t>(offset), CFile::begin);
        if (m_file.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
        return bytes;
    }
    uint64_t Length() const override { return m_length; }

private:
    CFile& m_file;
    uint64_t m_length;
};

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
        const auto icon = FindStubIconEntry(out, *rsrc);
        if (!icon) return 0;

        const std::vector<uint8_t> ico = ReadIconFile(project.iconFile);
        const auto image = MatchIcoImage(ico, *icon);
        const auto position = image ? FindStubImage(out, *rsrc, *icon) : std::nullopt;
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
