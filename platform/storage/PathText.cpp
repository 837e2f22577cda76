#include "storage/PathText.h"

#include "support/HostErrors.h"

#include <StorageDefs.h>

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace BPrivate
{

namespace
{

bool ends_with(const std::string& text, const char* suffix)
{
    std::string tail(suffix);
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

status_t resolve(const std::string& path, std::string* result)
{
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), NULL), &free);
    if (!resolved) {
        // A missing or non-folder component above the leaf means there is no such entry.
        if (errno == ENOENT || errno == ENOTDIR)
            return B_ENTRY_NOT_FOUND;
        return last_error_status();
    }
    *result = resolved.get();
    return B_OK;
}

} // namespace

bool path_needs_normalization(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return true;
    if (path.find("//") != std::string::npos || path.find("/./") != std::string::npos ||
        path.find("/../") != std::string::npos)
        return true;
    if (ends_with(path, "/.") || ends_with(path, "/.."))
        return true;
    return path.size() > 1 && path.back() == '/';
}

void split_path(const std::string& path, std::string* folder, std::string* leaf)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *leaf = path;
        return;
    }
    *folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    *leaf = path.substr(slash + 1);
}

std::string join_path(const std::string& folder, const std::string& leaf)
{
    if (leaf.empty())
        return folder;
    if (!folder.empty() && folder.back() == '/')
        return folder + leaf;
    return folder + "/" + leaf;
}

status_t normalize_path(const std::string& path, std::string* result)
{
    if (path.empty())
        return B_BAD_VALUE;
    std::string absolute = path;
    if (path[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof(cwd)) == NULL)
            return last_error_status();
        absolute = join_path(cwd, path);
    }
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    if (absolute == "/") {
        *result = absolute;
        return B_OK;
    }

    std::string folder, leaf;
    split_path(absolute, &folder, &leaf);
    std::string normalized;
    status_t status;
    if (leaf == "." || leaf == "..") {
        status = resolve(absolute, &normalized);
    } else {
        status = resolve(folder, &normalized);
        struct stat st;
        if (status == B_OK && (stat(normalized.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            status = B_ENTRY_NOT_FOUND;
        normalized = join_path(normalized, leaf);
    }
    if (status != B_OK)
        return status;
    if (normalized.size() >= B_PATH_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    *result = normalized;
    return B_OK;
}

} // namespace BPrivate
