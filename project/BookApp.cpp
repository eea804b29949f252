#include "project/BookApp.h"

#include <utility>

namespace folivex {

CBookApp::CBookApp(Prompts& prompts) : m_prompts(prompts) {
    ResetProject();
}

void CBookApp::ResetProject() {
    // A new project starts from BookProject's defaults but keeps the author
    // details, which the wizard carries from one project to the next.
    BookProject fresh;
    fresh.author = std::move(project.author);
    fresh.copyright = std::move(project.copyright);
    fresh.url = std::move(project.url);
    fresh.email = std::move(project.email);
    project = std::move(fresh);

    projectOpen = 0;
    rsrcFileOffset = 0;
    rsrcRva = 0;
}

void CBookApp::ReportFileError(const std::string& prefix, const CException& error) {
    m_prompts.ShowMessage(FileErrorMessage(prefix, error), MsgButtons::OK, MsgIcon::Stop);
}

}  // namespace folivex
