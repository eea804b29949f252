// The build: turns the current project of a CBookApp into its e-book file.
//
// The e-book is the viewer stub (app.viewerStub) followed by the archive of
// the included pages, the page directory, the splash bitmap, the settings
// record, the six texts and the book marker, closed by the trailer; the
// author's icon, if one was chosen, then replaces the stub's own. Messages go
// through the app's prompt seam; the project itself is never changed.
//
// The book is written to a temporary file beside the output and takes the
// output's place only when complete (FileReplace.h): a failure on the way
// leaves a previous e-book byte for byte as it was, and no temporary file.
#pragma once

#include <string>
#include <vector>

#include "builder/BuildProgress.h"

namespace folivex {

class CBookApp;
class LinkReport;
class PathResolver;

// Builds app.project into app.project.ebookFile behind the wait cursor.
// Returns 1 when the e-book was written and the icon step succeeded or had
// nothing to do, 0 after a message: a file error while starting the output
// or writing the stub, or putting the finished book in the output's place
// ("Cannot save E-Book file:"; an output that someone else holds or that
// may not be written is left untouched), while reading a page or the splash
// bitmap or writing the archive ("Cannot read file " + its name), a project
// or file too large for the format, or the icon step's own failure (the
// complete book still replaces the output, with the stub's icon). Messages
// name the output as app.project.ebookFile gives it, never the temporary
// file.
//
// Each page is read from the file the folder scan made its entry of
// (PathResolver.h). An included entry that is the output itself, or its
// temporary file, is left out of the book with a warning: appended to
// warnings when given, else shown as one message with the exclamation icon.
//
// Pages are read and compressed on app.buildThreads workers. With a cache
// folder (app.blobCacheFolder, BuildMemo.h), a file unchanged since the last
// build of the folder is not read: its blob is taken from the e-book that
// build wrote, when that is still there as it was. The book's bytes are the
// same either way. progress, when given, hears how far the build has come
// (BuildProgress.h), on this thread.
//
// links, when given, becomes the link report of the project (LinkReport.h,
// LinkReportFor), handed every included page and style sheet as the build
// reads it (or what an earlier build found in it), on the workers; its
// findings are complete when the build has written the book.
//
// found, when given, is a resolver of the project folder that passes over
// the files FilesWrittenByBuild names and that the scan of this build has
// told where each entry's file is (ScanProjectFolder): the pages are then
// read from those files without the folders being listed again.
int BuildEBook(CBookApp& app, std::vector<std::string>* warnings = nullptr,
               const BuildProgressFn& progress = {}, LinkReport* links = nullptr,
               PathResolver* found = nullptr);

// The files a build of ebookFile writes: the e-book and its temporary file.
// A scan for that build leaves them out (ScanProjectFolder's leaveOut).
std::vector<std::string> FilesWrittenByBuild(const std::string& ebookFile);

// Puts the author's 32 x 32, 16-colour icon (app.project.iconFile) over the
// stub's own image inside app.project.ebookFile, in place; nothing else in
// the file changes. Returns 1 when replaced or when no icon was chosen; 0
// after "Invalid or unsuitable .ico file..." or a file error ("File error
// with " + name), or without a message when the output is not shaped like
// the viewer stub. Sets app.rsrcFileOffset and app.rsrcRva on the way.
int ReplaceIcon(CBookApp& app);
// The same on bookFile, the file the build writes; messages name
// app.project.ebookFile in its place.
int ReplaceIcon(CBookApp& app, const std::string& bookFile);

}  // namespace folivex
