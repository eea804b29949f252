// The blob encoder: what the builder compresses every file with. It lives
// apart from the decoders so that the viewer, which only inflates, links
// none of zlib's compressor.
#include <zlib.h>

#include <cstring>
#include <limits>
#include <memory>

#include "format/Container.h"
#include "platform/LittleEndian.h"
#include "platform/ObjectPool.h"

namespace folivex {

namespace {

// A zlib compressor kept for the next blob. compress() sets up
// and clears about 256 KB of tables for every call, which a book of many
// small files pays thousands of times; deflateReset leaves the compressor
// as deflateInit made it, so the stream is the one compress() would make.
class Deflater {
public:
    Deflater() { m_ready = deflateInit(&m_zs, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater() {
        if (m_ready) deflateEnd(&m_zs);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // compress() into out (capacity bytes), with its results: Z_OK with
    // the stream's length in written, Z_BUF_ERROR when out is too small.
    int Compress(const Bytef* source, uLong sourceLength, Bytef* out, uLong capacity,
                 uLong& written) {
        if (!m_ready) return Z_MEM_ERROR;
        constexpr uLong kMaxChunk = std::numeric_limits<uInt>::max();
        m_zs.next_in = const_cast<Bytef*>(source);
        m_zs.avail_in = 0;
        m_zs.next_out = out;
        m_zs.avail_out = 0;
        int rc = Z_OK;
        do {  // in chunks that fit zlib's counters, as compress() feeds it
            if (m_zs.avail_out == 0) {
                m_zs.avail_out = static_cast<uInt>(std::min(capacity, kMaxChunk));
                capacity -= m_zs.avail_out;
            }
            if (m_zs.avail_in == 0) {
                m_zs.avail_in = static_cast<uInt>(std::min(sourceLength, kMaxChunk));
                sourceLength -= m_zs.avail_in;
            }
            rc = deflate(&m_zs, sourceLength > 0 ? Z_NO_FLUSH : Z_FINISH);
        } while (rc == Z_OK);
        written = m_zs.total_out;
        m_ready = deflateReset(&m_zs) == Z_OK;
        return rc == Z_STREAM_END ? Z_OK : rc;
    }

private:
    z_stream m_zs{};
    bool m_ready = false;
};

}  // namespace

std::vector<uint8_t> MakeBlob(std::span<const uint8_t> data) {
    const uint64_t n = data.size();
    return MakeBlobWithCapacity(data, n * 1001 / 1000 + 16);
}

std::vector<uint8_t> MakeBlobWithCapacity(std::span<const uint8_t> data, uint64_t firstCapacity) {
    const uint64_t n = data.size();
    if (n > kMaxBlobData) throw ContainerError("data too large for a compressed entry");
    static const uint8_t kNoData = 0;
    const Bytef* source = n > 0 ? data.data() : &kNoData;
    static ObjectPool<Deflater> deflaters;
    const auto deflater = deflaters.Lend();
    uint64_t capacity = firstCapacity;
    for (;;) {
        if (capacity > std::numeric_limits<uLongf>::max() - 4)
            throw ContainerError("compressed entry too large");
        // Compressed into a scratch buffer left uninitialised, then copied
        // out at its size: zeroing room for the whole file would cost more.
        const std::unique_ptr<uint8_t[]> scratch(new uint8_t[static_cast<size_t>(capacity) + 1]);
        uLong written = 0;
        const int rc = deflater->Compress(source, static_cast<uLong>(n), scratch.get(),
                                          static_cast<uLong>(capacity), written);
        if (rc == Z_BUF_ERROR) {
            capacity = capacity > 0 ? capacity * 2 : 1;
            continue;
        }
        if (rc != Z_OK)
            throw ContainerError("zlib could not compress the data (error " + std::to_string(rc) +
                                 ")");
        std::vector<uint8_t> blob(4 + written);
        StoreU32(blob.data(), n);
        std::memcpy(blob.data() + 4, scratch.get(), written);
        return blob;
    }
}

}  // namespace folivex
