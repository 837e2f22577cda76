#include "VEKWindow.h"

#include <Application.h>
#include <Bitmap.h>
#include <Directory.h>
#include <Entry.h>
#include <Font.h>
#include <Message.h>
#include <Messenger.h>
#include <Roster.h>
#include <Screen.h>
#include <ScrollView.h>
#include <TextView.h>
#include <View.h>

#include <stdio.h>
#include <sys/stat.h>

#include "VEKDefs.h"
#include "VEK_Prefs.h"

// A frame that no screen shows any part of can't be reached by the user.
static bool IsOnScreen(BWindow* window, BRect frame)
{
    return BScreen(window).Frame().Intersects(frame);
}

VEKWindow::VEKWindow(BRect frame)
    : BWindow(frame, "Pictoslate", B_TITLED_WINDOW, B_NOT_RESIZABLE, B_CURRENT_WORKSPACE),
      fCallMe(NULL), fPrefs(NULL), fMainView(NULL), fLogoView(NULL), fLogoBitmap(NULL),
      fListCutSaid(false), fTextView(NULL), fScrollView(NULL)
{
    BRect bounds = Bounds();

    SetFlags(B_NOT_ZOOMABLE | B_NOT_RESIZABLE);
    SetLook(B_FLOATING_WINDOW_LOOK);
    SetSizeLimits(100, WIN_W, WIN_H, WIN_H + 150);

    fPrefs = new Prefs();
    CheckStoredFrame();
    MoveTo(fPrefs->fWinRect.left, fPrefs->fWinRect.top);

    fMainView = new BView(bounds, "bview", B_FOLLOW_ALL, B_WILL_DRAW);
    fMainView->SetViewColor(237, 242, 235, 0);
    fMainView->SetFontSize(10);
    AddChild(fMainView);

    // The log sits right of the logo; its text is laid out on the width of the
    // whole window.
    BRect logFrame(bounds.left + 120, bounds.top + 7, bounds.right - 6 - 17, bounds.bottom - 7);
    BRect textRect = bounds;
    textRect.InsetBy(0, 3);
    textRect.OffsetTo(0, 0);

    fTextView = new BTextView(logFrame, "text_view", textRect, B_FOLLOW_ALL, B_WILL_DRAW);
    fScrollView =
        new BScrollView("scroll_view", fTextView, B_FOLLOW_ALL, 0, false, true, B_PLAIN_BORDER);
    fMainView->AddChild(fScrollView);

    BFont font(be_fixed_font);
    font.SetSize(9);
    fTextView->SetFontAndColor(&font, B_FONT_ALL, NULL);
    fTextView->SetViewColor(250, 250, 245, 10);
    fTextView->MakeEditable(false);
    fTextView->MakeSelectable(true);

    app_info info;
    BEntry executable;
    BPath executablePath;
    if (be_app != NULL && be_app->GetAppInfo(&info) == B_OK &&
        executable.SetTo(&info.ref, false) == B_OK && executable.GetPath(&executablePath) == B_OK &&
        executablePath.GetParent(&fAppDir) == B_OK) {
        BPath avatars(fAppDir.Path(), "avatars");
        BDirectory directory;
        if (directory.SetTo(avatars.Path()) != B_OK)
            mkdir(avatars.Path(), 0755);
        fAvatarDir = avatars;
    }

    VEKWindow::WorkWithAvaList(A_CHECK, NULL);
    VEKWindow::WorkWithAvaList(A_INIT, NULL);

    printf("-- StartUp --\n");
}

VEKWindow::~VEKWindow()
{
    if (fPrefs != NULL) {
        fPrefs->SaveWin();
        delete fPrefs;
        fPrefs = NULL;
    }
    delete fCallMe;

    // An attached logo view goes with the view tree; one left over from a
    // failed picture is ours, and so is the last bitmap.
    if (fLogoView != NULL && fLogoView->Parent() == NULL)
        delete fLogoView;
    delete fLogoBitmap;
}

bool VEKWindow::QuitRequested()
{
#ifdef B_ZETA_VERSION
    BMessage request(B_QUIT_REQUESTED);
    be_app_messenger.SendMessageAtTime(&request, 0, BMessenger(), 8, B_INFINITE_TIMEOUT);
#else
    be_app_messenger.SendMessage(B_QUIT_REQUESTED);
#endif
    return true;
}

void VEKWindow::FrameMoved(BPoint origin)
{
    if (fPrefs == NULL)
        return;
    BRect frame = Frame();
    fPrefs->fWinRect = IsOnScreen(this, frame) ? frame : Prefs::DefaultWinRect();
}

// The window opens at the stored origin with its own size: a stored frame that would put it
// wholly off screen gives way to the default frame, as on a first start.
void VEKWindow::CheckStoredFrame()
{
    BRect placed = Frame();
    placed.OffsetTo(fPrefs->fWinRect.left, fPrefs->fWinRect.top);
    if (!IsOnScreen(this, placed)) {
        printf("Window frame off screen, the default is taken\n");
        fPrefs->fWinRect = Prefs::DefaultWinRect();
    }
}

void VEKWindow::FrameResized(float width, float height)
{
    fMainView->Invalidate();
}
