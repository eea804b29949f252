#include "platform/FaultInjection.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace folivex {

namespace {
std::atomic<FaultPlan*> g_plan{nullptr};
// The build reads files on worker threads while its own thread writes the
// book: each call is counted whole under this lock.
std::mutex g_mutex;
}  // namespace

void InstallFaultPlan(FaultPlan* plan) {
    std::lock_guard lock(g_mutex);
    g_plan = plan;
}

void FaultCheckCall(const char* fileName) {
    if (g_plan.load(std::memory_order_acquire) == nullptr) return;
    std::lock_guard lock(g_mutex);
    FaultPlan* plan = g_plan;
    if (plan == nullptr) return;
    ++plan->calls;
    if (plan->calls == plan->failOnCall) {
        plan->fired = true;
        throw CFileException(plan->cause, fileName ? fileName : "");
    }
}

uint64_t FaultAllowedBytes(uint64_t count) {
    if (g_plan.load(std::memory_order_acquire) == nullptr) return count;
    std::lock_guard lock(g_mutex);
    FaultPlan* plan = g_plan;
    if (plan == nullptr) return count;
    const uint64_t room =
        plan->bytesWritten >= plan->failAfterBytes ? 0 : plan->failAfterBytes - plan->bytesWritten;
    const uint64_t allowed = std::min(count, room);
    plan->bytesWritten += allowed;
    return allowed;
}

void FaultThrowWrite(const char* fileName) {
    CFileException::Cause cause = CFileException::diskFull;
    {
        std::lock_guard lock(g_mutex);
        if (FaultPlan* plan = g_plan) {
            cause = plan->cause;
            plan->fired = true;
        }
    }
    throw CFileException(cause, fileName ? fileName : "");
}

}  // namespace folivex
