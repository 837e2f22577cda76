#include "Options.h"

#include <FindDirectory.h>
#include <Path.h>

#include <errno.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <utility>

namespace
{

// ---------------------------------------------------------------------------
// What the options' setters work with.

// What the command line says about the run itself.
struct CommandLine {
    std::string config;
    bool noConfig = false;
    // kHelp or kVersion end the parse at once.
    ParseResult result = ParseResult::kRun;
};

// What an option sets: the service, the reader given last, or the run.
struct Target {
    ServiceOptions* service = nullptr;
    ReaderOptions* reader = nullptr;
    CommandLine* commandLine = nullptr;
};

using Setter = bool (*)(Target& target, const std::string& value, std::string* why);

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

// text as a whole number from lowest to highest; otherwise why says that
// the key's value is not what.
template <typename Number>
bool SetNumber(const char* key, const std::string& text, long lowest, long highest,
               const char* what, Number* value, std::string* why)
{
    long parsed;
    if (!ParseInt(text, lowest, highest, &parsed)) {
        *why = std::string(key) + " \"" + text + "\" is not " + what;
        return false;
    }
    *value = Number(parsed);
    return true;
}

template <typename Value> struct Choice {
    const char* name;
    Value value;
};

// value as the choice that text names; otherwise why lists the choices.
template <typename Value, size_t N>
bool Choose(const char* key, const std::string& text, const Choice<Value> (&choices)[N],
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
    *why = std::string(key) + " \"" + text + "\" is not " + names;
    return false;
}

bool SetTarget(ServiceOptions* options, const std::string& value, std::string* why)
{
    if (value.compare(0, 12, "application/") != 0 || value.size() == 12) {
        *why = "target \"" + value + "\" is not an application signature";
        return false;
    }
    options->target = value;
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

bool SetFormat(SerialSettings* serial, const std::string& value, std::string* why)
{
    if (value.size() != 3 || value[0] < '5' || value[0] > '8' ||
        strchr("NEO", toupper((unsigned char)value[1])) == nullptr ||
        (value[2] != '1' && value[2] != '2')) {
        *why = "format \"" + value +
               "\" is not like 8N1 (data bits 5-8, parity N, E or O, stop bits 1 or 2)";
        return false;
    }
    serial->dataBits = value[0] - '0';
    serial->parity = toupper((unsigned char)value[1]);
    serial->stopBits = value[2] - '0';
    return true;
}

bool SetGrab(WedgeSettings* wedge, const std::string& value, std::string* why)
{
    if (value == "yes" || value == "true" || value == "on" || value == "1") {
        wedge->grab = true;
    } else if (value == "no" || value == "false" || value == "off" || value == "0") {
        wedge->grab = false;
    } else {
        *why = "grab \"" + value + "\" is not yes or no";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The options.

enum class Scope {
    // Names a reader (--serial PATH); in the file: "type = serial" begins its
    // [reader] section.
    kReader,
    // A setting of the reader given last; in the file: in its [reader] section.
    kReaderSetting,
    // A setting of the service; in the file: before the first [reader].
    kService,
    // The command line only: how to run (--config, --help …).
    kCommandLine,
};

constexpr unsigned Of(ReaderKind kind)
{
    return 1u << unsigned(kind);
}

constexpr unsigned kEveryKind = ~0u;

struct Option {
    const char* name;
    Scope scope;
    // The value's name in --help; nullptr: the option takes no value (and is
    // no key of the file, where every key has one).
    const char* value;
    Setter set;
    // One line, or more parted by '\n'.
    const char* help;
    // kReaderSetting: the kinds of reader it belongs to.
    unsigned kinds = kEveryKind;
    // kReader: the kind of reader it names.
    ReaderKind kind = ReaderKind::kLines;
};

// Every option. The readers come in the order that --help and the file's
// "type" list them.
const Option kOptions[] = {
    {"stdin", Scope::kReader, nullptr,
     [](Target&, const std::string&, std::string*) { return true; },
     "tags from standard input, one a line", kEveryKind, ReaderKind::kLines},
    {"lines", Scope::kReader, "PATH",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->lines.path = v;
         return true;
     },
     "tags from a file or a named pipe, one a line", kEveryKind, ReaderKind::kLines},
    {"serial", Scope::kReader, "PATH",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->serial.path = v;
         return true;
     },
     "an EM4100 reader on a serial port (/dev/ttyUSB0)", kEveryKind, ReaderKind::kSerial},
    {"wedge", Scope::kReader, "DEVICE",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->wedge.device = v;
         return true;
     },
     "a keyboard-wedge reader: an event device path, text of its\n"
     "name, or VENDOR:PRODUCT among /dev/input/by-id/*-event-kbd",
     kEveryKind, ReaderKind::kWedge},
    {"pcsc", Scope::kReader, nullptr,
     [](Target&, const std::string&, std::string*) { return true; }, "PC/SC readers through pcscd",
     kEveryKind, ReaderKind::kPcsc},
    {"mqtt", Scope::kReader, "HOST[:PORT]",
     [](Target& t, const std::string& v, std::string* why) {
         return SetBroker(&t.reader->mqtt, v, why);
     },
     "an MQTT broker: reads others publish, and/or publishing ours", kEveryKind, ReaderKind::kMqtt},

    {"name", Scope::kReaderSetting, "NAME",
     [](Target& t, const std::string& v, std::string* why) {
         if (v.empty()) {
             *why = "empty reader name";
             return false;
         }
         t.reader->name = v;
         return true;
     },
     "the reader's name in the log"},
    {"message", Scope::kReaderSetting, "TEXT",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->message = v;
         return true;
     },
     "send TEXT as the message text (_fMes) with each read"},
    {"path", Scope::kReaderSetting, "PATH",
     [](Target& t, const std::string& v, std::string*) {
         (t.reader->kind == ReaderKind::kLines ? t.reader->lines.path : t.reader->serial.path) = v;
         return true;
     },
     "lines, serial: the file, pipe or port", Of(ReaderKind::kLines) | Of(ReaderKind::kSerial)},
    {"baud", Scope::kReaderSetting, "N",
     [](Target& t, const std::string& v, std::string* why) {
         return SetNumber("baud", v, 50, 4000000, "a serial speed", &t.reader->serial.baud, why);
     },
     "serial: the speed (9600)", Of(ReaderKind::kSerial)},
    {"format", Scope::kReaderSetting, "8N1",
     [](Target& t, const std::string& v, std::string* why) {
         return SetFormat(&t.reader->serial, v, why);
     },
     "serial: data bits, parity (N, E, O) and stop bits", Of(ReaderKind::kSerial)},
    {"device", Scope::kReaderSetting, "DEVICE",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->wedge.device = v;
         return true;
     },
     "wedge: the device, as --wedge names it", Of(ReaderKind::kWedge)},
    {"grab", Scope::kReaderSetting, "yes|no",
     [](Target& t, const std::string& v, std::string* why) {
         return SetGrab(&t.reader->wedge, v, why);
     },
     "wedge: keep the digits from the focused application (yes)", Of(ReaderKind::kWedge)},
    {"no-grab", Scope::kReaderSetting, nullptr,
     [](Target& t, const std::string&, std::string*) {
         t.reader->wedge.grab = false;
         return true;
     },
     "wedge: let the typed digits reach the focused application", Of(ReaderKind::kWedge)},
    {"match", Scope::kReaderSetting, "TEXT",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->pcsc.match = v;
         return true;
     },
     "pcsc: only readers whose name contains TEXT", Of(ReaderKind::kPcsc)},
    {"broker", Scope::kReaderSetting, "HOST[:PORT]",
     [](Target& t, const std::string& v, std::string* why) {
         return SetBroker(&t.reader->mqtt, v, why);
     },
     "mqtt: the broker, as --mqtt names it", Of(ReaderKind::kMqtt)},
    {"host", Scope::kReaderSetting, "HOST",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.host = v;
         return true;
     },
     "mqtt: the broker's host", Of(ReaderKind::kMqtt)},
    {"port", Scope::kReaderSetting, "N",
     [](Target& t, const std::string& v, std::string* why) {
         return SetNumber("port", v, 1, 65535, "a port number (1 to 65535)", &t.reader->mqtt.port,
                          why);
     },
     "mqtt: the broker's port (1883)", Of(ReaderKind::kMqtt)},
    {"topic", Scope::kReaderSetting, "TOPIC",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.topic = v;
         return true;
     },
     "mqtt: subscribe to TOPIC (wildcards allowed)", Of(ReaderKind::kMqtt)},
    {"field", Scope::kReaderSetting, "PATH",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.field = v;
         return true;
     },
     "mqtt: where the tag is in a JSON payload (data.uid)", Of(ReaderKind::kMqtt)},
    {"publish", Scope::kReaderSetting, "TOPIC",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.publishTopic = v;
         return true;
     },
     "mqtt: publish every read of this machine's readers to TOPIC", Of(ReaderKind::kMqtt)},
    {"username", Scope::kReaderSetting, "U",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.username = v;
         return true;
     },
     "mqtt: the name to log in to the broker with", Of(ReaderKind::kMqtt)},
    {"password", Scope::kReaderSetting, "P",
     [](Target& t, const std::string& v, std::string*) {
         t.reader->mqtt.password = v;
         return true;
     },
     "mqtt: the password to log in to the broker with", Of(ReaderKind::kMqtt)},

    {"target", Scope::kService, "SIGNATURE",
     [](Target& t, const std::string& v, std::string* why) { return SetTarget(t.service, v, why); },
     "where the reads go (application/VEK_BeOS)"},
    {"spelling", Scope::kService, "hex|decimal|reversed",
     [](Target& t, const std::string& v, std::string* why) {
         static const Choice<Spelling> kSpellings[] = {
             {"hex", Spelling::kHex},
             {"decimal", Spelling::kDecimal},
             {"reversed", Spelling::kReversed},
         };
         return Choose("spelling", v, kSpellings, &t.service->spelling, why);
     },
     "the tag as sent (hex: 04A1B2; decimal: the low 32 bits\n"
     "in ten digits; reversed: the bytes reversed)"},
    {"time", Scope::kService, "clock|epoch|counter",
     [](Target& t, const std::string& v, std::string* why) {
         static const Choice<TimeStamp> kTimes[] = {
             {"clock", TimeStamp::kClock},
             {"epoch", TimeStamp::kEpoch},
             {"counter", TimeStamp::kCounter},
         };
         return Choose("time", v, kTimes, &t.service->time, why);
     },
     "_time: HHMMSS of the local time, seconds since the epoch,\n"
     "or a count of reads (clock)"},
    {"hold", Scope::kService, "MS",
     [](Target& t, const std::string& v, std::string* why) {
         long ms;
         if (!SetNumber("hold", v, 0, 60000, "a time in milliseconds (0 to 60000)", &ms, why))
             return false;
         t.service->hold = std::chrono::milliseconds(ms);
         return true;
     },
     "a card held on a serial reader is read again only after it\n"
     "was away this long (500)"},
    {"app", Scope::kService, "DIR",
     [](Target& t, const std::string& v, std::string*) {
         t.service->app = v;
         return true;
     },
     "the client's application folder, whose avatar list names\n"
     "each read (the folder of vek-reader)"},
    {"record", Scope::kService, "FILE",
     [](Target& t, const std::string& v, std::string*) {
         t.service->record = v;
         return true;
     },
     "append each read to FILE as a CSV line (time, reader, tag, name)"},

    {"config", Scope::kCommandLine, "FILE",
     [](Target& t, const std::string& v, std::string*) {
         t.commandLine->config = v;
         return true;
     },
     "read the settings from FILE"},
    {"no-config", Scope::kCommandLine, nullptr,
     [](Target& t, const std::string&, std::string*) {
         t.commandLine->noConfig = true;
         return true;
     },
     "read no configuration file"},
    {"help", Scope::kCommandLine, nullptr,
     [](Target& t, const std::string&, std::string*) {
         t.commandLine->result = ParseResult::kHelp;
         return true;
     },
     "show this and end"},
    {"version", Scope::kCommandLine, nullptr,
     [](Target& t, const std::string&, std::string*) {
         t.commandLine->result = ParseResult::kVersion;
         return true;
     },
     "show the version and end"},
};

const Option* FindOption(const std::string& name)
{
    for (const Option& option : kOptions) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

// A key that the file may hold at the top or in a [reader] section.
const Option* FindFileKey(const std::string& key)
{
    const Option* option = FindOption(key);
    if (option == nullptr || option->value == nullptr ||
        (option->scope != Scope::kService && option->scope != Scope::kReaderSetting))
        return nullptr;
    return option;
}

// A new reader of the kind that option names, before its value is set.
ReaderOptions NewReader(const Option& option)
{
    ReaderOptions reader;
    reader.kind = option.kind;
    // Of the lines readers, only --stdin reads standard input; the others
    // name their file.
    if (strcmp(option.name, "stdin") != 0)
        reader.lines.path = "";
    return reader;
}

// The setting's value for the reader; says when it is no setting of its kind.
bool SetReader(const Option& option, ReaderOptions* reader, const std::string& value,
               std::string* why)
{
    if ((option.kinds & Of(reader->kind)) == 0) {
        *why = std::string("\"") + option.name + "\" is not a setting of a " +
               KindName(reader->kind) + " reader";
        return false;
    }
    Target target;
    target.reader = reader;
    return option.set(target, value, why);
}

bool SetService(const Option& option, ServiceOptions* service, const std::string& value,
                std::string* why)
{
    Target target;
    target.service = service;
    return option.set(target, value, why);
}

// The reader that "type = TYPE" begins.
bool ReaderOfType(const std::string& type, ReaderOptions* reader, std::string* why)
{
    std::string names;
    for (const Option& option : kOptions) {
        if (option.scope != Scope::kReader)
            continue;
        if (type == option.name) {
            *reader = NewReader(option);
            return true;
        }
        names += std::string(names.empty() ? "" : ", ") + option.name;
    }
    size_t last = names.rfind(", ");
    if (last != std::string::npos)
        names.replace(last, 2, " or ");
    *why = "type \"" + type + "\" is not " + names;
    return false;
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
        const Option* option;
        std::string value;
    };
    struct Section {
        int line;
        int typeLine = 0;
        std::string type;
        std::vector<Setting> settings;
    };
    std::vector<Section> sections;

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
            sections.push_back({number, 0, "", {}});
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            return fail("\"" + line + "\" is not \"key = value\"");
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (key.empty())
            return fail("a setting without a key");
        const Option* option = FindFileKey(key);
        if (!sections.empty()) {
            if (key == "type") {
                sections.back().type = value;
                sections.back().typeLine = number;
            } else if (option == nullptr) {
                return fail("unknown setting \"" + key + "\"");
            } else if (option->scope == Scope::kService) {
                return fail("\"" + key + "\" belongs before the first [reader]");
            } else {
                sections.back().settings.push_back({number, option, value});
            }
            continue;
        }
        if (option == nullptr)
            return fail("unknown setting \"" + key + "\"");
        if (option->scope != Scope::kService)
            return fail("\"" + key + "\" belongs in a [reader] section");
        std::string why;
        if (!SetService(*option, options, value, &why))
            return fail(why);
    }

    for (const Section& section : sections) {
        auto fail = [&](int line, const std::string& why) {
            *error = file + ":" + std::to_string(line) + ": " + why;
            return false;
        };
        if (section.typeLine == 0)
            return fail(section.line, "[reader] without a type");
        ReaderOptions reader;
        std::string why;
        if (!ReaderOfType(section.type, &reader, &why))
            return fail(section.typeLine, why);
        for (const Setting& setting : section.settings) {
            if (!SetReader(*setting.option, &reader, setting.value, &why))
                return fail(setting.line, why);
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
    // The service's settings are checked at once but applied over the file's.
    std::vector<std::pair<const Option*, std::string>> serviceSettings;
    std::vector<ReaderOptions> readers;
    CommandLine commandLine;

    for (int i = 1; i < argc; i++) {
        std::string argument = argv[i];
        auto fail = [&](const std::string& why) {
            *error = why;
            return ParseResult::kError;
        };
        if (argument == "-h")
            return ParseResult::kHelp;
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

        const Option* option = FindOption(key);
        if (option == nullptr)
            return fail("unknown option --" + key + "; see --help");
        if (option->value == nullptr && hasValue)
            return fail("--" + key + " takes no value");
        if (option->value != nullptr && !hasValue) {
            if (i + 1 >= argc)
                return fail("--" + key + " needs a value");
            value = argv[++i];
        }

        std::string why;
        Target target;
        switch (option->scope) {
        case Scope::kReader:
            readers.push_back(NewReader(*option));
            target.reader = &readers.back();
            if (!option->set(target, value, &why))
                return fail(why);
            break;
        case Scope::kReaderSetting:
            if (readers.empty())
                return fail("--" + key +
                            " sets the reader before it; give the reader first (--serial PATH --" +
                            key + " …)");
            if (!SetReader(*option, &readers.back(), value, &why))
                return fail(why);
            break;
        case Scope::kService: {
            ServiceOptions probe;
            if (!SetService(*option, &probe, value, &why))
                return fail(why);
            serviceSettings.emplace_back(option, value);
            break;
        }
        case Scope::kCommandLine:
            target.commandLine = &commandLine;
            option->set(target, value, &why);
            if (commandLine.result != ParseResult::kRun)
                return commandLine.result;
            break;
        }
    }

    if (!commandLine.noConfig) {
        bool given = !commandLine.config.empty();
        std::string config = given ? commandLine.config : DefaultConfigPath();
        if (!config.empty() && !ReadConfigFile(config, options, given, error))
            return ParseResult::kError;
    }
    for (const auto& [option, value] : serviceSettings) {
        std::string why;
        SetService(*option, options, value, &why);
    }
    if (!readers.empty())
        options->readers = readers;
    if (!Finish(options, error))
        return ParseResult::kError;
    return ParseResult::kRun;
}

std::string Usage()
{
    struct Group {
        const char* heading;
        Scope scope;
    };
    const Group groups[] = {
        {"Readers (each may be given more than once):", Scope::kReader},
        {"Settings of the reader given last (in the file: in its [reader] section):",
         Scope::kReaderSetting},
        {"Settings of the service:", Scope::kService},
        {"Other options:", Scope::kCommandLine},
    };
    constexpr size_t kHelpColumn = 23;

    std::string text =
        "Usage: vek-reader [SETTING…] [READER [READER SETTING…]]…\n"
        "Reads RFID tags from one or more readers and sends one 'RFID' message per read\n"
        "to the running client (application/VEK_BeOS).\n";
    for (const Group& group : groups) {
        text += std::string("\n") + group.heading + "\n";
        for (const Option& option : kOptions) {
            if (option.scope != group.scope)
                continue;
            std::string line = std::string("  --") + option.name;
            if (option.value != nullptr)
                line += std::string(" ") + option.value;
            // Help that does not fit beside the option goes below it.
            line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                                   : "\n" + std::string(kHelpColumn, ' ');
            for (const char* help = option.help; *help != '\0'; help++) {
                line += *help;
                if (*help == '\n')
                    line += std::string(kHelpColumn, ' ');
            }
            text += line + "\n";
        }
    }
    text += "\n"
            "Without --config, settings are read from vek-reader/vek-reader.conf in the user's\n"
            "settings folder ($XDG_CONFIG_HOME, ~/.config) when it exists: \"key = value\"\n"
            "lines, the keys named as the settings above without \"--\", and one [reader]\n"
            "section per reader with \"type = stdin|lines|serial|wedge|pcsc|mqtt\" and that\n"
            "reader's settings. Readers on the command line take the place of the file's.\n";
    return text;
}
