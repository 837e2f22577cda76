// send-message: sends a message to a running application, addressed by its signature.

#include <Application.h>
#include <Message.h>
#include <Messenger.h>

#include "ToolMain.h"

#include <memory>
#include <string>
#include <vector>

#include <errno.h>
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{

constexpr int kDelivered = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void PrintUsage(FILE* stream)
{
    fprintf(stream,
            "usage: send-message [--count N] [--timeout SECONDS] SIGNATURE WHAT [FIELD...]\n"
            "  WHAT     a four-character code ('RFID' or RFID) or a number\n"
            "  FIELD    NAME=TEXT                  a string\n"
            "           NAME:TYPE=VALUE            TYPE: string, int32, int64, bool, float\n"
            "           NAME:messenger=self        a messenger to this process\n"
            "           a name given again adds a value to the field\n"
            "  --count N         send the message N times (default 1)\n"
            "  --timeout SECONDS give up when the application does not take a message in time\n"
            "A message counts as delivered once it is in the application's queue.\n"
            "Exit status: 0 all delivered, 1 not running or not all delivered (the number\n"
            "that was not is printed), 2 usage error.\n");
}

int UsageError(const char* format, const char* detail)
{
    fprintf(stderr, "send-message: ");
    fprintf(stderr, format, detail);
    fprintf(stderr, "\n");
    PrintUsage(stderr);
    return kUsage;
}

bool ParseInteger(const char* text, long long minimum, long long maximum, long long* value)
{
    if (*text == '\0')
        return false;
    errno = 0;
    char* end;
    long long parsed = strtoll(text, &end, 0);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum)
        return false;
    *value = parsed;
    return true;
}

bool ParseWhat(const char* text, uint32* what)
{
    size_t length = strlen(text);
    bool quoted = length == 6 && text[0] == '\'' && text[5] == '\'';
    if (quoted) {
        text++;
        length = 4;
    }
    long long number;
    if (length == 4 && (quoted || !ParseInteger(text, 0, UINT32_MAX, &number))) {
        *what = (uint32)(uint8)text[0] << 24 | (uint32)(uint8)text[1] << 16 |
                (uint32)(uint8)text[2] << 8 | (uint32)(uint8)text[3];
        return true;
    }
    if (!ParseInteger(text, INT32_MIN, UINT32_MAX, &number))
        return false;
    *what = (uint32)number;
    return true;
}

// Adds one NAME=TEXT or NAME:TYPE=VALUE field; an error text when it is bad.
std::string AddField(BMessage* message, const std::string& field, bool* wantsSelf)
{
    size_t equals = field.find('=');
    if (equals == std::string::npos || equals == 0)
        return "bad field \"" + field + "\": NAME=VALUE expected";
    std::string name = field.substr(0, equals);
    std::string value = field.substr(equals + 1);
    std::string type = "string";
    size_t colon = name.find(':');
    if (colon != std::string::npos) {
        type = name.substr(colon + 1);
        name = name.substr(0, colon);
        if (name.empty())
            return "bad field \"" + field + "\": no name";
    }

    status_t status;
    long long number;
    if (type == "string") {
        status = message->AddString(name.c_str(), value.c_str());
    } else if (type == "int32") {
        if (!ParseInteger(value.c_str(), INT32_MIN, INT32_MAX, &number))
            return "bad int32 value \"" + value + "\"";
        status = message->AddInt32(name.c_str(), (int32)number);
    } else if (type == "int64") {
        if (!ParseInteger(value.c_str(), INT64_MIN, INT64_MAX, &number))
            return "bad int64 value \"" + value + "\"";
        status = message->AddInt64(name.c_str(), (int64)number);
    } else if (type == "bool") {
        bool flag;
        if (value == "true" || value == "1")
            flag = true;
        else if (value == "false" || value == "0")
            flag = false;
        else
            return "bad bool value \"" + value + "\": true, false, 1 or 0";
        status = message->AddBool(name.c_str(), flag);
    } else if (type == "float") {
        char* end;
        errno = 0;
        float parsed = strtof(value.c_str(), &end);
        if (value.empty() || *end != '\0' || errno != 0 || !isfinite(parsed))
            return "bad float value \"" + value + "\"";
        status = message->AddFloat(name.c_str(), parsed);
    } else if (type == "messenger") {
        if (value != "self")
            return "bad messenger value \"" + value + "\": only self";
        *wantsSelf = true;
        // Filled in once this process can receive messages.
        status = message->AddMessenger(name.c_str(), BMessenger());
    } else {
        return "unknown type \"" + type + "\"";
    }
    if (status != B_OK)
        return "cannot add field \"" + field + "\": " + strerror(status);
    return "";
}

} // namespace

int main(int argc, char** argv)
{
    long long count = 1;
    bigtime_t timeout = B_INFINITE_TIMEOUT;
    int index = 1;
    for (; index < argc && strncmp(argv[index], "--", 2) == 0; index++) {
        const char* option = argv[index];
        if (strcmp(option, "--") == 0) {
            index++;
            break;
        }
        if (strcmp(option, "--help") == 0) {
            PrintUsage(stdout);
            return kDelivered;
        }
        if (strcmp(option, "--version") == 0) {
            PrintVersion("send-message");
            return kDelivered;
        }
        if (index + 1 >= argc)
            return UsageError("%s needs a value", option);
        const char* value = argv[++index];
        if (strcmp(option, "--count") == 0) {
            if (!ParseInteger(value, 1, INT32_MAX, &count))
                return UsageError("bad count \"%s\"", value);
        } else if (strcmp(option, "--timeout") == 0) {
            char* end;
            double seconds = strtod(value, &end);
            if (*value == '\0' || *end != '\0' || !(seconds >= 0) || seconds > 1e9)
                return UsageError("bad timeout \"%s\"", value);
            timeout = (bigtime_t)(seconds * 1000000.0);
        } else {
            return UsageError("unknown option %s", option);
        }
    }
    if (argc - index < 2)
        return UsageError("%s", "a signature and a message code are needed");
    const char* signature = argv[index++];
    uint32 what;
    if (!ParseWhat(argv[index], &what))
        return UsageError("bad message code \"%s\"", argv[index]);
    index++;

    BMessage message(what);
    bool wantsSelf = false;
    for (; index < argc; index++) {
        std::string error = AddField(&message, argv[index], &wantsSelf);
        if (!error.empty())
            return UsageError("%s", error.c_str());
    }

    // A messenger to this process needs an application object to receive at.
    std::unique_ptr<BApplication> self;
    if (wantsSelf) {
        self = std::make_unique<BApplication>("application/x-vnd.Be-cmd-send-message");
        // Its loop never runs: an interrupt should end the tool, not queue a quit request.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        for (int32 i = 0; i < message.CountNames(B_ANY_TYPE); i++) {
            char* name;
            type_code type;
            int32 values;
            if (message.GetInfo(B_MESSENGER_TYPE, i, &name, &type, &values) != B_OK)
                break;
            for (int32 value = 0; value < values; value++)
                message.ReplaceData(name, B_MESSENGER_TYPE, value, &be_app_messenger,
                                    sizeof(BMessenger));
        }
    }

    status_t status;
    BMessenger target(signature, -1, &status);
    if (status != B_OK) {
        fprintf(stderr, "send-message: no running application with signature %s\n", signature);
        return kFailed;
    }
    long long delivered = 0;
    for (; delivered < count; delivered++) {
        status = target.SendMessage(&message, (BHandler*)NULL, timeout);
        if (status != B_OK)
            break;
    }
    if (delivered == count)
        return kDelivered;
    // The first failure ends the run: a receiver that is gone or stuck takes no more.
    if (status == B_TIMED_OUT) {
        // No receipt: that message may be handled or not; the rest were not sent.
        fprintf(stderr,
                "send-message: %lld of %lld message%s not delivered, and message %lld perhaps: "
                "the application did not answer in time\n",
                count - delivered - 1, count, count == 1 ? "" : "s", delivered + 1);
        return kFailed;
    }
    fprintf(stderr, "send-message: %lld of %lld message%s not delivered: %s\n", count - delivered,
            count, count == 1 ? "" : "s",
            status == B_BAD_PORT_ID ? "the application is not running or is quitting"
                                    : strerror(status));
    return kFailed;
}
