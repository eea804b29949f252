// Tables of what the references of a book's pages came to, by target as
// written: a page names the same few targets again and again, and the pages
// of a folder name the same files (its navigation, the index).
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folivex {

// The distinct targets of one page, each with what it came to. Open
// addressing over their indexes, the table at most half full; the targets
// are not copied.
template <class Value>
class TargetTable {
public:
    explicit TargetTable(size_t most) : m_slots(most == 0 ? 0 : std::bit_ceil(2 * most)) {
        m_entries.reserve(most);
    }
    // The value for target, and whether it is new (then to be set); at most
    // `most` targets.
    std::pair<Value*, bool> Find(std::string_view target) {
        const size_t mask = m_slots.size() - 1;
        size_t at = std::hash<std::string_view>()(target) & mask;
        for (; m_slots[at] != 0; at = (at + 1) & mask) {
            auto& [known, value] = m_entries[m_slots[at] - 1];
            if (known == target) return {&value, false};
        }
        m_entries.emplace_back(target, Value{});
        m_slots[at] = static_cast<uint32_t>(m_entries.size());
        return {&m_entries.back().second, true};
    }

private:
    std::vector<uint32_t> m_slots;  // index in m_entries + 1; 0: free
    std::vector<std::pair<std::string_view, Value>> m_entries;
};

// Targets written in folders, each with what it came to: one flat array
// with the keys one after another in one string, looked up between pages
// read through, which push any table of separately allocated nodes out of
// the processor's caches. Not safe for several threads at once.
template <class Value>
class FolderTargetTable {
public:
    struct Key {
        std::string_view folder;
        std::string_view target;
        size_t hash = 0;
    };
    // A folder's share of its keys' hashes: worked out once for all the
    // targets of a page.
    static size_t FolderHash(std::string_view folder) {
        constexpr auto kSpread = static_cast<size_t>(0x9E3779B97F4A7C15ull);
        return std::hash<std::string_view>()(folder) * kSpread;
    }
    static Key KeyOf(std::string_view folder, size_t folderHash, std::string_view target) {
        return {folder, target, std::hash<std::string_view>()(target) ^ folderHash};
    }

    // hashShift: how many of the hash's low bits are the same for every key
    // of this table (they chose it among others) and do not choose a slot.
    explicit FolderTargetTable(unsigned hashShift = 0) : m_hashShift(hashShift) {}

    std::optional<Value> Find(const Key& key) const {
        if (m_slots.empty()) return std::nullopt;
        const Slot& slot = m_slots[PlaceOf(key)];
        if (slot.keyLength == 0) return std::nullopt;
        return slot.value;
    }

    // Keeps value for key unless it has one; gives up on a table grown past
    // what 32-bit offsets reach (it only spares work).
    void Add(const Key& key, Value value) {
        const size_t keyLength = key.folder.size() + 1 + key.target.size();
        if (m_keys.size() + keyLength > std::numeric_limits<uint32_t>::max()) return;
        if (2 * (m_used + 1) > m_slots.size()) Grow();
        Slot& slot = m_slots[PlaceOf(key)];
        if (slot.keyLength != 0) return;
        slot = {key.hash, static_cast<uint32_t>(m_keys.size()),
                static_cast<uint32_t>(key.folder.size()), static_cast<uint32_t>(keyLength), value};
        m_keys.append(key.folder).append(1, '\0').append(key.target);
        ++m_used;
    }

private:
    struct Slot {
        size_t hash = 0;
        uint32_t at = 0;            // in m_keys: folder, NUL, target
        uint32_t folderLength = 0;  // no folder holds a NUL
        uint32_t keyLength = 0;     // 0: free
        Value value{};
    };

    bool Holds(const Slot& slot, const Key& key) const {
        const std::string_view held(m_keys.data() + slot.at, slot.keyLength);
        return slot.hash == key.hash && slot.folderLength == key.folder.size() &&
               held.substr(0, slot.folderLength) == key.folder &&
               held.substr(slot.folderLength + 1) == key.target;
    }
    // Where key's slot is, or the free slot where it would go (there are
    // slots).
    size_t PlaceOf(const Key& key) const {
        const size_t mask = m_slots.size() - 1;
        size_t at = key.hash >> m_hashShift & mask;
        while (m_slots[at].keyLength != 0 && !Holds(m_slots[at], key)) at = (at + 1) & mask;
        return at;
    }
    void Grow() {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.keyLength == 0) continue;
            size_t at = slot.hash >> m_hashShift & mask;
            while (m_slots[at].keyLength != 0) at = (at + 1) & mask;
            m_slots[at] = slot;
        }
    }

    unsigned m_hashShift = 0;
    std::vector<Slot> m_slots;  // a power of two, at most half used
    std::string m_keys;
    size_t m_used = 0;
};

// What targets written in each folder came to, for the whole book, used by
// the threads that resolve pages at once. Shards by hash, each behind a
// lock of its own, so that two threads seldom wait for each other.
template <class Value>
class SharedTargetTable {
public:
    using Table = FolderTargetTable<Value>;
    using Key = typename Table::Key;

    std::optional<Value> Find(const Key& key) const {
        const Shard& shard = ShardOf(key);
        const std::lock_guard lock(shard.lock);
        return shard.table.Find(key);
    }
    void Add(const Key& key, Value value) {
        Shard& shard = ShardOf(key);
        const std::lock_guard lock(shard.lock);
        shard.table.Add(key, value);
    }

private:
    static constexpr unsigned kShardBits = 4;
    struct Shard {
        mutable std::mutex lock;
        Table table{kShardBits};
    };

    Shard& ShardOf(const Key& key) { return m_shards[key.hash & (m_shards.size() - 1)]; }
    const Shard& ShardOf(const Key& key) const {
        return m_shards[key.hash & (m_shards.size() - 1)];
    }

    std::array<Shard, 1u << kShardBits> m_shards;
};

}  // namespace folivex
