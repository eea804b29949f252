#include "gui/qt/InterfacePage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "wizard/InterfaceController.h"

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

}  // namespace

CInterfacePage::CInterfacePage(InterfaceController& controller, QWidget* parent)
    : CWizardPage(parent), m_controller(controller) {
    const DialogUnits du(*this);
    auto check = [&](const QString& text, int id, int x, int y, int w) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(ControlName("check", id));
        du.Place(box, x, y, w, 10);
        Register(id, box);
    };
    auto pickButton = [&](int id, int x, int y) {
        auto* b = new QPushButton(QStringLiteral("..."), this);
        b->setObjectName(ControlName("button", id));
        b->setAutoDefault(false);
        du.Place(b, x, y, 16, 14);
        Register(id, b);
        connect(b, &QPushButton::clicked, this, [this, id] { m_controller.OnCommand(id); });
        return b;
    };
    auto pathStatic = [&](const char* caption, int id, int y, int pickId) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setObjectName(ControlName("label", id));
        du.Place(label, 8, y, 130, 9);
        QLabel* path = MakePathStatic(id, this);
        du.Place(path, 8, y + 11, 120, 13);
        Register(id, path);
        label->setBuddy(pickButton(pickId, 131, y + 10));
    };

    // Left half: the two files and the start-up options.
    pathStatic("Splash Screen &Bitmap:", IDC_SPLASH_FILE, 8, IDC_PICK_SPLASH);
    pathStatic("Custom &Icon File:", IDC_ICON_FILE, 40, IDC_PICK_ICON);
    check(QStringLiteral("&Show About Box when started"), IDC_SHOW_ABOUT, 8, 80, 140);
    check(QStringLiteral("Start &Maximized"), IDC_START_MAXIMIZED, 8, 95, 140);
    check(QStringLiteral("Start Fu&ll Screen"), IDC_START_FULL_SCREEN, 8, 110, 140);

    // Right half: the toolbar and its ten buttons.
    check(QStringLiteral("Show &Toolbar"), IDC_SHOW_TOOLBAR, 162, 6, 120);
    auto* group = new QGroupBox(QStringLiteral("Toolbar Buttons"), this);
    group->setObjectName(QStringLiteral("groupToolbarButtons"));
    du.Place(group, 158, 18, 134, 128);
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        const auto at = static_cast<size_t>(i);
        check(QString::fromLatin1(kToolbarButtonLabels[at]), kToolbarButtonIds[at], 166,
              29 + 11 * i, 120);
    }
    controller.Attach(*this);
}

}  // namespace folivex
