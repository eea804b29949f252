// folivexc new, rescan and info (for project files).
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "platform/Ascii.h"
#include "platform/DirEnum.h"
#include "platform/File.h"
#include "platform/FsPath.h"
#include "platform/Json.h"
#include "platform/Utf8.h"
#include "project/BookApp.h"
#include "project/Defaults.h"
#include "project/FolderScan.h"
#include "project/HomePage.h"

namespace folivex::cli {

namespace {

void PrintFlag(const char* name, int32_t value) {
    std::printf("%-20s %d\n", name, value);
}
void PrintText(const char* name, const std::string& value) {
    std::printf("%-20s %s\n", name, value.c_str());
}

// The project's texts and file names as info names them, in its order.
constexpr std::pair<const char*, TextField> kProjectTexts[] = {
    {"title", &BookProject::title},           {"author", &BookProject::author},
    {"copyright", &BookProject::copyright},   {"url", &BookProject::url},
    {"email", &BookProject::email},           {"aboutInfo", &BookProject::aboutInfo},
    {"splashFile", &BookProject::splashFile}, {"iconFile", &BookProject::iconFile},
    {"ebookFile", &BookProject::ebookFile},   {"projectDir", &BookProject::projectDir},
};

// The start-up options in the order of kStartOptionNames.
std::array<int32_t, kStartOptionNames.size()> StartOptions(const BookProject& p) {
    return {p.showAboutAtStart, p.startMaximized, p.startFullScreen, p.showToolbar};
}

void PrintProjectText(const BookProject& p) {
    for (const auto& [name, member] : kProjectTexts) PrintText(name, p.*member);
    const auto start = StartOptions(p);
    for (size_t i = 0; i < start.size(); ++i) PrintFlag(kStartOptionNames[i], start[i]);
    // The buttons as --buttons names them.
    std::printf("%-20s", "toolbarButtons");
    for (size_t i = 0; i < kToolbarButtonNames.size(); ++i)
        std::printf(" %s=%d", ToLowerAscii(kToolbarButtonNames[i]).c_str(), p.toolbarButtons[i]);
    std::printf("\n%-20s %zu\n", "pages", p.pages.size());
    std::printf("  #    seq search incl  path\n");
    size_t n = 0;
    for (const auto& e : p.pages)
        std::printf("  %-4zu %-3d %-6d %-4d  %s\n", ++n, e->inPageSequence, e->inSearch,
                    e->included, e->path.c_str());
}

void PrintProjectJson(const BookProject& p) {
    std::string out = "{";
    const auto text = [&](const char* key, const std::string& value) {
        out += "\n  \"";
        out += key;
        out += "\": " + json::String(ToUtf8(value)) + ",";
    };
    const auto flag = [&](const char* key, int32_t value) {
        out += "\n  \"";
        out += key;
        out += "\": " + std::to_string(value) + ",";
    };
    for (const auto& [name, member] : kProjectTexts) text(name, p.*member);
    const auto start = StartOptions(p);
    for (size_t i = 0; i < start.size(); ++i) flag(kStartOptionNames[i], start[i]);
    out += "\n  \"toolbarButtons\": [";
    for (size_t i = 0; i < p.toolbarButtons.size(); ++i)
        out += (i ? ", " : "") + std::to_string(p.toolbarButtons[i]);
    out += "],\n  \"pages\": [";
    for (size_t i = 0; i < p.pages.size(); ++i) {
        const CPieceElem& e = *p.pages[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"path\": " + json::String(ToUtf8(e.path)) +
               ", \"inPageSequence\": " + std::to_string(e.inPageSequence) +
               ", \"inSearch\": " + std::to_string(e.inSearch) +
               ", \"included\": " + std::to_string(e.included) + "}";
    }
    out += p.pages.empty() ? "]\n}\n" : "\n  ]\n}\n";
    std::fputs(out.c_str(), stdout);
}

}  // namespace

bool OpenProjectFile(CBookApp& app, const std::string& path) {
    app.projectFile = path;
    app.lastProjectFile = path;
    if (!app.OpenProject()) {
        app.projectFile.clear();
        app.projectOpen = 0;
        return false;
    }
    app.projectOpen = 1;
    return true;
}

std::string AbsolutePath(const std::string& path) {
    std::string s = path;
    try {
        std::error_code ec;
        const std::filesystem::path given = FsPath(path);
        const std::filesystem::path p = std::filesystem::absolute(given, ec);
        s = Utf8Path((ec ? given : p).lexically_normal());
    } catch (const std::filesystem::filesystem_error&) {
        // Not UTF-8 (Windows only): kept as given, and opening it says why.
    }
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    return s;
}

bool CheckFolderListable(const std::string& folder, const std::string& shownName) {
    if (IsFolder(folder) && !FolderListingError(folder)) return true;
    std::fprintf(stderr, "folivexc: cannot list the folder %s\n", shownName.c_str());
    return false;
}

const std::map<std::string, TextField>& TextOptions() {
    static const std::map<std::string, TextField> options = {
        {"--title", &BookProject::title},         {"--author", &BookProject::author},
        {"--copyright", &BookProject::copyright}, {"--url", &BookProject::url},
        {"--email", &BookProject::email},         {"--about", &BookProject::aboutInfo},
    };
    return options;
}

bool StartFolderProject(CBookApp& app, const std::string& folder,
                        const std::vector<std::string>& leaveOut, PathResolver* found) {
    const std::string projectDir = AbsolutePath(folder);
    if (!CheckFolderListable(projectDir, folder)) return false;
    // A fresh first run: the author details start as placeholders.
    app.project.author = kDefaultAuthor;
    app.project.copyright = DefaultCopyright();
    app.project.url = kDefaultUrl;
    app.project.email = kDefaultEmail;
    app.ResetProject();
    PrintWarnings(ScanProjectFolder(app, projectDir, {}, leaveOut, found).warnings);
    app.projectOpen = 1;
    return true;
}

namespace {

// home as a path within folder: given relative to the folder, or naming a
// file inside it from the current folder or absolutely.
std::string WithinFolder(const std::string& folder, const std::string& home,
                         const BookProject& project) {
    if (FindEntry(project, home)) return home;
    const std::string absolute = AbsolutePath(home);
    if (absolute.size() > folder.size() + 1 && absolute.starts_with(folder) &&
        (absolute[folder.size()] == '/' || absolute[folder.size()] == '\\'))
        return absolute.substr(folder.size() + 1);
    return home;
}

}  // namespace

bool ChooseHomePage(BookProject& project, const std::string& home) {
    std::optional<size_t> index;
    if (!home.empty()) {
        index = FindEntry(project, WithinFolder(project.projectDir, home, project));
        if (!index) {
            std::fprintf(stderr, "folivexc: %s is not a file of the folder %s\n", home.c_str(),
                         project.projectDir.c_str());
            return false;
        }
    } else {
        index = DefaultHomePage(project);
    }
    if (!index) return true;
    MakeHomePage(project, *index);
    std::string shown = project.pages.front()->path;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    std::printf("Home page: %s\n", shown.c_str());
    return true;
}

void PrintWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "folivexc: warning: %s\n", warning.c_str());
}

namespace {

// What new takes from its command line.
struct NewOptions {
    std::string folder, output, home;
    bool force = false;
    std::vector<std::pair<TextField, std::string>> texts;
};

// Reads new's command line; the usage problem, or empty.
std::string ParseNew(const Args& args, NewOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--force") {
            options.force = true;
        } else if (a == "-o" || a == "--home") {
            if (!hasValue) return a + (a == "-o" ? " needs a file name" : " needs a page");
            (a == "-o" ? options.output : options.home) = args[++i];
        } else if (auto it = TextOptions().find(a); it != TextOptions().end()) {
            if (!hasValue) return a + " needs a value";
            options.texts.emplace_back(it->second, args[++i]);
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option for new: " + a;
        } else if (options.folder.empty()) {
            options.folder = a;
        } else {
            return "new takes one folder";
        }
    }
    if (options.folder.empty()) return "new needs a folder";
    if (options.output.empty()) return "new needs -o PROJECT.ebp";
    return {};
}

}  // namespace

int CmdNew(const Args& args) {
    NewOptions options;
    if (const std::string problem = ParseNew(args, options); !problem.empty())
        return Usage(problem);
    const std::string& output = options.output;
    // A project file there holds the author's order and choices.
    if (!options.force && CFile::Exists(output)) {
        std::fprintf(stderr, "folivexc: %s already exists; give --force to replace it\n",
                     output.c_str());
        return 1;
    }

    ConsolePrompts prompts;
    CBookApp app(prompts);
    if (!StartFolderProject(app, options.folder)) return 1;
    if (!ChooseHomePage(app.project, options.home)) return 1;
    for (const auto& [member, value] : options.texts) app.project.*member = value;

    app.projectFile = output;
    app.lastProjectFile = output;
    return app.SaveProject() ? 0 : 1;
}

int CmdRescan(const Args& args) {
    if (args.empty() || args.size() > 2) return Usage("rescan takes PROJECT.ebp [FOLDER]");
    ConsolePrompts prompts;
    CBookApp app(prompts);
    if (!OpenProjectFile(app, args[0])) return 1;

    const std::string folder = args.size() == 2 ? AbsolutePath(args[1]) : app.project.projectDir;
    if (folder.empty()) return Usage("the project names no folder; give one");
    // A folder that cannot be listed would drop every entry with its
    // attributes; refuse instead of saving that.
    if (!CheckFolderListable(folder, folder)) return 1;
    PrintWarnings(ScanProjectFolder(app, folder).warnings);
    return app.SaveProject() ? 0 : 1;
}

int CmdProjectInfo(const std::string& path, bool json) {
    ConsolePrompts prompts;
    CBookApp app(prompts);
    if (!OpenProjectFile(app, path)) return 1;
    if (json)
        PrintProjectJson(app.project);
    else
        PrintProjectText(app.project);
    return 0;
}

}  // namespace folivex::cli
