// The numbers of the wizard's controls: the one list that the controllers
// and every view share. A Win32 view uses them as the dialog item ids of its
// templates; the Qt view names each widget after its number
// (gui/qt/ControlNames.h: "button1001", "list1007", "edit1035").
#pragma once

#include <array>
#include <cstdint>

#include "project/BookProject.h"

namespace folivex {

// windows.h defines these names as macros with the same values; a Win32
// view that includes it first uses those.
#ifndef IDOK
enum DialogButtonId : int { IDOK = 1, IDCANCEL = 2, IDHELP = 9 };
#endif
#ifndef PSWIZB_BACK
// The wizard buttons a page may enable (PSM_SETWIZBUTTONS).
enum WizardButtonFlag : uint32_t { PSWIZB_BACK = 1, PSWIZB_NEXT = 2 };
#endif

// The wizard's own buttons, as the platform's wizard numbers them; the
// About button carries the system-menu command of the About item.
enum SheetControl : int {
    IDM_ABOUTBOX = 16,
    ID_WIZBACK = 12323,
    ID_WIZNEXT = 12324,
};

enum ContentPageControl : int {
    IDC_NEW_PROJECT = 1001,
    IDC_OPEN_PROJECT = 1002,
    IDC_RESCAN_DIR = 1003,
    IDC_FILE_PROPERTIES = 1004,
    IDC_MOVE_UP = 1005,
    IDC_MOVE_DOWN = 1006,
    IDC_FILE_LIST = 1007,
};

// The ten toolbar-button boxes are kToolbarButtonIds.
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

// The boxes of toolbarButtons[0..9], in that order: "&Copy" (1024) is the
// fourth although its id is the highest.
inline constexpr std::array<int, kToolbarButtonCount> kToolbarButtonIds = {
    1015, 1016, 1017, 1024, 1018, 1019, 1020, 1021, 1022, 1023};

enum CreatePageControl : int {
    IDC_TITLE = 1035,
    IDC_AUTHOR = 1036,
    IDC_COPYRIGHT = 1037,
    IDC_URL = 1038,
    IDC_EMAIL = 1039,
    IDC_ABOUT_INFO = 1041,
    IDC_EBOOK_FILE = 1042,
    IDC_PICK_EBOOK = 1043,
    IDC_CREATE_EBOOK = 1044,
    IDC_RUN_EBOOK = 1045,
    IDC_SAVE_PROJECT_AS = 1046,
};

// The File Properties dialog (its own template: 1046 is not the Create
// page's button there).
enum FilePropertiesControl : int {
    IDC_MAKE_HOME_PAGE = 1046,
    IDC_INCLUDED = 1047,
    IDC_IN_PAGE_SEQUENCE = 1048,
    IDC_IN_SEARCH = 1050,
};

// The About box: the program icon (its resource id), the version line and
// the two copyright lines.
enum AboutBoxControl : int {
    IDC_ABOUT_ICON = 128,
    IDC_ABOUT_VERSION = 1100,
    IDC_ABOUT_COPYRIGHT = 1101,
    IDC_ABOUT_RIGHTS = 1102,
};

}  // namespace folivex
