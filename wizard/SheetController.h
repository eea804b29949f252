// SheetController: the logic of the main wizard, three pages in a row.
//
// Pages, in order: Content, Interface, Create, each enabling its wizard
// buttons when it becomes current (Content: Next; Interface: Back and Next;
// Create: Back); there is no Finish. Back and Next copy the page's controls
// into the project first; the Content page refuses Next while the project
// has no entries.
//
// Cancel, the close box and the window manager's Close all close the wizard;
// no page can refuse. Escape never closes it. Closing first has the page on
// screen copy its controls into the project, then tells every page that has
// been shown at least once, last to first, so the Content page, which saves
// the project, comes after every page that copies: whatever page is on
// screen, nothing set there is missing from the saved file. Pages left
// earlier do not copy again (they copied when they were left, and copying
// again could put back the values of a project opened since).
#pragma once

#include <array>
#include <cstdint>

#include "wizard/ContentController.h"
#include "wizard/CreateController.h"
#include "wizard/InterfaceController.h"
#include "wizard/Views.h"

namespace folivex {

class CWizardApp;

// How the author asked to close the wizard.
enum class CloseRequest { CancelButton, CloseBox, EscapeKey };

class SheetController {
public:
    enum PageIndex : int { kContentPage = 0, kInterfacePage = 1, kCreatePage = 2, kPageCount = 3 };

    explicit SheetController(CWizardApp& app);

    ContentController& Content() { return m_content; }
    InterfaceController& Interface() { return m_interface; }
    CreateController& Create() { return m_create; }

    // The wizard's view, then the pages' views, are attached before Start,
    // which opens the wizard on the Content page.
    void Attach(SheetView& view) { m_view = &view; }
    void Start();

    int ActivePage() const { return m_active; }
    static const char* Caption(int page);
    static uint32_t WizardButtons(int page);

    // The wizard's buttons (ID_WIZBACK, ID_WIZNEXT, IDCANCEL, IDHELP,
    // IDM_ABOUTBOX). False when id is none of them.
    bool OnCommand(int id);
    // False when the wizard stays on its page.
    bool OnBack();
    bool OnNext();
    // True when the wizard has closed.
    bool OnCloseRequest(CloseRequest how);
    // The About box (button or system menu).
    void OnAbout();
    // The Help button, and F1 in any window of the program.
    void OnHelp();

private:
    PageController& Page(int index);
    void SetActivePage(int index);

    CWizardApp& m_app;
    ContentController m_content;
    InterfaceController m_interface;
    CreateController m_create;
    SheetView* m_view = nullptr;
    int m_active = kContentPage;
    std::array<bool, kPageCount> m_shown{};
    bool m_closing = false;
};

}  // namespace folivex
