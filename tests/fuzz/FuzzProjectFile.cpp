// Fuzz target: the project file reader (CBookApp::OpenProject).
//
// Any input must give success or a reported failure, never a crash. A file
// that opens must survive a save: saving it and opening the result gives the
// same project, and saving that again gives the same bytes.
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using namespace folivex;

bool SameProject(const BookProject& a, const BookProject& b) {
    if (a.pages.size() != b.pages.size()) return false;
    for (size_t i = 0; i < a.pages.size(); ++i) {
        const CPieceElem& x = *a.pages[i];
        const CPieceElem& y = *b.pages[i];
        if (x.path != y.path || x.inPageSequence != y.inPageSequence || x.inSearch != y.inSearch ||
            x.included != y.included)
            return false;
    }
    return a.title == b.title && a.author == b.author && a.copyright == b.copyright &&
           a.url == b.url && a.email == b.email && a.aboutInfo == b.aboutInfo &&
           a.splashFile == b.splashFile && a.iconFile == b.iconFile && a.ebookFile == b.ebookFile &&
           a.projectDir == b.projectDir && a.showAboutAtStart == b.showAboutAtStart &&
           a.startMaximized == b.startMaximized && a.startFullScreen == b.startFullScreen &&
           a.showToolbar == b.showToolbar && a.toolbarButtons == b.toolbarButtons;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace folivex::fuzz;
    static const std::string input = ScratchFile("input.ebp");
    static const std::string saved = ScratchFile("saved.ebp");
    WriteBytes(input, std::span<const uint8_t>(data, size));

    ScriptedPrompts prompts;
    CBookApp app(prompts);
    app.projectFile = input;
    const int opened = app.OpenProject();
    FUZZ_CHECK(opened ? prompts.messages.empty() : prompts.messages.size() == 1);
    if (!opened) return 0;

    app.projectOpen = 1;
    app.projectFile = saved;
    FUZZ_CHECK(app.SaveProject() == 1);
    const std::vector<uint8_t> first = ReadBytes(saved);

    CBookApp again(prompts);
    again.projectFile = saved;
    FUZZ_CHECK(again.OpenProject() == 1);
    FUZZ_CHECK(SameProject(app.project, again.project));
    again.projectOpen = 1;
    FUZZ_CHECK(again.SaveProject() == 1);
    FUZZ_CHECK(ReadBytes(saved) == first);
    return 0;
}
