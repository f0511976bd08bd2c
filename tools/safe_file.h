#pragma once
// Replacing a file so that a crash at any moment leaves either the old or the new content.

#include <string>

// Writes `text` completely to `temp_path`, flushes it to disk and renames it over `path`.
// 0 on success, else the negated errno of the failing step; the file at `path` is then
// untouched and the temporary removed.
int replace_file(const std::string& path, const std::string& temp_path, const std::string& text);
