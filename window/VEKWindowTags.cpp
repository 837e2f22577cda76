// Tag events and the tag log.

#include "VEKWindow.h"

#include <Autolock.h>
#include <Message.h>
#include <Messenger.h>
#include <String.h>
#include <TextView.h>

#include <stdio.h>
#include <string.h>

namespace
{

const int32 kCrunchLimit = 400;
const int32 kCrunchCut = 200;
const char kCrunchMarker[] = "..(Crunched)";

// Lines longer than the crunch cut would grow the log by the difference at
// every event: a text longer than kLongestText is shown cut, and the log
// never keeps more than kLogBound bytes after an event.
const int32 kLongestText = 2048;
const int32 kLogBound = 4096;
const char kCutMarker[] = "..(Cut)";

// The length of the first bytes of text that fit into length bytes
// without leaving half a UTF-8 character at the end.
int32 CharacterStart(const char* text, int32 length)
{
    while (length > 0 && ((unsigned char)text[length] & 0xc0) == 0x80)
        length--;
    return length;
}

// A text as the log shows it: cut, with a marker, when it is too long.
void CutToFit(BString& text)
{
    if (text.Length() <= kLongestText)
        return;
    text.Truncate(CharacterStart(text.String(), kLongestText - (int32)strlen(kCutMarker)));
    text += kCutMarker;
}

} // namespace

BString Printable(const char* text)
{
    BString cut(text != NULL ? text : "", kLongestText + 1);
    CutToFit(cut);
    BString printable;
    const unsigned char* bytes = (const unsigned char*)cut.String();
    const unsigned char* run = bytes;
    while (*bytes != '\0') {
        // A whole UTF-8 character is kept, unless it is a C1 control.
        int32 length = 0;
        if (*bytes >= 0x20 && *bytes < 0x7f)
            length = 1;
        else if (*bytes >= 0xc2 && *bytes <= 0xf4) {
            int32 expected = *bytes >= 0xf0 ? 4 : *bytes >= 0xe0 ? 3 : 2;
            int32 found = 1;
            while (found < expected && (bytes[found] & 0xc0) == 0x80)
                found++;
            bool c1 = *bytes == 0xc2 && bytes[1] < 0xa0;
            if (found == expected && !c1)
                length = expected;
        }
        if (length > 0) {
            bytes += length;
            continue;
        }
        printable.Append((const char*)run, (int32)(bytes - run));
        char escape[5];
        snprintf(escape, sizeof(escape), "\\x%02x", *bytes);
        printable += escape;
        run = ++bytes;
    }
    printable.Append((const char*)run, (int32)(bytes - run));
    return printable;
}

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
    BString key(tag);
    CutToFit(tag);
    line += tag;
    line += ">\n";
    BString text;
    message->FindString("_fMes", &text);
    CutToFit(text);

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
        int32 room = kLogBound - (int32)strlen(kCrunchMarker);
        if (log.Length() > room)
            log.Truncate(CharacterStart(log.String(), room));
        log += kCrunchMarker;
        fTextView->SetText(log.String());
        printf("B laenge: %ld (chrunch)\n", (long)fTextView->TextLength());
    }
}
