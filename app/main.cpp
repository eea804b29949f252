// folivex: the authoring wizard. No command-line arguments: the whole run is
// one modal wizard between start-up and shut-down.
#include <QApplication>

#include "app/ProgramIcon.h"
#include "app/QtPrompts.h"
#include "app/WizardApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(folivex::ProgramIcon());
    folivex::QtPrompts prompts;
    folivex::CWizardApp app(prompts);
    app.StartUp();
    return app.ShutDown();
}
