#include "platform/FaultInjection.h"

#include <algorithm>

namespace folivex {

namespace {
FaultPlan* g_plan = nullptr;
}

void InstallFaultPlan(FaultPlan* plan) {
    g_plan = plan;
}

void FaultCheckCall(const char* fileName) {
    if (g_plan == nullptr) return;
    ++g_plan->calls;
    if (g_plan->calls == g_plan->failOnCall) {
        g_plan->fired = true;
        throw CFileException(g_plan->cause, fileName ? fileName : "");
    }
}

uint64_t FaultAllowedBytes(uint64_t count) {
    if (g_plan == nullptr) return count;
    const uint64_t room = g_plan->bytesWritten >= g_plan->failAfterBytes
                              ? 0
                              : g_plan->failAfterBytes - g_plan->bytesWritten;
    const uint64_t allowed = std::min(count, room);
    g_plan->bytesWritten += allowed;
    return allowed;
}

void FaultThrowWrite(const char* fileName) {
    const CFileException::Cause cause = g_plan ? g_plan->cause : CFileException::diskFull;
    if (g_plan) g_plan->fired = true;
    throw CFileException(cause, fileName ? fileName : "");
}

}  // namespace folivex
