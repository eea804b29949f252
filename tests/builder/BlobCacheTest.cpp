// The blob cache: what it gives back is always MakeBlob's blob of the bytes,
// whether the entry was there, damaged, written by another thread at the
// same moment, or trimmed away.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "builder/BlobCache.h"
#include "format/Container.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

std::vector<uint8_t> SomeBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(n);
    // Text-like, so that it compresses.
    for (auto& b : data) b = static_cast<uint8_t>('a' + random() % 8);
    return data;
}

class BlobCacheTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string folder = dir / "cache";
};

TEST_F(BlobCacheTest, ASecondAskIsAHitWithTheSameBlob) {
    BlobCache cache(folder);
    const auto data = SomeBytes(5000, 1);
    EXPECT_EQ(cache.BlobFor(data), MakeBlob(data));
    EXPECT_EQ(cache.Misses(), 1u);
    EXPECT_TRUE(fs::exists(cache.EntryPath(Sha256Of(data))));

    BlobCache again(folder);  // a later build
    EXPECT_EQ(again.BlobFor(data), MakeBlob(data));
    EXPECT_EQ(again.Hits(), 1u);
    EXPECT_EQ(again.Misses(), 0u);

    const std::vector<uint8_t> empty;
    EXPECT_EQ(again.BlobFor(empty), MakeBlob(empty));
    EXPECT_EQ(again.BlobFor(empty), MakeBlob(empty));
    EXPECT_EQ(again.Hits(), 2u);
}

TEST_F(BlobCacheTest, ADamagedEntryIsMadeAgainAndRepaired) {
    const auto data = SomeBytes(3000, 2);
    const std::vector<uint8_t> expected = MakeBlob(data);
    const std::string entry = BlobCache(folder).EntryPath(Sha256Of(data));
    BlobCache(folder).BlobFor(data);
    const std::vector<uint8_t> sound = ReadFile(entry);
    ASSERT_EQ(sound.size(), 80 + expected.size());

    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const std::vector<Damage> damages = {
        {"a flipped blob byte", [](auto& b) { b[b.size() - 3] ^= 0x10; }},
        {"a flipped length field", [](auto& b) { b[80] ^= 1; }},
        {"cut short", [](auto& b) { b.erase(b.end() - 5, b.end()); }},
        {"a byte too many", [](auto& b) { b.push_back(0); }},
        {"only half a header", [](auto& b) { b.resize(40); }},
        {"empty", [](auto& b) { b.clear(); }},
        {"another key", [](auto& b) { b[8] ^= 0xFF; }},
        {"another zlib", [](auto& b) { b[56] = '0'; }},
        {"a huge stated blob length", [](auto& b) { b[51] = 0x7F; }},
    };
    for (const Damage& damage : damages) {
        std::vector<uint8_t> bytes = sound;
        damage.apply(bytes);
        WriteFile(entry, bytes);
        BlobCache cache(folder);
        EXPECT_EQ(cache.BlobFor(data), expected) << damage.what;
        EXPECT_EQ(cache.Damaged(), 1u) << damage.what;
        EXPECT_EQ(ReadFile(entry), sound) << damage.what << ": written anew";
    }
}

TEST_F(BlobCacheTest, ConcurrentWritersLeaveOnlyWholeEntries) {
    std::vector<std::vector<uint8_t>> inputs;
    for (unsigned i = 0; i < 6; ++i) inputs.push_back(SomeBytes(20000 + i * 977, 10 + i));
    // Several caches on one folder stand for several builds at once; each
    // asks for every input many times while the others write it.
    std::vector<std::thread> builds;
    std::atomic<int> wrong{0};
    for (int b = 0; b < 6; ++b) {
        builds.emplace_back([&, b] {
            BlobCache cache(folder);
            for (int round = 0; round < 20; ++round) {
                const auto& data = inputs[static_cast<size_t>(round + b) % inputs.size()];
                if (cache.BlobFor(data) != MakeBlob(data)) ++wrong;
            }
        });
    }
    for (auto& t : builds) t.join();
    EXPECT_EQ(wrong, 0);
    size_t entries = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        EXPECT_EQ(item.path().filename().string().find(".tmp"), std::string::npos) << item.path();
        ++entries;
    }
    EXPECT_EQ(entries, inputs.size());
    BlobCache check(folder);
    for (const auto& data : inputs)
        EXPECT_TRUE(check.Load(Sha256Of(data), data.size()).has_value());
}

TEST_F(BlobCacheTest, TrimKeepsTheFolderUnderItsBoundLeastRecentlyUsedFirst) {
    std::vector<std::vector<uint8_t>> inputs;
    for (unsigned i = 0; i < 10; ++i) inputs.push_back(SomeBytes(10000, 100 + i));
    uint64_t entrySize = 0;
    {
        BlobCache fill(folder, 1ull << 40);
        for (const auto& data : inputs) {
            fill.BlobFor(data);
            entrySize =
                std::max<uint64_t>(entrySize, fs::file_size(fill.EntryPath(Sha256Of(data))));
        }
    }
    // Entry i was last used i hours ago.
    const auto now = fs::file_time_type::clock::now();
    BlobCache probe(folder);
    for (size_t i = 0; i < inputs.size(); ++i)
        fs::last_write_time(probe.EntryPath(Sha256Of(inputs[i])), now - std::chrono::hours(i));

    // The oldest is used now: a hit marks it.
    EXPECT_EQ(probe.BlobFor(inputs[9]), MakeBlob(inputs[9]));
    ASSERT_EQ(probe.Hits(), 1u);

    // A bound of four entries: trimming keeps at most three.
    BlobCache cache(folder, entrySize * 4);
    cache.TrimNow();
    for (size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(fs::exists(cache.EntryPath(Sha256Of(inputs[i]))), i < 2 || i == 9)
            << "entry " << i;

    // Below the bound nothing goes.
    cache.TrimNow();
    EXPECT_TRUE(fs::exists(cache.EntryPath(Sha256Of(inputs[1]))));
}

TEST_F(BlobCacheTest, TrimLooksOnlyOnceEnoughHasBeenStored) {
    const auto first = SomeBytes(10000, 200), second = SomeBytes(10000, 201);
    uint64_t entrySize = 0;
    {
        BlobCache fill(folder, 1ull << 40);
        fill.BlobFor(first);
        entrySize = fs::file_size(fill.EntryPath(Sha256Of(first)));
    }
    // Bound: a bit over one entry, so two entries are too many, but one
    // stored entry is less than a sixteenth of a bound 20 times larger.
    {
        BlobCache cache(folder, entrySize * 20);
        cache.BlobFor(second);
        cache.Trim();
        EXPECT_TRUE(fs::exists(cache.EntryPath(Sha256Of(first))));
    }
    {
        BlobCache cache(folder, entrySize + entrySize / 2);
        cache.BlobFor(SomeBytes(10000, 202));
        cache.Trim();  // more than a sixteenth stored since the last look
        int left = 0;
        for (const auto& data : {first, second})
            left += fs::exists(cache.EntryPath(Sha256Of(data))) ? 1 : 0;
        EXPECT_LE(left, 1);
    }
}

TEST_F(BlobCacheTest, AnUnwritableFolderOnlyMeansNoCache) {
    WriteFile(folder, {1, 2, 3});  // a file where the folder should be
    BlobCache cache(folder);
    const auto data = SomeBytes(1000, 300);
    EXPECT_EQ(cache.BlobFor(data), MakeBlob(data));
    EXPECT_EQ(cache.BlobFor(data), MakeBlob(data));
    EXPECT_EQ(cache.Hits(), 0u);
    cache.Trim();
}

}  // namespace
}  // namespace folivex
