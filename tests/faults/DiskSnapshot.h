// What a folder holds, for comparing before and after an operation: every
// file and folder below it by relative path, with a hash of each file's bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "platform/Fnv.h"
#include "tests/support/TempDir.h"

namespace folivex::test {

using DiskSnapshot = std::map<std::string, std::string>;  // relative path -> "dir" or size:hash

inline DiskSnapshot Snapshot(const std::filesystem::path& root) {
    DiskSnapshot snapshot;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = std::filesystem::relative(item.path(), root).string();
        if (item.is_directory()) {
            snapshot[name] = "dir";
            continue;
        }
        const std::vector<uint8_t> bytes = ReadFile(item.path().string());
        const uint64_t h =
            Fnv1a64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        snapshot[name] = std::to_string(bytes.size()) + ":" + std::to_string(h);
    }
    return snapshot;
}

// The differences, one line each, for a failure message.
inline std::string Differences(const DiskSnapshot& before, const DiskSnapshot& after) {
    std::string out;
    for (const auto& [name, what] : before) {
        const auto it = after.find(name);
        if (it == after.end())
            out += "  removed " + name + "\n";
        else if (it->second != what)
            out += "  changed " + name + "\n";
    }
    for (const auto& [name, what] : after)
        if (!before.count(name)) out += "  added " + name + "\n";
    return out;
}

}  // namespace folivex::test
