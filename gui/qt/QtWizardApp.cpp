#include "gui/qt/QtWizardApp.h"

#include <QCoreApplication>
#include <QDir>

#include "gui/qt/BookSheet.h"
#include "gui/qt/QtText.h"
#include "resources/ViewerStub.h"

namespace folivex {

QtWizardApp::QtWizardApp() : m_app(m_prompts, m_store, m_launcher) {
    m_app.viewerStub = EmbeddedViewerStub();
    // FOLIVEX_HELP_DATA_DIR: the installed data folder relative to the
    // installed program (set by gui/qt/CMakeLists.txt).
    m_app.helpFolders = CWizardApp::HelpFolders(
        FromQString(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())),
        FOLIVEX_HELP_DATA_DIR);
}

int QtWizardApp::Run() {
    m_app.StartUp([this] {
        SheetController controller(m_app);
        CBookSheet sheet(controller);
        sheet.exec();
    });
    return m_app.ShutDown();
}

}  // namespace folivex
