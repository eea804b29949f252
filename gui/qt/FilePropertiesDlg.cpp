#include "gui/qt/FilePropertiesDlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QShortcut>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "wizard/FilePropertiesController.h"

namespace folivex {

CFilePropertiesDlg::CFilePropertiesDlg(FilePropertiesController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller) {
    setWindowTitle(QStringLiteral("File Properties"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(*this);
    auto check = [&](const char* text, int id, int y) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setObjectName(ControlName("check", id));
        du.Place(box, 10, y, 110, 10);
        Register(id, box);
        return box;
    };
    check("Make &Home Page", IDC_MAKE_HOME_PAGE, 8);
    check("Included in &Project", IDC_INCLUDED, 22);
    check("Included in S&earch", IDC_IN_SEARCH, 36);
    check("Included in &Page Sequence", IDC_IN_PAGE_SEQUENCE, 50)->hide();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ControlName("button", IDOK));
    ok->setDefault(true);
    du.Place(ok, 10, 54, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(ControlName("button", IDCANCEL));
    du.Place(cancel, 70, 54, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { m_controller.OnHelp(); });
    setFixedSize(du.Size(130, 76));
}

int CFilePropertiesDlg::exec() {
    m_controller.OnInitDialog(*this);
    const int result = QDialog::exec();
    if (result == QDialog::Accepted) m_controller.OnOK(*this);
    return result;
}

}  // namespace folivex
