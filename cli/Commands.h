// The commands of folivexc. Each takes the arguments after the command name
// and returns the process exit code: 0 success, 1 failure (the message-box
// text has gone to stderr), 2 wrong usage.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "builder/LinkReport.h"
#include "project/BookApp.h"

namespace folivex::cli {

using Args = std::vector<std::string>;

// Runs the command line after the program's name ("build", "p.ebp", ...).
int Run(const Args& commandLine);

// Project files (ProjectCommands.cpp).
int CmdNew(const Args& args);
int CmdRescan(const Args& args);
int CmdProjectInfo(const std::string& path, bool json);

// Opens the project file at path into app; false after the error went to
// stderr.
bool OpenProjectFile(CBookApp& app, const std::string& path);

// E-books (BookCommands.cpp: build, make; BookReadCommands.cpp: the rest).
int CmdBuild(const Args& args);
int CmdMake(const Args& args);
int CmdBookInfo(const std::string& path, bool json);
int CmdExtract(const Args& args);
int CmdVerify(const Args& args);

// The link report (LinkCommands.cpp): --report FILE (JSON when FILE ends
// in ".json", else text), --strict (exit 1 when a reference is broken),
// --external (list links to the web).
struct LinkOptions {
    std::string reportFile;
    bool strict = false;
    bool external = false;
    bool skip = false;  // --no-link-report: the pages are not read for it
};
// Takes args[i] when it is a link option (and its value); false otherwise.
// problem is set when the option is malformed.
bool TakeLinkOption(const Args& args, size_t& i, LinkOptions& links, std::string& problem);
// Prints the summary of findings to stderr and writes the report file when
// asked; the exit code: 1 with --strict and a broken reference, or when
// the report file cannot be written; 0 otherwise.
int ReportLinks(const std::vector<LinkFinding>& findings, const LinkOptions& options);
int CmdCheck(const Args& args);

// The absolute form of a path given on the command line, without a
// trailing separator except for the root itself.
std::string AbsolutePath(const std::string& path);
// True when folder can be listed; otherwise prints "folivexc: cannot list
// the folder " + shownName to stderr and returns false.
bool CheckFolderListable(const std::string& folder, const std::string& shownName);

// The text options of new and make (--title, --author, --copyright, --url,
// --email, --about) and the project field each one sets.
using TextField = std::string BookProject::*;
const std::map<std::string, TextField>& TextOptions();

// Starts app on a fresh project of the folder given on the command line,
// with the first run's placeholder author details, and scans it, leaving
// out the files in leaveOut; the scan's warnings go to stderr. False, with
// a message on stderr, when the folder cannot be listed. found: see
// ScanProjectFolder.
bool StartFolderProject(CBookApp& app, const std::string& folder,
                        const std::vector<std::string>& leaveOut = {},
                        PathResolver* found = nullptr);

// Puts the home page in the first place: home when given (a file of the
// project's folder, see FindEntry), else DefaultHomePage (project/
// HomePage.h); says which on stdout ("Home page: index.html"). False, with
// a message on stderr, when home is no file of the folder.
bool ChooseHomePage(BookProject& project, const std::string& home);

// Prints each warning on a line of its own to stderr, after
// "folivexc: warning: ".
void PrintWarnings(const std::vector<std::string>& warnings);

// Prints message and a line end to stderr and returns 1.
int Fail(const std::string& message);

// Prints the usage text to stderr and returns 2.
int Usage(const std::string& problem);

}  // namespace folivex::cli
