// Placeholder until the MinGW stub build lands: no stub.
#include "resources/ViewerStub.h"

namespace folivex {

std::span<const uint8_t> EmbeddedViewerStub() { return {}; }

}  // namespace folivex
