// EarlierBook: the e-book the last build of a folder wrote, as a source of
// blobs for the next build (BuildMemo.h).
//
// It is used only while it has the stamp the memo recorded when it took its
// place, and every blob taken from it is checked against the memo (its
// length, its CRC-32 and the file length it states), so a book changed,
// replaced or damaged since gives nothing and the file is read again. A
// failure to read it is no error of the build: the file is read instead.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "builder/BuildMemo.h"
#include "platform/File.h"

namespace folivex {

class EarlierBook {
public:
    // The book at path when it is there with that stamp; else nothing.
    static std::unique_ptr<EarlierBook> Open(const std::string& path, const FileStamp& stamp);

    // The blob at place, when it reads whole and is the one the memo knew
    // for a file of fileLength bytes. Safe to call from several threads.
    std::optional<std::vector<uint8_t>> Blob(const BuildMemo::Place& place,
                                             uint64_t fileLength) const;

    // The blobs of several files at once, each as Blob gives it, in the
    // order asked: blobs that lie close together in the book (the files of
    // a folder, written one after the other) are read with one read.
    struct Wanted {
        BuildMemo::Place place;
        uint64_t fileLength = 0;
    };
    std::vector<std::optional<std::vector<uint8_t>>> Blobs(std::span<const Wanted> wanted) const;

private:
    EarlierBook() = default;

    mutable CFile m_file;
    uint64_t m_length = 0;
};

}  // namespace folivex
