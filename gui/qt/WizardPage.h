// CWizardPage: the widget of one page of the main wizard (CBookSheet), 300 x
// 150 dialog units. What a page shows and does is its controller's
// (wizard/); the page only draws and forwards.
#pragma once

#include <QWidget>

namespace folivex {

class CWizardPage : public QWidget {
public:
    explicit CWizardPage(QWidget* parent = nullptr);
};

}  // namespace folivex
