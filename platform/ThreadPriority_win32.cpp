#include <windows.h>

#include "platform/ThreadPriority.h"

namespace folivex {

void LowerThisThreadPriority() {
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace folivex
