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
#include "gui/qt/QtText.h"

namespace folivex {

CBookSheet::CBookSheet(SheetController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller) {
    setWindowIcon(ProgramIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pages[SheetController::kContentPage] = new CContentPage(controller.Content());
    m_pages[SheetController::kInterfacePage] = new CInterfacePage(controller.Interface());
    m_pages[SheetController::kCreatePage] = new CCreatePage(controller.Create());
    m_stack = new QStackedWidget(this);
    for (CWizardPage* page : m_pages) m_stack->addWidget(page);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto button = [this](const char* text, int id) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(ControlName("button", id));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, id] { m_controller.OnCommand(id); });
        return b;
    };
    auto* about = button("About Foli&vex...", IDM_ABOUTBOX);
    m_back = button("< &Back", ID_WIZBACK);
    m_next = button("&Next >", ID_WIZNEXT);
    auto* cancel = button("Cancel", IDCANCEL);
    auto* help = button("&Help", IDHELP);
    m_next->setDefault(true);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { m_controller.OnHelp(); });

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

    controller.Attach(*this);
    controller.Start();
}

int CBookSheet::ActivePageIndex() const {
    return m_stack->currentIndex();
}

void CBookSheet::ShowPage(int index, const std::string& caption) {
    m_stack->setCurrentIndex(index);
    setWindowTitle(ToQString(caption));
}

void CBookSheet::SetWizardButtons(uint32_t buttons) {
    m_back->setEnabled((buttons & PSWIZB_BACK) != 0);
    m_next->setEnabled((buttons & PSWIZB_NEXT) != 0);
}

void CBookSheet::ShowAboutBox() {
    CAboutBox box(this);
    // F1 asks for help in every window of the program.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &box);
    connect(f1, &QShortcut::activated, this, [this] { m_controller.OnHelp(); });
    box.exec();
}

void CBookSheet::EndWizard() {
    QDialog::reject();
}

void CBookSheet::reject() {
    // The Cancel button comes through OnCommand; what arrives here is the
    // close box or the window manager's Close.
    m_controller.OnCloseRequest(CloseRequest::CloseBox);
}

void CBookSheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        m_controller.OnCloseRequest(CloseRequest::EscapeKey);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace folivex
