#include <Application.h>
#include <Window.h>

// The application kit keeps the windows as loopers; only the interface kit
// knows that they are windows.
int32 BApplication::CountWindows() const
{
    std::lock_guard<std::mutex> guard(fWindowsLock);
    return (int32)fWindows.size();
}

BWindow* BApplication::WindowAt(int32 index) const
{
    std::lock_guard<std::mutex> guard(fWindowsLock);
    if (index < 0 || index >= (int32)fWindows.size())
        return NULL;
    return static_cast<BWindow*>(fWindows[index]);
}
