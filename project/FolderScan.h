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
#pragma once

#include <functional>
#include <string>

namespace folivex {

class CBookApp;

// Scans folder into app.project.pages: sets projectDir to folder, merges,
// calls fillFileList (may be empty), shows "No HTML files in this folder.
// Please try again." (OK, exclamation) when no entry is in the page sequence,
// sets lastProjectDir. Shows the wait cursor throughout. Returns 1.
int ScanProjectFolder(CBookApp& app, const std::string& folder,
                      const std::function<void()>& fillFileList = {});

}  // namespace folivex
