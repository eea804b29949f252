#include "project/Defaults.h"

#include <ctime>

namespace folivex {

std::string DefaultCopyright() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return "Copyright (C) " + std::to_string(local.tm_year + 1900) + " *your company name*";
}

}  // namespace folivex
