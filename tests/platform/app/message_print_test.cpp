#include <Message.h>

#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace
{

// What `print` writes to stdout, read back through a temporary file behind it.
std::string Captured(const std::function<void()>& print)
{
    fflush(stdout);
    char path[] = "/tmp/message_print_XXXXXX";
    int file = mkstemp(path);
    if (file < 0)
        return "mkstemp failed";
    unlink(path);
    int savedStdout = dup(STDOUT_FILENO);
    dup2(file, STDOUT_FILENO);
    print();
    fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);

    std::string printed;
    char buffer[4096];
    ssize_t length;
    off_t offset = 0;
    while ((length = pread(file, buffer, sizeof buffer, offset)) > 0) {
        printed.append(buffer, (size_t)length);
        offset += length;
    }
    close(file);
    return printed;
}

std::string PrintedForm(const BMessage& message)
{
    return Captured([&] { message.PrintToStream(); });
}

const char* kRfidHeader = "BMessage: what = RFID (0x52464944, or 1380337988)\n";

} // namespace

TEST(MessagePrint, Int32ShowsHexDecimalAndCharacters)
{
    BMessage message('RFID');
    message.AddInt32("_time", 57);
    message.AddInt32("code", 0x54524943);
    message.AddInt32("negative", -1);
    EXPECT_EQ(std::string(kRfidHeader) +
                  "    entry          _time, type='LONG', c=1, size= 4, data[0]: 0x39 (57, '')\n"
                  "    entry           code, type='LONG', c=1, size= 4, data[0]: 0x54524943 "
                  "(1414678851, 'TRIC')\n"
                  "    entry       negative, type='LONG', c=1, size= 4, data[0]: 0xffffffff (-1, "
                  "'\\xff\\xff\\xff\\xff')\n",
              PrintedForm(message));
}

TEST(MessagePrint, StringsShowTheirSizeWithTheNul)
{
    BMessage message('RFID');
    message.AddString("_tagstr", "A1B2");
    message.AddString("_fMes", "");
    EXPECT_EQ(std::string(kRfidHeader) +
                  "    entry        _tagstr, type='CSTR', c=1, size=5, data[0]: \"A1B2\"\n"
                  "    entry          _fMes, type='CSTR', c=1, size=1, data[0]: \"\"\n",
              PrintedForm(message));
}

TEST(MessagePrint, BoolFloatInt64AndRect)
{
    BMessage message('RFID');
    message.AddBool("flag", true);
    message.AddBool("off", false);
    message.AddFloat("ratio", 1.5f);
    message.AddInt64("when", 0x4142434445464748LL);
    message.AddRect("frame", BRect(30, 50, 340, 100.5f));
    EXPECT_EQ(std::string(kRfidHeader) +
                  "    entry           flag, type='BOOL', c=1, size= 1, data[0]: 1\n"
                  "    entry            off, type='BOOL', c=1, size= 1, data[0]: 0\n"
                  "    entry          ratio, type='FLOT', c=1, size= 4, data[0]: 1.5000\n"
                  "    entry           when, type='LLNG', c=1, size= 8, data[0]: "
                  "0x4142434445464748 (4702394921427289928, 'ABCDEFGH')\n"
                  "    entry          frame, type='RECT', c=1, size=16, data[0]: "
                  "BRect(l:30.0, t:50.0, r:340.0, b:100.5)\n",
              PrintedForm(message));
}

TEST(MessagePrint, UndecodedTypesShowOnlyTheirSize)
{
    BMessage message('RFID');
    message.AddMessenger("_f2CallMe", BMessenger());
    message.AddPointer("pointer", &message);
    message.AddData("raw", B_RAW_TYPE, "abc", 3);
    BMessage nested('NEST');
    nested.AddInt32("hidden", 1);
    message.AddMessage("nested", &nested);
    const char* printed = "    entry      _f2CallMe, type='MSNG', c=1, size=24,\n"
                          "    entry        pointer, type='PNTR', c=1, size= 8,\n"
                          "    entry            raw, type='RAWT', c=1, size= 3,\n";
    std::string nestedLine = "    entry         nested, type='MSGG', c=1, size=" +
                             std::to_string(nested.FlattenedSize()) + ",\n";
    EXPECT_EQ(std::string(kRfidHeader) + printed + nestedLine, PrintedForm(message));
}

TEST(MessagePrint, RefsShowDeviceDirectoryAndName)
{
    entry_ref ref(3, 1234, "givecard2");
    BMessage message(B_SIMPLE_DATA);
    message.AddRef("refs", &ref);
    EXPECT_EQ("BMessage: what = DATA (0x44415441, or 1145132097)\n"
              "    entry           refs, type='RREF', c=1, size=22, data[0]: device=3, "
              "directory=1234, name=\"givecard2\", path=\"\"\n",
              PrintedForm(message));
}

TEST(MessagePrint, RefsToRealFilesShowTheirPath)
{
    char folder[] = "/tmp/message_print_ref_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    char resolved[PATH_MAX];
    ASSERT_NE(nullptr, realpath(folder, resolved));
    std::string file = std::string(resolved) + "/givecard2";
    FILE* created = fopen(file.c_str(), "w");
    ASSERT_NE(nullptr, created);
    fclose(created);

    entry_ref ref;
    ASSERT_EQ(B_OK, get_ref_for_path(file.c_str(), &ref));
    BMessage message(B_SIMPLE_DATA);
    message.AddRef("refs", &ref);
    std::string printed = PrintedForm(message);
    unlink(file.c_str());
    rmdir(folder);

    char expected[PATH_MAX + 200];
    snprintf(expected, sizeof expected,
             "    entry           refs, type='RREF', c=1, size=22, data[0]: device=%ld, "
             "directory=%lld, name=\"givecard2\", path=\"%s\"\n",
             (long)(int32)ref.device, (long long)ref.directory, file.c_str());
    EXPECT_EQ(std::string("BMessage: what = DATA (0x44415441, or 1145132097)\n") + expected,
              printed);
}

TEST(MessagePrint, LongNamesOverflowTheColumn)
{
    BMessage message('RFID');
    message.AddInt32("abcdefghijklmnopqrst", 7);
    EXPECT_EQ(
        std::string(kRfidHeader) +
            "    entry abcdefghijklmnopqrst, type='LONG', c=1, size= 4, data[0]: 0x7 (7, '')\n",
        PrintedForm(message));
}

TEST(MessagePrint, FurtherValuesAlignUnderTheFirst)
{
    BMessage message('RFID');
    message.AddInt32("list", 1);
    message.AddInt32("list", 2);
    message.AddInt32("list", 0x41424344);
    message.AddString("texts", "one");
    message.AddString("texts", "three");
    // The prefix "    entry           list, type='LONG', c=3, size= 4, " is 53 wide; the
    // string field's is one narrower, its size having no width.
    std::string intIndent(53, ' ');
    std::string textIndent(52, ' ');
    EXPECT_EQ(std::string(kRfidHeader) +
                  "    entry           list, type='LONG', c=3, size= 4, data[0]: 0x1 (1, '')\n" +
                  intIndent + "data[1]: 0x2 (2, '')\n" + intIndent +
                  "data[2]: 0x41424344 (1094861636, 'ABCD')\n" +
                  "    entry          texts, type='CSTR', c=2, size=4, data[0]: \"one\"\n" +
                  textIndent + "data[1]: \"three\"\n",
              PrintedForm(message));
}

TEST(MessagePrint, WhatCodesReadAsCharacters)
{
    EXPECT_EQ("BMessage: what =  (0x0, or 0)\n", PrintedForm(BMessage()));
    EXPECT_EQ("BMessage: what = _QRQ (0x5f515251, or 1599165009)\n",
              PrintedForm(BMessage(B_QUIT_REQUESTED)));
    // The characters stop at the first NUL byte; the decimal is signed.
    EXPECT_EQ("BMessage: what = \\xff (0xff000000, or -16777216)\n",
              PrintedForm(BMessage(0xff000000)));
    EXPECT_EQ("BMessage: what =  (0x41, or 65)\n", PrintedForm(BMessage(0x41)));
}

TEST(MessagePrint, InterleavesWithTheCallersPrintf)
{
    BMessage message('RFID');
    message.AddInt32("_time", 57);
    std::string printed = Captured([&] {
        printf("before ");
        message.PrintToStream();
        printf("after\n");
    });
    EXPECT_EQ(std::string("before ") + kRfidHeader +
                  "    entry          _time, type='LONG', c=1, size= 4, data[0]: 0x39 (57, '')\n"
                  "after\n",
              printed);
}

TEST(MessagePrint, SendersControlBytesAreEscaped)
{
    BMessage message(0x1b5b3331);
    message.AddString("\x1b]0;name\x07", "\x1b[2J tag\r\n");
    message.AddString("text", "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xc2\x9b"
                              "1m \xc3 \xe2\x82");
    message.AddInt32("code", 0x410d0a42);
    EXPECT_EQ("BMessage: what = \\x1b[31 (0x1b5b3331, or 458961713)\n"
              "    entry \\x1b]0;name\\x07, type='CSTR', c=1, size=11, data[0]: "
              "\"\\x1b[2J tag\\x0d\\x0a\"\n"
              "    entry           text, type='CSTR', c=1, size=21, data[0]: "
              "\"Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \\xc2\\x9b1m \\xc3 \\xe2\\x82\"\n"
              "    entry           code, type='LONG', c=1, size= 4, data[0]: 0x410d0a42 "
              "(1091373634, 'A\\x0d\\x0aB')\n",
              PrintedForm(message));
}
