// InterfaceController: the logic of the second page of the wizard,
// "Interface".
//
// How the finished e-book presents itself: the splash bitmap and the custom
// icon (full paths, shown in sunken statics, chosen with the "..." buttons,
// never typed), and the start-up and toolbar flags, one check box each; the
// ten toolbar boxes stay usable whatever "Show &Toolbar" says. Show on every
// activation; copy on Back, on Next, before each picker and when the wizard
// is closed on this page. An unchanged path keeps its bytes.
#pragma once

#include <string>

#include "wizard/PageController.h"
#include "wizard/ShownTexts.h"
#include "wizard/Views.h"

namespace folivex {

class CWizardApp;

class InterfaceController : public PageController {
public:
    explicit InterfaceController(CWizardApp& app) : m_app(app) {}

    // The page's view; set before the page is first shown.
    void Attach(ControlView& view) { m_view = &view; }

    void OnSetActive() override { ShowValues(); }
    void CopyValues() override;
    // The two "..." buttons.
    bool OnCommand(int id) override;

    void PickSplashBitmap();
    void PickIconFile();
    void ShowValues();

private:
    ControlView& View();
    // The picker shared by the two "..." buttons: copy, then an open-style
    // picker starting at the remembered file (else the wildcard); a chosen
    // file goes into field and remembered, then show.
    void PickInto(std::string& field, std::string& remembered, const char* wildcard,
                  const char* defaultExt, const char* filter);

    CWizardApp& m_app;
    ControlView* m_view = nullptr;
    ShownTexts m_shown;
};

}  // namespace folivex
