// SHA-256: the published test vectors, and the processor's SHA instructions
// against the portable code on every length around the block edges and on
// data fed in odd pieces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "builder/Sha256.h"

namespace folivex {
namespace {

std::string HexOf(const std::string& text, bool portable = false) {
    Sha256 sha;
    if (portable) sha.ForcePortable();
    sha.Update(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return ToHex(sha.Final());
}

TEST(Sha256, PublishedVectors) {
    for (const bool portable : {false, true}) {
        EXPECT_EQ(HexOf("", portable),
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(HexOf("abc", portable),
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", portable),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        EXPECT_EQ(HexOf(std::string(1000000, 'a'), portable),
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
}

TEST(Sha256, AnyLengthAndAnySplitGiveTheSameDigest) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(1200);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    for (size_t n = 0; n <= data.size(); n += (n < 200 ? 1 : 37)) {
        const std::span<const uint8_t> part(data.data(), n);
        Sha256 portable;
        portable.ForcePortable();
        portable.Update(part);
        const Sha256Digest expected = portable.Final();
        EXPECT_EQ(Sha256Of(part), expected) << n << " bytes";

        // The same bytes in pieces of 1 to 70 bytes.
        Sha256 pieces;
        for (size_t at = 0; at < n;) {
            const size_t take = std::min<size_t>(n - at, 1 + random() % 70);
            pieces.Update(part.subspan(at, take));
            at += take;
        }
        EXPECT_EQ(pieces.Final(), expected) << n << " bytes in pieces";
    }
}

}  // namespace
}  // namespace folivex
