// CInterfacePage: the view of the second page of the wizard, "Interface".
//
// Draws the splash bitmap and icon paths (sunken statics with their "..."
// buttons) and the start-up and toolbar check boxes, and forwards the two
// "..." buttons to its InterfaceController (wizard/InterfaceController.h).
// Controls are named as gui/qt/ControlNames.h says ("check1012",
// "static1008", ...).
#pragma once

#include "gui/qt/QtControls.h"
#include "gui/qt/WizardPage.h"

namespace folivex {

class InterfaceController;

class CInterfacePage : public CWizardPage, public QtControls<ControlView> {
public:
    explicit CInterfacePage(InterfaceController& controller, QWidget* parent = nullptr);

private:
    InterfaceController& m_controller;
};

}  // namespace folivex
