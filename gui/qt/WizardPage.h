// CWizardPage: one page of the main wizard (CBookSheet).
//
// A page keeps no project data of its own: it reads and writes the one
// project of CBookApp. The sheet calls the On* hooks the way a property sheet
// notifies its pages; a page tells the sheet which wizard buttons it wants
// through SetWizardButtons.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace folivex {

class CBookApp;

// Wizard buttons a page may enable.
enum WizardButtons : int { PSWIZB_BACK = 1, PSWIZB_NEXT = 2 };

class CWizardPage : public QWidget {
    Q_OBJECT
public:
    CWizardPage(CBookApp& app, const QString& caption, QWidget* parent = nullptr);

    const QString& Caption() const { return m_caption; }

    // The page becomes the current page: it sets its wizard buttons and shows
    // the project's values.
    virtual void OnSetActive() {}
    // Next or Back pressed on this page. Answer false to stay on the page.
    virtual bool OnWizardNext() { return true; }
    virtual bool OnWizardBack() { return true; }
    // Copy: the page's controls into the project. Run when the page is left,
    // before the commands that need the current values, and on the page on
    // screen when the wizard closes.
    virtual void CopyValues() {}
    // The wizard is closing (Cancel or the close box); only pages shown at
    // least once are told, after the page on screen has copied its values.
    virtual void OnReset() {}

signals:
    void wizardButtonsRequested(int buttons);

protected:
    void SetWizardButtons(int buttons) { emit wizardButtonsRequested(buttons); }

    CBookApp& m_app;

private:
    QString m_caption;
};

}  // namespace folivex
