// The shell page's files (viewer/shell), compiled into the program by the
// build (the generated ShellAssets.cpp).
#pragma once

#include <string_view>

namespace folivex {

// The contents of "index.html", "shell.css" or "shell.js"; empty for any
// other name.
std::string_view ShellAsset(std::string_view name);

}  // namespace folivex
