// ProgressLine: the one line that shows, on a terminal, how far a build has
// come: "folivexc: 1,204 of 7,884 files, 23.5 MB, 41.0 MB/s".
//
// The line is drawn over itself ("\r"), at most ten times a second and not
// before a tenth of a second has passed (a quick build shows nothing), and
// erased by Clear, so that what follows starts on a clean line. Where it
// goes and what time it is are given, so tests need no terminal and no
// waiting.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "builder/BuildProgress.h"

namespace folivex::cli {

class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sink = std::function<void(std::string_view)>;

    static constexpr std::chrono::milliseconds kInterval{100};

    // The start of the build is now, by clock.
    ProgressLine(Sink sink, Clock clock = std::chrono::steady_clock::now);

    // Draws progress, unless the last drawing (or the start) was less than
    // kInterval ago.
    void Show(const BuildProgress& progress);
    // Erases the line when one is drawn; later calls do nothing until Show
    // draws again.
    void Clear();

    // The text of the line for progress after elapsed.
    static std::string Text(const BuildProgress& progress, std::chrono::nanoseconds elapsed);
    // True when stderr is a terminal.
    static bool StderrIsTerminal();

private:
    Sink m_sink;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start, m_lastDrawn;
    size_t m_drawnWidth = 0;  // characters on the line now
};

}  // namespace folivex::cli
