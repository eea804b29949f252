// How the C library's heap is set up for a program that reads thousands of
// files and keeps what it finds in them.
#pragma once

namespace folivex {

// Call first thing in main, with main's argv. Where the heap can be backed
// by transparent huge pages only on request (Linux set to "madvise", glibc
// 2.35 or later), the program starts itself once more with that request
// made: glibc takes it only from the environment at start. The environment
// is as it was when main runs again, so programs started from it are not
// affected. Nothing happens elsewhere, or when the request cannot be made.
void TuneHeap(char** argv);

// Ends the program with exitCode once a command has done all it writes,
// without freeing what it holds, as compilers do: the system takes the
// whole heap back at once, where freeing the hundreds of thousands of
// pieces a large book's link report and indexes are made of, one by one,
// costs a twentieth of checking the book. C streams are flushed first.
// Returns exitCode, for the usual way out, where more than memory is given
// back at the end (Windows restores its console) or a leak check runs then
// (sanitizer builds).
int ExitWithoutFreeing(int exitCode);

}  // namespace folivex
