#include "viewer/BookReader.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "format/ArchiveIndex.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "viewer/PeIcon.h"

namespace folivex {

namespace {

constexpr const char* kNoBook = "This program holds no e-book.";

// Deflate cannot expand data by more than about 1032:1, so a blob that
// states more is damaged; checking first keeps a forged length from
// allocating far beyond the file's own size.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;

// The icon is read from the stub at the start of the book; stubs are a few
// hundred kilobytes, and nothing beyond this is read for it.
constexpr uint64_t kMaxIconSource = uint64_t{8} * 1024 * 1024;

std::string Damaged(const std::string& what) {
    return "The e-book is damaged and cannot be shown: " + what + ".";
}

// The book file as the index and the readers see it: a seek only notes
// where the next read starts, and each read names that offset itself, so
// walking the archive costs one system call per entry instead of two.
class PositionalFile final : public CFile {
public:
    void Open(const std::string& path, unsigned openFlags) override {
        CFile::Open(path, openFlags);
        m_position = 0;
    }
    uint64_t Seek(int64_t offset, SeekPosition from) override {
        const uint64_t origin = from == begin ? 0 : from == current ? m_position : GetLength();
        if (offset < 0 && static_cast<uint64_t>(-offset) > origin)
            throw CFileException(CFileException::badSeek, GetFilePath());
        m_position = origin + static_cast<uint64_t>(offset);
        return m_position;
    }
    uint64_t GetPosition() const override { return m_position; }
    size_t Read(void* buffer, size_t count) override {
        const size_t got = ReadAt(m_position, buffer, count);
        m_position += got;
        return got;
    }

private:
    uint64_t m_position = 0;
};

class OpenBook final : public BookReader {
public:
    explicit OpenBook(const std::string& path) : m_path(path) {
        try {
            m_file.Open(path, CFile::modeRead);
        } catch (const CFileException& e) {
            throw BookError("Cannot open the e-book. " + e.Description());
        }
        try {
            auto index = ArchiveIndex::Load(m_file);
            if (!index) throw BookError(kNoBook);
            m_index = std::move(*index);
        } catch (const CArchiveException& e) {
            throw BookError(Damaged("its archive cannot be read (" + e.Description() + ")"));
        } catch (const CFileException& e) {
            throw BookError(Damaged("its archive cannot be read (" + e.Description() + ")"));
        }
        CheckMarker();
        ReadSmallEntries();
    }

    const std::string& GetPath() const { return m_path; }
    const std::vector<PageDirEntry>& GetPages() const { return m_pages; }
    const BookSettings& GetSettings() const { return m_settings; }
    const BookTexts& GetTexts() const { return m_texts; }

    const PageDirEntry* Find(std::string_view path) const {
        const auto it = m_byPath.find(ToLowerSystem(path));
        return it == m_byPath.end() ? nullptr : &m_pages[it->second];
    }

    // The stored blob of a page: its 4-byte length and zlib stream.
    std::vector<uint8_t> PageBlob(const PageDirEntry& page) const {
        const IndexedEntry* entry = m_index.Find(kTypePages, page.id);
        if (!entry) throw BookError(Damaged("the page " + page.path + " is missing"));
        return ReadEntry(*entry);
    }

    // Inflates a blob after checking that its stated length is possible.
    static std::vector<uint8_t> Inflate(std::span<const uint8_t> blob, const std::string& what) {
        try {
            const uint64_t stated = BlobLength(blob);
            if (stated > (blob.size() - 4) * kMaxInflateRatio + kInflateSlack)
                throw ContainerError("its stated length is impossible");
            return InflateBlob(blob);
        } catch (const ContainerError& e) {
            throw BookError(Damaged(what + " cannot be unpacked (" + e.what() + ")"));
        }
    }

    std::optional<std::vector<uint8_t>> SplashBitmap() const {
        const IndexedEntry* entry = m_index.Find(kTypeBook, kIdSplash);
        if (!entry) return std::nullopt;
        return Inflate(ReadEntry(*entry), "the splash bitmap");
    }

    std::optional<std::vector<uint8_t>> Icon() const {
        const uint64_t length = std::min<uint64_t>(m_index.Base(), kMaxIconSource);
        std::vector<uint8_t> head(static_cast<size_t>(length));
        {
            std::lock_guard lock(m_mutex);
            try {
                m_file.Seek(0, CFile::begin);
                if (m_file.Read(head.data(), head.size()) != head.size()) return std::nullopt;
            } catch (const CFileException&) {
                return std::nullopt;
            }
        }
        return IcoFromPeImage(head);
    }

    std::vector<uint8_t> ReadEntry(const IndexedEntry& entry) const {
        std::vector<uint8_t> data;
        std::lock_guard lock(m_mutex);
        try {
            ArchiveIndex::ReadData(m_file, entry, data);
        } catch (const CException& e) {
            throw BookError("The e-book cannot be read. " + e.Description());
        }
        return data;
    }

private:
    void CheckMarker() {
        const IndexedEntry* marker = m_index.Find(kTypeBook, kIdMarker);
        if (!marker || marker->length < kBookMarker.size())
            throw BookError(Damaged("its book marker is missing"));
        const auto data = ReadEntry(*marker);
        if (!std::equal(kBookMarker.begin(), kBookMarker.end(), data.begin()))
            throw BookError(Damaged("its book marker is wrong"));
    }

    void ReadSmallEntries() {
        // A book without included pages has no directory: it opens, empty.
        if (const IndexedEntry* dir = m_index.Find(kTypeBook, kIdPageDirectory)) {
            try {
                m_pages = DecodePageDirectory(ReadEntry(*dir));
            } catch (const ContainerError& e) {
                throw BookError(
                    Damaged(std::string("its page directory is malformed (") + e.what() + ")"));
            }
        }
        for (size_t i = 0; i < m_pages.size(); ++i)
            m_byPath.emplace(ToLowerSystem(m_pages[i].path), i);  // the first of equal paths wins

        // Settings and texts are always written; a book without them still
        // opens with the defaults and empty texts.
        if (const IndexedEntry* settings = m_index.Find(kTypeBook, kIdSettings)) {
            try {
                m_settings = DecodeSettings(ReadEntry(*settings));
            } catch (const ContainerError& e) {
                throw BookError(
                    Damaged(std::string("its settings record is malformed (") + e.what() + ")"));
            }
        }
        const std::pair<int, std::string*> texts[] = {
            {kIdTitle, &m_texts.title},         {kIdAuthor, &m_texts.author},
            {kIdCopyright, &m_texts.copyright}, {kIdUrl, &m_texts.url},
            {kIdEmail, &m_texts.email},         {kIdAboutInfo, &m_texts.aboutInfo},
        };
        for (const auto& [id, text] : texts) {
            if (const IndexedEntry* entry = m_index.Find(kTypeBook, id))
                *text = DecodeText(ReadEntry(*entry));
        }
    }

    std::string m_path;
    // One file handle for every reader: the mutex keeps each seek and its
    // read together.
    mutable PositionalFile m_file;
    mutable std::mutex m_mutex;
    ArchiveIndex m_index;
    std::vector<PageDirEntry> m_pages;
    std::unordered_map<std::string, size_t> m_byPath;  // lower-cased path -> m_pages index
    BookSettings m_settings;
    BookTexts m_texts;
};

const OpenBook& Self(const BookReader* reader) {
    return *static_cast<const OpenBook*>(reader);
}

}  // namespace

std::unique_ptr<BookReader> BookReader::Open(const std::string& path) {
    return std::make_unique<OpenBook>(path);
}

const std::string& BookReader::Path() const {
    return Self(this).GetPath();
}
const std::vector<PageDirEntry>& BookReader::Pages() const {
    return Self(this).GetPages();
}
const BookSettings& BookReader::Settings() const {
    return Self(this).GetSettings();
}
const BookTexts& BookReader::Texts() const {
    return Self(this).GetTexts();
}

const PageDirEntry* BookReader::FindPage(std::string_view path) const {
    return Self(this).Find(path);
}

std::vector<uint8_t> BookReader::PageData(const PageDirEntry& page) const {
    return OpenBook::Inflate(Self(this).PageBlob(page), "the page " + page.path);
}

std::vector<uint8_t> BookReader::PageDeflateStream(const PageDirEntry& page,
                                                   uint32_t& uncompressedLength) const {
    std::vector<uint8_t> blob = Self(this).PageBlob(page);
    try {
        uncompressedLength = BlobLength(blob);
    } catch (const ContainerError& e) {
        throw BookError(Damaged("the page " + page.path + " is malformed (" + e.what() + ")"));
    }
    blob.erase(blob.begin(), blob.begin() + 4);
    return blob;
}

std::optional<std::vector<uint8_t>> BookReader::Splash() const {
    return Self(this).SplashBitmap();
}

std::optional<std::vector<uint8_t>> BookReader::IconFile() const {
    return Self(this).Icon();
}

}  // namespace folivex
