#include "cli/ProgressLine.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace folivex::cli {

namespace {

// 7884 -> "7,884".
std::string Grouped(uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(Sink sink, Clock clock)
    : m_sink(std::move(sink)),
      m_clock(std::move(clock)),
      m_start(m_clock()),
      m_lastDrawn(m_start) {}

std::string ProgressLine::Text(const BuildProgress& progress, std::chrono::nanoseconds elapsed) {
    std::string text = "folivexc: " + Grouped(progress.filesDone) + " of " +
                       Grouped(progress.filesTotal) + " files, " +
                       Megabytes(static_cast<double>(progress.bytesDone));
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (seconds > 0)
        text += ", " + Megabytes(static_cast<double>(progress.bytesDone) / seconds) + "/s";
    return text;
}

void ProgressLine::Show(const BuildProgress& progress) {
    const auto now = m_clock();
    if (now - m_lastDrawn < kInterval) return;
    m_lastDrawn = now;
    const std::string text = Text(progress, now - m_start);
    // Blanks cover what a longer line before left.
    std::string line = "\r" + text;
    if (text.size() < m_drawnWidth) line.append(m_drawnWidth - text.size(), ' ');
    m_drawnWidth = text.size();
    m_sink(line);
}

void ProgressLine::Clear() {
    if (m_drawnWidth == 0) return;
    m_sink("\r" + std::string(m_drawnWidth, ' ') + "\r");
    m_drawnWidth = 0;
}

bool ProgressLine::StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace folivex::cli
