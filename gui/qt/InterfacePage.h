// CInterfacePage: the second page of the wizard, "Interface".
//
// How the finished e-book presents itself: the splash bitmap and the custom
// icon (full paths, shown in sunken statics, chosen with the "..." buttons,
// never typed), and the start-up and toolbar flags, one check box each. Show
// on every activation; copy on Back, on Next, before each picker and when the
// wizard is closed on this page. Controls are named as gui/qt/ControlNames.h
// says ("check1012", "static1008", ...).
#pragma once

#include <array>
#include <string>

#include "gui/qt/WizardPage.h"
#include "project/BookProject.h"

class QCheckBox;
class QLabel;

namespace folivex {

// The page's controls; the ten toolbar-button boxes are kToolbarButtonIds.
enum InterfacePageControl : int {
    IDC_SPLASH_FILE = 1008,
    IDC_PICK_SPLASH = 1009,
    IDC_ICON_FILE = 1010,
    IDC_PICK_ICON = 1011,
    IDC_SHOW_ABOUT = 1012,
    IDC_START_MAXIMIZED = 1013,
    IDC_SHOW_TOOLBAR = 1014,
    IDC_START_FULL_SCREEN = 1025,
};

class CInterfacePage : public CWizardPage {
    Q_OBJECT
public:
    explicit CInterfacePage(CBookApp& app, QWidget* parent = nullptr);

    // Back and Next enabled, then show.
    void OnSetActive() override;
    bool OnWizardNext() override;
    bool OnWizardBack() override;

    void PickSplashBitmap();
    void PickIconFile();

    // The two transfers between the controls and the project. An unchanged
    // path keeps its bytes.
    void ShowValues();
    void CopyValues() override;

    // Check box ids of toolbarButtons[0..9], in that order.
    static const std::array<int, kToolbarButtonCount> kToolbarButtonIds;

private:
    // The picker shared by the two "..." buttons: copy, then an open-style
    // picker starting at the remembered file (else the wildcard); a chosen
    // file goes into field and remembered, then show.
    void PickInto(std::string& field, std::string& remembered, const char* wildcard,
                  const char* defaultExt, const char* filter);

    QLabel* m_splashFile = nullptr;
    QLabel* m_iconFile = nullptr;
    QCheckBox* m_showAboutAtStart = nullptr;
    QCheckBox* m_startMaximized = nullptr;
    QCheckBox* m_startFullScreen = nullptr;
    QCheckBox* m_showToolbar = nullptr;
    std::array<QCheckBox*, kToolbarButtonCount> m_toolbarButtons{};
};

}  // namespace folivex
