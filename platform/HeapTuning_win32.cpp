#include "platform/HeapTuning.h"

namespace folivex {

// Large pages on Windows need a privilege that authors do not hold.
void TuneHeap(char** /*argv*/) {}

}  // namespace folivex
