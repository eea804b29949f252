// LinkMemo: what the link report found in each page at the last build, so
// that a rebuild, which takes unchanged pages from the earlier book without
// reading them, need not inflate and read them for the report either.
//
// One file beside the build memo (its path and ".links"). A record holds a
// page's stored path, the CRC-32 and length of the blob the book holds for
// it, the references and anchors found in it, and a CRC-32 of the record.
// A page's record is used only when the build takes that very blob from
// the earlier book, so what it says is what reading the page would find.
//
// The file only grows: a build appends the records of the pages it read
// (a rebuild after one changed page appends one), the last record of a
// page counts, and the file is written anew once most of it is records no
// page uses. Loading only indexes the records; a record is checked and
// read when a build asks for it, on the worker that needs it. A missing or
// foreign file is an empty memo, a damaged record is none: those pages are
// read again. It never fails a build.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "html/References.h"

namespace folivex {

class LinkReport;

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
    std::optional<html::PageReferences> Find(const std::string& stored, uint32_t blobCrc,
                                             uint32_t blobLength) const;

    // Keeps what report found in every page whose blob it knows, in the
    // memo beside the build memo at buildMemoPath: appends the pages this
    // memo does not hold with that blob, or writes the whole file anew. A
    // failure only means the next build reads the pages.
    void Save(const std::string& buildMemoPath, const LinkReport& report) const;

private:
    struct Record {
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
        std::span<const uint8_t> checked;  // in m_bytes: what the record's CRC-32 covers
        std::span<const uint8_t> found;    // in m_bytes: its references and anchors
    };
    std::vector<uint8_t> m_bytes;
    std::unordered_map<std::string, Record> m_records;
};

}  // namespace folivex
