// Views that draw into bitmaps: what they draw lands in the bitmap's bits,
// pixel for pixel as in a window; views move between bitmaps and die with
// theirs; drawing without the lock or into a bitmap that cannot take it is
// harmless.

#include <Bitmap.h>
#include <View.h>
#include <Window.h>

#include "platform/server/display_test_support.h"

#include <math.h>

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

rgb_color PixelAt(const BBitmap& bitmap, int32 x, int32 y)
{
    const uint8* pixel =
        static_cast<const uint8*>(bitmap.Bits()) + y * bitmap.BytesPerRow() + x * 4;
    return make_color(pixel[2], pixel[1], pixel[0], pixel[3]);
}

rgb_color Opaque(rgb_color color)
{
    color.alpha = 255;
    return color;
}

const rgb_color kRed = make_color(255, 0, 0);
const rgb_color kNothing = make_color(0, 0, 0, 0);

// A background, a half-transparent band, a line and a word in the system font.
class Sample : public BView
{
public:
    Sample(BRect frame) : BView(frame, "sample", B_FOLLOW_NONE, B_WILL_DRAW) {}
    void Draw(BRect) override
    {
        SetDrawingMode(B_OP_COPY);
        SetHighColor(30, 90, 160);
        FillRect(Bounds());
        SetDrawingMode(B_OP_ALPHA);
        SetHighColor(0, 0, 0, 150);
        FillRect(BRect(0, 20, Bounds().right, 29));
        SetHighColor(250, 250, 0);
        StrokeLine(BPoint(0, 2), BPoint(30, 12));
        BFont font(be_bold_font);
        font.SetSize(14);
        SetFont(&font);
        SetHighColor(255, 255, 255);
        DrawString(kWord, BPoint(4, 18));
    }
    static constexpr const char* kWord = "Agy";
};

} // namespace

TEST(BitmapViews, ViewsDrawIntoTheBitsFromTheBitmapsTopLeft)
{
    BBitmap bitmap(BRect(100, 50, 119, 59), B_BITMAP_ACCEPTS_VIEWS, B_RGB32);
    ASSERT_EQ(bitmap.InitCheck(), B_OK);
    EXPECT_FALSE(bitmap.IsLocked());
    ASSERT_TRUE(bitmap.Lock());
    EXPECT_TRUE(bitmap.IsLocked());

    BView* outer = new BView(BRect(2, 2, 11, 7), "outer", B_FOLLOW_NONE, 0);
    BView* inner = new BView(BRect(3, 1, 30, 30), "inner", B_FOLLOW_NONE, 0);
    outer->AddChild(inner);
    bitmap.AddChild(outer);
    EXPECT_EQ(bitmap.CountChildren(), 1);
    EXPECT_EQ(bitmap.ChildAt(0), outer);
    EXPECT_EQ(bitmap.ChildAt(1), nullptr);
    EXPECT_EQ(bitmap.FindView("inner"), inner);
    EXPECT_EQ(bitmap.FindView(BPoint(3, 3)), outer);
    EXPECT_EQ(bitmap.FindView(BPoint(6, 4)), inner);
    EXPECT_EQ(bitmap.FindView(BPoint(15, 4)), nullptr);
    // The bitmap's own top view is not shown, as a window's is not.
    EXPECT_EQ(outer->Parent(), nullptr);
    EXPECT_EQ(inner->Parent(), outer);
    EXPECT_EQ(outer->Window(), nullptr);

    outer->SetHighColor(kRed);
    outer->FillRect(outer->Bounds().InsetByCopy(-5, -5));
    EXPECT_EQ(PixelAt(bitmap, 2, 2), kRed);
    EXPECT_EQ(PixelAt(bitmap, 11, 7), kRed);
    // Clipped to the view.
    EXPECT_EQ(PixelAt(bitmap, 1, 2), kNothing);
    EXPECT_EQ(PixelAt(bitmap, 12, 7), kNothing);
    EXPECT_EQ(PixelAt(bitmap, 11, 8), kNothing);

    // The inner view, at (5, 3) in the bitmap, clipped to its parent; then
    // scrolled, so its (2, 2) is there.
    inner->FillRect(BRect(0, 0, 0, 0), make_color(0, 0, 255));
    EXPECT_EQ(PixelAt(bitmap, 5, 3), make_color(0, 0, 255));
    inner->ScrollTo(2, 2);
    inner->SetDrawingMode(B_OP_ALPHA);
    inner->FillRect(BRect(2, 2, 40, 40), make_color(0, 255, 0, 128));
    EXPECT_EQ(PixelAt(bitmap, 5, 3), make_color(0, 128, 127));
    EXPECT_EQ(PixelAt(bitmap, 11, 7), make_color(127, 128, 0));
    EXPECT_EQ(PixelAt(bitmap, 12, 7), kNothing);

    EXPECT_TRUE(inner->RemoveSelf());
    delete inner;
    EXPECT_TRUE(bitmap.RemoveChild(outer));
    EXPECT_FALSE(bitmap.RemoveChild(outer));
    EXPECT_EQ(bitmap.CountChildren(), 0);
    delete outer;
    bitmap.Unlock();
    EXPECT_FALSE(bitmap.IsLocked());
}

// The same drawing code as a window's: every pixel the same, text included.
TEST(BitmapViews, ViewsDrawAsInAWindow)
{
    const BRect frame(0, 0, 39, 29);
    BWindow* window = new BWindow(BRect(60, 60, 99, 89), "Sample", B_TITLED_WINDOW, 0);
    window->AddChild(new Sample(frame));
    window->Show();
    Settle(window);

    BBitmap bitmap(frame, B_BITMAP_ACCEPTS_VIEWS, B_RGBA32);
    ASSERT_TRUE(bitmap.Lock());
    Sample* sample = new Sample(frame);
    bitmap.AddChild(sample);
    sample->Draw(sample->Bounds());
    sample->Sync();

    int32 different = 0;
    for (int32 y = 0; y <= 29; y++) {
        for (int32 x = 0; x <= 39; x++)
            different += Opaque(PixelOf(window, x, y)) != Opaque(PixelAt(bitmap, x, y));
    }
    EXPECT_EQ(different, 0);

    // The word is there: white pixels within its width, none past it.
    float width = sample->StringWidth(Sample::kWord);
    font_height height;
    sample->GetFontHeight(&height);
    EXPECT_GT(width, 15);
    EXPECT_GT(height.ascent, 8);
    int32 white = 0;
    for (int32 y = 0; y <= 29; y++) {
        for (int32 x = 0; x <= 39; x++) {
            rgb_color color = PixelAt(bitmap, x, y);
            if (color.red > 200 && color.blue > 200) {
                white++;
                EXPECT_LE(x, 4 + ceilf(width)) << x << ", " << y;
                EXPECT_GE(y, floorf(18 - height.ascent)) << x << ", " << y;
            }
        }
    }
    EXPECT_GT(white, 20);
    bitmap.Unlock();
    QuitWindow(window);
}

// A window's view shows the bitmap as it was when set, though the bitmap is
// drawn into afterwards.
TEST(BitmapViews, DrawingLeavesTheBitmapShownInAWindowAlone)
{
    BBitmap bitmap(BRect(0, 0, 9, 9), B_BITMAP_ACCEPTS_VIEWS, B_RGBA32);
    BView* pen = new BView(bitmap.Bounds(), "pen", B_FOLLOW_NONE, 0);
    ASSERT_TRUE(bitmap.Lock());
    bitmap.AddChild(pen);
    pen->FillRect(pen->Bounds(), kRed);

    BWindow* window = new BWindow(BRect(60, 60, 79, 79), "Shown", B_TITLED_WINDOW, 0);
    BView* shown = new BView(BRect(0, 0, 19, 19), "shown", B_FOLLOW_NONE, 0);
    shown->SetViewBitmap(&bitmap);
    window->AddChild(shown);
    pen->FillRect(pen->Bounds(), make_color(0, 0, 255));
    EXPECT_EQ(PixelAt(bitmap, 5, 5), make_color(0, 0, 255));
    window->Show();
    Settle(window);
    EXPECT_EQ(Opaque(PixelOf(window, 5, 5)), kRed);
    bitmap.Unlock();
    QuitWindow(window);
}

TEST(BitmapViews, AViewMovesFromOneBitmapToAnother)
{
    BBitmap first(BRect(0, 0, 9, 9), B_BITMAP_ACCEPTS_VIEWS, B_RGBA32);
    BBitmap second(BRect(0, 0, 19, 19), B_BITMAP_ACCEPTS_VIEWS, B_RGBA32);
    BView* view = new BView(BRect(0, 0, 14, 14), "mover", B_FOLLOW_NONE, 0);
    ASSERT_TRUE(first.Lock());
    first.AddChild(view);
    // A view has one place only.
    second.AddChild(view);
    EXPECT_EQ(second.CountChildren(), 0);
    view->FillRect(view->Bounds(), kRed);
    EXPECT_EQ(PixelAt(first, 9, 9), kRed);
    EXPECT_TRUE(first.RemoveChild(view));
    first.Unlock();

    ASSERT_TRUE(second.Lock());
    second.AddChild(view);
    EXPECT_EQ(second.ChildAt(0), view);
    view->FillRect(view->Bounds(), make_color(0, 255, 0));
    EXPECT_EQ(PixelAt(second, 0, 0), make_color(0, 255, 0));
    EXPECT_EQ(PixelAt(second, 14, 14), make_color(0, 255, 0));
    EXPECT_EQ(PixelAt(second, 15, 15), kNothing);
    EXPECT_EQ(PixelAt(first, 0, 0), kRed);
    EXPECT_EQ(first.CountChildren(), 0);
    second.Unlock();
}

TEST(BitmapViews, DeletingABitmapDeletesItsViews)
{
    struct Counted : public BView {
        Counted(int* alive) : BView(BRect(0, 0, 4, 4), "counted", B_FOLLOW_NONE, 0), alive(alive)
        {
            ++*alive;
        }
        ~Counted() override { --*alive; }
        int* alive;
    };
    int alive = 0;
    BBitmap* bitmap = new BBitmap(BRect(0, 0, 9, 9), B_BITMAP_ACCEPTS_VIEWS, B_RGB32);
    ASSERT_TRUE(bitmap->Lock());
    Counted* parent = new Counted(&alive);
    parent->AddChild(new Counted(&alive));
    bitmap->AddChild(parent);
    bitmap->AddChild(new Counted(&alive));
    EXPECT_EQ(alive, 3);
    delete bitmap;
    EXPECT_EQ(alive, 0);
}

TEST(BitmapViews, DrawingWithoutTheLockOrWhereItCannotLandIsHarmless)
{
    BBitmap bitmap(BRect(0, 0, 9, 9), B_BITMAP_ACCEPTS_VIEWS, B_RGB32);
    BView* view = new BView(BRect(0, 0, 9, 9), "unlocked", B_FOLLOW_NONE, 0);
    bitmap.AddChild(view);
    view->FillRect(BRect(-100, -100, 100, 100), kRed);
    view->DrawString("unlocked", BPoint(0, 9));
    view->StrokeLine(BPoint(-1e9, -1e9), BPoint(1e9, 1e9));
    EXPECT_EQ(PixelAt(bitmap, 9, 0), kRed);

    // A bitmap without views: no lock, no children.
    BBitmap plain(BRect(0, 0, 9, 9), B_RGB32);
    EXPECT_FALSE(plain.Lock());
    BView* stray = new BView(BRect(0, 0, 9, 9), "stray", B_FOLLOW_NONE, 0);
    plain.AddChild(stray);
    EXPECT_EQ(plain.CountChildren(), 0);
    EXPECT_EQ(stray->Parent(), nullptr);
    EXPECT_FALSE(plain.RemoveChild(stray));
    // A view in no tree draws nowhere.
    stray->FillRect(stray->Bounds(), kRed);
    EXPECT_EQ(PixelAt(plain, 0, 0), kNothing);

    // A colour space the painter does not write leaves the bits alone.
    BBitmap indexed(BRect(0, 0, 9, 9), B_BITMAP_ACCEPTS_VIEWS, B_CMAP8);
    ASSERT_TRUE(indexed.Lock());
    indexed.AddChild(stray);
    stray->FillRect(stray->Bounds(), kRed);
    stray->DrawString("cmap", BPoint(0, 9));
    EXPECT_EQ(static_cast<const uint8*>(indexed.Bits())[0], 0);
    indexed.Unlock();
}
