// The folder scan: turns the files of a project folder, subfolders included,
// into the project's page entries.
//
// Every file not hidden becomes one entry; ".html" and ".htm" files (the
// extension as written on disk, case-sensitive) are pages, in the page
// sequence and the search. A scan merges: entries whose file is met again
// keep their places and attributes, entries whose file is gone are deleted,
// new files are appended in walk order (depth first, each folder sorted by
// lower-cased name). Matching is by path without regard to case, through an
// index, so a scan costs about the number of files plus entries.
//
// Nothing the author has is dropped without a word (ScanReport):
// - Files whose paths differ only in case share one entry (stored paths are
//   lower case): the first in walk order is the entry, with its own
//   attributes; the build reads that same file (PathResolver).
// - Files and folders whose name holds "\" are left out (a name in the book
//   cannot hold it).
// - The files in leaveOut (the e-book being built and its temporary file)
//   are never entries, under whatever name or link they are met.
// - A subfolder that cannot be listed keeps the entries under it as they
//   were, in place and with their attributes. (The project folder itself
//   that cannot be listed yields nothing, so every entry goes.)
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace folivex {

class CBookApp;
class PathResolver;

// What a scan tells the author besides its message box.
struct ScanReport {
    // One sentence each, without a program prefix, in the order met in the
    // walk, then one per folder that could not be listed. Paths are
    // relative to the scanned folder, spelled as on disk with the system's
    // separator. Empty when there is nothing to say. The command line
    // prints each on a line of its own; the wizard shows them together in
    // one message after the scan.
    std::vector<std::string> warnings;
};

// The report as the text of one message box for the wizard: a line that
// says what follows, then the warnings, one per line (at most
// kMaxWarningLines, then how many more). Empty when there is nothing to say.
std::string ScanWarningsMessage(const ScanReport& report);
constexpr size_t kMaxWarningLines = 20;

// The sentence for a file that is the e-book being built (shownPath as the
// author sees it), which is left out of that e-book; the build says the
// same of an entry that names it.
std::string OutputLeftOutWarning(const std::string& shownPath);

// Scans folder into app.project.pages: sets projectDir to folder, merges,
// calls fillFileList (may be empty), shows "No HTML files in this folder.
// Please try again." (OK, exclamation) when no entry is in the page sequence,
// sets lastProjectDir. Shows the wait cursor throughout. leaveOut: files
// (stored or native form) never to become entries. Returns what the author
// should be told. found, when given (a resolver of folder skipping the files
// of leaveOut), is told where each new entry's file is (PathResolver::
// Remember).
ScanReport ScanProjectFolder(CBookApp& app, const std::string& folder,
                             const std::function<void()>& fillFileList = {},
                             const std::vector<std::string>& leaveOut = {},
                             PathResolver* found = nullptr);

}  // namespace folivex
