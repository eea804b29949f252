// The build: turns the current project of a CBookApp into its e-book file.
//
// The e-book is the viewer stub (app.viewerStub) followed by the archive of
// the included pages, the page directory, the splash bitmap, the settings
// record, the six texts and the book marker, closed by the trailer; the
// author's icon, if one was chosen, then replaces the stub's own. Messages go
// through the app's prompt seam; the project itself is never changed.
#pragma once

namespace folivex {

class CBookApp;

// Builds app.project into app.project.ebookFile behind the wait cursor.
// Returns 1 when the e-book was written and the icon step succeeded or had
// nothing to do, 0 after a message: a file error while writing the stub
// ("Cannot save E-Book file:"), while reading a page or the splash bitmap or
// writing the archive ("Cannot read file " + its name; the output is
// removed), a project or file too large for the format, or the icon step's
// own failure (the complete book stays, with the stub's icon).
int BuildEBook(CBookApp& app);

// Puts the author's 32 x 32, 16-colour icon (app.project.iconFile) over the
// stub's own image inside app.project.ebookFile, in place; nothing else in
// the file changes. Returns 1 when replaced or when no icon was chosen; 0
// after "Invalid or unsuitable .ico file..." or a file error ("File error
// with " + name), or without a message when the output is not shaped like
// the viewer stub. Sets app.rsrcFileOffset and app.rsrcRva on the way.
int ReplaceIcon(CBookApp& app);

}  // namespace folivex
