#include "gui/qt/FilePropertiesDlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QShortcut>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"

namespace folivex {

namespace {

enum : int {
    IDC_MAKE_HOME_PAGE = 1046,
    IDC_INCLUDED = 1047,
    IDC_IN_PAGE_SEQUENCE = 1048,
    IDC_IN_SEARCH = 1050,
};

}  // namespace

CFilePropertiesDlg::CFilePropertiesDlg(std::function<void()> showHelp, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("File Properties"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(*this);
    auto check = [&](const char* text, int id, int y) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setObjectName(ControlName("check", id));
        du.Place(box, 10, y, 110, 10);
        return box;
    };
    m_makeHomePage = check("Make &Home Page", IDC_MAKE_HOME_PAGE, 8);
    m_included = check("Included in &Project", IDC_INCLUDED, 22);
    m_inSearch = check("Included in S&earch", IDC_IN_SEARCH, 36);
    m_inPageSequence = check("Included in &Page Sequence", IDC_IN_PAGE_SEQUENCE, 50);
    m_inPageSequence->hide();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ControlName("button", IDOK));
    ok->setDefault(true);
    du.Place(ok, 10, 54, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(ControlName("button", IDCANCEL));
    du.Place(cancel, 70, 54, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (showHelp) {
        auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
        connect(f1, &QShortcut::activated, this, [help = std::move(showHelp)] { help(); });
    }
    setFixedSize(du.Size(130, 76));
}

int CFilePropertiesDlg::exec() {
    DoDataExchange(false);
    const int result = QDialog::exec();
    if (result == QDialog::Accepted) DoDataExchange(true);
    return result;
}

void CFilePropertiesDlg::DoDataExchange(bool saveAndValidate) {
    // In template order: 1046, 1047, 1048, 1050.
    struct Binding {
        QCheckBox* box;
        int32_t* member;
    };
    const Binding bindings[] = {{m_makeHomePage, &m_bMakeHomePage},
                                {m_included, &m_bIncluded},
                                {m_inPageSequence, &m_bInPageSequence},
                                {m_inSearch, &m_bInSearch}};
    for (const Binding& b : bindings) {
        if (saveAndValidate)
            *b.member = b.box->isChecked() ? 1 : 0;
        else
            b.box->setChecked(*b.member != 0);
    }
}

}  // namespace folivex
