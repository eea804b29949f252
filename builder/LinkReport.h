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

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "html/References.h"

namespace folivex {

struct BookProject;

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

class LinkReport {
public:
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

    // The blob the book holds for file `index`, so that what was read in it
    // can be kept for the next build (LinkMemo.h).
    void SetBlob(size_t index, uint32_t blobCrc, uint32_t blobLength);
    struct Kept {
        const html::PageReferences* found = nullptr;  // null: not read, or no blob set
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
        bool done = false;
        html::PageReferences found;
        std::vector<Outcome> outcomes;  // in the order of the references
        std::vector<int32_t> reaches;   // the other files its references lead to
        // found.anchors by hash, for the fragments that point here: sorting
        // the names themselves costs more than reading the page.
        std::vector<std::pair<size_t, uint32_t>> anchorsByHash;
        bool blobSet = false;
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
    };

    // Resolves what file `index` refers to into its outcomes and reaches.
    void Resolve(size_t index);
    Target Locate(size_t from, const std::string& folder, std::string_view beforeFragment) const;
    bool HasAnchor(const Outcome& outcome, const std::string& reference) const;
    bool Unreachable(size_t index, const std::vector<char>& reached) const;
    // The findings of files from..to-1, in order, appended to out.
    void FindingsOf(size_t from, size_t to, const std::vector<char>& reached, bool withExternal,
                    std::vector<LinkFinding>& out) const;
    // The file a path within the book ("/" separators, any case) names; -1
    // when none does.
    long IndexOf(const std::string& path) const;
    // Where file `index` lies, as spelled on disk when known.
    std::string PathOf(size_t index) const;

    std::vector<LinkReportFile> m_files;
    std::vector<Read> m_reads;
    std::unordered_map<std::string, size_t> m_index;  // stored path -> first file
};

// The report for a project: its entries in order, each spelled as the file
// the build reads for it (PathResolver.h).
LinkReport LinkReportFor(const BookProject& project);

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
