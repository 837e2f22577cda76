// What views put on screen: view colours, view bitmaps (placement, tiling,
// alpha, colour spaces), Draw() and the drawing calls, clipping, and that a
// view removed or moved leaves nothing behind.

#include <Bitmap.h>
#include <View.h>
#include <Window.h>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const rgb_color kMainColor = {237, 242, 235, 0};
const rgb_color kLogColor = {250, 250, 245, 10};

rgb_color opaque(rgb_color color)
{
    color.alpha = 255;
    return color;
}

// A 4 x 4 picture whose pixel (x, y) is (x * 60, y * 60, 100).
BBitmap* make_pattern_bitmap(color_space space = B_RGBA32)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, 3, 3), space);
    uint8* bits = static_cast<uint8*>(bitmap->Bits());
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 4; x++) {
            uint8* pixel = bits + y * bitmap->BytesPerRow() + x * 4;
            pixel[0] = 100;
            pixel[1] = (uint8)(y * 60);
            pixel[2] = (uint8)(x * 60);
            pixel[3] = space == B_RGBA32 ? 255 : 0;
        }
    }
    return bitmap;
}

rgb_color pattern_at(int x, int y)
{
    return make_color(x * 60, y * 60, 100, 255);
}

class Drawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = new BWindow(BRect(50, 50, 149, 109), "Drawing", B_TITLED_WINDOW, 0);
        main = new BView(window->Bounds(), "bview", B_FOLLOW_ALL, B_WILL_DRAW);
        main->SetViewColor(kMainColor);
        window->AddChild(main);
        window->Show();
        Settle(window);
        ASSERT_TRUE(window->Lock());
    }
    void TearDown() override { window->Quit(); }

    // Draws what is pending and reads a pixel, with the window unlocked meanwhile.
    rgb_color At(int32 x, int32 y)
    {
        window->Unlock();
        Settle(window);
        rgb_color color = PixelOf(window, x, y);
        EXPECT_TRUE(window->Lock());
        return color;
    }

    BWindow* window;
    BView* main;
};

TEST_F(Drawing, ViewColoursAreDrawnOpaqueExceptTheTransparentColour)
{
    BView* log = new BView(BRect(10, 10, 49, 29), "text_view", B_FOLLOW_ALL, B_WILL_DRAW);
    log->SetViewColor(kLogColor);
    main->AddChild(log);
    BView* clear = new BView(BRect(60, 10, 79, 29), "clear", B_FOLLOW_NONE, 0);
    clear->SetViewColor(B_TRANSPARENT_COLOR);
    main->AddChild(clear);

    EXPECT_EQ(opaque(kMainColor), At(5, 5));
    EXPECT_EQ(opaque(kMainColor), At(99, 59));
    EXPECT_EQ(opaque(kLogColor), At(10, 10));
    EXPECT_EQ(opaque(kLogColor), At(49, 29));
    EXPECT_EQ(opaque(kMainColor), At(50, 30));
    EXPECT_EQ(opaque(kMainColor), At(65, 15));

    log->SetViewColor(200, 0, 0);
    EXPECT_EQ(make_color(200, 0, 0), At(20, 20));
    log->Hide();
    EXPECT_EQ(opaque(kMainColor), At(20, 20));
    log->Show();
    EXPECT_EQ(make_color(200, 0, 0), At(20, 20));
}

TEST_F(Drawing, ChildrenAreClippedToTheirParents)
{
    BView* parent = new BView(BRect(10, 10, 39, 39), "parent", B_FOLLOW_NONE, 0);
    parent->SetViewColor(0, 0, 255);
    BView* child = new BView(BRect(20, 20, 200, 200), "child", B_FOLLOW_NONE, 0);
    child->SetViewColor(0, 255, 0);
    parent->AddChild(child);
    main->AddChild(parent);

    EXPECT_EQ(make_color(0, 0, 255), At(29, 29));
    EXPECT_EQ(make_color(0, 255, 0), At(30, 30));
    EXPECT_EQ(make_color(0, 255, 0), At(39, 39));
    EXPECT_EQ(opaque(kMainColor), At(40, 40));
    EXPECT_EQ(opaque(kMainColor), At(45, 35));
    // A scrolled parent shows its children moved the other way.
    parent->ScrollBy(10, 10);
    EXPECT_EQ(BRect(10, 10, 39, 39), parent->Bounds());
    EXPECT_EQ(make_color(0, 0, 255), At(19, 19));
    EXPECT_EQ(make_color(0, 255, 0), At(20, 20));
}

TEST_F(Drawing, AViewBitmapIsPlacedAndTiledAndKeptAsACopy)
{
    BView* logo = new BView(BRect(10, 10, 29, 19), "logo", B_FOLLOW_NONE, B_WILL_DRAW);
    logo->SetViewColor(0, 0, 0);
    main->AddChild(logo);
    BBitmap* bitmap = make_pattern_bitmap();
    logo->SetViewBitmap(bitmap);
    // The view keeps what it needs.
    delete bitmap;

    EXPECT_EQ(pattern_at(0, 0), At(10, 10));
    EXPECT_EQ(pattern_at(1, 1), At(11, 11));
    EXPECT_EQ(pattern_at(1, 1), At(15, 15));
    EXPECT_EQ(pattern_at(3, 1), At(29, 19));
    // Not past the view.
    EXPECT_EQ(opaque(kMainColor), At(30, 15));

    bitmap = make_pattern_bitmap();
    logo->SetViewBitmap(bitmap, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    EXPECT_EQ(pattern_at(3, 3), At(13, 13));
    EXPECT_EQ(make_color(0, 0, 0), At(14, 13));
    logo->SetViewBitmap(bitmap, B_FOLLOW_TOP | B_FOLLOW_LEFT, B_TILE_BITMAP_X);
    EXPECT_EQ(pattern_at(3, 2), At(17, 12));
    EXPECT_EQ(make_color(0, 0, 0), At(17, 14));

    // Part of the picture, scaled to twice its size at (5, 5) of the view.
    logo->SetViewBitmap(bitmap, BRect(1, 1, 2, 2), BRect(5, 5, 8, 8), B_FOLLOW_TOP | B_FOLLOW_LEFT,
                        0);
    EXPECT_EQ(pattern_at(1, 1), At(15, 15));
    EXPECT_EQ(pattern_at(1, 1), At(16, 16));
    EXPECT_EQ(pattern_at(2, 2), At(17, 17));
    EXPECT_EQ(pattern_at(2, 1), At(18, 16));
    EXPECT_EQ(make_color(0, 0, 0), At(19, 15));

    // Placed by the bottom right corner: it follows that corner when the view grows.
    logo->SetViewBitmap(bitmap, BRect(0, 0, 3, 3), BRect(16, 6, 19, 9),
                        B_FOLLOW_BOTTOM | B_FOLLOW_RIGHT, 0);
    EXPECT_EQ(pattern_at(0, 0), At(26, 16));
    logo->ResizeBy(10, 5);
    EXPECT_EQ(pattern_at(0, 0), At(36, 21));
    EXPECT_EQ(make_color(0, 0, 0), At(26, 16));

    logo->ClearViewBitmap();
    EXPECT_EQ(make_color(0, 0, 0), At(36, 21));
    delete bitmap;
}

TEST_F(Drawing, AViewBitmapStaysAsSetWhateverIsWrittenToTheBitmapLater)
{
    BView* logo = new BView(BRect(10, 10, 13, 13), "logo", B_FOLLOW_NONE, B_WILL_DRAW);
    main->AddChild(logo);
    // Bits filled without Bits(), as a translator fills them: the view may share them.
    uint8 pattern[4 * 4 * 4];
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 4; x++) {
            uint8* pixel = pattern + (y * 4 + x) * 4;
            pixel[0] = 100;
            pixel[1] = (uint8)(y * 60);
            pixel[2] = (uint8)(x * 60);
            pixel[3] = 255;
        }
    }
    const uint8 white[4] = {255, 255, 255, 255};

    BBitmap bitmap(BRect(0, 0, 3, 3), B_RGBA32);
    ASSERT_EQ(B_OK, bitmap.ImportBits(pattern, sizeof(pattern), B_ANY_BYTES_PER_ROW, 0, B_RGBA32));
    logo->SetViewBitmap(&bitmap, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    EXPECT_EQ(pattern_at(1, 1), At(11, 11));

    // Through the bitmap's own calls, then through the pointer Bits() hands out.
    bitmap.SetBits(white, 4, 4 * 4 + 4, B_RGBA32);
    memcpy(static_cast<uint8*>(bitmap.Bits()) + 2 * 4 * 4 + 2 * 4, white, 4);
    logo->Invalidate();
    EXPECT_EQ(pattern_at(1, 1), At(11, 11));
    EXPECT_EQ(pattern_at(2, 2), At(12, 12));

    // Set again, the view shows what the bitmap holds now, and keeps it when the
    // bitmap is written through the same pointer afterwards.
    logo->SetViewBitmap(&bitmap, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    EXPECT_EQ(make_color(255, 255, 255), At(11, 11));
    EXPECT_EQ(make_color(255, 255, 255), At(12, 12));
    uint8* bits = static_cast<uint8*>(bitmap.Bits());
    memcpy(bits, white, 4);
    logo->Invalidate();
    EXPECT_EQ(pattern_at(0, 0), At(10, 10));

    // A copy of a shared bitmap is a bitmap of its own.
    BBitmap fresh(BRect(0, 0, 3, 3), B_RGBA32);
    ASSERT_EQ(B_OK, fresh.ImportBits(pattern, sizeof(pattern), B_ANY_BYTES_PER_ROW, 0, B_RGBA32));
    logo->SetViewBitmap(&fresh, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    BBitmap copy(&fresh);
    memcpy(copy.Bits(), white, 4);
    logo->Invalidate();
    EXPECT_EQ(pattern_at(0, 0), At(10, 10));
    EXPECT_EQ(100, static_cast<const uint8*>(fresh.Bits())[0]);
}

TEST_F(Drawing, ViewBitmapsBlendByAlphaAndReadTheirColourSpace)
{
    BView* view = new BView(BRect(0, 0, 9, 9), "alpha", B_FOLLOW_NONE, 0);
    view->SetViewColor(255, 255, 255);
    main->AddChild(view);

    BBitmap rgba(BRect(0, 0, 1, 0), B_RGBA32);
    uint8* bits = static_cast<uint8*>(rgba.Bits());
    const uint8 halfRed[4] = {0, 0, 255, 128};
    const uint8 clear[4] = {0, 0, 255, 0};
    memcpy(bits, halfRed, 4);
    memcpy(bits + 4, clear, 4);
    view->SetViewBitmap(&rgba, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    rgb_color blended = At(0, 0);
    EXPECT_EQ(255, blended.red);
    EXPECT_NEAR(127, blended.green, 1);
    EXPECT_NEAR(127, blended.blue, 1);
    EXPECT_EQ(make_color(255, 255, 255), At(1, 0));

    // B_RGB32 has no alpha: its fourth byte does not matter.
    BBitmap* rgb = make_pattern_bitmap(B_RGB32);
    view->SetViewBitmap(rgb, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    EXPECT_EQ(pattern_at(2, 3), At(2, 3));
    delete rgb;

    // B_CMAP8 through the system colours; the transparent index shows through.
    BBitmap indexed(BRect(0, 0, 2, 0), B_CMAP8);
    uint8* indices = static_cast<uint8*>(indexed.Bits());
    indices[0] = 42;
    indices[1] = B_TRANSPARENT_MAGIC_CMAP8;
    indices[2] = 0;
    view->SetViewBitmap(&indexed, B_FOLLOW_TOP | B_FOLLOW_LEFT, 0);
    EXPECT_EQ(opaque(system_colors()->color_list[42]), At(0, 0));
    EXPECT_EQ(make_color(255, 255, 255), At(1, 0));
    EXPECT_EQ(opaque(system_colors()->color_list[0]), At(2, 0));
}

TEST_F(Drawing, ARemovedOrMovedViewLeavesNoTrace)
{
    // As the logo: a picture view at (4, 4) that is replaced by another.
    BBitmap* bitmap = make_pattern_bitmap();
    BView* logo =
        new BView(BRect(4, 4, 7, 7), "logo", B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
    main->AddChild(logo);
    logo->SetViewBitmap(bitmap);
    EXPECT_EQ(pattern_at(2, 2), At(6, 6));
    EXPECT_TRUE(logo->RemoveSelf());
    EXPECT_FALSE(logo->RemoveSelf());
    EXPECT_EQ(nullptr, logo->Window());
    EXPECT_EQ(opaque(kMainColor), At(6, 6));

    BView* next =
        new BView(BRect(0, 0, 1, 1), "logo", B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
    next->MoveTo(20, 20);
    next->ResizeTo(3, 3);
    main->AddChild(next);
    next->SetViewBitmap(bitmap);
    EXPECT_EQ(pattern_at(0, 0), At(20, 20));
    next->MoveTo(30, 20);
    EXPECT_EQ(opaque(kMainColor), At(20, 20));
    EXPECT_EQ(pattern_at(0, 0), At(30, 20));
    // Deleting an attached view takes it off the screen too.
    delete next;
    EXPECT_EQ(opaque(kMainColor), At(30, 20));
    EXPECT_EQ(nullptr, main->FindView("logo"));
    delete logo;
    delete bitmap;
}

class PaintingView : public BView
{
public:
    PaintingView(BRect frame) : BView(frame, "painter", B_FOLLOW_NONE, B_WILL_DRAW) {}
    void Draw(BRect updateRect) override
    {
        draws++;
        SetHighColor(255, 0, 0);
        FillRect(BRect(0, 0, 4, 4));
        SetLowColor(0, 0, 255);
        FillRect(BRect(5, 0, 9, 4), B_SOLID_LOW);
        SetHighColor(0, 128, 0);
        StrokeLine(BPoint(0, 10), BPoint(19, 10));
        StrokeRect(BRect(0, 12, 19, 19));
        FillRect(BRect(-100, 15, 100, 16), make_color(10, 20, 30));
    }
    int draws = 0;
};

// Fills in each drawing mode over a white view, one 3 x 3 square each.
class ModeFillView : public BView
{
public:
    ModeFillView(BRect frame) : BView(frame, "modes", B_FOLLOW_NONE, B_WILL_DRAW) {}
    void Draw(BRect) override
    {
        const rgb_color halfRed = {255, 0, 0, 128};
        const rgb_color clearBlue = {0, 0, 255, 0};
        SetDrawingMode(B_OP_ALPHA);
        FillRect(BRect(0, 0, 2, 2), halfRed);
        FillRect(BRect(3, 0, 5, 2), make_color(0, 200, 0, 255));
        FillRect(BRect(6, 0, 8, 2), clearBlue);
        SetDrawingMode(B_OP_OVER);
        FillRect(BRect(9, 0, 11, 2), B_TRANSPARENT_COLOR);
        FillRect(BRect(12, 0, 14, 2), halfRed);
        SetDrawingMode(B_OP_COPY);
        FillRect(BRect(15, 0, 17, 2), clearBlue);
        FillRect(BRect(-5, 3, 40, 3), make_color(1, 2, 3));
    }
};

TEST_F(Drawing, FillsBlendOrCopyByTheirModeAndAlpha)
{
    ModeFillView* view = new ModeFillView(BRect(10, 10, 29, 14));
    view->SetViewColor(255, 255, 255);
    main->AddChild(view);

    rgb_color blended = At(11, 11);
    EXPECT_EQ(255, blended.red);
    EXPECT_NEAR(127, blended.green, 1);
    EXPECT_NEAR(127, blended.blue, 1);
    EXPECT_EQ(make_color(0, 200, 0), At(14, 12));
    EXPECT_EQ(make_color(255, 255, 255), At(17, 11)) << "no alpha, nothing blended";
    EXPECT_EQ(make_color(255, 255, 255), At(20, 11)) << "the transparent colour is skipped";
    EXPECT_EQ(make_color(255, 0, 0), At(23, 11)) << "any other colour is copied opaque";
    EXPECT_EQ(make_color(0, 0, 255), At(26, 12));
    EXPECT_EQ(make_color(1, 2, 3), At(10, 13));
    EXPECT_EQ(make_color(1, 2, 3), At(29, 13));
    EXPECT_EQ(opaque(kMainColor), At(30, 13)) << "clipped to the view";
    EXPECT_EQ(make_color(255, 255, 255), At(29, 12));
}

TEST_F(Drawing, DrawDrawsOverTheViewColourClippedToTheView)
{
    PaintingView* view = new PaintingView(BRect(10, 10, 29, 29));
    view->SetViewColor(255, 255, 255);
    BView* child = new BView(BRect(2, 2, 3, 3), "child", B_FOLLOW_NONE, 0);
    child->SetViewColor(9, 9, 9);
    view->AddChild(child);
    main->AddChild(view);

    EXPECT_EQ(make_color(255, 0, 0), At(10, 10));
    EXPECT_EQ(make_color(9, 9, 9), At(12, 12));
    EXPECT_EQ(make_color(0, 0, 255), At(17, 12));
    EXPECT_EQ(make_color(255, 255, 255), At(20, 12));
    EXPECT_EQ(make_color(0, 128, 0), At(25, 20));
    EXPECT_EQ(make_color(0, 128, 0), At(10, 22));
    EXPECT_EQ(make_color(0, 128, 0), At(29, 29));
    EXPECT_EQ(make_color(255, 255, 255), At(15, 27));
    EXPECT_EQ(make_color(10, 20, 30), At(15, 25));
    EXPECT_EQ(opaque(kMainColor), At(9, 25));
    EXPECT_EQ(opaque(kMainColor), At(30, 25));

    // Many invalidations between updates make one update.
    int draws = view->draws;
    for (int i = 0; i < 20; i++)
        view->Invalidate(BRect(0, 0, 1, 1));
    view->Invalidate();
    At(0, 0);
    EXPECT_EQ(draws + 1, view->draws);
}

TEST_F(Drawing, TextIsDrawnInTheHighColourAtItsBaseline)
{
    BView* view = new BView(BRect(0, 0, 99, 29), "text", B_FOLLOW_NONE, 0);
    view->SetViewColor(255, 255, 255);
    main->AddChild(view);
    view->SetFontSize(20);
    font_height height;
    view->GetFontHeight(&height);
    EXPECT_GT(height.ascent, 5);
    float width = view->StringWidth("MMMM");
    EXPECT_GT(width, 20);
    EXPECT_EQ(view->StringWidth("MM"), view->StringWidth("MMMM", 2));
    EXPECT_EQ(0, view->StringWidth(NULL));

    // Outside an update the text goes onto the screen at once.
    view->SetHighColor(200, 0, 0);
    view->DrawString("MMMM", BPoint(2, 22));
    EXPECT_EQ(BPoint(2 + width, 22), view->PenLocation());
    view->Flush();
    int32 token = TokenOf(window);
    int red = 0;
    int outside = 0;
    for (int32 y = 0; y < 30; y++) {
        for (int32 x = 0; x < 100; x++) {
            rgb_color color;
            Display()->ReadPixel(token, x, y, &color);
            bool inked = color.red > 150 && color.green < 100;
            if (inked && (x < 2 || x > 2 + width + 1 || y > 22 + height.descent + 1))
                outside++;
            red += inked ? 1 : 0;
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_EQ(0, outside);
}

class BitmapView : public BView
{
public:
    BitmapView(BRect frame, BBitmap* bitmap)
        : BView(frame, "bitmap", B_FOLLOW_NONE, B_WILL_DRAW), fBitmap(bitmap)
    {
    }
    void Draw(BRect updateRect) override
    {
        DrawBitmap(fBitmap, BPoint(0, 0));
        // The top left quarter, twice as large.
        DrawBitmap(fBitmap, BRect(0, 0, 1, 1), BRect(10, 0, 13, 3));
        SetDrawingMode(B_OP_ALPHA);
        DrawBitmap(fBitmap, BRect(20, 0, 23, 3));
        SetDrawingMode(B_OP_COPY);
    }

private:
    BBitmap* fBitmap;
};

TEST_F(Drawing, DrawBitmapPlacesAndScalesByNearestPixel)
{
    BBitmap* bitmap = make_pattern_bitmap();
    // Half transparent in one corner: copied opaque, blended with B_OP_ALPHA.
    uint8* corner = static_cast<uint8*>(bitmap->Bits()) + 3 * bitmap->BytesPerRow() + 3 * 4;
    corner[3] = 0;
    BitmapView* view = new BitmapView(BRect(10, 10, 39, 19), bitmap);
    view->SetViewColor(255, 255, 255);
    main->AddChild(view);

    EXPECT_EQ(pattern_at(2, 1), At(12, 11));
    EXPECT_EQ(pattern_at(3, 3), At(13, 13));
    EXPECT_EQ(pattern_at(0, 0), At(21, 11));
    EXPECT_EQ(pattern_at(1, 0), At(22, 10));
    EXPECT_EQ(pattern_at(1, 1), At(23, 13));
    EXPECT_EQ(make_color(255, 255, 255), At(24, 10));
    EXPECT_EQ(pattern_at(2, 2), At(32, 12));
    EXPECT_EQ(make_color(255, 255, 255), At(33, 13));
    // The view draws from the bitmap, so it goes first.
    EXPECT_TRUE(view->RemoveSelf());
    delete view;
    delete bitmap;
}

TEST_F(Drawing, ViewsFollowTheWindowsResize)
{
    BBitmap* bitmap = make_pattern_bitmap();
    BView* logo =
        new BView(BRect(4, 50, 7, 53), "logo", B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
    main->AddChild(logo);
    logo->SetViewBitmap(bitmap);
    delete bitmap;
    EXPECT_EQ(pattern_at(0, 0), At(4, 50));
    window->ResizeTo(99, 89);
    EXPECT_EQ(BRect(4, 80, 7, 83), logo->Frame());
    EXPECT_EQ(BRect(0, 0, 99, 89), main->Bounds());
    EXPECT_EQ(pattern_at(0, 0), At(4, 80));
    EXPECT_EQ(opaque(kMainColor), At(4, 50));
    EXPECT_EQ(opaque(kMainColor), At(99, 89));
}

} // namespace
