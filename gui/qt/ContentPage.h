// CContentPage: the view of the first page of the wizard, "Content".
//
// Draws the page (the four command buttons, the "Page Order" group with
// Move Up and Move Down, the file list) and forwards each button, the list's
// double click and its selection changes to its ContentController
// (wizard/ContentController.h), which decides everything. Controls are named
// as gui/qt/ControlNames.h says ("button1001" ... "list1007").
//
// Rows are rewritten without a notice per row and the selection is set in
// one step, so a move over tens of thousands of rows takes a fraction of a
// second.
#pragma once

#include "gui/qt/QtControls.h"
#include "gui/qt/WizardPage.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace folivex {

class ContentController;

class CContentPage : public CWizardPage, public QtControls<ContentView> {
public:
    explicit CContentPage(ContentController& controller, QWidget* parent = nullptr);

    void CreateColumns(const std::vector<ListColumn>& columns) override;
    void FillList(const std::vector<ListRow>& rows) override;
    void SetRows(const std::vector<std::pair<size_t, ListRow>>& rows) override;
    std::vector<char> SelectedRows() const override;
    void SetSelection(const std::vector<char>& selected, std::optional<size_t> focus) override;
    bool RunFilePropertiesDialog(FilePropertiesController& dialog) override;

    QTreeWidget* FileList() const { return m_list; }

private:
    static void FillRow(QTreeWidgetItem* item, const ListRow& row);

    ContentController& m_controller;
    QTreeWidget* m_list = nullptr;
};

}  // namespace folivex
