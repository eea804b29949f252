// DigestMemo: what the last build of a folder learnt about its files, so
// that a rebuild need not read the files that did not change.
//
// For every file it read, a build remembers the file's stamp (size, times,
// identity) and the SHA-256 of the bytes, which is the file's key in the
// blob cache. A later build that finds the same stamp takes the blob by that
// key without opening the file. A file changed since is stamped otherwise
// and read again; so is one whose change time was still close to the start
// of the build that saw it, since a second write in the same tick of the
// file system's clock could leave the stamp as it was.
//
// The memo is one file per project folder inside the cache folder, written
// to a temporary name and renamed, checked by a SHA-256 of its contents when
// loaded; a missing, damaged or foreign memo is simply empty. It holds the
// files of the last build only. Like the cache, it never fails a build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builder/Sha256.h"
#include "platform/FileStamp.h"

namespace folivex {

class DigestMemo {
public:
    // How long a change must be past, at the start of a build, before its
    // stamp is trusted: clock ticks, file systems that keep times to two
    // seconds and a little skew between the clocks.
    static constexpr int64_t kSettleNs = 3'000'000'000;

    // Loads the memo at memoPath. startNs is when the build started, on the
    // stamps' clock (StampClockNowNs).
    DigestMemo(std::string memoPath, int64_t startNs);

    // The memo file of a project folder inside a blob cache folder. Its
    // name is 64 hex digits, so the cache's trimming counts it among the
    // entries and drops it when no build has used it for the longest time.
    static std::string PathFor(const std::string& cacheFolder, const std::string& projectDir);

    struct Record {
        FileStamp stamp;
        Sha256Digest digest;
    };

    // What the last build saw of path, if it saw the file: when the file
    // still has that stamp, its bytes still have that digest. Safe to call
    // from several threads (Remember is not).
    const Record* Seen(const std::string& path) const;
    // Remembers for the next build the digest of path's bytes, whose stamp
    // was taken before they were read (or found unchanged); a stamp too
    // recent is not remembered.
    void Remember(const std::string& path, const FileStamp& stamp, const Sha256Digest& digest);

    // Writes what was remembered since loading. Failures are ignored.
    void Save() const;

    size_t Loaded() const { return m_loaded.size(); }

private:
    std::string m_path;
    int64_t m_startNs;
    std::unordered_map<std::string, Record> m_loaded;
    std::vector<std::pair<std::string, Record>> m_kept;
};

}  // namespace folivex
