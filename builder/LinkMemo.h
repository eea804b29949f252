// LinkMemo: what the link report found in each page at the last build, so
// that a rebuild, which takes unchanged pages from the earlier book without
// reading them, need not inflate and read them for the report either.
//
// One file beside the build memo (its path and ".links"), written after the
// book has its place. A record holds a page's stored path, the CRC-32 and
// length of the blob the book holds for it, and the references and anchors
// found in it. A page's record is used only when the build takes that very
// blob from the earlier book, so what it says is what reading the page
// would find. A missing, damaged or foreign file is an empty memo: the
// pages are then read again. It never fails a build.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "html/References.h"

namespace folivex {

class LinkReport;

class LinkMemo {
public:
    // The memo beside the build memo at buildMemoPath; empty when there is
    // none or it cannot be read.
    static LinkMemo Load(const std::string& buildMemoPath);

    // What the last build found in the page, when its blob was this one.
    const html::PageReferences* Find(const std::string& stored, uint32_t blobCrc,
                                     uint32_t blobLength) const;

    // Writes what report found in every page whose blob it knows, beside
    // the build memo; a failure only means the next build reads the pages.
    static void Save(const std::string& buildMemoPath, const LinkReport& report);

private:
    struct Record {
        uint32_t blobCrc = 0;
        uint32_t blobLength = 0;
        html::PageReferences found;
    };
    std::unordered_map<std::string, Record> m_records;
};

}  // namespace folivex
