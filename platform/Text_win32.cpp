// UTF-8 and the wide strings of the Windows API: the one conversion pair.
#include <windows.h>

#include <climits>

#include "platform/Utf8.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

// text with every byte outside a valid UTF-8 sequence taken as Windows-1252.
std::string RepairedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(text, i, cp);
        if (n == 0) {
            AppendUtf8(out, Windows1252CodePoint(static_cast<unsigned char>(text[i])));
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

// Paths this long may pass MAX_PATH once made absolute; a folder's own
// limit is 12 characters lower (room for an 8.3 name).
constexpr size_t kShortPathLimit = MAX_PATH - 12;

bool StartsWith(const std::wstring& s, const wchar_t* prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    const std::string repaired = IsValidUtf8(text) ? std::string() : RepairedUtf8(text);
    const std::string_view utf8 = repaired.empty() ? text : std::string_view(repaired);
    // Longer texts than an int can count are no names or messages.
    if (utf8.size() > INT_MAX) return {};
    const int length = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WidePath(std::string_view path) {
    std::wstring wide = Widen(path);
    if (wide.size() < kShortPathLimit || StartsWith(wide, L"\\\\?\\")) return wide;
    const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return wide;
    std::wstring full(need, L'\0');
    const DWORD n = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (n == 0 || n >= need) return wide;
    full.resize(n);
    if (StartsWith(full, L"\\\\.\\")) return full;  // a device: no limit to lift
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace folivex
