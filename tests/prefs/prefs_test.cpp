#include "support/CaptureStdout.h"
#include "support/RawAttributes.h"
#include "support/ScratchDir.h"

#include "VEKDefs.h"
#include "VEK_Prefs.h"

#include <Node.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <errno.h>
#include <math.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace
{

std::string rect_value(float l, float t, float r, float b)
{
    float values[4] = {l, t, r, b};
    return RawAttributes::Encode(B_RECT_TYPE, values, sizeof(values));
}

void expect_rect(const BRect& rect, float l, float t, float r, float b)
{
    EXPECT_EQ(l, rect.left);
    EXPECT_EQ(t, rect.top);
    EXPECT_EQ(r, rect.right);
    EXPECT_EQ(b, rect.bottom);
}

std::string run(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == NULL)
        return "<popen failed>";
    char buffer[512];
    size_t size;
    while ((size = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, size);
    int status = pclose(pipe);
    if (status != 0)
        output += "<exit " + std::to_string(status) + ">";
    return output;
}

// Makes a file immutable for its lifetime: even root can then neither open it
// for writing nor change its attributes (for other users a mode of 0444 does).
class Immutable
{
public:
    explicit Immutable(const std::string& path) : fFd(open(path.c_str(), O_RDONLY))
    {
        if (fFd >= 0 && ioctl(fFd, FS_IOC_GETFLAGS, &fFlags) == 0) {
            fFlags |= FS_IMMUTABLE_FL;
            fSet = ioctl(fFd, FS_IOC_SETFLAGS, &fFlags) == 0;
        }
        if (!fSet)
            fError = strerror(errno);
    }
    ~Immutable()
    {
        if (fSet) {
            fFlags &= ~FS_IMMUTABLE_FL;
            ioctl(fFd, FS_IOC_SETFLAGS, &fFlags);
        }
        if (fFd >= 0)
            close(fFd);
    }
    bool IsSet() const { return fSet; }
    const std::string& Error() const { return fError; }

private:
    int fFd;
    int fFlags = 0;
    bool fSet = false;
    std::string fError;
};

class PrefsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* saved = getenv("XDG_CONFIG_HOME");
        fHadConfig = saved != NULL;
        fSavedConfig = saved ? saved : "";
        fConfig = fScratch / "config";
        setenv("XDG_CONFIG_HOME", fConfig.c_str(), 1);
        fFolder = fConfig + "/_LP_x-vnd.NW";
        fFile = fFolder + "/PXL_settings";
        fSavedMask = umask(022);
    }

    void TearDown() override
    {
        umask(fSavedMask);
        if (fHadConfig)
            setenv("XDG_CONFIG_HOME", fSavedConfig.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    // Constructs the store and gives back what it printed.
    std::unique_ptr<Prefs> Start(std::string* trace)
    {
        CaptureStdout capture;
        std::unique_ptr<Prefs> prefs(new Prefs);
        *trace = capture.Stop();
        return prefs;
    }

    std::string StartAndStop()
    {
        std::string trace;
        Start(&trace);
        return trace;
    }

    // Plants a value the way other programs could: straight into the xattr.
    void Plant(const std::string& name, const std::string& value)
    {
        int error = RawAttributes::Plant(fFile, name, value);
        ASSERT_EQ(0, error) << strerror(error);
    }

    void MakeSettingsFile()
    {
        ASSERT_EQ(0, mkdir(fConfig.c_str(), 0755));
        ASSERT_EQ(0, mkdir(fFolder.c_str(), 0755));
        int fd = open(fFile.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }

    std::string Traces(const char* folderLine, std::initializer_list<const char*> middle)
    {
        std::string text = std::string(folderLine) + fFolder + "\n[Path:" + fFile + "]\n";
        for (const char* line : middle)
            text += line;
        return text + "Prefs '" + fFile + "' \n";
    }

    ScratchDir fScratch;
    std::string fConfig, fFolder, fFile;

private:
    bool fHadConfig = false;
    std::string fSavedConfig;
    mode_t fSavedMask = 0;
};

const char kSchonDa[] = ">> schon da: ";
const char kMussteMachen[] = ">> musste machen: ";

} // namespace

TEST_F(PrefsTest, FirstStartMakesTheFolderAndStoresEveryDefault)
{
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);

    EXPECT_EQ(Traces(kMussteMachen, {"[File not found]\n"}), trace);
    struct stat st;
    ASSERT_EQ(0, stat(fFolder.c_str(), &st));
    EXPECT_EQ(0755u, st.st_mode & 0777);
    ASSERT_EQ(0, stat(fFile.c_str(), &st));
    EXPECT_EQ(0, st.st_size);

    EXPECT_EQ(rect_value(100, 100, 415, 329), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ(RawAttributes::Encode(B_BOOL_TYPE, "\0", 1),
              RawAttributes::Read(fFile, "window_by_begin"));
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "/boot/home/logoimage", 20),
              RawAttributes::Read(fFile, "logo_fuji"));

    expect_rect(prefs->fWinRect, 100, 100, 415, 329);
    EXPECT_FALSE(prefs->fWindowByBegin);
    EXPECT_STREQ("/boot/home/logoimage", prefs->fLogoPath);
    EXPECT_FALSE(prefs->fError);

    // The platform's tools read the same file.
    std::string build = VEK_BUILD_DIR;
    std::istringstream listing(run(build + "/listattr '" + fFile + "'"));
    std::set<std::string> lines;
    for (std::string line; std::getline(listing, line);)
        lines.insert(line);
    EXPECT_EQ((std::set<std::string>{"prefs_window_rect\tRECT\t16", "window_by_begin\tBOOL\t1",
                                     "logo_fuji\tCSTR\t20"}),
              lines);
    EXPECT_EQ("100,100,415,329\n", run(build + "/catattr prefs_window_rect '" + fFile + "'"));
    EXPECT_EQ("false\n", run(build + "/catattr window_by_begin '" + fFile + "'"));
    EXPECT_EQ("/boot/home/logoimage\n", run(build + "/catattr logo_fuji '" + fFile + "'"));
}

TEST_F(PrefsTest, FolderWithoutFileCreatesTheFileThroughTheFolder)
{
    ASSERT_EQ(0, mkdir(fConfig.c_str(), 0755));
    ASSERT_EQ(0, mkdir(fFolder.c_str(), 0755));
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);

    EXPECT_EQ(Traces(kSchonDa, {"[File not found]\n", "[File created]\n"}), trace);
    EXPECT_EQ(rect_value(100, 100, 415, 329), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "/boot/home/logoimage", 20),
              RawAttributes::Read(fFile, "logo_fuji"));
    EXPECT_EQ("", fScratch.ReadFile("config/_LP_x-vnd.NW/PXL_settings"));
}

TEST_F(PrefsTest, LaterStartsReadAndWriteOnlyTheGreeting)
{
    StartAndStop();
    Plant("prefs_window_rect", rect_value(1, 2, 311, 52));
    Plant("window_by_begin", RawAttributes::Encode(B_BOOL_TYPE, "\1", 1));
    Plant("logo_fuji", RawAttributes::Encode(B_STRING_TYPE, "/boot/home/other", 17));
    fScratch.WriteFile("config/_LP_x-vnd.NW/PXL_settings", "0123456789ABCDEF");

    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    EXPECT_EQ(Traces(kSchonDa, {"[File found]\n"}), trace);
    EXPECT_EQ("Hello !\n89ABCDEF", fScratch.ReadFile("config/_LP_x-vnd.NW/PXL_settings"));
    expect_rect(prefs->fWinRect, 1, 2, 311, 52);
    EXPECT_TRUE(prefs->fWindowByBegin);
    EXPECT_STREQ("/boot/home/other", prefs->fLogoPath);
    EXPECT_EQ(rect_value(1, 2, 311, 52), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "/boot/home/other", 17),
              RawAttributes::Read(fFile, "logo_fuji"));

    // A reload after a move goes back to what is stored; SaveWin stores the frame only.
    prefs->fWinRect.Set(5, 6, 7, 8);
    prefs->fWindowByBegin = false;
    CaptureStdout quiet;
    EXPECT_TRUE(prefs->LoadPrefs());
    expect_rect(prefs->fWinRect, 1, 2, 311, 52);
    prefs->fWinRect.Set(40, 60, 350, 110);
    prefs->fWindowByBegin = false;
    EXPECT_TRUE(prefs->SaveWin());
    prefs.reset();
    EXPECT_EQ("", quiet.Stop());
    EXPECT_EQ(rect_value(40, 60, 350, 110), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ(RawAttributes::Encode(B_BOOL_TYPE, "\1", 1),
              RawAttributes::Read(fFile, "window_by_begin"));
}

TEST_F(PrefsTest, ShortAndEmptyValuesCountAsRead)
{
    MakeSettingsFile();
    float two[2] = {7, 8};
    Plant("prefs_window_rect", RawAttributes::Encode(B_RECT_TYPE, two, sizeof(two)));
    Plant("window_by_begin", RawAttributes::Encode(B_BOOL_TYPE, "", 0));
    Plant("logo_fuji", RawAttributes::Encode(B_STRING_TYPE, "", 0));

    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    EXPECT_EQ(Traces(kSchonDa, {"[File found]\n"}), trace);
    // The floats not stored keep the construction frame from the globals.
    expect_rect(prefs->fWinRect, 7, 8, WIN_X + WIN_W, WIN_Y + WIN_H);
    EXPECT_TRUE(prefs->fWindowByBegin);
    EXPECT_STREQ("/boot/home/logoimage", prefs->fLogoPath);
    EXPECT_FALSE(prefs->fError);
    EXPECT_EQ(RawAttributes::Encode(B_RECT_TYPE, two, sizeof(two)),
              RawAttributes::Read(fFile, "prefs_window_rect"));
}

TEST_F(PrefsTest, LogoTextsWithAndWithoutTheirNul)
{
    MakeSettingsFile();
    struct Case {
        std::string stored;
        std::string expected;
    } cases[] = {
        {std::string("/a/b\0zz", 7), "/a/b"},
        {"/x", "/xoot/home/logoimage"},
        {"/boot/home/logoimage", "/boot/home/logoimage"},
        {std::string(40, 'p'), std::string(40, 'p')},
        {std::string(300, 'y'), std::string(255, 'y')},
    };
    for (const Case& item : cases) {
        Plant("logo_fuji",
              RawAttributes::Encode(B_STRING_TYPE, item.stored.data(), item.stored.size()));
        std::string trace;
        std::unique_ptr<Prefs> prefs = Start(&trace);
        EXPECT_STREQ(item.expected.c_str(), prefs->fLogoPath) << item.stored.size();
        EXPECT_FALSE(prefs->fError);
    }

    // A byte other than 0 or 1 is still a flag.
    Plant("window_by_begin", RawAttributes::Encode(B_BOOL_TYPE, "\2", 1));
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    EXPECT_TRUE(prefs->fWindowByBegin);
}

TEST_F(PrefsTest, BrokenFrameRunsTheRecovery)
{
    MakeSettingsFile();
    // Too short to hold a type code: the read fails with a general error.
    Plant("prefs_window_rect", "ab");
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);

    EXPECT_EQ(Traces(kSchonDa, {"[File found]\n",
                                "Unknown error reading prefs_window_rect:\nGeneral system error\n",
                                "Prefs -Save ok\n"}),
              trace);
    EXPECT_TRUE(prefs->fError);
    float frame[4] = {WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H};
    EXPECT_EQ(RawAttributes::Encode(B_RECT_TYPE, frame, sizeof(frame)),
              RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ(RawAttributes::Encode(B_BOOL_TYPE, "\1", 1),
              RawAttributes::Read(fFile, "window_by_begin"));
    // The save found no logo buffer and wrote the default text with its NUL.
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "/boot/home/logoimage", 21),
              RawAttributes::Read(fFile, "logo_fuji"));
    EXPECT_TRUE(prefs->fWindowByBegin);
    EXPECT_STREQ("/boot/home/logoimage", prefs->fLogoPath);

    // A failed reload prints its line and keeps what was read before the failure.
    Plant("window_by_begin", "x");
    Plant("prefs_window_rect", rect_value(9, 9, 99, 99));
    CaptureStdout capture;
    EXPECT_FALSE(prefs->LoadPrefs());
    EXPECT_EQ("Unknown error reading window_by_begin:\nGeneral system error\n", capture.Stop());
    expect_rect(prefs->fWinRect, 9, 9, 99, 99);
    EXPECT_STREQ("/boot/home/logoimage", prefs->fLogoPath);
}

TEST_F(PrefsTest, SettingsThatCannotBeOpenedFailEveryAccess)
{
    // A file where the settings folder should be: nothing can be made or opened below it.
    ASSERT_EQ(0, mkdir(fConfig.c_str(), 0755));
    fScratch.WriteFile("config/_LP_x-vnd.NW", "not a folder");
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);

    EXPECT_EQ(
        Traces(kMussteMachen, {"[File not found]\n",
                               "Unknown error reading prefs_window_rect:\nBad file descriptor\n",
                               "Unknown error writing prefs_window_rect:\nBad file descriptor\n",
                               "Unknown error reading prefs_window_rect:\nBad file descriptor\n"}),
        trace);
    EXPECT_TRUE(prefs->fError);
    EXPECT_TRUE(prefs->fWindowByBegin);
    EXPECT_EQ(NULL, prefs->fLogoPath);
    expect_rect(prefs->fWinRect, WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H);

    CaptureStdout capture;
    EXPECT_FALSE(prefs->SaveWin());
    char text[] = "t";
    EXPECT_FALSE(prefs->PutStr("logo_fuji", text));
    prefs.reset();
    EXPECT_EQ("Unknown error writing prefs_window_rect:\nBad file descriptor\n"
              "Unknown error writing logo_fuji 't' \nBad file descriptor\n",
              capture.Stop());
    EXPECT_EQ("not a folder", fScratch.ReadFile("config/_LP_x-vnd.NW"));
}

TEST_F(PrefsTest, ReadOnlySettingsAreReadAndNeverWritten)
{
    MakeSettingsFile();
    Plant("prefs_window_rect", rect_value(40, 60, 350, 110));
    Plant("window_by_begin", RawAttributes::Encode(B_BOOL_TYPE, "\1", 1));
    fScratch.WriteFile("config/_LP_x-vnd.NW/PXL_settings", "untouched");
    std::optional<Immutable> readOnly(std::in_place, fFile);
    if (!readOnly->IsSet())
        GTEST_SKIP() << "cannot make the file immutable here (" << readOnly->Error() << ")";

    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    CaptureStdout capture;
    prefs->fWinRect.Set(1, 2, 3, 4);
    EXPECT_FALSE(prefs->SaveWin());
    EXPECT_TRUE(prefs->LoadPrefs());
    prefs.reset();
    std::string later = capture.Stop();
    readOnly.reset();

    // Said once; the missing "logo_fuji" takes its default without a failure.
    EXPECT_EQ(Traces(kSchonDa, {"[File found]\n", ("Prefs '" + fFile +
                                                   "' can't be written (Operation not allowed): "
                                                   "settings are read, not saved\n")
                                                      .c_str()}),
              trace);
    EXPECT_EQ("", later);
    EXPECT_EQ("untouched", fScratch.ReadFile("config/_LP_x-vnd.NW/PXL_settings"));
    EXPECT_EQ(rect_value(40, 60, 350, 110), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ("<missing>", RawAttributes::Read(fFile, "logo_fuji"));
}

TEST_F(PrefsTest, ReadOnlyStoreKeepsWhatItRead)
{
    MakeSettingsFile();
    Plant("prefs_window_rect", rect_value(40, 60, 350, 110));
    Plant("window_by_begin", RawAttributes::Encode(B_BOOL_TYPE, "\1", 1));
    std::unique_ptr<Prefs> prefs;
    {
        Immutable readOnly(fFile);
        if (!readOnly.IsSet())
            GTEST_SKIP() << "cannot make the file immutable here (" << readOnly.Error() << ")";
        std::string trace;
        prefs = Start(&trace);
    }

    EXPECT_FALSE(prefs->fError);
    expect_rect(prefs->fWinRect, 40, 60, 350, 110);
    EXPECT_TRUE(prefs->fWindowByBegin);
    EXPECT_STREQ("/boot/home/logoimage", prefs->fLogoPath);
}

TEST_F(PrefsTest, FramesOfNaNInfinityOrInvertedGiveTheDefault)
{
    const char kNoFrame[] = "Prefs: prefs_window_rect is no frame, the default is taken\n";
    const std::string bad[] = {
        rect_value(10, NAN, 320, 60),       rect_value(10, INFINITY, 320, 60),
        rect_value(-INFINITY, 10, 320, 60), rect_value(500, 500, 100, 100),
        rect_value(10, 60, 320, 59),        rect_value(1e30f, 1e30f, -1e30f, -1e30f),
    };
    for (const std::string& stored : bad) {
        MakeSettingsFile();
        Plant("prefs_window_rect", stored);
        std::string trace;
        std::unique_ptr<Prefs> prefs = Start(&trace);
        EXPECT_EQ(Traces(kSchonDa, {"[File found]\n", kNoFrame}), trace);
        expect_rect(prefs->fWinRect, 100, 100, 415, 329);
        EXPECT_FALSE(prefs->fError);

        // A reload judges the same way.
        prefs->fWinRect.Set(40, 60, 350, 110);
        CaptureStdout capture;
        EXPECT_TRUE(prefs->LoadPrefs());
        EXPECT_EQ(kNoFrame, capture.Stop());
        expect_rect(prefs->fWinRect, 100, 100, 415, 329);

        // Huge but finite frames, and frames of no width, are the window's to judge.
        Plant("prefs_window_rect", rect_value(1e30f, 1e30f, 1e30f, 1e30f));
        CaptureStdout quiet;
        EXPECT_TRUE(prefs->LoadPrefs());
        expect_rect(prefs->fWinRect, 1e30f, 1e30f, 1e30f, 1e30f);
        Plant("prefs_window_rect", rect_value(7, 8, 7, 8));
        EXPECT_TRUE(prefs->LoadPrefs());
        EXPECT_EQ("", quiet.Stop());
        expect_rect(prefs->fWinRect, 7, 8, 7, 8);
        prefs.reset();
        std::filesystem::remove_all(fConfig);
    }
}

TEST_F(PrefsTest, SaveStopsAtTheFirstFailedWrite)
{
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    ASSERT_EQ(0, removexattr(fFile.c_str(), "user.haiku.window_by_begin"));
    ASSERT_EQ(0, removexattr(fFile.c_str(), "user.haiku.logo_fuji"));
    // Fill the file's attribute space, so that only values already there can be replaced.
    std::string filler(200, 'f');
    int count = 0;
    for (; count < 5000; count++) {
        std::string name = "user.filler" + std::to_string(count);
        if (setxattr(fFile.c_str(), name.c_str(), filler.data(), filler.size(), 0) != 0)
            break;
    }
    if (count == 5000 || (errno != ENOSPC && errno != E2BIG))
        GTEST_SKIP() << "this file system does not run out of attribute space";
    for (int size = 100; size > 0; size /= 2) {
        std::string name = "user.small" + std::to_string(size);
        while (setxattr(fFile.c_str(), name.c_str(), filler.data(), (size_t)size, 0) == 0)
            name += "x";
    }

    CaptureStdout capture;
    EXPECT_FALSE(prefs->Save());
    std::string output = capture.Stop();
    EXPECT_EQ("Unknown error writing window_by_begin:\nNo space left on device\n", output);
    EXPECT_EQ(rect_value(100, 100, 415, 329), RawAttributes::Read(fFile, "prefs_window_rect"));
    EXPECT_EQ("<missing>", RawAttributes::Read(fFile, "logo_fuji"));
    EXPECT_TRUE(prefs->fError);
}

TEST_F(PrefsTest, IntegersAreFourByteLongs)
{
    std::string trace;
    std::unique_ptr<Prefs> prefs = Start(&trace);
    int32 def = -7, value = 0, stored = 12;
    EXPECT_TRUE(prefs->GetInt("count", &value, &def));
    EXPECT_EQ(-7, value);
    EXPECT_EQ(RawAttributes::Encode(B_INT32_TYPE, &def, 4), RawAttributes::Read(fFile, "count"));
    EXPECT_TRUE(prefs->PutInt("count", &stored));
    EXPECT_TRUE(prefs->GetInt("count", &value, &def));
    EXPECT_EQ(12, value);
    EXPECT_EQ(RawAttributes::Encode(B_INT32_TYPE, &stored, 4), RawAttributes::Read(fFile, "count"));
}
