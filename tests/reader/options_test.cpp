// The service's settings from the command line and the configuration file,
// and how the real program ends on bad ones.

#include "Options.h"
#include "support/Process.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <initializer_list>

namespace
{

class OptionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", fConfig.Path().c_str(), 1);
        mkdir((fConfig / "vek-reader").c_str(), 0700);
    }

    void Config(const std::string& text) { fConfig.WriteFile("vek-reader/vek-reader.conf", text); }

    ParseResult Load(std::initializer_list<const char*> arguments)
    {
        std::vector<const char*> argv{"vek-reader"};
        argv.insert(argv.end(), arguments);
        fOptions = ServiceOptions();
        fError.clear();
        return LoadOptions(argv.size(), argv.data(), &fOptions, &fError);
    }

    // The error for a command line that must fail.
    std::string Error(std::initializer_list<const char*> arguments)
    {
        if (Load(arguments) != ParseResult::kError)
            return "(no error)";
        EXPECT_EQ(fError.find('\n'), std::string::npos) << fError;
        return fError;
    }

    ScratchDir fConfig;
    ServiceOptions fOptions;
    std::string fError;
};

TEST_F(OptionsTest, CommandLineNamesSeveralReadersWithTheirSettings)
{
    ASSERT_EQ(Load({"--spelling",
                    "decimal",
                    "--time=counter",
                    "--hold",
                    "250",
                    "--stdin",
                    "--serial",
                    "/dev/ttyUSB0",
                    "--baud",
                    "19200",
                    "--format",
                    "7E2",
                    "--name",
                    "door",
                    "--serial",
                    "/dev/ttyUSB1",
                    "--wedge",
                    "ffff:0035",
                    "--no-grab",
                    "--pcsc",
                    "--match",
                    "ACS",
                    "--message",
                    "Hello there",
                    "--mqtt",
                    "broker.lan:8883",
                    "--topic",
                    "scans/#",
                    "--field",
                    "data.uid",
                    "--publish",
                    "vek/reads",
                    "--target",
                    "application/x-other"}),
              ParseResult::kRun)
        << fError;
    EXPECT_EQ(fOptions.spelling, Spelling::kDecimal);
    EXPECT_EQ(fOptions.time, TimeStamp::kCounter);
    EXPECT_EQ(fOptions.hold.count(), 250);
    EXPECT_EQ(fOptions.target, "application/x-other");

    ASSERT_EQ(fOptions.readers.size(), 6u);
    const auto& r = fOptions.readers;
    EXPECT_EQ(r[0].kind, ReaderKind::kLines);
    EXPECT_EQ(r[0].lines.path, "-");
    EXPECT_EQ(r[0].lines.name, "stdin");

    EXPECT_EQ(r[1].kind, ReaderKind::kSerial);
    EXPECT_EQ(r[1].serial.name, "door");
    EXPECT_EQ(r[1].serial.path, "/dev/ttyUSB0");
    EXPECT_EQ(r[1].serial.baud, 19200);
    EXPECT_EQ(r[1].serial.dataBits, 7);
    EXPECT_EQ(r[1].serial.parity, 'E');
    EXPECT_EQ(r[1].serial.stopBits, 2);
    // Default names are the kind, numbered when taken.
    EXPECT_EQ(r[2].serial.name, "serial");
    EXPECT_EQ(r[2].serial.baud, 9600);
    EXPECT_EQ(r[2].serial.parity, 'N');

    EXPECT_EQ(r[3].wedge.device, "ffff:0035");
    EXPECT_FALSE(r[3].wedge.grab);
    EXPECT_EQ(r[4].pcsc.match, "ACS");
    EXPECT_EQ(r[4].message, "Hello there");
    EXPECT_EQ(r[5].mqtt.host, "broker.lan");
    EXPECT_EQ(r[5].mqtt.port, 8883);
    EXPECT_EQ(r[5].mqtt.topic, "scans/#");
    EXPECT_EQ(r[5].mqtt.field, "data.uid");
    EXPECT_EQ(r[5].mqtt.publishTopic, "vek/reads");
    EXPECT_EQ(r[5].mqtt.name, "mqtt");

    ASSERT_EQ(Load({"--serial", "/a", "--serial", "/b", "--serial", "/c", "--mqtt", "[::1]",
                    "--publish", "x"}),
              ParseResult::kRun);
    EXPECT_EQ(fOptions.readers[1].name, "serial-2");
    EXPECT_EQ(fOptions.readers[2].name, "serial-3");
    EXPECT_EQ(fOptions.readers[3].mqtt.host, "::1");
    EXPECT_EQ(fOptions.readers[3].mqtt.port, 1883);
}

TEST_F(OptionsTest, FileSettingsAndReadersUnlessTheCommandLineNamesItsOwn)
{
    Config("# the door and the desk\n"
           "spelling = reversed\n"
           "hold=800\n"
           "\n"
           "[reader]\n"
           "  name = door\n"
           "  type = serial\n"
           "  path = /dev/ttyACM0\n"
           "  baud = 115200\n"
           "[reader]\n"
           "type = mqtt\n"
           "broker = 10.0.0.2:1884\n"
           "publish = vek/reads\n"
           "message = a = b # not a comment\n"
           "; another comment\n"
           "[reader]\n"
           "type = stdin\n");
    ASSERT_EQ(Load({}), ParseResult::kRun) << fError;
    EXPECT_EQ(fOptions.spelling, Spelling::kReversed);
    EXPECT_EQ(fOptions.hold.count(), 800);
    ASSERT_EQ(fOptions.readers.size(), 3u);
    EXPECT_EQ(fOptions.readers[0].serial.name, "door");
    EXPECT_EQ(fOptions.readers[0].serial.path, "/dev/ttyACM0");
    EXPECT_EQ(fOptions.readers[0].serial.baud, 115200);
    EXPECT_EQ(fOptions.readers[1].mqtt.host, "10.0.0.2");
    EXPECT_EQ(fOptions.readers[1].mqtt.port, 1884);
    EXPECT_EQ(fOptions.readers[1].message, "a = b # not a comment");
    EXPECT_EQ(fOptions.readers[2].lines.path, "-");

    // The command line's settings win; its readers replace the file's.
    ASSERT_EQ(Load({"--hold", "100", "--lines", "/tmp/tags"}), ParseResult::kRun);
    EXPECT_EQ(fOptions.spelling, Spelling::kReversed);
    EXPECT_EQ(fOptions.hold.count(), 100);
    ASSERT_EQ(fOptions.readers.size(), 1u);
    EXPECT_EQ(fOptions.readers[0].lines.path, "/tmp/tags");
    EXPECT_EQ(fOptions.readers[0].name, "lines");

    ASSERT_EQ(Load({"--no-config", "--stdin"}), ParseResult::kRun);
    EXPECT_EQ(fOptions.spelling, Spelling::kHex);

    fConfig.WriteFile("other.conf", "[reader]\ntype = pcsc\n");
    ASSERT_EQ(Load({"--config", (fConfig / "other.conf").c_str()}), ParseResult::kRun);
    ASSERT_EQ(fOptions.readers.size(), 1u);
    EXPECT_EQ(fOptions.readers[0].kind, ReaderKind::kPcsc);
}

TEST_F(OptionsTest, BadCommandLinesGiveOneLine)
{
    EXPECT_EQ(Load({"--stdin", "--help"}), ParseResult::kHelp);
    EXPECT_EQ(Error({}),
              "no reader: give one (--stdin, --serial PATH …) or a configuration file; see --help");
    EXPECT_EQ(Error({"--colour", "red"}), "unknown option --colour; see --help");
    EXPECT_EQ(Error({"stdin"}), "unexpected argument \"stdin\"; see --help");
    EXPECT_EQ(Error({"--stdin", "--serial"}), "--serial needs a value");
    EXPECT_EQ(Error({"--stdin=yes"}), "--stdin takes no value");
    EXPECT_EQ(Error({"--baud", "9600", "--serial", "/dev/ttyS0"}),
              "--baud sets the reader before it; give the reader first (--serial PATH --baud …)");
    EXPECT_EQ(Error({"--serial", "/dev/ttyS0", "--baud", "fast"}),
              "baud \"fast\" is not a serial speed");
    EXPECT_EQ(Error({"--serial", "/dev/ttyS0", "--format", "8X1"}),
              "format \"8X1\" is not like 8N1 (data bits 5-8, parity N, E or O, stop bits 1 or 2)");
    EXPECT_EQ(Error({"--stdin", "--baud", "9600"}), "\"baud\" is not a setting of a lines reader");
    EXPECT_EQ(Error({"--pcsc", "--topic", "x"}), "\"topic\" is not a setting of a pcsc reader");
    EXPECT_EQ(Error({"--stdin", "--hold", "-1"}),
              "hold \"-1\" is not a time in milliseconds (0 to 60000)");
    EXPECT_EQ(Error({"--stdin", "--time", "now"}), "time \"now\" is not clock, epoch or counter");
    EXPECT_EQ(Error({"--stdin", "--spelling", "HEX"}),
              "spelling \"HEX\" is not hex, decimal or reversed");
    EXPECT_EQ(Error({"--stdin", "--target", "VEK_BeOS"}),
              "target \"VEK_BeOS\" is not an application signature");
    EXPECT_EQ(Error({"--mqtt", "host:0", "--topic", "t"}),
              "broker \"host:0\" has no port number (1 to 65535)");
    EXPECT_EQ(Error({"--mqtt", "localhost"}),
              "mqtt: the mqtt reader needs a topic to subscribe to or to publish to");
    EXPECT_EQ(Error({"--stdin", "--lines", "-"}), "standard input can feed one reader only");
    EXPECT_EQ(Error({"--stdin", "--name", "a", "--pcsc", "--name", "a"}),
              "two readers are named \"a\"");
    EXPECT_EQ(Error({"--config", (fConfig / "missing.conf").c_str()}),
              "cannot read " + fConfig / "missing.conf" + ": No such file or directory");
}

TEST_F(OptionsTest, BadFilesNameTheLine)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"hold = 5\nbaud = 9600\n", ":2: \"baud\" belongs in a [reader] section"},
        {"[reader]\ntype = serial\npath = /x\nhold = 5\n",
         ":4: \"hold\" belongs before the first [reader]"},
        {"[readers]\n", ":1: unknown section [readers] (there is only [reader])"},
        {"\n\nspelling\n", ":3: \"spelling\" is not \"key = value\""},
        {"= 5\n", ":1: a setting without a key"},
        {"colour = red\n", ":1: unknown setting \"colour\""},
        {"[reader]\npath = /dev/ttyS0\n", ":1: [reader] without a type"},
        {"[reader]\n\ntype = usb\n", ":3: type \"usb\" is not stdin, lines, serial, wedge, pcsc "
                                     "or mqtt"},
        {"[reader]\ntype = wedge\ndevice = kbd\ngrab = maybe\n",
         ":4: grab \"maybe\" is not yes or no"},
        {"[reader]\ntype = lines\n", ""},
    };
    for (const Case& c : cases) {
        Config(c.text);
        std::string file = fConfig / "vek-reader/vek-reader.conf";
        if (c.error[0] == '\0') {
            EXPECT_EQ(Error({}), "lines: the lines reader needs a path") << c.text;
            continue;
        }
        EXPECT_EQ(Error({}), file + c.error) << c.text;
    }
}

// The real program: --help, and one line on standard error with exit 1 for
// settings or devices that cannot be used.
TEST(ReaderProgram, HelpAndErrorsEndTheProgram)
{
    ScratchDir scratch;
    std::string program = std::string(VEK_BUILD_DIR) + "/vek-reader";
    std::string out, err;
    ASSERT_EQ(Process::Run(program, {"--help"}, 20000, &out, &err), 0);
    EXPECT_EQ(out.rfind("Usage: vek-reader", 0), 0u) << out;
    EXPECT_EQ(err, "");
    // The version of the program's resources.
    ASSERT_EQ(Process::Run(program, {"--version"}, 20000, &out, &err), 0);
    EXPECT_EQ(out, "vek-reader 0.8.0\n");

    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"--no-config", "--bogus"}, "unknown option --bogus; see --help"},
        {{"--no-config"},
         "no reader: give one (--stdin, --serial PATH …) or a configuration "
         "file; see --help"},
        {{"--no-config", "--lines", scratch / "none"},
         "lines: " + scratch / "none" + ": No such file or directory"},
        {{"--no-config", "--lines", scratch.Path()}, "lines: " + scratch.Path() + " is a folder"},
        {{"--no-config", "--mqtt", "localhost", "--topic", "a/#/b"},
         "mqtt: \"a/#/b\" is not an MQTT topic"},
        {{"--no-config", "--stdin", "--mqtt", "localhost", "--publish", "a/+"},
         "mqtt: \"a/+\" is not an MQTT topic to publish to"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Process::Run(program, c.arguments, 20000, &out, &err), 1) << c.error;
        EXPECT_EQ(err, "vek-reader: " + c.error + "\n");
        EXPECT_EQ(out, "");
    }
}

} // namespace
