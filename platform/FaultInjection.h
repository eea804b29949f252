// A test seam in the file layer: make the file operations fail on purpose.
//
// While a FaultPlan is installed, every CFile operation (open, read, write,
// seek, length, set length, flush, close, remove, rename) counts as one call,
// and every byte written counts toward bytesWritten. The operation that is
// call number failOnCall (counting from 1), or the write that would take the
// written total past failAfterBytes, throws CFileException with the given
// cause instead of doing its work (a write first writes the bytes that still
// fit). Calls from several threads are counted one at a time (the build
// reads files on worker threads); install and remove a plan while no file
// call runs, and read its counts after.
#pragma once

#include <cstdint>
#include <limits>

#include "platform/Exceptions.h"

namespace folivex {

struct FaultPlan {
    uint64_t failOnCall = 0;  // 0: never
    uint64_t failAfterBytes = std::numeric_limits<uint64_t>::max();
    CFileException::Cause cause = CFileException::diskFull;

    uint64_t calls = 0;         // counted so far
    uint64_t bytesWritten = 0;  // counted so far
    bool fired = false;
};

// Installs plan (nullptr removes it). The caller keeps ownership.
void InstallFaultPlan(FaultPlan* plan);

// Used by the file layer: counts one call and throws when the plan says so.
void FaultCheckCall(const char* fileName);
// Used by the file layer before a write of count bytes: returns how many of
// them may be written before the plan makes the write fail.
uint64_t FaultAllowedBytes(uint64_t count);
// Used by the file layer after it wrote the bytes FaultAllowedBytes allowed,
// when that was fewer than asked: throws the plan's cause naming fileName.
[[noreturn]] void FaultThrowWrite(const char* fileName);

// RAII installer for tests.
class ScopedFaultPlan {
public:
    explicit ScopedFaultPlan(FaultPlan& plan) { InstallFaultPlan(&plan); }
    ~ScopedFaultPlan() { InstallFaultPlan(nullptr); }
    ScopedFaultPlan(const ScopedFaultPlan&) = delete;
    ScopedFaultPlan& operator=(const ScopedFaultPlan&) = delete;
};

}  // namespace folivex
