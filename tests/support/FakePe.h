// Fixtures made in code: a minimal PE32 i386 image shaped like the viewer
// stub (a .text section, then .rsrc with icon group 128 holding a 16x16 entry
// id 2 and a 32x32 16-colour 744-byte entry id 1, and icon 1 itself), or the
// same as a PE32+ x86-64 image (its optional header 16 bytes longer), and
// .ico files. The offsets of the interesting fields are returned, so that
// tests can damage exactly one of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace folivex::test {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

struct FakePe {
    std::vector<uint8_t> bytes;
    size_t peOffset = 0;      // "PE\0\0"
    size_t sectionTable = 0;  // first section header
    size_t rsrcOffset = 0;    // PointerToRawData of .rsrc
    uint32_t rsrcRva = 0;
    size_t rootDir = 0;       // file offsets of the resource directories
    size_t iconTypeDir = 0;   // type 3
    size_t groupTypeDir = 0;  // type 14
    size_t iconLangDir = 0;   // icon 1
    size_t groupLangDir = 0;  // group 128
    size_t iconDataEntry = 0;
    size_t groupDataEntry = 0;
    size_t group = 0;  // the icon group's bytes
    size_t image = 0;  // the 744-byte image
    static constexpr size_t kImageSize = 744;
};

enum class PeKind { pe32I386, pe32PlusX64 };

inline FakePe MakeFakePe(PeKind kind = PeKind::pe32I386) {
    FakePe pe;
    constexpr size_t kTextRaw = 0x200, kRsrcRaw = 0x400, kRsrcSize = 0x400;
    pe.rsrcRva = 0x3000;
    pe.bytes.assign(kRsrcRaw + kRsrcSize, 0);
    auto& b = pe.bytes;
    b[0] = 'M';
    b[1] = 'Z';
    pe.peOffset = 0x80;
    Put32(b, 60, static_cast<uint32_t>(pe.peOffset));
    std::memcpy(&b[pe.peOffset], "PE\0\0", 4);
    const bool plus = kind == PeKind::pe32PlusX64;
    const uint16_t optionalHeaderSize = plus ? 240 : 224;
    Put16(b, pe.peOffset + 4, plus ? 0x8664 : 0x014C);
    Put16(b, pe.peOffset + 6, 2);  // sections
    Put16(b, pe.peOffset + 20, optionalHeaderSize);
    Put16(b, pe.peOffset + 24, plus ? 0x020B : 0x010B);
    pe.sectionTable = pe.peOffset + 24 + optionalHeaderSize;
    auto section = [&](size_t at, const char* name, uint32_t rva, uint32_t size, uint32_t raw) {
        std::memcpy(&b[at], name, std::strlen(name));
        Put32(b, at + 8, size);
        Put32(b, at + 12, rva);
        Put32(b, at + 16, size);
        Put32(b, at + 20, raw);
    };
    section(pe.sectionTable, ".text", 0x1000, kTextRaw, kTextRaw);
    section(pe.sectionTable + 40, ".rsrc", pe.rsrcRva, kRsrcSize, kRsrcRaw);
    pe.rsrcOffset = kRsrcRaw;

    // Resource table, offsets relative to the section.
    auto dir = [&](size_t rel, std::vector<std::pair<uint32_t, uint32_t>> entries) {
        Put16(b, kRsrcRaw + rel + 14, static_cast<uint16_t>(entries.size()));
        for (size_t k = 0; k < entries.size(); ++k) {
            Put32(b, kRsrcRaw + rel + 16 + 8 * k, entries[k].first);
            Put32(b, kRsrcRaw + rel + 16 + 8 * k + 4, entries[k].second);
        }
    };
    constexpr uint32_t kSub = 0x80000000;
    constexpr size_t root = 0, iconType = 0x20, groupType = 0x38, iconLang = 0x50, groupLang = 0x68;
    constexpr size_t iconData = 0x80, groupData = 0x90, group = 0xA0, image = 0xD0;
    dir(root, {{3, kSub | iconType}, {14, kSub | groupType}});
    dir(iconType, {{1, kSub | iconLang}});
    dir(groupType, {{128, kSub | groupLang}});
    dir(iconLang, {{0x409, iconData}});
    dir(groupLang, {{0x409, groupData}});
    Put32(b, kRsrcRaw + iconData, pe.rsrcRva + image);
    Put32(b, kRsrcRaw + iconData + 4, FakePe::kImageSize);
    Put32(b, kRsrcRaw + groupData, pe.rsrcRva + group);
    Put32(b, kRsrcRaw + groupData + 4, 6 + 2 * 14);
    // Group: reserved, type 1, two entries.
    Put16(b, kRsrcRaw + group + 2, 1);
    Put16(b, kRsrcRaw + group + 4, 2);
    auto groupEntry = [&](size_t k, uint8_t size, uint8_t colors, uint32_t bytes, uint16_t id) {
        const size_t at = kRsrcRaw + group + 6 + 14 * k;
        b[at] = size;
        b[at + 1] = size;
        b[at + 2] = colors;
        Put16(b, at + 4, 1);
        Put16(b, at + 6, 4);
        Put32(b, at + 8, bytes);
        Put16(b, at + 12, id);
    };
    groupEntry(0, 32, 16, FakePe::kImageSize, 1);
    groupEntry(1, 16, 16, 296, 2);
    for (size_t i = 0; i < FakePe::kImageSize; ++i) b[kRsrcRaw + image + i] = 0x5A;

    pe.rootDir = kRsrcRaw + root;
    pe.iconTypeDir = kRsrcRaw + iconType;
    pe.groupTypeDir = kRsrcRaw + groupType;
    pe.iconLangDir = kRsrcRaw + iconLang;
    pe.groupLangDir = kRsrcRaw + groupLang;
    pe.iconDataEntry = kRsrcRaw + iconData;
    pe.groupDataEntry = kRsrcRaw + groupData;
    pe.group = kRsrcRaw + group;
    pe.image = kRsrcRaw + image;
    b.back() = 0x01;  // never 4B 47: the stub carries no trailer
    return pe;
}

struct IcoImage {
    uint8_t width, height, colors;
    uint32_t size;
    uint8_t fill;  // every byte of the image
};

// An .ico file holding the images in order, each filled with its byte.
inline std::vector<uint8_t> MakeIco(const std::vector<IcoImage>& images) {
    std::vector<uint8_t> b(6 + 16 * images.size(), 0);
    Put16(b, 2, 1);
    Put16(b, 4, static_cast<uint16_t>(images.size()));
    for (size_t k = 0; k < images.size(); ++k) {
        const size_t at = 6 + 16 * k;
        b[at] = images[k].width;
        b[at + 1] = images[k].height;
        b[at + 2] = images[k].colors;
        Put16(b, at + 4, 1);
        Put16(b, at + 6, 4);
        Put32(b, at + 8, images[k].size);
        Put32(b, at + 12, static_cast<uint32_t>(b.size()));
        b.insert(b.end(), images[k].size, images[k].fill);
    }
    return b;
}

}  // namespace folivex::test
