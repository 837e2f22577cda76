#ifndef _ALERT_H
#define _ALERT_H

#include <Window.h>

#include <memory>

class BTextView;

enum alert_type {
    B_EMPTY_ALERT = 0,
    B_INFO_ALERT,
    B_IDEA_ALERT,
    B_WARNING_ALERT,
    B_STOP_ALERT,
};

enum button_width {
    B_WIDTH_AS_USUAL = 0,
    B_WIDTH_FROM_WIDEST,
    B_WIDTH_FROM_LABEL,
};

namespace BPrivate
{
struct AlertResult;
class AlertButton;
} // namespace BPrivate

// A modal window with a text and up to three buttons; the last button is the
// default, pressed by Enter as well. Go() shows it, waits for a button and
// deletes the alert.
class BAlert : public BWindow
{
public:
    BAlert(const char* title, const char* text, const char* button0, const char* button1 = NULL,
           const char* button2 = NULL, button_width width = B_WIDTH_AS_USUAL,
           alert_type type = B_INFO_ALERT);
    virtual ~BAlert();

    void SetShortcut(int32 index, char shortcut);
    char Shortcut(int32 index) const;

    // Blocks until a button is pressed and returns its index, or -1 when the
    // alert was closed some other way. Called from a window's thread, it keeps
    // that window drawing while it waits (the window's other messages wait).
    int32 Go();

    virtual void DispatchMessage(BMessage* message, BHandler* target);
    virtual bool QuitRequested();

    BTextView* TextView() const;
    int32 CountButtons() const;
    // A button's frame in the alert's coordinates; invalid for a bad index.
    BRect ButtonFrame(int32 index) const;

private:
    void ButtonPressed(int32 index);

    std::shared_ptr<BPrivate::AlertResult> fResult;
    BTextView* fTextView = nullptr;
    BPrivate::AlertButton* fButtons[3] = {};
    char fShortcuts[3] = {};
    int32 fButtonCount = 0;
};

#endif
