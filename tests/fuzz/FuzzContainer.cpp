// Fuzz target: the decoders of the archive's entries: the page directory,
// the settings record, the texts and the compressed blob. The first byte
// chooses the decoder, the rest is the entry's data.
//
// Decoders must return or throw ContainerError. What decodes must encode
// back: a page directory and a settings record re-encode to the bytes they
// came from (the record's first 56), a blob that inflates deflates to one that inflates
// to the same bytes.
#include <algorithm>

#include "format/Container.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using namespace folivex;

void PageDirectory(std::span<const uint8_t> data) {
    std::vector<PageDirEntry> records;
    try {
        records = DecodePageDirectory(data);
    } catch (const ContainerError&) {
        return;
    }
    const std::vector<uint8_t> again = EncodePageDirectory(records);
    FUZZ_CHECK(again.size() == data.size());
    FUZZ_CHECK(std::equal(again.begin(), again.end(), data.begin()));
}

void Settings(std::span<const uint8_t> data) {
    BookSettings settings;
    try {
        settings = DecodeSettings(data);
    } catch (const ContainerError&) {
        FUZZ_CHECK(data.size() < kBookSettingsSize);
        return;
    }
    const std::vector<uint8_t> again = EncodeSettings(settings);
    FUZZ_CHECK(again.size() == kBookSettingsSize);
    FUZZ_CHECK(std::equal(again.begin(), again.end(), data.begin()));
}

void Text(std::span<const uint8_t> data) {
    const std::string text = DecodeText(data);
    FUZZ_CHECK(text.size() <= data.size());
    FUZZ_CHECK(text.find('\0') == std::string::npos);
}

void Blob(std::span<const uint8_t> data) {
    std::vector<uint8_t> inflated;
    try {
        inflated = InflateBlob(data);
    } catch (const ContainerError&) {
        return;
    }
    FUZZ_CHECK(inflated.size() == BlobLength(data));
    FUZZ_CHECK(InflateBlob(MakeBlob(inflated)) == inflated);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> entry(data + 1, size - 1);
    switch (data[0] % 4) {
        case 0: PageDirectory(entry); break;
        case 1: Settings(entry); break;
        case 2: Text(entry); break;
        default: Blob(entry); break;
    }
    return 0;
}
