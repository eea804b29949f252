// folivexc: the command-line builder and inspector.
#include <cstdlib>  // tells whether the C library is glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/Commands.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The link report keeps what it finds in every page until the build
    // ends, on every thread: heaps grown 16 MiB at a time spare the
    // thousands of small system calls that growing a thread's heap page by
    // page costs (a tenth of folivexc check on a large book).
    mallopt(M_TOP_PAD, 16 << 20);
#endif
    // Arguments and output are UTF-8 inside; on Windows they are taken from
    // and given to the console in its wide form.
    const folivex::Utf8Console console;
    return folivex::cli::Run(folivex::CommandLineArgs(argc, argv));
}
