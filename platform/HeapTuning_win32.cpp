#include "platform/HeapTuning.h"

namespace folivex {

// Large pages on Windows need a privilege that authors do not hold.
void TuneHeap(char** /*argv*/) {}

// The console's code pages are put back as the program ends.
int ExitWithoutFreeing(int exitCode) {
    return exitCode;
}

}  // namespace folivex
