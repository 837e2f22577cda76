#ifndef VEK_WINDOW_VEK_WINDOW_H
#define VEK_WINDOW_VEK_WINDOW_H

#include <Path.h>
#include <String.h>
#include <Window.h>

class BBitmap;
class BMessenger;
class BScrollView;
class BTextView;
class BView;
class Prefs;

// Modes of the avatar list.
enum { A_INIT = 0, A_READ = 1, A_WRITE = 2, A_CHECK = 3, A_LOOK = 4, A_ERR = 5 };

class VEKWindow : public BWindow
{
public:
    VEKWindow(BRect frame);
    virtual ~VEKWindow();

    virtual void MessageReceived(BMessage* message);
    virtual bool QuitRequested();
    virtual void FrameMoved(BPoint origin);
    virtual void FrameResized(float width, float height);

    virtual void AddOptionalByWinKey(BMessage* message);
    virtual void ManageInfoWin(BMessage* message);
    virtual void AboutRequested();
    virtual void ShowRfidTag(BMessage* message);
    virtual void ManageLogo(char* name);
    virtual void WorkWithAvaList(int mode, char* search);

private:
    void CheckStoredFrame();

    BMessenger* fCallMe;
    Prefs* fPrefs;
    BView* fMainView;
    BPath fAppDir;
    BPath fAvatarDir;
    BView* fLogoView;
    BBitmap* fLogoBitmap;
    bool fListCutSaid;
    BTextView* fTextView;
    BScrollView* fScrollView;
};

// Decodes the picture file at path; the caller owns the bitmap. NULL when the
// file can't be read or decoded.
BBitmap* GetImage(char* path);

// The text as it may go to a terminal in a trace: cut as the log cuts it, with
// control bytes, and bytes that are not UTF-8, as \xNN escapes. For texts that
// came from a sender.
BString Printable(const char* text);

// Shows a modal error alert and waits until it is dismissed.
void DoError(const char* message);

#endif
