// folivex: the authoring wizard. No command-line arguments: the whole run is
// one modal wizard between start-up and shut-down.
#include <QApplication>

#include "gui/qt/ProgramIcon.h"
#include "gui/qt/QtWizardApp.h"
#include "platform/HeapTuning.h"

int main(int argc, char* argv[]) {
    folivex::TuneHeap(argv);
    QApplication application(argc, argv);
    QApplication::setWindowIcon(folivex::ProgramIcon());
    folivex::QtWizardApp program;
    return program.Run();
}
