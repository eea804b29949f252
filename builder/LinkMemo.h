// LinkMemo: what the link report found in each page at the last build, so
// that a rebuild, which takes unchanged pages from the earlier book without
// reading them, need not inflate and read them for the report either.
//
// Two files beside the build memo (its path and ".links", ".found"). A
// record in the first holds a page's stored path, the CRC-32 and length of
// the blob the book holds for it, what its references came to (the page's
// verdicts, LinkReport.h), where in the second file the references and
// anchors found in it lie with their CRC-32, and a CRC-32 of the record.
// Loading reads only the records; what a page holds is read when a build
// asks for it, which a rebuild seldom does. A page's record is used only
// when the build takes that very blob from the earlier book, so what it
// says is what reading the page would find; its verdicts only while the
// book has the same files and the pages they looked into the same anchors,
// else the references are worked out again.
//
// Both files only grow: a build appends the records of the pages it read
// or judged anew (a rebuild after one changed page appends one), the last
// record of a page counts, and both are written anew once most of them is
// what no page uses. A record is checked when a build asks for it, on the
// worker that needs it. A missing or foreign file is an empty memo, a
// damaged record is none: those pages are read again. It never fails a
// build.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "builder/FileBytes.h"
#include "builder/LinkReport.h"
#include "html/References.h"
#include "platform/File.h"

namespace folivex {

class LinkMemo {
public:
    // The memo beside the build memo at buildMemoPath; empty when there is
    // none or it cannot be read.
    static LinkMemo Load(const std::string& buildMemoPath);

    LinkMemo() = default;
    LinkMemo(LinkMemo&&) = default;  // the records point into m_bytes, which moves along
    LinkMemo& operator=(LinkMemo&&) = default;

    // What the last build found in the page, when its blob was this one;
    // nothing when the memo does not hold it or its record is damaged.
    // Safe to call from several threads.
    std::optional<html::PageReferences> Find(const std::string& stored, uint32_t blobCrc,
                                             uint32_t blobLength) const;
    // What the page's references came to then, for that blob; nothing as
    // for Find, or when the record holds none.
    std::optional<PageVerdicts> FindVerdicts(const std::string& stored, uint32_t blobCrc,
                                             uint32_t blobLength) const;

    // Keeps what report found in every page whose blob it knows, in the
    // memo beside the build memo at buildMemoPath: appends the pages this
    // memo does not hold as they are now, or writes both files anew. A
    // failure only means the next build reads the pages. The memo gives
    // nothing after.
    void Save(const std::string& buildMemoPath, const LinkReport& report);

    // Removes the memo beside the build memo at buildMemoPath.
    static void Remove(const std::string& buildMemoPath) noexcept;

private:
    struct Record {
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
        uint64_t foundOffset = 0;  // in the second file: the page's references and anchors
        uint32_t foundLength = 0;
        uint32_t foundCrc = 0;
        std::span<const uint8_t> whole;     // in m_bytes: the record, its CRC-32 first
        std::span<const uint8_t> verdicts;  // in m_bytes: empty when it holds none
    };
    // The record of the page for that blob; null when there is none.
    const Record* Held(const std::string& stored, uint32_t blobCrc, uint32_t blobLength) const;
    // The same, when its CRC-32 holds.
    const Record* Sound(const std::string& stored, uint32_t blobCrc, uint32_t blobLength) const;
    // What record's page holds, as written; nothing when it cannot be read.
    std::optional<FileBytes> FoundBytes(const Record& record) const;
    // Both files anew: every page of report whose blob it knows (what a
    // record of this memo holds for a page as it was is copied).
    void WriteWhole(const std::string& buildMemoPath, const LinkReport& report);
    // Appends the records of the pages `fresh` of report.
    void Append(const std::string& buildMemoPath, const LinkReport& report,
                const std::vector<size_t>& fresh);

    FileBytes m_bytes;  // the first file, read over without being zeroed first
    std::unordered_map<std::string, Record> m_records;
    std::unique_ptr<CFile> m_found;  // the second file; null when it cannot be read
    uint64_t m_foundLength = 0;
};

}  // namespace folivex
