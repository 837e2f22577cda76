#ifndef VEK_APP_VEK_H
#define VEK_APP_VEK_H

#include <Application.h>
#include <Messenger.h>

#include "VEKDefs.h"

class VEKWindow;

class VEKApplication : public BApplication
{
public:
    VEKApplication();
    virtual ~VEKApplication();

    virtual void MessageReceived(BMessage* message);

private:
    VEKWindow* fWindow;
    // Reaches the window only while it lives: tag events and reload requests
    // that arrive after the window has gone are dropped.
    BMessenger fWindowMessenger;
};

#endif
