// folivexc: the command-line builder and inspector.
#include "cli/Commands.h"

int main(int argc, char** argv) {
    return folivex::cli::Run(folivex::cli::Args(argv + 1, argv + argc));
}
