#include "project/BookApp.h"

#include "project/Defaults.h"

namespace folivex {

CBookApp::CBookApp(Prompts& prompts) : m_prompts(prompts) {
    ResetProject();
}

void CBookApp::ResetProject() {
    project.pages.clear();
    project.pages.shrink_to_fit();

    project.showAboutAtStart = 0;
    project.startMaximized = 1;
    project.startFullScreen = 0;
    project.showToolbar = 1;
    project.toolbarButtons.fill(1);

    project.title = kDefaultTitle;
    project.aboutInfo.clear();
    project.splashFile.clear();
    project.iconFile.clear();
    project.ebookFile.clear();
    project.projectDir.clear();

    projectOpen = 0;
    rsrcFileOffset = 0;
    rsrcRva = 0;
}

void CBookApp::ReportFileError(const std::string& prefix, const CException& error) {
    m_prompts.ShowMessage(FileErrorMessage(prefix, error), MsgButtons::OK, MsgIcon::Stop);
}

}  // namespace folivex
