// Stamps on Windows: the handle's file information and its change time
// (FILE_BASIC_INFO), which, unlike the last write time, no program sets back
// when it restores a file.
#include <windows.h>

#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

// FILETIME counts 100 ns from 1601; stamps count ns from 1970.
constexpr int64_t kEpochDifference100ns = 116444736000000000LL;

int64_t Nanoseconds(int64_t ticks100ns) {
    return (ticks100ns - kEpochDifference100ns) * 100;
}

int64_t Ticks(const FILETIME& t) {
    return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
}

}  // namespace

std::optional<FileStamp> StampOfFile(const std::string& path) {
    HANDLE h = CreateFileW(WidePath(NativePath(path)).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    const bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                    !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    FileStamp stamp;
    stamp.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.modifiedNs = Nanoseconds(Ticks(info.ftLastWriteTime));
    stamp.changedNs = Nanoseconds(basic.ChangeTime.QuadPart);
    stamp.fileId = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.volumeId = info.dwVolumeSerialNumber;
    return stamp;
}

int64_t StampClockNowNs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Nanoseconds(Ticks(now));
}

}  // namespace folivex
