#include <unistd.h>

#include <cstdio>
#include <cstdlib>  // tells whether the C library is glibc; std::_Exit
#include <fstream>
#include <string>

#include "platform/HeapTuning.h"

#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#include <malloc.h>
#endif

// A sanitizer brings its own allocator, to which glibc's tunables mean
// nothing, and checks for leaks at exit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FOLIVEX_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define FOLIVEX_OWN_ALLOCATOR 1
#endif
#endif

namespace folivex {
namespace {

#if defined(__GLIBC__)
// The link report keeps what it finds in every page until the build ends,
// on every thread: heaps grown 16 MiB at a time spare the thousands of
// small system calls that growing a thread's heap page by page costs.
constexpr int kHeapPadding = 16 << 20;
#endif

#if defined(__GLIBC__) && defined(__linux__) && !defined(FOLIVEX_OWN_ALLOCATOR)
constexpr const char* kTunables = "GLIBC_TUNABLES";
// The request for huge pages, and the padding with it: set from main alone,
// the padding came after the heap's first growth, which then ended inside a
// 2 MiB block, so that the first megabytes of the heap were faulted in 4 KiB
// at a time (500 to 700 faults while a large folder was scanned).
std::string HugePageTunables() {
    return "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=" + std::to_string(kHeapPadding);
}
// Set while the program starts itself again, so that it does so once.
constexpr const char* kStartedAgain = "FOLIVEX_HEAP_TUNED";

// Whether the kernel backs memory with huge pages only where asked to.
bool HugePagesOnRequest() {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(setting, line) && line.find("[madvise]") != std::string::npos;
}

// Whether this glibc knows the tunable (2.35 and later).
bool GlibcKnowsHugePages() {
    int major = 0;
    int minor = 0;
    return std::sscanf(gnu_get_libc_version(), "%d.%d", &major, &minor) == 2 &&
           (major > 2 || (major == 2 && minor >= 35));
}

void StartAgainWithHugePages(char** argv) {
    // Tunables an expert has set are left as they are.
    if (std::getenv(kTunables) != nullptr || !HugePagesOnRequest() || !GlibcKnowsHugePages())
        return;
    if (::setenv(kTunables, HugePageTunables().c_str(), 1) != 0 ||
        ::setenv(kStartedAgain, "1", 1) != 0)
        return;
    ::execv("/proc/self/exe", argv);
    // Not started again: the program goes on as it is.
    ::unsetenv(kTunables);
    ::unsetenv(kStartedAgain);
}
#endif

}  // namespace

void TuneHeap(char** argv) {
#if defined(__GLIBC__)
    mallopt(M_TOP_PAD, kHeapPadding);
#endif
#if defined(__GLIBC__) && defined(__linux__) && !defined(FOLIVEX_OWN_ALLOCATOR)
    // Every 4 KiB page the heap touches for the first time costs a page
    // fault, 10 us and more on a virtual machine: for a large book that is
    // a sixth of the build and a quarter of folivexc check. One fault per
    // 2 MiB instead is worth the few milliseconds the restart costs.
    if (std::getenv(kStartedAgain) != nullptr) {
        ::unsetenv(kTunables);
        ::unsetenv(kStartedAgain);
        return;
    }
    StartAgainWithHugePages(argv);
#else
    (void)argv;
#endif
}

int ExitWithoutFreeing(int exitCode) {
#if defined(FOLIVEX_OWN_ALLOCATOR)
    return exitCode;
#else
    std::fflush(nullptr);
    std::_Exit(exitCode);
#endif
}

}  // namespace folivex
