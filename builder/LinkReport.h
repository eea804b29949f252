// The link report: what in a book's pages and style sheets points nowhere,
// and what a reader cannot reach.
//
// The build hands every included HTML page and style sheet to the report as
// it reads it anyway (on its workers); the report tokenizes it (html/
// References.h) and, once all are in, resolves each reference against the
// book's files as the viewer would: relative to the page, query and
// fragment cut off, percent-decoded, without regard to case. Nothing is
// fetched from the network, and nothing of the book changes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builder/TargetTables.h"
#include "html/References.h"
#include "platform/ObjectPool.h"

namespace folivex {

struct BookProject;
class PathResolver;

struct LinkFinding {
    enum Kind {
        missing,      // the target is not in the folder, or lies outside the book
        excluded,     // the target is in the folder but left out of the book
        noFragment,   // the target page has no element with that id or name
        caseOnly,     // found only because the book ignores case; breaks on a web server
        unreachable,  // a page nothing links to that is not in the page sequence
        external,     // http:, https:, mailto: (listed on request, never fetched)
    };
    Kind kind = missing;
    std::string page;  // the referring file, "/" separators, as stored
    size_t line = 0;   // 0 for unreachable pages
    std::string target;
};

// One file of the project as the report sees it, in the project's order.
struct LinkReportFile {
    std::string stored;   // the entry's path (lower case, "\" separators)
    std::string spelled;  // the path as spelled on disk ("/" separators); empty when unknown
    bool included = true;
    bool inPageSequence = false;
    std::string diskPath;  // the file a build reads for it; empty when none fits
};

// What a page's references came to once resolved and its fragments looked
// up: what the report says of it, the files it leads to, and the pages whose
// anchors were consulted, with their blobs and anchors. They hold for as
// long as the book has the same files (the fingerprint) and those pages the
// same anchors, so a rebuild takes them from the link memo for a page it
// does not read.
struct PageVerdicts {
    uint64_t files = 0;             // a fingerprint of the book's files they were made for
    std::vector<LinkFinding> said;  // in the order of the references; page left empty
    std::vector<int32_t> reaches;   // the other files its references lead to, ascending
    struct LookedInto {
        int32_t page = 0;
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
        uint64_t anchors = 0;  // a fingerprint of its anchors
    };
    std::vector<LookedInto> lookedInto;  // by page
};

class LinkReport {
public:
    LinkReport() = default;  // of no files
    explicit LinkReport(std::vector<LinkReportFile> files);

    size_t FileCount() const;
    const LinkReportFile& File(size_t index) const;

    // Whether the build should hand file `index` to Add: an included HTML
    // page or style sheet.
    bool Reads(size_t index) const;

    // Reads file `index` (its bytes as on disk; UTF-8 or Windows-1252).
    // Safe to call from several threads at once for different indexes.
    void Add(size_t index, std::span<const uint8_t> bytes);

    // What an earlier build read in file `index` (LinkMemo.h), taken
    // instead of reading it. Safe from several threads for different indexes.
    void Restore(size_t index, html::PageReferences found);
    // What file `index`'s references came to at an earlier build, taken
    // instead of what it holds; false (and nothing taken) when they were
    // made for other files than this book's.
    bool Restore(size_t index, PageVerdicts verdicts);
    // How many threads Settle and Findings may use (0: one per processor,
    // as at first).
    void SetThreads(unsigned threads) { m_threads = threads; }
    // For a report that is not kept for a next build (no Settle, no
    // KeptFor), before any page is read: a page keeps only what Findings
    // needs of it, the hashes of its anchors and the references it has
    // something to say of. Memory a process touches for the first time is
    // dear, and most references of a large book lead where they should.
    void KeepOnlyFindings() { m_keepsOnlyFindings = true; }

    // Settles every page's verdicts once all are in and their blobs set,
    // so that they can be kept for the next build (KeptFor): restored
    // verdicts that looked into a page whose anchors changed are worked out
    // again, and pages pointing into a restored page get its anchors, both
    // from what foundOf gives for a page's stored path and blob. A page
    // foundOf gives nothing for keeps its verdicts, and fragments into it
    // count as found.
    using FoundOf = std::function<std::optional<html::PageReferences>(
        const std::string& stored, uint32_t blobCrc, uint32_t blobLength)>;
    void Settle(const FoundOf& foundOf);

    // The blob the book holds for file `index`, so that what was read in it
    // can be kept for the next build (LinkMemo.h).
    void SetBlob(size_t index, uint32_t blobCrc, uint32_t blobLength);
    struct Kept {
        const html::PageReferences* found = nullptr;  // null: not known, or no blob set
        const PageVerdicts* verdicts = nullptr;       // null: not settled
        // Both as the memo holds them for this blob. When not, and found is
        // null, the memo holds what the page holds but the verdicts are new.
        bool restored = false;
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
    };
    Kept KeptFor(size_t index) const;

    // Every finding, by referring file in project order, then by line;
    // external links only when asked for. Call after every Add has returned.
    std::vector<LinkFinding> Findings(bool withExternal) const;

private:
    // Where the part of a reference before its fragment leads: worked out
    // where the file is read (the book's files are known from the start);
    // only fragments wait until the pages they point into are read.
    enum class Verdict : uint8_t { ignored, fine, caseOnly, missing, excluded, external };
    struct Target {
        Verdict verdict = Verdict::ignored;
        int32_t to = -1;  // the file it names, for fine, caseOnly and excluded
    };
    // A reference with something to say: a finding of `kind`, or (kind
    // noFragment) a fragment to look for in file `to` once all are read.
    struct Outcome {
        uint32_t reference = 0;  // in found.references
        LinkFinding::Kind kind = LinkFinding::missing;
        int32_t to = -1;
    };
    struct Read {
        // Set last, once the rest is: a page read on another thread may
        // look into this one's anchors as soon as it is (Resolve).
        std::atomic<bool> done = false;
        bool foundKnown = false;  // false for verdicts restored without what the page holds
        bool settled = false;     // verdicts.said and lookedInto hold
        bool restored = false;    // the verdicts are the memo's
        html::PageReferences found;
        std::vector<Outcome> outcomes;  // in the order of the references; until settled
        PageVerdicts verdicts;          // reaches from Resolve on; the rest once settled
        // found.anchors by hash, for the fragments that point here: each
        // its 32-bit hash above its index in found.anchors, in order
        // (sorting the names themselves costs more than reading the page; a
        // table with room to spare keeps too much memory). A report that
        // keeps only findings holds each anchor's whole 64-bit hash instead
        // (Fnv.h), sorted, and found none of them.
        std::vector<uint64_t> hashedAnchors;
        uint64_t anchorsFingerprint = 0;
        bool blobSet = false;
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
    };

    // Takes what file `index` holds once read: hashes its anchors and
    // resolves its references. found is read.found itself, or, for a
    // report that keeps only findings, buffers lent for the page, of
    // which read.found then keeps what the findings need.
    void Take(size_t index, const html::PageReferences& found);
    // Resolves what file `index` refers to, found, into its outcomes and
    // reaches; writes nothing of any other file (but m_located).
    void Resolve(size_t index, const html::PageReferences& found);
    // Where a target written on file `from` (in folder, whose hash for
    // m_located is folderHash) leads; asks lookedUp (lent from m_lookedUp)
    // first and keeps the answer there.
    Target Locate(size_t from, const std::string& folder, size_t folderHash,
                  std::string_view beforeFragment, FolderTargetTable<Target>& lookedUp) const;
    // The same for any page of folder, but that a target naming the page
    // itself leads to kThisPage.
    static constexpr int32_t kThisPage = -2;
    Target LocateFromFolder(const std::string& folder, std::string_view beforeFragment) const;
    bool NamesAnchorOf(const Read& page, std::string_view reference) const;
    // Whether the fragment of reference, on page from, is known already to
    // name an anchor of page to.
    bool FoundAtOnce(size_t from, int32_t to, std::string_view reference) const;
    bool HasAnchor(const Outcome& outcome, std::string_view reference) const;
    // What file `index`'s outcomes come to: said and lookedInto of its
    // verdicts. A fragment into a page that has the anchors it had when
    // `before` were made keeps the verdict it had then.
    PageVerdicts Judge(size_t index, const PageVerdicts* before = nullptr) const;
    // Whether page `page` has the anchors it had when `verdicts` were made.
    bool Unchanged(const PageVerdicts& verdicts, int32_t page) const;
    static const PageVerdicts::LookedInto* LookedInto(const PageVerdicts& verdicts, int32_t page);
    // Whether restored verdicts still hold: every page they looked into
    // has the anchors it had.
    bool StillHold(const PageVerdicts& verdicts) const;
    // Brings verdicts that still hold up to the blobs their pages have now;
    // true when any had another.
    bool Refresh(PageVerdicts& verdicts) const;
    // The restored verdicts that no longer hold (a page they looked into
    // has other anchors now), taken out of their pages with what those
    // pages hold and the anchors of the changed pages read: by page.
    std::vector<std::pair<size_t, PageVerdicts>> TakeStale(const FoundOf& foundOf);
    // Reads the anchors of the pages that fragments still to be judged
    // point into.
    void LoadFragmentTargets(const FoundOf& foundOf);
    // Judges the pages from..to-1 not settled yet; a stale one (see
    // TakeStale) is resolved again and keeps its verdicts into unchanged
    // pages. Writes nothing that another page's judging reads.
    void JudgeUnsettled(size_t from, size_t to,
                        const std::vector<std::pair<size_t, PageVerdicts>>& stale);
    // Takes what the memo holds of file `index`; false when it gives nothing.
    bool LoadFound(size_t index, const FoundOf& foundOf);
    // Fills read.hashedAnchors from the anchors of found, what the page
    // holds.
    void HashAnchors(Read& read, const html::PageReferences& found) const;
    // What read's outcomes need of all, what the page holds: the references
    // they are about; their numbers are changed to match.
    static html::PageReferences WhatOutcomesNeed(Read& read, const html::PageReferences& all);
    bool Unreachable(size_t index, const std::vector<char>& reached) const;
    // The findings of files from..to-1, in order, appended to out.
    void FindingsOf(size_t from, size_t to, const std::vector<char>& reached, bool withExternal,
                    std::vector<LinkFinding>& out) const;
    // The file a path within the book ("/" separators, any case) names; -1
    // when none does.
    long IndexOf(const std::string& path) const;
    // Where file `index` lies, as spelled on disk when known.
    std::string PathOf(size_t index) const;
    // File `index` as a finding names it: its stored path, "/" separators.
    std::string PageOf(size_t index) const;

    std::vector<LinkReportFile> m_files;
    // Which files are pages, by index: asked of every file read and every
    // fragment, where the file's path is seldom in the processor's caches.
    std::vector<char> m_isPage;
    std::vector<Read> m_reads;
    std::unordered_map<std::string, size_t> m_index;  // stored path -> first file
    uint64_t m_filesFingerprint = 0;  // tells the book's files apart from any other set
    // What LocateFromFolder gave, by folder and target: pages are resolved
    // on several threads at once.
    std::unique_ptr<SharedTargetTable<Target>> m_located =
        std::make_unique<SharedTargetTable<Target>>();
    unsigned m_threads = 0;
    bool m_keepsOnlyFindings = false;
    // What targets came to as the threads that resolve pages looked them
    // up, lent for a page at a time: the pages of a folder name the same
    // files, so most lookups are answered there, without m_located's locks.
    std::unique_ptr<ObjectPool<FolderTargetTable<Target>>> m_lookedUp =
        std::make_unique<ObjectPool<FolderTargetTable<Target>>>();
};

// What a page or style sheet (stored: its stored path) holds; bytes as on
// disk, UTF-8 or Windows-1252.
html::PageReferences ReferencesIn(const std::string& stored, std::span<const uint8_t> bytes);

// The report for a project: its entries in order, each spelled as the file
// the build reads for it (PathResolver.h), found by resolver when given.
LinkReport LinkReportFor(const BookProject& project);
LinkReport LinkReportFor(const BookProject& project, PathResolver& resolver);

// The report as the author first sees it: counts of each kind, then the
// first maxPerKind findings of each ("page:line: target"). Empty when there
// are no findings.
std::string LinkReportSummary(const std::vector<LinkFinding>& findings, size_t maxPerKind = 20);

// Every finding, one per line ("kind page:line target"), for --report FILE.
std::string LinkReportText(const std::vector<LinkFinding>& findings);
// Every finding as a JSON document: {"findings": [{"kind": ..., "page": ...,
// "line": ..., "target": ...}, ...]} with counts by kind.
std::string LinkReportJson(const std::vector<LinkFinding>& findings);

// Whether a finding is a broken reference (not a note or a list entry).
bool IsBroken(const LinkFinding& finding);

}  // namespace folivex
