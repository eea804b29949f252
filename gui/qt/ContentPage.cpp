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
#include "wizard/ContentController.h"

namespace folivex {

namespace {

enum Column : int { kColumnFile = 0, kColumnIncluded = 1, kColumnSearchable = 2 };

}  // namespace

CContentPage::CContentPage(ContentController& controller, QWidget* parent)
    : CWizardPage(parent), m_controller(controller) {
    const DialogUnits du(*this);
    auto button = [&](const char* text, int id, int x, int y, int w, int h) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(ControlName("button", id));
        du.Place(b, x, y, w, h);
        Register(id, b);
        connect(b, &QPushButton::clicked, this, [this, id] { m_controller.OnCommand(id); });
        return b;
    };
    button("New &Project...", IDC_NEW_PROJECT, 8, 8, 61, 14);
    button("&Open Project...", IDC_OPEN_PROJECT, 8, 25, 61, 14);
    button("&Re-Scan Dir...", IDC_RESCAN_DIR, 8, 42, 61, 14);
    button("&File Properties...", IDC_FILE_PROPERTIES, 8, 66, 61, 14);

    auto* order = new QGroupBox(QStringLiteral("Page Order"), this);
    order->setObjectName(QStringLiteral("groupPageOrder"));
    du.Place(order, 6, 94, 65, 48);
    button("Move &Up", IDC_MOVE_UP, 12, 106, 52, 14);
    button("Move &Down", IDC_MOVE_DOWN, 12, 123, 52, 14);

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

    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this] { m_controller.OnFileListDoubleClick(); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_controller.OnFileListSelectionChanged(); });
    controller.Attach(*this);
}

void CContentPage::CreateColumns(const std::vector<ListColumn>& columns) {
    const int u = m_list->width() / 20;
    QStringList captions;
    for (const ListColumn& column : columns) captions << QString::fromLatin1(column.caption);
    m_list->setColumnCount(static_cast<int>(columns.size()));
    m_list->setHeaderLabels(captions);
    QTreeWidgetItem* header = m_list->headerItem();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        // The platform's list shows its first column left-aligned whatever
        // it is asked; the others are centred.
        if (i > 0) header->setTextAlignment(i, Qt::AlignCenter);
        m_list->setColumnWidth(i, columns[static_cast<size_t>(i)].units * u);
    }
}

void CContentPage::FillList(const std::vector<ListRow>& rows) {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const ListRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        FillRow(item, row);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
}

void CContentPage::SetRows(const std::vector<std::pair<size_t, ListRow>>& rows) {
    const QSignalBlocker quiet(m_list);
    {
        // The view is not told row by row: Qt looks up each row it has not
        // met before by searching the list from its end, which over every
        // row takes time in the square of their number. The repaint below
        // shows the new texts.
        const QSignalBlocker quietModel(m_list->model());
        for (const auto& [index, row] : rows)
            FillRow(m_list->topLevelItem(static_cast<int>(index)), row);
    }
    m_list->viewport()->update();
}

void CContentPage::FillRow(QTreeWidgetItem* item, const ListRow& row) {
    if (item == nullptr) return;
    item->setText(kColumnFile, ToQString(row.file));
    item->setText(kColumnIncluded, ToQString(row.included));
    item->setText(kColumnSearchable, ToQString(row.searchable));
    item->setTextAlignment(kColumnIncluded, Qt::AlignCenter);
    item->setTextAlignment(kColumnSearchable, Qt::AlignCenter);
}

std::vector<char> CContentPage::SelectedRows() const {
    // From the selection's ranges: asking row by row would search all of
    // them for every row.
    const int n = m_list->topLevelItemCount();
    std::vector<char> rows(static_cast<size_t>(n), 0);
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        if (range.parent().isValid()) continue;  // the list has top-level rows only
        const int last = std::min(range.bottom(), n - 1);
        for (int row = std::max(range.top(), 0); row <= last; ++row)
            rows[static_cast<size_t>(row)] = 1;
    }
    return rows;
}

void CContentPage::SetSelection(const std::vector<char>& selected, std::optional<size_t> focus) {
    QAbstractItemModel* model = m_list->model();
    const int lastColumn = std::max(m_list->columnCount() - 1, 0);
    const size_t n = std::min(selected.size(), static_cast<size_t>(model->rowCount()));
    QItemSelection rows;
    for (size_t i = 0; i < n;) {
        if (selected[i] == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end + 1 < n && selected[end + 1] != 0) ++end;
        rows.append(QItemSelectionRange(model->index(static_cast<int>(i), 0),
                                        model->index(static_cast<int>(end), lastColumn)));
        i = end + 1;
    }
    const QSignalBlocker quiet(m_list);
    // Clearing first spares the selection model from comparing the old
    // ranges with the new ones pair by pair; the ranges span every column
    // already, as widening each to a row would merge them pair by pair.
    QItemSelectionModel* selection = m_list->selectionModel();
    selection->clearSelection();
    selection->select(rows, QItemSelectionModel::Select);
    if (focus && *focus < n)
        selection->setCurrentIndex(model->index(static_cast<int>(*focus), 0),
                                   QItemSelectionModel::NoUpdate);
    m_list->viewport()->update();
}

bool CContentPage::RunFilePropertiesDialog(FilePropertiesController& dialog) {
    CFilePropertiesDlg view(dialog, this);
    return view.exec() == QDialog::Accepted;
}

}  // namespace folivex
