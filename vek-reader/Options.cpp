#include "Options.h"

#include <FindDirectory.h>
#include <Path.h>

#include <errno.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <utility>

const char kUsage[] =
    "Usage: vek-reader [SETTING…] [READER [READER SETTING…]]…\n"
    "Reads RFID tags from one or more readers and sends one 'RFID' message per read\n"
    "to the running client (application/VEK_BeOS).\n"
    "\n"
    "Readers (each may be given more than once):\n"
    "  --stdin              tags from standard input, one a line\n"
    "  --lines PATH         tags from a file or a named pipe, one a line\n"
    "  --serial PATH        an EM4100 reader on a serial port (/dev/ttyUSB0)\n"
    "  --wedge DEVICE       a keyboard-wedge reader: an event device path, text of its\n"
    "                       name, or VENDOR:PRODUCT among /dev/input/by-id/*-event-kbd\n"
    "  --pcsc               PC/SC readers through pcscd\n"
    "  --mqtt HOST[:PORT]   an MQTT broker: reads others publish, and/or publishing ours\n"
    "Settings of the reader given last:\n"
    "  --name NAME          the reader's name in the log\n"
    "  --message TEXT       send TEXT as the message text (_fMes) with each read\n"
    "  --baud N             serial: the speed (9600)\n"
    "  --format 8N1         serial: data bits, parity (N, E, O) and stop bits\n"
    "  --no-grab            wedge: let the typed digits reach the focused application\n"
    "  --match TEXT         pcsc: only readers whose name contains TEXT\n"
    "  --topic TOPIC        mqtt: subscribe to TOPIC (wildcards allowed)\n"
    "  --field PATH         mqtt: where the tag is in a JSON payload (data.uid)\n"
    "  --publish TOPIC      mqtt: publish every read of this machine's readers to TOPIC\n"
    "  --username U, --password P   mqtt: the broker's login\n"
    "Settings of the service:\n"
    "  --target SIGNATURE   where the reads go (application/VEK_BeOS)\n"
    "  --spelling hex|decimal|reversed   the tag as sent (hex: 04A1B2; decimal: the\n"
    "                       low 32 bits in ten digits; reversed: the bytes reversed)\n"
    "  --time clock|epoch|counter   _time: HHMMSS of the local time, seconds since the\n"
    "                       epoch, or a count of reads (clock)\n"
    "  --hold MS            a card held on a serial reader is read again only after it\n"
    "                       was away this long (500)\n"
    "  --config FILE        read the settings from FILE\n"
    "  --no-config          read no configuration file\n"
    "  --help               show this and end\n"
    "\n"
    "Without --config, settings are read from vek-reader/vek-reader.conf in the user's\n"
    "settings folder ($XDG_CONFIG_HOME, ~/.config) when it exists: \"key = value\" lines,\n"
    "the keys named as the options above without \"--\", and one [reader] section per\n"
    "reader with \"type = stdin|lines|serial|wedge|pcsc|mqtt\" and that reader's settings\n"
    "(path, device, broker …). Readers on the command line take the place of the file's.\n";

namespace
{

const char* KindName(ReaderKind kind)
{
    switch (kind) {
    case ReaderKind::kLines:
        return "lines";
    case ReaderKind::kSerial:
        return "serial";
    case ReaderKind::kWedge:
        return "wedge";
    case ReaderKind::kPcsc:
        return "pcsc";
    case ReaderKind::kMqtt:
        return "mqtt";
    }
    return "?";
}

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseInt(const std::string& text, long lowest, long highest, long* value)
{
    if (text.empty() || text.size() > 12)
        return false;
    char* end;
    errno = 0;
    long parsed = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < lowest || parsed > highest)
        return false;
    *value = parsed;
    return true;
}

// value as a whole number from lowest to highest; otherwise why says that
// the key's value is not what.
bool SetNumber(const std::string& key, const std::string& text, long lowest, long highest,
               const char* what, long* value, std::string* why)
{
    if (ParseInt(text, lowest, highest, value))
        return true;
    *why = key + " \"" + text + "\" is not " + what;
    return false;
}

template <typename Value> struct Choice {
    const char* name;
    Value value;
};

// value as the choice that text names; otherwise why lists the choices.
template <typename Value, size_t N>
bool Choose(const std::string& key, const std::string& text, const Choice<Value> (&choices)[N],
            Value* value, std::string* why)
{
    std::string names;
    for (size_t i = 0; i < N; i++) {
        if (text == choices[i].name) {
            *value = choices[i].value;
            return true;
        }
        names += std::string(i == 0 ? "" : i + 1 < N ? ", " : " or ") + choices[i].name;
    }
    *why = key + " \"" + text + "\" is not " + names;
    return false;
}

// The options that name a reader, and the setting that their value gives it
// (none: the option takes no value).
struct ReaderOption {
    const char* option;
    const char* setting;
};

const ReaderOption kReaderOptions[] = {
    {"stdin", nullptr}, {"pcsc", nullptr},   {"lines", "path"},
    {"serial", "path"}, {"wedge", "device"}, {"mqtt", "broker"},
};

const ReaderOption* FindReaderOption(const std::string& key)
{
    for (const ReaderOption& option : kReaderOptions) {
        if (key == option.option)
            return &option;
    }
    return nullptr;
}

bool ParseBool(const std::string& text, bool* value)
{
    if (text == "yes" || text == "true" || text == "on" || text == "1") {
        *value = true;
    } else if (text == "no" || text == "false" || text == "off" || text == "0") {
        *value = false;
    } else {
        return false;
    }
    return true;
}

bool IsGlobalKey(const std::string& key)
{
    return key == "target" || key == "time" || key == "spelling" || key == "hold";
}

bool IsReaderKey(const std::string& key)
{
    for (const char* known :
         {"name", "message", "path", "baud", "format", "device", "grab", "match", "broker", "host",
          "port", "topic", "field", "publish", "username", "password"}) {
        if (key == known)
            return true;
    }
    return false;
}

bool SetGlobal(ServiceOptions* options, const std::string& key, const std::string& value,
               std::string* why)
{
    if (key == "target") {
        if (value.compare(0, 12, "application/") != 0 || value.size() == 12) {
            *why = "target \"" + value + "\" is not an application signature";
            return false;
        }
        options->target = value;
    } else if (key == "time") {
        static const Choice<TimeStamp> kTimes[] = {
            {"clock", TimeStamp::kClock},
            {"epoch", TimeStamp::kEpoch},
            {"counter", TimeStamp::kCounter},
        };
        return Choose(key, value, kTimes, &options->time, why);
    } else if (key == "spelling") {
        static const Choice<Spelling> kSpellings[] = {
            {"hex", Spelling::kHex},
            {"decimal", Spelling::kDecimal},
            {"reversed", Spelling::kReversed},
        };
        return Choose(key, value, kSpellings, &options->spelling, why);
    } else if (key == "hold") {
        long ms;
        if (!SetNumber(key, value, 0, 60000, "a time in milliseconds (0 to 60000)", &ms, why))
            return false;
        options->hold = std::chrono::milliseconds(ms);
    }
    return true;
}

bool SetBroker(MqttSettings* mqtt, const std::string& value, std::string* why)
{
    std::string host = value;
    std::string port;
    if (!value.empty() && value.front() == '[') {
        // [IPv6 address]:port
        size_t close = value.find(']');
        if (close == std::string::npos) {
            *why = "broker \"" + value + "\" lacks its ']'";
            return false;
        }
        host = value.substr(1, close - 1);
        if (close + 1 < value.size()) {
            if (value[close + 1] != ':') {
                *why = "broker \"" + value + "\" is not HOST[:PORT]";
                return false;
            }
            port = value.substr(close + 2);
        }
    } else if (value.find(':') != std::string::npos && value.find(':') == value.rfind(':')) {
        host = value.substr(0, value.find(':'));
        port = value.substr(value.find(':') + 1);
    }
    if (host.empty()) {
        *why = "broker \"" + value + "\" has no host";
        return false;
    }
    mqtt->host = host;
    if (!port.empty()) {
        long number;
        if (!ParseInt(port, 1, 65535, &number)) {
            *why = "broker \"" + value + "\" has no port number (1 to 65535)";
            return false;
        }
        mqtt->port = number;
    }
    return true;
}

bool SetFormat(SerialSettings* serial, const std::string& value)
{
    if (value.size() != 3 || value[0] < '5' || value[0] > '8' ||
        strchr("NEO", toupper((unsigned char)value[1])) == nullptr ||
        (value[2] != '1' && value[2] != '2'))
        return false;
    serial->dataBits = value[0] - '0';
    serial->parity = toupper((unsigned char)value[1]);
    serial->stopBits = value[2] - '0';
    return true;
}

bool SetReader(ReaderOptions* reader, const std::string& key, const std::string& value,
               std::string* why)
{
    auto notFor = [&] {
        *why = "\"" + key + "\" is not a setting of a " + KindName(reader->kind) + " reader";
        return false;
    };
    if (key == "name") {
        if (value.empty()) {
            *why = "empty reader name";
            return false;
        }
        reader->name = value;
        return true;
    }
    if (key == "message") {
        reader->message = value;
        return true;
    }
    switch (reader->kind) {
    case ReaderKind::kLines:
        if (key != "path")
            return notFor();
        reader->lines.path = value;
        return true;
    case ReaderKind::kSerial:
        if (key == "path") {
            reader->serial.path = value;
        } else if (key == "baud") {
            long baud;
            if (!SetNumber(key, value, 50, 4000000, "a serial speed", &baud, why))
                return false;
            reader->serial.baud = baud;
        } else if (key == "format") {
            if (!SetFormat(&reader->serial, value)) {
                *why = "format \"" + value +
                       "\" is not like 8N1 (data bits 5-8, parity N, E "
                       "or O, stop bits 1 or 2)";
                return false;
            }
        } else {
            return notFor();
        }
        return true;
    case ReaderKind::kWedge:
        if (key == "device") {
            reader->wedge.device = value;
        } else if (key == "grab") {
            if (!ParseBool(value, &reader->wedge.grab)) {
                *why = "grab \"" + value + "\" is not yes or no";
                return false;
            }
        } else {
            return notFor();
        }
        return true;
    case ReaderKind::kPcsc:
        if (key != "match")
            return notFor();
        reader->pcsc.match = value;
        return true;
    case ReaderKind::kMqtt:
        if (key == "broker") {
            return SetBroker(&reader->mqtt, value, why);
        } else if (key == "host") {
            reader->mqtt.host = value;
        } else if (key == "port") {
            long port;
            if (!SetNumber(key, value, 1, 65535, "a port number (1 to 65535)", &port, why))
                return false;
            reader->mqtt.port = port;
        } else if (key == "topic") {
            reader->mqtt.topic = value;
        } else if (key == "field") {
            reader->mqtt.field = value;
        } else if (key == "publish") {
            reader->mqtt.publishTopic = value;
        } else if (key == "username") {
            reader->mqtt.username = value;
        } else if (key == "password") {
            reader->mqtt.password = value;
        } else {
            return notFor();
        }
        return true;
    }
    return notFor();
}

bool KindOf(const std::string& type, ReaderOptions* reader, std::string* why)
{
    static const Choice<ReaderKind> kKinds[] = {
        {"stdin", ReaderKind::kLines},   {"lines", ReaderKind::kLines},
        {"serial", ReaderKind::kSerial}, {"wedge", ReaderKind::kWedge},
        {"pcsc", ReaderKind::kPcsc},     {"mqtt", ReaderKind::kMqtt},
    };
    if (!Choose("type", type, kKinds, &reader->kind, why))
        return false;
    reader->lines.path = type == "stdin" ? "-" : "";
    return true;
}

std::string DefaultName(const ReaderOptions& reader)
{
    if (reader.kind == ReaderKind::kLines && reader.lines.path == "-")
        return "stdin";
    return KindName(reader.kind);
}

// Names every reader, hands the name to its settings and checks what the
// single settings cannot.
bool Finish(ServiceOptions* options, std::string* error)
{
    if (options->readers.empty()) {
        *error = "no reader: give one (--stdin, --serial PATH …) or a configuration file; see "
                 "--help";
        return false;
    }
    std::vector<std::string> names;
    for (const ReaderOptions& reader : options->readers) {
        for (const std::string& name : names) {
            if (!reader.name.empty() && name == reader.name) {
                *error = "two readers are named \"" + name + "\"";
                return false;
            }
        }
        names.push_back(reader.name);
    }
    bool stdinTaken = false;
    for (ReaderOptions& reader : options->readers) {
        if (reader.name.empty()) {
            std::string base = DefaultName(reader);
            std::string name = base;
            for (int n = 2;; n++) {
                bool taken = false;
                for (const ReaderOptions& other : options->readers)
                    taken = taken || other.name == name;
                if (!taken)
                    break;
                name = base + "-" + std::to_string(n);
            }
            reader.name = name;
        }
        reader.lines.name = reader.serial.name = reader.wedge.name = reader.pcsc.name =
            reader.mqtt.name = reader.name;

        std::string missing;
        switch (reader.kind) {
        case ReaderKind::kLines:
            if (reader.lines.path.empty())
                missing = "a path";
            if (reader.lines.path == "-") {
                if (stdinTaken) {
                    *error = "standard input can feed one reader only";
                    return false;
                }
                stdinTaken = true;
            }
            break;
        case ReaderKind::kSerial:
            if (reader.serial.path.empty())
                missing = "a path";
            break;
        case ReaderKind::kWedge:
            if (reader.wedge.device.empty())
                missing = "a device";
            break;
        case ReaderKind::kPcsc:
            break;
        case ReaderKind::kMqtt:
            if (reader.mqtt.topic.empty() && reader.mqtt.publishTopic.empty())
                missing = "a topic to subscribe to or to publish to";
            break;
        }
        if (!missing.empty()) {
            *error = reader.name + ": the " + KindName(reader.kind) + " reader needs " + missing;
            return false;
        }
    }
    return true;
}

bool ReadConfigFile(const std::string& path, ServiceOptions* options, bool mustExist,
                    std::string* error)
{
    constexpr std::streamoff kLongestFile = 1 << 20;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (!mustExist && errno == ENOENT)
            return true;
        *error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    std::ostringstream text;
    char buffer[4096];
    std::streamoff total = 0;
    while (file.read(buffer, sizeof(buffer)) || file.gcount() > 0) {
        total += file.gcount();
        if (total > kLongestFile) {
            *error = path + " is longer than 1 MB";
            return false;
        }
        text.write(buffer, file.gcount());
    }
    if (file.bad()) {
        *error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    return ParseConfig(text.str(), path, options, error);
}

} // namespace

bool ParseConfig(const std::string& text, const std::string& file, ServiceOptions* options,
                 std::string* error)
{
    struct Setting {
        int line;
        std::string key;
        std::string value;
    };
    struct Section {
        int line;
        std::vector<Setting> settings;
    };
    std::vector<Section> sections;
    bool inSection = false;

    std::istringstream lines(text);
    std::string raw;
    int number = 0;
    while (std::getline(lines, raw)) {
        number++;
        auto fail = [&](const std::string& why) {
            *error = file + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line != "[reader]")
                return fail("unknown section " + line + " (there is only [reader])");
            sections.push_back({number, {}});
            inSection = true;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            return fail("\"" + line + "\" is not \"key = value\"");
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (key.empty())
            return fail("a setting without a key");
        if (inSection) {
            if (!IsReaderKey(key) && key != "type")
                return fail(IsGlobalKey(key) ? "\"" + key + "\" belongs before the first [reader]"
                                             : "unknown setting \"" + key + "\"");
            sections.back().settings.push_back({number, key, value});
            continue;
        }
        if (!IsGlobalKey(key))
            return fail(IsReaderKey(key) ? "\"" + key + "\" belongs in a [reader] section"
                                         : "unknown setting \"" + key + "\"");
        std::string why;
        if (!SetGlobal(options, key, value, &why))
            return fail(why);
    }

    for (const Section& section : sections) {
        ReaderOptions reader;
        const Setting* type = nullptr;
        for (const Setting& setting : section.settings) {
            if (setting.key == "type")
                type = &setting;
        }
        if (type == nullptr) {
            *error = file + ":" + std::to_string(section.line) + ": [reader] without a type";
            return false;
        }
        std::string why;
        if (!KindOf(type->value, &reader, &why)) {
            *error = file + ":" + std::to_string(type->line) + ": " + why;
            return false;
        }
        for (const Setting& setting : section.settings) {
            std::string why;
            if (&setting != type && !SetReader(&reader, setting.key, setting.value, &why)) {
                *error = file + ":" + std::to_string(setting.line) + ": " + why;
                return false;
            }
        }
        options->readers.push_back(reader);
    }
    return true;
}

std::string DefaultConfigPath()
{
    BPath path;
    if (find_directory(B_USER_SETTINGS_DIRECTORY, &path) != B_OK ||
        path.Append("vek-reader/vek-reader.conf") != B_OK)
        return "";
    return path.Path();
}

ParseResult LoadOptions(int argc, const char* const* argv, ServiceOptions* options,
                        std::string* error)
{
    std::vector<std::pair<std::string, std::string>> globals;
    std::vector<ReaderOptions> readers;
    std::string config;
    bool noConfig = false;

    for (int i = 1; i < argc; i++) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h")
            return ParseResult::kHelp;
        auto fail = [&](const std::string& why) {
            *error = why;
            return ParseResult::kError;
        };
        if (argument.compare(0, 2, "--") != 0 || argument.size() == 2)
            return fail("unexpected argument \"" + argument + "\"; see --help");
        std::string key = argument.substr(2);
        std::string value;
        bool hasValue = false;
        size_t equals = key.find('=');
        if (equals != std::string::npos) {
            value = key.substr(equals + 1);
            key = key.substr(0, equals);
            hasValue = true;
        }

        const ReaderOption* readerOption = FindReaderOption(key);
        bool flag = key == "no-grab" || key == "no-config" ||
                    (readerOption != nullptr && readerOption->setting == nullptr);
        if (flag && hasValue)
            return fail("--" + key + " takes no value");
        bool known = flag || key == "config" || readerOption != nullptr || IsGlobalKey(key) ||
                     IsReaderKey(key);
        if (!known)
            return fail("unknown option --" + key + "; see --help");
        if (!flag && !hasValue) {
            if (i + 1 >= argc)
                return fail("--" + key + " needs a value");
            value = argv[++i];
        }

        std::string why;
        if (key == "no-config") {
            noConfig = true;
        } else if (key == "config") {
            config = value;
        } else if (readerOption != nullptr) {
            ReaderOptions reader;
            KindOf(key, &reader, &why);
            if (readerOption->setting != nullptr &&
                !SetReader(&reader, readerOption->setting, value, &why))
                return fail(why);
            readers.push_back(reader);
        } else if (IsGlobalKey(key)) {
            ServiceOptions probe;
            if (!SetGlobal(&probe, key, value, &why))
                return fail(why);
            globals.emplace_back(key, value);
        } else {
            if (key == "no-grab") {
                key = "grab";
                value = "no";
            }
            if (readers.empty())
                return fail("--" + key +
                            " sets the reader before it; give the reader first "
                            "(--serial PATH --" +
                            key + " …)");
            if (!SetReader(&readers.back(), key, value, &why))
                return fail(why);
        }
    }

    if (!noConfig) {
        bool given = !config.empty();
        if (!given)
            config = DefaultConfigPath();
        if (!config.empty() && !ReadConfigFile(config, options, given, error))
            return ParseResult::kError;
    }
    for (const auto& [key, value] : globals) {
        std::string why;
        SetGlobal(options, key, value, &why);
    }
    if (!readers.empty())
        options->readers = readers;
    if (!Finish(options, error))
        return ParseResult::kError;
    return ParseResult::kRun;
}
