#include <FindDirectory.h>

#include "support/HostErrors.h"

#include <Path.h>

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace
{

// An environment value that is an absolute path, else empty (XDG ignores relative ones).
std::string absolute_env(const char* name)
{
    const char* value = getenv(name);
    if (value == NULL || value[0] != '/')
        return std::string();
    return value;
}

std::string home_directory()
{
    std::string home = absolute_env("HOME");
    if (!home.empty())
        return home;
    struct passwd* entry = getpwuid(getuid());
    if (entry != NULL && entry->pw_dir != NULL && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return std::string();
}

std::string config_directory()
{
    std::string config = absolute_env("XDG_CONFIG_HOME");
    if (!config.empty())
        return config;
    std::string home = home_directory();
    return home.empty() ? home : home + "/.config";
}

std::string folder_for(directory_which which)
{
    switch (which) {
    case B_DESKTOP_DIRECTORY: {
        std::string home = home_directory();
        return home.empty() ? home : home + "/Desktop";
    }
    case B_TRASH_DIRECTORY: {
        std::string data = absolute_env("XDG_DATA_HOME");
        if (data.empty()) {
            std::string home = home_directory();
            if (home.empty())
                return home;
            data = home + "/.local/share";
        }
        return data + "/Trash/files";
    }
    case B_COMMON_TEMP_DIRECTORY: {
        std::string temp = absolute_env("TMPDIR");
        return temp.empty() ? std::string("/tmp") : temp;
    }
    case B_USER_DIRECTORY:
        return home_directory();
    case B_USER_CONFIG_DIRECTORY:
    case B_USER_SETTINGS_DIRECTORY:
        return config_directory();
    }
    return std::string();
}

// The text without doubled or trailing slashes, so that BPath keeps it without the disk.
std::string tidy(const std::string& path)
{
    std::string result;
    for (char c : path)
        if (c != '/' || result.empty() || result.back() != '/')
            result += c;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

// Makes every missing level of an absolute path, 0755 each.
status_t make_folders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string level = path.substr(0, slash);
        if (mkdir(level.c_str(), 0755) != 0 && errno != EEXIST)
            return BPrivate::last_error_status();
        if (slash == std::string::npos)
            break;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return BPrivate::last_error_status();
    return S_ISDIR(st.st_mode) ? B_OK : B_NOT_A_DIRECTORY;
}

} // namespace

status_t find_directory(directory_which which, BPath* path, bool create, BVolume* volume)
{
    if (path == NULL)
        return B_BAD_VALUE;
    std::string folder = tidy(folder_for(which));
    if (folder.empty()) {
        path->Unset();
        return B_BAD_VALUE;
    }
    if (create) {
        status_t status = make_folders(folder);
        if (status != B_OK) {
            path->Unset();
            return status;
        }
    }
    return path->SetTo(folder.c_str());
}

status_t find_directory_r(directory_which which, BPath* path, bool create, BVolume* volume)
{
    return find_directory(which, path, create, volume);
}
