#include "format/Container.h"

#include <zlib.h>

#include <cstring>

#include "platform/ByteReader.h"
#include "platform/LittleEndian.h"

namespace folivex {

namespace {

// Deflate cannot expand data by more than about 1032 to 1 (a 258-byte match
// in two bits); a blob stating more than that is lying about its length.
constexpr uint64_t kMaxInflateRatio = 1032;

class InflateStream {
public:
    InflateStream() {
        if (inflateInit(&zs) != Z_OK) throw ContainerError("zlib could not start inflating");
    }
    ~InflateStream() { inflateEnd(&zs); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    z_stream zs{};
};

}  // namespace

uint32_t BlobLength(std::span<const uint8_t> blob) {
    if (blob.size() < 4) throw ContainerError("compressed entry shorter than its length field");
    const uint32_t n = ByteReader(blob).U32();
    if (n > kMaxBlobData) throw ContainerError("compressed entry states a negative length");
    return n;
}

std::vector<uint8_t> InflateBlob(std::span<const uint8_t> blob) {
    const uint32_t stated = BlobLength(blob);
    const std::span<const uint8_t> stream = blob.subspan(4);
    if (stated > stream.size() * kMaxInflateRatio)
        throw ContainerError("compressed entry states a length its data cannot hold");

    std::vector<uint8_t> out(stated);
    uint8_t none = 0;
    InflateStream inflater;
    z_stream& zs = inflater.zs;
    // Entry lengths are dwords, so both sizes fit zlib's counters.
    zs.next_in = const_cast<Bytef*>(stream.data());
    zs.avail_in = static_cast<uInt>(stream.size());
    zs.next_out = stated > 0 ? out.data() : &none;
    zs.avail_out = stated;
    const int rc = inflate(&zs, Z_FINISH);
    if (rc != Z_STREAM_END) {
        if (rc == Z_BUF_ERROR && zs.avail_out == 0)
            throw ContainerError("compressed entry holds more data than it states");
        if (rc == Z_BUF_ERROR) throw ContainerError("compressed entry is cut short");
        throw ContainerError("compressed entry is corrupt");
    }
    if (zs.total_out != stated)
        throw ContainerError("compressed entry holds less data than it states");
    if (zs.avail_in != 0) throw ContainerError("compressed entry has stray bytes after its data");
    return out;
}

std::vector<uint8_t> EncodePageDirectory(const std::vector<PageDirEntry>& records) {
    std::vector<uint8_t> out;
    for (const auto& record : records) {
        out.insert(out.end(), record.path.begin(), record.path.end());
        out.push_back(0);
        AppendU32(out, record.id);
        AppendU32(out, record.inPageSequence);
        AppendU32(out, record.inSearch);
    }
    return out;
}

std::vector<PageDirEntry> DecodePageDirectory(std::span<const uint8_t> data) {
    std::vector<PageDirEntry> records;
    ByteReader reader(data);
    try {
        while (!reader.AtEnd()) {
            PageDirEntry record;
            record.path = std::string(reader.CString());
            record.id = reader.I32();
            record.inPageSequence = reader.I32();
            record.inSearch = reader.I32();
            records.push_back(std::move(record));
        }
    } catch (const ByteReader::OutOfRange&) {
        throw ContainerError("page directory ends inside record " +
                             std::to_string(records.size() + 1));
    }
    return records;
}

std::vector<uint8_t> EncodeSettings(const BookSettings& settings) {
    std::vector<uint8_t> out;
    out.reserve(kBookSettingsSize);
    AppendU32(out, settings.showAboutAtStart);
    AppendU32(out, settings.startMaximized);
    AppendU32(out, settings.startFullScreen);
    AppendU32(out, settings.showToolbar);
    for (const int32_t flag : settings.toolbarButtons) AppendU32(out, flag);
    return out;
}

BookSettings DecodeSettings(std::span<const uint8_t> data) {
    if (data.size() < kBookSettingsSize)
        throw ContainerError("settings record holds " + std::to_string(data.size()) +
                             " bytes, not " + std::to_string(kBookSettingsSize));
    ByteReader reader(data);
    BookSettings settings;
    settings.showAboutAtStart = reader.I32();
    settings.startMaximized = reader.I32();
    settings.startFullScreen = reader.I32();
    settings.showToolbar = reader.I32();
    for (int32_t& flag : settings.toolbarButtons) flag = reader.I32();
    return settings;
}

std::vector<uint8_t> EncodeText(std::string_view text) {
    std::vector<uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

std::string DecodeText(std::span<const uint8_t> data) {
    const void* nul = data.empty() ? nullptr : std::memchr(data.data(), 0, data.size());
    const size_t length =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data.data()) : data.size();
    if (length == 0) return {};
    return std::string(reinterpret_cast<const char*>(data.data()), length);
}

}  // namespace folivex
