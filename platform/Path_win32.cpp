// Paths on Windows: the stored form is already the native form, and the file
// system ignores case by itself.
#include "platform/Path.h"

namespace folivex {

bool IsPathSeparator(char c) {
    return c == '\\';
}

std::string NativePath(std::string_view path) {
    return std::string(path);
}

}  // namespace folivex
