#include "gui/qt/WizardPage.h"

#include "gui/qt/DialogUnits.h"

namespace folivex {

CWizardPage::CWizardPage(QWidget* parent) : QWidget(parent) {
    // Every page template measures 300 x 150 dialog units.
    setFixedSize(DialogUnits(*this).Size(300, 150));
}

}  // namespace folivex
