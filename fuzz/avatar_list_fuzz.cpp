// Feeds arbitrary avatar lists to the real window: it reads them for start-up
// tracing and for lookups, which must never crash, hang or read out of bounds.

#include <Application.h>

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "VEKWindow.h"

namespace
{

std::string gList;
VEKWindow* gWindow = nullptr;

void SetUpOnce()
{
    std::string home = "/tmp/vek-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(home + "/run");
    chmod((home + "/run").c_str(), 0700);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    setenv("BE_DISPLAY", "headless", 1);

    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    self[length > 0 ? length : 0] = '\0';
    gList = std::filesystem::path(self).parent_path().string() + "/rfid_avatar_list";

    // The trace would drown the fuzzer's own output.
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);

    std::string signature = "application/x-vnd.vek-fuzz-" + std::to_string(getpid());
    new BApplication(signature.c_str());
    gWindow = new VEKWindow(BRect(30, 50, 340, 100));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (gWindow == nullptr)
        SetUpOnce();

    // The first byte picks the search text's length, taken from the end.
    size_t keyLength = size > 0 ? data[0] % 16 : 0;
    if (keyLength > size)
        keyLength = size;
    std::string key(reinterpret_cast<const char*>(data) + size - keyLength, keyLength);

    FILE* list = fopen(gList.c_str(), "wb");
    if (list == nullptr)
        return 0;
    fwrite(data, 1, size, list);
    fclose(list);

    gWindow->WorkWithAvaList(A_INIT, (char*)key.c_str());
    gWindow->WorkWithAvaList(A_LOOK, (char*)key.c_str());
    return 0;
}
