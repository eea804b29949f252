// folivexc: the command-line builder and inspector.
#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/HeapTuning.h"

int main(int argc, char** argv) {
    folivex::TuneHeap(argv);
    // Arguments and output are UTF-8 inside; on Windows they are taken from
    // and given to the console in its wide form.
    const folivex::Utf8Console console;
    return folivex::cli::Run(folivex::CommandLineArgs(argc, argv));
}
