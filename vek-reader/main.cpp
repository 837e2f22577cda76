// vek-reader: reads RFID tags from the readers it is given and sends each
// read to the running client.

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
        fprintf(stderr, "vek-reader: %s\n", error.c_str());
        return 1;
    case ParseResult::kRun:
        break;
    }

    Readers readers;
    if (!MakeReaders(options, &readers, &error)) {
        fprintf(stderr, "vek-reader: %s\n", error.c_str());
        return 1;
    }
    ReaderService service(options, std::move(readers));
    if (service.InitCheck() != B_OK) {
        fprintf(stderr, "vek-reader: cannot start: %s\n", strerror(service.InitCheck()));
        return 1;
    }
    service.Run();
    service.Stop();
    return 0;
}
