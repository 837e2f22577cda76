#ifndef VEK_READER_LOG_H
#define VEK_READER_LOG_H

// The service's messages on standard error, one line each, with a level.
// When standard error is the systemd journal (JOURNAL_STREAM names it), each
// line starts with the level as "<3>" … so that the journal files it by
// priority; otherwise it starts with "vek-reader: ". The reads themselves are
// the log on standard output, not messages.

enum class Level {
    // The service cannot do what it is for: it ends, or reads are lost.
    kError = 3,
    // Something is wrong that the service works around: a reader away, a
    // client that does not take reads.
    kWarning = 4,
    // Worth knowing: input that is no read, a reader or client back.
    kNotice = 5,
};

void Say(Level level, const char* format, ...) __attribute__((format(printf, 2, 3)));

#endif
