#include "sources/WedgeSource.h"

#include "sources/KeepReading.h"
#include "tags/WedgeDecoder.h"

#include <Errors.h>

#include <libevdev/libevdev.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace
{

// Silence after which a line begun counts as ended without Enter: a reader
// types a whole line within a small part of this.
constexpr std::chrono::milliseconds kSilence{1000};

const char kKeyboardSuffix[] = "-event-kbd";

// vendor:product in hex, as lsusb shows them ("ffff:0035").
bool ParseIds(const std::string& text, int* vendor, int* product)
{
    unsigned int v, p;
    int used = 0;
    if (text.size() != 9 || sscanf(text.c_str(), "%4x:%4x%n", &v, &p, &used) != 2 || used != 9)
        return false;
    *vendor = int(v);
    *product = int(p);
    return true;
}

bool EndsWith(const std::string& text, const char* end)
{
    size_t length = strlen(end);
    return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

// An open evdev device, grabbed when asked.
class Device
{
public:
    ~Device()
    {
        if (fDevice != nullptr)
            libevdev_free(fDevice);
        if (fFd >= 0)
            close(fFd);
    }

    bool Open(const std::string& path, std::string* why)
    {
        fFd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fFd < 0) {
            *why = "cannot open " + path + ": " + strerror(errno);
            if (errno == EACCES)
                *why += " (see the udev rule in README)";
            return false;
        }
        int result = libevdev_new_from_fd(fFd, &fDevice);
        if (result < 0) {
            fDevice = nullptr;
            *why = path + " is not an input device: " + strerror(-result);
            return false;
        }
        return true;
    }

    bool IsKeyboard() const
    {
        return libevdev_has_event_code(fDevice, EV_KEY, KEY_ENTER) ||
               libevdev_has_event_code(fDevice, EV_KEY, KEY_KPENTER);
    }

    bool Grab(const std::string& path, std::string* why)
    {
        int result = libevdev_grab(fDevice, LIBEVDEV_GRAB);
        if (result == 0)
            return true;
        *why = "cannot grab " + path + ": " + strerror(-result);
        if (result == -EBUSY)
            *why += " (another program has grabbed it)";
        return false;
    }

    std::string Name() const
    {
        const char* name = libevdev_get_name(fDevice);
        return name != nullptr ? name : "";
    }
    int Vendor() const { return libevdev_get_id_vendor(fDevice); }
    int Product() const { return libevdev_get_id_product(fDevice); }
    int Fd() const { return fFd; }

private:
    int fFd = -1;
    libevdev* fDevice = nullptr;
};

// Finds the device that the settings name: the path itself, or the first of
// the keyboards in the by-id folder that matches.
bool Resolve(const WedgeSettings& settings, std::string* path, std::string* why)
{
    if (settings.device.empty()) {
        *why = "no input device given";
        return false;
    }
    if (settings.device[0] == '/') {
        *path = settings.device;
        return true;
    }
    std::vector<std::string> entries;
    if (DIR* folder = opendir(settings.byIdFolder.c_str())) {
        while (dirent* entry = readdir(folder)) {
            if (EndsWith(entry->d_name, kKeyboardSuffix))
                entries.push_back(settings.byIdFolder + "/" + entry->d_name);
        }
        closedir(folder);
    }
    std::sort(entries.begin(), entries.end());

    int vendor = 0, product = 0;
    bool byIds = ParseIds(settings.device, &vendor, &product);
    for (const std::string& entry : entries) {
        // The link's name holds the device's name too (blanks as '_'): a
        // device that we may not open is still found, and Open says why.
        bool match = !byIds && strcasestr(entry.c_str() + settings.byIdFolder.size(),
                                          settings.device.c_str()) != nullptr;
        Device device;
        std::string ignored;
        if (!match && device.Open(entry, &ignored)) {
            match = byIds ? device.Vendor() == vendor && device.Product() == product
                          : strcasestr(device.Name().c_str(), settings.device.c_str()) != nullptr;
        }
        if (match) {
            *path = entry;
            return true;
        }
    }
    *why = "no keyboard in " + settings.byIdFolder + "/*" + kKeyboardSuffix + " matches \"" +
           settings.device + "\"";
    return false;
}

bool Open(const WedgeSettings& settings, Device* device, std::string* why)
{
    std::string path;
    if (!Resolve(settings, &path, why) || !device->Open(path, why))
        return false;
    if (!device->IsKeyboard()) {
        *why = path + " has no Enter key: not a keyboard-wedge reader";
        return false;
    }
    return !settings.grab || device->Grab(path, why);
}

// Reads keys until stop is raised (returns empty) or the device is gone
// (returns why).
std::string ReadKeys(const Device& device, WedgeDecoder& decoder, const StopSignal& stop)
{
    for (;;) {
        int events = WaitForInput(device.Fd(), kSilence, decoder, stop);
        if (events == 0)
            return "";
        if (events < 0)
            return std::string("cannot wait for the device: ") + strerror(errno);
        if (events & POLLIN) {
            ssize_t count = decoder.ReadFrom(device.Fd());
            if (count > 0 || (count < 0 && (errno == EAGAIN || errno == EINTR)))
                continue;
            if (count < 0 && errno != ENODEV)
                return std::string("cannot read: ") + strerror(errno);
        }
        return "the device was removed";
    }
}

} // namespace

WedgeSource::WedgeSource(const WedgeSettings& settings) : fSettings(settings) {}

WedgeSource::~WedgeSource() = default;

const std::string& WedgeSource::Name() const
{
    return fSettings.name;
}

status_t WedgeSource::Check(std::string* error)
{
    Device device;
    std::string why;
    if (Open(fSettings, &device, &why))
        return B_OK;
    if (error != nullptr)
        *error = fSettings.name + ": " + why;
    return B_ERROR;
}

void WedgeSource::Run(TagSink& sink, const StopSignal& stop)
{
    WedgeDecoder decoder(fSettings.name, sink);
    KeepReading<Device>(
        fSettings.name, sink, stop, decoder,
        [this](Device& device, std::string* why) { return Open(fSettings, &device, why); },
        [&](Device& device) { return ReadKeys(device, decoder, stop); });
}
