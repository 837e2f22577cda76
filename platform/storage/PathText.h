#ifndef _STORAGE_PATH_TEXT_H
#define _STORAGE_PATH_TEXT_H

#include <SupportDefs.h>

#include <string>

namespace BPrivate
{

// Whether a path's text must go through the file system to become canonical: relative
// paths, "//", "/./", "/../", a trailing "/.", "/.." or "/" (but not "/" itself).
bool path_needs_normalization(const std::string& path);

// The absolute, canonical form of path: every folder above the leaf is resolved through the
// file system (and must exist); the leaf itself is kept unless it is "." or "..".
status_t normalize_path(const std::string& path, std::string* result);

// The text up to the last component ("/" for a top-level entry) and the last component.
void split_path(const std::string& path, std::string* folder, std::string* leaf);

// folder + "/" + leaf, without doubling the slash of "/".
std::string join_path(const std::string& folder, const std::string& leaf);

} // namespace BPrivate

#endif
