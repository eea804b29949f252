// Paths on Windows: the stored form is already the native form, and the file
// system ignores case by itself.
#include "platform/Path.h"

namespace folivex {

std::string NativePath(std::string_view path) {
    return std::string(path);
}

std::string JoinNativePath(std::string_view folder, std::string_view name) {
    return JoinStoredPath(folder, name);
}

std::string WithNativeSeparators(std::string_view storedPath) {
    return std::string(storedPath);
}

}  // namespace folivex
