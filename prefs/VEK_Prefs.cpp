#include "VEK_Prefs.h"

#include "VEKDefs.h"

#include <Directory.h>
#include <Entry.h>
#include <FindDirectory.h>
#include <Path.h>
#include <TypeConstants.h>

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#define SETTINGS_FOLDER "_LP_x-vnd.NW"
#define SETTINGS_FILE "PXL_settings"
#define SETTINGS_MODE (B_READ_WRITE | B_CREATE_FILE)
#define DEFAULT_LOGO "/boot/home/logoimage"
#define LOGO_BUFFER_SIZE 256

static status_t FindSettingsFolder(BPath* path, bool create)
{
#ifdef B_ZETA_VERSION
    return find_directory_r(B_USER_SETTINGS_DIRECTORY, path, create, NULL);
#else
    return find_directory(B_USER_SETTINGS_DIRECTORY, path, create, NULL);
#endif
}

// A path that could not be formed prints as the C library prints a null text.
static const char* Text(const char* text)
{
    return text != NULL ? text : "(null)";
}

Prefs::Prefs()
{
    BPath path;
    FindSettingsFolder(&path, false);
    path.Append(SETTINGS_FOLDER);
    path.Append(SETTINGS_FILE);

    fWinRect.Set(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H);
    fWindowByBegin = true;
    fError = false;
    fLogoPath = NULL;
    fFile = NULL;
    fReadOnly = false;

    InitCheck();

    fFile = new BFile(path.Path(), SETTINGS_MODE);
    status_t writable = fFile->InitCheck();
    if (writable != B_OK) {
        // What can be read is read, even when nothing can be stored.
        BFile* readable = new BFile(path.Path(), B_READ_ONLY);
        if (readable->InitCheck() == B_OK) {
            delete fFile;
            fFile = readable;
            fReadOnly = true;
            printf("Prefs '%s' can't be written (%s): settings are read, not saved\n",
                   Text(path.Path()), strerror(writable));
        } else {
            delete readable;
        }
    }
    LoadPrefs();

    if (fError && !fReadOnly) {
        fFile->Unset();
        delete fFile;
        fFile = new BFile(path.Path(), SETTINGS_MODE);
        Save();
        LoadPrefs();
    }

    printf("Prefs '%s' \n", Text(path.Path()));
}

Prefs::~Prefs()
{
    fFile->Unset();
    delete fFile;
    delete[] fLogoPath;
}

void Prefs::InitCheck()
{
    BPath path;
    FindSettingsFolder(&path, true);
    path.Append(SETTINGS_FOLDER);

    // The folder object is set only here: a folder made just now leaves it unset, and the
    // look-up and the creation through it below then fail.
    BDirectory dir;
    if (dir.SetTo(path.Path()) != B_OK) {
        if (path.Path() != NULL)
            mkdir(path.Path(), 0755);
        printf(">> musste machen: %s\n", Text(path.Path()));
    } else {
        printf(">> schon da: %s\n", Text(path.Path()));
    }

    path.Append(SETTINGS_FILE);
    printf("[Path:%s]\n", Text(path.Path()));

    BEntry entry;
    BFile* file;
    if (dir.FindEntry(SETTINGS_FILE, &entry, false) != B_OK) {
        printf("[File not found]\n");
        file = new BFile(path.Path(), SETTINGS_MODE);
        if (dir.CreateFile(SETTINGS_FILE, file, false) == B_OK)
            printf("[File created]\n");
    } else {
        file = new BFile(path.Path(), SETTINGS_MODE);
        bool writable = file->InitCheck() == B_OK;
        if (!writable)
            file->SetTo(path.Path(), B_READ_ONLY);
        if (file->InitCheck() != B_OK) {
            printf("[init error]\n");
        } else {
            printf("[File found]\n");
            if (writable)
                file->Write("Hello !\n", 8);
        }
    }

    file->Unset();
    delete file;
}

BRect Prefs::DefaultWinRect()
{
    return BRect(100, 100, 415, 329);
}

bool Prefs::LoadPrefs()
{
    BRect defaultRect = DefaultWinRect();
    if (!GetRect("prefs_window_rect", &fWinRect, &defaultRect)) {
        fError = true;
        return false;
    }
    // A frame of NaN or infinity, or an inverted one, would place the window nowhere, and
    // be stored again.
    if (!isfinite(fWinRect.left) || !isfinite(fWinRect.top) || !isfinite(fWinRect.right) ||
        !isfinite(fWinRect.bottom) || !fWinRect.IsValid()) {
        printf("Prefs: prefs_window_rect is no frame, the default is taken\n");
        fWinRect = defaultRect;
    }

    bool defaultFlag = false;
    if (!GetBool("window_by_begin", &fWindowByBegin, &defaultFlag)) {
        fError = true;
        return false;
    }

    // Zeroed, so that a stored text without its own NUL always ends inside the buffer.
    char* buffer = new char[LOGO_BUFFER_SIZE]();
    delete[] fLogoPath;
    fLogoPath = buffer;
    strcpy(fLogoPath, DEFAULT_LOGO);

    if (!GetStr("logo_fuji", fLogoPath, fLogoPath)) {
        fError = true;
        return false;
    }
    return true;
}

bool Prefs::Save()
{
    if (!PutRect("prefs_window_rect", &fWinRect))
        return false;
    if (!PutBool("window_by_begin", &fWindowByBegin))
        return false;

    // A load that stopped early left no logo buffer: the default text stands in.
    char defaultLogo[] = DEFAULT_LOGO;
    if (!PutStr("logo_fuji", fLogoPath != NULL ? fLogoPath : defaultLogo))
        return false;

    printf("Prefs -Save ok\n");
    return true;
}

bool Prefs::SaveWin()
{
    return PutRect("prefs_window_rect", &fWinRect);
}

bool Prefs::GetInt(const char* name, int32* value, int32* def)
{
    ssize_t n = fFile->ReadAttr(name, B_INT32_TYPE, 0, value, sizeof(int32));
    if (n == B_ENTRY_NOT_FOUND) {
        *value = *def;
        if (!fReadOnly && fFile->WriteAttr(name, B_INT32_TYPE, 0, def, sizeof(int32)) < 0) {
            printf("WriteAttr on %s died\n", name);
            fError = true;
            return false;
        }
        return true;
    }
    if (n >= 0)
        return true;
    printf("Unknown error reading %s:\n%s\n", name, strerror((int)n));
    fError = true;
    return false;
}

bool Prefs::GetBool(const char* name, bool* value, bool* def)
{
    // Read as a byte: a stored value other than 0 or 1 must not land in a bool as is.
    uint8 stored = *value ? 1 : 0;
    ssize_t n = fFile->ReadAttr(name, B_BOOL_TYPE, 0, &stored, 1);
    if (n == B_ENTRY_NOT_FOUND) {
        *value = *def;
        if (!fReadOnly && fFile->WriteAttr(name, B_BOOL_TYPE, 0, def, 1) < 0) {
            printf("WriteAttr on %s died\n", name);
            fError = true;
            return false;
        }
        return true;
    }
    if (n >= 0) {
        *value = stored != 0;
        return true;
    }
    printf("Unknown error reading %s:\n%s\n", name, strerror((int)n));
    fError = true;
    return false;
}

bool Prefs::GetRect(const char* name, BRect* value, BRect* def)
{
    float stored[4] = {value->left, value->top, value->right, value->bottom};
    ssize_t n = fFile->ReadAttr(name, B_RECT_TYPE, 0, stored, sizeof(stored));
    if (n == B_ENTRY_NOT_FOUND) {
        *value = *def;
        float defaults[4] = {def->left, def->top, def->right, def->bottom};
        if (!fReadOnly && fFile->WriteAttr(name, B_RECT_TYPE, 0, defaults, sizeof(defaults)) < 0) {
            printf("WriteAttr on %s died\n", name);
            fError = true;
            return false;
        }
        return true;
    }
    if (n >= 0) {
        // A shorter value replaces only the first floats.
        value->Set(stored[0], stored[1], stored[2], stored[3]);
        return true;
    }
    printf("Unknown error reading %s:\n%s\n", name, strerror((int)n));
    fError = true;
    return false;
}

bool Prefs::GetStr(const char* name, char* value, char* def)
{
    // The text already in the buffer ends a shorter stored text that has no NUL of its own.
    size_t before = strnlen(value, LOGO_BUFFER_SIZE);
    ssize_t n = fFile->ReadAttr(name, B_STRING_TYPE, 0, value, LOGO_BUFFER_SIZE);
    if (n == B_ENTRY_NOT_FOUND) {
        size_t length = strnlen(def, LOGO_BUFFER_SIZE - 1);
        if (value != def)
            memmove(value, def, length);
        value[length] = '\0';
        if (!fReadOnly && fFile->WriteAttr(name, B_STRING_TYPE, 0, def, length) < 0) {
            printf("WriteAttr on %s died\n", name);
            fError = true;
            return false;
        }
        return true;
    }
    if (n >= 0) {
        // A text without a NUL that reaches past the old end (or a buffer that had none) is
        // ended after what was read, at most 255 characters.
        if (memchr(value, '\0', (size_t)n) == NULL &&
            ((size_t)n >= before || before == LOGO_BUFFER_SIZE))
            value[(size_t)n < LOGO_BUFFER_SIZE ? n : LOGO_BUFFER_SIZE - 1] = '\0';
        return true;
    }
    printf("Unknown error reading %s:\n%s\n", name, strerror((int)n));
    fError = true;
    return false;
}

bool Prefs::PutInt(const char* name, int32* value)
{
    if (fReadOnly)
        return false;
    ssize_t w = fFile->WriteAttr(name, B_INT32_TYPE, 0, value, sizeof(int32));
    if (w < 0) {
        printf("Unknown error writing %s:\n%s\n", name, strerror((int)w));
        fError = true;
        return false;
    }
    return true;
}

bool Prefs::PutBool(const char* name, bool* value)
{
    if (fReadOnly)
        return false;
    ssize_t w = fFile->WriteAttr(name, B_BOOL_TYPE, 0, value, 1);
    if (w < 0) {
        printf("Unknown error writing %s:\n%s\n", name, strerror((int)w));
        fError = true;
        return false;
    }
    return true;
}

bool Prefs::PutRect(const char* name, BRect* value)
{
    if (fReadOnly)
        return false;
    float stored[4] = {value->left, value->top, value->right, value->bottom};
    ssize_t w = fFile->WriteAttr(name, B_RECT_TYPE, 0, stored, sizeof(stored));
    if (w < 0) {
        printf("Unknown error writing %s:\n%s\n", name, strerror((int)w));
        fError = true;
        return false;
    }
    return true;
}

bool Prefs::PutStr(const char* name, char* value)
{
    if (fReadOnly)
        return false;
    ssize_t w = value != NULL ? fFile->WriteAttr(name, B_STRING_TYPE, 0, value, strlen(value) + 1)
                              : B_BAD_VALUE;
    if (w < 0) {
        printf("Unknown error writing %s '%s' \n%s\n", name, Text(value), strerror((int)w));
        fError = true;
        return false;
    }
    return true;
}
