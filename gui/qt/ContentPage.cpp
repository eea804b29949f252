#include "gui/qt/ContentPage.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>
#include <vector>

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

void CContentPage::OnNewProject() {
    if (QuerySaveProject() == 0) return;
    const auto folder = BrowseForProjectFolder(m_app.lastProjectDir);
    if (folder && CheckFolderListable(*folder)) {
        m_app.project.pages.clear();
        ScanProjectFolder(m_app, *folder, [this] { FillFileList(); });
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
    if (folder && CheckFolderListable(*folder))
        ScanProjectFolder(m_app, *folder, [this] { FillFileList(); });
    UpdateControls();
}

void CContentPage::OnFileProperties() {
    int row = -1;
    for (int i = 0; i < RowCount(); ++i) {
        if (IsRowSelected(i)) {
            row = i;
            break;
        }
    }
    if (row < 0 || static_cast<size_t>(row) >= m_app.project.pages.size()) return;
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
    const int n = RowCount();
    if (n <= 0 || pages.empty()) return;
    std::vector<int> selected(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) selected[static_cast<size_t>(i)] = IsRowSelected(i) ? 1 : 0;

    // From the top down: a run of selected rows moves up as a block, and a run
    // that starts at the first row stays where it is.
    const size_t last = std::min(pages.size(), static_cast<size_t>(n)) - 1;
    for (size_t i = 1; i <= last; ++i) {
        if (selected[i] != 0 && selected[i - 1] == 0) {
            std::swap(pages[i - 1], pages[i]);
            FillRow(m_list->topLevelItem(static_cast<int>(i - 1)), *pages[i - 1]);
            FillRow(m_list->topLevelItem(static_cast<int>(i)), *pages[i]);
            std::swap(selected[i - 1], selected[i]);
        }
    }
    {
        const QSignalBlocker quiet(m_list);
        for (int i = 0; i < n; ++i) SetRowSelected(i, selected[static_cast<size_t>(i)] != 0);
    }
    m_list->viewport()->update();
    UpdateControls();
}

void CContentPage::OnMoveDown() {
    auto& pages = m_app.project.pages;
    const int n = RowCount();
    if (n <= 0 || pages.empty()) return;
    std::vector<int> selected(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) selected[static_cast<size_t>(i)] = IsRowSelected(i) ? 1 : 0;

    // The mirror image: from the bottom up, and a run that ends at the last
    // row stays where it is.
    const int count = static_cast<int>(std::min(pages.size(), static_cast<size_t>(n)));
    for (int i = count - 1; i >= 0; --i) {
        const auto at = static_cast<size_t>(i);
        if (i < count - 1 && selected[at] != 0 && selected[at + 1] == 0) {
            std::swap(pages[at], pages[at + 1]);
            FillRow(m_list->topLevelItem(i), *pages[at]);
            FillRow(m_list->topLevelItem(i + 1), *pages[at + 1]);
            std::swap(selected[at], selected[at + 1]);
        }
    }
    {
        const QSignalBlocker quiet(m_list);
        for (int i = 0; i < n; ++i) SetRowSelected(i, selected[static_cast<size_t>(i)] != 0);
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
    int selected = 0;
    for (int i = 0; i < RowCount(); ++i) selected += IsRowSelected(i) ? 1 : 0;
    m_moveUp->setEnabled(selected > 0);
    m_moveDown->setEnabled(selected > 0);
    m_properties->setEnabled(selected == 1);
    m_reScan->setEnabled(m_app.projectOpen != 0);
}

int CContentPage::RowCount() const {
    return m_list->topLevelItemCount();
}

bool CContentPage::IsRowSelected(int row) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item != nullptr && item->isSelected();
}

void CContentPage::SetRowSelected(int row, bool selected) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row)) item->setSelected(selected);
}

}  // namespace folivex
