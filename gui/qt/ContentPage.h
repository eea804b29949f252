// CContentPage: the first page of the wizard, "Content".
//
// The author starts a project from a folder (New Project), opens a project
// file (Open Project), scans the folder again (Re-Scan Dir), edits a file's
// attributes (File Properties), and orders the pages (Move Up, Move Down,
// Make Home Page). Row i of the list always shows pages[i] of the project;
// the selection lives only in the list. Controls are named as
// gui/qt/ControlNames.h says ("button1001" ... "list1007").
//
// Reordering touches each row at most once and sets the selection in one
// step, so it takes time in proportion to the rows however many are
// selected. A folder that cannot be listed is refused before anything of the
// project changes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/qt/WizardPage.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace folivex {

class CPieceElem;

// The page's controls.
enum ContentPageControl : int {
    IDC_NEW_PROJECT = 1001,
    IDC_OPEN_PROJECT = 1002,
    IDC_RESCAN_DIR = 1003,
    IDC_FILE_PROPERTIES = 1004,
    IDC_MOVE_UP = 1005,
    IDC_MOVE_DOWN = 1006,
    IDC_FILE_LIST = 1007,
};

class CContentPage : public CWizardPage {
    Q_OBJECT
public:
    CContentPage(CBookApp& app, std::function<void()> showHelp, QWidget* parent = nullptr);

    // Creates the three columns at the first activation, then UpdateControls.
    void OnSetActive() override;
    // Refuses while the project has no entries, with a message.
    bool OnWizardNext() override;
    // The wizard is closing: saves the project, to its file when it has one,
    // else (or when that save fails) through Save As. Never keeps it open.
    void OnReset() override;

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
    // Sets the wizard buttons (Next) and enables the page's buttons.
    void UpdateControls();
    // Moves pages[row] to the front and its row to the top, selected and
    // focused.
    void MakeHomePage(int row);

    QTreeWidget* FileList() const { return m_list; }

private:
    // The folder picker, opening on initialFolder.
    std::optional<std::string> BrowseForProjectFolder(const std::string& initialFolder);
    // True when folder can be listed; otherwise says why and leaves the
    // project as it is.
    bool CheckFolderListable(const std::string& folder);
    // Scans folder into the project and tells the author, in one message,
    // what the scan left out or kept without seeing it.
    void Scan(const std::string& folder);
    void FillRow(QTreeWidgetItem* item, const CPieceElem& entry) const;
    int RowCount() const;
    // One flag per row: 1 where the row is selected.
    std::vector<char> SelectedRows() const;
    // After a move: refills the rows marked in changed and selects exactly
    // the rows marked in selected.
    void ShowMovedRows(const std::vector<char>& changed, const std::vector<char>& selected);

    std::function<void()> m_showHelp;
    int m_bColumnsCreated = 0;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_reScan = nullptr;
    QPushButton* m_properties = nullptr;
    QPushButton* m_moveUp = nullptr;
    QPushButton* m_moveDown = nullptr;
};

}  // namespace folivex
