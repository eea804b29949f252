// Books made by hand: the archive bytes are written here directly from the
// file format (not through the builder), so the readers are checked against
// the format itself and damaged books are easy to make.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace folivex::test {

struct RawEntry {
    uint16_t type = 0;
    uint16_t id = 0;
    std::vector<uint8_t> data;
};

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// The archive body for entries (grouped by type in order of first
// appearance) and its trailer naming base.
inline std::vector<uint8_t> EncodeArchive(const std::vector<RawEntry>& entries, uint32_t base) {
    std::vector<uint16_t> types;
    for (const auto& e : entries) {
        bool seen = false;
        for (auto t : types) seen = seen || t == e.type;
        if (!seen) types.push_back(e.type);
    }
    std::vector<uint8_t> out;
    PutU16(out, 0);  // root id
    PutU16(out, static_cast<uint32_t>(types.size()));
    uint32_t next = 1, dirClass = 0, elemClass = 0;
    auto tag = [&](uint32_t& cls, const std::string& name) {
        if (cls == 0) {
            PutU16(out, 0xFFFF);
            PutU16(out, 1);
            PutU16(out, static_cast<uint32_t>(name.size()));
            out.insert(out.end(), name.begin(), name.end());
            cls = next++;
        } else {
            PutU16(out, 0x8000 | cls);
        }
        ++next;  // the object's own number
    };
    for (auto t : types) {
        tag(dirClass, "CUpdateDir");
        PutU16(out, t);
        uint32_t count = 0;
        for (const auto& e : entries) count += e.type == t;
        PutU16(out, count);
        for (const auto& e : entries) {
            if (e.type != t) continue;
            tag(elemClass, "CUpdateElem");
            PutU16(out, e.id);
            PutU32(out, static_cast<uint32_t>(e.data.size()));
            out.insert(out.end(), e.data.begin(), e.data.end());
        }
    }
    PutU32(out, base);
    PutU16(out, 0x474B);
    return out;
}

// The format's worked example: entry 349/1 "abc" and entry 350/3 holding
// the int32 1, after a stub of 1000 bytes (74 bytes, trailer included).
inline const std::vector<RawEntry> kWorkedExampleEntries{{349, 1, {0x61, 0x62, 0x63}},
                                                         {350, 3, {1, 0, 0, 0}}};
inline const std::vector<uint8_t> kWorkedExampleArchive{
    0x00, 0x00, 0x02, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00, 'C',  'U',  'p',  'd',  'a',
    't',  'e',  'D',  'i',  'r',  0x5D, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0B, 0x00,
    'C',  'U',  'p',  'd',  'a',  't',  'e',  'E',  'l',  'e',  'm',  0x01, 0x00, 0x03, 0x00,
    0x00, 0x00, 0x61, 0x62, 0x63, 0x01, 0x80, 0x5E, 0x01, 0x01, 0x00, 0x03, 0x80, 0x03, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x4B, 0x47};

inline std::vector<uint8_t> Blob(const std::string& text) {
    uLongf length = compressBound(static_cast<uLong>(text.size()));
    std::vector<uint8_t> blob(4 + length);
    compress(blob.data() + 4, &length, reinterpret_cast<const Bytef*>(text.data()),
             static_cast<uLong>(text.size()));
    blob.resize(4 + length);
    const uint32_t n = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) blob[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
    return blob;
}

inline std::vector<uint8_t> TextEntry(const std::string& text) {
    std::vector<uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

// What a hand-made book holds. Pages get ids 1, 2, ... in order.
struct BookLayout {
    struct Page {
        std::string path;  // as stored: "/" separators, lower case
        std::string content;
        int32_t inPageSequence = 1;
        int32_t inSearch = 1;
    };
    std::vector<Page> pages;
    std::map<int, std::string> texts{{6, "A Test Book"},    {7, "An Author"},
                                     {8, "(c) 2024"},       {9, "https://example.org/"},
                                     {10, "a@example.org"}, {12, "About\r\nthis book"}};
    std::vector<int32_t> settings{0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    bool splash = false;
    std::string splashBytes = "BM fake bitmap";
    bool marker = true;
};

inline std::vector<RawEntry> BookEntries(const BookLayout& layout) {
    std::vector<RawEntry> entries;
    std::vector<uint8_t> directory;
    uint16_t id = 1;
    for (const auto& page : layout.pages) {
        entries.push_back({349, id, Blob(page.content)});
        directory.insert(directory.end(), page.path.begin(), page.path.end());
        directory.push_back(0);
        PutU32(directory, id);
        PutU32(directory, static_cast<uint32_t>(page.inPageSequence));
        PutU32(directory, static_cast<uint32_t>(page.inSearch));
        ++id;
    }
    if (!layout.pages.empty()) entries.push_back({350, 2, directory});
    if (layout.splash) entries.push_back({350, 15, Blob(layout.splashBytes)});
    std::vector<uint8_t> settings;
    for (auto flag : layout.settings) PutU32(settings, static_cast<uint32_t>(flag));
    entries.push_back({350, 3, settings});
    for (const auto& [textId, text] : layout.texts)
        entries.push_back({350, static_cast<uint16_t>(textId), TextEntry(text)});
    if (layout.marker) entries.push_back({350, 14, {0x45, 0x42, 0x4F, 0x4F, 0x4B, 0x00}});
    return entries;
}

// prefix (a stand-in for the stub) followed by the archive of entries.
inline std::vector<uint8_t> MakeBook(const std::vector<uint8_t>& prefix,
                                     const std::vector<RawEntry>& entries) {
    std::vector<uint8_t> book = prefix;
    const auto archive = EncodeArchive(entries, static_cast<uint32_t>(prefix.size()));
    book.insert(book.end(), archive.begin(), archive.end());
    return book;
}

inline std::vector<uint8_t> MakeBook(const std::vector<uint8_t>& prefix, const BookLayout& layout) {
    return MakeBook(prefix, BookEntries(layout));
}

}  // namespace folivex::test
