#include "gui/qt/AboutBox.h"

#include <QLabel>
#include <QPushButton>

#include "gui/qt/ControlNames.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/ProgramIcon.h"

namespace folivex {

const char* const CAboutBox::kVersionLine = "Folivex      Version 1.0";

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Folivex"));
    setWindowIcon(ProgramIcon());
    const DialogUnits du(*this);

    auto* icon = new QLabel(this);
    icon->setObjectName(ControlName("static", IDC_ABOUT_ICON));
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    du.Place(icon, 11, 17, 21, 20);

    auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);
    version->setObjectName(ControlName("static", IDC_ABOUT_VERSION));
    version->setTextFormat(Qt::PlainText);
    du.Place(version, 40, 10, 119, 8);

    auto* copyright = new QLabel(QStringLiteral("Copyright (C) 2026 Tessaroke"), this);
    copyright->setObjectName(ControlName("static", IDC_ABOUT_COPYRIGHT));
    du.Place(copyright, 40, 25, 119, 8);

    auto* rights = new QLabel(QStringLiteral("All rights reserved."), this);
    rights->setObjectName(ControlName("static", IDC_ABOUT_RIGHTS));
    du.Place(rights, 40, 40, 119, 8);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ControlName("button", IDOK));
    ok->setDefault(true);
    du.Place(ok, 160, 7, 30, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.Size(197, 68));
}

}  // namespace folivex
