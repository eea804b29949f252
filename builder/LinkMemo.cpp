#include "builder/LinkMemo.h"

#include <array>
#include <cstring>
#include <vector>

#include "builder/LinkReport.h"
#include "format/Crc32.h"
#include "platform/ByteReader.h"
#include "platform/File.h"
#include "platform/FileReplace.h"

namespace folivex {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'F', 'V', 'X', 'L', 'I', 'N', 'K', '2'};
// Larger files are not read: no memo of a book's links comes near this.
constexpr uint64_t kMaxMemoBytes = 512ull << 20;

std::string MemoPath(const std::string& buildMemoPath) {
    return buildMemoPath + ".links";
}

// value as four bytes, least significant first, at out[at] (the end when
// at is out.size()).
void PutU32At(std::vector<uint8_t>& out, size_t at, uint64_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    if (at == out.size())
        out.insert(out.end(), bytes, bytes + 4);
    else
        std::copy(bytes, bytes + 4, out.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutU32(std::vector<uint8_t>& out, uint64_t value) {
    PutU32At(out, out.size(), value);
}

void PutString(std::vector<uint8_t>& out, const std::string& text) {
    PutU32(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

// found as a record's body: anchors, then references.
void PutFound(std::vector<uint8_t>& out, const html::PageReferences& found) {
    PutU32(out, found.anchors.size());
    for (const std::string& anchor : found.anchors) PutString(out, anchor);
    PutU32(out, found.references.size());
    for (const html::Reference& r : found.references) {
        PutString(out, r.target);
        PutU32(out, r.line);
        out.push_back(r.navigation ? 1 : 0);
    }
}

// The bytes PutFound writes for found.
size_t BodySize(const html::PageReferences& found) {
    size_t size = 8;
    for (const std::string& anchor : found.anchors) size += 4 + anchor.size();
    for (const html::Reference& r : found.references) size += 9 + r.target.size();
    return size;
}

std::string GetString(ByteReader& in) {
    const std::span<const uint8_t> bytes = in.Bytes(in.U32());
    return std::string(bytes.begin(), bytes.end());
}

html::PageReferences GetFound(ByteReader& in) {
    html::PageReferences found;
    for (uint32_t n = in.U32(); n > 0; --n) found.anchors.push_back(GetString(in));
    const uint32_t references = in.U32();
    // Each takes at least nine bytes: a count no longer than what is left.
    found.references.reserve(std::min<size_t>(references, in.Remaining() / 9));
    for (uint32_t n = references; n > 0; --n) {
        html::Reference reference;
        reference.target = GetString(in);
        reference.line = in.U32();
        reference.navigation = in.U8() != 0;
        found.references.push_back(std::move(reference));
    }
    return found;
}

// The bytes PutRecord writes.
size_t RecordSize(const std::string& stored, const LinkReport::Kept& kept) {
    return 20 + stored.size() + BodySize(*kept.found);
}

// One record: CRC-32 of the rest, stored path, blob CRC-32 and length,
// body length, body.
void PutRecord(std::vector<uint8_t>& out, const std::string& stored, const LinkReport::Kept& kept) {
    const size_t crcAt = out.size();
    PutU32(out, 0);
    PutString(out, stored);
    PutU32(out, kept.blobCrc);
    PutU32(out, kept.blobLength);
    PutU32(out, BodySize(*kept.found));
    PutFound(out, *kept.found);
    PutU32At(out, crcAt, Crc32(std::span(out).subspan(crcAt + 4)));
}

// A whole memo file: every page of report whose blob it knows, written a
// piece at a time (the memo of a large book runs to tens of megabytes).
void WriteWholeMemo(CFile& file, const LinkReport& report) {
    constexpr size_t kPiece = 1 << 20;
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    out.reserve(2 * kPiece);
    for (size_t i = 0; i < report.FileCount(); ++i) {
        const LinkReport::Kept page = report.KeptFor(i);
        if (page.found == nullptr) continue;
        PutRecord(out, report.File(i).stored, page);
        if (out.size() < kPiece) continue;
        file.Write(out.data(), out.size());
        out.clear();
    }
    file.Write(out.data(), out.size());
}

std::vector<uint8_t> ReadMemoFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const uint64_t length = file.GetLength();
    if (length > kMaxMemoBytes) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return {};
    return bytes;
}

void AppendToFile(const std::string& path, const std::vector<uint8_t>& records) {
    CFile file(path, CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate);
    if (file.SeekToEnd() == 0) file.Write(kMagic.data(), kMagic.size());  // removed meanwhile
    file.Write(records.data(), records.size());
}

}  // namespace

LinkMemo LinkMemo::Load(const std::string& buildMemoPath) {
    LinkMemo memo;
    try {
        memo.m_bytes = ReadMemoFile(MemoPath(buildMemoPath));
    } catch (const CFileException&) {
        return {};  // none yet, or unreadable: the pages are read again
    }
    ByteReader in(memo.m_bytes);
    try {
        const std::span<const uint8_t> magic = in.Bytes(kMagic.size());
        if (!std::equal(magic.begin(), magic.end(), kMagic.begin())) return {};
        while (!in.AtEnd()) {
            const size_t start = in.Position();
            in.U32();
            std::string stored = GetString(in);
            Record record;
            record.blobCrc = in.U32();
            record.blobLength = in.U32();
            record.found = in.Bytes(in.U32());
            record.checked = std::span(memo.m_bytes).subspan(start + 4, in.Position() - start - 4);
            memo.m_records.insert_or_assign(std::move(stored), record);
        }
    } catch (const ByteReader::OutOfRange&) {
        // Cut short (a build appending right now, or a crash): the records
        // before are whole.
    }
    return memo;
}

std::optional<html::PageReferences> LinkMemo::Find(const std::string& stored, uint32_t blobCrc,
                                                   uint32_t blobLength) const {
    const auto found = m_records.find(stored);
    if (found == m_records.end()) return std::nullopt;
    const Record& record = found->second;
    if (record.blobCrc != blobCrc || record.blobLength != blobLength) return std::nullopt;
    const auto crcAt = static_cast<size_t>(record.checked.data() - m_bytes.data()) - 4;
    if (ByteReader(m_bytes).U32At(crcAt) != Crc32(record.checked)) return std::nullopt;
    try {
        ByteReader in(record.found);
        html::PageReferences references = GetFound(in);
        if (!in.AtEnd()) return std::nullopt;
        return references;
    } catch (const ByteReader::OutOfRange&) {
        return std::nullopt;
    }
}

void LinkMemo::Save(const std::string& buildMemoPath, const LinkReport& report) const {
    std::vector<size_t> fresh;  // the pages whose records this memo lacks
    size_t freshBytes = 0;
    size_t kept = 0;  // bytes of the records it holds and still uses
    for (size_t i = 0; i < report.FileCount(); ++i) {
        const LinkReport::Kept page = report.KeptFor(i);
        if (page.found == nullptr) continue;
        const std::string& stored = report.File(i).stored;
        const auto held = m_records.find(stored);
        if (held != m_records.end() && held->second.blobCrc == page.blobCrc &&
            held->second.blobLength == page.blobLength) {
            kept += held->second.checked.size() + 4;
        } else {
            fresh.push_back(i);
            freshBytes += RecordSize(stored, page);
        }
    }
    const std::string path = MemoPath(buildMemoPath);
    try {
        // Anew when there is no file yet or most of it would be records no
        // page uses any more.
        if (m_bytes.empty() || m_bytes.size() + freshBytes > 2 * (kept + freshBytes)) {
            ReplaceFileWith(path, ".saving", [&](CFile& file) { WriteWholeMemo(file, report); });
        } else if (!fresh.empty()) {
            std::vector<uint8_t> records;
            records.reserve(freshBytes);
            for (const size_t i : fresh)
                PutRecord(records, report.File(i).stored, report.KeptFor(i));
            AppendToFile(path, records);
        }
    } catch (const CFileException&) {
        // The next build reads the pages again.
    }
}

}  // namespace folivex
