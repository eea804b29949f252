#include "platform/PathResolver.h"

#include <algorithm>

#include "platform/Path.h"
#include "platform/Text.h"

namespace folivex {

PathResolver::PathResolver(const std::string& root, std::vector<KnownFile> skip)
    : m_root(NativePath(root)), m_skip(std::move(skip)) {}

const PathResolver::Listing& PathResolver::ListingOf(const std::string& folder) {
    const auto known = m_listings.find(folder);
    if (known != m_listings.end()) return known->second;
    Listing& listing = m_listings[folder];
    // A folder that cannot be listed holds nothing here; the stored path is
    // then opened as it is and gives the system's own error.
    ListFolder(folder, listing.items);
    listing.lowerNames.reserve(listing.items.size());
    for (const DirItem& item : listing.items)
        listing.lowerNames.push_back(IsLowerAscii(item.name) ? item.name
                                                             : ToLowerSystem(item.name));
    return listing;
}

std::optional<PathResolver::Found> PathResolver::Find(const std::string& folder,
                                                      const std::string& spelled,
                                                      const std::vector<std::string>& parts,
                                                      size_t at, bool& skipped) {
    const Listing& listing = ListingOf(folder);
    // The items are sorted by lower-cased name, so every spelling of this
    // component sits together, in listing order.
    const auto [from, to] =
        std::equal_range(listing.lowerNames.begin(), listing.lowerNames.end(), parts[at]);
    const bool last = at + 1 == parts.size();
    for (auto it = from; it != to; ++it) {
        const DirItem& item = listing.items[static_cast<size_t>(it - listing.lowerNames.begin())];
        if (item.name.find('\\') != std::string::npos || item.isFolder == last) continue;
        const std::string path = JoinNativePath(folder, item.name);
        const std::string itemSpelled =
            spelled.empty() ? item.name : JoinNativePath(spelled, item.name);
        if (last) {
            const bool skip = std::any_of(m_skip.begin(), m_skip.end(),
                                          [&](const KnownFile& k) { return k.Is(folder, item); });
            if (!skip) return Found{path, itemSpelled};
            skipped = true;
            continue;
        }
        if (auto found = Find(path, itemSpelled, parts, at + 1, skipped)) return found;
    }
    return std::nullopt;
}

const PathResolver::Result& PathResolver::Resolve(std::string_view relative) {
    if (const auto known = m_resolved.find(relative); known != m_resolved.end())
        return known->second;
    Result& result = m_resolved[std::string(relative)];
    result = ResolveAnew(relative);
    return result;
}

void PathResolver::Remember(std::string_view relative, std::string spelled) {
    std::string path = JoinNativePath(m_root, spelled);
    m_resolved.try_emplace(std::string(relative),
                           Result{Found{std::move(path), std::move(spelled)}, false});
}

PathResolver::Result PathResolver::ResolveAnew(std::string_view relative) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = start;
        while (end < relative.size() && !IsPathSeparator(relative[end])) ++end;
        const std::string_view part = relative.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return {};
        parts.push_back(IsLowerAscii(part) ? std::string(part) : ToLowerSystem(part));
        start = end + 1;
    }
    Result result;
    result.found = Find(m_root, std::string(), parts, 0, result.skipped);
    return result;
}

}  // namespace folivex
