// The folder scan: ScanProjectFolder and its depth-first walk.
#include "project/FolderScan.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DirEnum.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

// The extension as written on disk: what follows the last ".", empty when
// there is no "." or the only one is the first character.
std::string_view ExtensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

// Lower-cased relative path -> entry, the first one added winning. Open
// addressing over small slots (a part of the hash and the number of the
// key): a lookup touches one slot and compares text only when the hashes
// agree, and growing the table touches little memory, which keeps a scan of
// a hundred thousand files from waiting on scattered nodes and fresh pages.
class PathIndex {
public:
    explicit PathIndex(size_t expected) {
        m_keys.reserve(expected);
        Grow(expected * 2);
    }

    CPieceElem* Find(std::string_view key) const {
        const uint64_t h = Hash(key);
        for (size_t i = h & m_mask;; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.number == 0) return nullptr;
            const Key& candidate = m_keys[slot.number - 1];
            if (slot.hash == Tag(h) && candidate.text == key) return candidate.entry;
        }
    }

    // key must stay valid as long as the index: it is entry's path or a
    // string the caller keeps. Does nothing when key is there already.
    void Add(std::string_view key, CPieceElem* entry) {
        if ((m_keys.size() + 1) * 2 > m_slots.size()) Grow(m_slots.size() * 2);
        const uint64_t h = Hash(key);
        size_t i = h & m_mask;
        for (; m_slots[i].number != 0; i = (i + 1) & m_mask)
            if (m_slots[i].hash == Tag(h) && m_keys[m_slots[i].number - 1].text == key) return;
        m_keys.push_back(Key{key, entry, h});
        m_slots[i] = Slot{Tag(h), static_cast<uint32_t>(m_keys.size())};
    }

private:
    struct Key {
        std::string_view text;
        CPieceElem* entry;
        uint64_t hash;  // kept for growing
    };
    // number: 1 + the key's place in m_keys; 0 for an empty slot. A scan
    // adds at most one key per file, far fewer than 2^32.
    struct Slot {
        uint32_t hash = 0;
        uint32_t number = 0;
    };

    static uint64_t Hash(std::string_view key) {
        uint64_t h = 1469598103934665603ULL;  // FNV-1a, then a final mix
        for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return h ^ (h >> 29);
    }
    // The hash bits kept in a slot: the high ones, which the low bits that
    // choose the slot do not already tell.
    static uint32_t Tag(uint64_t h) { return static_cast<uint32_t>(h >> 32); }

    void Grow(size_t wanted) {
        size_t size = 64;
        while (size < wanted) size *= 2;
        m_slots.assign(size, Slot{});
        m_mask = size - 1;
        for (size_t k = 0; k < m_keys.size(); ++k) {
            size_t i = m_keys[k].hash & m_mask;
            while (m_slots[i].number != 0) i = (i + 1) & m_mask;
            m_slots[i] = Slot{Tag(m_keys[k].hash), static_cast<uint32_t>(k + 1)};
        }
    }

    std::vector<Slot> m_slots;
    std::vector<Key> m_keys;
    size_t m_mask = 0;
};

class FolderWalk {
public:
    explicit FolderWalk(BookProject& project)
        : m_project(project), m_index(project.pages.size() + kExpectedNewFiles) {
        // The index holds views: of the lower-cased paths of the entries
        // already there (kept in m_known, never reallocated), and of the
        // paths of new entries, which live on the heap with their entry.
        m_known.reserve(project.pages.size());
        // First entry wins, as a search from index 0 would find it.
        for (auto& entry : project.pages) {
            m_known.push_back(ToLowerSystem(entry->path));
            m_index.Add(m_known.back(), entry.get());
        }
    }

    void ScanFolder(const std::string& folder) {
        uint64_t device = 0, inode = 0;
        if (FolderIdentity(folder, device, inode) && !Enter(device, inode)) return;
        Walk(folder);
    }

private:
    // False when the folder was entered before (a link loop, or two links
    // to one folder). An unknown identity (0, 0) is always entered.
    bool Enter(uint64_t device, uint64_t inode) {
        if (device == 0 && inode == 0) return true;
        return m_entered.emplace(device, inode).second;
    }

    void Walk(const std::string& folder) {
        std::string base = folder;
        if (base.empty() || !EndsWithSeparator(base)) base += '\\';

        // A folder that cannot be listed contributes nothing.
        std::vector<DirItem> items;
        if (!ListFolder(folder, items)) return;
        for (const DirItem& item : items) {
            if (item.isHidden) continue;
            const std::string fullPath = base + item.name;
            if (item.isFolder) {
                if (Enter(item.device, item.inode)) Walk(fullPath);
                continue;
            }
            AddOrMark(fullPath, item.name);
        }
    }

    void AddOrMark(const std::string& fullPath, std::string_view name) {
        const std::string& dir = m_project.projectDir;
        // A folder ending in a separator (a drive root) is removed alone,
        // otherwise with the one separator that follows it. Lower-casing
        // only the part after it keeps the cut at the right byte even where
        // lower-casing changes a name's length.
        const size_t cut = EndsWithSeparator(dir) ? dir.size() : dir.size() + 1;
        std::string relative =
            ToLowerSystem(std::string_view(fullPath).substr(std::min(cut, fullPath.size())));

        if (CPieceElem* found = m_index.Find(relative)) {
            found->foundInScan = 1;
            return;
        }
        auto entry = std::make_unique<CPieceElem>();
        const std::string_view ext = ExtensionOf(name);
        const int32_t isPage = (ext == "html" || ext == "htm") ? 1 : 0;
        entry->path = std::move(relative);
        entry->inPageSequence = isPage;
        entry->inSearch = isPage;
        entry->included = 1;
        entry->foundInScan = 1;
        m_index.Add(entry->path, entry.get());
        m_project.pages.push_back(std::move(entry));
    }

    // Room for this many new files before the index first grows.
    static constexpr size_t kExpectedNewFiles = 4096;

    BookProject& m_project;
    std::vector<std::string> m_known;
    PathIndex m_index;
    std::set<std::pair<uint64_t, uint64_t>> m_entered;
};

}  // namespace

int ScanProjectFolder(CBookApp& app, const std::string& folder,
                      const std::function<void()>& fillFileList) {
    WaitCursor wait(app.GetPrompts());
    BookProject& project = app.project;
    project.projectDir = folder;
    for (auto& entry : project.pages) entry->foundInScan = 0;

    FolderWalk(project).ScanFolder(folder);

    // Entries whose files were not met are deleted; the rest keep order.
    std::erase_if(project.pages, [](const auto& entry) { return entry->foundInScan == 0; });

    int pageCount = 0;
    for (const auto& entry : project.pages)
        if (entry->inPageSequence) ++pageCount;

    if (fillFileList) fillFileList();
    if (pageCount == 0)
        app.GetPrompts().ShowMessage("No HTML files in this folder. Please try again.",
                                     MsgButtons::OK, MsgIcon::Exclamation);
    app.lastProjectDir = project.projectDir;
    return 1;
}

}  // namespace folivex
