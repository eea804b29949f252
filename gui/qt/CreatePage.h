// CCreatePage: the view of the third and last page of the wizard, "Create".
//
// Draws the six text fields, the e-book file name with its "..." button and
// the three commands, and forwards the buttons to its CreateController
// (wizard/CreateController.h): "&Create E-Book" (button1044) goes to
// CreateController::CreateEBook, whose one call of the build is
// CreateController::Build. Controls are named as gui/qt/ControlNames.h says
// ("edit1035", "static1042", "button1044", ...). A build that lasts shows
// its progress in a small window. The fields take texts of
// any length; the About text is centred and Return starts a new line in it.
#pragma once

#include <memory>

#include "gui/qt/QtControls.h"
#include "gui/qt/WizardPage.h"

namespace folivex {

class CBuildProgressWindow;
class CreateController;

class CCreatePage : public CWizardPage, public QtControls<CreateView> {
public:
    explicit CCreatePage(CreateController& controller, QWidget* parent = nullptr);
    ~CCreatePage() override;

    // While a build runs: the progress window (gui/qt/BuildProgressWindow.h).
    void BuildStarted() override;
    void ShowBuildProgress(const BuildProgress& progress) override;
    void BuildEnded() override;

private:
    CreateController& m_controller;
    std::unique_ptr<CBuildProgressWindow> m_progress;
};

}  // namespace folivex
