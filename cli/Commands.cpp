// folivexc: the usage text, the info command that tells project files from
// e-books, and the dispatch of a command line to its command.
#include "cli/Commands.h"

#include <cstdio>
#include <string>

#include "format/ArchiveIndex.h"

namespace folivex::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  folivexc new FOLDER -o PROJECT.ebp [--force] [--home PAGE] [text options]\n"
    "  folivexc rescan PROJECT.ebp [FOLDER]\n"
    "  folivexc info PROJECT.ebp|BOOK.exe [--json]\n"
    "  folivexc build PROJECT.ebp [-o BOOK.exe] [--force] [--stub FILE] [run options]\n"
    "                [link options]\n"
    "  folivexc make FOLDER -o BOOK.exe [--force] [--stub FILE] [--home PAGE] [text options]\n"
    "                [book options] [run options] [link options]\n"
    "  folivexc check PROJECT.ebp|FOLDER [link options]\n"
    "  folivexc extract BOOK.exe DIR\n"
    "  folivexc verify BOOK.exe\n"
    "text options: --title T --author A --copyright C --url U --email E --about TEXT\n"
    "book options: --splash BMP --icon ICO --about-at-start --no-maximized --full-screen\n"
    "              --no-toolbar --buttons home,prevnext,history,copy,search,fullscreen,\n"
    "                                     fontsize,print,about,exit\n"
    "run options:  --threads N (reading and compressing threads; 0, the default: one per\n"
    "              processor)\n"
    "              --no-cache (read and compress every file again instead of taking the files\n"
    "              unchanged since the last build from the e-book it wrote, as noted in\n"
    "              ~/.cache/folivex/builds); the e-book is the same either way\n"
    "              --quiet (no progress line on stderr; it shows only on a terminal)\n"
    "link options: --report FILE (every finding: JSON when FILE ends in .json, else text)\n"
    "              --strict (exit 1 when a reference is broken)\n"
    "              --external (list http:, https: and mailto: links; never fetched)\n"
    "              --no-link-report (build and make: no link report, the pages are not read\n"
    "              for it)\n"
    "--force:      replace an existing file that is not an e-book (build, make) or an existing\n"
    "              project file (new); the project file itself is never an e-book's output\n"
    "--home PAGE:  the page the book opens on, a file of the folder (new, make); without it\n"
    "              index.html or index.htm at the top of the folder, else the first page of\n"
    "              the page sequence\n"
    "--stub FILE:  build with the viewer program FILE instead of the one carried inside\n"
    "              (build, make), e.g. folivex-view-win64.exe for 64-bit-only Windows\n";

int CmdInfo(const Args& args) {
    std::string path;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else if (path.empty())
            path = a;
        else
            return Usage("info takes one file");
    }
    if (path.empty()) return Usage("info needs a file");
    // Only a file that ends in the e-book trailer is an e-book; anything
    // else is read as a project file and gets its messages.
    return EndsWithArchiveTrailer(path) ? CmdBookInfo(path, json) : CmdProjectInfo(path, json);
}

}  // namespace

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "folivexc: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

int Run(const Args& commandLine) {
    if (commandLine.empty()) return Usage("");
    const std::string& command = commandLine.front();
    const Args args(commandLine.begin() + 1, commandLine.end());
    if (command == "new") return CmdNew(args);
    if (command == "rescan") return CmdRescan(args);
    if (command == "info") return CmdInfo(args);
    if (command == "build") return CmdBuild(args);
    if (command == "make") return CmdMake(args);
    if (command == "check") return CmdCheck(args);
    if (command == "extract") return CmdExtract(args);
    if (command == "verify") return CmdVerify(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return Usage("unknown command: " + command);
}

}  // namespace folivex::cli
