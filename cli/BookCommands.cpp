// folivexc build, make, info (for e-books), extract and verify.
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
#include <vector>

#include "builder/BuildEBook.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "cli/JsonText.h"
#include "cli/ProgressLine.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "platform/FileStamp.h"
#include "project/BookApp.h"
#include "resources/ViewerStub.h"

namespace folivex::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kButtonNames[kToolbarButtonCount] = {
    "home",       "prevnext", "history", "copy",  "search",
    "fullscreen", "fontsize", "print",   "about", "exit"};
constexpr const char* kSettingNames[14] = {"showAboutAtStart",
                                           "startMaximized",
                                           "startFullScreen",
                                           "showToolbar",
                                           "home",
                                           "prevNext",
                                           "history",
                                           "copy",
                                           "search",
                                           "fullScreen",
                                           "fontSize",
                                           "print",
                                           "about",
                                           "exit"};
struct TextId {
    const char* name;
    int id;
};
constexpr TextId kTexts[] = {{"title", kIdTitle},         {"author", kIdAuthor},
                             {"copyright", kIdCopyright}, {"url", kIdUrl},
                             {"email", kIdEmail},         {"aboutInfo", kIdAboutInfo}};

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

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
        bytes.resize(static_cast<size_t>(file.GetLength()));
        if (file.Read(bytes.data(), bytes.size()) != bytes.size())
            throw CFileException(CFileException::endOfFile, stubFile);
    } catch (const CException& e) {
        Fail(FileErrorMessage("Cannot read the viewer program:", e));
        return {};
    }
    if (bytes.empty()) Fail("The viewer program " + stubFile + " is empty.");
    // An archive trailer at its end would make the build load that archive
    // instead of starting a new one.
    if (EndsWithArchiveTrailer(bytes)) {
        Fail("The viewer program " + stubFile +
             " already ends in an e-book archive; give the bare program.");
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

// Builds app's project with the stub; prints the outcome.
int Build(CBookApp& app, ConsolePrompts& prompts, const std::string& stubFile,
          const RunOptions& run) {
    const std::vector<uint8_t> stub = LoadStub(stubFile);
    if (stub.empty()) return 1;
    app.viewerStub = stub;
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
    const int built = BuildEBook(app, &warnings, progress);
    line.Clear();
    PrintWarnings(warnings);
    if (built) {
        std::printf("E-Book %s created successfully.\n", app.project.ebookFile.c_str());
        return 0;
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

int CmdBuild(const Args& args) {
    std::string project, output, stub;
    RunOptions run;
    bool force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string problem;
        if (TakeRunOption(args, i, run, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (a == "--force") {
            force = true;
        } else if (a == "-o" || a == "--stub") {
            if (i + 1 >= args.size()) return Usage(a + " needs a file name");
            (a == "-o" ? output : stub) = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option for build: " + a);
        } else if (project.empty()) {
            project = a;
        } else {
            return Usage("build takes one project file");
        }
    }
    if (project.empty()) return Usage("build needs a project file");

    ConsolePrompts prompts;
    CBookApp app(prompts);
    app.projectFile = project;
    if (!app.OpenProject()) return 1;
    app.projectOpen = 1;
    if (!output.empty()) app.project.ebookFile = output;
    if (app.project.ebookFile.empty())
        return Usage("the project names no e-book file; give one with -o BOOK.exe");
    if (!OutputAllowed(app.project.ebookFile, project, force)) return 1;
    return Build(app, prompts, stub, run);
}

int CmdMake(const Args& args) {
    std::string folder, output, stub, splash, icon;
    std::vector<std::pair<TextField, std::string>> texts;
    std::optional<std::array<int32_t, kToolbarButtonCount>> buttons;
    int32_t aboutAtStart = 0, maximized = 1, fullScreen = 0, toolbar = 1;
    RunOptions run;
    bool force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string problem;
        if (TakeRunOption(args, i, run, problem)) {
            if (!problem.empty()) return Usage(problem);
        } else if (a == "--force") {
            force = true;
        } else if (a == "-o" || a == "--stub" || a == "--splash" || a == "--icon" ||
                   a == "--buttons" || TextOptions().count(a)) {
            if (!hasValue) return Usage(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "-o")
                output = value;
            else if (a == "--stub")
                stub = value;
            else if (a == "--splash")
                splash = AbsolutePath(value);
            else if (a == "--icon")
                icon = AbsolutePath(value);
            else if (a == "--buttons") {
                buttons.emplace();
                buttons->fill(0);
                size_t start = 0;
                while (start <= value.size()) {
                    const size_t comma = std::min(value.find(',', start), value.size());
                    const std::string name = value.substr(start, comma - start);
                    start = comma + 1;
                    if (name.empty()) continue;
                    const auto* it =
                        std::find(std::begin(kButtonNames), std::end(kButtonNames), name);
                    if (it == std::end(kButtonNames))
                        return Usage("unknown toolbar button: " + name);
                    (*buttons)[static_cast<size_t>(it - std::begin(kButtonNames))] = 1;
                }
            } else {
                texts.emplace_back(TextOptions().at(a), value);
            }
        } else if (a == "--about-at-start") {
            aboutAtStart = 1;
        } else if (a == "--no-maximized") {
            maximized = 0;
        } else if (a == "--full-screen") {
            fullScreen = 1;
        } else if (a == "--no-toolbar") {
            toolbar = 0;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option for make: " + a);
        } else if (folder.empty()) {
            folder = a;
        } else {
            return Usage("make takes one folder");
        }
    }
    if (folder.empty()) return Usage("make needs a folder");
    if (output.empty()) return Usage("make needs -o BOOK.exe");
    if (!OutputAllowed(output, std::string(), force)) return 1;

    ConsolePrompts prompts;
    CBookApp app(prompts);
    // A book made inside its own folder never takes itself in.
    if (!StartFolderProject(app, folder, FilesWrittenByBuild(output))) return 1;
    if (app.project.pages.empty())
        return Fail("folivexc: the folder " + folder + " holds no files");

    for (const auto& [member, value] : texts) app.project.*member = value;
    app.project.splashFile = splash;
    app.project.iconFile = icon;
    app.project.showAboutAtStart = aboutAtStart;
    app.project.startMaximized = maximized;
    app.project.startFullScreen = fullScreen;
    app.project.showToolbar = toolbar;
    if (buttons) app.project.toolbarButtons = *buttons;
    app.project.ebookFile = output;
    return Build(app, prompts, stub, run);
}

// ---- reading a built book ----

namespace {

// An e-book opened for inspection: the index and the small records.
struct OpenBook {
    CFile file;
    ArchiveIndex index;

    std::vector<uint8_t> Data(const IndexedEntry& e) {
        std::vector<uint8_t> out;
        ArchiveIndex::ReadData(file, e, out);
        return out;
    }
    std::optional<std::vector<uint8_t>> Data(int type, int id) {
        const IndexedEntry* e = index.Find(type, id);
        if (!e) return std::nullopt;
        return Data(*e);
    }
    // The stated uncompressed length of a blob entry, reading only its head.
    std::optional<uint32_t> BlobSize(int type, int id) {
        const IndexedEntry* e = index.Find(type, id);
        if (!e || e->length < 4) return std::nullopt;
        IndexedEntry head = *e;
        head.length = 4;
        return BlobLength(Data(head));
    }
};

// Opens path and its archive; nothing after a message on stderr.
std::unique_ptr<OpenBook> Open(const std::string& path) {
    try {
        auto book = std::make_unique<OpenBook>();
        book->file.Open(path, CFile::modeRead);
        auto index = ArchiveIndex::Load(book->file);
        if (!index) {
            Fail(path + " holds no e-book archive.");
            return nullptr;
        }
        book->index = std::move(*index);
        return book;
    } catch (const CException& e) {
        Fail("Cannot read " + path + ":\n" + e.Description());
        return nullptr;
    }
}

std::string Text(OpenBook& book, int id) {
    const auto data = book.Data(kTypeBook, id);
    return data ? DecodeText(*data) : std::string();
}

std::string SizeOrNull(const std::optional<uint32_t>& n) {
    return n ? std::to_string(*n) : "null";
}

std::vector<int32_t> SettingsFlags(const BookSettings& s) {
    std::vector<int32_t> flags = {s.showAboutAtStart, s.startMaximized, s.startFullScreen,
                                  s.showToolbar};
    flags.insert(flags.end(), s.toolbarButtons.begin(), s.toolbarButtons.end());
    return flags;
}

// Safe relative path for extraction: "/"-separated components, none empty,
// "." or "..", no drive letter, no backslash, not absolute.
bool IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string::npos ||
        path.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = slash + 1;
    }
    return true;
}

// True when some folder between root and target (exclusive) is a symbolic
// link, which could lead the write out of root.
bool PassesThroughLink(const fs::path& root, const std::string& relative) {
    fs::path at = root;
    const fs::path rel(relative);
    for (auto it = rel.begin(); it != rel.end(); ++it) {
        at /= *it;
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(at, ec))) return true;
    }
    return false;
}

}  // namespace

int CmdBookInfo(const std::string& path, bool json) {
    auto book = Open(path);
    if (!book) return 1;
    try {
        std::vector<PageDirEntry> pages;
        if (const auto dir = book->Data(kTypeBook, kIdPageDirectory))
            pages = DecodePageDirectory(*dir);
        const auto settingsData = book->Data(kTypeBook, kIdSettings);
        const std::optional<BookSettings> settings =
            settingsData ? std::optional(DecodeSettings(*settingsData)) : std::nullopt;
        const auto marker = book->Data(kTypeBook, kIdMarker);
        const bool markerOk = marker && std::equal(marker->begin(), marker->end(),
                                                   kBookMarker.begin(), kBookMarker.end());
        const auto splash = book->BlobSize(kTypeBook, kIdSplash);

        std::string out;
        if (json) {
            out = "{\n  \"base\": " + std::to_string(book->index.Base()) + ",\n  \"entries\": [";
            bool first = true;
            for (const auto& e : book->index.Entries()) {
                out += std::string(first ? "\n    " : ",\n    ") +
                       "{\"type\": " + std::to_string(e.type) +
                       ", \"id\": " + std::to_string(e.id) +
                       ", \"size\": " + std::to_string(e.length) + "}";
                first = false;
            }
            out += "\n  ],\n  \"pages\": [";
            first = true;
            for (const auto& p : pages) {
                out += std::string(first ? "\n    " : ",\n    ") +
                       "{\"path\": " + JsonString(p.path) + ", \"id\": " + std::to_string(p.id) +
                       ", \"inPageSequence\": " + std::to_string(p.inPageSequence) +
                       ", \"inSearch\": " + std::to_string(p.inSearch) +
                       ", \"size\": " + SizeOrNull(book->BlobSize(kTypePages, p.id)) + "}";
                first = false;
            }
            out += "\n  ],\n  \"settings\": ";
            if (settings) {
                const auto flags = SettingsFlags(*settings);
                out += "{";
                for (size_t i = 0; i < flags.size(); ++i)
                    out += std::string(i ? ", " : "") + "\"" + kSettingNames[i] +
                           "\": " + std::to_string(flags[i]);
                out += "}";
            } else {
                out += "null";
            }
            out += ",\n  \"texts\": {";
            for (size_t i = 0; i < std::size(kTexts); ++i)
                out += std::string(i ? ", " : "") + "\"" + kTexts[i].name +
                       "\": " + JsonString(Text(*book, kTexts[i].id));
            out += "},\n  \"splashSize\": " + SizeOrNull(splash) +
                   ",\n  \"marker\": " + (markerOk ? "true" : "false") + "\n}\n";
        } else {
            out = "archive at offset " + std::to_string(book->index.Base()) + "\nentries:\n";
            for (const auto& e : book->index.Entries())
                out += "  type " + std::to_string(e.type) + " id " + std::to_string(e.id) +
                       " size " + std::to_string(e.length) + "\n";
            out += "pages: " + std::to_string(pages.size()) +
                   "\n  id    seq search size        path\n";
            for (const auto& p : pages) {
                char line[80];
                std::snprintf(line, sizeof line, "  %-5d %-3d %-6d %-11s ", p.id, p.inPageSequence,
                              p.inSearch, SizeOrNull(book->BlobSize(kTypePages, p.id)).c_str());
                out += line + p.path + "\n";
            }
            if (settings) {
                const auto flags = SettingsFlags(*settings);
                out += "settings:";
                for (size_t i = 0; i < flags.size(); ++i)
                    out += std::string(" ") + kSettingNames[i] + "=" + std::to_string(flags[i]);
                out += "\n";
            } else {
                out += "settings: none\n";
            }
            for (const auto& t : kTexts)
                out += std::string(t.name) + ": " + Text(*book, t.id) + "\n";
            out +=
                "splash: " + (splash ? std::to_string(*splash) + " bytes" : std::string("none")) +
                "\n";
            out += std::string("marker: ") + (markerOk ? "present" : "missing or wrong") + "\n";
        }
        std::fputs(out.c_str(), stdout);
        return 0;
    } catch (const CException& e) {
        return Fail("Cannot read " + path + ":\n" + e.Description());
    } catch (const ContainerError& e) {
        return Fail(path + ": " + e.what() + " (run folivexc verify for details)");
    }
}

int CmdExtract(const Args& args) {
    if (args.size() != 2) return Usage("extract takes BOOK.exe DIR");
    auto book = Open(args[0]);
    if (!book) return 1;
    const fs::path root = fs::path(AbsolutePath(args[1]));
    int problems = 0, written = 0;
    try {
        const auto dir = book->Data(kTypeBook, kIdPageDirectory);
        const std::vector<PageDirEntry> pages =
            dir ? DecodePageDirectory(*dir) : std::vector<PageDirEntry>{};
        for (const auto& p : pages) {
            if (!IsSafeRelativePath(p.path) || PassesThroughLink(root, p.path)) {
                Fail("refused: " + p.path + " would be written outside " + root.string());
                ++problems;
                continue;
            }
            const IndexedEntry* e = book->index.Find(kTypePages, p.id);
            if (!e) {
                Fail("missing: " + p.path + " (no entry 349/" + std::to_string(p.id) + ")");
                ++problems;
                continue;
            }
            std::vector<uint8_t> data;
            try {
                data = InflateBlob(book->Data(*e));
            } catch (const ContainerError& error) {
                Fail("damaged: " + p.path + ": " + error.what());
                ++problems;
                continue;
            }
            const fs::path target = root / fs::path(p.path);
            std::error_code ec;
            fs::create_directories(target.parent_path(), ec);
            std::ofstream out(target, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(data.data()),
                      static_cast<std::streamsize>(data.size()));
            out.close();
            if (!out) {
                Fail("cannot write " + target.string());
                ++problems;
                continue;
            }
            ++written;
        }
    } catch (const CException& e) {
        return Fail("Cannot read " + args[0] + ":\n" + e.Description());
    } catch (const ContainerError& e) {
        return Fail(args[0] + ": " + e.what());
    }
    std::printf("%d files extracted to %s\n", written, root.string().c_str());
    return problems == 0 ? 0 : 1;
}

int CmdVerify(const Args& args) {
    if (args.size() != 1) return Usage("verify takes BOOK.exe");
    const std::string& path = args[0];
    auto book = Open(path);
    if (!book) return 1;
    std::vector<std::string> problems;
    auto where = [](const IndexedEntry& e) {
        return "entry " + std::to_string(e.type) + "/" + std::to_string(e.id) + " at offset " +
               std::to_string(e.dataOffset);
    };
    size_t pageCount = 0;
    try {
        const ArchiveIndex& index = book->index;
        if (index.TreeEnd() != index.BodyEnd())
            problems.push_back(std::to_string(index.BodyEnd() - index.TreeEnd()) +
                               " stray bytes between the archive and its trailer at offset " +
                               std::to_string(index.TreeEnd()));
        std::set<std::pair<uint16_t, uint16_t>> seen;
        for (const auto& e : index.Entries()) {
            if (!seen.emplace(e.type, e.id).second)
                problems.push_back(where(e) + ": the same id twice");
            if (e.type != kTypePages && !(e.type == kTypeBook && e.id == kIdSplash)) continue;
            try {
                InflateBlob(book->Data(e));
            } catch (const ContainerError& error) {
                problems.push_back(where(e) + ": " + error.what());
            }
        }
        if (const IndexedEntry* dir = index.Find(kTypeBook, kIdPageDirectory)) {
            try {
                const auto pages = DecodePageDirectory(book->Data(*dir));
                pageCount = pages.size();
                for (size_t i = 0; i < pages.size(); ++i)
                    if (!index.Find(kTypePages, pages[i].id))
                        problems.push_back("page directory record " + std::to_string(i + 1) + " (" +
                                           pages[i].path + ") names id " +
                                           std::to_string(pages[i].id) + ", which has no entry");
            } catch (const ContainerError& error) {
                problems.push_back(where(*dir) + ": " + error.what());
            }
        } else if (!index.Entries().empty() && index.Entries().front().type == kTypePages) {
            problems.push_back("pages are stored but there is no page directory (entry 350/2)");
        }
        const IndexedEntry* settings = index.Find(kTypeBook, kIdSettings);
        if (!settings)
            problems.push_back("no settings record (entry 350/3)");
        else if (settings->length < kBookSettingsSize)
            problems.push_back(where(*settings) + ": settings record of " +
                               std::to_string(settings->length) + " bytes, not " +
                               std::to_string(kBookSettingsSize));
        for (const auto& t : kTexts) {
            const IndexedEntry* e = index.Find(kTypeBook, t.id);
            if (!e) {
                problems.push_back(std::string("no ") + t.name + " text (entry 350/" +
                                   std::to_string(t.id) + ")");
            } else {
                const auto data = book->Data(*e);
                if (data.empty() || data.back() != 0)
                    problems.push_back(where(*e) + ": the " + t.name + " text does not end in NUL");
            }
        }
        const auto marker = book->Data(kTypeBook, kIdMarker);
        if (!marker ||
            !std::equal(marker->begin(), marker->end(), kBookMarker.begin(), kBookMarker.end()))
            problems.push_back("the book marker (entry 350/14, \"EBOOK\") is missing or wrong");
    } catch (const CException& e) {
        problems.push_back("cannot read the file: " + e.Description());
    }

    if (!problems.empty()) {
        for (const auto& p : problems) std::fprintf(stderr, "%s: %s\n", path.c_str(), p.c_str());
        std::fprintf(stderr, "%s: %zu problem%s\n", path.c_str(), problems.size(),
                     problems.size() == 1 ? "" : "s");
        return 1;
    }
    std::printf("%s: OK, %zu pages, %zu entries, archive at offset %u\n", path.c_str(), pageCount,
                book->index.Entries().size(), book->index.Base());
    return 0;
}

}  // namespace folivex::cli
