#include "platform/Path.h"

#include <algorithm>

#include "platform/Text.h"

namespace folivex {

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && IsPathSeparator(path.back());
}

std::string ToStoredPath(std::string_view relative) {
    std::string stored = ToLowerSystem(relative);
    std::replace(stored.begin(), stored.end(), '/', '\\');
    while (stored.starts_with(".\\")) stored.erase(0, 2);
    return stored;
}

std::string JoinStoredPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && !EndsWithSeparator(out)) out += '\\';
    out += name;
    return out;
}

std::string BaseNameWithoutExtension(std::string_view path) {
    size_t start = path.size();
    while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
    std::string_view base = path.substr(start);
    const size_t dot = base.rfind('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    return std::string(base);
}

}  // namespace folivex
