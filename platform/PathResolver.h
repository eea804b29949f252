// Which file a stored path under a folder stands for, chosen the way the
// folder scan chose it.
//
// A stored page path ("guide\index.htm", lower case) fits every file whose
// path equals it without regard to case; on a case-sensitive file system
// there may be several (Guide/Index.htm, guide/index.htm). The scan made the
// entry from the first of them it met: depth first, each folder's items in
// listing order (DirEnum.h). Resolve finds that same file: at each level the
// spellings are tried in listing order, and a folder that does not hold the
// rest of the path is passed over for the next spelling, as the walk would
// have gone on to it. Names holding "\" are never taken (the scan leaves
// them out), and neither are the files given to skip.
//
// Each folder is listed at most once per resolver and no file is opened or
// stat'ed, so resolving every page of a book costs one listing per folder;
// a path resolved before is answered from memory.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/DirEnum.h"

namespace folivex {

class PathResolver {
public:
    // root: the folder the stored paths are relative to (stored or native
    // form; its own spelling is resolved as NativePath does). Files in skip
    // are passed over as if they were not there.
    explicit PathResolver(const std::string& root, std::vector<KnownFile> skip = {});

    struct Found {
        std::string path;     // native path of the file, to open
        std::string spelled;  // relative to root as spelled on disk, native separators
    };
    struct Result {
        std::optional<Found> found;
        // Some file fitted but was one to skip.
        bool skipped = false;
    };

    // The root as the paths Resolve finds begin: its native path.
    const std::string& Root() const { return m_root; }

    // relative: a stored relative path ("\" or, on POSIX, "/" separators).
    // Nothing is found for a path with an empty, "." or ".." component, or
    // when no file fits (then opening the stored path gives the usual error).
    // What is given stays valid as long as the resolver.
    const Result& Resolve(std::string_view relative);

    // What a scan of the root found for relative (a stored path): the file
    // spelled so under the root (native separators), which Resolve then
    // gives without listing the folders again. The scan meets the spellings
    // in the order Resolve tries them, so it chose the same file, given the
    // same files to skip.
    void Remember(std::string_view relative, std::string spelled);
    // Room for count more paths remembered or resolved: a scan tells how
    // many files a folder holds before it remembers them one by one.
    void Reserve(size_t count) { m_resolved.reserve(m_resolved.size() + count); }

    // Passes over file too from now on (a file made after the resolver,
    // such as the temporary file of the book being built).
    void AlsoSkip(KnownFile file) { m_skip.push_back(std::move(file)); }

private:
    struct Listing {
        std::vector<DirItem> items;
        std::vector<std::string> lowerNames;  // sorted, as the items are
    };

    const Listing& ListingOf(const std::string& folder);
    Result ResolveAnew(std::string_view relative);
    std::optional<Found> Find(const std::string& folder, const std::string& spelled,
                              const std::vector<std::string>& parts, size_t at, bool& skipped);

    std::string m_root;
    std::vector<KnownFile> m_skip;
    // Looked up by string_view, without making a string of the key.
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };

    std::map<std::string, Listing> m_listings;  // native folder path -> its listing
    // relative path -> what it resolved to
    std::unordered_map<std::string, Result, KeyHash, std::equal_to<>> m_resolved;
};

}  // namespace folivex
