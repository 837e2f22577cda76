// Where applications' sockets go: one private folder, names that stay inside
// it, fit a socket address, and ignore the case of the signature.

#include <Application.h>
#include <Messenger.h>

#include "app/AppSocket.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using BPrivate::AppSocket;

namespace
{

class AppSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alarm(60);
        setenv("XDG_RUNTIME_DIR", fRuntime.Path().c_str(), 1);
    }

    void TearDown() override { alarm(0); }

    ScratchDir fRuntime;
};

TEST_F(AppSocketTest, FolderIsPrivateAndCheckedEachTimeElseOneUnderHomeIsUsed)
{
    setenv("HOME", (fRuntime / "home").c_str(), 1);
    ASSERT_EQ(0, mkdir((fRuntime / "home").c_str(), 0755));
    std::string folder;
    bool fallback = true;
    ASSERT_EQ(B_OK, AppSocket::Folder(&folder, &fallback));
    EXPECT_EQ(fRuntime / "be-applications", folder);
    EXPECT_FALSE(fallback);
    struct stat info;
    ASSERT_EQ(0, stat(folder.c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777);
    EXPECT_EQ(std::vector<std::string>{folder}, AppSocket::SearchFolders());

    // Open to others, or a link: passed over for a private folder in the home folder.
    const std::string preferred = folder;
    char host[256] = "";
    gethostname(host, sizeof(host) - 1);
    const std::string home = fRuntime / "home/.cache/be-applications-" + host;
    ASSERT_EQ(0, chmod(preferred.c_str(), 0770));
    ASSERT_EQ(B_OK, AppSocket::Folder(&folder, &fallback));
    EXPECT_TRUE(fallback);
    EXPECT_EQ(home, folder);
    ASSERT_EQ(0, stat(folder.c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777);
    EXPECT_EQ(std::vector<std::string>{home}, AppSocket::SearchFolders());
    ASSERT_EQ(0, rmdir(preferred.c_str()));
    ASSERT_EQ(0, symlink(fRuntime.Path().c_str(), preferred.c_str()));
    ASSERT_EQ(B_OK, AppSocket::Folder(&folder, &fallback));
    EXPECT_EQ(home, folder);
    ASSERT_EQ(0, unlink(preferred.c_str()));

    // Safe again: both are searched, the registering one first.
    ASSERT_EQ(B_OK, AppSocket::Folder(&folder, &fallback));
    EXPECT_EQ(preferred, folder);
    EXPECT_EQ((std::vector<std::string>{preferred, home}), AppSocket::SearchFolders());

    // A home folder of others is no safe place either.
    ASSERT_EQ(0, chmod(preferred.c_str(), 0777));
    ASSERT_EQ(0, chmod(home.c_str(), 0755));
    EXPECT_EQ(B_NOT_ALLOWED, AppSocket::Folder(&folder));
    EXPECT_TRUE(AppSocket::SearchFolders().empty());
    ASSERT_EQ(0, chmod(preferred.c_str(), 0700));

    // Without a runtime folder, one per user in /tmp.
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ("/tmp/be-applications-" + std::to_string(getuid()), AppSocket::PreferredFolder());
}

TEST_F(AppSocketTest, SignatureNamesStayInTheFolderAndFitAnAddress)
{
    const std::string folder = "/run/user/1000/be-applications";
    std::string plain = AppSocket::SignaturePath(folder, "application/VEK_BeOS");
    EXPECT_EQ(plain, AppSocket::SignaturePath(folder, "APPLICATION/vek_beos"));
    EXPECT_NE(plain, AppSocket::SignaturePath(folder, "application/VEK_Zeta"));

    for (const char* signature :
         {"application/../../etc/passwd", "application/a b\\c%2f", "application/\n\t"}) {
        std::string path = AppSocket::SignaturePath(folder, signature);
        EXPECT_EQ(folder + "/", path.substr(0, folder.size() + 1)) << signature;
        EXPECT_EQ(std::string::npos, path.find('/', folder.size() + 1)) << path;
    }
    // "%2f" typed and '/' escaped must not meet.
    EXPECT_NE(AppSocket::SignaturePath(folder, "application/a/b"),
              AppSocket::SignaturePath(folder, "application/a%2fb"));

    std::string longSignature = "application/" + std::string(200, 'x');
    std::string longPath = AppSocket::SignaturePath(folder, longSignature.c_str());
    EXPECT_LT(longPath.size(), sizeof(sockaddr_un::sun_path));
    EXPECT_NE(longPath, AppSocket::SignaturePath(folder, (longSignature + "y").c_str()));
}

TEST_F(AppSocketTest, LongSignatureRegistersAndIsFound)
{
    std::string signature = "application/x-vnd." + std::string(180, 'q');
    BApplication app(signature.c_str());
    ASSERT_EQ(B_OK, app.InitCheck());
    status_t status;
    BMessenger found(signature.c_str(), -1, &status);
    EXPECT_EQ(B_OK, status);
    EXPECT_TRUE(found.IsTargetLocal());
    BMessenger other(("application/x-vnd." + std::string(180, 'r')).c_str(), -1, &status);
    EXPECT_EQ(B_BAD_VALUE, status);
    EXPECT_FALSE(other.IsValid());
}

} // namespace
