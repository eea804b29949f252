#include "builder/DigestMemo.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "builder/CacheFile.h"
#include "platform/ByteReader.h"

namespace folivex {

namespace {

namespace fs = std::filesystem;

// Memo file: magic, record count, the records, then the SHA-256 of all
// that. A record: path length (4 bytes) and path, size, modified, changed,
// file id, volume id (8 bytes each), digest (32 bytes). Little-endian.
constexpr char kMagic[8] = {'F', 'V', 'X', 'M', 'E', 'M', 'O', '1'};
// A memo holds at most the 65,535 pages of one book and its splash; a file
// far larger than such a memo can be is not read.
constexpr uint64_t kMaxMemoBytes = 64ull << 20;

void Put(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    uint8_t le[8];
    for (int i = 0; i < bytes; ++i) le[i] = static_cast<uint8_t>(v >> (8 * i));
    out.insert(out.end(), le, le + bytes);
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

}  // namespace

DigestMemo::DigestMemo(std::string memoPath, int64_t startNs)
    : m_path(std::move(memoPath)), m_startNs(startNs) {
    const std::vector<uint8_t> bytes = ReadMemoFile(m_path);
    if (bytes.size() < sizeof kMagic + 4 + 32 ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return;
    const size_t bodySize = bytes.size() - 32;
    const Sha256Digest sum = Sha256Of(std::span(bytes.data(), bodySize));
    if (std::memcmp(sum.data(), bytes.data() + bodySize, 32) != 0) return;

    std::unordered_map<std::string, Record> records;
    try {
        ByteReader in(bytes.data(), bodySize);
        in.Skip(sizeof kMagic);
        const uint32_t count = in.U32();
        // The count sizes nothing before the bytes there bear it out.
        constexpr size_t kSmallestRecord = 4 + 5 * 8 + 32;
        records.reserve(std::min<size_t>(count, in.Remaining() / kSmallestRecord));
        for (uint32_t i = 0; i < count; ++i) {
            const std::span<const uint8_t> path = in.Bytes(in.U32());
            Record record;
            record.stamp.size = in.U64();
            record.stamp.modifiedNs = static_cast<int64_t>(in.U64());
            record.stamp.changedNs = static_cast<int64_t>(in.U64());
            record.stamp.fileId = in.U64();
            record.stamp.volumeId = in.U64();
            const std::span<const uint8_t> digest = in.Bytes(32);
            std::copy(digest.begin(), digest.end(), record.digest.begin());
            records.insert_or_assign(std::string(path.begin(), path.end()), record);
        }
        if (!in.AtEnd()) return;  // more than the count says: not ours
    } catch (const ByteReader::OutOfRange&) {
        return;
    }
    m_loaded = std::move(records);
    m_kept.reserve(m_loaded.size());
}

std::string DigestMemo::PathFor(const std::string& cacheFolder, const std::string& projectDir) {
    const std::string key = "folder:" + projectDir;
    const Sha256Digest name =
        Sha256Of(std::span(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    return (fs::path(cacheFolder) / "memo" / ToHex(name)).string();
}

const DigestMemo::Record* DigestMemo::Seen(const std::string& path) const {
    const auto found = m_loaded.find(path);
    return found == m_loaded.end() ? nullptr : &found->second;
}

void DigestMemo::Remember(const std::string& path, const FileStamp& stamp,
                          const Sha256Digest& digest) {
    // A stamp found unchanged was settled when it was remembered.
    const Record* seen = Seen(path);
    const bool seenBefore = seen && seen->stamp == stamp && seen->digest == digest;
    const int64_t settled = m_startNs - kSettleNs;
    if (!seenBefore && (stamp.changedNs >= settled || stamp.modifiedNs >= settled)) return;
    m_kept.emplace_back(path, Record{stamp, digest});
}

void DigestMemo::Save() const {
    size_t size = sizeof kMagic + 4;
    for (const auto& [path, record] : m_kept) size += 4 + path.size() + 5 * sizeof(uint64_t) + 32;
    std::vector<uint8_t> out;
    out.reserve(size);
    out.insert(out.end(), kMagic, kMagic + sizeof kMagic);
    Put(out, m_kept.size(), 4);
    for (const auto& [path, record] : m_kept) {
        Put(out, path.size(), 4);
        out.insert(out.end(), path.begin(), path.end());
        Put(out, record.stamp.size, 8);
        Put(out, static_cast<uint64_t>(record.stamp.modifiedNs), 8);
        Put(out, static_cast<uint64_t>(record.stamp.changedNs), 8);
        Put(out, record.stamp.fileId, 8);
        Put(out, record.stamp.volumeId, 8);
        out.insert(out.end(), record.digest.begin(), record.digest.end());
    }
    const Sha256Digest sum = Sha256Of(out);
    std::error_code ec;
    fs::create_directories(fs::path(m_path).parent_path(), ec);
    if (ec) return;
    ReplaceWhole(m_path, {out, sum});
}

}  // namespace folivex
