// Paths and names as this program stores and compares them.
//
// The stored forms use "\" between components (page paths are also lower
// case). On disk, NativePath() turns a stored path into one the system can
// open: "\" becomes "/" on POSIX and, on a case-sensitive file system, every
// component that does not exist under its exact name is looked up without
// regard to case, so a stored "img\logo.png" finds "IMG/Logo.PNG".
#pragma once

#include <string>
#include <string_view>

namespace folivex {

// True for "\" and "/", which separate components on every system
// (Windows takes both).
bool IsPathSeparator(char c);
bool EndsWithSeparator(std::string_view path);

// The path with separators converted and components resolved as above. A
// component that exists under no spelling is kept as given.
std::string NativePath(std::string_view path);

// A path relative to a project's folder ("/" or "\\" separators, any case)
// in the form entries store it: lower case, "\\" separators, no leading
// "./".
std::string ToStoredPath(std::string_view relative);

// Joins folder and name with one "\" (none added when folder already ends
// with a separator or is empty).
std::string JoinStoredPath(std::string_view folder, std::string_view name);

// The same with the system's own separator ("/" on POSIX), for paths that
// go to the disk or are shown to the author as spelled there.
std::string JoinNativePath(std::string_view folder, std::string_view name);

// A relative stored path with every "\" turned into the system's separator,
// nothing else changed: how the author sees it spelled on this system.
std::string WithNativeSeparators(std::string_view storedPath);

// The base name of a path (after the last separator) without its extension.
std::string BaseNameWithoutExtension(std::string_view path);

}  // namespace folivex
