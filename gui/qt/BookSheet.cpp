#include "gui/qt/BookSheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "gui/qt/AboutBox.h"
#include "gui/qt/ContentPage.h"
#include "gui/qt/ControlNames.h"
#include "gui/qt/CreatePage.h"
#include "gui/qt/InterfacePage.h"
#include "gui/qt/ProgramIcon.h"
#include "gui/qt/WizardPage.h"

namespace folivex {

namespace {

QPushButton* MakeButton(const QString& text, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(ControlName("button", id));
    return button;
}

}  // namespace

CBookSheet::CBookSheet(CBookApp& app, std::function<void()> showHelp, QWidget* parent)
    : QDialog(parent), m_app(app), m_showHelp(std::move(showHelp)) {
    setWindowIcon(ProgramIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto helpHandler = [this] { ShowHelp(); };
    m_pages[kContentPage] = new CContentPage(app, helpHandler);
    m_pages[kInterfacePage] = new CInterfacePage(app);
    m_pages[kCreatePage] = new CCreatePage(app);

    m_stack = new QStackedWidget(this);
    for (CWizardPage* page : m_pages) {
        m_stack->addWidget(page);
        connect(page, &CWizardPage::wizardButtonsRequested, this, &CBookSheet::SetWizardButtons);
    }

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* about = MakeButton(QStringLiteral("About Foli&vex..."), IDM_ABOUTBOX, this);
    m_back = MakeButton(QStringLiteral("< &Back"), ID_WIZBACK, this);
    m_next = MakeButton(QStringLiteral("&Next >"), ID_WIZNEXT, this);
    auto* cancel = MakeButton(QStringLiteral("Cancel"), IDCANCEL, this);
    auto* help = MakeButton(QStringLiteral("&Help"), IDHELP, this);
    m_next->setDefault(true);
    for (QPushButton* b : {about, m_back, m_next, cancel, help}) b->setAutoDefault(false);

    connect(about, &QPushButton::clicked, this, &CBookSheet::ShowAboutBox);
    connect(m_back, &QPushButton::clicked, this, &CBookSheet::OnBack);
    connect(m_next, &QPushButton::clicked, this, &CBookSheet::OnNext);
    connect(cancel, &QPushButton::clicked, this, &CBookSheet::reject);
    connect(help, &QPushButton::clicked, this, &CBookSheet::ShowHelp);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &CBookSheet::ShowHelp);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(about);
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    buttons->setSpacing(0);
    buttons->addWidget(m_next);
    buttons->addSpacing(10);
    buttons->addWidget(cancel);
    buttons->addSpacing(6);
    buttons->addWidget(help);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_stack);
    layout->addWidget(rule);
    layout->addLayout(buttons);

    SetActivePage(kContentPage);
}

CBookSheet::~CBookSheet() = default;

int CBookSheet::ActivePageIndex() const {
    return m_stack->currentIndex();
}

CContentPage* CBookSheet::ContentPage() const {
    return static_cast<CContentPage*>(m_pages[kContentPage]);
}
CInterfacePage* CBookSheet::InterfacePage() const {
    return static_cast<CInterfacePage*>(m_pages[kInterfacePage]);
}
CCreatePage* CBookSheet::CreatePage() const {
    return static_cast<CCreatePage*>(m_pages[kCreatePage]);
}

void CBookSheet::SetWizardButtons(int buttons) {
    m_back->setEnabled((buttons & PSWIZB_BACK) != 0);
    m_next->setEnabled((buttons & PSWIZB_NEXT) != 0);
}

void CBookSheet::ShowAboutBox() {
    CAboutBox box(this);
    // F1 asks for help in every window of the program.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &box);
    connect(f1, &QShortcut::activated, this, &CBookSheet::ShowHelp);
    box.exec();
}

void CBookSheet::ShowHelp() {
    if (m_showHelp) m_showHelp();
}

void CBookSheet::SetActivePage(int index) {
    const auto slot = static_cast<size_t>(index);
    m_stack->setCurrentIndex(index);
    m_shown[slot] = true;
    setWindowTitle(m_pages[slot]->Caption());
    m_pages[slot]->OnSetActive();
}

void CBookSheet::OnBack() {
    const int index = ActivePageIndex();
    if (index <= kContentPage || !m_back->isEnabled()) return;
    if (!m_pages[static_cast<size_t>(index)]->OnWizardBack()) return;
    SetActivePage(index - 1);
}

void CBookSheet::OnNext() {
    const int index = ActivePageIndex();
    if (index + 1 >= kPageCount || !m_next->isEnabled()) return;
    if (!m_pages[static_cast<size_t>(index)]->OnWizardNext()) return;
    SetActivePage(index + 1);
}

void CBookSheet::reject() {
    if (m_closing) return;
    m_closing = true;
    // Only the page on screen copies: the others copied their controls when
    // they were left, and copying those again could put back the values of
    // a project that has been replaced since (Open Project).
    m_pages[static_cast<size_t>(ActivePageIndex())]->CopyValues();
    for (int i = kPageCount - 1; i >= 0; --i) {
        if (m_shown[static_cast<size_t>(i)]) m_pages[static_cast<size_t>(i)]->OnReset();
    }
    QDialog::reject();
}

void CBookSheet::keyPressEvent(QKeyEvent* event) {
    // Escape has reached the sheet only because the focused control did not
    // want it; unlike a plain dialog the wizard does not close on it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace folivex
