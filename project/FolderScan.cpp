// The folder scan: ScanProjectFolder and its depth-first walk.
#include "project/FolderScan.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DirEnum.h"
#include "platform/Fnv.h"
#include "platform/Path.h"
#include "platform/PathResolver.h"
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

    // What a key is looked up and added by: worked out once for both.
    static uint64_t Hash(std::string_view key) {
        const uint64_t h = Fnv1a64(key);  // then a final mix
        return h ^ (h >> 29);
    }
    // The entry at key (h: its Hash).
    CPieceElem* Find(std::string_view key, uint64_t h) const {
        for (size_t i = Low(h) & m_mask;; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.number == 0) return nullptr;
            const Key& candidate = m_keys[slot.number - 1];
            if (slot.hash == Tag(h) && candidate.text == key) return candidate.entry;
        }
    }

    // key must stay valid as long as the index: it is entry's path or a
    // string the caller keeps. Does nothing when key is there already.
    void Add(std::string_view key, CPieceElem* entry) { Add(key, entry, Hash(key)); }
    void Add(std::string_view key, CPieceElem* entry, uint64_t h) {
        if ((m_keys.size() + 1) * 2 > m_slots.size()) Grow(m_slots.size() * 2);
        size_t i = Low(h) & m_mask;
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

    // The hash bits kept in a slot: the high ones, which the low bits that
    // choose the slot do not already tell.
    static uint32_t Tag(uint64_t h) { return static_cast<uint32_t>(h >> 32); }
    // The bits that choose the slot (a 32-bit size_t holds all a mask needs).
    static size_t Low(uint64_t h) { return static_cast<size_t>(h); }

    void Grow(size_t wanted) {
        size_t size = 64;
        while (size < wanted) size *= 2;
        m_slots.assign(size, Slot{});
        m_mask = size - 1;
        for (size_t k = 0; k < m_keys.size(); ++k) {
            size_t i = Low(m_keys[k].hash) & m_mask;
            while (m_slots[i].number != 0) i = (i + 1) & m_mask;
            m_slots[i] = Slot{Tag(m_keys[k].hash), static_cast<uint32_t>(k + 1)};
        }
    }

    std::vector<Slot> m_slots;
    std::vector<Key> m_keys;
    size_t m_mask = 0;
};

// The sentences of the report, one home each.
std::string CollisionWarning(const std::string& first, const std::string& other) {
    return first + " and " + other + " have the same name in the book; only " + first +
           " is included";
}

std::string BackslashWarning(const std::string& shown, bool isFolder) {
    return shown + (isFolder ? " and everything in it are" : " is") +
           " left out: a name in the book cannot hold \"\\\"";
}

std::string UnlistedWarning(const std::string& shown, const std::string& reason, size_t kept) {
    std::string text = "The folder " + shown + " could not be listed (" + reason + ")";
    if (kept == 0) return text + "; its files are left out";
    if (kept == 1) return text + "; the entry under it is kept as it was";
    return text + "; the " + std::to_string(kept) + " entries under it are kept as they were";
}

class FolderWalk {
public:
    FolderWalk(BookProject& project, const std::vector<std::string>& leaveOut, ScanReport& report,
               PathResolver* found)
        : m_project(project),
          m_index(project.pages.size() + kExpectedNewFiles),
          m_report(report),
          m_found(found) {
        // The index holds views: of the lower-cased paths of the entries
        // already there (kept in m_known, never reallocated), and of the
        // paths of new entries, which live on the heap with their entry.
        m_known.reserve(project.pages.size());
        // First entry wins, as a search from index 0 would find it.
        for (auto& entry : project.pages) {
            m_known.push_back(ToLowerSystem(entry->path));
            m_index.Add(m_known.back(), entry.get());
        }
        for (const std::string& path : leaveOut) m_leaveOut.emplace_back(path);
        const std::string& dir = m_project.projectDir;
        // A folder ending in a separator (a drive root) is removed alone,
        // otherwise with the one separator that follows it.
        m_cut = EndsWithSeparator(dir) ? dir.size() : dir.size() + 1;
    }

    void ScanFolder(const std::string& folder) {
        uint64_t device = 0, inode = 0;
        if (FolderIdentity(folder, device, inode) && !Enter(device, inode)) return;
        Walk(folder);
    }

    // Entries under a folder that could not be listed count as found: they
    // keep their places and attributes. One warning per such folder.
    void KeepEntriesOfUnlistedFolders() {
        for (const Unlisted& folder : m_unlisted) {
            size_t kept = 0;
            // Only entries there before the walk can be unfound; m_known
            // holds their lower-cased paths in the same order.
            for (size_t i = 0; i < m_known.size(); ++i) {
                CPieceElem& entry = *m_project.pages[i];
                if (entry.foundInScan || !m_known[i].starts_with(folder.lowerPrefix)) continue;
                entry.foundInScan = 1;
                ++kept;
            }
            m_report.warnings.push_back(UnlistedWarning(folder.shown, folder.reason, kept));
        }
    }

private:
    struct Unlisted {
        std::string lowerPrefix;  // lower-cased relative path and "\"
        std::string shown;
        std::string reason;
    };

    // False when the folder was entered before (a link loop, or two links
    // to one folder). An unknown identity (0, 0) is always entered.
    bool Enter(uint64_t device, uint64_t inode) {
        if (device == 0 && inode == 0) return true;
        return m_entered.emplace(device, inode).second;
    }

    // The part of a path under the project folder, in its stored form.
    std::string_view Relative(std::string_view fullPath) const {
        return fullPath.substr(std::min(m_cut, fullPath.size()));
    }

    // name in folder as the author sees it: relative to the project folder,
    // with the system's separators, the name itself as it is.
    std::string Shown(const std::string& folder, const std::string& name) const {
        const std::string inside = WithNativeSeparators(Relative(folder));
        return inside.empty() ? name : JoinNativePath(inside, name);
    }

    void Walk(const std::string& folder) {
        std::string base = folder;
        if (base.empty() || !EndsWithSeparator(base)) base += '\\';

        std::vector<DirItem> items;
        std::string whyNot;
        if (!ListFolder(folder, items, &whyNot)) {
            NoteUnlisted(folder, whyNot);
            return;
        }
        // Lower-cased a part at a time, which gives what lower-casing the
        // whole relative path would: the parts meet at an ASCII "".
        const std::string lowerBase = ToLowerSystem(Relative(base));
        if (m_found) m_found->Reserve(items.size());
        for (const DirItem& item : items) {
            if (item.isHidden) continue;
            // On POSIX a name may hold "\", which the stored paths take for
            // a separator: such an entry could never be found again.
            if (item.name.find('\\') != std::string::npos) {
                m_report.warnings.push_back(
                    BackslashWarning(Shown(folder, item.name), item.isFolder));
                continue;
            }
            if (item.isFolder) {
                if (Enter(item.device, item.inode)) Walk(base + item.name);
                continue;
            }
            if (IsLeftOut(folder, item)) {
                m_report.warnings.push_back(OutputLeftOutWarning(Shown(folder, item.name)));
                continue;
            }
            AddOrMark(base, lowerBase, item.name);
        }
    }

    bool IsLeftOut(const std::string& folder, const DirItem& item) const {
        for (const KnownFile& file : m_leaveOut)
            if (file.Is(folder, item)) return true;
        return false;
    }

    void NoteUnlisted(const std::string& folder, const std::string& reason) {
        const std::string relative(Relative(folder));
        // The project folder itself: nothing is found, every entry goes.
        if (relative.empty()) {
            m_report.warnings.push_back("The folder " + folder + " could not be listed (" + reason +
                                        ")");
            return;
        }
        m_unlisted.push_back(
            Unlisted{ToLowerSystem(relative) + '\\', WithNativeSeparators(relative), reason});
    }

    // The file name in the folder whose path ends in base (lowerBase: the
    // part of it under the project folder, lower-cased).
    void AddOrMark(const std::string& base, const std::string& lowerBase, const std::string& name) {
        // Lower-casing only the part under the project folder keeps the cut
        // at the right byte even where lower-casing changes a name's length.
        std::string relative;
        relative.reserve(lowerBase.size() + name.size());
        relative += lowerBase;
        // Most names are lower case already.
        if (IsLowerAscii(name))
            relative += name;
        else
            relative += ToLowerSystem(name);
        const uint64_t hash = PathIndex::Hash(relative);

        if (CPieceElem* found = m_index.Find(relative, hash)) {
            // Met before in this walk: a file whose path differs only in
            // case. The first one met keeps the entry.
            if (found->foundInScan) NoteCollision(*found, base + name);
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
        m_index.Add(entry->path, entry.get(), hash);
        if (m_found)
            m_found->Remember(entry->path,
                              WithNativeSeparators(std::string(Relative(base)) + name));
        m_project.pages.push_back(std::move(entry));
    }

    void NoteCollision(const CPieceElem& entry, const std::string& fullPath) {
        // The walk keeps no spelling of the files it met; the first one is
        // found again as the build will find it, by the resolver the scan
        // tells when there is one.
        if (!m_found && !m_resolver) {
            std::vector<KnownFile> skip = m_leaveOut;
            m_resolver.emplace(m_project.projectDir, std::move(skip));
        }
        PathResolver& resolver = m_found ? *m_found : *m_resolver;
        const auto first = resolver.Resolve(entry.path).found;
        const std::string firstShown = first ? first->spelled : WithNativeSeparators(entry.path);
        m_report.warnings.push_back(
            CollisionWarning(firstShown, WithNativeSeparators(Relative(fullPath))));
    }

    // Room for this many new files before the index first grows.
    static constexpr size_t kExpectedNewFiles = 4096;

    BookProject& m_project;
    std::vector<std::string> m_known;
    PathIndex m_index;
    std::set<std::pair<uint64_t, uint64_t>> m_entered;
    ScanReport& m_report;
    std::vector<KnownFile> m_leaveOut;
    std::vector<Unlisted> m_unlisted;
    std::optional<PathResolver> m_resolver;
    PathResolver* m_found = nullptr;
    size_t m_cut = 0;
};

}  // namespace

std::string OutputLeftOutWarning(const std::string& shownPath) {
    return shownPath + " is the e-book being built; it is left out of the book";
}

ScanReport ScanProjectFolder(CBookApp& app, const std::string& folder,
                             const std::function<void()>& fillFileList,
                             const std::vector<std::string>& leaveOut, PathResolver* found) {
    WaitCursor wait(app.GetPrompts());
    BookProject& project = app.project;
    project.projectDir = folder;
    for (auto& entry : project.pages) entry->foundInScan = 0;

    ScanReport report;
    FolderWalk walk(project, leaveOut, report, found);
    walk.ScanFolder(folder);
    walk.KeepEntriesOfUnlistedFolders();

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
    return report;
}

std::string ScanWarningsMessage(const ScanReport& report) {
    if (report.warnings.empty()) return {};
    std::string text = "Not every file of the folder is in the project as it is on disk:\n";
    const size_t shown = std::min(report.warnings.size(), kMaxWarningLines);
    for (size_t i = 0; i < shown; ++i) text += "\n" + report.warnings[i];
    if (report.warnings.size() > shown)
        text += "\n... and " + std::to_string(report.warnings.size() - shown) + " more.";
    return text;
}

}  // namespace folivex
