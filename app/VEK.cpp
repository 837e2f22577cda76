#include "VEK.h"

#include <Message.h>

#include <stdio.h>

#include "VEKWindow.h"

int main()
{
    printf("-VEK begin-\n");
    VEKApplication application;
    application.Run();
    printf("\n-VEK end-\n");
    return 0;
}

VEKApplication::VEKApplication() : BApplication("application/VEK_BeOS")
{
    BRect frame(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H);
    fWindow = new VEKWindow(frame);
    fWindowMessenger = BMessenger(fWindow);
    fWindow->Show();
}

VEKApplication::~VEKApplication() {}

void VEKApplication::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case 'RFID':
    case 'rPrf':
        // Handled on this thread, straight through the window's hook; the
        // window's lock keeps it alive for the length of the call.
        if (fWindowMessenger.LockTarget()) {
            fWindow->MessageReceived(message);
            fWindow->Unlock();
        }
        break;

    default:
        printf("VEKApp ");
        message->PrintToStream();
        BApplication::MessageReceived(message);
        break;
    }
}
