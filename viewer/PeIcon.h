// Reading an executable's icon back out of its PE resources, as an .ico file.
//
// The viewer shows the book's icon in the browser; the icon lives in the
// resource table of the stub at the start of the book file (the author's own
// when the builder put one in). Icon group 128 is the one the builder writes
// into; when an image lacks it, the first icon group is taken.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace folivex {

// The icon group's images as an .ico file (entries in group order). image is
// the start of the executable file, at least up to the end of its ".rsrc"
// section. Returns nothing when image is not a PE file (PE32 or PE32+), has
// no resource section, no icon group, or no image of the group can be found;
// every offset and count is checked against the bytes given, so malformed
// input gives nothing, never a read outside image.
std::optional<std::vector<uint8_t>> IcoFromPeImage(std::span<const uint8_t> image);

}  // namespace folivex
