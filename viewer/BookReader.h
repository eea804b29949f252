// BookReader: an open e-book, as the viewer reads it.
//
// Opening finds the archive through the trailer at the end of the file,
// indexes its entries with their file offsets, checks the book marker and
// reads the small entries (page directory, settings, texts). Page data stay
// on disk until asked for: opening a large book reads no page.
//
// All reading members are safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "format/Container.h"

namespace folivex {

// Why a book could not be opened, in words for a message box.
class BookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BookTexts {
    std::string title, author, copyright, url, email, aboutInfo;
};

class BookReader {
public:
    // Opens path and reads its archive. Throws BookError when the file
    // cannot be read, carries no archive ("This program holds no e-book."),
    // or the archive is damaged (a text naming what is wrong).
    static std::unique_ptr<BookReader> Open(const std::string& path);
    virtual ~BookReader() = default;

    const std::string& Path() const;
    // The page directory, in the book's order (the first record is the
    // home page).
    const std::vector<PageDirEntry>& Pages() const;
    const BookSettings& Settings() const;
    const BookTexts& Texts() const;

    // The directory record whose path equals path without regard to case
    // ("/" separators, no leading "/"); nullptr when there is none.
    const PageDirEntry* FindPage(std::string_view path) const;

    // A page's bytes, inflated to exactly the length the blob states.
    // Throws BookError for a missing or damaged entry.
    std::vector<uint8_t> PageData(const PageDirEntry& page) const;
    // The page's stored blob without its 4-byte length: a zlib stream, which
    // is what HTTP's "deflate" content coding carries. uncompressedLength
    // receives the stated length.
    std::vector<uint8_t> PageDeflateStream(const PageDirEntry& page,
                                           uint32_t& uncompressedLength) const;

    // The splash bitmap (a whole .bmp file), when the book has one.
    std::optional<std::vector<uint8_t>> Splash() const;
    // The book's icon as an .ico file, made from the icon resources of the
    // executable at the start of the book file; nothing when none is found.
    std::optional<std::vector<uint8_t>> IconFile() const;

protected:
    BookReader() = default;
};

}  // namespace folivex
