// CAboutBox: the About box of the program. A plain modal dialog: the program
// icon, "Folivex      Version 1.0", two copyright lines and an OK button
// (the default button, "button1"). OK, the close box and Escape close it.
#pragma once

#include <QDialog>

namespace folivex {

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(QWidget* parent = nullptr);

    static const char* const kVersionLine;  // six blanks before "Version"
};

}  // namespace folivex
