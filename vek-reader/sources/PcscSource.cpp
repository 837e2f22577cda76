#include "sources/PcscSource.h"

#include "sources/BackOff.h"

#include <Errors.h>

#include <winscard.h>

#include <stdio.h>
#include <string.h>

#include <vector>

namespace
{

// The pseudo-reader whose state changes when a reader is plugged in or out.
const char kPnpReader[] = "\\\\?PnP?\\Notification";

// Raising stop cancels the wait for news (SCardCancel), but pcsc-lite drops
// a cancel that comes before the wait has begun: the wait is bounded for that
// case alone.
constexpr DWORD kWaitMs = 1000;

// pcsc-lite counts card insertions and removals in the high word of a
// reader's event state.
DWORD EventCount(DWORD state)
{
    return state >> 16;
}

std::string Describe(LONG result)
{
    if (result == SCARD_E_NO_SERVICE)
        return "pcscd is not running";
    return pcsc_stringify_error(result);
}

// Results after which the connection to pcscd is of no more use.
bool ServiceGone(LONG result)
{
    return result == SCARD_E_NO_SERVICE || result == SCARD_E_SERVICE_STOPPED ||
           result == SCARD_F_COMM_ERROR || result == SCARD_E_INVALID_HANDLE;
}

std::string Hex(const BYTE* bytes, size_t count, const char* separator = "")
{
    std::string text;
    for (size_t i = 0; i < count; i++) {
        char digits[3];
        snprintf(digits, sizeof(digits), "%02X", bytes[i]);
        if (i > 0)
            text += separator;
        text += digits;
    }
    return text;
}

struct Reader {
    std::string name;
    DWORD state = SCARD_STATE_UNAWARE;
};

// One connection to pcscd and the readers it watches.
class Watch
{
public:
    Watch(const PcscSettings& settings, TagSink& sink) : fSettings(settings), fSink(sink) {}
    ~Watch()
    {
        if (fConnected)
            SCardReleaseContext(fContext);
    }

    LONG Connect()
    {
        LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &fContext);
        fConnected = result == SCARD_S_SUCCESS;
        return result;
    }

    // Reports every card that arrives until stop is raised (SCARD_S_SUCCESS)
    // or pcscd is gone (its error).
    LONG Run(const StopSignal& stop)
    {
        StopSignal::Hook cancel(stop, [this] { SCardCancel(fContext); });
        bool relist = true;
        while (!stop.IsRaised()) {
            if (relist) {
                LONG result = ListReaders();
                if (result != SCARD_S_SUCCESS)
                    return result;
                relist = false;
            }
            std::vector<SCARD_READERSTATE> states(fReaders.size() + 1);
            states[0].szReader = kPnpReader;
            states[0].dwCurrentState = fPnpState;
            for (size_t i = 0; i < fReaders.size(); i++) {
                states[i + 1].szReader = fReaders[i].name.c_str();
                states[i + 1].dwCurrentState = fReaders[i].state;
            }
            LONG result = SCardGetStatusChange(fContext, kWaitMs, states.data(), states.size());
            if (result == SCARD_E_TIMEOUT || result == SCARD_E_CANCELLED)
                continue;
            if (result == SCARD_E_UNKNOWN_READER || result == SCARD_E_READER_UNAVAILABLE) {
                relist = true;
                continue;
            }
            if (result != SCARD_S_SUCCESS)
                return result;

            relist = states[0].dwEventState & SCARD_STATE_CHANGED;
            fPnpState = states[0].dwEventState & ~SCARD_STATE_CHANGED;
            for (size_t i = 0; i < fReaders.size(); i++) {
                const SCARD_READERSTATE& state = states[i + 1];
                DWORD now = state.dwEventState & ~SCARD_STATE_CHANGED;
                fReaders[i].state = now;
                if (!(state.dwEventState & SCARD_STATE_CHANGED))
                    continue;
                if (now & (SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE)) {
                    relist = true;
                    continue;
                }
                if (!Arrived(state.dwCurrentState, now))
                    continue;
                if (now & SCARD_STATE_MUTE) {
                    fSink.Skipped(fSettings.name,
                                  "the card on " + fReaders[i].name + " does not answer");
                    continue;
                }
                result = ReadCard(fReaders[i].name);
                if (ServiceGone(result))
                    return result;
            }
        }
        return SCARD_S_SUCCESS;
    }

private:
    // A card that stays is one read; one that was taken away and put back
    // between two looks has raised the event count.
    static bool Arrived(DWORD was, DWORD now)
    {
        if (!(now & SCARD_STATE_PRESENT))
            return false;
        return !(was & SCARD_STATE_PRESENT) || EventCount(was) != EventCount(now);
    }

    LONG ListReaders()
    {
        std::vector<char> names;
        LONG result;
        do {
            DWORD size = 0;
            result = SCardListReaders(fContext, nullptr, nullptr, &size);
            if (result == SCARD_S_SUCCESS) {
                names.resize(size);
                result = SCardListReaders(fContext, nullptr, names.data(), &size);
            }
            // A reader plugged in between the two calls needs a larger buffer.
        } while (result == SCARD_E_INSUFFICIENT_BUFFER);
        if (result == SCARD_E_NO_READERS_AVAILABLE) {
            names.clear();
        } else if (result != SCARD_S_SUCCESS) {
            return result;
        }

        std::vector<Reader> readers;
        for (const char* name = names.data(); name < names.data() + names.size() && *name != 0;
             name += strlen(name) + 1) {
            if (fSettings.match.empty() || strstr(name, fSettings.match.c_str()) != nullptr) {
                Reader reader{name};
                for (const Reader& known : fReaders) {
                    if (known.name == reader.name)
                        reader.state = known.state;
                }
                readers.push_back(reader);
            }
        }
        fReaders = std::move(readers);
        return SCARD_S_SUCCESS;
    }

    // Asks the card on the reader for its UID and reports it, or says why not.
    LONG ReadCard(const std::string& reader)
    {
        SCARDHANDLE card;
        DWORD protocol;
        LONG result = SCardConnect(fContext, reader.c_str(), SCARD_SHARE_SHARED,
                                   SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
        if (result != SCARD_S_SUCCESS) {
            if (!ServiceGone(result))
                fSink.Skipped(fSettings.name,
                              "cannot connect to the card on " + reader + ": " + Describe(result));
            return result;
        }
        const BYTE getUid[] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
        BYTE answer[MAX_BUFFER_SIZE];
        DWORD length = sizeof(answer);
        result = SCardTransmit(card, protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1,
                               getUid, sizeof(getUid), nullptr, answer, &length);
        SCardDisconnect(card, SCARD_LEAVE_CARD);

        std::string why;
        if (result != SCARD_S_SUCCESS) {
            if (ServiceGone(result))
                return result;
            why = "cannot ask for the UID: " + Describe(result);
        } else if (length < 2) {
            why = "short answer to the UID request (" + std::to_string(length) + " bytes)";
        } else if (answer[length - 2] != 0x90 || answer[length - 1] != 0x00) {
            why = "the card refused the UID request (status " + Hex(answer + length - 2, 2, " ") +
                  ")";
        } else if (length == 2) {
            why = "the card answered the UID request without a UID";
        }
        if (!why.empty()) {
            fSink.Skipped(fSettings.name, "card on " + reader + ": " + why);
            return SCARD_S_SUCCESS;
        }

        TagRead read;
        read.reader = fSettings.name;
        read.tag = Hex(answer, length - 2);
        fSink.Read(read);
        return SCARD_S_SUCCESS;
    }

    const PcscSettings& fSettings;
    TagSink& fSink;
    SCARDCONTEXT fContext = 0;
    bool fConnected = false;
    std::vector<Reader> fReaders;
    DWORD fPnpState = SCARD_STATE_UNAWARE;
};

} // namespace

PcscSource::PcscSource(const PcscSettings& settings) : fSettings(settings) {}

PcscSource::~PcscSource() = default;

const std::string& PcscSource::Name() const
{
    return fSettings.name;
}

// pcscd that is not running yet is no error: the service waits for it, as it
// waits for a reader that is plugged in later.
status_t PcscSource::Check(std::string* error)
{
    SCARDCONTEXT context;
    LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (result == SCARD_S_SUCCESS) {
        SCardReleaseContext(context);
        return B_OK;
    }
    if (result == SCARD_E_NO_SERVICE)
        return B_OK;
    if (error != nullptr)
        *error = "pcsc-lite cannot be used: " + Describe(result);
    return B_ERROR;
}

void PcscSource::Run(TagSink& sink, const StopSignal& stop)
{
    BackOff backOff;
    bool lost = false;
    while (!stop.IsRaised()) {
        Watch watch(fSettings, sink);
        LONG result = watch.Connect();
        if (result == SCARD_S_SUCCESS) {
            if (lost)
                sink.Back(fSettings.name);
            lost = false;
            backOff.Reset();
            result = watch.Run(stop);
            if (result == SCARD_S_SUCCESS)
                return;
        }
        if (!lost)
            sink.Lost(fSettings.name, Describe(result));
        lost = true;
        backOff.Wait(stop);
    }
}
