// BookProject: the data of the one current project.
//
// The order of `pages` is the order of the pages in the e-book; the entry at
// index 0 is the home page. The project owns its entries; reordering moves
// the pointers and never copies an entry.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/PieceElem.h"

namespace folivex {

// Toolbar buttons, in the order of toolbarButtons and of the settings record.
enum ToolbarButton : int {
    kButtonHome = 0,
    kButtonPrevNext,
    kButtonHistory,
    kButtonCopy,
    kButtonSearch,
    kButtonFullScreen,
    kButtonFontSize,
    kButtonPrint,
    kButtonAbout,
    kButtonExit,
    kToolbarButtonCount
};

struct BookProject {
    std::vector<std::unique_ptr<CPieceElem>> pages;
    std::string title = "E-Book";
    std::string author;
    std::string copyright;
    std::string url;
    std::string email;
    std::string aboutInfo;
    std::string splashFile;
    std::string iconFile;
    std::string ebookFile;
    std::string projectDir;
    int32_t showAboutAtStart = 0;
    int32_t startMaximized = 1;
    int32_t startFullScreen = 0;
    int32_t showToolbar = 1;
    std::array<int32_t, kToolbarButtonCount> toolbarButtons{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};

}  // namespace folivex
