#include "builder/BuildMemo.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "builder/CacheFile.h"
#include "builder/LinkMemo.h"
#include "builder/Sha256.h"
#include "platform/ByteReader.h"
#include "platform/LittleEndian.h"

namespace folivex {

namespace {

namespace fs = std::filesystem;

// Memo file, little-endian: magic, the zlib version that made the blobs (a
// NUL-padded field), the book's path (length and bytes) and stamp, the
// record count and the records, then the SHA-256 of all that. A record: the
// file's name (length and bytes), its stamp, the blob's offset, length and
// CRC-32. A stamp: size, modified, changed, file id, volume id.
constexpr char kMagic[8] = {'F', 'V', 'X', 'M', 'E', 'M', 'O', '2'};
constexpr size_t kVersionField = 24;
constexpr size_t kStampBytes = size_t{5} * 8;
constexpr size_t kRecordFixedBytes = 4 + kStampBytes + 8 + 4 + 4;
// A memo holds at most the 65,535 pages of one book and its splash; a file
// far larger than such a memo can be is not read.
constexpr uint64_t kMaxMemoBytes = 64ull << 20;

void PutStamp(std::vector<uint8_t>& out, const FileStamp& stamp) {
    AppendU64(out, stamp.size);
    AppendU64(out, static_cast<uint64_t>(stamp.modifiedNs));
    AppendU64(out, static_cast<uint64_t>(stamp.changedNs));
    AppendU64(out, stamp.fileId);
    AppendU64(out, stamp.volumeId);
}

FileStamp GetStamp(ByteReader& in) {
    FileStamp stamp;
    stamp.size = in.U64();
    stamp.modifiedNs = static_cast<int64_t>(in.U64());
    stamp.changedNs = static_cast<int64_t>(in.U64());
    stamp.fileId = in.U64();
    stamp.volumeId = in.U64();
    return stamp;
}

// The zlib version, cut or padded to its field: blobs made by another zlib
// may differ, so its memo is not used.
std::array<uint8_t, kVersionField> VersionField() {
    std::array<uint8_t, kVersionField> field{};
    const char* version = zlibVersion();
    std::memcpy(field.data(), version, std::min(std::strlen(version), kVersionField));
    return field;
}

std::vector<uint8_t> ReadMemoFile(const std::string& path) {
    StdFile file(path, "rb");
    if (!file) return {};
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.Get())) > 0) {
        if (bytes.size() + got > kMaxMemoBytes) return {};
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

bool IsMemoName(const std::string& name) {
    return name.size() == 64 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

std::string BuildMemo::DefaultFolder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        return (fs::path(local) / "folivex" / "builds").string();
    return {};
#else
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && xdg[0] == '/')
        return (fs::path(xdg) / "folivex" / "builds").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".cache" / "folivex" / "builds").string();
    return {};
#endif
}

std::string BuildMemo::PathFor(const std::string& cacheFolder, const std::string& projectDir) {
    const std::string key = "folder:" + projectDir;
    const Sha256Digest name =
        Sha256Of(std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    return (fs::path(cacheFolder) / ToHex(name)).string();
}

BuildMemo::BuildMemo(std::string memoPath, int64_t startNs)
    : m_path(std::move(memoPath)), m_startNs(startNs) {
    Load();
    m_kept.reserve(m_loaded.size());
}

void BuildMemo::Load() {
    const std::vector<uint8_t> bytes = ReadMemoFile(m_path);
    if (bytes.size() < sizeof kMagic + kVersionField + 32 ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        std::memcmp(bytes.data() + sizeof kMagic, VersionField().data(), kVersionField) != 0)
        return;
    const size_t bodySize = bytes.size() - 32;
    const Sha256Digest sum = Sha256Of(std::span(bytes.data(), bodySize));
    if (std::memcmp(sum.data(), bytes.data() + bodySize, 32) != 0) return;

    std::unordered_map<std::string, Record> records;
    try {
        ByteReader in(bytes.data(), bodySize);
        in.Skip(sizeof kMagic + kVersionField);
        std::string bookPath(in.CountedText());
        const FileStamp bookStamp = GetStamp(in);
        const uint32_t count = in.U32();
        // The count sizes nothing before the bytes there bear it out.
        records.reserve(std::min<size_t>(count, in.Remaining() / kRecordFixedBytes));
        for (uint32_t i = 0; i < count; ++i) {
            std::string name(in.CountedText());
            Record record;
            record.stamp = GetStamp(in);
            record.blob.offset = in.U64();
            record.blob.length = in.U32();
            record.blob.crc = in.U32();
            records.insert_or_assign(std::move(name), record);
        }
        if (!in.AtEnd()) return;  // more than the count says: not ours
        m_bookPath = std::move(bookPath);
        m_bookStamp = bookStamp;
    } catch (const ByteReader::OutOfRange&) {
        return;
    }
    m_loaded = std::move(records);
}

const BuildMemo::Record* BuildMemo::Seen(const std::string& name) const {
    const auto found = m_loaded.find(name);
    return found == m_loaded.end() ? nullptr : &found->second;
}

void BuildMemo::Remember(const std::string& name, const FileStamp& stamp, const Place& blob,
                         std::optional<bool> seenBefore) {
    // A stamp found unchanged was settled when it was remembered.
    if (!seenBefore) {
        const Record* seen = Seen(name);
        seenBefore = seen && seen->stamp == stamp;
    }
    const int64_t settled = m_startNs - kSettleNs;
    if (!*seenBefore && (stamp.changedNs >= settled || stamp.modifiedNs >= settled)) return;
    m_kept.emplace_back(name, Record{stamp, blob});
}

uint64_t BuildMemo::FileBytes() const {
    std::error_code ec;
    const uint64_t size = fs::file_size(m_path, ec);
    return ec ? 0 : size;
}

uint64_t BuildMemo::Save(const std::string& bookPath) const {
    const std::optional<FileStamp> bookStamp = StampOfFile(bookPath);
    if (!bookStamp) return 0;
    // The next build may run from another folder.
    std::error_code absoluteError;
    const fs::path absolute = fs::absolute(bookPath, absoluteError);
    const std::string path = absoluteError ? bookPath : absolute.string();
    size_t size = sizeof kMagic + kVersionField + 4 + path.size() + kStampBytes + 4;
    for (const auto& [name, record] : m_kept) size += kRecordFixedBytes + name.size();
    std::vector<uint8_t> out;
    out.reserve(size);
    out.insert(out.end(), kMagic, kMagic + sizeof kMagic);
    const auto version = VersionField();
    out.insert(out.end(), version.begin(), version.end());
    AppendCountedText(out, path);
    PutStamp(out, *bookStamp);
    AppendU32(out, m_kept.size());
    for (const auto& [name, record] : m_kept) {
        AppendCountedText(out, name);
        PutStamp(out, record.stamp);
        AppendU64(out, record.blob.offset);
        AppendU32(out, record.blob.length);
        AppendU32(out, record.blob.crc);
    }
    const Sha256Digest sum = Sha256Of(out);
    std::error_code ec;
    fs::create_directories(fs::path(m_path).parent_path(), ec);
    if (ec || !ReplaceWhole(m_path, {out, sum})) return 0;
    return out.size() + sum.size();
}

void BuildMemo::TrimFolder(const std::string& cacheFolder, uint64_t savedBytes,
                           uint64_t replacedBytes, uint64_t maxBytes) {
    // The folder grows only when a memo is new or longer than the one it
    // replaced: only then is it worth a look.
    if (savedBytes > replacedBytes) TrimFolderNow(cacheFolder, maxBytes);
}

void BuildMemo::TrimFolderNow(const std::string& cacheFolder, uint64_t maxBytes) {
    struct Item {
        fs::file_time_type used;  // a memo is written whenever a build uses it
        uint64_t size;
        fs::path path;
    };
    std::vector<Item> items;
    uint64_t total = 0;
    std::error_code ec;
    const auto staleBefore = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (fs::directory_iterator it(cacheFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code itemError;
        if (!it->is_regular_file(itemError) || itemError) continue;
        const std::string name = it->path().filename().string();
        const auto used = it->last_write_time(itemError);
        if (itemError) continue;
        if (!IsMemoName(name)) {
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
    if (total <= maxBytes) return;
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.used < b.used; });
    const uint64_t goal = maxBytes / 4 * 3;
    for (const Item& item : items) {
        if (total <= goal) break;
        std::error_code removeError;
        if (fs::remove(item.path, removeError)) total -= item.size;
        // What the link report kept for that build goes with it (LinkMemo.h).
        LinkMemo::Remove(item.path.string());
    }
}

}  // namespace folivex
