// CFilePropertiesDlg: the view of the "File Properties" dialog
// (wizard/FilePropertiesController.h says what it does).
//
// Top to bottom: "Make &Home Page" (check1046), "Included in &Project"
// (check1047), "Included in S&earch" (check1050), then OK (button1, the
// default) and Cancel (button2). "Included in &Page Sequence" (check1048)
// exists but is never shown. F1 asks for help.
#pragma once

#include <QDialog>

#include "gui/qt/QtControls.h"

namespace folivex {

class FilePropertiesController;

class CFilePropertiesDlg : public QDialog, public QtControls<ControlView> {
    Q_OBJECT
public:
    explicit CFilePropertiesDlg(FilePropertiesController& controller, QWidget* parent = nullptr);

    // The controller's OnInitDialog, the modal run, and its OnOK when the
    // dialog was closed with OK.
    int exec() override;

private:
    FilePropertiesController& m_controller;
};

}  // namespace folivex
