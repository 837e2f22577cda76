#ifndef VEK_TESTS_PEOPLE_PEOPLE_HARNESS_H
#define VEK_TESTS_PEOPLE_PEOPLE_HARNESS_H

// The real vek-people on an application folder of the test's own.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/ScratchDir.h"
#include "support/TestPictures.h"

namespace fs = std::filesystem;

class PeopleTest : public testing::Test
{
protected:
    static std::string PeopleProgram() { return std::string(VEK_BUILD_DIR) + "/vek-people"; }

    void SetUp() override
    {
        fApp = fRoot / "app";
        fs::create_directories(fApp + "/avatars");
    }

    // vek-people on folder (the test's application folder when empty); its
    // exit code.
    int People(std::vector<std::string> arguments, std::string* out = nullptr,
               std::string* err = nullptr, const std::string& folder = "")
    {
        arguments.insert(arguments.begin(), {"--app", folder.empty() ? fApp : folder});
        std::string output, error;
        int code = Process::Run(PeopleProgram(), arguments, 60000, &output, &error);
        if (out != nullptr)
            *out = output;
        if (err != nullptr)
            *err = error;
        return code;
    }

    std::string ListPath() const { return fApp + "/rfid_avatar_list"; }
    std::string Avatar(const std::string& name) const { return fApp + "/avatars/" + name; }
    std::string List() const { return fRoot.ReadFile("app/rfid_avatar_list"); }
    void WriteList(const std::string& text) const { fRoot.WriteFile("app/rfid_avatar_list", text); }

    void Picture(const std::string& name, int width = 32, int height = 32)
    {
        ASSERT_TRUE(TestPictures::WritePng(Avatar(name), width, height, {40, 120, 200, 255}));
    }

    // Every file below the folder with its bytes, to see that nothing changed.
    static std::string Snapshot(const std::string& folder)
    {
        std::string all;
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            all += file.string() + "\n";
            if (fs::is_regular_file(file)) {
                std::ifstream in(file, std::ios::binary);
                all += std::string(std::istreambuf_iterator<char>(in), {}) + "\n";
            }
        }
        return all;
    }

    ScratchDir fRoot;
    std::string fApp;
};

#endif
