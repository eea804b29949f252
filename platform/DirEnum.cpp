// What both platforms' folder listings share.
#include "platform/DirEnum.h"

namespace folivex {

std::optional<std::string> FolderListingError(const std::string& folder) {
    std::vector<DirItem> items;
    std::string whyNot;
    if (ListFolder(folder, items, &whyNot)) return std::nullopt;
    return whyNot;
}

}  // namespace folivex
