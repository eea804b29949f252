// Background work that must not slow what a person waits for: the calling
// thread gives way to every thread of normal priority. Threads it starts
// afterwards inherit that on POSIX; on Windows they are lowered as they
// start by calling this again.
#pragma once

namespace folivex {

// Lowers the calling thread's priority (nice 10 on POSIX, below normal on
// Windows). Failures are ignored: the work then runs at normal priority.
void LowerThisThreadPriority();

}  // namespace folivex
