#include "support/RawAttributes.h"
#include "support/ScratchDir.h"

#include <SupportDefs.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/wait.h>

#include <string>

namespace
{

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs one of the built tools through the shell, arguments already quoted.
Result tool(const ScratchDir& scratch, const std::string& arguments)
{
    std::string errFile = scratch / ".stderr";
    std::string command = std::string(VEK_BUILD_DIR) + "/" + arguments + " 2>" + errFile;
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    size_t size;
    while (pipe != NULL && (size = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        result.out.append(buffer, size);
    int status = pipe != NULL ? pclose(pipe) : -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = scratch.ReadFile(".stderr");
    return result;
}

bool one_line(const std::string& text)
{
    return !text.empty() && text.find('\n') == text.size() - 1;
}

} // namespace

TEST(AttrTools, HelpAndUsageErrors)
{
    ScratchDir scratch;
    for (const char* name : {"listattr", "catattr", "addattr", "mimeset"}) {
        Result help = tool(scratch, std::string(name) + " --help");
        EXPECT_EQ(0, help.status) << name;
        EXPECT_NE(std::string::npos, help.out.find("usage:")) << name;
        Result bare = tool(scratch, name);
        EXPECT_EQ(1, bare.status) << name;
        EXPECT_TRUE(one_line(bare.err)) << name << ": " << bare.err;
        EXPECT_EQ("", bare.out) << name;
    }
    scratch.WriteFile("f", "");
    std::string f = " '" + (scratch / "f") + "'";
    for (const char* bad :
         {"addattr -t int32 n 12x", "addattr -t int32 n 3000000000", "addattr -t bool b maybe",
          "addattr -t rect r 1,2,3", "addattr -t raw r abc", "addattr -t raw:AB r 00",
          "addattr -t nosuch n v", "addattr -x n v"}) {
        Result result = tool(scratch, bad + f);
        EXPECT_EQ(1, result.status) << bad;
        EXPECT_TRUE(one_line(result.err)) << bad << ": " << result.err;
    }
    EXPECT_EQ("", tool(scratch, "listattr" + f).out) << "nothing was written by the failures";
}

TEST(AttrTools, WrittenValuesDecodeBack)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "");
    std::string path = scratch / "f";
    std::string f = " '" + path + "'";
    struct Case {
        const char* add;
        const char* shown;
    } cases[] = {
        {"-t string s /boot/home/logoimage", "/boot/home/logoimage\n"},
        {"-t mime m text/plain", "text/plain\n"},
        {"-t int32 i -5", "-5\n"},
        {"-t int64 l 8589934592", "8589934592\n"},
        {"-t bool b true", "true\n"},
        {"-t float x 0.5", "0.5\n"},
        {"-t rect r 100,100,415,329", "100,100,415,329\n"},
        {"-t raw w 00ff10", "00ff10\n"},
        {"-t raw:RECT short 0000c842", "0000c842\n"},
        {"plain word", "word\n"},
    };
    for (const Case& item : cases) {
        ASSERT_EQ(0, tool(scratch, std::string("addattr ") + item.add + f).status) << item.add;
        std::string name = item.add[0] == '-' ? strchr(item.add + 3, ' ') + 1 : item.add;
        name = name.substr(0, name.find(' '));
        Result shown = tool(scratch, "catattr " + name + f);
        EXPECT_EQ(0, shown.status) << item.add;
        EXPECT_EQ(item.shown, shown.out) << item.add;
    }
    // Strings go without their NUL, MIME strings with it; numbers in host order.
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "/boot/home/logoimage", 20),
              RawAttributes::Read(path, "s"));
    EXPECT_EQ(RawAttributes::Encode(B_MIME_STRING_TYPE, "text/plain", 11),
              RawAttributes::Read(path, "m"));
    int32 minusFive = -5;
    EXPECT_EQ(RawAttributes::Encode(B_INT32_TYPE, &minusFive, 4), RawAttributes::Read(path, "i"));
    EXPECT_EQ(RawAttributes::Encode(B_RECT_TYPE, "\0\0\xc8\x42", 4),
              RawAttributes::Read(path, "short"));

    Result list = tool(scratch, "listattr" + f);
    EXPECT_NE(std::string::npos, list.out.find("r\tRECT\t16\n"));
    EXPECT_NE(std::string::npos, list.out.find("short\tRECT\t4\n"));
    EXPECT_NE(std::string::npos, list.out.find("b\tBOOL\t1\n"));

    // Several files: each value after its file's name; one without the attribute fails the run
    // but does not stop it.
    scratch.WriteFile("g", "");
    Result both = tool(scratch, "catattr i '" + (scratch / "g") + "'" + f);
    EXPECT_EQ(1, both.status);
    EXPECT_EQ(path + ": -5\n", both.out);
    EXPECT_TRUE(one_line(both.err)) << both.err;
    EXPECT_EQ(1, tool(scratch, "listattr '" + (scratch / "none") + "'").status);
}

TEST(AttrTools, MimesetTypesByContent)
{
    ScratchDir scratch;
    static const unsigned char png[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00,
                                        0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
                                        0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00,
                                        0x00, 0x00, 0x1f, 0x15, 0xc4, 0x89};
    scratch.WriteFile("logo", std::string((const char*)png, sizeof(png)));
    scratch.WriteFile("list", "givecard2 A1B2\n");
    std::string logo = " '" + (scratch / "logo") + "'";
    std::string list = " '" + (scratch / "list") + "'";

    ASSERT_EQ(0, tool(scratch, "addattr -t mime BEOS:TYPE text/x-kept" + logo).status);
    Result set = tool(scratch, "mimeset" + logo + list + " '" + scratch.Path() + "'");
    EXPECT_EQ(0, set.status) << set.err;
    EXPECT_EQ("text/x-kept\n", tool(scratch, "catattr BEOS:TYPE" + logo).out);
    EXPECT_EQ("text/plain\n", tool(scratch, "catattr BEOS:TYPE" + list).out);
    EXPECT_EQ("application/x-vnd.Be-directory\n",
              tool(scratch, "catattr BEOS:TYPE '" + scratch.Path() + "'").out);

    EXPECT_EQ(0, tool(scratch, "mimeset -f" + logo).status);
    EXPECT_EQ("image/png\n", tool(scratch, "catattr BEOS:TYPE" + logo).out);
    EXPECT_EQ(RawAttributes::Encode(B_MIME_STRING_TYPE, "image/png", 10),
              RawAttributes::Read(scratch / "logo", "BEOS:TYPE"));
    EXPECT_EQ(1, tool(scratch, "mimeset '" + (scratch / "none") + "'").status);
}
