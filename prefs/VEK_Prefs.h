#ifndef VEK_PREFS_VEK_PREFS_H
#define VEK_PREFS_VEK_PREFS_H

#include <File.h>
#include <Rect.h>
#include <SupportDefs.h>

// The settings store: the program's settings as typed attributes of one settings file.
// Every get stores its default when the attribute is missing, so that the first start
// leaves a complete settings file. The store takes no lock.
class Prefs
{
public:
    Prefs();
    ~Prefs();

    void InitCheck();
    bool LoadPrefs();
    bool Save();
    bool SaveWin();

    bool GetInt(const char* name, int32* value, int32* def);
    bool GetBool(const char* name, bool* value, bool* def);
    bool GetRect(const char* name, BRect* value, BRect* def);
    bool GetStr(const char* name, char* value, char* def);

    bool PutInt(const char* name, int32* value);
    bool PutBool(const char* name, bool* value);
    bool PutRect(const char* name, BRect* value);
    bool PutStr(const char* name, char* value);

    // The frame of a first start.
    static BRect DefaultWinRect();

    BRect fWinRect;
    bool fWindowByBegin;
    char* fLogoPath;
    bool fError;
    BFile* fFile;
    // The file could be opened for reading only: missing settings take their
    // defaults without storing them, and nothing is written.
    bool fReadOnly;
};

#endif
