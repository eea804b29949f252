#include "builder/EarlierBook.h"

#include <algorithm>

#include "builder/FileBytes.h"
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

namespace {

// Blobs this close are read together with the bytes between them: a read
// costs more than copying a few KiB it did not need. A stretch is held
// beside the blobs taken from it until they are, so it stays small.
constexpr uint64_t kMaxGap = 4 << 10;
constexpr uint64_t kMaxStretch = 1 << 20;

// The blob when it is the one the memo knew for a file of fileLength bytes.
std::optional<std::vector<uint8_t>> Checked(std::vector<uint8_t> blob,
                                            const EarlierBook::Wanted& wanted) {
    try {
        if (BlobLength(blob) != wanted.fileLength || Crc32(blob) != wanted.place.crc)
            return std::nullopt;
    } catch (const ContainerError&) {
        return std::nullopt;  // a length no blob states: the file is read instead
    }
    return blob;
}

// Reads into bytes from offset at of file; how many it read (none when the
// read failed). A positioned read: the workers share the file without a
// lock.
size_t ReadAt(CFile& file, uint64_t at, std::span<uint8_t> bytes) {
    try {
        return file.ReadAt(at, bytes.data(), bytes.size());
    } catch (const CFileException&) {
        return 0;  // none of them: their files are read instead
    }
}

}  // namespace

std::optional<std::vector<uint8_t>> EarlierBook::Blob(const BuildMemo::Place& place,
                                                      uint64_t fileLength) const {
    const Wanted wanted{place, fileLength};
    return std::move(Blobs(std::span(&wanted, 1)).front());
}

std::vector<std::optional<std::vector<uint8_t>>> EarlierBook::Blobs(
    std::span<const Wanted> wanted) const {
    std::vector<std::optional<std::vector<uint8_t>>> blobs(wanted.size());
    // The places within the book, by offset.
    std::vector<size_t> order;
    for (size_t i = 0; i < wanted.size(); ++i) {
        const BuildMemo::Place& place = wanted[i].place;
        if (place.length >= 4 && place.offset <= m_length &&
            place.length <= m_length - place.offset)
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return wanted[a].place.offset < wanted[b].place.offset; });
    FileBytes stretch;
    for (size_t first = 0; first < order.size();) {
        const uint64_t begin = wanted[order[first]].place.offset;
        uint64_t end = begin + wanted[order[first]].place.length;
        size_t last = first + 1;
        for (; last < order.size(); ++last) {
            const BuildMemo::Place& next = wanted[order[last]].place;
            const uint64_t nextEnd = std::max(end, next.offset + next.length);
            if (next.offset > end + kMaxGap || nextEnd - begin > kMaxStretch) break;
            end = nextEnd;
        }
        if (last == first + 1) {
            // A blob on its own (a large file's) is read straight into its
            // own bytes.
            const Wanted& w = wanted[order[first]];
            std::vector<uint8_t> blob(w.place.length);
            if (ReadAt(m_file, begin, blob) == blob.size())
                blobs[order[first]] = Checked(std::move(blob), w);
            first = last;
            continue;
        }
        stretch.resize(static_cast<size_t>(end - begin));
        stretch.resize(ReadAt(m_file, begin, stretch));
        for (; first < last; ++first) {
            const Wanted& w = wanted[order[first]];
            const auto at = static_cast<size_t>(w.place.offset - begin);
            if (at + w.place.length > stretch.size()) continue;
            const auto bytes = std::span<const uint8_t>(stretch).subspan(at, w.place.length);
            blobs[order[first]] = Checked(std::vector<uint8_t>(bytes.begin(), bytes.end()), w);
        }
    }
    return blobs;
}

}  // namespace folivex
