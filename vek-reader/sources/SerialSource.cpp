#include "sources/SerialSource.h"

#include "tags/Em4100.h"
#include "sources/KeepReading.h"

#include <Errors.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// Silence after which a frame begun counts as broken: far longer than the
// pause between two bytes of a frame, even at 1200 baud behind a USB-serial
// adapter's latency timer.
constexpr std::chrono::milliseconds kSilence{300};

struct Speed {
    int baud;
    speed_t code;
};

const Speed kSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedCode(int baud, speed_t* code)
{
    for (const Speed& speed : kSpeeds) {
        if (speed.baud == baud) {
            *code = speed.code;
            return true;
        }
    }
    return false;
}

// What is wrong with the settings, or empty.
std::string CheckSettings(const SerialSettings& settings)
{
    speed_t code;
    if (settings.path.empty())
        return "no serial port given";
    if (!SpeedCode(settings.baud, &code))
        return "unsupported baud rate " + std::to_string(settings.baud) +
               " (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800 or 921600)";
    if (settings.dataBits < 5 || settings.dataBits > 8)
        return "data bits must be 5 to 8, not " + std::to_string(settings.dataBits);
    if (settings.parity != 'N' && settings.parity != 'E' && settings.parity != 'O')
        return std::string("parity must be N, E or O, not ") + settings.parity;
    if (settings.stopBits != 1 && settings.stopBits != 2)
        return "stop bits must be 1 or 2, not " + std::to_string(settings.stopBits);
    return "";
}

class Port
{
public:
    ~Port()
    {
        if (fFd >= 0)
            close(fFd);
    }

    // Opens the port and sets the line up raw at the settings; says why not.
    bool Open(const SerialSettings& settings, std::string* why)
    {
        // Not blocking, also at open: a port that waits for carrier would
        // hold Run up.
        fFd = open(settings.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fFd < 0) {
            *why = "cannot open " + settings.path + ": " + strerror(errno);
            if (errno == EACCES)
                *why += " (is the user in the port's group, e.g. dialout?)";
            return false;
        }
        if (!isatty(fFd)) {
            *why = settings.path + " is not a serial port";
            return false;
        }
        termios line;
        if (tcgetattr(fFd, &line) != 0) {
            *why = "cannot read the settings of " + settings.path + ": " + strerror(errno);
            return false;
        }
        cfmakeraw(&line);
        speed_t speed = B9600;
        SpeedCode(settings.baud, &speed);
        cfsetispeed(&line, speed);
        cfsetospeed(&line, speed);
        const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        line.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        line.c_cflag |= sizes[settings.dataBits - 5] | CREAD | CLOCAL;
        if (settings.parity != 'N')
            line.c_cflag |= PARENB;
        if (settings.parity == 'O')
            line.c_cflag |= PARODD;
        if (settings.stopBits == 2)
            line.c_cflag |= CSTOPB;
        line.c_iflag &= ~(IXON | IXOFF | IXANY);
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
        if (tcsetattr(fFd, TCSANOW, &line) != 0) {
            *why = "cannot set up " + settings.path + ": " + strerror(errno);
            return false;
        }
        return true;
    }

    // Reads frames until stop is raised (returns empty) or the port is gone
    // (returns why).
    std::string Read(Em4100Decoder& decoder, const StopSignal& stop)
    {
        for (;;) {
            int events = WaitForInput(fFd, kSilence, decoder, stop);
            if (events == 0)
                return "";
            if (events < 0)
                return std::string("cannot wait for the port: ") + strerror(errno);
            // Bytes that came before a hangup are read first.
            if (events & POLLIN) {
                uint8_t bytes[512];
                ssize_t count = read(fFd, bytes, sizeof(bytes));
                if (count > 0) {
                    decoder.Feed(bytes, size_t(count));
                    continue;
                }
                if (count == 0)
                    return "the port was hung up";
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                return std::string("cannot read: ") + strerror(errno);
            }
            if (events & POLLHUP)
                return "the port was hung up";
            return "the port failed";
        }
    }

private:
    int fFd = -1;
};

} // namespace

SerialSource::SerialSource(const SerialSettings& settings) : fSettings(settings) {}

SerialSource::~SerialSource() = default;

const std::string& SerialSource::Name() const
{
    return fSettings.name;
}

status_t SerialSource::Check(std::string* error)
{
    std::string why = CheckSettings(fSettings);
    if (why.empty()) {
        Port port;
        if (port.Open(fSettings, &why))
            return B_OK;
    }
    if (error != nullptr)
        *error = fSettings.name + ": " + why;
    return B_ERROR;
}

void SerialSource::Run(TagSink& sink, const StopSignal& stop)
{
    std::string why = CheckSettings(fSettings);
    if (!why.empty()) {
        sink.Lost(fSettings.name, why);
        return;
    }
    Em4100Decoder decoder(fSettings.name, sink);
    KeepReading<Port>(
        fSettings.name, sink, stop, decoder,
        [this](Port& port, std::string* why) { return port.Open(fSettings, why); },
        [&](Port& port) { return port.Read(decoder, stop); });
}
