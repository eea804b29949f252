#include "builder/BlobCache.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "builder/CacheFile.h"
#include "format/Container.h"

namespace folivex {

namespace {

namespace fs = std::filesystem;

// Entry file: magic, key, data length, blob length, Adler-32 of the blob,
// the zlib version that made it, then the blob.
constexpr char kMagic[8] = {'F', 'V', 'X', 'B', 'L', 'O', 'B', '1'};
constexpr size_t kVersionField = 24;
constexpr size_t kHeaderSize = 8 + 32 + 8 + 4 + 4 + kVersionField;

void PutLe(uint8_t* p, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t GetLe(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

uint32_t Adler(std::span<const uint8_t> data) {
    uLong a = adler32(0L, Z_NULL, 0);
    size_t done = 0;
    while (done < data.size()) {  // adler32 takes at most 4 GiB per call
        const uInt chunk = static_cast<uInt>(std::min<size_t>(data.size() - done, 1u << 30));
        a = adler32(a, data.data() + done, chunk);
        done += chunk;
    }
    return static_cast<uint32_t>(a);
}

// The zlib version, cut or padded to its field.
std::array<uint8_t, kVersionField> VersionField() {
    std::array<uint8_t, kVersionField> field{};
    const char* version = zlibVersion();
    std::memcpy(field.data(), version, std::min(std::strlen(version), kVersionField));
    return field;
}

// The largest blob MakeBlob can make of n bytes: its first capacity always
// suffices, since zlib's bound is below it.
uint64_t LargestBlob(uint64_t n) {
    return 4 + n * 1001 / 1000 + 16;
}

bool IsEntryName(const std::string& name) {
    return name.size() == 64 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

std::string BlobCache::DefaultFolder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        return (fs::path(local) / "folivex" / "blobs").string();
    return {};
#else
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && xdg[0] == '/')
        return (fs::path(xdg) / "folivex" / "blobs").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".cache" / "folivex" / "blobs").string();
    return {};
#endif
}

BlobCache::BlobCache(std::string folder, uint64_t maxBytes)
    : m_folder(std::move(folder)), m_maxBytes(maxBytes) {}

std::string BlobCache::EntryPath(const Sha256Digest& key) const {
    // Joined by hand: a rebuild asks for thousands of these, and a path
    // object costs more than the entry's read.
    constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);
    const std::string hex = ToHex(key);
    std::string path;
    path.reserve(m_folder.size() + 68);
    path.append(m_folder).append(1, kSeparator).append(hex, 0, 2).append(1, kSeparator).append(hex);
    return path;
}

std::vector<uint8_t> BlobCache::BlobFor(std::span<const uint8_t> data) {
    return BlobFor(Sha256Of(data), data);
}

std::vector<uint8_t> BlobCache::BlobFor(const Sha256Digest& key, std::span<const uint8_t> data) {
    if (auto blob = Load(key, data.size())) return std::move(*blob);
    ++m_misses;
    std::vector<uint8_t> blob = MakeBlob(data);
    Store(key, data.size(), blob);
    return blob;
}

std::optional<std::vector<uint8_t>> BlobCache::Load(const Sha256Digest& key, uint64_t dataLength) {
    uint8_t header[kHeaderSize];
    std::vector<uint8_t> blob;
    switch (ReadCacheFile(EntryPath(key), header, LargestBlob(dataLength), blob)) {
        case CacheRead::missing: return std::nullopt;  // a plain miss
        case CacheRead::damaged: ++m_damaged; return std::nullopt;
        case CacheRead::read: break;
    }
    const uint64_t storedData = GetLe(header + 40, 8);
    const uint64_t blobLength = GetLe(header + 48, 4);
    const uint32_t adler = static_cast<uint32_t>(GetLe(header + 52, 4));
    if (std::memcmp(header, kMagic, 8) != 0 || std::memcmp(header + 8, key.data(), 32) != 0 ||
        storedData != dataLength || blobLength < 4 || blobLength != blob.size() ||
        std::memcmp(header + 56, VersionField().data(), kVersionField) != 0 ||
        Adler(blob) != adler || GetLe(blob.data(), 4) != dataLength) {
        ++m_damaged;
        return std::nullopt;
    }
    ++m_hits;
    return blob;
}

void BlobCache::Store(const Sha256Digest& key, uint64_t dataLength, std::span<const uint8_t> blob) {
    const std::string path = EntryPath(key);
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (ec) return;
    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kMagic, 8);
    std::memcpy(header + 8, key.data(), 32);
    PutLe(header + 40, dataLength, 8);
    PutLe(header + 48, blob.size(), 4);
    PutLe(header + 52, Adler(blob), 4);
    std::memcpy(header + 56, VersionField().data(), kVersionField);

    // Readers see the old entry or the whole new one, never a part.
    if (!ReplaceWhole(path, {std::span<const uint8_t>(header, kHeaderSize), blob})) return;
    ++m_stored;
    m_storedBytes += kHeaderSize + blob.size();
}

void BlobCache::Trim() {
    const fs::path ledger = fs::path(m_folder) / "unchecked-bytes";
    uint64_t unchecked = m_storedBytes.exchange(0);
    if (unchecked == 0) return;
    {
        StdFile file(ledger.string(), "rb");
        char text[32] = {};
        if (file && std::fread(text, 1, sizeof text - 1, file.Get()) > 0)
            unchecked += std::strtoull(text, nullptr, 10);
    }
    if (unchecked >= m_maxBytes / 16) {
        TrimNow();
        unchecked = 0;
    }
    // Builds running at the same time may count over each other; the
    // count only decides when to look.
    const std::string text = std::to_string(unchecked);
    ReplaceWhole(ledger.string(),
                 {std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())});
}

void BlobCache::TrimNow() {
    struct Item {
        fs::file_time_type used;
        uint64_t size;
        fs::path path;
    };
    std::vector<Item> items;
    uint64_t total = 0;
    std::error_code ec;
    const auto staleBefore = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (fs::recursive_directory_iterator it(m_folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code itemError;
        if (!it->is_regular_file(itemError) || itemError) continue;
        const std::string name = it->path().filename().string();
        const auto used = it->last_write_time(itemError);
        if (itemError) continue;
        if (!IsEntryName(name)) {
            // A temporary file left behind by a build that was killed.
            if (name.find(".tmp") != std::string::npos && used < staleBefore)
                fs::remove(it->path(), itemError);
            continue;
        }
        const uint64_t size = it->file_size(itemError);
        if (itemError) continue;
        total += size;
        items.push_back(Item{used, size, it->path()});
    }
    if (total <= m_maxBytes) return;
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.used < b.used; });
    const uint64_t goal = m_maxBytes / 4 * 3;
    for (const Item& item : items) {
        if (total <= goal) break;
        std::error_code removeError;
        if (fs::remove(item.path, removeError)) total -= item.size;
    }
}

}  // namespace folivex
