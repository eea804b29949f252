// ContentController: the logic of the first page of the wizard, "Content".
//
// The author starts a project from a folder (New Project), opens a project
// file (Open Project), scans the folder again (Re-Scan Dir), edits a file's
// attributes (File Properties), and orders the pages (Move Up, Move Down,
// Make Home Page). Row i of the list always shows pages[i] of the project;
// the selection lives only in the view.
//
// A move reads the selection once, touches each row at most once and sets
// the new selection in one step, so it takes time in proportion to the rows
// however many are selected. A folder that cannot be listed is refused
// before anything of the project changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wizard/PageController.h"
#include "wizard/Views.h"

namespace folivex {

class CPieceElem;
class CWizardApp;

class ContentController : public PageController {
public:
    explicit ContentController(CWizardApp& app);

    // The page's view; set before the page is first shown.
    void Attach(ContentView& view) { m_view = &view; }

    // Creates the three columns at the first activation, then UpdateControls.
    void OnSetActive() override;
    // Refuses while the project has no entries, with a message.
    bool OnWizardNext() override;
    // The wizard is closing: saves the project, to its file when it has one,
    // else (or when that save fails) through Save As. Never keeps it open.
    void OnReset() override;
    // The buttons IDC_NEW_PROJECT ... IDC_MOVE_DOWN.
    bool OnCommand(int id) override;
    // A double click in the list: File Properties of the lowest selected row.
    void OnFileListDoubleClick() { OnFileProperties(); }
    // The list's selection has changed.
    void OnFileListSelectionChanged() { UpdateControls(); }

    // 1 = go on, 0 = stop. Saves an open project to its file without a
    // question; otherwise asks "Do you want to save changes in current
    // project?" (Yes: Save As, No: go on unsaved, Cancel: stop).
    int QuerySaveProject();

    void OnNewProject();
    void OnOpenProject();
    void OnReScanDir();
    void OnFileProperties();
    void OnMoveUp();
    void OnMoveDown();

    // Rebuilds every row from pages; no row is selected afterwards.
    void FillFileList();
    // Enables the page's buttons: the moves while a row is selected, File
    // Properties while exactly one is, Re-Scan Dir while a project is open.
    void UpdateControls();
    // Moves pages[row] to the front and its row to the top, selected and
    // focused.
    void MakeHomePage(size_t row);

private:
    ContentView& View();
    // The folder picker, opening on initialFolder.
    std::optional<std::string> BrowseForProjectFolder(const std::string& initialFolder);
    // True when folder can be listed; otherwise says why and leaves the
    // project as it is.
    bool CheckFolderListable(const std::string& folder);
    // Scans folder into the project and tells the author, in one message,
    // what the scan left out or kept without seeing it.
    void Scan(const std::string& folder);
    // One pass of a move over the rows; up or down.
    void Move(bool up);
    ListRow RowOf(const CPieceElem& entry) const;

    CWizardApp& m_app;
    ContentView* m_view = nullptr;
    int m_bColumnsCreated = 0;
};

}  // namespace folivex
