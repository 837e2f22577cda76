// The window's message dispatch, the key handler and the error alert.

#include "VEKWindow.h"

#include <Alert.h>
#include <InterfaceDefs.h>
#include <Message.h>

#include <new>
#include <stdio.h>
#include <string.h>

#include "VEK_Prefs.h"

void VEKWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_SIMPLE_DATA:
        message->PrintToStream();
        break;

    case 'RFID':
        ShowRfidTag(message);
        break;

    case B_UNMAPPED_KEY_DOWN:
        AddOptionalByWinKey(message);
        break;

    case 'rPrf':
        // Arrives on the application's thread too; the lock keeps the
        // reload apart from the frame updates of the window's thread.
        if (fPrefs != NULL && Lock()) {
            fPrefs->LoadPrefs();
            CheckStoredFrame();
            Unlock();
        }
        break;

    case _DISPOSE_DRAG_:
    case '_KDN':
    case B_KEY_DOWN:
    case B_KEY_UP:
    case B_MODIFIERS_CHANGED:
    case B_MOUSE_DOWN:
    case B_MOUSE_MOVED:
    case B_MOUSE_UP:
    case B_MOUSE_WHEEL_CHANGED:
    case _PING_:
    case B_UNMAPPED_KEY_UP:
        break;

    default:
        printf("VEKWindow::MessageReceived\n");
        message->PrintToStream();
        BWindow::MessageReceived(message);
        break;
    }
}

void VEKWindow::AddOptionalByWinKey(BMessage* message)
{
    int32 modifiers = 0;
    int32 key = 0;
    message->FindInt32("modifiers", &modifiers);
    message->FindInt32("key", &key);

    if ((modifiers & (B_LEFT_OPTION_KEY | B_CONTROL_KEY)) != 0)
        printf(".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n");

    if (key == 102 || key == 103) {
        printf(" key 102 oder 103 \n");
    } else {
        printf("use Left-Win-Key ");
        printf("KState: %ld KKey %ld \n", (long)modifiers, (long)key);
    }
}

void VEKWindow::ManageInfoWin(BMessage* message)
{
    if (message != NULL)
        printf("ManageInfoWin::default\n");
}

void VEKWindow::AboutRequested() {}

void DoError(const char* message)
{
    static const char kPrefix[] = "VEK_BeOS \n";
    const char* text = message != NULL ? message : "";

    try {
        char alertText[2048];
        strcpy(alertText, kPrefix);
        size_t room = sizeof(alertText) - strlen(kPrefix) - 1;
        size_t length = strnlen(text, room);
        // Never leave half a UTF-8 character at the cut.
        if (length == room && text[length] != '\0') {
            while (length > 0 && ((unsigned char)text[length] & 0xc0) == 0x80)
                length--;
        }
        memcpy(alertText + strlen(kPrefix), text, length);
        alertText[strlen(kPrefix) + length] = '\0';

        BAlert* alert =
            new BAlert("Autsch", alertText, " Autch ", NULL, NULL, B_WIDTH_AS_USUAL, B_INFO_ALERT);
        alert->SetShortcut(0, B_ENTER);
        alert->Go();
    } catch (const std::bad_alloc&) {
        printf("Autch: '%s'...\n", text);
    }
}
