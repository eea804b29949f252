#include "builder/EarlierBook.h"

#include "format/Container.h"
#include "format/Crc32.h"

namespace folivex {

std::unique_ptr<EarlierBook> EarlierBook::Open(const std::string& path, const FileStamp& stamp) {
    if (path.empty()) return nullptr;
    std::unique_ptr<EarlierBook> book(new EarlierBook);
    try {
        book->m_file.Open(path, CFile::modeRead);
    } catch (const CFileException&) {
        return nullptr;
    }
    // Stamped once open: a book replaced in between is the one read, and
    // its stamp then differs.
    const std::optional<FileStamp> now = StampOfFile(path);
    if (!now || *now != stamp) return nullptr;
    book->m_length = now->size;
    return book;
}

std::optional<std::vector<uint8_t>> EarlierBook::Blob(const BuildMemo::Place& place,
                                                      uint64_t fileLength) const {
    if (place.length < 4 || place.offset > m_length || place.length > m_length - place.offset)
        return std::nullopt;
    std::vector<uint8_t> blob(place.length);
    try {
        // A positioned read: the workers share the file without a lock.
        if (m_file.ReadAt(place.offset, blob.data(), blob.size()) != blob.size())
            return std::nullopt;
    } catch (const CFileException&) {
        return std::nullopt;
    }
    try {
        if (BlobLength(blob) != fileLength || Crc32(blob) != place.crc) return std::nullopt;
    } catch (const ContainerError&) {
        return std::nullopt;  // a length no blob states: the file is read instead
    }
    return blob;
}

}  // namespace folivex
