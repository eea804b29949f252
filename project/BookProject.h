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

#include "format/Container.h"
#include "project/Defaults.h"
#include "project/PieceElem.h"

namespace folivex {

struct BookProject {
    std::vector<std::unique_ptr<CPieceElem>> pages;
    std::string title = kDefaultTitle;
    std::string author;
    std::string copyright;
    std::string url;
    std::string email;
    std::string aboutInfo;
    std::string splashFile;
    std::string iconFile;
    std::string ebookFile;
    std::string projectDir;
    // The settings record's flags (format/Container.h), from its defaults.
    int32_t showAboutAtStart = kDefaultSettings.showAboutAtStart;
    int32_t startMaximized = kDefaultSettings.startMaximized;
    int32_t startFullScreen = kDefaultSettings.startFullScreen;
    int32_t showToolbar = kDefaultSettings.showToolbar;
    std::array<int32_t, kToolbarButtonCount> toolbarButtons = kDefaultSettings.toolbarButtons;
};

}  // namespace folivex
