#include "wizard/CreateController.h"

#include <cassert>
#include <string>

#include "builder/BuildEBook.h"
#include "builder/LinkReport.h"
#include "wizard/ControlIds.h"
#include "wizard/WizardApp.h"

namespace folivex {

namespace {

// The page's texts with the fields they show, in tab order.
struct TextControl {
    int id;
    std::string BookProject::*field;
};
const TextControl kTextControls[] = {
    {IDC_TITLE, &BookProject::title},          {IDC_AUTHOR, &BookProject::author},
    {IDC_COPYRIGHT, &BookProject::copyright},  {IDC_URL, &BookProject::url},
    {IDC_EMAIL, &BookProject::email},          {IDC_ABOUT_INFO, &BookProject::aboutInfo},
    {IDC_EBOOK_FILE, &BookProject::ebookFile},
};

}  // namespace

CreateView& CreateController::View() {
    assert(m_view != nullptr && "the Create page's view is attached before it is shown");
    return *m_view;
}

bool CreateController::OnCommand(int id) {
    switch (id) {
        case IDC_PICK_EBOOK: OnPickOutputFile(); return true;
        case IDC_CREATE_EBOOK: CreateEBook(); return true;
        case IDC_RUN_EBOOK: RunEBook(); return true;
        case IDC_SAVE_PROJECT_AS: OnSaveProjectAs(); return true;
        default: return false;
    }
}

void CreateController::ShowValues() {
    for (const TextControl& text : kTextControls)
        m_shown.Show(View(), text.id, m_app.project.*text.field);
}

void CreateController::CopyValues() {
    for (const TextControl& text : kTextControls)
        m_shown.Copy(View(), text.id, m_app.project.*text.field);
}

void CreateController::OnPickOutputFile() {
    CopyValues();
    PickOutputFile();
}

bool CreateController::PickOutputFile() {
    FileDialogRequest request;
    request.save = true;
    // The project's own ebookFile is deliberately not the starting point.
    request.initialName = m_app.lastEBookFile.empty() ? "ebook.exe" : m_app.lastEBookFile;
    request.defaultExt = "exe";
    request.filter = "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*||";
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    const auto file = m_app.GetPrompts().PickFile(request);
    if (!file) return false;
    m_app.project.ebookFile = *file;
    m_app.lastEBookFile = *file;
    ShowValues();
    return true;
}

void CreateController::CreateEBook() {
    CopyValues();
    if (m_app.project.ebookFile.empty() && !PickOutputFile()) return;
    LinkReport links;
    if (!Build(links)) return;
    const std::string done = "E-Book " + m_app.project.ebookFile + " created successfully.";
    const std::string summary = LinkReportSummary(links.Findings(false));
    if (summary.empty()) {
        m_app.GetPrompts().ShowMessage(done, MsgButtons::OK, MsgIcon::Information);
        return;
    }
    // The counts in the message, the first findings of each kind behind it.
    m_app.GetPrompts().ShowMessageWithDetails(done + "\n\n" + summary.substr(0, summary.find('\n')),
                                              summary, MsgIcon::Information);
}

bool CreateController::Build(LinkReport& links) {
    CreateView& view = View();
    view.BuildStarted();
    struct EndsTheBuild {
        CreateView& view;
        ~EndsTheBuild() { view.BuildEnded(); }
    } ends{view};
    // The build has told the author what failed when it returns 0.
    const auto progress = [&view](const BuildProgress& p) { view.ShowBuildProgress(p); };
    return BuildEBook(m_app, nullptr, progress, &links) != 0;
}

void CreateController::RunEBook() {
    if (m_app.project.ebookFile.empty()) return;
    // Failures are silent: the author sees that nothing started.
    (void)m_app.Launcher().Start(m_app.project.ebookFile);
}

void CreateController::OnSaveProjectAs() {
    CopyValues();
    m_app.SaveProjectAs();
}

}  // namespace folivex
