// Compressed blobs and the small records of the container.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>

#include "format/Container.h"

namespace folivex {
namespace {

std::vector<uint8_t> Compress2(const std::vector<uint8_t>& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(length);
    const uint8_t none = 0;
    EXPECT_EQ(compress2(out.data(), &length, data.empty() ? &none : data.data(),
                        static_cast<uLong>(data.size()), 6),
              Z_OK);
    out.resize(length);
    return out;
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = static_cast<uint8_t>(gen());
    return out;
}

std::vector<uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> BlobOf(uint32_t stated, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> blob(4 + stream.size());
    for (int i = 0; i < 4; ++i)
        blob[static_cast<size_t>(i)] = static_cast<uint8_t>(stated >> (8 * i));
    std::copy(stream.begin(), stream.end(), blob.begin() + 4);
    return blob;
}

TEST(Blob, IsTheLengthAndExactlyWhatZlibMakesAtLevelSix) {
    std::string html;
    for (int i = 0; i < 2000; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " of the book.</p>\n";
    for (const auto& data :
         {std::vector<uint8_t>{}, Text("a"), Text(html), RandomBytes(70000, 1)}) {
        const auto blob = MakeBlob(data);
        EXPECT_EQ(blob, BlobOf(static_cast<uint32_t>(data.size()), Compress2(data)));
        EXPECT_EQ(BlobLength(blob), data.size());
        EXPECT_EQ(InflateBlob(blob), data);
    }
    // Empty data: length 0 and the zlib stream of nothing.
    EXPECT_EQ(MakeBlob({}), (std::vector<uint8_t>{0, 0, 0, 0, 0x78, 0x9C, 0x03, 0x00, 0, 0, 0, 1}));
}

TEST(Blob, TooSmallABufferIsDoubledUntilTheDataFits) {
    const auto random = RandomBytes(5000, 2);
    EXPECT_EQ(MakeBlobWithCapacity(random, 1), MakeBlob(random));
    EXPECT_EQ(MakeBlobWithCapacity(random, 0), MakeBlob(random));
    EXPECT_EQ(MakeBlobWithCapacity({}, 0), MakeBlob({}));
}

// The message a decoder gives for bytes, or "(decoded)".
template <class Decode>
std::string ErrorOf(Decode decode, const std::vector<uint8_t>& bytes) {
    try {
        decode(bytes);
    } catch (const ContainerError& e) {
        return e.what();
    }
    return "(decoded)";
}

std::vector<uint8_t> Changed(std::vector<uint8_t> bytes,
                             const std::function<void(std::vector<uint8_t>&)>& change) {
    change(bytes);
    return bytes;
}

// Every way a blob can disagree with its stated length, each with its own
// message.
TEST(Blob, InflatingRefusesEveryDisagreementWithTheStatedLength) {
    const auto data = Text(std::string(3000, 'x') + "end");
    const auto stream = Compress2(data);
    const auto size = static_cast<uint32_t>(data.size());
    const auto inflate = [](const std::vector<uint8_t>& blob) { InflateBlob(blob); };
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {{1, 0, 0}, "compressed entry shorter than its length field"},
        {BlobOf(0x80000000u, stream), "compressed entry states a negative length"},
        // Refused before a buffer of the stated size is made.
        {BlobOf(0x7FFFFFFF, {0x78, 0x9C, 0x03, 0x00}),
         "compressed entry states a length its data cannot hold"},
        {BlobOf(size + 1, stream), "compressed entry holds less data than it states"},
        {BlobOf(size - 1, stream), "compressed entry holds more data than it states"},
        {BlobOf(size, Changed(stream, [](auto& s) { s.push_back(0); })),
         "compressed entry has stray bytes after its data"},
        {BlobOf(size, Changed(stream, [](auto& s) { s.resize(4); })),
         "compressed entry is cut short"},
        {BlobOf(size, Changed(stream, [](auto& s) { s[0] = 0x12; })),
         "compressed entry is corrupt"},  // the zlib header
        {BlobOf(size, Changed(stream, [](auto& s) { s.back() ^= 0xFF; })),
         "compressed entry is corrupt"},  // the checksum
        {BlobOf(size, stream), "(decoded)"},
    };
    for (const auto& [blob, message] : cases) EXPECT_EQ(ErrorOf(inflate, blob), message);
}

TEST(PageDirectory, RecordsAreBackToBackAndDecodeBack) {
    const std::vector<PageDirEntry> records = {{"index.htm", 1, 1, 1}, {"sub/a.png", 3, 0, 0}};
    const auto bytes = EncodePageDirectory(records);
    const std::vector<uint8_t> expected = {
        'i', 'n', 'd', 'e', 'x', '.', 'h', 't', 'm', 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
        's', 'u', 'b', '/', 'a', '.', 'p', 'n', 'g', 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
    const auto back = DecodePageDirectory(bytes);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].path, "sub/a.png");
    EXPECT_EQ(back[1].id, 3);
    EXPECT_TRUE(DecodePageDirectory({}).empty());

    // A record cut anywhere is an error, never a read past the end.
    const auto decode = [](const std::vector<uint8_t>& b) { DecodePageDirectory(b); };
    for (size_t n = 1; n < bytes.size(); ++n) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        EXPECT_EQ(ErrorOf(decode, cut), n == 22  ? "(decoded)"  // a whole first record
                                        : n < 22 ? "page directory ends inside record 1"
                                                 : "page directory ends inside record 2");
    }
}

TEST(Records, SettingsAndTexts) {
    BookSettings s;
    s.showAboutAtStart = 1;
    s.startMaximized = 0;
    s.toolbarButtons[9] = 0;
    const auto bytes = EncodeSettings(s);
    ASSERT_EQ(bytes.size(), kBookSettingsSize);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[4], 0);
    EXPECT_EQ(bytes[12], 1);
    EXPECT_EQ(bytes[52], 0);
    const auto back = DecodeSettings(bytes);
    EXPECT_EQ(back.showAboutAtStart, 1);
    EXPECT_EQ(back.startMaximized, 0);
    EXPECT_EQ(back.toolbarButtons[9], 0);
    EXPECT_EQ(back.toolbarButtons[8], 1);
    const auto decode = [](const std::vector<uint8_t>& b) { DecodeSettings(b); };
    EXPECT_EQ(ErrorOf(decode, {bytes.begin(), bytes.end() - 1}),
              "settings record holds 55 bytes, not 56");

    EXPECT_EQ(EncodeText(""), std::vector<uint8_t>{0});
    EXPECT_EQ(EncodeText("ab"), (std::vector<uint8_t>{'a', 'b', 0}));
    EXPECT_EQ(DecodeText(std::vector<uint8_t>{'a', 0, 'b'}), "a");
    EXPECT_EQ(DecodeText(std::vector<uint8_t>{'a', 'b'}), "ab");
    EXPECT_EQ(DecodeText({}), "");
}

}  // namespace
}  // namespace folivex
