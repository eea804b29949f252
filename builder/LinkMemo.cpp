#include "builder/LinkMemo.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "builder/LinkReport.h"
#include "format/Crc32.h"
#include "platform/ByteReader.h"
#include "platform/File.h"
#include "platform/FileReplace.h"
#include "platform/LittleEndian.h"

namespace folivex {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'F', 'V', 'X', 'L', 'I', 'N', 'K', '3'};
constexpr std::array<uint8_t, 8> kFoundMagic = {'F', 'V', 'X', 'F', 'O', 'U', 'N', 'D'};
// Larger files are not read: no memo of a book's links comes near this.
constexpr uint64_t kMaxMemoBytes = 512ull << 20;
// What is written in one go when a file is written a piece at a time.
constexpr size_t kPiece = 1 << 20;

std::string MemoPath(const std::string& buildMemoPath) {
    return buildMemoPath + ".links";
}
std::string FoundPath(const std::string& buildMemoPath) {
    return buildMemoPath + ".found";
}

// The bytes PutFound writes for found.
size_t BodySize(const html::PageReferences& found) {
    size_t size = 8;
    for (const html::TextSpan anchor : found.anchors) size += 4 + found.Text(anchor).size();
    for (const html::Reference& r : found.references) size += 9 + found.Text(r.target).size();
    return size;
}

// found as a record's body: anchors, then references. Sized once and
// stored in place: a book's pages hold hundreds of thousands of these
// small fields, and appending them one by one cost most of saving them.
void PutFound(std::vector<uint8_t>& out, const html::PageReferences& found) {
    const size_t start = out.size();
    out.resize(start + BodySize(found));
    uint8_t* p = out.data() + start;
    const auto u32 = [&p](uint64_t value) {
        StoreU32(p, value);
        p += 4;
    };
    const auto text = [&](html::TextSpan span) {
        const std::string_view t = found.Text(span);
        u32(t.size());
        std::memcpy(p, t.data(), t.size());
        p += t.size();
    };
    u32(found.anchors.size());
    for (const html::TextSpan anchor : found.anchors) text(anchor);
    u32(found.references.size());
    for (const html::Reference& r : found.references) {
        text(r.target);
        u32(r.line);
        *p++ = r.navigation ? 1 : 0;
    }
}

html::PageReferences GetFound(ByteReader& in) {
    html::PageReferences found;
    for (uint32_t n = in.U32(); n > 0; --n) found.anchors.push_back(found.Keep(in.CountedText()));
    const uint32_t references = in.U32();
    // Each takes at least nine bytes: a count no longer than what is left.
    found.references.reserve(std::min<size_t>(references, in.Remaining() / 9));
    for (uint32_t n = references; n > 0; --n) {
        html::Reference reference;
        reference.target = found.Keep(in.CountedText());
        reference.line = in.U32();
        reference.navigation = in.U8() != 0;
        found.references.push_back(reference);
    }
    return found;
}

// Verdicts worth keeping: settled, and made with every page they looked
// into known.
const PageVerdicts* KeptVerdicts(const LinkReport::Kept& kept) {
    return kept.verdicts && kept.verdicts->files != 0 ? kept.verdicts : nullptr;
}

// verdicts as a record's second body: the files' fingerprint, what is said
// (kind, line, target), the files reached, the pages looked into.
void PutVerdicts(std::vector<uint8_t>& out, const PageVerdicts& verdicts) {
    AppendU64(out, verdicts.files);
    AppendU32(out, verdicts.said.size());
    for (const LinkFinding& said : verdicts.said) {
        out.push_back(static_cast<uint8_t>(said.kind));
        AppendU32(out, said.line);
        AppendCountedText(out, said.target);
    }
    AppendU32(out, verdicts.reaches.size());
    for (const int32_t file : verdicts.reaches) AppendU32(out, static_cast<uint32_t>(file));
    AppendU32(out, verdicts.lookedInto.size());
    for (const PageVerdicts::LookedInto& looked : verdicts.lookedInto) {
        AppendU32(out, static_cast<uint32_t>(looked.page));
        AppendU32(out, looked.blobCrc);
        AppendU32(out, looked.blobLength);
        AppendU64(out, looked.anchors);
    }
}

// The bytes PutVerdicts writes for verdicts (none for null).
size_t VerdictsSize(const PageVerdicts* verdicts) {
    if (verdicts == nullptr) return 0;
    size_t size = 20 + 4 * verdicts->reaches.size() + 20 * verdicts->lookedInto.size();
    for (const LinkFinding& said : verdicts->said) size += 9 + said.target.size();
    return size;
}

PageVerdicts GetVerdicts(ByteReader& in) {
    PageVerdicts verdicts;
    verdicts.files = in.U64();
    // Each count is bounded by what is left before anything is reserved.
    const uint32_t said = in.U32();
    verdicts.said.reserve(std::min<size_t>(said, in.Remaining() / 9));
    for (uint32_t n = said; n > 0; --n) {
        LinkFinding finding;
        const uint8_t kind = in.U8();
        if (kind > LinkFinding::external || kind == LinkFinding::unreachable)
            throw ByteReader::OutOfRange();
        finding.kind = static_cast<LinkFinding::Kind>(kind);
        finding.line = in.U32();
        finding.target = std::string(in.CountedText());
        verdicts.said.push_back(std::move(finding));
    }
    const uint32_t reaches = in.U32();
    verdicts.reaches.reserve(std::min<size_t>(reaches, in.Remaining() / 4));
    for (uint32_t n = reaches; n > 0; --n) verdicts.reaches.push_back(in.I32());
    const uint32_t looked = in.U32();
    verdicts.lookedInto.reserve(std::min<size_t>(looked, in.Remaining() / 20));
    for (uint32_t n = looked; n > 0; --n) {
        PageVerdicts::LookedInto into;
        into.page = in.I32();
        into.blobCrc = in.U32();
        into.blobLength = in.U32();
        into.anchors = in.U64();
        verdicts.lookedInto.push_back(into);
    }
    return verdicts;
}

// Where a page's references and anchors lie in the second file.
struct FoundAt {
    uint64_t offset = 0;
    uint32_t length = 0;
    uint32_t crc = 0;
};

// The bytes PutRecord writes, but for the verdicts.
size_t RecordSize(const std::string& stored) {
    return 36 + stored.size();
}

// One record: CRC-32 of the rest, stored path, blob CRC-32 and length,
// where the page's references and anchors lie, verdicts length, verdicts.
void PutRecord(std::vector<uint8_t>& out, const std::string& stored, uint32_t blobCrc,
               uint32_t blobLength, const FoundAt& found, std::span<const uint8_t> verdicts) {
    const size_t crcAt = out.size();
    AppendU32(out, 0);
    AppendCountedText(out, stored);
    AppendU32(out, blobCrc);
    AppendU32(out, blobLength);
    AppendU64(out, found.offset);
    AppendU32(out, found.length);
    AppendU32(out, found.crc);
    AppendU32(out, verdicts.size());
    out.insert(out.end(), verdicts.begin(), verdicts.end());
    StoreU32(out.data() + crcAt, Crc32(std::span(out).subspan(crcAt + 4)));
}

std::vector<uint8_t> VerdictsBytes(const LinkReport::Kept& kept) {
    std::vector<uint8_t> out;
    if (const PageVerdicts* verdicts = KeptVerdicts(kept)) PutVerdicts(out, *verdicts);
    return out;
}

// Collects bytes for a file and writes them a piece at a time, knowing
// where in the file each byte goes.
class PieceWriter {
public:
    PieceWriter(CFile& file, uint64_t at) : m_file(file), m_at(at) { m_out.reserve(2 * kPiece); }
    uint64_t Offset() const { return m_at + m_out.size(); }
    std::vector<uint8_t>& Out() { return m_out; }
    // Writes what was collected once it is a piece.
    void Next() {
        if (m_out.size() >= kPiece) Flush();
    }
    void Flush() {
        m_file.Write(m_out.data(), m_out.size());
        m_at += m_out.size();
        m_out.clear();
    }

private:
    CFile& m_file;
    uint64_t m_at;
    std::vector<uint8_t> m_out;
};

// Appends a page's references and anchors; where they went.
FoundAt PutFoundAt(PieceWriter& out, const html::PageReferences& found) {
    const uint64_t offset = out.Offset();
    const size_t start = out.Out().size();
    PutFound(out.Out(), found);
    const auto body = std::span(out.Out()).subspan(start);
    const FoundAt at{offset, static_cast<uint32_t>(body.size()), Crc32(body)};
    out.Next();
    return at;
}

FileBytes ReadMemoFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const uint64_t length = file.GetLength();
    if (length > kMaxMemoBytes) return {};
    FileBytes bytes(static_cast<size_t>(length));
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return {};
    return bytes;
}

// The file at path, open to be appended to; starting with magic when it
// is new (or was removed meanwhile).
std::unique_ptr<CFile> OpenToAppend(const std::string& path, std::span<const uint8_t> magic) {
    auto file =
        std::make_unique<CFile>(path, CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate);
    if (file->SeekToEnd() == 0) file->Write(magic.data(), magic.size());
    return file;
}

// What get reads from the whole of bytes; nothing when it does not read
// them exactly.
template <class Get>
auto ReadWhole(std::span<const uint8_t> bytes, Get get)
    -> std::optional<decltype(get(std::declval<ByteReader&>()))> {
    try {
        ByteReader in(bytes);
        auto value = get(in);
        if (!in.AtEnd()) return std::nullopt;
        return value;
    } catch (const ByteReader::OutOfRange&) {
        return std::nullopt;
    }
}

}  // namespace

LinkMemo LinkMemo::Load(const std::string& buildMemoPath) {
    LinkMemo memo;
    try {
        memo.m_bytes = ReadMemoFile(MemoPath(buildMemoPath));
    } catch (const CFileException&) {
        return {};  // none yet, or unreadable: the pages are read again
    }
    try {
        memo.m_found = std::make_unique<CFile>(FoundPath(buildMemoPath), CFile::modeRead);
        memo.m_foundLength = memo.m_found->GetLength();
    } catch (const CFileException&) {
        memo.m_found.reset();  // the verdicts still serve
    }
    ByteReader in(memo.m_bytes);
    try {
        const std::span<const uint8_t> magic = in.Bytes(kMagic.size());
        if (!std::equal(magic.begin(), magic.end(), kMagic.begin())) return {};
        while (!in.AtEnd()) {
            const size_t start = in.Position();
            in.U32();
            std::string stored(in.CountedText());
            Record record;
            record.blobCrc = in.U32();
            record.blobLength = in.U32();
            record.foundOffset = in.U64();
            record.foundLength = in.U32();
            record.foundCrc = in.U32();
            record.verdicts = in.Bytes(in.U32());
            record.whole = std::span(memo.m_bytes).subspan(start, in.Position() - start);
            memo.m_records.insert_or_assign(std::move(stored), record);
        }
    } catch (const ByteReader::OutOfRange&) {
        // Cut short (a build appending right now, or a crash): the records
        // before are whole.
    }
    return memo;
}

void LinkMemo::Remove(const std::string& buildMemoPath) noexcept {
    for (const std::string& path : {MemoPath(buildMemoPath), FoundPath(buildMemoPath)}) {
        try {
            CFile::Remove(path);
        } catch (const CFileException&) {
            // Not there, or in use: the next trim tries again.
        }
    }
}

const LinkMemo::Record* LinkMemo::Held(const std::string& stored, uint32_t blobCrc,
                                       uint32_t blobLength) const {
    const auto held = m_records.find(stored);
    if (held == m_records.end()) return nullptr;
    const Record& record = held->second;
    return record.blobCrc == blobCrc && record.blobLength == blobLength ? &record : nullptr;
}

const LinkMemo::Record* LinkMemo::Sound(const std::string& stored, uint32_t blobCrc,
                                        uint32_t blobLength) const {
    const Record* record = Held(stored, blobCrc, blobLength);
    if (record == nullptr) return nullptr;
    const bool sound = ByteReader(record->whole).U32() == Crc32(record->whole.subspan(4));
    return sound ? record : nullptr;
}

std::optional<FileBytes> LinkMemo::FoundBytes(const Record& record) const {
    // The offset and length come from a sound record, yet the second file
    // may since have been cut or replaced: checked against it first.
    if (!m_found || record.foundOffset > m_foundLength ||
        record.foundLength > m_foundLength - record.foundOffset)
        return std::nullopt;
    FileBytes bytes(record.foundLength);
    try {
        if (m_found->ReadAt(record.foundOffset, bytes.data(), bytes.size()) != bytes.size())
            return std::nullopt;
    } catch (const CFileException&) {
        return std::nullopt;
    }
    if (Crc32(bytes) != record.foundCrc) return std::nullopt;
    return bytes;
}

std::optional<html::PageReferences> LinkMemo::Find(const std::string& stored, uint32_t blobCrc,
                                                   uint32_t blobLength) const {
    const Record* record = Sound(stored, blobCrc, blobLength);
    if (record == nullptr) return std::nullopt;
    const std::optional<FileBytes> bytes = FoundBytes(*record);
    if (!bytes) return std::nullopt;
    return ReadWhole(*bytes, GetFound);
}

std::optional<PageVerdicts> LinkMemo::FindVerdicts(const std::string& stored, uint32_t blobCrc,
                                                   uint32_t blobLength) const {
    const Record* record = Sound(stored, blobCrc, blobLength);
    if (record == nullptr || record->verdicts.empty()) return std::nullopt;
    return ReadWhole(record->verdicts, GetVerdicts);
}

void LinkMemo::WriteWhole(const std::string& buildMemoPath, const LinkReport& report) {
    // Where each page's references and anchors went; a page that has none
    // written has no record.
    std::vector<std::optional<FoundAt>> at(report.FileCount());
    ReplaceFileWith(FoundPath(buildMemoPath), ".saving", [&](CFile& file) {
        PieceWriter out(file, 0);
        out.Out().assign(kFoundMagic.begin(), kFoundMagic.end());
        for (size_t i = 0; i < report.FileCount(); ++i) {
            const LinkReport::Kept page = report.KeptFor(i);
            // What the page holds comes from this memo unless it was read.
            const Record* held = page.restored || !page.found
                                     ? Held(report.File(i).stored, page.blobCrc, page.blobLength)
                                     : nullptr;
            if (held == nullptr) {
                if (page.found) at[i] = PutFoundAt(out, *page.found);
            } else if (const std::optional<FileBytes> bytes = FoundBytes(*held)) {
                at[i] = FoundAt{out.Offset(), held->foundLength, held->foundCrc};
                out.Out().insert(out.Out().end(), bytes->begin(), bytes->end());
                out.Next();
            }
        }
        out.Flush();
        m_found.reset();  // closed before the new file takes its place
    });
    ReplaceFileWith(MemoPath(buildMemoPath), ".saving", [&](CFile& file) {
        PieceWriter out(file, 0);
        out.Out().assign(kMagic.begin(), kMagic.end());
        for (size_t i = 0; i < report.FileCount(); ++i) {
            if (!at[i]) continue;
            const LinkReport::Kept page = report.KeptFor(i);
            const std::string& stored = report.File(i).stored;
            const Record* held =
                page.restored ? Held(stored, page.blobCrc, page.blobLength) : nullptr;
            const std::vector<uint8_t> verdicts =
                held ? std::vector<uint8_t>(held->verdicts.begin(), held->verdicts.end())
                     : VerdictsBytes(page);
            PutRecord(out.Out(), stored, page.blobCrc, page.blobLength, *at[i], verdicts);
            out.Next();
        }
        out.Flush();
    });
}

void LinkMemo::Append(const std::string& buildMemoPath, const LinkReport& report,
                      const std::vector<size_t>& fresh) {
    m_found.reset();  // closed before it is written
    std::vector<uint8_t> records;
    {
        const std::unique_ptr<CFile> file = OpenToAppend(FoundPath(buildMemoPath), kFoundMagic);
        PieceWriter out(*file, file->GetPosition());
        for (const size_t i : fresh) {
            const LinkReport::Kept page = report.KeptFor(i);
            const std::string& stored = report.File(i).stored;
            // New verdicts for what the memo holds already point to it.
            const Record* held = page.found ? nullptr : Held(stored, page.blobCrc, page.blobLength);
            const FoundAt at = held ? FoundAt{held->foundOffset, held->foundLength, held->foundCrc}
                                    : PutFoundAt(out, *page.found);
            PutRecord(records, stored, page.blobCrc, page.blobLength, at, VerdictsBytes(page));
        }
        out.Flush();
    }
    // The records go after what they point to.
    OpenToAppend(MemoPath(buildMemoPath), kMagic)->Write(records.data(), records.size());
}

void LinkMemo::Save(const std::string& buildMemoPath, const LinkReport& report) {
    std::vector<size_t> fresh;  // the pages whose records this memo lacks
    uint64_t freshBytes = 0;
    uint64_t kept = 0;  // bytes of the records it holds and still uses
    for (size_t i = 0; i < report.FileCount(); ++i) {
        const LinkReport::Kept page = report.KeptFor(i);
        const std::string& stored = report.File(i).stored;
        const Record* held = Held(stored, page.blobCrc, page.blobLength);
        // A page whose verdicts were worked out anew gets a fresh record.
        if (held && (page.restored || (page.found && !KeptVerdicts(page)))) {
            kept += held->whole.size() + held->foundLength;
        } else if (page.found) {
            fresh.push_back(i);
            freshBytes +=
                RecordSize(stored) + BodySize(*page.found) + VerdictsSize(KeptVerdicts(page));
        } else if (held && KeptVerdicts(page)) {  // new verdicts, what it holds as it was
            fresh.push_back(i);
            freshBytes += RecordSize(stored) + VerdictsSize(KeptVerdicts(page));
            kept += held->foundLength;
        }
    }
    try {
        // Anew when there is no memo yet or most of it would be what no
        // page uses any more.
        const uint64_t total = m_bytes.size() + m_foundLength + freshBytes;
        if (m_bytes.empty() || !m_found || total > 2 * (kept + freshBytes))
            WriteWhole(buildMemoPath, report);
        else if (!fresh.empty())
            Append(buildMemoPath, report, fresh);
    } catch (const CFileException&) {
        // The next build reads the pages again.
    }
    m_found.reset();
}

}  // namespace folivex
