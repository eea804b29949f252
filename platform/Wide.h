// The boundary between the programs' UTF-8 and the wide (UTF-16) strings of
// the Windows API. Every W function is called with Widen() or WidePath(), and
// what it returns is made UTF-8 with Narrow(). Windows only: defined in
// Text_win32.cpp, included by *_win32.cpp files.
#pragma once

#include <string>
#include <string_view>

namespace folivex {

// text as UTF-16. A byte that does not belong to a valid UTF-8 sequence is
// read as Windows-1252, one byte at a time, so a path joined from a folder
// (UTF-8) and a name that older tools stored in the ANSI code page still
// names the file.
std::wstring Widen(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

// path for the wide file functions: Widen(path), and for a path that may
// pass the usual limit of MAX_PATH (260) characters, its full form behind
// "\\?\" ("\\?\UNC\" for a share), which the system takes up to about
// 32,767 characters. That form is taken as it is, so "." and ".." are
// resolved (by GetFullPathNameW) before it is made.
std::wstring WidePath(std::string_view path);

}  // namespace folivex
