#include "gui/qt/ContentPage.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/FilePropertiesDlg.h"
#include "gui/qt/QtText.h"
#include "platform/DirEnum.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"

namespace folivex {

namespace {

enum Column : int { kColumnFile = 0, kColumnIncluded = 1, kColumnSearchable = 2 };

const char* const kNoPagesMessage =
    "No pages in the E-Book.\nClick \"New Project...\" button to select a folder with HTML files";

QString Flag(int32_t value) {
    return value != 0 ? QStringLiteral("*") : QStringLiteral(" ");
}

}  // namespace

CContentPage::CContentPage(CBookApp& app, std::function<void()> showHelp, QWidget* parent)
    : CWizardPage(app, QStringLiteral("Content"), parent), m_showHelp(std::move(showHelp)) {
    const DialogUnits du(*this);
    auto button = [&](const char* text, int id, int x, int y, int w, int h) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(ControlName("button", id));
        du.Place(b, x, y, w, h);
        return b;
    };
    auto* newProject = button("New &Project...", IDC_NEW_PROJECT, 8, 8, 61, 14);
    auto* openProject = button("&Open Project...", IDC_OPEN_PROJECT, 8, 25, 61, 14);
    m_reScan = button("&Re-Scan Dir...", IDC_RESCAN_DIR, 8, 42, 61, 14);
    m_properties = button("&File Properties...", IDC_FILE_PROPERTIES, 8, 66, 61, 14);

    auto* order = new QGroupBox(QStringLiteral("Page Order"), this);
    order->setObjectName(QStringLiteral("groupPageOrder"));
    du.Place(order, 6, 94, 65, 48);
    m_moveUp = button("Move &Up", IDC_MOVE_UP, 12, 106, 52, 14);
    m_moveDown = button("Move &Down", IDC_MOVE_DOWN, 12, 123, 52, 14);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(ControlName("list", IDC_FILE_LIST));
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSortingEnabled(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    du.Place(m_list, 77, 7, 216, 136);

    connect(newProject, &QPushButton::clicked, this, &CContentPage::OnNewProject);
    connect(m_moveUp, &QPushButton::clicked, this, &CContentPage::OnMoveUp);
    connect(m_moveDown, &QPushButton::clicked, this, &CContentPage::OnMoveDown);
    connect(openProject, &QPushButton::clicked, this, &CContentPage::OnOpenProject);
    connect(m_properties, &QPushButton::clicked, this, &CContentPage::OnFileProperties);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnFileProperties(); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CContentPage::UpdateControls);
    connect(m_reScan, &QPushButton::clicked, this, &CContentPage::OnReScanDir);
}

void CContentPage::OnSetActive() {
    if (m_bColumnsCreated == 0) {
        // The width unit is a twentieth of the list's outer width.
        const int u = m_list->width() / 20;
        m_list->setColumnCount(3);
        m_list->setHeaderLabels(
            {QStringLiteral("File"), QStringLiteral("Included"), QStringLiteral("Searchable")});
        QTreeWidgetItem* header = m_list->headerItem();
        header->setTextAlignment(kColumnIncluded, Qt::AlignCenter);
        header->setTextAlignment(kColumnSearchable, Qt::AlignCenter);
        m_list->setColumnWidth(kColumnFile, 7 * u);
        m_list->setColumnWidth(kColumnIncluded, 4 * u);
        m_list->setColumnWidth(kColumnSearchable, 4 * u);
        m_bColumnsCreated = 1;
    }
    UpdateControls();
}

bool CContentPage::OnWizardNext() {
    if (m_app.project.pages.empty()) {
        m_app.GetPrompts().ShowMessage(kNoPagesMessage, MsgButtons::OK, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

void CContentPage::OnReset() {
    if (!m_app.projectFile.empty() && m_app.SaveProject() != 0) return;
    m_app.SaveProjectAs();
}

int CContentPage::QuerySaveProject() {
    if (m_app.projectOpen == 0) return 1;
    if (!m_app.projectFile.empty() && m_app.SaveProject() != 0) return 1;
    switch (m_app.GetPrompts().ShowMessage("Do you want to save changes in current project?",
                                           MsgButtons::YesNoCancel, MsgIcon::Question)) {
        case MsgResult::Yes: return m_app.SaveProjectAs() != 0 ? 1 : 0;
        case MsgResult::No: return 1;
        default: return 0;
    }
}

std::optional<std::string> CContentPage::BrowseForProjectFolder(const std::string& initialFolder) {
    FolderDialogRequest request;
    request.title = "Select an e-book project directory";
    request.initialFolder = initialFolder;
    request.flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
    return m_app.GetPrompts().PickFolder(request);
}

bool CContentPage::CheckFolderListable(const std::string& folder) {
    // A scan of a folder it cannot list would drop every entry, attributes
    // and order included, and the next save would keep that.
    const auto reason = FolderListingError(folder);
    if (!reason) return true;
    m_app.GetPrompts().ShowMessage(
        "Cannot list the folder " + folder + ": " + *reason + "\nThe project has not been changed.",
        MsgButtons::OK, MsgIcon::Stop);
    return false;
}

void CContentPage::Scan(const std::string& folder) {
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

void CContentPage::OnNewProject() {
    if (QuerySaveProject() == 0) return;
    const auto folder = BrowseForProjectFolder(m_app.lastProjectDir);
    if (folder && CheckFolderListable(*folder)) {
        m_app.project.pages.clear();
        Scan(*folder);
        m_app.projectOpen = 1;
    }
    UpdateControls();
}

void CContentPage::OnOpenProject() {
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
    UpdateControls();
}

void CContentPage::OnReScanDir() {
    // The picker opens on the project's own folder: confirming it re-scans
    // this project, not whichever folder was scanned last.
    const auto folder = BrowseForProjectFolder(m_app.project.projectDir);
    if (folder && CheckFolderListable(*folder)) Scan(*folder);
    UpdateControls();
}

void CContentPage::OnFileProperties() {
    const std::vector<char> selected = SelectedRows();
    const auto first = std::find(selected.begin(), selected.end(), 1);
    if (first == selected.end()) return;
    const int row = static_cast<int>(first - selected.begin());
    if (static_cast<size_t>(row) >= m_app.project.pages.size()) return;
    CPieceElem& entry = *m_app.project.pages[static_cast<size_t>(row)];

    CFilePropertiesDlg dialog(m_showHelp, this);
    dialog.m_bMakeHomePage = 0;
    dialog.m_bInPageSequence = entry.inPageSequence;
    dialog.m_bIncluded = entry.included;
    dialog.m_bInSearch = entry.inSearch;
    if (dialog.exec() != QDialog::Accepted) return;

    // The page-sequence box is hidden, so its value comes back unchanged.
    entry.inPageSequence = dialog.m_bInPageSequence;
    entry.included = dialog.m_bIncluded;
    entry.inSearch = dialog.m_bInSearch;
    FillRow(m_list->topLevelItem(row), entry);
    if (dialog.m_bMakeHomePage != 0) MakeHomePage(row);
}

void CContentPage::MakeHomePage(int row) {
    auto& pages = m_app.project.pages;
    if (row < 0 || static_cast<size_t>(row) >= pages.size()) return;
    std::rotate(pages.begin(), pages.begin() + row, pages.begin() + row + 1);

    QTreeWidgetItem* item = m_list->takeTopLevelItem(row);
    if (item == nullptr) item = new QTreeWidgetItem;
    m_list->insertTopLevelItem(0, item);
    FillRow(item, *pages.front());
    item->setSelected(true);
    m_list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    UpdateControls();
}

void CContentPage::OnMoveUp() {
    auto& pages = m_app.project.pages;
    std::vector<char> selected = SelectedRows();
    const size_t count = std::min(pages.size(), selected.size());
    if (count == 0) return;
    std::vector<char> changed(selected.size(), 0);

    // From the top down: a run of selected rows moves up as a block, and a run
    // that starts at the first row stays where it is.
    for (size_t i = 1; i < count; ++i) {
        if (selected[i] != 0 && selected[i - 1] == 0) {
            std::swap(pages[i - 1], pages[i]);
            std::swap(selected[i - 1], selected[i]);
            changed[i - 1] = changed[i] = 1;
        }
    }
    ShowMovedRows(changed, selected);
}

void CContentPage::OnMoveDown() {
    auto& pages = m_app.project.pages;
    std::vector<char> selected = SelectedRows();
    const size_t count = std::min(pages.size(), selected.size());
    if (count == 0) return;
    std::vector<char> changed(selected.size(), 0);

    // The mirror image: from the bottom up, and a run that ends at the last
    // row stays where it is.
    for (size_t i = count - 1; i-- > 0;) {
        if (selected[i] != 0 && selected[i + 1] == 0) {
            std::swap(pages[i], pages[i + 1]);
            std::swap(selected[i], selected[i + 1]);
            changed[i] = changed[i + 1] = 1;
        }
    }
    ShowMovedRows(changed, selected);
}

void CContentPage::ShowMovedRows(const std::vector<char>& changed,
                                 const std::vector<char>& selected) {
    const auto& pages = m_app.project.pages;
    QAbstractItemModel* model = m_list->model();
    const int lastColumn = std::max(m_list->columnCount() - 1, 0);
    QItemSelection rows;
    for (size_t i = 0; i < selected.size();) {
        if (selected[i] == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end + 1 < selected.size() && selected[end + 1] != 0) ++end;
        rows.append(QItemSelectionRange(model->index(static_cast<int>(i), 0),
                                        model->index(static_cast<int>(end), lastColumn)));
        i = end + 1;
    }
    {
        const QSignalBlocker quiet(m_list);
        {
            // The view is not told row by row: Qt looks up each row it has
            // not met before by searching the list from its end, which over
            // every row takes time in the square of their number. The
            // repaint below shows the new texts.
            const QSignalBlocker quietModel(model);
            for (size_t i = 0; i < changed.size() && i < pages.size(); ++i)
                if (changed[i] != 0) FillRow(m_list->topLevelItem(static_cast<int>(i)), *pages[i]);
        }
        // Clearing first spares the selection model from comparing the old
        // ranges with the new ones pair by pair; the ranges span every column
        // already, as widening each to a row would merge them pair by pair.
        QItemSelectionModel* selection = m_list->selectionModel();
        selection->clearSelection();
        selection->select(rows, QItemSelectionModel::Select);
    }
    m_list->viewport()->update();
    UpdateControls();
}

void CContentPage::FillFileList() {
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(m_app.project.pages.size()));
        for (const auto& entry : m_app.project.pages) {
            auto* item = new QTreeWidgetItem;
            FillRow(item, *entry);
            rows.append(item);
        }
        m_list->addTopLevelItems(rows);
    }
    UpdateControls();
}

void CContentPage::FillRow(QTreeWidgetItem* item, const CPieceElem& entry) const {
    if (item == nullptr) return;
    item->setText(kColumnFile, ToQString(entry.path));
    item->setText(kColumnIncluded, Flag(entry.included));
    item->setText(kColumnSearchable, Flag(entry.inSearch));
    item->setTextAlignment(kColumnIncluded, Qt::AlignCenter);
    item->setTextAlignment(kColumnSearchable, Qt::AlignCenter);
}

void CContentPage::UpdateControls() {
    SetWizardButtons(PSWIZB_NEXT);
    const std::vector<char> rows = SelectedRows();
    const auto selected = std::count(rows.begin(), rows.end(), 1);
    m_moveUp->setEnabled(selected > 0);
    m_moveDown->setEnabled(selected > 0);
    m_properties->setEnabled(selected == 1);
    m_reScan->setEnabled(m_app.projectOpen != 0);
}

int CContentPage::RowCount() const {
    return m_list->topLevelItemCount();
}

std::vector<char> CContentPage::SelectedRows() const {
    // From the selection's ranges: asking row by row would search all of
    // them for every row.
    const int n = RowCount();
    std::vector<char> rows(static_cast<size_t>(n), 0);
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        if (range.parent().isValid()) continue;  // the list has top-level rows only
        const int last = std::min(range.bottom(), n - 1);
        for (int row = std::max(range.top(), 0); row <= last; ++row)
            rows[static_cast<size_t>(row)] = 1;
    }
    return rows;
}

}  // namespace folivex
