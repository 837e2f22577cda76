#ifndef VEK_TESTS_E2E_PROGRAM_HARNESS_H
#define VEK_TESTS_E2E_PROGRAM_HARNESS_H

// Runs the real program in an application folder of its own, with private
// HOME, settings and runtime folders, and talks to it with send-message.

#include <File.h>
#include <TypeConstants.h>
#include <Rect.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/ScratchDir.h"
#include "support/TestPictures.h"

namespace fs = std::filesystem;

class ProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fAppDir = fRoot / "app";
        fConfig = fRoot / "config";
        std::string runtime = fRoot / "run";
        fs::create_directories(fAppDir);
        fs::create_directories(fRoot / "home");
        mkdir(runtime.c_str(), 0700);
        // Children inherit these: the program and send-message meet in the same
        // runtime folder.
        setenv("HOME", (fRoot / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", fConfig.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("BE_DISPLAY", "headless", 1);
        UseProgram("VEK_BeOS");
    }

    // Copies a deliverable into the application folder, as a user installs it.
    void UseProgram(const std::string& name)
    {
        fProgram = fAppDir + "/" + name;
        fs::copy_file(std::string(VEK_BUILD_DIR) + "/" + name, fProgram,
                      fs::copy_options::overwrite_existing);
    }

    std::string Avatar(const std::string& name) const { return fAppDir + "/avatars/" + name; }
    std::string SettingsFile() const { return fConfig + "/_LP_x-vnd.NW/PXL_settings"; }

    void AvatarList(const std::string& text)
    {
        std::ofstream(fAppDir + "/rfid_avatar_list", std::ios::binary) << text;
    }

    void Picture(const std::string& name, int width, int height, TestPictures::Color color)
    {
        fs::create_directories(fAppDir + "/avatars");
        ASSERT_TRUE(TestPictures::WritePng(Avatar(name), width, height, color));
    }

    // Starts the program and waits for the end of its start-up.
    void Start(Process& process)
    {
        ASSERT_TRUE(process.Start(fProgram));
        ASSERT_TRUE(process.WaitForStdout("-- StartUp --\n", 20000))
            << process.Stdout() << process.Stderr();
    }

    static int Send(const std::vector<std::string>& arguments, std::string* err = nullptr)
    {
        // Options come before the signature.
        std::vector<std::string> all;
        size_t first = 0;
        while (first + 1 < arguments.size() && arguments[first].rfind("--", 0) == 0) {
            all.push_back(arguments[first]);
            all.push_back(arguments[first + 1]);
            first += 2;
        }
        all.push_back("application/VEK_BeOS");
        all.insert(all.end(), arguments.begin() + first, arguments.end());
        return Process::Run(std::string(VEK_BUILD_DIR) + "/send-message", all, 120000, nullptr,
                            err);
    }

    // Asks the program to quit and waits for its end.
    static void Quit(Process& process)
    {
        EXPECT_EQ(0, Send({"_QRQ"}));
        ASSERT_TRUE(process.Wait(20000)) << process.Stdout();
        EXPECT_TRUE(process.Exited());
        EXPECT_EQ(0, process.ExitCode());
    }

    BRect StoredFrame() const
    {
        BFile file(SettingsFile().c_str(), B_READ_ONLY);
        BRect frame(-1, -1, -1, -1);
        file.ReadAttr("prefs_window_rect", B_RECT_TYPE, 0, &frame, sizeof(frame));
        return frame;
    }

    static size_t CountOf(const std::string& text, const std::string& piece)
    {
        size_t count = 0;
        for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
            count++;
        return count;
    }

    ScratchDir fRoot;
    std::string fAppDir;
    std::string fConfig;
    std::string fProgram;
};

#endif
