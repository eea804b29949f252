// The home page of a project: the entry in the first place, which the
// e-book opens on and its Home button leads to.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "project/BookProject.h"

namespace folivex {

// Moves the entry at index to the first place; the entries before it move
// down one place each. Nothing happens for an index past the end.
void MakeHomePage(BookProject& project, size_t index);

// The entry for path, a file of the project's folder given relative to it
// with either separator and in any case; nothing when no entry is that file.
std::optional<size_t> FindEntry(const BookProject& project, std::string_view path);

// The page a project made from a folder should open on: index.html, else
// index.htm, at the top of the folder, else the first page of the page
// sequence; nothing when there is none of them.
std::optional<size_t> DefaultHomePage(const BookProject& project);

}  // namespace folivex
