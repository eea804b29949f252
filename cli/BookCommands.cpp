// folivexc build and make.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "builder/BuildEBook.h"
#include "builder/StubContract.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "cli/ProgressLine.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "platform/Ascii.h"
#include "platform/FileStamp.h"
#include "platform/FsPath.h"
#include "platform/HeapTuning.h"
#include "platform/Json.h"
#include "platform/Path.h"
#include "platform/PathResolver.h"
#include "platform/Utf8.h"
#include "project/BookApp.h"
#include "resources/ViewerStub.h"

namespace folivex::cli {

namespace {

// The stub to build with: the file given by --stub, else the one carried
// inside this program. Empty after a message when there is none.
std::vector<uint8_t> LoadStub(const std::string& stubFile) {
    std::vector<uint8_t> bytes;
    if (stubFile.empty()) {
        const auto embedded = EmbeddedViewerStub();
        bytes.assign(embedded.begin(), embedded.end());
        if (bytes.empty())
            Fail("This folivexc carries no viewer program; give one with --stub FILE.");
        return bytes;
    }
    try {
        CFile file(stubFile, CFile::modeRead);
        const uint64_t length = file.GetLength();
        if (length > kMaxViewerStubBytes) {
            Fail("The viewer program " + stubFile + " cannot be used: it is " +
                 std::to_string(length) + " bytes long; a viewer program has at most " +
                 std::to_string(kMaxViewerStubBytes) + ".");
            return {};
        }
        bytes.resize(static_cast<size_t>(length));
        if (file.Read(bytes.data(), bytes.size()) != bytes.size())
            throw CFileException(CFileException::endOfFile, stubFile);
    } catch (const CException& e) {
        Fail(FileErrorMessage("Cannot read the viewer program:", e));
        return {};
    }
    // The builder's requirements, checked before anything is written.
    const std::string problem = ViewerStubProblem(bytes);
    if (!problem.empty()) {
        Fail("The viewer program " + stubFile + " cannot be used: " + problem + ".");
        return {};
    }
    return bytes;
}

// How the build runs: --threads N (0: one per processor), --no-cache
// (read and compress every file even when the earlier book holds its blob)
// and --quiet (no progress line). None changes the e-book's bytes.
struct RunOptions {
    unsigned threads = 0;
    bool noCache = false;
    bool quiet = false;
};

// Takes args[i] when it is a run option (and its value); false otherwise.
// problem is set when the option is malformed.
bool TakeRunOption(const Args& args, size_t& i, RunOptions& run, std::string& problem) {
    const std::string& a = args[i];
    if (a == "--no-cache" || a == "--quiet") {
        (a == "--quiet" ? run.quiet : run.noCache) = true;
        return true;
    }
    if (a != "--threads") return false;
    if (i + 1 >= args.size()) {
        problem = "--threads needs a number";
        return true;
    }
    const std::string& value = args[++i];
    if (value.empty() || value.size() > 3 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        problem = "--threads needs a number from 0 to 999";
        return true;
    }
    run.threads = static_cast<unsigned>(std::stoul(value));
    return true;
}

// True when the two paths name one file (through links, or spelled
// otherwise where the system ignores case).
bool SameFile(const std::string& a, const std::string& b) {
    const auto first = StampOfFile(a);
    const auto second = StampOfFile(b);
    return first && second && first->volumeId == second->volumeId &&
           first->fileId == second->fileId;
}

// Whether the build may write output: never over the project file it reads,
// and over an existing file that is not an e-book only with --force. False
// after the message.
bool OutputAllowed(const std::string& output, const std::string& projectFile, bool force) {
    if (!projectFile.empty() && SameFile(output, projectFile)) {
        Fail("folivexc: " + output + " is the project file itself; give the e-book another name");
        return false;
    }
    if (force || !CFile::Exists(output) || EndsWithArchiveTrailer(output)) return true;
    Fail("folivexc: " + output + " exists and is not a Folivex e-book; give --force to replace it");
    return false;
}

// Builds app's project with the stub (LoadStub's); prints the outcome.
int Build(CBookApp& app, ConsolePrompts& prompts, std::vector<uint8_t> stub, const RunOptions& run,
          const LinkOptions& linkOptions, PathResolver* found = nullptr) {
    app.viewerStub = std::move(stub);
    app.buildThreads = run.threads;
    if (run.noCache) app.blobCacheFolder = std::string();
    std::vector<std::string> warnings;
    // On a terminal, a line shows how far the build has come; it is erased
    // before any message and at the end.
    ProgressLine line([](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    });
    BuildProgressFn progress;
    if (!run.quiet && ProgressLine::StderrIsTerminal())
        progress = [&line](const BuildProgress& p) { line.Show(p); };
    prompts.SetBeforeMessage([&line] { line.Clear(); });
    std::optional<LinkReport> links;
    if (!linkOptions.skip) links.emplace();
    const int built = BuildEBook(app, &warnings, progress, links ? &*links : nullptr, found);
    line.Clear();
    PrintWarnings(warnings);
    if (built) {
        std::printf("E-Book %s created successfully.\n", app.project.ebookFile.c_str());
        std::fflush(stdout);
        return ExitWithoutFreeing(
            links ? ReportLinks(links->Findings(linkOptions.external), linkOptions) : 0);
    }
    // The icon step fails without a message when the viewer program has no
    // icon of its own to replace; say so here.
    if (!prompts.ErrorShown())
        Fail("E-Book " + app.project.ebookFile +
             " was built, but its icon could not be replaced: the viewer program holds no 32x32 "
             "icon.");
    return 1;
}

}  // namespace

namespace {

// What build takes from its command line.
struct BuildOptions {
    std::string project, output, stub;
    RunOptions run;
    LinkOptions links;
    bool force = false;
};

// Reads build's command line; the usage problem, or empty.
std::string ParseBuild(const Args& args, BuildOptions& build) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string problem;
        if (TakeRunOption(args, i, build.run, problem) ||
            TakeLinkOption(args, i, build.links, problem)) {
            if (!problem.empty()) return problem;
        } else if (a == "--force") {
            build.force = true;
        } else if (a == "-o" || a == "--stub") {
            if (i + 1 >= args.size()) return a + " needs a file name";
            (a == "-o" ? build.output : build.stub) = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option for build: " + a;
        } else if (build.project.empty()) {
            build.project = a;
        } else {
            return "build takes one project file";
        }
    }
    return build.project.empty() ? "build needs a project file" : "";
}

}  // namespace

int CmdBuild(const Args& args) {
    BuildOptions build;
    if (const std::string problem = ParseBuild(args, build); !problem.empty())
        return Usage(problem);
    const std::string& project = build.project;

    ConsolePrompts prompts;
    CBookApp app(prompts);
    app.projectFile = project;
    if (!app.OpenProject()) return 1;
    app.projectOpen = 1;
    if (!build.output.empty()) app.project.ebookFile = build.output;
    if (app.project.ebookFile.empty())
        return Usage("the project names no e-book file; give one with -o BOOK.exe");
    if (!OutputAllowed(app.project.ebookFile, project, build.force)) return 1;
    std::vector<uint8_t> stub = LoadStub(build.stub);
    if (stub.empty()) return 1;
    return Build(app, prompts, std::move(stub), build.run, build.links);
}

namespace {

// What make takes from its command line. The start-up options begin as the
// settings record's defaults; the buttons are the project's unless given.
struct MakeOptions {
    std::string folder, output, stub, splash, icon, home;
    std::vector<std::pair<TextField, std::string>> texts;
    std::optional<std::array<int32_t, kToolbarButtonCount>> buttons;
    BookSettings start;
    RunOptions run;
    LinkOptions links;
    bool force = false;
};

// The buttons that list names ("home,prevnext,exit": the names of
// kToolbarButtonNames lower-cased, empty names skipped), all others off.
// Returns the first name that is no button's, or nothing.
std::optional<std::string> TakeButtons(const std::string& list,
                                       std::array<int32_t, kToolbarButtonCount>& buttons) {
    buttons.fill(0);
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        start = comma + 1;
        if (name.empty()) continue;
        const auto* it =
            std::find_if(kToolbarButtonNames.begin(), kToolbarButtonNames.end(),
                         [&](const char* button) { return ToLowerAscii(button) == name; });
        if (it == kToolbarButtonNames.end()) return name;
        buttons[static_cast<size_t>(it - kToolbarButtonNames.begin())] = 1;
    }
    return std::nullopt;
}

bool TakesValue(const std::string& option) {
    return option == "-o" || option == "--stub" || option == "--splash" || option == "--icon" ||
           option == "--home" || option == "--buttons" || TextOptions().count(option) != 0;
}

// Stores the value of one of make's options that take one (TakesValue);
// the usage problem, or empty.
std::string TakeValue(const std::string& option, const std::string& value, MakeOptions& make) {
    if (option == "-o") {
        make.output = value;
    } else if (option == "--stub") {
        make.stub = value;
    } else if (option == "--home") {
        make.home = value;
    } else if (option == "--splash") {
        make.splash = AbsolutePath(value);
    } else if (option == "--icon") {
        make.icon = AbsolutePath(value);
    } else if (option == "--buttons") {
        if (const auto unknown = TakeButtons(value, make.buttons.emplace()))
            return "unknown toolbar button: " + *unknown;
    } else {
        make.texts.emplace_back(TextOptions().at(option), value);
    }
    return {};
}

// Takes one of make's options without a value; false for any other argument.
bool TakeSwitch(const std::string& option, MakeOptions& make) {
    if (option == "--force")
        make.force = true;
    else if (option == "--about-at-start")
        make.start.showAboutAtStart = 1;
    else if (option == "--no-maximized")
        make.start.startMaximized = 0;
    else if (option == "--full-screen")
        make.start.startFullScreen = 1;
    else if (option == "--no-toolbar")
        make.start.showToolbar = 0;
    else
        return false;
    return true;
}

// Reads make's command line; the usage problem, or empty.
std::string ParseMake(const Args& args, MakeOptions& make) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string problem;
        if (TakeRunOption(args, i, make.run, problem) ||
            TakeLinkOption(args, i, make.links, problem) || TakeSwitch(a, make)) {
            if (!problem.empty()) return problem;
        } else if (TakesValue(a)) {
            if (i + 1 >= args.size()) return a + " needs a value";
            problem = TakeValue(a, args[++i], make);
            if (!problem.empty()) return problem;
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option for make: " + a;
        } else if (make.folder.empty()) {
            make.folder = a;
        } else {
            return "make takes one folder";
        }
    }
    if (make.folder.empty()) return "make needs a folder";
    if (make.output.empty()) return "make needs -o BOOK.exe";
    return {};
}

void ApplyMakeOptions(const MakeOptions& make, BookProject& project) {
    for (const auto& [member, value] : make.texts) project.*member = value;
    project.splashFile = make.splash;
    project.iconFile = make.icon;
    project.showAboutAtStart = make.start.showAboutAtStart;
    project.startMaximized = make.start.startMaximized;
    project.startFullScreen = make.start.startFullScreen;
    project.showToolbar = make.start.showToolbar;
    if (make.buttons) project.toolbarButtons = *make.buttons;
    project.ebookFile = make.output;
}

}  // namespace

int CmdMake(const Args& args) {
    MakeOptions make;
    if (const std::string problem = ParseMake(args, make); !problem.empty()) return Usage(problem);
    if (!OutputAllowed(make.output, std::string(), make.force)) return 1;
    // A viewer program that cannot be used is refused before the scan.
    std::vector<uint8_t> stub = LoadStub(make.stub);
    if (stub.empty()) return 1;

    ConsolePrompts prompts;
    CBookApp app(prompts);
    // A book made inside its own folder never takes itself in. The scan
    // tells the build where each file is, so the folders are listed once.
    const std::vector<std::string> written = FilesWrittenByBuild(make.output);
    PathResolver found(AbsolutePath(make.folder), {written.begin(), written.end()});
    if (!StartFolderProject(app, make.folder, written, &found)) return 1;
    if (app.project.pages.empty())
        return Fail("folivexc: the folder " + make.folder + " holds no files");
    if (!ChooseHomePage(app.project, make.home)) return 1;
    ApplyMakeOptions(make, app.project);
    return Build(app, prompts, std::move(stub), make.run, make.links, &found);
}

}  // namespace folivex::cli
