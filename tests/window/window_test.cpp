#include "WindowHarness.h"

#include <Font.h>
#include <ScrollBar.h>
#include <ScrollView.h>

class MainWindowTest : public WindowTest
{
};

TEST_F(MainWindowTest, IsBuiltAsAFloatingWindowWithItsTagLog)
{
    std::string trace = Open();
    EXPECT_EQ(std::string::npos, trace.find("VEKApp"));
    EXPECT_NE(std::string::npos, trace.find("-- StartUp --\n"));
    EXPECT_EQ(trace.size() - strlen("-- StartUp --\n"), trace.rfind("-- StartUp --\n"));

    EXPECT_STREQ("Pictoslate", fWindow->Title());
    EXPECT_EQ(B_FLOATING_WINDOW_LOOK, fWindow->Look());
    EXPECT_EQ(B_NORMAL_WINDOW_FEEL, fWindow->Feel());
    EXPECT_EQ((uint32)(B_NOT_ZOOMABLE | B_NOT_RESIZABLE), fWindow->Flags());
    EXPECT_TRUE(fWindow->IsHidden());
    EXPECT_EQ(BRect(0, 0, 310, 50), fWindow->Bounds());

    float minWidth, maxWidth, minHeight, maxHeight;
    fWindow->GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
    EXPECT_EQ(100, minWidth);
    EXPECT_EQ(310, maxWidth);
    EXPECT_EQ(50, minHeight);
    EXPECT_EQ(200, maxHeight);

    BView* main = MainView();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(BRect(0, 0, 310, 50), main->Frame());
    EXPECT_EQ((uint32)B_FOLLOW_ALL, main->ResizingMode());
    EXPECT_EQ(make_color(237, 242, 235, 0), main->ViewColor());

    BTextView* log = Log();
    ASSERT_NE(nullptr, log);
    EXPECT_EQ(BRect(1, 1, 168, 37), log->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 44), log->TextRect());
    EXPECT_EQ(make_color(250, 250, 245, 10), log->ViewColor());
    EXPECT_FALSE(log->IsEditable());
    EXPECT_TRUE(log->IsSelectable());
    EXPECT_EQ(0, log->TextLength());

    BFont font;
    log->GetFontAndColor(0, &font);
    EXPECT_EQ(9, font.Size());
    EXPECT_TRUE(font.IsFixed());

    BScrollView* scroll = dynamic_cast<BScrollView*>(fWindow->FindView("scroll_view"));
    ASSERT_NE(nullptr, scroll);
    EXPECT_EQ(main, scroll->Parent());
    EXPECT_EQ(scroll, log->Parent());
    // The log's frame (120, 7, 287, 43), a vertical bar and a plain border.
    EXPECT_EQ(BRect(119, 6, 302, 44), scroll->Frame());
    EXPECT_NE(nullptr, scroll->ScrollBar(B_VERTICAL));
    EXPECT_EQ(nullptr, scroll->ScrollBar(B_HORIZONTAL));
}

TEST_F(MainWindowTest, CreatesTheAvatarsFolderAndLeavesAnExistingOneAlone)
{
    fs::remove_all(AvatarDir());
    Open();
    EXPECT_TRUE(fs::is_directory(AvatarDir()));
    Close();

    ASSERT_TRUE(TestPictures::WriteText(Avatar("keep"), "kept"));
    Open();
    EXPECT_EQ("kept", ReadFile(Avatar("keep")));
}

TEST_F(MainWindowTest, ProgramResizesRedrawAndKeepTheLayout)
{
    Picture("givecard2", 100, 80);
    Open();
    Show();
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_EQ(BRect(0, 0, 310, 89), MainView()->Frame());
    EXPECT_EQ(BRect(119, 6, 302, 83), fWindow->FindView("scroll_view")->Frame());
    fWindow->Unlock();
}
