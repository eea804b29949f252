#include "gui/qt/CreatePage.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTextOption>
#include <limits>

#include "gui/qt/BuildProgressWindow.h"
#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "wizard/CreateController.h"

namespace folivex {

CCreatePage::CCreatePage(CreateController& controller, QWidget* parent)
    : CWizardPage(parent), m_controller(controller) {
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
        Register(id, field);
    };
    edit("&Title:", IDC_TITLE);
    edit("&Author:", IDC_AUTHOR);
    edit("&Copyright:", IDC_COPYRIGHT);
    edit("&URL:", IDC_URL);
    edit("E-&Mail:", IDC_EMAIL);

    // Top right: the About text, lines centred, Return starts a new line.
    auto* aboutLabel = new QLabel(QStringLiteral("About Box &Info:"), this);
    aboutLabel->setObjectName(ControlName("label", IDC_ABOUT_INFO));
    du.Place(aboutLabel, 178, 6, 114, 9);
    auto* aboutInfo = new QTextEdit(this);
    aboutInfo->setObjectName(ControlName("edit", IDC_ABOUT_INFO));
    aboutInfo->setAcceptRichText(false);
    aboutInfo->setLineWrapMode(QTextEdit::NoWrap);
    aboutInfo->setTabChangesFocus(true);
    aboutInfo->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    aboutLabel->setBuddy(aboutInfo);
    du.Place(aboutInfo, 178, 17, 114, 58);
    Register(IDC_ABOUT_INFO, aboutInfo);

    // The three commands inside an etched frame below it.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("groupCommands"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    du.Place(frame, 178, 80, 114, 62);
    auto button = [&](const char* text, int id) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(ControlName("button", id));
        b->setAutoDefault(false);
        Register(id, b);
        connect(b, &QPushButton::clicked, this, [this, id] { m_controller.OnCommand(id); });
        return b;
    };
    du.Place(button("&Create E-Book", IDC_CREATE_EBOOK), 190, 85, 90, 14);
    du.Place(button("&Run E-Book", IDC_RUN_EBOOK), 190, 104, 90, 14);
    du.Place(button("Save &Project As...", IDC_SAVE_PROJECT_AS), 190, 123, 90, 14);

    // Bottom left: the e-book file name and its "..." button.
    auto* fileLabel = new QLabel(QStringLiteral("&E-Book File Name:"), this);
    fileLabel->setObjectName(ControlName("label", IDC_EBOOK_FILE));
    du.Place(fileLabel, 8, 112, 150, 9);
    auto* ebookFile = new QLabel(this);
    ebookFile->setObjectName(ControlName("static", IDC_EBOOK_FILE));
    ebookFile->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ebookFile->setTextFormat(Qt::PlainText);
    ebookFile->setWordWrap(false);
    du.Place(ebookFile, 8, 124, 143, 13);
    Register(IDC_EBOOK_FILE, ebookFile);
    QPushButton* pick = button("...", IDC_PICK_EBOOK);
    du.Place(pick, 154, 123, 16, 14);
    fileLabel->setBuddy(pick);
    controller.Attach(*this);
}

CCreatePage::~CCreatePage() = default;

void CCreatePage::BuildStarted() {
    m_progress = std::make_unique<CBuildProgressWindow>(window());
}

void CCreatePage::ShowBuildProgress(const BuildProgress& progress) {
    if (m_progress) m_progress->Update(progress);
}

void CCreatePage::BuildEnded() {
    m_progress.reset();
}

}  // namespace folivex
