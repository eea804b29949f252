// UTF-8 output shown on a Windows console through WriteConsoleW.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/Console.h"
#include "platform/Utf8.h"
#include "platform/Wide.h"

namespace folivex {

// stdout and stderr, where they are the console, write into one pipe, so
// their order is kept; a thread reads it and writes to the console.
struct Utf8Console::Pump {
    HANDLE console = nullptr;
    HANDLE readEnd = nullptr;
    bool taken[2] = {false, false};  // descriptors 1 and 2 write into the pipe
    int saved[2] = {-1, -1};         // what they were before
    std::thread thread;
};

namespace {

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

void WriteToConsole(HANDLE console, std::string_view utf8) {
    const std::wstring wide = Widen(utf8);
    size_t at = 0;
    while (at < wide.size()) {
        const auto chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - at, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + at, chunk, &written, nullptr) || written == 0)
            return;
        at += written;
    }
}

// Runs until every write end of the pipe is closed. A character cut between
// two reads waits for its other bytes.
void PumpToConsole(HANDLE readEnd, HANDLE console) {
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        const std::string_view whole = TrimPartialUtf8(pending);
        WriteToConsole(console, whole);
        pending.erase(0, whole.size());
    }
    WriteToConsole(console, pending);
}

}  // namespace

Utf8Console::Utf8Console() {
    const HANDLE handles[2] = {GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    const bool console[2] = {IsConsole(handles[0]), IsConsole(handles[1])};
    if (!console[0] && !console[1]) return;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return;
    // Binary: the console takes "\n" as a line end, and nothing is added.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return;
    }
    auto pump = std::make_unique<Pump>();
    pump->console = console[0] ? handles[0] : handles[1];
    pump->readEnd = readEnd;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int k = 0; k < 2; ++k) {
        if (!console[k]) continue;
        pump->saved[k] = _dup(k + 1);
        pump->taken[k] = _dup2(fd, k + 1) == 0;
    }
    _close(fd);  // descriptors 1 and 2 hold copies of the write end
    pump->thread = std::thread(PumpToConsole, readEnd, pump->console);
    m_pump = std::move(pump);
}

Utf8Console::~Utf8Console() {
    if (!m_pump) return;
    std::fflush(stdout);
    std::fflush(stderr);
    // Giving descriptors 1 and 2 back closes the pipe's write ends, and the
    // pump shows what is left and ends.
    for (int k = 0; k < 2; ++k) {
        if (m_pump->saved[k] >= 0) {
            if (m_pump->taken[k]) _dup2(m_pump->saved[k], k + 1);
            _close(m_pump->saved[k]);
        } else if (m_pump->taken[k]) {
            _close(k + 1);
        }
    }
    m_pump->thread.join();
    CloseHandle(m_pump->readEnd);
}

}  // namespace folivex
