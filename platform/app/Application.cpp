#include <Application.h>

#include <Entry.h>
#include <File.h>
#include <Message.h>
#include <Node.h>
#include <Resources.h>

#include "app/AppServices.h"
#include "app/AppSocket.h"
#include "app/EventSignal.h"
#include "app/LooperRegistry.h"
#include "app/LooperState.h"
#include "app/MessageFrame.h"
#include "app/MessagePort.h"
#include "app/PulseTimer.h"
#include "app/RemoteLinks.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

using BPrivate::AppServices;
using BPrivate::AppSocket;
using BPrivate::LooperRegistry;
using BPrivate::LooperState;
using BPrivate::MessageFrame;
using BPrivate::PulseTimer;
using BPrivate::RemoteLinks;

BApplication* be_app = NULL;
BMessenger be_app_messenger;

namespace
{

constexpr bigtime_t kHandOverTimeout = 5000000;
// How long a window that quit itself may take to be deleted.
constexpr bigtime_t kWindowEndTimeout = 5000000;

// Standard input, output and error are open, if only on /dev/null, so that
// no socket of ours gets their numbers and receives what is printed.
void KeepStandardStreamsOpen()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

std::vector<std::string> CommandLine()
{
    std::vector<std::string> arguments;
    FILE* file = fopen("/proc/self/cmdline", "re");
    if (file == NULL)
        return arguments;
    std::string current;
    int c;
    while ((c = fgetc(file)) != EOF) {
        if (c == '\0') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += (char)c;
        }
    }
    fclose(file);
    return arguments;
}

std::string ExecutablePath()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    return path;
}

bool IsValidSignature(const char* signature)
{
    return signature != NULL && strncasecmp(signature, "application/", 12) == 0 &&
           strlen(signature) > 12 && strlen(signature) < B_MIME_TYPE_LENGTH;
}

// The executable's attribute first, then its resources; none means multiple launch.
uint32 ReadLaunchFlags(const std::string& executable)
{
    uint32 flags = 0;
    BNode node(executable.c_str());
    if (node.InitCheck() == B_OK &&
        node.ReadAttr("BEOS:APP_FLAGS", 'APPF', 0, &flags, sizeof(flags)) == sizeof(flags))
        return flags;
    BFile file(executable.c_str(), B_READ_ONLY);
    BResources resources(&file);
    size_t size = 0;
    const void* data = resources.LoadResource('APPF', 1, &size);
    if (data != NULL && size == sizeof(flags)) {
        memcpy(&flags, data, sizeof(flags));
        return flags;
    }
    return B_MULTIPLE_LAUNCH;
}

} // namespace

BApplication::BApplication(const char* signature)
    : BLooper(signature, B_NORMAL_PRIORITY, B_LOOPER_PORT_DEFAULT_CAPACITY,
              LooperRegistry::Default().ClaimApplicationPort())
{
    InitData(signature, NULL);
}

BApplication::BApplication(const char* signature, status_t* error)
    : BLooper(signature, B_NORMAL_PRIORITY, B_LOOPER_PORT_DEFAULT_CAPACITY,
              LooperRegistry::Default().ClaimApplicationPort())
{
    InitData(signature, error);
}

BApplication::~BApplication()
{
    fPulse.reset();
    fState->MarkQuitting();
    fState->Acquire(B_INFINITE_TIMEOUT, true);
    // Readers waiting for room in our queue give up; then they stop.
    fPort->Close();
    fServices.reset();
    QuitAllWindows(false);
    // A window that quit itself is deleted by its own thread, which may still
    // be at it; the process must not end under it. Such a window is still
    // registered until its base class is destroyed, after the derived
    // window's destructor, which may have its work to do (a frame to store).
    std::vector<std::shared_ptr<LooperState>> ending;
    {
        std::lock_guard<std::mutex> guard(fWindowsLock);
        ending.swap(fEndingWindowLoops);
    }
    for (BLooper* window : WindowsSnapshot()) {
        std::shared_ptr<LooperState> loop = LooperRegistry::Default().StateOf(window);
        if (loop != nullptr && loop->LoopThread() >= 0)
            ending.push_back(loop);
    }
    for (const auto& loop : ending) {
        if (!loop->WaitUntilFinished(kWindowEndTimeout))
            fprintf(stderr, "BApplication: a window's thread did not end\n");
    }
    if (be_app == this) {
        be_app = NULL;
        be_app_messenger = BMessenger();
    }
    LooperRegistry::Default().ReleaseApplicationPort(fPort->Id());
}

void BApplication::InitData(const char* signature, status_t* error)
{
    // The application's loop runs on the thread that builds it and calls Run().
    fState->SetLoopThread(find_thread(NULL));
    KeepStandardStreamsOpen();
    fSignature = signature != NULL ? signature : "";
    if (be_app != NULL) {
        fprintf(stderr, "BApplication: there is an application object already\n");
        fInitError = B_ERROR;
    } else {
        be_app = this;
        be_app_messenger = BMessenger(NULL, this);
        if (!IsValidSignature(signature)) {
            fprintf(stderr, "BApplication: bad signature \"%s\"\n", fSignature.c_str());
            fInitError = B_BAD_VALUE;
        }
    }

    std::vector<std::string> arguments = CommandLine();
    if (fInitError == B_OK)
        fInitError = Register(arguments);

    if (arguments.size() > 1) {
        BMessage argv(B_ARGV_RECEIVED);
        FillArgv(&argv, arguments);
        PostMessage(&argv);
    }
    PostMessage(B_READY_TO_RUN);
    if (error != NULL)
        *error = fInitError;
}

void BApplication::FillArgv(BMessage* message, const std::vector<std::string>& arguments)
{
    message->AddInt32("argc", (int32)arguments.size());
    for (const std::string& argument : arguments)
        message->AddString("argv", argument.c_str());
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof(cwd)) != NULL)
        message->AddString("cwd", cwd);
}

status_t BApplication::Register(const std::vector<std::string>& arguments)
{
    std::string executable = ExecutablePath();
    fExecutable = executable;
    fLaunchFlags = executable.empty() ? B_MULTIPLE_LAUNCH : ReadLaunchFlags(executable);
    struct stat info;
    bool haveExecutable = !executable.empty() && stat(executable.c_str(), &info) == 0;

    auto services = std::make_unique<AppServices>();
    status_t status = services->LockFolder();
    if (status != B_OK) {
        fprintf(stderr, "BApplication: no folder for application sockets: %s\n", strerror(status));
        return status;
    }
    const std::string& folder = services->Folder();
    if (services->IsFallbackFolder()) {
        fprintf(stderr, "BApplication: %s is not a private folder of this user; using %s instead\n",
                AppSocket::PreferredFolder().c_str(), folder.c_str());
    }
    AppSocket::RemoveStale(folder);

    uint32 launch = fLaunchFlags & B_LAUNCH_MASK;
    // A running copy may have taken another folder (the first choice was
    // unsafe then, or is unsafe now): look in each.
    for (const std::string& searched : AppSocket::SearchFolders()) {
        std::string runningPath;
        if (launch == B_SINGLE_LAUNCH && haveExecutable)
            runningPath = AppSocket::ExecutablePath(searched, info.st_dev, info.st_ino);
        else if (launch == B_EXCLUSIVE_LAUNCH)
            runningPath = AppSocket::SignaturePath(searched, fSignature.c_str());
        if (!runningPath.empty())
            HandOver(runningPath, arguments);
    }

    std::string signaturePath = AppSocket::SignaturePath(folder, fSignature.c_str());
    status = services->ListenOn(AppSocket::TeamPath(folder, (team_id)getpid()));
    if (status != B_OK) {
        fprintf(stderr, "BApplication: cannot listen for messages: %s\n", strerror(status));
        return status;
    }
    // A signature taken by a running application stays with it: messages sent
    // by signature keep going there.
    services->ListenOn(signaturePath);
    if (launch == B_SINGLE_LAUNCH && haveExecutable)
        services->ListenOn(AppSocket::ExecutablePath(folder, info.st_dev, info.st_ino));
    services->UnlockFolder();

    status = services->Start(
        [](const MessageFrame::Header& header, std::unique_ptr<BMessage>& message,
           const std::shared_ptr<BPrivate::EventSignal>& roomSignal) {
            message->fTarget = header.targetToken;
            message->fPreferredTarget = (header.flags & MessageFrame::kPreferredTarget) != 0;
            message->fReplyRequired = (header.flags & MessageFrame::kReplyRequired) != 0;
            message->fIsReply = (header.flags & MessageFrame::kIsReply) != 0;
            message->fReplyDone = false;
            message->fWasDelivered = false;
            message->fSourceRemote = true;
            message->fReplyTo.SetTo(header.replyPort, header.replyToken, header.replyTeam, false);
            return LooperRegistry::Default().Deliver(header.targetPort, std::move(message), 0,
                                                     roomSignal, header.size);
        },
        [this] { PostQuitRequest(); });
    if (status != B_OK)
        return status;
    fServices = std::move(services);
    return B_OK;
}

void BApplication::HandOver(const std::string& runningPath,
                            const std::vector<std::string>& arguments)
{
    team_id team;
    if (RemoteLinks::Default().ConnectTo(runningPath, &team) != B_OK || team == (team_id)getpid())
        return;
    BMessenger running;
    running.SetTo(LooperRegistry::kApplicationPort, LooperRegistry::kPreferredToken, team, true);
    BMessage message(arguments.size() > 1 ? B_ARGV_RECEIVED : B_SILENT_RELAUNCH);
    if (arguments.size() > 1)
        FillArgv(&message, arguments);
    status_t status = running.SendMessage(&message, BMessenger(), kHandOverTimeout);
    if (status == B_OK) {
        std::string name = arguments.empty() ? fSignature : arguments[0];
        fprintf(stderr, "%s: already running (process %ld), which was brought to the front\n",
                name.substr(name.rfind('/') + 1).c_str(), (long)team);
        fflush(NULL);
        exit(0);
    }
    fprintf(stderr, "BApplication: the running application (process %ld) did not take over: %s\n",
            (long)team, strerror(status));
}

void BApplication::PostQuitRequest()
{
    auto request = std::make_unique<BMessage>((uint32)B_QUIT_REQUESTED);
    request->fTarget = fToken;
    LooperRegistry::Default().Deliver(fPort->Id(), std::move(request), B_INFINITE_TIMEOUT);
}

status_t BApplication::InitCheck() const
{
    return fInitError;
}

thread_id BApplication::Run()
{
    std::shared_ptr<LooperState> state = fState;
    fRunCalled = true;
    state->SetLoopThread(find_thread(NULL));
    // The constructor's lock; from now on the loop takes it for each message.
    state->Release();
    if (!fTerminating) {
        Loop();
    } else {
        state->Acquire(B_INFINITE_TIMEOUT, true);
    }
    state->Release();
    return state->LoopThread();
}

void BApplication::Quit()
{
    if (!fRunCalled || find_thread(NULL) == fState->LoopThread()) {
        fTerminating = true;
        fState->MarkQuitting();
        return;
    }
    // From another thread: the loop ends once it reaches this.
    auto quit = std::make_unique<BMessage>((uint32)_QUIT_);
    quit->fTarget = fToken;
    fPort->Post(std::move(quit), B_INFINITE_TIMEOUT, true);
}

bool BApplication::QuitRequested()
{
    return QuitAllWindows(true);
}

bool BApplication::QuitAllWindows(bool askFirst)
{
    std::set<BLooper*> quit;
    for (;;) {
        BLooper* next = NULL;
        for (BLooper* window : WindowsSnapshot()) {
            if (quit.count(window) == 0 && window->Lock()) {
                next = window;
                break;
            }
        }
        if (next == NULL)
            return true;
        if (askFirst && !next->QuitRequested()) {
            next->Unlock();
            return false;
        }
        quit.insert(next);
        next->Quit();
    }
}

std::vector<BLooper*> BApplication::WindowsSnapshot() const
{
    std::lock_guard<std::mutex> guard(fWindowsLock);
    return fWindows;
}

void BApplication::_RegisterWindow(BLooper* window)
{
    std::lock_guard<std::mutex> guard(fWindowsLock);
    for (BLooper* known : fWindows) {
        if (known == window)
            return;
    }
    fWindows.push_back(window);
}

void BApplication::_UnregisterWindow(BLooper* window)
{
    std::shared_ptr<LooperState> loop = LooperRegistry::Default().StateOf(window);
    std::lock_guard<std::mutex> guard(fWindowsLock);
    if (loop != nullptr && loop->LoopThread() == find_thread(NULL)) {
        auto finished = [](const std::shared_ptr<LooperState>& other) {
            return other->IsFinished();
        };
        fEndingWindowLoops.erase(
            std::remove_if(fEndingWindowLoops.begin(), fEndingWindowLoops.end(), finished),
            fEndingWindowLoops.end());
        fEndingWindowLoops.push_back(loop);
    }
    for (auto it = fWindows.begin(); it != fWindows.end(); ++it) {
        if (*it == window) {
            fWindows.erase(it);
            return;
        }
    }
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message == NULL)
        return;
    if (handler != this) {
        BLooper::DispatchMessage(message, handler);
        return;
    }
    switch (message->what) {
    case B_ARGV_RECEIVED: {
        std::vector<char*> argv;
        const char* argument;
        for (int32 i = 0; message->FindString("argv", i, &argument) == B_OK; i++)
            argv.push_back(const_cast<char*>(argument));
        int32 argc = (int32)argv.size();
        int32 claimed;
        if (message->FindInt32("argc", &claimed) == B_OK && claimed >= 0 && claimed < argc)
            argc = claimed;
        argv.push_back(NULL);
        if (argc > 0)
            ArgvReceived(argc, argv.data());
        // Another start handed its arguments over.
        if (message->IsSourceRemote())
            ActivateWindows();
        break;
    }
    case B_REFS_RECEIVED:
        RefsReceived(message);
        break;
    case B_READY_TO_RUN:
        if (!fReadyToRunCalled) {
            fReadyToRunCalled = true;
            ReadyToRun();
        }
        break;
    case B_ABOUT_REQUESTED:
        AboutRequested();
        break;
    case B_PULSE:
        fPulsePending = false;
        Pulse();
        break;
    default:
        BLooper::DispatchMessage(message, handler);
        break;
    }
}

void BApplication::MessageReceived(BMessage* message)
{
    if (message != NULL && message->what == B_SILENT_RELAUNCH) {
        ActivateWindows();
        return;
    }
    BLooper::MessageReceived(message);
}

// Activating the application raises its windows.
void BApplication::ActivateWindows()
{
    for (BLooper* window : WindowsSnapshot()) {
        BMessage activate(B_WINDOW_ACTIVATED);
        activate.AddBool("active", true);
        window->PostMessage(&activate);
    }
}

void BApplication::ReadyToRun() {}

void BApplication::ArgvReceived(int32 argc, char** argv) {}

void BApplication::RefsReceived(BMessage* message) {}

void BApplication::AboutRequested() {}

void BApplication::Pulse() {}

void BApplication::SetPulseRate(bigtime_t rate)
{
    if (rate <= 0) {
        fPulse.reset();
        return;
    }
    if (fPulse == nullptr) {
        fPulse = std::make_unique<PulseTimer>([this] {
            // One pulse at a time in the queue, however slow the loop is.
            bool expected = false;
            if (!fPulsePending.compare_exchange_strong(expected, true))
                return;
            auto pulse = std::make_unique<BMessage>((uint32)B_PULSE);
            pulse->fTarget = fToken;
            if (LooperRegistry::Default().Deliver(fPort->Id(), std::move(pulse), 0) != B_OK)
                fPulsePending = false;
        });
    }
    fPulse->SetInterval(rate);
}

bool BApplication::IsLaunching() const
{
    return !fReadyToRunCalled;
}

status_t BApplication::GetAppInfo(app_info* info) const
{
    if (info == NULL)
        return B_BAD_VALUE;
    info->thread = fState->LoopThread();
    info->team = (team_id)getpid();
    info->port = fPort->Id();
    info->flags = fLaunchFlags;
    strncpy(info->signature, fSignature.c_str(), sizeof(info->signature) - 1);
    info->signature[sizeof(info->signature) - 1] = '\0';
    std::string executable = fExecutable.empty() ? ExecutablePath() : fExecutable;
    return get_ref_for_path(executable.c_str(), &info->ref);
}
