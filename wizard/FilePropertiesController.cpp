#include "wizard/FilePropertiesController.h"

#include "wizard/ControlIds.h"
#include "wizard/WizardApp.h"

namespace folivex {

namespace {

// In template order: 1046, 1047, 1048, 1050.
struct Binding {
    int id;
    int32_t FilePropertiesController::*member;
};
const Binding kBindings[] = {
    {IDC_MAKE_HOME_PAGE, &FilePropertiesController::m_bMakeHomePage},
    {IDC_INCLUDED, &FilePropertiesController::m_bIncluded},
    {IDC_IN_PAGE_SEQUENCE, &FilePropertiesController::m_bInPageSequence},
    {IDC_IN_SEARCH, &FilePropertiesController::m_bInSearch},
};

}  // namespace

void FilePropertiesController::OnInitDialog(ControlView& dialog) {
    for (const Binding& b : kBindings) dialog.SetCheck(b.id, this->*b.member != 0);
}

void FilePropertiesController::OnOK(const ControlView& dialog) {
    for (const Binding& b : kBindings) this->*b.member = dialog.GetCheck(b.id) ? 1 : 0;
}

void FilePropertiesController::OnHelp() {
    m_app.ShowHelp();
}

}  // namespace folivex
