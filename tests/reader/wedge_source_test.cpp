// The keyboard-wedge reader: its decoding of input_event records, fed
// through a pipe as the kernel's evdev device feeds them, and the real
// device (grab, removal) through uinput where the machine has it.

#include "tags/WedgeDecoder.h"
#include "sources/WedgeSource.h"
#include "reader/SourceRun.h"
#include "support/ScratchDir.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <map>

namespace
{

input_event Event(unsigned short type, unsigned short code, int value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

// What a keyboard sends for text: the scan code, the key down, the key up,
// each with its report. Upper-case letters and ':' come with shift, '\n' is
// Enter.
class Typing
{
public:
    Typing& Key(unsigned short code, int value = 1)
    {
        fEvents.push_back(Event(EV_MSC, MSC_SCAN, 0x70000 + code));
        fEvents.push_back(Event(EV_KEY, code, value));
        fEvents.push_back(Event(EV_SYN, SYN_REPORT, 0));
        return *this;
    }
    Typing& Tap(unsigned short code) { return Key(code, 1).Key(code, 0); }
    Typing& Type(const std::string& text)
    {
        for (char c : text) {
            bool shift = isupper(static_cast<unsigned char>(c)) || c == ':';
            if (shift)
                Key(KEY_LEFTSHIFT, 1);
            Tap(Code(c));
            if (shift)
                Key(KEY_LEFTSHIFT, 0);
        }
        return *this;
    }
    Typing& Raw(const input_event& event)
    {
        fEvents.push_back(event);
        return *this;
    }
    const std::vector<input_event>& Events() const { return fEvents; }

    static unsigned short Code(char c)
    {
        static const std::map<char, unsigned short> codes = {
            {'0', KEY_0},      {'1', KEY_1},     {'2', KEY_2}, {'3', KEY_3}, {'4', KEY_4},
            {'5', KEY_5},      {'6', KEY_6},     {'7', KEY_7}, {'8', KEY_8}, {'9', KEY_9},
            {'a', KEY_A},      {'b', KEY_B},     {'c', KEY_C}, {'d', KEY_D}, {'e', KEY_E},
            {'f', KEY_F},      {'g', KEY_G},     {'i', KEY_I}, {'x', KEY_X}, {':', KEY_SEMICOLON},
            {'\n', KEY_ENTER}, {' ', KEY_SPACE},
        };
        return codes.at(char(tolower(static_cast<unsigned char>(c))));
    }

private:
    std::vector<input_event> fEvents;
};

// Writes the records into a pipe, piece bytes at a time, from a thread of
// its own, and decodes them from the other end until it is closed.
void Decode(const Typing& typing, SourceLog& sink, size_t piece = sizeof(input_event))
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::thread writer([&] {
        const char* bytes = reinterpret_cast<const char*>(typing.Events().data());
        size_t size = typing.Events().size() * sizeof(input_event);
        for (size_t at = 0; at < size;) {
            ssize_t written = write(ends[1], bytes + at, std::min(piece, size - at));
            if (written <= 0)
                break;
            at += size_t(written);
        }
        close(ends[1]);
    });
    WedgeDecoder decoder("desk", sink);
    while (decoder.ReadFrom(ends[0]) > 0) {
    }
    writer.join();
    close(ends[0]);
}

std::vector<std::string> Tags(const SourceLog& sink)
{
    std::vector<std::string> tags;
    for (const TagRead& read : sink.Reads())
        tags.push_back(read.tag);
    return tags;
}

TEST(WedgeDecoderTest, LinesOfHexDigitsUpToEnterAreReadAsTyped)
{
    Typing typing;
    typing.Type("0012345678\n").Type("04a1B2c3D4E5F6\n").Type("789\n");
    // The keypad's digits and Enter, and a letter under the right shift.
    for (unsigned short code : {KEY_KP0, KEY_KP4, KEY_KP2, KEY_KP9})
        typing.Tap(code);
    typing.Key(KEY_RIGHTSHIFT, 1).Tap(KEY_A).Key(KEY_RIGHTSHIFT, 0).Tap(KEY_KPENTER);

    // Records whole, and in pieces that cut them anywhere.
    for (size_t piece : {sizeof(input_event), size_t(7), size_t(4096)}) {
        SourceLog sink;
        Decode(typing, sink, piece);
        EXPECT_EQ(Tags(sink),
                  (std::vector<std::string>{"0012345678", "04a1B2c3D4E5F6", "789", "0429A"}))
            << "pieces of " << piece;
        EXPECT_TRUE(sink.Skips().empty());
        for (const TagRead& read : sink.Reads()) {
            EXPECT_EQ(read.reader, "desk");
            EXPECT_TRUE(read.typed);
            EXPECT_FALSE(read.repeats);
        }
    }
}

TEST(WedgeDecoderTest, KeyRepeatAndReleaseAreNoKeys)
{
    Typing typing;
    // A digit held long enough to repeat is one digit; a key released that
    // was never pressed here is nothing; shift repeating stays held.
    typing.Key(KEY_1, 1).Key(KEY_1, 2).Key(KEY_1, 2).Key(KEY_1, 0);
    typing.Key(KEY_2, 0);
    typing.Key(KEY_LEFTSHIFT, 1).Key(KEY_LEFTSHIFT, 2).Tap(KEY_B).Key(KEY_LEFTSHIFT, 0);
    typing.Tap(KEY_C).Key(KEY_ENTER, 1).Key(KEY_ENTER, 2).Key(KEY_ENTER, 0);
    // Keys that do not type, and events of other kinds, are no part of a line.
    typing.Tap(KEY_NUMLOCK).Raw(Event(EV_LED, LED_NUML, 1)).Type("5\n");
    SourceLog sink;
    Decode(typing, sink);
    EXPECT_EQ(Tags(sink), (std::vector<std::string>{"1Bc", "5"}));
    EXPECT_TRUE(sink.Skips().empty()) << sink.Skips()[0];
}

TEST(WedgeDecoderTest, LinesThatAreNoTagAreSaidAndSkipped)
{
    Typing typing;
    typing.Type("ID:12345678\n").Type("1\n");
    typing.Type("12 34\n").Type("2\n");
    typing.Type("\n").Type("3\n");
    typing.Type(std::string(10000, '9') + "\n").Type("4\n");
    // The kernel's buffer overflowed: what came until the next report is
    // unknown, so the line cannot be trusted.
    typing.Type("123").Raw(Event(EV_SYN, SYN_DROPPED, 0)).Tap(KEY_4).Type("56\n").Type("5\n");
    SourceLog sink;
    Decode(typing, sink);
    EXPECT_EQ(Tags(sink), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    std::vector<std::string> skips = sink.Skips();
    ASSERT_EQ(skips.size(), 5u) << testing::PrintToString(skips);
    EXPECT_EQ(skips[0], "line \"?D?12345678\": KEY_I is no hex digit");
    EXPECT_EQ(skips[1], "line \"12?34\": KEY_SPACE is no hex digit");
    EXPECT_EQ(skips[2], "line \"\": Enter without a number");
    EXPECT_EQ(skips[3], "line \"" + std::string(WedgeDecoder::kLongestLine, '9') +
                            "...\": a line of 10000 keys, longer than 64");
    EXPECT_EQ(skips[4],
              "line \"12356\": keys were lost (the reader typed faster than they were read)");
}

TEST(WedgeDecoderTest, LineWithoutEnterIsDroppedWhenTheReaderFallsSilentOrGoes)
{
    SourceLog sink;
    WedgeDecoder decoder("desk", sink);
    auto type = [&](const std::string& text) {
        Typing typing;
        for (const input_event& event : typing.Type(text).Events())
            decoder.Take(event);
    };
    type("0012");
    decoder.Idle();
    decoder.Idle();
    type("34");
    decoder.Cut();
    type("56\n");
    EXPECT_EQ(Tags(sink), std::vector<std::string>{"56"});
    EXPECT_EQ(sink.Skips(),
              (std::vector<std::string>{"line \"0012\": no Enter after the keys",
                                        "line \"34\": cut off when the device went away"}));
}

TEST(WedgeSourceTest, DeviceThatCannotBeUsedIsRefusedInOneLine)
{
    ScratchDir folder;
    folder.WriteFile("plain", "not a device");
    struct Bad {
        std::string device;
        std::string says;
    };
    const Bad bad[] = {
        {"", "desk: no input device given"},
        {"/nonexistent/event7", "desk: cannot open /nonexistent/event7: No such file or directory"},
        {folder / "plain", "desk: " + (folder / "plain") + " is not an input device"},
        {"ffff:0035",
         "desk: no keyboard in " + folder.Path() + "/*-event-kbd matches \"ffff:0035\""},
        {"Sycreader",
         "desk: no keyboard in " + folder.Path() + "/*-event-kbd matches \"Sycreader\""},
    };
    for (const Bad& each : bad) {
        WedgeSettings settings;
        settings.name = "desk";
        settings.device = each.device;
        settings.byIdFolder = folder.Path();
        WedgeSource source(settings);
        std::string error;
        EXPECT_EQ(source.Check(&error), B_ERROR) << each.says;
        EXPECT_EQ(error.substr(0, each.says.size()), each.says);
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// A keyboard-wedge reader made with uinput, behind a by-id link as udev
// makes them for USB readers.
class VirtualWedge
{
public:
    explicit VirtualWedge(std::string link) : fLink(std::move(link)) {}
    ~VirtualWedge() { Unplug(); }

    // Why uinput cannot be used here, or empty.
    static std::string Unavailable()
    {
        int fd = open("/dev/uinput", O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return std::string("/dev/uinput cannot be opened (") + strerror(errno) +
                   "): the grab and the removal of a real input device are not exercised; "
                   "`modprobe uinput` and access to /dev/uinput make them run";
        close(fd);
        return "";
    }

    bool Plug()
    {
        libevdev* device = libevdev_new();
        libevdev_set_name(device, "Sycreader RFID Technology USB Reader");
        libevdev_set_id_bustype(device, BUS_USB);
        libevdev_set_id_vendor(device, 0xffff);
        libevdev_set_id_product(device, 0x0035);
        libevdev_enable_event_type(device, EV_KEY);
        for (unsigned short code : {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8,
                                    KEY_9, KEY_A, KEY_B, KEY_LEFTSHIFT, KEY_ENTER})
            libevdev_enable_event_code(device, EV_KEY, code, nullptr);
        int result =
            libevdev_uinput_create_from_device(device, LIBEVDEV_UINPUT_OPEN_MANAGED, &fInput);
        libevdev_free(device);
        if (result != 0)
            return false;
        const char* node = libevdev_uinput_get_devnode(fInput);
        // Without udev the node may come late, or never.
        for (int i = 0; i < 100 && (node == nullptr || access(node, R_OK) != 0); i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            node = libevdev_uinput_get_devnode(fInput);
        }
        if (node == nullptr || access(node, R_OK) != 0)
            return false;
        fNode = node;
        unlink(fLink.c_str());
        return symlink(node, fLink.c_str()) == 0;
    }

    void Unplug()
    {
        unlink(fLink.c_str());
        if (fInput != nullptr)
            libevdev_uinput_destroy(fInput);
        fInput = nullptr;
    }

    void Type(const std::string& text)
    {
        Typing typing;
        typing.Type(text);
        for (const input_event& event : typing.Events())
            libevdev_uinput_write_event(fInput, event.type, event.code, event.value);
    }

    // Whether another program could grab the device now.
    bool CanGrab() const
    {
        int fd = open(fNode.c_str(), O_RDONLY | O_CLOEXEC);
        bool grabbed = fd >= 0 && ioctl(fd, EVIOCGRAB, 1) == 0;
        if (fd >= 0)
            close(fd);
        return grabbed;
    }

private:
    std::string fLink;
    std::string fNode;
    libevdev_uinput* fInput = nullptr;
};

class WedgeDeviceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string why = VirtualWedge::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        if (!fWedge.Plug())
            GTEST_SKIP() << "uinput made no device node that can be read here: the grab is not "
                            "exercised";
        fSettings.name = "desk";
        fSettings.byIdFolder = fFolder.Path();
    }

    // Keys typed before the source has the device open reach nobody: types
    // the line until it is read.
    bool TypeUntilRead(SourceLog& sink, const std::string& tag)
    {
        for (int i = 0; i < 100; i++) {
            fWedge.Type(tag + "\n");
            if (sink.WaitForTag(tag, 1, 100))
                return true;
        }
        return false;
    }

    ScratchDir fFolder;
    VirtualWedge fWedge{fFolder / "usb-Sycreader_RFID_Technology_USB_Reader-event-kbd"};
    WedgeSettings fSettings;
};

TEST_F(WedgeDeviceTest, GrabbedDeviceFoundByMatchIsReadAndReopenedWhenPluggedBack)
{
    for (const char* match : {"ffff:0035", "sycreader rfid"}) {
        fSettings.device = match;
        WedgeSource source(fSettings);
        std::string error;
        EXPECT_EQ(source.Check(&error), B_OK) << match << ": " << error;
    }
    WedgeSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    // It is read once it is grabbed: then nobody else can grab it.
    ASSERT_TRUE(TypeUntilRead(sink, "0012345678"));
    EXPECT_TRUE(sink.Reads()[0].typed);
    EXPECT_FALSE(fWedge.CanGrab());
    EXPECT_TRUE(sink.Losses().empty());

    fWedge.Type("99");
    fWedge.Unplug();
    ASSERT_TRUE(sink.WaitForLosses(1));
    EXPECT_EQ(sink.Losses()[0], "the device was removed");
    ASSERT_TRUE(fWedge.Plug());
    ASSERT_TRUE(sink.WaitForBacks(1));
    fWedge.Type("1B\n");
    ASSERT_TRUE(sink.WaitForTag("1B"));
    EXPECT_EQ(sink.Skips(),
              std::vector<std::string>{"line \"99\": cut off when the device went away"});
    EXPECT_LT(running.Stop(), std::chrono::milliseconds(1000));
    EXPECT_TRUE(fWedge.CanGrab());
}

TEST_F(WedgeDeviceTest, DeviceIsLeftToOthersWhenNotToBeGrabbed)
{
    fSettings.device = fFolder / "usb-Sycreader_RFID_Technology_USB_Reader-event-kbd";
    fSettings.grab = false;
    WedgeSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(TypeUntilRead(sink, "42"));
    EXPECT_TRUE(fWedge.CanGrab());
}

} // namespace
