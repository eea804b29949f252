// The Content page's file list: a report-view list control that shows what
// ContentController says, and tells it of double clicks and selection
// changes.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "gui/win32/BookSheet.h"
#include "gui/win32/Win32Views.h"
#include "platform/Wide.h"
#include "wizard/ContentController.h"
#include "wizard/ControlIds.h"

namespace folivex {

namespace {

// Posted to the page when the list's selection has changed: a selection
// made over many rows tells the controller once, not once per row.
constexpr UINT kSelectionChanged = WM_APP + 1;

enum Column : int { kColumnFile = 0, kColumnIncluded = 1, kColumnSearchable = 2 };

// Redrawing held off, and the list's notifications ignored, while the view
// changes the list for the controller.
class QuietList {
public:
    QuietList(HWND list, int& quiet) : m_list(list), m_quiet(quiet) {
        ++m_quiet;
        SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    }
    ~QuietList() {
        SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_list, nullptr, TRUE);
        --m_quiet;
    }
    QuietList(const QuietList&) = delete;
    QuietList& operator=(const QuietList&) = delete;

private:
    HWND m_list;
    int& m_quiet;
};

void SetCell(HWND list, size_t row, int column, const std::string& text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

Win32ContentPage::Win32ContentPage(BookSheet& sheet, int templateId)
    : Win32Page(sheet, sheet.Controller().Content(), templateId) {
    sheet.Controller().Content().Attach(*this);
}

HWND Win32ContentPage::List() const {
    return GetDlgItem(Window(), IDC_FILE_LIST);
}

void Win32ContentPage::CreateColumns(const std::vector<ListColumn>& columns) {
    HWND list = List();
    RECT outer{};
    GetWindowRect(list, &outer);
    const int unit = (outer.right - outer.left) / 20;
    for (size_t i = 0; i < columns.size(); ++i) {
        std::wstring caption = Widen(columns[i].caption);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_CENTER;  // the list shows its first column left-aligned
        column.cx = columns[i].units * unit;
        column.pszText = caption.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void Win32ContentPage::SetCells(size_t row, const ListRow& cells) {
    HWND list = List();
    SetCell(list, row, kColumnFile, cells.file);
    SetCell(list, row, kColumnIncluded, cells.included);
    SetCell(list, row, kColumnSearchable, cells.searchable);
}

void Win32ContentPage::FillList(const std::vector<ListRow>& rows) {
    HWND list = List();
    const QuietList quiet(list, m_quiet);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        std::wstring file = Widen(rows[i].file);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = file.data();
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetCell(list, i, kColumnIncluded, rows[i].included);
        SetCell(list, i, kColumnSearchable, rows[i].searchable);
    }
}

void Win32ContentPage::SetRows(const std::vector<std::pair<size_t, ListRow>>& rows) {
    const QuietList quiet(List(), m_quiet);
    for (const auto& [index, row] : rows) SetCells(index, row);
}

std::vector<char> Win32ContentPage::SelectedRows() const {
    HWND list = List();
    std::vector<char> rows(static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)), 0);
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        if (static_cast<size_t>(i) < rows.size()) rows[static_cast<size_t>(i)] = 1;
    return rows;
}

void Win32ContentPage::SetSelection(const std::vector<char>& selected,
                                    std::optional<size_t> focus) {
    HWND list = List();
    const QuietList quiet(list, m_quiet);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (size_t i = 0; i < selected.size(); ++i)
        if (selected[i] != 0)
            ListView_SetItemState(list, static_cast<int>(i), LVIS_SELECTED, LVIS_SELECTED);
    if (focus) {
        const int row = static_cast<int>(*focus);
        ListView_SetItemState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(list, row, FALSE);
    }
}

bool Win32ContentPage::RunFilePropertiesDialog(FilePropertiesController& dialog) {
    return folivex::RunFilePropertiesDialog(GetParent(Window()), dialog);
}

bool Win32ContentPage::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam,
                                 intptr_t& result) {
    ContentController& content = m_sheet.Controller().Content();
    if (message == kSelectionChanged) {
        m_selectionChangePending = false;
        content.OnFileListSelectionChanged();
        result = 0;
        return true;
    }
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->idFrom == IDC_FILE_LIST) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        result = 0;
        if (header->code == NM_DBLCLK) {
            content.OnFileListDoubleClick();
            return true;
        }
        if (header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            const bool selection = (change->uChanged & LVIF_STATE) != 0 &&
                                   ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0;
            if (selection && m_quiet == 0 && !m_selectionChangePending) {
                m_selectionChangePending = true;
                PostMessageW(Window(), kSelectionChanged, 0, 0);
            }
            return true;
        }
        return false;
    }
    return Win32Page::OnMessage(message, wParam, lParam, result);
}

}  // namespace folivex
