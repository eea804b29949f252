#include "wizard/InterfaceController.h"

#include <cassert>

#include "wizard/ControlIds.h"
#include "wizard/WizardApp.h"

namespace folivex {

namespace {

// The check boxes besides the ten toolbar buttons, with their flags.
struct FlagBox {
    int id;
    int32_t BookProject::*flag;
};
const FlagBox kFlagBoxes[] = {
    {IDC_SHOW_ABOUT, &BookProject::showAboutAtStart},
    {IDC_START_MAXIMIZED, &BookProject::startMaximized},
    {IDC_START_FULL_SCREEN, &BookProject::startFullScreen},
    {IDC_SHOW_TOOLBAR, &BookProject::showToolbar},
};

}  // namespace

ControlView& InterfaceController::View() {
    assert(m_view != nullptr && "the Interface page's view is attached before it is shown");
    return *m_view;
}

bool InterfaceController::OnCommand(int id) {
    switch (id) {
        case IDC_PICK_SPLASH: PickSplashBitmap(); return true;
        case IDC_PICK_ICON: PickIconFile(); return true;
        default: return false;
    }
}

void InterfaceController::ShowValues() {
    const BookProject& p = m_app.project;
    m_shown.Show(View(), IDC_SPLASH_FILE, p.splashFile);
    m_shown.Show(View(), IDC_ICON_FILE, p.iconFile);
    for (const FlagBox& box : kFlagBoxes) View().SetCheck(box.id, p.*box.flag != 0);
    for (size_t i = 0; i < kToolbarButtonIds.size(); ++i)
        View().SetCheck(kToolbarButtonIds[i], p.toolbarButtons[i] != 0);
}

void InterfaceController::CopyValues() {
    BookProject& p = m_app.project;
    m_shown.Copy(View(), IDC_SPLASH_FILE, p.splashFile);
    m_shown.Copy(View(), IDC_ICON_FILE, p.iconFile);
    for (const FlagBox& box : kFlagBoxes) p.*box.flag = View().GetCheck(box.id) ? 1 : 0;
    for (size_t i = 0; i < kToolbarButtonIds.size(); ++i)
        p.toolbarButtons[i] = View().GetCheck(kToolbarButtonIds[i]) ? 1 : 0;
}

void InterfaceController::PickSplashBitmap() {
    PickInto(m_app.project.splashFile, m_app.lastSplashFile, "*.bmp", "bmp",
             "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||");
}

void InterfaceController::PickIconFile() {
    PickInto(m_app.project.iconFile, m_app.lastIconFile, "*.ico", "ico",
             "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*||");
}

void InterfaceController::PickInto(std::string& field, std::string& remembered,
                                   const char* wildcard, const char* defaultExt,
                                   const char* filter) {
    // Copy first, so boxes ticked just before survive the show below.
    CopyValues();
    FileDialogRequest request;
    request.initialName = remembered.empty() ? wildcard : remembered;
    request.defaultExt = defaultExt;
    request.filter = filter;
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const auto file = m_app.GetPrompts().PickFile(request);
    if (!file) return;
    field = *file;
    remembered = *file;
    ShowValues();
}

}  // namespace folivex
