// BuildMemo: what the last build of a folder left for the next one, so that
// a rebuild neither reads nor compresses the files that did not change.
//
// Unchanged files are taken from the e-book the last build wrote: for every
// file it put in, a build remembers the file's stamp (size, times, identity)
// and where its blob lies in that book (offset, length, CRC-32), and, once
// the book has its final place, the book's path and stamp. A later build
// that finds the book with that stamp still there (EarlierBook.h) copies the
// blob of every file whose stamp is unchanged. A file changed since is
// stamped otherwise and read again; so is one whose change time was still
// close to the start of the build that saw it, since a second write in the
// same tick of the file system's clock could leave the stamp as it was.
// Nothing else is kept between builds, so a first build costs no more than a
// build without the memo: the only extra work is a stamp per file and one
// small file written at the end.
//
// The memo is one file per project folder in the cache folder, written to a
// temporary name and renamed (builds at the same time, in threads or
// processes, each leave a whole memo; the last one stays), and checked by a
// SHA-256 of its contents when loaded. A missing, damaged or foreign memo,
// or one written with another zlib, is simply empty. It never fails a
// build: any failure to read or write it only means files are read again.
// The cache folder is kept under a size bound, least recently used first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/FileStamp.h"

namespace folivex {

class BuildMemo {
public:
    // How long a change must be past, at the start of a build, before its
    // stamp is trusted: clock ticks, file systems that keep times to two
    // seconds and a little skew between the clocks.
    static constexpr int64_t kSettleNs = 3'000'000'000;
    static constexpr uint64_t kDefaultMaxCacheBytes = 512ull << 20;

    // $XDG_CACHE_HOME/folivex/builds, else ~/.cache/folivex/builds (on
    // Windows %LOCALAPPDATA%\folivex\builds); empty when none is set.
    static std::string DefaultFolder();
    // The memo file of a project folder inside a cache folder (64 hex
    // digits: a hash of the folder's path).
    static std::string PathFor(const std::string& cacheFolder, const std::string& projectDir);

    // Where a file's blob lies in a book.
    struct Place {
        uint64_t offset = 0;  // of the blob's first byte in the book file
        uint32_t length = 0;
        uint32_t crc = 0;  // CRC-32 of the blob
        bool operator==(const Place&) const = default;
    };
    struct Record {
        FileStamp stamp;
        Place blob;
    };

    // Loads the memo at memoPath. startNs is when the build started, on the
    // stamps' clock (StampClockNowNs).
    BuildMemo(std::string memoPath, int64_t startNs);

    // The book the last build wrote and its stamp then; empty path when
    // the memo is empty.
    const std::string& BookPath() const { return m_bookPath; }
    // Where this memo is kept.
    const std::string& Path() const { return m_path; }
    const FileStamp& BookStamp() const { return m_bookStamp; }

    // What the last build saw of the file named name, if it saw it: when the
    // file still has that stamp, its blob lies at that place in the book.
    // Safe to call from several threads (Remember is not).
    const Record* Seen(const std::string& name) const;
    // Remembers for the next build where the blob of the file named name
    // went in the book being written; stamp was taken before its bytes were
    // read (or found unchanged). A stamp too recent is not remembered,
    // unless the last build saw it (seenBefore, when the caller knows;
    // else it is looked up here).
    void Remember(const std::string& name, const FileStamp& stamp, const Place& blob,
                  std::optional<bool> seenBefore = std::nullopt);

    // Writes what was remembered since loading, for the book now at
    // bookPath (its stamp is taken here; the path is kept absolute). Returns the bytes written; 0
    // after a failure, which is otherwise ignored.
    uint64_t Save(const std::string& bookPath) const;

    size_t Loaded() const { return m_loaded.size(); }

    // The length of the memo file as it is now (0 when there is none).
    uint64_t FileBytes() const;

    // When the cache folder's memos take more than maxBytes, deletes the
    // least recently used (each with the link report's findings kept beside
    // it) until they take at most three quarters of it; also
    // removes temporary files left by builds that were killed. Failures are
    // ignored. Looking at every file costs time, so it is done only when the
    // folder grew: the memo just saved (savedBytes) is longer than the one
    // it replaced (replacedBytes; 0 when it is new).
    static void TrimFolder(const std::string& cacheFolder, uint64_t savedBytes,
                           uint64_t replacedBytes, uint64_t maxBytes = kDefaultMaxCacheBytes);
    // TrimFolder's look at every file, whatever was saved.
    static void TrimFolderNow(const std::string& cacheFolder,
                              uint64_t maxBytes = kDefaultMaxCacheBytes);

private:
    void Load();

    std::string m_path;
    int64_t m_startNs;
    std::string m_bookPath;
    FileStamp m_bookStamp;
    std::unordered_map<std::string, Record> m_loaded;
    std::vector<std::pair<std::string, Record>> m_kept;
};

}  // namespace folivex
