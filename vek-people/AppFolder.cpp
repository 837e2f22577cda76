#include "AppFolder.h"

#include "AvatarList.h"

#include <Directory.h>
#include <Entry.h>
#include <Path.h>

std::string ProgramFolder()
{
    BEntry program("/proc/self/exe", true);
    BEntry folder;
    BPath path;
    if (program.GetParent(&folder) != B_OK || folder.GetPath(&path) != B_OK)
        return "";
    return path.Path();
}

std::string AbsoluteFolder(const std::string& folder)
{
    BEntry entry(folder.c_str(), true);
    struct stat status;
    BPath path;
    if (entry.GetStat(&status) != B_OK || !S_ISDIR(status.st_mode) || entry.GetPath(&path) != B_OK)
        return "";
    return path.Path();
}

std::string AvatarListPath(const std::string& appFolder)
{
    BPath path;
    if (path.SetTo(appFolder.c_str(), NULL, false) != B_OK ||
        path.Append(kAvatarListName, false) != B_OK)
        return "";
    return path.Path();
}

std::string AvatarPath(const std::string& appFolder, const std::string& name)
{
    BPath path;
    if (path.SetTo(appFolder.c_str(), NULL, false) != B_OK ||
        path.Append(kAvatarFolderName, false) != B_OK || path.Append(name.c_str(), false) != B_OK)
        return "";
    return path.Path();
}
