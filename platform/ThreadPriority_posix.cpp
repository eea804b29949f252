#include <sys/resource.h>
#include <unistd.h>

#include "platform/ThreadPriority.h"

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace folivex {

void LowerThisThreadPriority() {
#ifdef __linux__
    // On Linux the nice value belongs to each thread, named by its id.
    const auto self = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, self, 10);
#endif
}

}  // namespace folivex
