// CCreatePage: the third and last page of the wizard, "Create".
//
// The texts the e-book carries (title, author, copyright, web address, e-mail
// address, About-box text), the e-book file name, and the commands Create
// E-Book, Run E-Book and Save Project As. Show on every activation; copy on
// Back, when the wizard is closed on this page, before "...", before Create
// E-Book and before Save Project As. Run E-Book uses the stored e-book file.
// Controls are named as gui/qt/ControlNames.h says ("edit1035", "static1042",
// "button1044", ...). The fields take texts of any length.
//
// The About text keeps its line breaks as "\r\n" in the project, as the
// e-book and project formats carry them. A field the author has not changed
// keeps its bytes.
#pragma once

#include <QString>

#include "gui/qt/WizardPage.h"

class QLabel;
class QLineEdit;
class QTextEdit;

namespace folivex {

// The page's controls.
enum CreatePageControl : int {
    IDC_TITLE = 1035,
    IDC_AUTHOR = 1036,
    IDC_COPYRIGHT = 1037,
    IDC_URL = 1038,
    IDC_EMAIL = 1039,
    IDC_ABOUT_INFO = 1041,
    IDC_EBOOK_FILE = 1042,
    IDC_PICK_EBOOK = 1043,
    IDC_CREATE_EBOOK = 1044,
    IDC_RUN_EBOOK = 1045,
    IDC_SAVE_PROJECT_AS = 1046,
};

class CCreatePage : public CWizardPage {
    Q_OBJECT
public:
    explicit CCreatePage(CBookApp& app, QWidget* parent = nullptr);

    // Back only, then show.
    void OnSetActive() override;
    bool OnWizardBack() override;

    // "...": copy, then PickOutputFile.
    void OnPickOutputFile();
    // The save picker for the e-book file, starting at lastEBookFile or
    // "ebook.exe"; no overwrite question. True when a file was chosen.
    bool PickOutputFile();
    // Copy; pick a file when none is set; build; report success.
    void CreateEBook();
    // Starts the stored e-book file; silent when it cannot.
    void RunEBook();
    // Copy, then SaveProjectAs of the application.
    void OnSaveProjectAs();

    void ShowValues();
    void CopyValues() override;

private:
    QLineEdit* m_title = nullptr;
    QLineEdit* m_author = nullptr;
    QLineEdit* m_copyright = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_email = nullptr;
    QTextEdit* m_aboutInfo = nullptr;
    QLabel* m_ebookFile = nullptr;
    // The About text as the control gave it back right after the show (the
    // control changes some characters, a no-break space for one), so an
    // unedited text is told from an edited one.
    QString m_aboutShown;
};

}  // namespace folivex
