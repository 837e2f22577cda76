#ifndef _APPLICATION_H
#define _APPLICATION_H

#include <AppDefs.h>
#include <Looper.h>
#include <Messenger.h>
#include <OS.h>
#include <Roster.h>
#include <SupportDefs.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BMessage;
class BWindow;

namespace BPrivate
{
class LooperState;
class AppServices;
class PulseTimer;
} // namespace BPrivate

// The application object: registers its signature so that other programs can
// send it messages, and runs its loop on the thread that calls Run(), which
// should be the thread that built it (it holds the lock until then). A second
// start of a single-launch application hands over to the running one and exits
// in the constructor. SIGINT and SIGTERM become B_QUIT_REQUESTED.
class BApplication : public BLooper
{
public:
    BApplication(const char* signature);
    BApplication(const char* signature, status_t* error);
    virtual ~BApplication();

    status_t InitCheck() const;

    virtual thread_id Run();
    // Ends the loop; from another thread it does not wait for that.
    virtual void Quit();
    // Asks the windows in creation order; quits each that agrees.
    virtual bool QuitRequested();
    virtual void DispatchMessage(BMessage* message, BHandler* handler);
    // B_SILENT_RELAUNCH posts each window B_WINDOW_ACTIVATED ("active" true).
    virtual void MessageReceived(BMessage* message);

    virtual void ReadyToRun();
    virtual void ArgvReceived(int32 argc, char** argv);
    virtual void RefsReceived(BMessage* message);
    virtual void AboutRequested();
    virtual void Pulse();
    void SetPulseRate(bigtime_t rate);

    bool IsLaunching() const;
    status_t GetAppInfo(app_info* info) const;

    // Defined by the interface kit, which knows what a window is.
    int32 CountWindows() const;
    BWindow* WindowAt(int32 index) const;

private:
    friend class BWindow;

    BApplication(const BApplication&) = delete;
    BApplication& operator=(const BApplication&) = delete;

    void InitData(const char* signature, status_t* error);
    status_t Register(const std::vector<std::string>& arguments);
    // A second start of a single-launch application gives its arguments to
    // the running one and exits.
    void HandOver(const std::string& runningPath, const std::vector<std::string>& arguments);
    static void FillArgv(BMessage* message, const std::vector<std::string>& arguments);
    void PostQuitRequest();
    bool QuitAllWindows(bool askFirst);
    std::vector<BLooper*> WindowsSnapshot() const;
    void ActivateWindows();

    // Windows register in creation order and unregister when they are deleted.
    void _RegisterWindow(BLooper* window);
    void _UnregisterWindow(BLooper* window);

    std::unique_ptr<BPrivate::AppServices> fServices;
    std::unique_ptr<BPrivate::PulseTimer> fPulse;
    std::atomic<bool> fPulsePending{false};
    mutable std::mutex fWindowsLock;
    std::vector<BLooper*> fWindows;
    // Loops of windows that quit on their own thread and may still be deleting
    // them; the application waits for them before it goes.
    std::vector<std::shared_ptr<BPrivate::LooperState>> fEndingWindowLoops;
    status_t fInitError = B_OK;
    uint32 fLaunchFlags = B_MULTIPLE_LAUNCH;
    bool fReadyToRunCalled = false;
    std::string fSignature;
    std::string fExecutable;
};

extern BApplication* be_app;
extern BMessenger be_app_messenger;

#endif
