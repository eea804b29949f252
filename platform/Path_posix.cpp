// Paths on POSIX: "\" becomes "/", and a component missing under its exact
// name is looked up without regard to case, the way Windows would find it.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "platform/Text.h"

namespace folivex {

namespace {

bool PathExists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// The name in folder that equals component without regard to case; the
// smallest such name in byte order, so the choice is stable. Empty if none.
std::string FindNoCase(const std::string& folder, const std::string& component) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return {};
    const std::string wanted = ToLowerSystem(component);
    std::string best;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (ToLowerSystem(name) == wanted && (best.empty() || name < best)) best = name;
    }
    ::closedir(dir);
    return best;
}

}  // namespace

std::string JoinNativePath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}

std::string WithNativeSeparators(std::string_view storedPath) {
    std::string out(storedPath);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

namespace {

// Most often only the file's own name is spelled otherwise: when its folder
// is there as given, one listing of it settles the matter. Nothing when the
// folder is not there either.
std::optional<std::string> WithNameRespelled(const std::string& slashed) {
    const size_t lastSlash = slashed.rfind('/');
    if (lastSlash == std::string::npos || lastSlash == 0 || lastSlash + 1 >= slashed.size())
        return std::nullopt;
    const std::string folder = slashed.substr(0, lastSlash);
    const std::string name = slashed.substr(lastSlash + 1);
    if (name == "." || name == ".." || !PathExists(folder)) return std::nullopt;
    const std::string found = FindNoCase(folder, name);
    return found.empty() ? slashed : folder + "/" + found;
}

// Walks the components; once one cannot be found under any spelling, the
// rest is kept as given.
std::string WithComponentsRespelled(const std::string& slashed) {
    std::string resolved = slashed[0] == '/' ? "/" : "";
    bool lost = false;
    size_t i = 0;
    while (i < slashed.size()) {
        const size_t j = std::min(slashed.find('/', i), slashed.size());
        const std::string component = slashed.substr(i, j - i);
        i = j + 1;
        if (component.empty()) continue;
        if (!resolved.empty() && resolved.back() != '/') resolved += '/';
        if (lost || component == "." || component == ".." || PathExists(resolved + component)) {
            resolved += component;
            continue;
        }
        const std::string found = FindNoCase(resolved, component);
        lost = found.empty();
        resolved += lost ? component : found;
    }
    if (slashed.back() == '/' && !resolved.empty() && resolved.back() != '/') resolved += '/';
    return resolved;
}

}  // namespace

std::string NativePath(std::string_view path) {
    std::string slashed = WithNativeSeparators(path);
    if (slashed.empty() || PathExists(slashed)) return slashed;
    if (auto found = WithNameRespelled(slashed)) return *found;
    return WithComponentsRespelled(slashed);
}

}  // namespace folivex
