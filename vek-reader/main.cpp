// vek-reader: reads RFID tags from the readers it is given and sends each
// read to the running client.

#include "Log.h"
#include "Options.h"
#include "Service.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    // The log of reads is read as it is written, also through a pipe; a
    // reader of it that goes away must not end the service.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    signal(SIGPIPE, SIG_IGN);
    ReaderService::BlockHangUps();

    ServiceOptions options;
    std::string error;
    switch (LoadOptions(argc, argv, &options, &error)) {
    case ParseResult::kHelp:
        fputs(Usage().c_str(), stdout);
        return 0;
    case ParseResult::kVersion:
        puts("vek-reader " VEK_READER_VERSION);
        return 0;
    case ParseResult::kError:
        Say(Level::kError, "%s", error.c_str());
        return 1;
    case ParseResult::kRun:
        break;
    }

    Readers readers;
    if (!MakeReaders(options, &readers, &error)) {
        Say(Level::kError, "%s", error.c_str());
        return 1;
    }
    ReaderService service(options, std::move(readers), {argv + 1, argv + argc});
    if (service.InitCheck() != B_OK) {
        Say(Level::kError, "cannot start: %s", strerror(service.InitCheck()));
        return 1;
    }
    service.Run();
    service.Stop();
    return 0;
}
