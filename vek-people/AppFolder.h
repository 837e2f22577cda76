#ifndef VEK_PEOPLE_APP_FOLDER_H
#define VEK_PEOPLE_APP_FOLDER_H

// The client's application folder, which holds the avatar list and the
// avatars folder: the folder of the running program, where the client's
// executable lies beside it, unless the user names one.

#include <string>

// The folder of the running executable, absolute; empty if unknown.
std::string ProgramFolder();

// The absolute, normalised path of folder; empty when it is no folder.
std::string AbsoluteFolder(const std::string& folder);

// folder/name as the client forms it (no normalisation): the list, or a
// picture in the avatars folder. Empty when the client could form no path.
std::string AvatarListPath(const std::string& appFolder);
std::string AvatarPath(const std::string& appFolder, const std::string& name);

#endif
