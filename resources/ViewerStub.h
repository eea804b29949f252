// The Windows viewer stub that the programs carry as data and write at the
// start of every e-book.
#pragma once

#include <cstdint>
#include <span>

namespace folivex {

// The PE32 (i686) stub image, linked in from the MinGW build of viewer/.
std::span<const uint8_t> EmbeddedViewerStub();

}  // namespace folivex
