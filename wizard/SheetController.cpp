#include "wizard/SheetController.h"

#include <cassert>

#include "wizard/ControlIds.h"
#include "wizard/WizardApp.h"

namespace folivex {

namespace {

struct PageInfo {
    const char* caption;
    uint32_t wizardButtons;
};
const PageInfo kPages[SheetController::kPageCount] = {
    {"Content", PSWIZB_NEXT},
    {"Interface", PSWIZB_BACK | PSWIZB_NEXT},
    {"Create", PSWIZB_BACK},
};

}  // namespace

SheetController::SheetController(CWizardApp& app)
    : m_app(app), m_content(app), m_interface(app), m_create(app) {}

const char* SheetController::Caption(int page) {
    return kPages[page].caption;
}

uint32_t SheetController::WizardButtons(int page) {
    return kPages[page].wizardButtons;
}

PageController& SheetController::Page(int index) {
    switch (index) {
        case kContentPage: return m_content;
        case kInterfacePage: return m_interface;
        default: return m_create;
    }
}

void SheetController::Start() {
    SetActivePage(kContentPage);
}

void SheetController::SetActivePage(int index) {
    assert(m_view != nullptr && "the wizard's view is attached before it starts");
    m_active = index;
    m_shown[static_cast<size_t>(index)] = true;
    m_view->ShowPage(index, Caption(index));
    m_view->SetWizardButtons(WizardButtons(index));
    Page(index).OnSetActive();
}

bool SheetController::OnCommand(int id) {
    switch (id) {
        case ID_WIZBACK: OnBack(); return true;
        case ID_WIZNEXT: OnNext(); return true;
        case IDCANCEL: OnCloseRequest(CloseRequest::CancelButton); return true;
        case IDHELP: OnHelp(); return true;
        case IDM_ABOUTBOX: OnAbout(); return true;
        default: return false;
    }
}

bool SheetController::OnBack() {
    if ((WizardButtons(m_active) & PSWIZB_BACK) == 0) return false;
    Page(m_active).CopyValues();
    SetActivePage(m_active - 1);
    return true;
}

bool SheetController::OnNext() {
    if ((WizardButtons(m_active) & PSWIZB_NEXT) == 0) return false;
    PageController& page = Page(m_active);
    page.CopyValues();
    if (!page.OnWizardNext()) return false;
    SetActivePage(m_active + 1);
    return true;
}

bool SheetController::OnCloseRequest(CloseRequest how) {
    // Escape reaches the wizard only when the focused control did not want
    // it; unlike a plain dialog the wizard does not close on it.
    if (how == CloseRequest::EscapeKey || m_closing) return false;
    m_closing = true;
    Page(m_active).CopyValues();
    for (int i = kPageCount - 1; i >= 0; --i)
        if (m_shown[static_cast<size_t>(i)]) Page(i).OnReset();
    m_view->EndWizard();
    return true;
}

void SheetController::OnAbout() {
    m_view->ShowAboutBox();
}

void SheetController::OnHelp() {
    m_app.ShowHelp();
}

}  // namespace folivex
