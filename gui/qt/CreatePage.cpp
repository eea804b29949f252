#include "gui/qt/CreatePage.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTextOption>
#include <limits>

#include "builder/BuildEBook.h"
#include "gui/qt/BuildProgressWindow.h"
#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/ProgramLauncher.h"
#include "gui/qt/QtText.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

// The multi-line edit speaks "\n"; the project keeps the platform's "\r\n".
std::string ToStoredLines(const QString& text) {
    QString stored = text;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQString(stored);
}

QString FromStoredLines(const std::string& text) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

}  // namespace

CCreatePage::CCreatePage(CBookApp& app, QWidget* parent)
    : CWizardPage(app, QStringLiteral("Create"), parent) {
    const DialogUnits du(*this);
    int row = 0;
    auto edit = [&](const char* label, int id) {
        auto* caption = new QLabel(QString::fromLatin1(label), this);
        caption->setObjectName(ControlName("label", id));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* field = new QLineEdit(this);
        field->setObjectName(ControlName("edit", id));
        // The texts carry no limit of their own; Qt's default would cut them.
        field->setMaxLength(std::numeric_limits<int>::max());
        caption->setBuddy(field);
        const int y = 8 + 17 * row++;
        du.Place(caption, 4, y, 46, 12);
        du.Place(field, 53, y, 117, 12);
        return field;
    };
    m_title = edit("&Title:", IDC_TITLE);
    m_author = edit("&Author:", IDC_AUTHOR);
    m_copyright = edit("&Copyright:", IDC_COPYRIGHT);
    m_url = edit("&URL:", IDC_URL);
    m_email = edit("E-&Mail:", IDC_EMAIL);

    // Top right: the About text, lines centred, Return starts a new line.
    auto* aboutLabel = new QLabel(QStringLiteral("About Box &Info:"), this);
    aboutLabel->setObjectName(ControlName("label", IDC_ABOUT_INFO));
    du.Place(aboutLabel, 178, 6, 114, 9);
    m_aboutInfo = new QTextEdit(this);
    m_aboutInfo->setObjectName(ControlName("edit", IDC_ABOUT_INFO));
    m_aboutInfo->setAcceptRichText(false);
    m_aboutInfo->setLineWrapMode(QTextEdit::NoWrap);
    m_aboutInfo->setTabChangesFocus(true);
    m_aboutInfo->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    aboutLabel->setBuddy(m_aboutInfo);
    du.Place(m_aboutInfo, 178, 17, 114, 58);

    // The three commands inside an etched frame below it.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("groupCommands"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    du.Place(frame, 178, 80, 114, 62);
    auto command = [&](const char* text, int id, int y) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(ControlName("button", id));
        b->setAutoDefault(false);
        du.Place(b, 190, y, 90, 14);
        return b;
    };
    auto* create = command("&Create E-Book", IDC_CREATE_EBOOK, 85);
    auto* run = command("&Run E-Book", IDC_RUN_EBOOK, 104);
    auto* saveAs = command("Save &Project As...", IDC_SAVE_PROJECT_AS, 123);

    // Bottom left: the e-book file name and its "..." button.
    auto* fileLabel = new QLabel(QStringLiteral("&E-Book File Name:"), this);
    fileLabel->setObjectName(ControlName("label", IDC_EBOOK_FILE));
    du.Place(fileLabel, 8, 112, 150, 9);
    m_ebookFile = new QLabel(this);
    m_ebookFile->setObjectName(ControlName("static", IDC_EBOOK_FILE));
    m_ebookFile->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ebookFile->setTextFormat(Qt::PlainText);
    m_ebookFile->setWordWrap(false);
    du.Place(m_ebookFile, 8, 124, 143, 13);
    auto* pick = new QPushButton(QStringLiteral("..."), this);
    pick->setObjectName(ControlName("button", IDC_PICK_EBOOK));
    pick->setAutoDefault(false);
    du.Place(pick, 154, 123, 16, 14);
    fileLabel->setBuddy(pick);

    connect(pick, &QPushButton::clicked, this, &CCreatePage::OnPickOutputFile);
    connect(create, &QPushButton::clicked, this, &CCreatePage::CreateEBook);
    connect(run, &QPushButton::clicked, this, &CCreatePage::RunEBook);
    connect(saveAs, &QPushButton::clicked, this, &CCreatePage::OnSaveProjectAs);
}

void CCreatePage::OnSetActive() {
    SetWizardButtons(PSWIZB_BACK);
    ShowValues();
}

bool CCreatePage::OnWizardBack() {
    CopyValues();
    return true;
}

void CCreatePage::ShowValues() {
    const BookProject& p = m_app.project;
    m_title->setText(ToQString(p.title));
    m_author->setText(ToQString(p.author));
    m_copyright->setText(ToQString(p.copyright));
    m_url->setText(ToQString(p.url));
    m_email->setText(ToQString(p.email));
    m_aboutInfo->setPlainText(FromStoredLines(p.aboutInfo));
    m_aboutShown = m_aboutInfo->toPlainText();
    m_ebookFile->setText(ToQString(p.ebookFile));
    // Long texts show their beginning, as a freshly filled edit does.
    for (QLineEdit* edit : {m_title, m_author, m_copyright, m_url, m_email})
        edit->setCursorPosition(0);
}

void CCreatePage::CopyValues() {
    BookProject& p = m_app.project;
    CopyText(m_title->text(), p.title);
    CopyText(m_author->text(), p.author);
    CopyText(m_copyright->text(), p.copyright);
    CopyText(m_url->text(), p.url);
    CopyText(m_email->text(), p.email);
    const QString about = m_aboutInfo->toPlainText();
    if (about != m_aboutShown) p.aboutInfo = ToStoredLines(about);
    CopyText(m_ebookFile->text(), p.ebookFile);
}

void CCreatePage::OnPickOutputFile() {
    CopyValues();
    PickOutputFile();
}

bool CCreatePage::PickOutputFile() {
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

void CCreatePage::CreateEBook() {
    CopyValues();
    if (m_app.project.ebookFile.empty() && !PickOutputFile()) return;
    int built = 0;
    {
        CBuildProgressWindow progress(window());
        built = BuildEBook(m_app, nullptr, progress.Callback());
    }
    if (built == 0) return;
    m_app.GetPrompts().ShowMessage("E-Book " + m_app.project.ebookFile + " created successfully.",
                                   MsgButtons::OK, MsgIcon::Information);
}

void CCreatePage::RunEBook() {
    if (m_app.project.ebookFile.empty()) return;
    // Failures are silent: the author sees that nothing started.
    (void)StartDetachedProgram(ToQString(m_app.project.ebookFile));
}

void CCreatePage::OnSaveProjectAs() {
    CopyValues();
    m_app.SaveProjectAs();
}

}  // namespace folivex
