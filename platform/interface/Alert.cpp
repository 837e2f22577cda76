#include <Alert.h>

#include <AppDefs.h>
#include <Message.h>
#include <ScrollView.h>
#include <TextView.h>

#include "interface/AlertBackground.h"
#include "interface/AlertButton.h"
#include "interface/DisplayLink.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace BPrivate
{

// What Go() waits for; shared, because the alert may be deleted while the
// caller still looks at it.
struct AlertResult {
    std::mutex lock;
    std::condition_variable changed;
    int32 index = -1;
    bool done = false;
    bool gone = false;
    bool waiting = false;
};

} // namespace BPrivate

namespace
{

constexpr float kMinWidth = 310;
constexpr float kMargin = 10;
constexpr float kTextLeftWithIcon = 55;
constexpr float kButtonSpacing = 9;
constexpr float kUsualButtonWidth = 75;
constexpr float kMaxTextHeight = 320;

// How often a window thread waiting in Go() redraws its own window.
constexpr std::chrono::milliseconds kCallerUpdateInterval(50);

const rgb_color kPanelColor = {216, 216, 216, 255};

} // namespace

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
               const char* button2, button_width width, alert_type type)
    : BWindow(BRect(0, 0, kMinWidth, 100), title, B_MODAL_WINDOW_LOOK, B_MODAL_APP_WINDOW_FEEL,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE | B_NOT_CLOSABLE),
      fResult(std::make_shared<BPrivate::AlertResult>())
{
    // Buttons are taken in order up to the first missing one; an alert always
    // has one, so that it can be answered.
    const char* labels[3] = {button0 != nullptr ? button0 : "OK", button1, button2};
    fButtonCount = 1;
    while (fButtonCount < 3 && labels[fButtonCount] != nullptr)
        fButtonCount++;

    float widths[3] = {};
    float widest = 0;
    for (int32 i = 0; i < fButtonCount; i++) {
        widths[i] = BPrivate::AlertButton::PreferredWidth(labels[i]);
        if (width == B_WIDTH_AS_USUAL)
            widths[i] = std::max(widths[i], kUsualButtonWidth);
        widest = std::max(widest, widths[i]);
    }
    float buttonsWidth = kButtonSpacing * static_cast<float>(fButtonCount - 1);
    for (int32 i = 0; i < fButtonCount; i++) {
        if (width == B_WIDTH_FROM_WIDEST)
            widths[i] = widest;
        buttonsWidth += widths[i];
    }

    float textLeft = type == B_EMPTY_ALERT ? kMargin : kTextLeftWithIcon;
    float alertWidth = std::max(kMinWidth, std::ceil(textLeft + buttonsWidth + kMargin));
    float textWidth = alertWidth - textLeft - kMargin;

    fTextView = new BTextView(BRect(textLeft, kMargin, textLeft + textWidth, kMargin + 10), "_tv_",
                              BRect(0, 0, textWidth, 10), B_FOLLOW_ALL, B_WILL_DRAW);
    fTextView->SetViewColor(kPanelColor);
    fTextView->MakeEditable(false);
    fTextView->MakeSelectable(true);
    fTextView->SetWordWrap(true);
    fTextView->SetText(text != nullptr ? text : "");

    // A text too long for the screen gets a scroll bar instead of a taller alert.
    float textHeight = fTextView->TextHeight(0, fTextView->CountLines() - 1);
    bool scrolls = textHeight > kMaxTextHeight;
    if (scrolls) {
        float inner = textWidth - B_V_SCROLL_BAR_WIDTH - 2;
        fTextView->SetTextRect(BRect(0, 0, inner, 10));
        textHeight = kMaxTextHeight;
        fTextView->MoveTo(textLeft + 1, kMargin + 1);
        fTextView->ResizeTo(inner, textHeight - 3);
    } else {
        textHeight = std::max(textHeight, BPrivate::AlertBackground::IconFrame().bottom - kMargin);
        fTextView->ResizeTo(textWidth, textHeight - 1);
    }

    float buttonHeight = BPrivate::AlertButton::PreferredHeight();
    float buttonTop = kMargin + textHeight + kMargin;
    float alertHeight = buttonTop + buttonHeight + kMargin - 1;
    ResizeTo(alertWidth, alertHeight);

    BRect screen = BPrivate::DisplayLink::ScreenFrame();
    MoveTo(std::floor(screen.left + (screen.Width() - alertWidth) / 2),
           std::floor(screen.top + (screen.Height() - alertHeight) / 3));

    auto* background = new BPrivate::AlertBackground(Bounds(), type);
    AddChild(background);
    if (scrolls) {
        background->AddChild(
            new BScrollView("_sv_", fTextView, B_FOLLOW_ALL, 0, false, true, B_PLAIN_BORDER));
    } else {
        background->AddChild(fTextView);
    }

    // The default button, the last, stands rightmost.
    float right = alertWidth - kMargin;
    for (int32 i = fButtonCount - 1; i >= 0; i--) {
        BRect frame(right - widths[i], buttonTop, right, buttonTop + buttonHeight - 1);
        fButtons[i] = new BPrivate::AlertButton(frame, labels[i], i == fButtonCount - 1,
                                                [this, i]() { ButtonPressed(i); });
        background->AddChild(fButtons[i]);
        right = frame.left - kButtonSpacing;
    }
}

BAlert::~BAlert()
{
    std::lock_guard<std::mutex> guard(fResult->lock);
    fResult->gone = true;
    fResult->done = true;
    fResult->changed.notify_all();
}

void BAlert::SetShortcut(int32 index, char shortcut)
{
    if (index >= 0 && index < fButtonCount)
        fShortcuts[index] = shortcut;
}

char BAlert::Shortcut(int32 index) const
{
    if (index >= 0 && index < fButtonCount)
        return fShortcuts[index];
    return 0;
}

BTextView* BAlert::TextView() const
{
    return fTextView;
}

int32 BAlert::CountButtons() const
{
    return fButtonCount;
}

BRect BAlert::ButtonFrame(int32 index) const
{
    if (index < 0 || index >= fButtonCount)
        return BRect();
    return fButtons[index]->Frame();
}

void BAlert::ButtonPressed(int32 index)
{
    bool waiting;
    {
        std::lock_guard<std::mutex> guard(fResult->lock);
        if (fResult->done)
            return;
        fResult->index = index;
        fResult->done = true;
        waiting = fResult->waiting;
        fResult->changed.notify_all();
    }
    // Shown without Go(): nobody else will close it.
    if (!waiting)
        PostMessage(B_QUIT_REQUESTED);
}

void BAlert::DispatchMessage(BMessage* message, BHandler* target)
{
    if (message->what == B_KEY_DOWN) {
        const char* bytes = nullptr;
        int32 modifierKeys = 0;
        message->FindInt32("modifiers", &modifierKeys);
        bool commandHeld = (modifierKeys & (B_COMMAND_KEY | B_CONTROL_KEY)) != 0;
        if (!commandHeld && message->FindString("bytes", &bytes) == B_OK && bytes != nullptr &&
            bytes[0] != '\0' && bytes[1] == '\0') {
            int key = tolower(static_cast<uchar>(bytes[0]));
            for (int32 i = 0; i < fButtonCount; i++) {
                if (fShortcuts[i] != 0 && tolower(static_cast<uchar>(fShortcuts[i])) == key) {
                    ButtonPressed(i);
                    return;
                }
            }
            if (key == B_ENTER) {
                ButtonPressed(fButtonCount - 1);
                return;
            }
        }
    }
    BWindow::DispatchMessage(message, target);
}

bool BAlert::QuitRequested()
{
    return true;
}

int32 BAlert::Go()
{
    std::shared_ptr<BPrivate::AlertResult> result = fResult;
    {
        std::lock_guard<std::mutex> guard(result->lock);
        result->waiting = true;
    }
    Show();

    // A window thread that waits here keeps its own window drawn.
    auto* caller = dynamic_cast<BWindow*>(BLooper::LooperForThread(find_thread(NULL)));
    if (caller == this)
        caller = nullptr;
    std::unique_lock<std::mutex> lock(result->lock);
    while (!result->done) {
        if (caller == nullptr) {
            result->changed.wait(lock);
            continue;
        }
        result->changed.wait_for(lock, kCallerUpdateInterval);
        if (!result->done) {
            lock.unlock();
            caller->UpdateIfNeeded();
            lock.lock();
        }
    }
    int32 index = result->index;
    bool gone = result->gone;
    lock.unlock();

    if (!gone && Lock())
        Quit();
    return index;
}
