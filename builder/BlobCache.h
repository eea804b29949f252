// BlobCache: a per-user store of compressed blobs, so that a rebuild
// compresses only the files that changed.
//
// An entry is keyed by the SHA-256 of a file's bytes and holds the blob
// MakeBlob made of them; a blob depends on nothing else but the zlib that
// made it, whose version the entry records. Entries live in
// <folder>/<first two hex digits>/<64 hex digits>, each written to a
// temporary name and renamed into place, so builds running at the same time
// (in threads or processes) never see half an entry. Every entry read is
// checked (header, key, lengths, Adler-32 of the blob, the blob's own length
// field); a damaged or foreign one counts as missing and is written anew.
// The folder is kept near a size bound by Trim, least recently used first.
//
// The cache never makes a build fail: any failure to read or write it only
// means the blob is made again. Its files are read and written directly,
// not through CFile, so they play no part in the build's file errors.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "builder/Sha256.h"

namespace folivex {

class BlobCache {
public:
    static constexpr uint64_t kDefaultMaxBytes = 512ull << 20;

    // $XDG_CACHE_HOME/folivex/blobs, else ~/.cache/folivex/blobs (on
    // Windows %LOCALAPPDATA%\folivex\blobs); empty when none of these is set.
    static std::string DefaultFolder();

    // The folder need not exist yet; it is made when the first entry is
    // stored.
    explicit BlobCache(std::string folder, uint64_t maxBytes = kDefaultMaxBytes);

    // The blob of data: from the cache when a sound entry is there, else
    // made by MakeBlob and stored. Safe to call from several threads.
    // Throws what MakeBlob throws.
    std::vector<uint8_t> BlobFor(std::span<const uint8_t> data);
    // The same, for data whose key (Sha256Of(data)) is known.
    std::vector<uint8_t> BlobFor(const Sha256Digest& key, std::span<const uint8_t> data);

    // The stored blob for key and data length, when a sound entry is there
    // (counted as a hit).
    std::optional<std::vector<uint8_t>> Load(const Sha256Digest& key, uint64_t dataLength);
    // Stores blob under key; failures are ignored.
    void Store(const Sha256Digest& key, uint64_t dataLength, std::span<const uint8_t> blob);

    // When the entries take more than the bound, deletes the least recently
    // used until they take at most three quarters of it. Failures are
    // ignored. Looking at every entry costs time, so it is done only once
    // the bytes stored since the last look (counted across builds in the
    // folder's file "unchecked-bytes") reach a sixteenth of the bound; the
    // folder thus never grows past 17/16 of it.
    void Trim();
    // Trim's look at every entry, whatever was stored.
    void TrimNow();

    const std::string& Folder() const { return m_folder; }
    std::string EntryPath(const Sha256Digest& key) const;

    // What happened so far, for tests and the curious.
    uint64_t Hits() const { return m_hits; }
    uint64_t Misses() const { return m_misses; }
    uint64_t Damaged() const { return m_damaged; }
    uint64_t Stored() const { return m_stored; }

private:
    std::string m_folder;
    uint64_t m_maxBytes;
    std::atomic<uint64_t> m_hits{0}, m_misses{0}, m_damaged{0}, m_stored{0}, m_storedBytes{0};
};

}  // namespace folivex
