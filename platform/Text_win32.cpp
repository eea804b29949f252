// Text on Windows: the system code page is the ANSI code page.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/Text.h"

namespace folivex {

std::string ToLowerSystem(std::string_view text) {
    std::string out(text);
    // CharLowerBuffA maps in the ANSI code page, double-byte characters
    // included; it works on at most a DWORD's worth of bytes per call.
    size_t done = 0;
    while (done < out.size()) {
        const size_t chunk = std::min<size_t>(out.size() - done, 0x40000000u);
        CharLowerBuffA(out.data() + done, static_cast<DWORD>(chunk));
        done += chunk;
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return ToLowerSystem(a) == ToLowerSystem(b);
}

std::string Utf16LeToSystem(std::span<const uint8_t> utf16le) {
    const size_t units = utf16le.size() / 2;
    if (units == 0) return {};
    std::vector<wchar_t> wide(units);
    for (size_t k = 0; k < units; ++k)
        wide[k] = static_cast<wchar_t>(utf16le[2 * k] | (utf16le[2 * k + 1] << 8));
    const int wideLen = static_cast<int>(std::min<size_t>(units, 0x3FFFFFFF));
    const int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLen, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace folivex
