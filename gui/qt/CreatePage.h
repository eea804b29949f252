// CCreatePage: the view of the third and last page of the wizard, "Create".
//
// Draws the six text fields, the e-book file name with its "..." button and
// the three commands, and forwards the buttons to its CreateController
// (wizard/CreateController.h): "&Create E-Book" (button1044) goes to
// CreateController::CreateEBook, whose one call of the build is
// CreateController::Build. Controls are named as gui/qt/ControlNames.h says
// ("edit1035", "static1042", "button1044", ...). The fields take texts of
// any length; the About text is centred and Return starts a new line in it.
#pragma once

#include "gui/qt/QtControls.h"
#include "gui/qt/WizardPage.h"

namespace folivex {

class CreateController;

class CCreatePage : public CWizardPage, public QtControls<ControlView> {
public:
    explicit CCreatePage(CreateController& controller, QWidget* parent = nullptr);

private:
    CreateController& m_controller;
};

}  // namespace folivex
