#ifndef VEK_READER_OUTPUTS_ATTENDANCE_H
#define VEK_READER_OUTPUTS_ATTENDANCE_H

// Who each read was: the name the client's avatar list gives the tag, for
// the service's log line and for the record file (--record), a CSV line per
// read. Keeps the last reads for the people tool and answers its requests
// for the next card (ReaderRequests.h).

#include <Message.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include <time.h>

class Attendance
{
public:
    // appFolder: the client's application folder; empty: the folder of the
    // service's program. record: the CSV file; empty: none.
    Attendance(const std::string& appFolder, const std::string& record);

    // The same, when the settings are read again.
    void Follow(const std::string& appFolder, const std::string& record);

    // The name the list gives tag now, or "unknown"; the read is recorded,
    // kept among the recent ones and answers the waiting requests. Any
    // thread.
    std::string Read(time_t when, const std::string& reader, const std::string& tag);

    // Answers a request of the people tool, kScanRequest or kRecentRequest.
    void Request(const BMessage* message);

private:
    struct Recent {
        time_t when;
        std::string reader;
        std::string tag;
    };
    struct Waiting {
        BMessenger asker;
        bigtime_t until;
    };

    void Record(time_t when, const std::string& reader, const std::string& tag,
                const std::string& name);

    std::string fListPath;
    std::string fRecordPath;

    std::mutex fLock;
    std::deque<Recent> fRecent;
    std::vector<Waiting> fWaiting;
    bool fRecordFailing = false;
};

#endif
