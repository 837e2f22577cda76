#include "WindowHarness.h"
#include "support/ResidentMemory.h"

#include <Bitmap.h>
#include <Node.h>
#include <NodeInfo.h>

#include <jpeglib.h>

#include <vector>

class LogoTest : public WindowTest
{
};

TEST_F(LogoTest, StartUpShowsGivecard2AndFitsTheWindowToIt)
{
    Picture("givecard2", 100, 80);
    std::string trace = Open();

    std::string path = Avatar("givecard2");
    EXPECT_NE(std::string::npos, trace.find("Modus: 0 | search: '(null)'\nModus: A_INIT\nimage: '" +
                                            path + "'\nManageLogo end 'givecard2'\n"))
        << trace;

    BView* logo = fWindow->FindView("logo");
    ASSERT_NE(nullptr, logo);
    EXPECT_EQ(MainView(), logo->Parent());
    EXPECT_EQ(BRect(4, 4, 103, 83), logo->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 89), fWindow->Bounds());
}

TEST_F(LogoTest, StartUpWithoutGivecard2KeepsTheBuiltSize)
{
    std::string trace = Open();
    EXPECT_NE(std::string::npos, trace.find("ManageLogo BAD '" + Avatar("givecard2") + "'\n"));
    EXPECT_EQ(nullptr, fWindow->FindView("logo"));
    EXPECT_EQ(BRect(0, 0, 310, 50), fWindow->Bounds());
}

TEST_F(LogoTest, NullNameLooksForNone)
{
    Picture("givecard2", 100, 80);
    Open();

    std::string trace = Trace([&] { fWindow->ManageLogo(NULL); });
    EXPECT_EQ("image: '" + Avatar("none") + "'\nManageLogo BAD '" + Avatar("none") + "'\n", trace);
    ASSERT_NE(nullptr, fWindow->FindView("logo"));
    EXPECT_EQ(BRect(4, 4, 103, 83), fWindow->FindView("logo")->Frame());

    Picture("none", 40, 30);
    trace = Trace([&] { fWindow->ManageLogo(NULL); });
    EXPECT_EQ("image: '" + Avatar("none") + "'\nManageLogo end 'none'\n", trace);
    EXPECT_EQ(BRect(4, 4, 43, 33), fWindow->FindView("logo")->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 50), fWindow->Bounds()) << "30 + 10 is below the 50 minimum";
}

TEST_F(LogoTest, NamesThatAreNoPictureLeaveTheLogo)
{
    Picture("givecard2", 100, 80);
    ASSERT_TRUE(TestPictures::WriteText(Avatar("notes"), "just some words\n"));
    Open();

    // An empty name names the avatars folder itself.
    std::string trace = Trace([&] { fWindow->ManageLogo((char*)""); });
    EXPECT_EQ("image: '" + AvatarDir() + "'\n: not image  application/x-vnd.Be-directory\n", trace);

    // An absolute name can't be appended: no path is formed.
    trace = Trace([&] { fWindow->ManageLogo((char*)"/etc/passwd"); });
    EXPECT_EQ("image: '(null)'\nManageLogo BAD '(null)'\n", trace);

    trace = Trace([&] { fWindow->ManageLogo((char*)"notes"); });
    EXPECT_EQ("image: '" + Avatar("notes") + "'\n: not image  text/plain\n", trace);

    trace = Trace([&] { fWindow->ManageLogo((char*)"nobody"); });
    EXPECT_EQ("image: '" + Avatar("nobody") + "'\nManageLogo BAD '" + Avatar("nobody") + "'\n",
              trace);

    EXPECT_EQ(1, CountLogoViews());
    EXPECT_EQ(BRect(4, 4, 103, 83), fWindow->FindView("logo")->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 89), fWindow->Bounds());
}

TEST_F(LogoTest, TallPictureStopsAtTheHeightLimit)
{
    Picture("tall", 50, 251);
    Open();
    std::string trace = Trace([&] { fWindow->ManageLogo((char*)"tall"); });
    EXPECT_EQ("image: '" + Avatar("tall") + "'\nManageLogo end 'tall'\n", trace);
    EXPECT_EQ(BRect(4, 4, 53, 254), fWindow->FindView("logo")->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 200), fWindow->Bounds());
}

TEST_F(LogoTest, CorruptPictureRemovesTheLogoAndKeepsTheSize)
{
    Picture("givecard2", 100, 80);
    Picture("broken", 20, 20);
    std::string bytes = ReadFile(Avatar("broken"));
    ASSERT_TRUE(TestPictures::WriteText(Avatar("broken"), bytes.substr(0, bytes.size() / 2)));
    Open();

    std::string trace = Trace([&] { fWindow->ManageLogo((char*)"broken"); });
    EXPECT_EQ("image: '" + Avatar("broken") +
                  "'\n\xc2\xa0"
                  "can't translate '" +
                  Avatar("broken") + "'\nLogo NULL..\nManageLogo end 'broken'\n",
              trace);
    EXPECT_EQ(0, CountLogoViews());
    EXPECT_EQ(BRect(0, 0, 310, 89), fWindow->Bounds());

    // The next picture replaces the unattached view of the failed one.
    Picture("small", 10, 60);
    Trace([&] { fWindow->ManageLogo((char*)"small"); });
    EXPECT_EQ(1, CountLogoViews());
    EXPECT_EQ(BRect(0, 0, 310, 69), fWindow->Bounds());
}

TEST_F(LogoTest, FileTypedAsAPictureThatNoTranslatorReads)
{
    Picture("givecard2", 100, 80);
    ASSERT_TRUE(TestPictures::WriteText(Avatar("fake"), "no picture in here\n"));
    {
        BNode node(Avatar("fake").c_str());
        ASSERT_EQ(B_OK, BNodeInfo(&node).SetType("image/jpeg"));
    }
    Open();
    ASSERT_EQ(1, CountLogoViews());

    std::string trace = Trace([&] { fWindow->ManageLogo((char*)"fake"); });
    EXPECT_EQ("image: '" + Avatar("fake") +
                  "'\n\xc2\xa0"
                  "can't translate '" +
                  Avatar("fake") + "'\nLogo NULL..\nManageLogo end 'fake'\n",
              trace);
    EXPECT_EQ(0, CountLogoViews()) << "the previous logo is gone";
}

TEST_F(LogoTest, TwoCallsInARowLeaveOneViewAndOneBitmap)
{
    Picture("givecard2", 100, 80);
    Open();
    Trace([&] {
        fWindow->ManageLogo((char*)"givecard2");
        fWindow->ManageLogo((char*)"givecard2");
    });
    EXPECT_EQ(1, CountLogoViews());
    EXPECT_EQ(BRect(4, 4, 103, 83), fWindow->FindView("logo")->Frame());
}

TEST_F(LogoTest, JpegPicturesShowToo)
{
    ASSERT_TRUE(TestPictures::WriteJpeg(Avatar("photo"), 64, 48, {10, 120, 200, 255}));
    Open();
    std::string trace = Trace([&] { fWindow->ManageLogo((char*)"photo"); });
    EXPECT_EQ("image: '" + Avatar("photo") + "'\nManageLogo end 'photo'\n", trace);
    EXPECT_EQ(BRect(4, 4, 67, 51), fWindow->FindView("logo")->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 57), fWindow->Bounds());
}

TEST_F(LogoTest, ABigPicturesMemoryIsGivenBackWhenASmallOneReplacesIt)
{
    Picture("givecard2", 100, 80);
    ASSERT_TRUE(TestPictures::WritePhotoJpeg(Avatar("camera"), 2000, 1500));
    Open();
    Trace([&] { fWindow->ManageLogo((char*)"givecard2"); });
    size_t small = ResidentBytes();

    std::string trace = Trace([&] { fWindow->ManageLogo((char*)"camera"); });
    EXPECT_EQ("image: '" + Avatar("camera") + "'\nManageLogo end 'camera'\n", trace);
    size_t big = ResidentBytes();
    const size_t pixels = 2000u * 1500 * 4;
    EXPECT_GE(big, small + pixels) << "the picture is held while shown";
    EXPECT_LT(big, small + pixels + 6 * 1024 * 1024)
        << "held once, not copied for the view, no decoder buffers kept";

    Trace([&] { fWindow->ManageLogo((char*)"givecard2"); });
    EXPECT_LT(ResidentBytes(), small + 4 * 1024 * 1024);
    EXPECT_EQ(BRect(4, 4, 103, 83), fWindow->FindView("logo")->Frame());
}

class ShownLogoTest : public ShownWindowTest
{
};

TEST_F(ShownLogoTest, APhotoIsShownPixelForPixelAsTheLibraryDecodesIt)
{
    ASSERT_TRUE(TestPictures::WritePhotoJpeg(Avatar("givecard2"), 171, 97));
    OpenShown();
    Settle();
    int width = 0, height = 0;
    std::vector<uint8_t> expected =
        TestPictures::DecodeJpeg(Avatar("givecard2"), JCS_EXT_BGR, &width, &height);
    ASSERT_EQ(171, width);
    BPoint origin = fWindow->FindView("logo")->Frame().LeftTop();
    for (auto [x, y] :
         {std::pair{0, 0}, std::pair{170, 96}, std::pair{57, 33}, std::pair{100, 5}}) {
        rgb_color shown = Pixel((int32)origin.x + x, (int32)origin.y + y);
        const uint8_t* pixel = &expected[((size_t)y * width + x) * 3];
        EXPECT_EQ(pixel[2], shown.red) << x << "," << y;
        EXPECT_EQ(pixel[1], shown.green) << x << "," << y;
        EXPECT_EQ(pixel[0], shown.blue) << x << "," << y;
    }
}
