// FileStamp: what the file system says about a file without reading it.
//
// Two stamps of the same path that are equal mean, as far as the system can
// tell, that the bytes did not change in between: a write moves the change
// time (which no program can set back), the size or the file's identity. A
// rebuild uses this to skip reading files it has seen before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace folivex {

struct FileStamp {
    uint64_t size = 0;
    int64_t modifiedNs = 0;  // last write, nanoseconds since 1970
    int64_t changedNs = 0;   // last change of bytes or attributes, same clock
    uint64_t fileId = 0;     // inode, or the file index on Windows
    uint64_t volumeId = 0;   // device, or the volume serial number

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at path (stored form, as CFile takes it);
// nothing for a missing file, a folder or a device. Never throws and does
// not go through the file layer's fault seam: a stamp is only a hint.
std::optional<FileStamp> StampOfFile(const std::string& path);

// Now, on the clock of the stamps.
int64_t StampClockNowNs();

}  // namespace folivex
