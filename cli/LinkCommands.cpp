// The link report on the command line: its options for build, make and
// check, the summary on stderr and the full report in a file, and folivexc
// check, which reads the pages without building.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "builder/FileBytes.h"
#include "builder/LinkReport.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "platform/DirEnum.h"
#include "platform/File.h"
#include "platform/FileReplace.h"
#include "platform/HeapTuning.h"
#include "platform/PathResolver.h"
#include "project/HomePage.h"

namespace folivex::cli {

namespace {

// A page larger than this is not read for its links (it is no page a
// reader could open either); the build still stores it.
constexpr uint64_t kMaxCheckedFileBytes = 256ull << 20;

// Writes text to path, replacing it only once complete. False after a
// message on stderr.
bool WriteReportFile(const std::string& path, const std::string& text) {
    try {
        ReplaceFileWith(path, ".saving",
                        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        return true;
    } catch (const CFileException& error) {
        std::fprintf(stderr, "%s\n",
                     FileErrorMessage("Cannot write the link report:", error).c_str());
        return false;
    }
}

// Reads file `index` of report into it, through bytes (kept from file to
// file), opened below root when it lies there; false with a problem when
// the file cannot be read.
bool ReadForLinks(LinkReport& report, size_t index, const CFolderHandle& root, FileBytes& bytes,
                  std::string& problem) {
    const LinkReportFile& file = report.File(index);
    if (file.diskPath.empty()) {
        problem = "cannot read " + file.stored + ": no such file in the folder";
        return false;
    }
    try {
        CFile in;
        in.OpenBelow(root, file.diskPath, CFile::modeRead);
        const uint64_t length = std::min(in.LengthWhenOpened(), kMaxCheckedFileBytes);
        // Emptied first: a buffer grown for a larger file would copy the
        // bytes of the one before.
        bytes.clear();
        bytes.resize(static_cast<size_t>(length));
        bytes.resize(in.Read(bytes.data(), bytes.size()));
        report.Add(index, bytes);
        return true;
    } catch (const CFileException& error) {
        problem = FileErrorMessage("cannot read " + file.spelled + ":", error);
        return false;
    }
}

// Reads every file the report reads, on one thread per processor; those
// below root are opened by their paths below it. The problems met, in file
// order.
std::vector<std::string> ReadAll(LinkReport& report, const CFolderHandle& root) {
    std::vector<size_t> wanted;
    for (size_t i = 0; i < report.FileCount(); ++i)
        if (report.Reads(i)) wanted.push_back(i);
    std::vector<std::string> problems(wanted.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        FileBytes bytes;
        for (size_t k; (k = next.fetch_add(1)) < wanted.size();)
            ReadForLinks(report, wanted[k], root, bytes, problems[k]);
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (auto& worker : workers) worker.join();
    problems.erase(std::remove(problems.begin(), problems.end(), std::string()), problems.end());
    return problems;
}

}  // namespace

bool TakeLinkOption(const Args& args, size_t& i, LinkOptions& links, std::string& problem) {
    const std::string& a = args[i];
    if (a == "--strict" || a == "--external") {
        (a == "--strict" ? links.strict : links.external) = true;
    } else if (a == "--no-link-report") {
        links.skip = true;
    } else if (a != "--report") {
        return false;
    } else if (i + 1 >= args.size()) {
        problem = "--report needs a file name";
    } else {
        links.reportFile = args[++i];
    }
    if (links.skip && (links.strict || links.external || !links.reportFile.empty()))
        problem = "--no-link-report cannot go with --report, --strict or --external";
    return true;
}

int ReportLinks(const std::vector<LinkFinding>& findings, const LinkOptions& options) {
    const std::string summary = LinkReportSummary(findings);
    std::fputs(summary.c_str(), stderr);
    if (!options.reportFile.empty()) {
        const std::string text = options.reportFile.ends_with(".json") ? LinkReportJson(findings)
                                                                       : LinkReportText(findings);
        if (!WriteReportFile(options.reportFile, text)) return 1;
    }
    const bool broken = std::any_of(findings.begin(), findings.end(), IsBroken);
    return options.strict && broken ? 1 : 0;
}

int CmdCheck(const Args& args) {
    std::string path;
    LinkOptions links;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (TakeLinkOption(args, i, links, problem)) {
            if (links.skip)
                problem = "check is the link report: --no-link-report is for build and make";
            if (!problem.empty()) return Usage(problem);
        } else if (!args[i].empty() && args[i][0] == '-') {
            return Usage("unknown option for check: " + args[i]);
        } else if (path.empty()) {
            path = args[i];
        } else {
            return Usage("check takes one project file or folder");
        }
    }
    if (path.empty()) return Usage("check needs a project file or a folder");

    ConsolePrompts prompts;
    CBookApp app(prompts);
    std::optional<PathResolver> resolver;
    if (IsFolder(path)) {
        // As make would build it, on the page make would open it on; the
        // scan tells where each file is, so the folders are listed once.
        resolver.emplace(AbsolutePath(path));
        if (!StartFolderProject(app, path, {}, &*resolver)) return 1;
        if (const auto home = DefaultHomePage(app.project)) MakeHomePage(app.project, *home);
    } else if (OpenProjectFile(app, path)) {
        resolver.emplace(app.project.projectDir);
    } else {
        return 1;
    }
    LinkReport report = LinkReportFor(app.project, *resolver);
    report.KeepOnlyFindings();
    PrintWarnings(ReadAll(report, CFolderHandle(resolver->Root())));
    const std::vector<LinkFinding> findings = report.Findings(links.external);
    if (std::none_of(findings.begin(), findings.end(), IsBroken))
        std::printf("No broken references in %s.\n", path.c_str());
    return ExitWithoutFreeing(ReportLinks(findings, links));
}

}  // namespace folivex::cli
