// Writing JSON for the shell page's endpoints. Strings must be UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace folivex::json {

// Appends text as a JSON string literal, quotes included.
inline void AppendString(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '<': out += "\\u003c"; break;  // never "</script>" in a response
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 15]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

inline void AppendKey(std::string& out, std::string_view key) {
    AppendString(out, key);
    out.push_back(':');
}

inline void AppendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
}

}  // namespace folivex::json
