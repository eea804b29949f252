// Fuzz target: the icon step of the build (ReplaceIcon) on an icon
// file and an output file, and the viewer's reading of an executable's icon
// (IcoFromPeImage). The input is split in two (FuzzSupport.h): the .ico file,
// then the executable.
//
// Whatever the two files hold: no crash, and the output keeps its length;
// when the step fails, the output is unchanged; when it succeeds, only the
// bytes of one image changed, taken from the icon file.
#include <algorithm>

#include "builder/BuildEBook.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/fuzz/FuzzSupport.h"
#include "viewer/PeIcon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace folivex;
    using namespace folivex::fuzz;
    static const std::string icoPath = ScratchFile("icon.ico");
    static const std::string exePath = ScratchFile("book.exe");

    const TwoParts parts = SplitInput(data, size);
    WriteBytes(icoPath, parts.first);
    WriteBytes(exePath, parts.second);

    ScriptedPrompts prompts;
    CBookApp app(prompts);
    app.project.iconFile = icoPath;
    app.project.ebookFile = exePath;
    const int replaced = ReplaceIcon(app);

    const std::vector<uint8_t> after = ReadBytes(exePath);
    FUZZ_CHECK(after.size() == parts.second.size());
    // The changed bytes lie in one run no longer than the icon file.
    size_t first = after.size(), last = 0;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != parts.second[i]) {
            first = std::min(first, i);
            last = i;
        }
    if (!replaced) FUZZ_CHECK(first == after.size());
    if (first < after.size()) FUZZ_CHECK(last - first < parts.first.size());
    FUZZ_CHECK(prompts.messages.size() <= 1);

    if (auto ico = IcoFromPeImage(parts.second)) FUZZ_CHECK(ico->size() >= 6);
    return 0;
}
