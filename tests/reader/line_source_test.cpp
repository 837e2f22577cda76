// Tags from text: a named pipe that scripts write to, one writer after
// another.

#include "reader/SourceRun.h"
#include "sources/LineSource.h"
#include "support/ScratchDir.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// What a script does: opens the pipe, writes, closes.
void WriteOnce(const std::string& path, const std::string& text)
{
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), (ssize_t)text.size());
    close(fd);
}

TEST(LineSource, TheEndOfEachWriterOfAPipeEndsItsLine)
{
    ScratchDir folder;
    LineSettings settings;
    settings.name = "script";
    settings.path = folder / "tags";
    ASSERT_EQ(mkfifo(settings.path.c_str(), 0600), 0);
    LineSource source(settings);
    std::string error;
    ASSERT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);

    // The first writer's line has no line break: it ends with the writer,
    // not glued to what the next one writes.
    WriteOnce(settings.path, "04A1B2C3");
    ASSERT_TRUE(sink.WaitForReads(1, 5000));
    WriteOnce(settings.path, "0455AA12\n12");
    ASSERT_TRUE(sink.WaitForReads(3, 5000));
    WriteOnce(settings.path, "34\n");
    ASSERT_TRUE(sink.WaitForReads(4, 5000));

    std::vector<std::string> tags;
    for (const TagRead& read : sink.Reads()) {
        tags.push_back(read.tag);
        EXPECT_EQ(read.reader, "script");
        EXPECT_EQ(read.fewestDigits, 4u);
        EXPECT_FALSE(read.repeats);
    }
    EXPECT_EQ(tags, (std::vector<std::string>{"04A1B2C3", "0455AA12", "12", "34"}));
    EXPECT_TRUE(sink.Losses().empty());
    // Waiting for the next writer, it stops at once.
    EXPECT_LT(running.Stop().count(), 1000);
}

} // namespace
