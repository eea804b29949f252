#include "builder/LinkMemo.h"

#include <array>
#include <cstring>
#include <vector>

#include "builder/LinkReport.h"
#include "platform/ByteReader.h"
#include "platform/File.h"
#include "platform/FileReplace.h"

namespace folivex {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'F', 'V', 'X', 'L', 'I', 'N', 'K', '1'};
// Larger files are not read: no memo of a book's links comes near this.
constexpr uint64_t kMaxMemoBytes = 512ull << 20;

std::string MemoPath(const std::string& buildMemoPath) {
    return buildMemoPath + ".links";
}

void PutU32(std::vector<uint8_t>& out, uint64_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutString(std::vector<uint8_t>& out, const std::string& text) {
    PutU32(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

std::string GetString(ByteReader& in) {
    const std::span<const uint8_t> bytes = in.Bytes(in.U32());
    return std::string(bytes.begin(), bytes.end());
}

html::PageReferences GetFound(ByteReader& in) {
    html::PageReferences found;
    for (uint32_t n = in.U32(); n > 0; --n) found.anchors.push_back(GetString(in));
    for (uint32_t n = in.U32(); n > 0; --n) {
        html::Reference reference;
        reference.target = GetString(in);
        reference.line = in.U32();
        reference.navigation = in.U8() != 0;
        found.references.push_back(std::move(reference));
    }
    return found;
}

std::vector<uint8_t> ReadMemoFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const uint64_t length = file.GetLength();
    if (length > kMaxMemoBytes) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return {};
    return bytes;
}

}  // namespace

LinkMemo LinkMemo::Load(const std::string& buildMemoPath) {
    LinkMemo memo;
    try {
        const std::vector<uint8_t> bytes = ReadMemoFile(MemoPath(buildMemoPath));
        ByteReader in(bytes);
        const std::span<const uint8_t> magic = in.Bytes(kMagic.size());
        if (!std::equal(magic.begin(), magic.end(), kMagic.begin())) return {};
        while (!in.AtEnd()) {
            std::string stored = GetString(in);
            Record record;
            record.blobCrc = in.U32();
            record.blobLength = in.U32();
            record.found = GetFound(in);
            memo.m_records.insert_or_assign(std::move(stored), std::move(record));
        }
    } catch (const std::exception&) {
        return {};  // missing, unreadable or damaged: the pages are read again
    }
    return memo;
}

const html::PageReferences* LinkMemo::Find(const std::string& stored, uint32_t blobCrc,
                                           uint32_t blobLength) const {
    const auto found = m_records.find(stored);
    if (found == m_records.end() || found->second.blobCrc != blobCrc ||
        found->second.blobLength != blobLength)
        return nullptr;
    return &found->second.found;
}

void LinkMemo::Save(const std::string& buildMemoPath, const LinkReport& report) {
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    for (size_t i = 0; i < report.FileCount(); ++i) {
        const LinkReport::Kept kept = report.KeptFor(i);
        if (kept.found == nullptr) continue;
        PutString(out, report.File(i).stored);
        PutU32(out, kept.blobCrc);
        PutU32(out, kept.blobLength);
        PutU32(out, kept.found->anchors.size());
        for (const std::string& anchor : kept.found->anchors) PutString(out, anchor);
        PutU32(out, kept.found->references.size());
        for (const html::Reference& r : kept.found->references) {
            PutString(out, r.target);
            PutU32(out, r.line);
            out.push_back(r.navigation ? 1 : 0);
        }
    }
    try {
        ReplaceFileWith(MemoPath(buildMemoPath), ".saving", out);
    } catch (const CFileException&) {
        // The next build reads the pages again.
    }
}

}  // namespace folivex
