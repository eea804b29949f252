// Paths on POSIX: "\" becomes "/", and a component missing under its exact
// name is looked up without regard to case, the way Windows would find it.
#include <dirent.h>
#include <sys/stat.h>

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

std::string NativePath(std::string_view path) {
    std::string slashed(path);
    for (char& c : slashed)
        if (c == '\\') c = '/';
    if (slashed.empty() || PathExists(slashed)) return slashed;

    // Most often only the file's own name is spelled otherwise: when its
    // folder is there as given, one listing of it settles the matter.
    const size_t lastSlash = slashed.rfind('/');
    if (lastSlash != std::string::npos && lastSlash > 0 && lastSlash + 1 < slashed.size()) {
        const std::string folder = slashed.substr(0, lastSlash);
        const std::string name = slashed.substr(lastSlash + 1);
        if (name != "." && name != ".." && PathExists(folder)) {
            const std::string found = FindNoCase(folder, name);
            return found.empty() ? slashed : folder + "/" + found;
        }
    }

    // Walk the components; once one cannot be found under any spelling, the
    // rest is kept as given.
    std::string resolved = slashed[0] == '/' ? "/" : "";
    bool lost = false;
    size_t i = 0;
    while (i < slashed.size()) {
        size_t j = slashed.find('/', i);
        if (j == std::string::npos) j = slashed.size();
        const std::string component = slashed.substr(i, j - i);
        if (!component.empty()) {
            if (!resolved.empty() && resolved.back() != '/') resolved += '/';
            std::string candidate = resolved + component;
            if (!lost && component != "." && component != ".." && !PathExists(candidate)) {
                const std::string found = FindNoCase(resolved, component);
                if (found.empty())
                    lost = true;
                else
                    candidate = resolved + found;
            }
            resolved = candidate;
        }
        i = j + 1;
    }
    if (slashed.back() == '/' && !resolved.empty() && resolved.back() != '/') resolved += '/';
    return resolved;
}

}  // namespace folivex
