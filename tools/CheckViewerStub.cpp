// check_viewer_stub STUB i386|x86-64: the build's check of a viewer stub it
// made, by the builder's own rules (builder/StubContract.h), before anything
// carries or ships it. Exits 1 with the reason when STUB fails them or is
// made for another machine; warns when the i386 stub, of which every e-book
// carries a copy, nears its size budget.
#include <cstdio>
#include <string>
#include <vector>

#include "builder/StubContract.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

namespace {

// Every e-book carries the i386 stub: it stays well under 512 KiB (the stub
// tests fail above that; the build only warns, so it is never blocked).
constexpr size_t kWarnAbove = 480 * 1024;

}  // namespace

int main(int argc, char** argv) {
    using namespace folivex;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() != 2 || (args[1] != "i386" && args[1] != "x86-64")) {
        std::fputs("usage: check_viewer_stub STUB i386|x86-64\n", stderr);
        return 2;
    }
    const std::string& path = args[0];
    std::vector<uint8_t> stub;
    try {
        CFile file(path, CFile::modeRead);
        stub.resize(static_cast<size_t>(file.GetLength()));
        if (file.Read(stub.data(), stub.size()) != stub.size())
            throw CFileException(CFileException::endOfFile, path);
    } catch (const CException& e) {
        std::fprintf(stderr, "%s\n", e.Description().c_str());
        return 1;
    }
    uint16_t machine = 0;
    const std::string problem = ViewerStubProblem(stub, &machine);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s cannot be used as a viewer program: %s.\n", path.c_str(),
                     problem.c_str());
        return 1;
    }
    const uint16_t wanted = args[1] == "i386" ? 0x014C : 0x8664;
    if (machine != wanted) {
        std::fprintf(stderr, "%s is made for machine 0x%X, not %s.\n", path.c_str(), machine,
                     args[1].c_str());
        return 1;
    }
    if (machine == 0x014C && stub.size() > kWarnAbove)
        std::fprintf(stderr, "warning: %s is %zu bytes, close to or over the 512 KiB budget\n",
                     path.c_str(), stub.size());
    std::printf("viewer stub %s: %zu bytes, %s\n", path.c_str(), stub.size(), args[1].c_str());
    return 0;
}
