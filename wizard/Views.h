// What the controllers ask of a toolkit: the views of the wizard's pages and
// dialogs. A view draws what its controller tells it and forwards each
// control's event to it (OnCommand with the control's id, and the few events
// named in the controllers); it holds no project data and makes no decision
// of its own.
//
// Controls are named by their ids (wizard/ControlIds.h). Texts are UTF-8;
// multi-line texts carry their line breaks as "\r\n" both ways. A change
// made through a view interface is never reported back to the controller as
// an event (setting the selection does not run the selection handler).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "builder/BuildProgress.h"

namespace folivex {

class FilePropertiesController;

// The controls of a page or dialog.
class ControlView {
public:
    virtual ~ControlView() = default;

    virtual void SetText(int id, const std::string& text) = 0;
    // The text the control holds now. It may differ from what SetText gave
    // it where the control cannot hold a character as it was given.
    virtual std::string GetText(int id) const = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    virtual void Enable(int id, bool enabled) = 0;
};

// The Create page: its controls, and what it shows while Create E-Book
// builds. BuildStarted comes just before the build, BuildEnded when it has
// ended, failed or not; ShowBuildProgress between them as the build reports,
// on the thread that runs the build.
class CreateView : public ControlView {
public:
    virtual void BuildStarted() = 0;
    virtual void ShowBuildProgress(const BuildProgress& progress) = 0;
    virtual void BuildEnded() = 0;
};

// A column of the file list: its caption and its width in units of a
// twentieth of the list's outer width (rounded down).
struct ListColumn {
    const char* caption;
    int units;
};

// The texts of one row of the file list, column by column.
struct ListRow {
    std::string file;
    std::string included;
    std::string searchable;
};

// The Content page: its buttons, the file list (a report view in which
// several rows can be selected; never sorted) and the File Properties dialog.
class ContentView : public ControlView {
public:
    // Creates the list's columns, left to right.
    virtual void CreateColumns(const std::vector<ListColumn>& columns) = 0;
    // Replaces every row; no row is selected afterwards.
    virtual void FillList(const std::vector<ListRow>& rows) = 0;
    // Rewrites the cells of the rows given by index; the rows stay where
    // they are. One call for any number of rows.
    virtual void SetRows(const std::vector<std::pair<size_t, ListRow>>& rows) = 0;
    // One flag per row, 1 where the row is selected.
    virtual std::vector<char> SelectedRows() const = 0;
    // Selects exactly the rows flagged in selected, in one step; focus, when
    // given, becomes the focused row.
    virtual void SetSelection(const std::vector<char>& selected, std::optional<size_t> focus) = 0;
    // Runs the File Properties dialog modally over the page: dialog's
    // OnInitDialog when it opens, its OnOK when OK closes it, its OnHelp on
    // a help request. True when it was closed with OK.
    virtual bool RunFilePropertiesDialog(FilePropertiesController& dialog) = 0;
};

// The main wizard's window.
class SheetView {
public:
    virtual ~SheetView() = default;

    // Makes page index (0 Content, 1 Interface, 2 Create) the one on screen;
    // the title bar shows caption.
    virtual void ShowPage(int index, const std::string& caption) = 0;
    // Enables Back and Next after PSWIZB_BACK and PSWIZB_NEXT.
    virtual void SetWizardButtons(uint32_t buttons) = 0;
    // The About box, modal over the wizard.
    virtual void ShowAboutBox() = 0;
    // Closes the window; the modal run of the wizard returns.
    virtual void EndWizard() = 0;
};

}  // namespace folivex
