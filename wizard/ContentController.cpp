#include "wizard/ContentController.h"

#include <algorithm>
#include <cassert>

#include "platform/DirEnum.h"
#include "platform/Utf8.h"
#include "project/FolderScan.h"
#include "project/HomePage.h"
#include "wizard/ControlIds.h"
#include "wizard/FilePropertiesController.h"
#include "wizard/WizardApp.h"

namespace folivex {

namespace {

const char* const kNoPagesMessage =
    "No pages in the E-Book.\nClick \"New Project...\" button to select a folder with HTML files";

const char* Flag(int32_t value) {
    return value != 0 ? "*" : " ";
}

}  // namespace

ContentController::ContentController(CWizardApp& app) : m_app(app) {}

ContentView& ContentController::View() {
    assert(m_view != nullptr && "the Content page's view is attached before it is shown");
    return *m_view;
}

void ContentController::OnSetActive() {
    if (m_bColumnsCreated == 0) {
        View().CreateColumns({{"File", 7}, {"Included", 4}, {"Searchable", 4}});
        m_bColumnsCreated = 1;
    }
    UpdateControls();
}

bool ContentController::OnWizardNext() {
    if (m_app.project.pages.empty()) {
        m_app.GetPrompts().ShowMessage(kNoPagesMessage, MsgButtons::OK, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

void ContentController::OnReset() {
    if (!m_app.projectFile.empty() && m_app.SaveProject() != 0) return;
    m_app.SaveProjectAs();
}

bool ContentController::OnCommand(int id) {
    switch (id) {
        case IDC_NEW_PROJECT: OnNewProject(); return true;
        case IDC_OPEN_PROJECT: OnOpenProject(); return true;
        case IDC_RESCAN_DIR: OnReScanDir(); return true;
        case IDC_FILE_PROPERTIES: OnFileProperties(); return true;
        case IDC_MOVE_UP: OnMoveUp(); return true;
        case IDC_MOVE_DOWN: OnMoveDown(); return true;
        default: return false;
    }
}

int ContentController::QuerySaveProject() {
    if (m_app.projectOpen == 0) return 1;
    if (!m_app.projectFile.empty() && m_app.SaveProject() != 0) return 1;
    switch (m_app.GetPrompts().ShowMessage("Do you want to save changes in current project?",
                                           MsgButtons::YesNoCancel, MsgIcon::Question)) {
        case MsgResult::Yes: return m_app.SaveProjectAs() != 0 ? 1 : 0;
        case MsgResult::No: return 1;
        default: return 0;
    }
}

std::optional<std::string> ContentController::BrowseForProjectFolder(
    const std::string& initialFolder) {
    FolderDialogRequest request;
    request.title = "Select an e-book project directory";
    request.initialFolder = initialFolder;
    request.flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
    return m_app.GetPrompts().PickFolder(request);
}

bool ContentController::CheckFolderListable(const std::string& folder) {
    // A scan of a folder it cannot list would drop every entry, attributes
    // and order included, and the next save would keep that.
    const auto reason = FolderListingError(folder);
    if (!reason) return true;
    m_app.GetPrompts().ShowMessage(
        "Cannot list the folder " + folder + ": " + *reason + "\nThe project has not been changed.",
        MsgButtons::OK, MsgIcon::Stop);
    return false;
}

void ContentController::Scan(const std::string& folder) {
    // The e-book this project builds may lie inside its own folder; it is
    // never one of its pages.
    std::vector<std::string> leaveOut;
    if (!m_app.project.ebookFile.empty()) leaveOut.push_back(m_app.project.ebookFile);
    const ScanReport report = ScanProjectFolder(
        m_app, folder, [this] { FillFileList(); }, leaveOut);
    const std::string warnings = ScanWarningsMessage(report);
    if (!warnings.empty())
        m_app.GetPrompts().ShowMessage(warnings, MsgButtons::OK, MsgIcon::Exclamation);
}

void ContentController::OnNewProject() {
    if (QuerySaveProject() == 0) return;
    const auto folder = BrowseForProjectFolder(m_app.lastProjectDir);
    if (folder && CheckFolderListable(*folder)) {
        m_app.project.pages.clear();
        Scan(*folder);
        m_app.projectOpen = 1;
    }
    UpdateControls();
}

void ContentController::OnOpenProject() {
    if (QuerySaveProject() == 0) return;
    FileDialogRequest request;
    request.save = false;
    request.defaultExt = "ebp";
    request.initialName = m_app.lastProjectFile;
    request.flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    request.filter = "E-Book Projects (*.ebp)|*.ebp|All Files (*.*)|*.*||";
    const auto file = m_app.GetPrompts().PickFile(request);
    if (!file) return;
    m_app.projectFile = *file;
    m_app.lastProjectFile = m_app.projectFile;
    const int opened = m_app.OpenProject();
    if (opened == 0) m_app.projectFile.clear();
    m_app.projectOpen = opened != 0 ? 1 : 0;
    FillFileList();
}

void ContentController::OnReScanDir() {
    // The picker opens on the project's own folder: confirming it re-scans
    // this project, not whichever folder was scanned last.
    const auto folder = BrowseForProjectFolder(m_app.project.projectDir);
    if (folder && CheckFolderListable(*folder)) Scan(*folder);
    UpdateControls();
}

void ContentController::OnFileProperties() {
    const std::vector<char> selected = View().SelectedRows();
    const auto first = std::find(selected.begin(), selected.end(), 1);
    if (first == selected.end()) return;
    const auto row = static_cast<size_t>(first - selected.begin());
    if (row >= m_app.project.pages.size()) return;
    CPieceElem& entry = *m_app.project.pages[row];

    FilePropertiesController dialog(m_app);
    dialog.m_bMakeHomePage = 0;
    dialog.m_bInPageSequence = entry.inPageSequence;
    dialog.m_bIncluded = entry.included;
    dialog.m_bInSearch = entry.inSearch;
    if (!View().RunFilePropertiesDialog(dialog)) return;

    // The page-sequence box is hidden, so its value comes back unchanged.
    entry.inPageSequence = dialog.m_bInPageSequence;
    entry.included = dialog.m_bIncluded;
    entry.inSearch = dialog.m_bInSearch;
    View().SetRows({{row, RowOf(entry)}});
    if (dialog.m_bMakeHomePage != 0) MakeHomePage(row);
}

void ContentController::MakeHomePage(size_t row) {
    auto& pages = m_app.project.pages;
    if (row >= pages.size()) return;
    folivex::MakeHomePage(m_app.project, row);

    // The rows above it move down one place with their selection.
    std::vector<char> selected = View().SelectedRows();
    selected.resize(pages.size(), 0);
    std::rotate(selected.begin(), selected.begin() + static_cast<ptrdiff_t>(row),
                selected.begin() + static_cast<ptrdiff_t>(row) + 1);
    selected[0] = 1;
    std::vector<std::pair<size_t, ListRow>> rows;
    for (size_t i = 0; i <= row; ++i) rows.emplace_back(i, RowOf(*pages[i]));
    View().SetRows(rows);
    View().SetSelection(selected, 0);
    UpdateControls();
}

void ContentController::OnMoveUp() {
    Move(true);
}

void ContentController::OnMoveDown() {
    Move(false);
}

void ContentController::Move(bool up) {
    auto& pages = m_app.project.pages;
    std::vector<char> selected = View().SelectedRows();
    const size_t count = std::min(pages.size(), selected.size());
    if (count == 0) return;
    std::vector<char> changed(count, 0);

    // From the end the rows move towards: a selected row swaps with the
    // unselected one ahead of it, so a run of selected rows moves as a
    // block, and a run that starts at the first row (Move Up) or ends at the
    // last (Move Down) stays where it is.
    for (size_t k = 1; k < count; ++k) {
        const size_t row = up ? k : count - 1 - k;
        const size_t ahead = up ? row - 1 : row + 1;
        if (selected[row] != 0 && selected[ahead] == 0) {
            std::swap(pages[row], pages[ahead]);
            std::swap(selected[row], selected[ahead]);
            changed[row] = changed[ahead] = 1;
        }
    }
    std::vector<std::pair<size_t, ListRow>> rows;
    for (size_t i = 0; i < count; ++i)
        if (changed[i] != 0) rows.emplace_back(i, RowOf(*pages[i]));
    View().SetRows(rows);
    View().SetSelection(selected, std::nullopt);
    UpdateControls();
}

void ContentController::FillFileList() {
    std::vector<ListRow> rows;
    rows.reserve(m_app.project.pages.size());
    for (const auto& entry : m_app.project.pages) rows.push_back(RowOf(*entry));
    View().FillList(rows);
    UpdateControls();
}

ListRow ContentController::RowOf(const CPieceElem& entry) const {
    return {ToUtf8(entry.path), Flag(entry.included), Flag(entry.inSearch)};
}

void ContentController::UpdateControls() {
    const std::vector<char> rows = View().SelectedRows();
    const auto selected = std::count(rows.begin(), rows.end(), 1);
    View().Enable(IDC_MOVE_UP, selected > 0);
    View().Enable(IDC_MOVE_DOWN, selected > 0);
    View().Enable(IDC_FILE_PROPERTIES, selected == 1);
    View().Enable(IDC_RESCAN_DIR, m_app.projectOpen != 0);
}

}  // namespace folivex
