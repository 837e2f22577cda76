// Tag events and the tag log.

#include "VEKWindow.h"

#include <Autolock.h>
#include <Message.h>
#include <Messenger.h>
#include <String.h>
#include <TextView.h>

#include <stdio.h>

namespace {

const int32 kCrunchLimit = 400;
const int32 kCrunchCut = 200;

} // namespace

void VEKWindow::ShowRfidTag(BMessage* message)
{
    if (message == NULL)
        return;

    // The lock is held for the whole event, the avatar lookup and the logo
    // included. A window that is going can't be locked: the event is dropped.
    BAutolock lock(this);
    if (!lock.IsLocked())
        return;

    if (fCallMe == NULL) {
        if (message->HasMessenger("_f2CallMe")) {
            fCallMe = new BMessenger();
            message->FindMessenger("_f2CallMe", fCallMe);
        }
        if (fCallMe != NULL)
            printf("NOW WE HAVE A CALLBACK MESSENGER :) \n");
    }

    printf("xinfos: %ld\n", (long)message->CountNames(B_ANY_TYPE));

    int32 time = 0;
    BString tag;
    BString line(" [");
    message->FindInt32("_time", &time);
    line << time;
    line += "] <";
    message->FindString("_tagstr", &tag);
    line += tag;
    line += ">\n";

    BString key(tag);
    BString text;
    message->FindString("_fMes", &text);

    if (text.Length() >= 2) {
        text.Prepend(" ..");
        text += "\n";
        fTextView->Insert(0, text.String(), text.Length());
        ManageLogo((char*)"givecard2");
    } else {
        fTextView->Insert(0, line.String(), line.Length());
        key.Remove(0, 1);
        WorkWithAvaList(A_LOOK, (char*)key.String());
    }

    int32 length = fTextView->TextLength();
    if (length > kCrunchLimit) {
        printf("A laenge: %ld (chrunch)\n", (long)length);
        BString log(fTextView->Text(), length);
        log.Remove(length - kCrunchCut, kCrunchCut);
        log += "..(Crunched)";
        fTextView->SetText(log.String());
        printf("B laenge: %ld (chrunch)\n", (long)fTextView->TextLength());
    }
}
