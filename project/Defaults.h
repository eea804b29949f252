// The author details a first run starts with, before the author has typed
// any: shared by the wizard's settings store and the command-line tool.
#pragma once

#include <string>

namespace folivex {

inline constexpr const char* kDefaultTitle = "E-Book";
inline constexpr const char* kDefaultAuthor = "*Your Name*";
inline constexpr const char* kDefaultUrl = "http://www.example.com";
inline constexpr const char* kDefaultEmail = "info@example.com";

// "Copyright (C) <current year> *your company name*".
std::string DefaultCopyright();

}  // namespace folivex
