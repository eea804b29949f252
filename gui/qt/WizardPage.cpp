#include "gui/qt/WizardPage.h"

#include "gui/qt/DialogUnits.h"

namespace folivex {

CWizardPage::CWizardPage(CBookApp& app, const QString& caption, QWidget* parent)
    : QWidget(parent), m_app(app), m_caption(caption) {
    // Every page template measures 300 x 150 dialog units.
    setFixedSize(DialogUnits(*this).Size(300, 150));
}

}  // namespace folivex
