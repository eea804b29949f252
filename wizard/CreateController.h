// CreateController: the logic of the third and last page of the wizard,
// "Create".
//
// The texts the e-book carries (title, author, copyright, web address, e-mail
// address, About-box text), the e-book file name, and the commands Create
// E-Book, Run E-Book and Save Project As. Show on every activation; copy on
// Back, when the wizard is closed on this page, before "...", before Create
// E-Book and before Save Project As. Run E-Book uses the stored e-book file.
// A field the author has not changed keeps its bytes; the About text keeps
// its line breaks as "\r\n", as the e-book and project formats carry them.
#pragma once

#include "wizard/PageController.h"
#include "wizard/ShownTexts.h"
#include "wizard/Views.h"

namespace folivex {

class CWizardApp;
class LinkReport;

class CreateController : public PageController {
public:
    explicit CreateController(CWizardApp& app) : m_app(app) {}

    // The page's view; set before the page is first shown.
    void Attach(CreateView& view) { m_view = &view; }

    void OnSetActive() override { ShowValues(); }
    void CopyValues() override;
    // The buttons IDC_PICK_EBOOK ... IDC_SAVE_PROJECT_AS.
    bool OnCommand(int id) override;

    // "...": copy, then PickOutputFile.
    void OnPickOutputFile();
    // The save picker for the e-book file, starting at lastEBookFile or
    // "ebook.exe"; no overwrite question. True when a file was chosen.
    bool PickOutputFile();
    // Copy; pick a file when none is set; build; report success, with the
    // link report's summary when it found anything.
    void CreateEBook();
    // Starts the stored e-book file; silent when it cannot.
    void RunEBook();
    // Copy, then SaveProjectAs of the application.
    void OnSaveProjectAs();

    void ShowValues();

private:
    CreateView& View();
    // The build of the e-book: the one place that calls BuildEBook. True
    // when the e-book was written; links has then read every page.
    bool Build(LinkReport& links);

    CWizardApp& m_app;
    CreateView* m_view = nullptr;
    ShownTexts m_shown;
};

}  // namespace folivex
