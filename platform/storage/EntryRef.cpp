#include <Entry.h>

#include <stdlib.h>
#include <string.h>

entry_ref::entry_ref() : device((dev_t)-1), directory((ino_t)-1), name(NULL) {}

entry_ref::entry_ref(dev_t device, ino_t directory, const char* name)
    : device(device), directory(directory), name(NULL)
{
    set_name(name);
}

entry_ref::entry_ref(const entry_ref& other)
    : device(other.device), directory(other.directory), name(NULL)
{
    set_name(other.name);
}

entry_ref::~entry_ref()
{
    free(name);
}

status_t entry_ref::set_name(const char* newName)
{
    free(name);
    name = NULL;
    if (newName == NULL)
        return B_OK;
    name = strdup(newName);
    return name == NULL ? B_NO_MEMORY : B_OK;
}

bool entry_ref::operator==(const entry_ref& other) const
{
    if (device != other.device || directory != other.directory)
        return false;
    if (name == NULL || other.name == NULL)
        return name == other.name;
    return strcmp(name, other.name) == 0;
}

bool entry_ref::operator!=(const entry_ref& other) const
{
    return !(*this == other);
}

entry_ref& entry_ref::operator=(const entry_ref& other)
{
    if (this == &other)
        return *this;
    device = other.device;
    directory = other.directory;
    set_name(other.name);
    return *this;
}

bool operator<(const entry_ref& a, const entry_ref& b)
{
    if (a.device != b.device)
        return a.device < b.device;
    if (a.directory != b.directory)
        return a.directory < b.directory;
    if (a.name == NULL || b.name == NULL)
        return a.name == NULL && b.name != NULL;
    return strcmp(a.name, b.name) < 0;
}
