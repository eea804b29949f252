// The shell page's files (viewer/shell), compiled into the program by the
// build (the generated ShellAssets.cpp), each compressed with gzip.
#pragma once

#include <string_view>

namespace folivex {

// The gzip file of one of the shell's files by its name ("index.html",
// "shell.css", "sw.js", ...); empty for any other name.
std::string_view ShellAssetGzip(std::string_view name);

}  // namespace folivex
