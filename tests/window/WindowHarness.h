#ifndef VEK_TESTS_WINDOW_WINDOW_HARNESS_H
#define VEK_TESTS_WINDOW_WINDOW_HARNESS_H

// Drives the real VEKWindow in this test program, on the headless display, with
// the trace read back from standard output. The test program's folder is the
// window's application folder (each window test program has its own).

#include <Application.h>
#include <Message.h>
#include <TextView.h>
#include <View.h>

#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "server/DisplayServer.h"
#include "support/CaptureStdout.h"
#include "support/ScratchDir.h"
#include "support/TestPictures.h"
#include "VEKWindow.h"

namespace fs = std::filesystem;

// One application object per test program, with private settings and runtime folders.
class WindowTestEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        fHome = new ScratchDir();
        setenv("HOME", fHome->Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (*fHome / "config").c_str(), 1);
        std::string runtime = *fHome / "run";
        mkdir(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("BE_DISPLAY", "headless", 1);
        std::string signature = "application/x-vnd.vek-window-test-" + std::to_string(getpid());
        fApplication = new BApplication(signature.c_str());
    }

    void TearDown() override
    {
        delete fApplication;
        delete fHome;
    }

    static std::string ConfigHome() { return getenv("XDG_CONFIG_HOME"); }

private:
    ScratchDir* fHome = nullptr;
    BApplication* fApplication = nullptr;
};

inline testing::Environment* const gWindowEnvironment =
    testing::AddGlobalTestEnvironment(new WindowTestEnvironment);

class WindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        char self[PATH_MAX];
        ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
        ASSERT_GT(length, 0);
        self[length] = '\0';
        fAppDir = fs::path(self).parent_path().string();
        fs::remove_all(AvatarDir());
        fs::remove(ListPath());
        fs::create_directory(AvatarDir());
    }

    void TearDown() override { Close(); }

    std::string AvatarDir() const { return fAppDir + "/avatars"; }
    std::string ListPath() const { return fAppDir + "/rfid_avatar_list"; }
    std::string Avatar(const std::string& name) const { return AvatarDir() + "/" + name; }

    static std::string ReadFile(const std::string& path)
    {
        std::string contents;
        if (FILE* file = fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t count;
            while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0)
                contents.append(buffer, count);
            fclose(file);
        }
        return contents;
    }

    static size_t CountOf(const std::string& text, const std::string& piece)
    {
        size_t count = 0;
        for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
            count++;
        return count;
    }

    void WriteList(const std::string& contents)
    {
        ASSERT_TRUE(TestPictures::WriteText(ListPath(), contents));
    }

    void Picture(const std::string& name, int width, int height,
                 TestPictures::Color color = {200, 40, 40, 255})
    {
        ASSERT_TRUE(TestPictures::WritePng(Avatar(name), width, height, color));
    }

    // Builds the window (hidden, as the application builds it) and returns its trace.
    std::string Open()
    {
        CaptureStdout capture;
        fWindow = new VEKWindow(BRect(30, 50, 340, 100));
        return capture.Stop();
    }

    // Shows the window: its thread runs from here on.
    void Show()
    {
        fWindow->Show();
        fShown = true;
    }

    void Close()
    {
        if (fWindow == nullptr)
            return;
        if (fWindow->Lock())
            fWindow->Quit();
        fWindow = nullptr;
        fShown = false;
    }

    template <typename Action> std::string Trace(Action action)
    {
        CaptureStdout capture;
        action();
        return capture.Stop();
    }

    std::string Send(BMessage* message)
    {
        return Trace([&] { fWindow->MessageReceived(message); });
    }

    static BMessage TagEvent(int32 time, const char* tag, const char* text = nullptr)
    {
        BMessage event('RFID');
        event.AddInt32("_time", time);
        if (tag != nullptr)
            event.AddString("_tagstr", tag);
        if (text != nullptr)
            event.AddString("_fMes", text);
        return event;
    }

    BView* MainView() const { return fWindow->FindView("bview"); }
    BTextView* Log() const { return dynamic_cast<BTextView*>(fWindow->FindView("text_view")); }
    std::string LogText() const
    {
        BTextView* log = Log();
        return std::string(log->Text(), log->TextLength());
    }

    // The logo views attached to the main view.
    int CountLogoViews() const
    {
        int count = 0;
        for (int32 i = 0; BView* child = MainView()->ChildAt(i); i++)
            if (strcmp(child->Name(), "logo") == 0)
                count++;
        return count;
    }

    std::string fAppDir;
    VEKWindow* fWindow = nullptr;
    bool fShown = false;
};

// A window on screen (the headless display), with the display's user input
// and pixels at hand.
class ShownWindowTest : public WindowTest
{
protected:
    void OpenShown()
    {
        Open();
        Show();
        fServer = BPrivate::DisplayServer::Existing();
        ASSERT_NE(nullptr, fServer);
        fToken = fServer->TokenOf(fWindow);
        ASSERT_GT(fToken, 0);
    }

    // Lets the window's thread handle what it was sent: a message posted after
    // them comes back when they are done.
    void Settle()
    {
        for (int i = 0; i < 3; i++) {
            ASSERT_TRUE(fWindow->Lock());
            fWindow->Unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    template <typename Action> std::string UserTrace(Action action)
    {
        CaptureStdout capture;
        action();
        Settle();
        return capture.Stop();
    }

    rgb_color Pixel(int32 x, int32 y)
    {
        rgb_color color = {};
        EXPECT_TRUE(fServer->ReadPixel(fToken, x, y, &color));
        return color;
    }

    std::shared_ptr<BPrivate::DisplayServer> fServer;
    int32 fToken = -1;
};

#endif
