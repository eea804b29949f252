#include "project/HomePage.h"

#include <algorithm>
#include <string>

#include "platform/Path.h"

namespace folivex {

void MakeHomePage(BookProject& project, size_t index) {
    auto& pages = project.pages;
    if (index >= pages.size()) return;
    const auto at = pages.begin() + static_cast<ptrdiff_t>(index);
    std::rotate(pages.begin(), at, at + 1);
}

std::optional<size_t> FindEntry(const BookProject& project, std::string_view path) {
    const std::string stored = ToStoredPath(path);
    for (size_t i = 0; i < project.pages.size(); ++i)
        if (project.pages[i]->path == stored) return i;
    return std::nullopt;
}

std::optional<size_t> DefaultHomePage(const BookProject& project) {
    for (const char* index : {"index.html", "index.htm"})
        if (const auto found = FindEntry(project, index)) return found;
    for (size_t i = 0; i < project.pages.size(); ++i)
        if (project.pages[i]->inPageSequence) return i;
    return std::nullopt;
}

}  // namespace folivex
