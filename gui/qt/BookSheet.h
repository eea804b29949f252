// CBookSheet: the program's only main window, a three-page wizard.
//
// Pages, in order: Content, Interface, Create. The title bar shows the current
// page's caption. The button row holds "About Foli&vex..." (the About item,
// which the window manager's system menu cannot carry here; its access key
// is one that no page uses), "< &Back", "&Next >",
// "Cancel" and "&Help"; there is no Finish button. Each page enables Back and
// Next as it needs when it becomes current (Content: Next; Interface: Back and
// Next; Create: Back).
//
// Escape goes to the focused control and never closes the wizard. Cancel, the
// close box and the window manager's Close all close it; no page can refuse.
// Closing first has the page on screen copy its controls into the project
// (Interface or Create), then tells every page that has been shown at least
// once, the Content page, which saves the project, last. So whatever page is
// on screen, nothing set there is missing from the saved file. Help and F1
// run the help handler.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QPushButton;
class QStackedWidget;

namespace folivex {

class CBookApp;
class CWizardPage;
class CContentPage;
class CInterfacePage;
class CCreatePage;

class CBookSheet : public QDialog {
    Q_OBJECT
public:
    enum PageIndex : int { kContentPage = 0, kInterfacePage = 1, kCreatePage = 2, kPageCount = 3 };

    CBookSheet(CBookApp& app, std::function<void()> showHelp, QWidget* parent = nullptr);
    ~CBookSheet() override;

    int ActivePageIndex() const;
    CWizardPage* Page(int index) const { return m_pages[static_cast<size_t>(index)]; }
    CContentPage* ContentPage() const;
    CInterfacePage* InterfacePage() const;
    CCreatePage* CreatePage() const;

    // Enables Back and Next after PSWIZB_BACK / PSWIZB_NEXT.
    void SetWizardButtons(int buttons);

    // Opens the About box modally over the wizard.
    void ShowAboutBox();

    // Runs the help handler (Help button, F1).
    void ShowHelp();

public slots:
    // Cancel, the close box and Close: the close steps of the pages, then the
    // wizard closes.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetActivePage(int index);
    void OnBack();
    void OnNext();

    CBookApp& m_app;
    std::function<void()> m_showHelp;
    std::array<CWizardPage*, kPageCount> m_pages{};
    std::array<bool, kPageCount> m_shown{};
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    bool m_closing = false;
};

}  // namespace folivex
