#include "gui/qt/InterfacePage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/QtText.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

// Labels in the order of toolbarButtons.
const char* const kToolbarButtonLabels[kToolbarButtonCount] = {
    "&Home",      "Prev && &Next", "Histor&y (Back && Forward)",
    "&Copy",      "Sea&rch",       "F&ull Screen",
    "&Font Size", "&Print",        "&About",
    "&Exit"};

QLabel* MakePathStatic(int id, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(ControlName("static", id));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

void SetFlag(int32_t& flag, const QCheckBox* box) {
    flag = box->isChecked() ? 1 : 0;
}

}  // namespace

// "&Copy" (1024) is the fourth button although its id is the highest.
const std::array<int, kToolbarButtonCount> CInterfacePage::kToolbarButtonIds = {
    1015, 1016, 1017, 1024, 1018, 1019, 1020, 1021, 1022, 1023};

CInterfacePage::CInterfacePage(CBookApp& app, QWidget* parent)
    : CWizardPage(app, QStringLiteral("Interface"), parent) {
    const DialogUnits du(*this);
    auto check = [&](const QString& text, int id, int x, int y, int w) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(ControlName("check", id));
        du.Place(box, x, y, w, 10);
        return box;
    };
    auto pickButton = [&](int id, int x, int y) {
        auto* b = new QPushButton(QStringLiteral("..."), this);
        b->setObjectName(ControlName("button", id));
        b->setAutoDefault(false);
        du.Place(b, x, y, 16, 14);
        return b;
    };

    // Left half: the two files and the start-up options.
    auto* splashLabel = new QLabel(QStringLiteral("Splash Screen &Bitmap:"), this);
    splashLabel->setObjectName(ControlName("label", IDC_SPLASH_FILE));
    du.Place(splashLabel, 8, 8, 130, 9);
    m_splashFile = MakePathStatic(IDC_SPLASH_FILE, this);
    du.Place(m_splashFile, 8, 19, 120, 13);
    auto* pickSplash = pickButton(IDC_PICK_SPLASH, 131, 18);
    splashLabel->setBuddy(pickSplash);

    auto* iconLabel = new QLabel(QStringLiteral("Custom &Icon File:"), this);
    iconLabel->setObjectName(ControlName("label", IDC_ICON_FILE));
    du.Place(iconLabel, 8, 40, 130, 9);
    m_iconFile = MakePathStatic(IDC_ICON_FILE, this);
    du.Place(m_iconFile, 8, 51, 120, 13);
    auto* pickIcon = pickButton(IDC_PICK_ICON, 131, 50);
    iconLabel->setBuddy(pickIcon);

    m_showAboutAtStart =
        check(QStringLiteral("&Show About Box when started"), IDC_SHOW_ABOUT, 8, 80, 140);
    m_startMaximized = check(QStringLiteral("Start &Maximized"), IDC_START_MAXIMIZED, 8, 95, 140);
    m_startFullScreen =
        check(QStringLiteral("Start Fu&ll Screen"), IDC_START_FULL_SCREEN, 8, 110, 140);

    // Right half: the toolbar and its ten buttons.
    m_showToolbar = check(QStringLiteral("Show &Toolbar"), IDC_SHOW_TOOLBAR, 162, 6, 120);
    auto* group = new QGroupBox(QStringLiteral("Toolbar Buttons"), this);
    group->setObjectName(QStringLiteral("groupToolbarButtons"));
    du.Place(group, 158, 18, 134, 128);
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        const auto at = static_cast<size_t>(i);
        m_toolbarButtons[at] = check(QString::fromLatin1(kToolbarButtonLabels[at]),
                                     kToolbarButtonIds[at], 166, 29 + 11 * i, 120);
    }

    connect(pickSplash, &QPushButton::clicked, this, &CInterfacePage::PickSplashBitmap);
    connect(pickIcon, &QPushButton::clicked, this, &CInterfacePage::PickIconFile);
}

void CInterfacePage::OnSetActive() {
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    ShowValues();
}

bool CInterfacePage::OnWizardNext() {
    CopyValues();
    return true;
}

bool CInterfacePage::OnWizardBack() {
    CopyValues();
    return true;
}

void CInterfacePage::ShowValues() {
    const BookProject& p = m_app.project;
    m_splashFile->setText(ToQString(p.splashFile));
    m_iconFile->setText(ToQString(p.iconFile));
    m_showAboutAtStart->setChecked(p.showAboutAtStart != 0);
    m_startMaximized->setChecked(p.startMaximized != 0);
    m_startFullScreen->setChecked(p.startFullScreen != 0);
    m_showToolbar->setChecked(p.showToolbar != 0);
    for (size_t i = 0; i < m_toolbarButtons.size(); ++i)
        m_toolbarButtons[i]->setChecked(p.toolbarButtons[i] != 0);
}

void CInterfacePage::CopyValues() {
    BookProject& p = m_app.project;
    CopyText(m_splashFile->text(), p.splashFile);
    CopyText(m_iconFile->text(), p.iconFile);
    SetFlag(p.showAboutAtStart, m_showAboutAtStart);
    SetFlag(p.startMaximized, m_startMaximized);
    SetFlag(p.startFullScreen, m_startFullScreen);
    SetFlag(p.showToolbar, m_showToolbar);
    for (size_t i = 0; i < m_toolbarButtons.size(); ++i)
        SetFlag(p.toolbarButtons[i], m_toolbarButtons[i]);
}

void CInterfacePage::PickSplashBitmap() {
    PickInto(m_app.project.splashFile, m_app.lastSplashFile, "*.bmp", "bmp",
             "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||");
}

void CInterfacePage::PickIconFile() {
    PickInto(m_app.project.iconFile, m_app.lastIconFile, "*.ico", "ico",
             "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*||");
}

void CInterfacePage::PickInto(std::string& field, std::string& remembered, const char* wildcard,
                              const char* defaultExt, const char* filter) {
    // Copy first, so boxes ticked just before survive the show below.
    CopyValues();
    FileDialogRequest request;
    request.initialName = remembered.empty() ? wildcard : remembered;
    request.defaultExt = defaultExt;
    request.filter = filter;
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const auto file = m_app.GetPrompts().PickFile(request);
    if (!file) return;
    field = *file;
    remembered = *file;
    ShowValues();
}

}  // namespace folivex
