#include "builder/LinkReport.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <future>
#include <span>
#include <thread>

#include "builder/Sha256.h"
#include "html/Url.h"
#include "platform/Fnv.h"
#include "platform/Path.h"
#include "platform/PathResolver.h"
#include "platform/Utf8.h"
#include "project/BookProject.h"

namespace folivex {

namespace {

// Stored paths are lower case, so their extensions are too.
bool IsHtml(const std::string& stored) {
    return stored.ends_with(".htm") || stored.ends_with(".html");
}
bool IsStyleSheet(const std::string& stored) {
    return stored.ends_with(".css");
}

std::string WithSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsExternalScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "mailto";
}

// Runs work(from, to) over 0..count in runs of kRun files: for a large book
// (hundreds of thousands of fragments to look up) on two threads, when it
// may use that many (0: one per processor), each taking the next run as it
// is done with one, since a few pages (an index) can hold most of the work;
// otherwise in one call. Runs may be worked on in any order.
constexpr size_t kRun = 16;
template <class Work>
void InRuns(size_t count, unsigned threads, Work work) {
    constexpr size_t kFilesForTwoThreads = 512;
    if (threads == 0) threads = std::thread::hardware_concurrency();
    if (count < kFilesForTwoThreads || threads < 2) {
        work(0, count);
        return;
    }
    std::atomic<size_t> next{0};
    const auto takeRuns = [&] {
        for (size_t from; (from = next.fetch_add(kRun)) < count;)
            work(from, std::min(count, from + kRun));
    };
    auto second = std::async(std::launch::async, takeRuns);
    takeRuns();
    second.get();
}

// Whether hashes (sorted, distinct, spread evenly over all 64-bit values as
// hashes are) holds hash. Looked for first where its value puts it, then in
// steps that double away from there: a binary search of a large page's
// thousands of anchors looks at a dozen places far apart, most of them
// outside the processor's caches, where these look at a few near each
// other. However far off the guess, the steps find the range.
bool HoldsHash(std::span<const uint64_t> hashes, uint64_t hash) {
    if (hashes.empty()) return false;
    const size_t count = hashes.size();
    // hash / 2^64 of the way along (a page holds far fewer than 2^32).
    const auto guess =
        std::min(count - 1, static_cast<size_t>(((hash >> 32) * uint64_t{count}) >> 32));
    size_t low = guess;
    size_t high = guess + 1;  // grown until hash, if held, is in [low, high)
    for (size_t step = 1; low > 0 && hashes[low] > hash; step *= 2) {
        high = low;
        low = low > step ? low - step : 0;
    }
    for (size_t step = 1; high < count && hashes[high - 1] < hash; step *= 2) {
        low = high;
        high = std::min(count, high + step);
    }
    return std::binary_search(hashes.begin() + static_cast<std::ptrdiff_t>(low),
                              hashes.begin() + static_cast<std::ptrdiff_t>(high), hash);
}

// Everything of the book's files that where a reference leads depends on.
uint64_t FingerprintOf(const std::vector<LinkReportFile>& files) {
    Sha256 sha;
    const auto add = [&sha](std::string_view text) {
        sha.Update(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size() + 1));
    };
    for (const LinkReportFile& file : files) {
        add(file.stored);  // with the NUL after it, which no path holds
        add(file.spelled);
        add(file.included ? "i" : "x");
    }
    const Sha256Digest digest = sha.Final();
    uint64_t fingerprint = 0;
    for (size_t i = 0; i < 8; ++i) fingerprint = fingerprint << 8 | digest[i];
    return fingerprint;
}

}  // namespace

LinkReport::LinkReport(std::vector<LinkReportFile> files)
    : m_files(std::move(files)),
      m_reads(m_files.size()),
      m_filesFingerprint(FingerprintOf(m_files)) {
    m_index.reserve(m_files.size());
    m_isPage.reserve(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i) {
        m_index.emplace(m_files[i].stored, i);
        m_isPage.push_back(IsHtml(m_files[i].stored) ? 1 : 0);
    }
}

const LinkReportFile& LinkReport::File(size_t index) const {
    return m_files.at(index);
}

size_t LinkReport::FileCount() const {
    return m_files.size();
}

bool LinkReport::Reads(size_t index) const {
    const LinkReportFile& file = m_files.at(index);
    return file.included && (m_isPage[index] || IsStyleSheet(file.stored));
}

namespace {

// What a page or style sheet holds, in buffers lent until the loan ends
// (html/References.h).
html::LentReferences LentReferencesIn(const std::string& stored, std::span<const uint8_t> bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string converted;
    const std::string_view text = IsValidUtf8(raw) ? raw : (converted = Windows1252ToUtf8(raw));
    return IsStyleSheet(stored) ? html::LendCssReferences(text) : html::LendPageReferences(text);
}

}  // namespace

html::PageReferences ReferencesIn(const std::string& stored, std::span<const uint8_t> bytes) {
    return *LentReferencesIn(stored, bytes);
}

void LinkReport::Add(size_t index, std::span<const uint8_t> bytes) {
    if (!Reads(index)) return;
    if (m_keepsOnlyFindings)
        Take(index, *LentReferencesIn(m_files[index].stored, bytes));
    else
        Restore(index, ReferencesIn(m_files[index].stored, bytes));
}

void LinkReport::Restore(size_t index, html::PageReferences found) {
    if (!Reads(index)) return;
    m_reads[index].found = std::move(found);
    Take(index, m_reads[index].found);
}

void LinkReport::Take(size_t index, const html::PageReferences& found) {
    Read& read = m_reads[index];
    read.foundKnown = true;
    HashAnchors(read, found);  // first: Resolve looks up fragments into the page itself
    Resolve(index, found);
    if (m_keepsOnlyFindings) read.found = WhatOutcomesNeed(read, found);
    read.done.store(true, std::memory_order_release);
}

html::PageReferences LinkReport::WhatOutcomesNeed(Read& read, const html::PageReferences& all) {
    html::PageReferences kept;
    size_t bytes = 0;
    for (const Outcome& outcome : read.outcomes)
        bytes += all.references[outcome.reference].target.length;
    kept.text.reserve(bytes);
    kept.references.reserve(read.outcomes.size());
    uint32_t last = 0;  // a case-only reference may also have its fragment to look up
    for (Outcome& outcome : read.outcomes) {
        if (kept.references.empty() || outcome.reference != last) {
            const html::Reference& reference = all.references[outcome.reference];
            kept.references.push_back(reference);
            kept.references.back().target = kept.Keep(all.Text(reference.target));
        }
        last = outcome.reference;
        outcome.reference = static_cast<uint32_t>(kept.references.size() - 1);
    }
    return kept;
}

bool LinkReport::Restore(size_t index, PageVerdicts verdicts) {
    if (!Reads(index) || verdicts.files != m_filesFingerprint) return false;
    const auto outside = [this](int32_t file) {
        return file < 0 || static_cast<size_t>(file) >= m_files.size();
    };
    if (std::any_of(verdicts.reaches.begin(), verdicts.reaches.end(), outside) ||
        std::any_of(verdicts.lookedInto.begin(), verdicts.lookedInto.end(),
                    [&](const PageVerdicts::LookedInto& l) { return outside(l.page); }))
        return false;
    Read& read = m_reads[index];
    read.verdicts = std::move(verdicts);
    read.settled = read.restored = true;
    read.done = true;
    return true;
}

void LinkReport::SetBlob(size_t index, uint32_t blobCrc, uint32_t blobLength) {
    Read& read = m_reads.at(index);
    read.blobSet = true;
    read.blobCrc = blobCrc;
    read.blobLength = blobLength;
}

LinkReport::Kept LinkReport::KeptFor(size_t index) const {
    const Read& read = m_reads.at(index);
    if (!read.done || !read.blobSet) return {};
    return {read.foundKnown ? &read.found : nullptr, read.settled ? &read.verdicts : nullptr,
            read.restored, read.blobCrc, read.blobLength};
}

long LinkReport::IndexOf(const std::string& path) const {
    const auto found = m_index.find(ToStoredPath(path));
    return found == m_index.end() ? -1 : static_cast<long>(found->second);
}

std::string LinkReport::PageOf(size_t index) const {
    return WithSlashes(m_files[index].stored);
}

std::string LinkReport::PathOf(size_t index) const {
    const LinkReportFile& file = m_files[index];
    return file.spelled.empty() ? PageOf(index) : file.spelled;
}

LinkReport::Target LinkReport::Locate(size_t from, const std::string& folder, size_t folderHash,
                                      std::string_view beforeFragment,
                                      FolderTargetTable<Target>& lookedUp) const {
    const auto key = FolderTargetTable<Target>::KeyOf(folder, folderHash, beforeFragment);
    std::optional<Target> known = lookedUp.Find(key);
    if (!known) {
        known = m_located->Find(key);
        if (!known) {
            known = LocateFromFolder(folder, beforeFragment);
            m_located->Add(key, *known);
        }
        lookedUp.Add(key, *known);
    }
    Target target = *known;
    if (target.to == kThisPage) target.to = static_cast<int32_t>(from);
    return target;
}

LinkReport::Target LinkReport::LocateFromFolder(const std::string& folder,
                                                std::string_view beforeFragment) const {
    const html::ParsedReference parsed = html::ParseReference(beforeFragment);
    if (!parsed.scheme.empty() || parsed.networkPath)
        return {parsed.networkPath || IsExternalScheme(parsed.scheme) ? Verdict::external
                                                                      : Verdict::ignored};
    if (parsed.path.empty()) return {Verdict::fine, kThisPage};
    // The viewer serves the book below its own root: "/x" is outside it.
    if (parsed.rootRelative) return {Verdict::missing};
    const auto path = html::JoinRelative(folder, parsed.path);
    const long to = path ? IndexOf(*path) : -1;
    if (to < 0) return {Verdict::missing};
    const LinkReportFile& file = m_files[static_cast<size_t>(to)];
    if (!file.included) return {Verdict::excluded, static_cast<int32_t>(to)};
    const bool caseOnly = !file.spelled.empty() && *path != file.spelled;
    return {caseOnly ? Verdict::caseOnly : Verdict::fine, static_cast<int32_t>(to)};
}

void LinkReport::Resolve(size_t from, const html::PageReferences& found) {
    Read& read = m_reads[from];
    read.outcomes.clear();
    read.verdicts = {};
    std::vector<int32_t>& reaches = read.verdicts.reaches;
    const std::string folder = FolderOf(PathOf(from));
    const size_t folderHash = FolderTargetTable<Target>::FolderHash(folder);
    const auto& references = found.references;
    TargetTable<Target> located(references.size());
    const auto lookedUp = m_lookedUp->Lend();
    for (uint32_t r = 0; r < references.size(); ++r) {
        const std::string_view target = found.Text(references[r].target);
        const size_t hash = target.find('#');
        const std::string_view beforeFragment = target.substr(0, hash);
        const auto [where, fresh] = located.Find(beforeFragment);
        if (fresh) {
            *where = Locate(from, folder, folderHash, beforeFragment, *lookedUp);
            const bool leads =
                where->verdict == Verdict::fine || where->verdict == Verdict::caseOnly;
            if (leads && static_cast<size_t>(where->to) != from) reaches.push_back(where->to);
        }
        const Target t = *where;
        switch (t.verdict) {
            case Verdict::ignored: continue;
            case Verdict::missing: read.outcomes.push_back({r, LinkFinding::missing}); continue;
            case Verdict::excluded: read.outcomes.push_back({r, LinkFinding::excluded}); continue;
            case Verdict::external: read.outcomes.push_back({r, LinkFinding::external}); continue;
            case Verdict::caseOnly: read.outcomes.push_back({r, LinkFinding::caseOnly}); break;
            case Verdict::fine: break;
        }
        if (hash == std::string_view::npos || !m_isPage[static_cast<size_t>(t.to)]) continue;
        if (!FoundAtOnce(from, t.to, target))
            read.outcomes.push_back({r, LinkFinding::noFragment, t.to});
    }
    std::sort(reaches.begin(), reaches.end());
    reaches.erase(std::unique(reaches.begin(), reaches.end()), reaches.end());
}

void LinkReport::HashAnchors(Read& read, const html::PageReferences& found) const {
    const auto& anchors = found.anchors;
    auto& hashed = read.hashedAnchors;
    hashed.resize(anchors.size());
    if (m_keepsOnlyFindings) {
        for (uint32_t a = 0; a < anchors.size(); ++a) hashed[a] = Fnv1a64(found.Text(anchors[a]));
        std::sort(hashed.begin(), hashed.end());
        hashed.erase(std::unique(hashed.begin(), hashed.end()), hashed.end());
        return;
    }
    // What the fragments pointing here depend on: the set of anchors,
    // summed so that their order does not count.
    uint64_t fingerprint = anchors.size();
    for (uint32_t a = 0; a < anchors.size(); ++a) {
        const size_t hash = std::hash<std::string_view>()(found.Text(anchors[a]));
        fingerprint += (hash ^ hash >> 29) * 0x100000001B3ull;
        hashed[a] = uint64_t{static_cast<uint32_t>(hash)} << 32 | a;
    }
    std::sort(hashed.begin(), hashed.end());
    read.anchorsFingerprint = fingerprint;
}

// Whether the fragment of reference (after its '#', percent-decoded) names
// an anchor of page; an empty one and "top" name the page itself.
bool LinkReport::NamesAnchorOf(const Read& page, std::string_view reference) const {
    const std::string_view written = reference.substr(reference.find('#') + 1);
    std::string decoded;
    const std::string_view fragment =
        written.find('%') == std::string_view::npos
            ? written
            : std::string_view(decoded = html::PercentDecodedOrAsWritten(written));
    if (fragment.empty() || fragment == "top") return true;
    if (m_keepsOnlyFindings) return HoldsHash(page.hashedAnchors, Fnv1a64(fragment));
    const auto hash = static_cast<uint32_t>(std::hash<std::string_view>()(fragment));
    const auto& hashed = page.hashedAnchors;
    for (auto at = std::lower_bound(hashed.begin(), hashed.end(), uint64_t{hash} << 32);
         at != hashed.end() && *at >> 32 == hash; ++at)
        if (page.found.Text(page.found.anchors[static_cast<uint32_t>(*at)]) == fragment)
            return true;
    return false;
}

// A fragment into the page itself is looked up at once, while its anchors
// are at hand, and so is one into a page read already when the report is
// not kept for the next build (whose memo would need to know which pages
// were looked into): one that is there is nothing to judge later.
bool LinkReport::FoundAtOnce(size_t from, int32_t to, std::string_view reference) const {
    const Read& into = m_reads[static_cast<size_t>(to)];
    if (static_cast<size_t>(to) == from) return NamesAnchorOf(into, reference);
    return m_keepsOnlyFindings && into.done.load(std::memory_order_acquire) && into.foundKnown &&
           NamesAnchorOf(into, reference);
}

// Whether the fragment of reference names an anchor of the page the
// outcome leads to (or cannot be checked: that page was not read).
bool LinkReport::HasAnchor(const Outcome& outcome, std::string_view reference) const {
    const Read& target = m_reads[static_cast<size_t>(outcome.to)];
    return !target.done || !target.foundKnown || NamesAnchorOf(target, reference);
}

// A page a reader cannot get to: not the home page, not in the page
// sequence, and no other page links to it.
bool LinkReport::Unreachable(size_t index, const std::vector<char>& reached) const {
    const LinkReportFile& file = m_files[index];
    return index > 0 && file.included && m_isPage[index] && !file.inPageSequence && !reached[index];
}

// Whether before said that the fragment of target, on line, was not found.
bool SaidNoFragment(const PageVerdicts& before, size_t line, std::string_view target) {
    return std::any_of(before.said.begin(), before.said.end(), [&](const LinkFinding& said) {
        return said.kind == LinkFinding::noFragment && said.line == line && said.target == target;
    });
}

PageVerdicts LinkReport::Judge(size_t index, const PageVerdicts* before) const {
    const Read& read = m_reads[index];
    PageVerdicts judged;
    judged.files = m_filesFingerprint;
    for (const Outcome& outcome : read.outcomes) {
        const html::Reference& reference = read.found.references[outcome.reference];
        const std::string_view target = read.found.Text(reference.target);
        if (outcome.kind == LinkFinding::noFragment) {
            const bool other = static_cast<size_t>(outcome.to) != index;
            // Kept only for the next build's memo.
            if (other && !m_keepsOnlyFindings) judged.lookedInto.push_back({outcome.to});
            const bool asBefore = before && other && Unchanged(*before, outcome.to);
            const Read& into = m_reads[static_cast<size_t>(outcome.to)];
            // Anchors not known, the fragment not checked: nothing to keep.
            if (!asBefore && !(into.done && into.foundKnown)) judged.files = 0;
            if (asBefore ? !SaidNoFragment(*before, reference.line, target)
                         : HasAnchor(outcome, target))
                continue;
        }
        judged.said.push_back(LinkFinding{outcome.kind, {}, reference.line, std::string(target)});
    }
    auto& looked = judged.lookedInto;
    const auto byPage = [](const auto& a, const auto& b) { return a.page < b.page; };
    const auto samePage = [](const auto& a, const auto& b) { return a.page == b.page; };
    std::sort(looked.begin(), looked.end(), byPage);
    looked.erase(std::unique(looked.begin(), looked.end(), samePage), looked.end());
    for (PageVerdicts::LookedInto& l : looked) {
        const Read& target = m_reads[static_cast<size_t>(l.page)];
        l.blobCrc = target.blobCrc;
        l.blobLength = target.blobLength;
        // Not read again, the page has the anchors it had.
        const PageVerdicts::LookedInto* then = before ? LookedInto(*before, l.page) : nullptr;
        l.anchors =
            target.foundKnown || then == nullptr ? target.anchorsFingerprint : then->anchors;
    }
    return judged;
}

const PageVerdicts::LookedInto* LinkReport::LookedInto(const PageVerdicts& verdicts, int32_t page) {
    const auto& looked = verdicts.lookedInto;
    const auto at = std::lower_bound(looked.begin(), looked.end(), page,
                                     [](const auto& l, int32_t p) { return l.page < p; });
    return at == looked.end() || at->page != page ? nullptr : &*at;
}

// A page with the blob it had has the anchors it had; one read again may
// still have them all (most edits leave the anchors as they were).
bool LinkReport::Unchanged(const PageVerdicts& verdicts, int32_t page) const {
    const PageVerdicts::LookedInto* then = LookedInto(verdicts, page);
    const Read& target = m_reads[static_cast<size_t>(page)];
    if (then == nullptr || !target.blobSet) return false;
    return (target.blobCrc == then->blobCrc && target.blobLength == then->blobLength) ||
           (target.foundKnown && target.anchorsFingerprint == then->anchors);
}

bool LinkReport::Refresh(PageVerdicts& verdicts) const {
    bool refreshed = false;
    for (PageVerdicts::LookedInto& looked : verdicts.lookedInto) {
        const Read& target = m_reads[static_cast<size_t>(looked.page)];
        if (target.blobCrc == looked.blobCrc && target.blobLength == looked.blobLength) continue;
        looked.blobCrc = target.blobCrc;
        looked.blobLength = target.blobLength;
        refreshed = true;
    }
    return refreshed;
}

bool LinkReport::StillHold(const PageVerdicts& verdicts) const {
    return std::all_of(
        verdicts.lookedInto.begin(), verdicts.lookedInto.end(),
        [&](const PageVerdicts::LookedInto& l) { return Unchanged(verdicts, l.page); });
}

bool LinkReport::LoadFound(size_t index, const FoundOf& foundOf) {
    Read& read = m_reads[index];
    if (read.foundKnown) return true;
    if (!read.blobSet) return false;
    auto found = foundOf(m_files[index].stored, read.blobCrc, read.blobLength);
    if (!found) return false;
    read.found = std::move(*found);
    read.foundKnown = true;
    HashAnchors(read, read.found);
    return true;
}

std::vector<std::pair<size_t, PageVerdicts>> LinkReport::TakeStale(const FoundOf& foundOf) {
    std::vector<std::pair<size_t, PageVerdicts>> stale;
    for (size_t i = 0; i < m_reads.size(); ++i) {
        Read& read = m_reads[i];
        if (!read.restored) continue;
        if (StillHold(read.verdicts)) {
            // Kept anew when a page they looked into has another blob but
            // its anchors: the next build need not read them to know.
            if (Refresh(read.verdicts)) read.restored = false;
            continue;
        }
        if (!LoadFound(i, foundOf)) continue;
        for (const PageVerdicts::LookedInto& looked : read.verdicts.lookedInto)
            if (!Unchanged(read.verdicts, looked.page))
                LoadFound(static_cast<size_t>(looked.page), foundOf);
        stale.emplace_back(i, std::move(read.verdicts));
        read.settled = read.restored = false;
    }
    return stale;
}

void LinkReport::LoadFragmentTargets(const FoundOf& foundOf) {
    for (const Read& read : m_reads) {
        if (read.settled) continue;
        for (const Outcome& outcome : read.outcomes)
            if (outcome.kind == LinkFinding::noFragment)
                LoadFound(static_cast<size_t>(outcome.to), foundOf);
    }
}

void LinkReport::JudgeUnsettled(size_t from, size_t to,
                                const std::vector<std::pair<size_t, PageVerdicts>>& stale) {
    auto next = std::lower_bound(stale.begin(), stale.end(), from,
                                 [](const auto& s, size_t i) { return s.first < i; });
    for (size_t i = from; i < to; ++i) {
        Read& read = m_reads[i];
        if (!read.done || read.settled) continue;
        const PageVerdicts* before = nullptr;
        if (next != stale.end() && next->first == i) {
            Resolve(i, read.found);
            before = &(next++)->second;
        }
        PageVerdicts judged = Judge(i, before);
        judged.reaches = std::move(read.verdicts.reaches);
        read.verdicts = std::move(judged);
        read.settled = true;
    }
}

void LinkReport::Settle(const FoundOf& foundOf) {
    // What the judging needs is read first, on one thread: the judging,
    // on two, only reads it.
    const std::vector<std::pair<size_t, PageVerdicts>> stale = TakeStale(foundOf);
    LoadFragmentTargets(foundOf);
    InRuns(m_reads.size(), m_threads,
           [&](size_t from, size_t to) { JudgeUnsettled(from, to, stale); });
}

void LinkReport::FindingsOf(size_t from, size_t to, const std::vector<char>& reached,
                            bool withExternal, std::vector<LinkFinding>& out) const {
    for (size_t i = from; i < to; ++i) {
        if (Unreachable(i, reached))
            out.push_back(LinkFinding{LinkFinding::unreachable, PageOf(i), 0, {}});
        const Read& read = m_reads[i];
        if (!read.done) continue;
        PageVerdicts judged;
        std::string page;  // worked out for the first finding: most pages have none
        for (const LinkFinding& said :
             read.settled ? read.verdicts.said : (judged = Judge(i)).said) {
            if (said.kind == LinkFinding::external && !withExternal) continue;
            if (page.empty()) page = PageOf(i);
            out.push_back(said);
            out.back().page = page;
        }
    }
}

std::vector<LinkFinding> LinkReport::Findings(bool withExternal) const {
    std::vector<char> reached(m_files.size(), 0);
    for (const Read& read : m_reads)
        for (const int32_t to : read.verdicts.reaches) reached[static_cast<size_t>(to)] = 1;
    // Each run's findings in its own place, put together in file order.
    std::vector<std::vector<LinkFinding>> runs((m_files.size() + kRun - 1) / kRun + 1);
    InRuns(m_files.size(), m_threads, [&](size_t from, size_t to) {
        FindingsOf(from, to, reached, withExternal, runs[from / kRun]);
    });
    std::vector<LinkFinding> out;
    for (std::vector<LinkFinding>& run : runs)
        out.insert(out.end(), std::make_move_iterator(run.begin()),
                   std::make_move_iterator(run.end()));
    return out;
}

LinkReport LinkReportFor(const BookProject& project) {
    PathResolver resolver(project.projectDir);
    return LinkReportFor(project, resolver);
}

LinkReport LinkReportFor(const BookProject& project, PathResolver& resolver) {
    std::vector<LinkReportFile> files;
    files.reserve(project.pages.size());
    for (const auto& page : project.pages) {
        LinkReportFile file{page->path, {}, page->included != 0, page->inPageSequence != 0, {}};
        if (file.included) {
            if (const auto& found = resolver.Resolve(page->path).found) {
                file.spelled = WithSlashes(found->spelled);
                file.diskPath = found->path;
            }
        }
        files.push_back(std::move(file));
    }
    return LinkReport(std::move(files));
}

}  // namespace folivex
