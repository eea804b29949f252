// The entries of an e-book's archive: which (type, id) holds what, and the
// byte layouts of the compressed blob, the page directory, the settings
// record, the texts and the book marker. Encoding is used by the build;
// decoding by the viewer and the inspector. Decoding treats its input as
// untrusted: every length is checked, and a blob never inflates past its
// stated length.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace folivex {

constexpr int kTypePages = 349;
constexpr int kTypeBook = 350;
constexpr int kIdPageDirectory = 2;
constexpr int kIdSettings = 3;
constexpr int kIdTitle = 6;
constexpr int kIdAuthor = 7;
constexpr int kIdCopyright = 8;
constexpr int kIdUrl = 9;
constexpr int kIdEmail = 10;
constexpr int kIdAboutInfo = 12;
constexpr int kIdMarker = 14;
constexpr int kIdSplash = 15;

// "EBOOK" and a NUL.
inline constexpr std::array<uint8_t, 6> kBookMarker{0x45, 0x42, 0x4F, 0x4F, 0x4B, 0x00};

// Raised by the decoders for data that does not follow the layout.
class ContainerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The most data a blob holds: its length is an int32.
constexpr uint64_t kMaxBlobData = 0x7FFFFFFF;

// Compressed blob: int32 uncompressed length, then a zlib stream made by
// compress() at the default level. The first capacity is n * 1001 / 1000 + 16
// (64-bit arithmetic); a buffer error doubles it and tries again. Any other
// zlib failure throws ContainerError.
// Data longer than 0x7FFFFFFF bytes (the largest int32) throws ContainerError.
std::vector<uint8_t> MakeBlob(std::span<const uint8_t> data);
// MakeBlob with the first output capacity given, so that tests can drive the
// buffer-error retry; MakeBlob passes n * 1001 / 1000 + 16.
std::vector<uint8_t> MakeBlobWithCapacity(std::span<const uint8_t> data, uint64_t firstCapacity);
// The stated uncompressed length of a blob (ContainerError when shorter
// than 4 bytes or negative).
uint32_t BlobLength(std::span<const uint8_t> blob);
// Inflates a blob into exactly its stated length; ContainerError when the
// stream is corrupt, ends early, holds more or less than stated or is
// followed by stray bytes. A stated length beyond what deflate could expand
// the stream to (1032 to 1) is refused before anything is allocated.
std::vector<uint8_t> InflateBlob(std::span<const uint8_t> blob);

struct PageDirEntry {
    std::string path;  // "/" separators, as stored
    int32_t id = 0;
    int32_t inPageSequence = 0;
    int32_t inSearch = 0;
};

std::vector<uint8_t> EncodePageDirectory(const std::vector<PageDirEntry>& records);
std::vector<PageDirEntry> DecodePageDirectory(std::span<const uint8_t> data);

// Toolbar buttons, in the order of the settings record.
enum ToolbarButton : int {
    kButtonHome = 0,
    kButtonPrevNext,
    kButtonHistory,
    kButtonCopy,
    kButtonSearch,
    kButtonFullScreen,
    kButtonFontSize,
    kButtonPrint,
    kButtonAbout,
    kButtonExit,
    kToolbarButtonCount
};

// The 14 int32 flags of the settings record, in record order. The values
// here are a new project's and the viewer's for a book without the record.
struct BookSettings {
    int32_t showAboutAtStart = 0;
    int32_t startMaximized = 1;
    int32_t startFullScreen = 0;
    int32_t showToolbar = 1;
    std::array<int32_t, kToolbarButtonCount> toolbarButtons{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};
inline constexpr BookSettings kDefaultSettings{};
constexpr size_t kBookSettingsSize = 14 * 4;

// The flags' names, as the viewer's book description and folivexc info
// spell them: the four start-up options, then the buttons (which folivexc's
// --buttons takes lower-cased).
inline constexpr std::array<const char*, 4> kStartOptionNames{"showAboutAtStart", "startMaximized",
                                                              "startFullScreen", "showToolbar"};
inline constexpr std::array<const char*, kToolbarButtonCount> kToolbarButtonNames{
    "home",       "prevNext", "history", "copy",  "search",
    "fullScreen", "fontSize", "print",   "about", "exit"};

std::vector<uint8_t> EncodeSettings(const BookSettings& settings);
// Needs at least 56 bytes; extra bytes are ignored.
BookSettings DecodeSettings(std::span<const uint8_t> data);

// A text entry: the characters and one NUL. Decoding stops at the first NUL;
// a text without one is taken whole.
std::vector<uint8_t> EncodeText(std::string_view text);
std::string DecodeText(std::span<const uint8_t> data);

}  // namespace folivex
