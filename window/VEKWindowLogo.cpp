// The logo: the picture of whoever was just read.

#include "VEKWindow.h"

#include <Bitmap.h>
#include <BitmapStream.h>
#include <File.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <TranslatorRoster.h>
#include <View.h>

#include <stdio.h>
#include <string.h>

#include "VEKDefs.h"

void VEKWindow::ManageLogo(char* name)
{
    BPath path;
    if (path.SetTo(fAvatarDir.Path(), NULL, false) == B_OK)
        path.Append(name != NULL ? name : "none", false);
    const char* shownPath = path.Path() != NULL ? path.Path() : "(null)";

    printf("image: '%s'\n", shownPath);

    BNode node(path.Path());
    if (node.InitCheck() != B_OK) {
        printf("ManageLogo BAD '%s'\n", shownPath);
        return;
    }

    char type[B_MIME_TYPE_LENGTH];
    BNodeInfo nodeInfo(&node);
    if (nodeInfo.GetType(type) != B_OK)
        type[0] = '\0';
    if (strstr(type, "image") == NULL) {
        printf(": not %s  %s\n", "image", type);
        return;
    }

    BRect bounds = fMainView->Bounds();
    BRect logoFrame(5, bounds.bottom - 41, 36, bounds.bottom - 10);

    if (fLogoView != NULL) {
        fLogoView->RemoveSelf();
        delete fLogoView;
        fLogoView = NULL;
    }
    if (fLogoBitmap != NULL) {
        delete fLogoBitmap;
        fLogoBitmap = NULL;
    }

    fLogoView = new BView(logoFrame, "logo", B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
    fLogoBitmap = GetImage((char*)path.Path());

    if (fLogoBitmap == NULL) {
        printf("Logo NULL..\n");
    } else {
        BRect pictureBounds = fLogoBitmap->Bounds();
        fLogoView->ResizeTo(pictureBounds.Width(), pictureBounds.Height());
        ResizeTo(WIN_W, pictureBounds.Height() + 10);
        fLogoView->MoveTo(4, 4);
        fMainView->AddChild(fLogoView);
        fLogoView->SetViewBitmap(fLogoBitmap, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_TILE_BITMAP);
    }

    printf("ManageLogo end '%s'\n", path.Leaf() != NULL ? path.Leaf() : "(null)");
}

BBitmap* GetImage(char* path)
{
    BBitmap* picture = NULL;
    BBitmapStream* stream = new BBitmapStream();
    BTranslatorRoster* roster = BTranslatorRoster::Default();

    BFile file(path, B_READ_ONLY);
    if (file.IsReadable()) {
        if (roster->Translate(&file, NULL, NULL, stream, B_TRANSLATOR_BITMAP) < B_OK)
            printf("\xc2\xa0"
                   "can't translate '%s'\n",
                   path);
        else
            stream->DetachBitmap(&picture);
    }

    delete stream;
    return picture;
}
