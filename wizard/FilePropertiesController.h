// FilePropertiesController: the "File Properties" dialog, the attributes of
// one file.
//
// Top to bottom the dialog shows "Make &Home Page" (IDC_MAKE_HOME_PAGE),
// "Included in &Project" (IDC_INCLUDED), "Included in S&earch"
// (IDC_IN_SEARCH), then OK (the default) and Cancel. "Included in &Page
// Sequence" (IDC_IN_PAGE_SEQUENCE) exists but is never shown, so its member
// passes through unchanged. The boxes are set from the members when the
// dialog opens; on OK the members take the boxes' states (0 or 1); on Cancel
// they stay as they were.
#pragma once

#include <cstdint>

#include "wizard/Views.h"

namespace folivex {

class CWizardApp;

class FilePropertiesController {
public:
    explicit FilePropertiesController(CWizardApp& app) : m_app(app) {}

    // The dialog opens: each box from its member.
    void OnInitDialog(ControlView& dialog);
    // OK: each member from its box.
    void OnOK(const ControlView& dialog);
    // F1 in the dialog.
    void OnHelp();

    int32_t m_bMakeHomePage = 0;
    int32_t m_bInPageSequence = 0;
    int32_t m_bIncluded = 0;
    int32_t m_bInSearch = 0;

private:
    CWizardApp& m_app;
};

}  // namespace folivex
