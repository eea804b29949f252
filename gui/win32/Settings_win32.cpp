// The remembered settings in the registry, and the program's own name and
// folder, which the settings and the message boxes go by.
#include <windows.h>

#include <vector>

#include "gui/win32/Win32Seams.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

std::wstring ProgramFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// A registry key, closed when it goes.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle != nullptr) RegCloseKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY handle = nullptr;
};

}  // namespace

std::string ProgramBaseName() {
    const std::wstring path = ProgramFile();
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return Narrow(name);
}

std::string ProgramFolder() {
    const std::wstring path = ProgramFile();
    const size_t slash = path.find_last_of(L"\\/");
    return Narrow(slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash));
}

RegistrySettingsStore::RegistrySettingsStore(const std::string& program)
    : m_keyPath(std::string("Software\\") + kSettingsCompany + "\\" + program + "\\" +
                kSettingsSection) {}

std::string RegistrySettingsStore::ReadString(const std::string& key, const std::string& fallback) {
    Key options;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(m_keyPath).c_str(), 0, KEY_QUERY_VALUE,
                      &options.handle) != ERROR_SUCCESS)
        return fallback;
    const std::wstring name = Widen(key);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(options.handle, name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return fallback;
    // The stored bytes need not end in a null; one more character is kept
    // for it.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(options.handle, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return fallback;
    std::wstring value(text.data(), size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return Narrow(value);
}

void RegistrySettingsStore::WriteString(const std::string& key, const std::string& value) {
    Key options;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(m_keyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &options.handle, nullptr) != ERROR_SUCCESS)
        return;  // not reported: the next run gets the defaults
    const std::wstring text = Widen(value);
    RegSetValueExW(options.handle, Widen(key).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace folivex
