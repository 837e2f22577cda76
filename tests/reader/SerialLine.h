#ifndef VEK_TESTS_READER_SERIAL_LINE_H
#define VEK_TESTS_READER_SERIAL_LINE_H

// A pseudo-terminal standing in for an EM4100 reader's serial port, behind a
// link of the kind udev makes (/dev/serial/by-id/...), so that the port can
// go away and come back at the same path; and the frames such a reader sends.

#include <fcntl.h>
#include <pty.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// A frame as an EM4100 module sends it, with the right checksum unless one
// is given.
inline std::string Em4100Frame(const std::string& tag, int checksum = -1, const char* end = "")
{
    if (checksum < 0) {
        checksum = 0;
        for (size_t i = 0; i + 1 < tag.size(); i += 2)
            checksum ^= std::stoi(tag.substr(i, 2), nullptr, 16);
    }
    char sum[3];
    snprintf(sum, sizeof(sum), "%02X", checksum & 0xFF);
    return "\x02" + tag + sum + end + "\x03";
}

// The reader's end of the line. The slave side is kept open too, so that
// the line does not hang up while the service has it closed (between its
// check at start-up and its reading).
class FarEnd
{
public:
    explicit FarEnd(std::string link) : fLink(std::move(link)) {}
    ~FarEnd() { Unplug(); }

    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    const std::string& Path() const { return fLink; }

    bool Plug()
    {
        termios raw{};
        cfmakeraw(&raw);
        cfsetspeed(&raw, B9600);
        char name[256];
        if (openpty(&fMaster, &fSlave, name, &raw, nullptr) != 0)
            return false;
        // A service started by the test must not hold the line open: the
        // line would never hang up when the test pulls it out.
        fcntl(fMaster, F_SETFD, FD_CLOEXEC);
        fcntl(fSlave, F_SETFD, FD_CLOEXEC);
        unlink(fLink.c_str());
        return symlink(name, fLink.c_str()) == 0;
    }

    // As a USB-serial box that is pulled out: the line hangs up, the path goes.
    void Unplug()
    {
        unlink(fLink.c_str());
        for (int* fd : {&fMaster, &fSlave}) {
            if (*fd >= 0)
                close(*fd);
            *fd = -1;
        }
    }

    bool Send(const std::string& bytes)
    {
        return write(fMaster, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

    termios Line() const
    {
        termios line{};
        tcgetattr(fMaster, &line);
        return line;
    }

private:
    std::string fLink;
    int fMaster = -1;
    int fSlave = -1;
};

#endif
