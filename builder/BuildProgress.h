// How far a build has come, for whoever shows it to the author.
//
// BuildEBook calls the callback on the thread that runs it (the GUI thread
// of the wizard, the main thread of the command line), never on a worker:
// once when the list of files is known, after each file has gone into the
// book, and now and then while it waits for a worker (so that a window can
// repaint during a long page). It must not throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace folivex {

struct BuildProgress {
    size_t filesDone = 0;    // included files (pages and splash) in the book so far
    size_t filesTotal = 0;   // included files in all
    uint64_t bytesDone = 0;  // their bytes on disk
};

using BuildProgressFn = std::function<void(const BuildProgress&)>;

}  // namespace folivex
