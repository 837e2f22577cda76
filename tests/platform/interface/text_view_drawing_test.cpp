// A text view in a real (headless) window: its pixels, selection with the
// mouse, and the keyboard's select-all and copy.

#include <Font.h>
#include <TextView.h>
#include <Window.h>

#include <string>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

constexpr int32 kLeftControl = 0x5c;
constexpr int32 kLeftCommand = 0x5d; // Alt on a PC keyboard
constexpr int32 kKeyA = 0x3c;
constexpr int32 kKeyC = 0x4e;
constexpr int32 kKeyX = 0x4d;

const rgb_color kViewColor = {250, 250, 245, 255};
const BPoint kViewOrigin(10, 10);

bool is_dark(rgb_color color)
{
    return color.red < 140 && color.green < 140 && color.blue < 140;
}

struct TextWindow {
    BWindow* window;
    BTextView* text;

    explicit TextWindow(bool editable = false)
    {
        window = new BWindow(BRect(50, 50, 269, 119), "text", B_TITLED_WINDOW, 0);
        text = new BTextView(BRect(kViewOrigin.x, kViewOrigin.y, 209, 59), "text_view",
                             BRect(0, 0, 199, 49), B_FOLLOW_ALL, B_WILL_DRAW);
        window->AddChild(text);
        BFont font(be_fixed_font);
        font.SetSize(9);
        text->SetFontAndColor(&font, B_FONT_ALL);
        text->SetViewColor(kViewColor);
        text->MakeEditable(editable);
        text->MakeSelectable(true);
        window->Show();
    }
    ~TextWindow() { QuitWindow(window); }

    int32 Token() const { return TokenOf(window); }

    // Window coordinates of a point in the text view.
    static BPoint InWindow(BPoint inView) { return inView + kViewOrigin; }

    std::string Selected()
    {
        EXPECT_TRUE(window->Lock());
        int32 start = 0;
        int32 end = 0;
        text->GetSelection(&start, &end);
        std::string selected(text->Text() + start, static_cast<size_t>(end - start));
        window->Unlock();
        return selected;
    }

    void Click(BPoint inView, int32 clicks = 1)
    {
        BPoint where = InWindow(inView);
        Display()->UserMouseMoved(Token(), where);
        Display()->UserMouseButton(Token(), where, B_PRIMARY_MOUSE_BUTTON, true, clicks);
        Display()->UserMouseButton(Token(), where, B_PRIMARY_MOUSE_BUTTON, false, clicks);
    }

    void Shortcut(int32 modifierKey, int32 key)
    {
        Display()->UserKeyDown(Token(), modifierKey, nullptr);
        Display()->UserKeyDown(Token(), key, nullptr);
        Display()->UserKeyUp(Token(), key);
        Display()->UserKeyUp(Token(), modifierKey);
    }
};

TEST(TextViewDrawing, ViewColourBehindDarkTextWhereTextIs)
{
    TextWindow view;
    ASSERT_TRUE(view.window->Lock());
    view.text->Insert(0, "WWWWWWWWWW\n", 11);
    float lineHeight = view.text->LineHeight();
    float textWidth = view.text->LineWidth(0);
    view.window->Unlock();
    Settle(view.window);

    int32 token = view.Token();
    int dark = 0;
    for (int32 y = 0; y < static_cast<int32>(lineHeight); y++) {
        for (int32 x = 0; x < static_cast<int32>(textWidth); x++) {
            BPoint at = TextWindow::InWindow(BPoint(x, y));
            rgb_color color;
            ASSERT_TRUE(Display()->ReadPixel(token, at.x, at.y, &color));
            if (is_dark(color))
                dark++;
        }
    }
    EXPECT_GT(dark, 20);

    // Past the text, and below it, only the view colour.
    for (BPoint inView :
         {BPoint(textWidth + 5, 3), BPoint(150, 5), BPoint(5, lineHeight + 6), BPoint(199, 49)}) {
        BPoint at = TextWindow::InWindow(inView);
        rgb_color color = PixelOf(view.window, at.x, at.y);
        EXPECT_EQ(color.red, kViewColor.red) << inView;
        EXPECT_EQ(color.green, kViewColor.green) << inView;
        EXPECT_EQ(color.blue, kViewColor.blue) << inView;
    }

    // A second line inserted on top pushes the first one down.
    ASSERT_TRUE(view.window->Lock());
    view.text->Insert(0, "iiii\n", 5);
    view.window->Unlock();
    Settle(view.window);
    int darkSecondLine = 0;
    for (int32 y = static_cast<int32>(lineHeight); y < static_cast<int32>(2 * lineHeight); y++) {
        for (int32 x = static_cast<int32>(textWidth / 2); x < static_cast<int32>(textWidth); x++) {
            BPoint at = TextWindow::InWindow(BPoint(x, y));
            if (is_dark(PixelOf(view.window, at.x, at.y)))
                darkSecondLine++;
        }
    }
    EXPECT_GT(darkSecondLine, 10);
}

TEST(TextViewDrawing, MouseSelectsAndTheSelectionIsHighlighted)
{
    TextWindow view;
    ASSERT_TRUE(view.window->Lock());
    view.text->SetText("alpha beta gamma\nsecond line\n");
    float advance = view.text->PointAt(1).x - view.text->PointAt(0).x;
    float lineHeight = view.text->LineHeight();
    view.window->Unlock();
    Settle(view.window);
    int32 token = view.Token();

    // Drag from the start of "beta" to the end of "gamma".
    BPoint from = TextWindow::InWindow(BPoint(advance * 6 + 1, lineHeight / 2));
    BPoint to = TextWindow::InWindow(BPoint(advance * 16 + 1, lineHeight / 2));
    Display()->UserMouseMoved(token, from);
    Display()->UserMouseButton(token, from, B_PRIMARY_MOUSE_BUTTON, true, 1);
    Display()->UserMouseMoved(token, to);
    Display()->UserMouseButton(token, to, B_PRIMARY_MOUSE_BUTTON, false, 1);
    Settle(view.window);
    EXPECT_EQ(view.Selected(), "beta gamma");

    // The selected cells are darker than the view colour, the rest are not.
    BPoint inSelection = TextWindow::InWindow(BPoint(advance * 10 + advance / 2, 1));
    BPoint outside = TextWindow::InWindow(BPoint(advance * 2, 1));
    rgb_color selected = PixelOf(view.window, inSelection.x, inSelection.y);
    rgb_color plain = PixelOf(view.window, outside.x, outside.y);
    EXPECT_LT(selected.red, kViewColor.red);
    EXPECT_EQ(plain.red, kViewColor.red);

    // A double click selects the word under it.
    view.Click(BPoint(advance * 3, lineHeight + lineHeight / 2), 2);
    Settle(view.window);
    EXPECT_EQ(view.Selected(), "second");

    // Past the end of the text: the end.
    view.Click(BPoint(150, 45));
    Settle(view.window);
    ASSERT_TRUE(view.window->Lock());
    int32 start = -1;
    int32 end = -1;
    view.text->GetSelection(&start, &end);
    EXPECT_EQ(start, view.text->TextLength());
    EXPECT_EQ(end, start);
    view.window->Unlock();
}

TEST(TextViewDrawing, KeyboardSelectsAllAndCopiesToTheClipboard)
{
    TextWindow view;
    ASSERT_TRUE(view.window->Lock());
    view.text->SetText(" [57] <A1B2>\n [58] <C3D4>\n");
    view.window->Unlock();
    Settle(view.window);
    view.Click(BPoint(2, 2)); // focus

    // Ctrl-A and Ctrl-C.
    view.Shortcut(kLeftControl, kKeyA);
    view.Shortcut(kLeftControl, kKeyC);
    Settle(view.window);
    EXPECT_EQ(view.Selected(), " [57] <A1B2>\n [58] <C3D4>\n");
    EXPECT_EQ(Display()->ClipboardText(), " [57] <A1B2>\n [58] <C3D4>\n");

    // Alt (the Command key) does the same; a double-clicked word copies alone.
    ASSERT_TRUE(view.window->Lock());
    float advance = view.text->PointAt(1).x - view.text->PointAt(0).x;
    view.window->Unlock();
    view.Click(BPoint(advance * 8, 2), 2);
    view.Shortcut(kLeftCommand, kKeyC);
    Settle(view.window);
    EXPECT_EQ(Display()->ClipboardText(), "A1B2");

    // Cut on a view that cannot be edited copies and keeps the text; typing
    // changes nothing.
    view.Shortcut(kLeftControl, kKeyX);
    Display()->UserKeyDown(view.Token(), kKeyX, nullptr);
    Display()->UserKeyUp(view.Token(), kKeyX);
    Display()->UserKeyDown(view.Token(), 0x1e, nullptr); // backspace
    Display()->UserKeyUp(view.Token(), 0x1e);
    Settle(view.window);
    ASSERT_TRUE(view.window->Lock());
    EXPECT_STREQ(view.text->Text(), " [57] <A1B2>\n [58] <C3D4>\n");
    view.window->Unlock();
}

TEST(TextViewDrawing, TypingEditsAnEditableView)
{
    TextWindow view(true);
    Settle(view.window);
    view.Click(BPoint(2, 2));
    Display()->UserKeyDown(view.Token(), kKeyA, nullptr);
    Display()->UserKeyUp(view.Token(), kKeyA);
    Display()->UserKeyDown(view.Token(), kKeyC, nullptr);
    Display()->UserKeyUp(view.Token(), kKeyC);
    Settle(view.window);
    ASSERT_TRUE(view.window->Lock());
    EXPECT_STREQ(view.text->Text(), "ac");
    view.window->Unlock();
}

} // namespace
