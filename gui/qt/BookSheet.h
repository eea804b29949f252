// CBookSheet: the view of the program's only main window, the three-page
// wizard (wizard/SheetController.h says how it behaves).
//
// It holds the three page views, one above the other, and the button row:
// "About Foli&vex..." (the About item, which the window manager's system
// menu cannot carry here; its access key is one that no page uses),
// "< &Back", "&Next >", "Cancel" and "&Help"; there is no Finish button. The
// title bar shows the current page's caption. Every button, F1, Escape and
// the close box go to the controller; Escape is never passed on to close
// the dialog.
#pragma once

#include <QDialog>
#include <array>

#include "wizard/SheetController.h"

class QPushButton;
class QStackedWidget;

namespace folivex {

class CWizardPage;

class CBookSheet : public QDialog, public SheetView {
    Q_OBJECT
public:
    // Makes the page views, attaches itself and them to controller and
    // starts it: the wizard opens on the Content page.
    explicit CBookSheet(SheetController& controller, QWidget* parent = nullptr);

    void ShowPage(int index, const std::string& caption) override;
    void SetWizardButtons(uint32_t buttons) override;
    void ShowAboutBox() override;
    void EndWizard() override;

    int ActivePageIndex() const;
    CWizardPage* Page(int index) const { return m_pages[static_cast<size_t>(index)]; }

public slots:
    // Cancel, the close box and Close.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SheetController& m_controller;
    std::array<CWizardPage*, SheetController::kPageCount> m_pages{};
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
};

}  // namespace folivex
