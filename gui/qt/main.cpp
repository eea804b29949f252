// folivex: the authoring wizard. No command-line arguments: the whole run is
// one modal wizard between start-up and shut-down.
#include <QApplication>

#include "gui/qt/ProgramIcon.h"
#include "gui/qt/QtPrompts.h"
#include "gui/qt/WizardApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(folivex::ProgramIcon());
    folivex::QtPrompts prompts;
    folivex::CWizardApp app(prompts);
    app.StartUp();
    return app.ShutDown();
}
