#include <Font.h>
#include <ScrollBar.h>
#include <ScrollView.h>
#include <TextView.h>

#include "server/DisplayServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace
{

BTextView* make_view(float textWidth = 310)
{
    return new BTextView(BRect(0, 0, 166, 36), "text_view", BRect(0, 0, textWidth, 44),
                         B_FOLLOW_ALL, B_WILL_DRAW);
}

std::string text_of(const BTextView& view)
{
    return std::string(view.Text(), static_cast<size_t>(view.TextLength()));
}

TEST(TextView, InsertClampsTheOffsetAndStopsAtNul)
{
    std::unique_ptr<BTextView> view(make_view());
    view->SetText("hello");
    view->Insert(-5, "A", 1);
    EXPECT_EQ(text_of(*view), "Ahello");
    view->Insert(1000, "Z", 1);
    EXPECT_EQ(text_of(*view), "AhelloZ");
    view->Insert(3, "xy\0zz", 5);
    EXPECT_EQ(text_of(*view), "Ahexyllo"
                              "Z");
    view->Insert(0, "abc", 2);
    EXPECT_EQ(text_of(*view), "abAhexylloZ");

    // Nothing to insert changes nothing.
    view->Insert(0, nullptr, 3);
    view->Insert(0, "abc", 0);
    view->Insert(0, "abc", -1);
    view->Insert(0, "", 5);
    EXPECT_EQ(text_of(*view), "abAhexylloZ");
    EXPECT_EQ(view->TextLength(), 11);

    // Without an offset, text goes in at the selection.
    view->Select(2, 2);
    view->Insert("--");
    EXPECT_EQ(text_of(*view), "ab--AhexylloZ");
    view->Insert("++", 1);
    EXPECT_EQ(text_of(*view), "ab--+AhexylloZ");
}

TEST(TextView, LogLinesInsertedAtTheTopAndCutBack)
{
    // The way a log uses it: newest line first, the tail cut off with SetText.
    std::unique_ptr<BTextView> view(make_view());
    for (int i = 0; i < 40; i++) {
        std::string line = " [" + std::to_string(i) + "] <A1B2>\n";
        view->Insert(0, line.c_str(), static_cast<int32>(line.size()));
    }
    std::string all = text_of(*view);
    EXPECT_EQ(all.rfind(" [39] <A1B2>\n", 0), 0u);
    EXPECT_EQ(view->TextLength(), static_cast<int32>(all.size()));
    EXPECT_EQ(view->CountLines(), 41); // the empty line after the last break counts

    std::string cut = all.substr(0, all.size() - 200) + "..(Crunched)";
    view->SetText(cut.c_str());
    EXPECT_EQ(text_of(*view), cut);
    EXPECT_EQ(view->TextLength(), static_cast<int32>(all.size()) - 188);
    // Text() is a NUL-terminated copy of the bytes.
    EXPECT_EQ(strlen(view->Text()), cut.size());
}

TEST(TextView, ControlBytesAndBrokenUtf8AreKeptByteForByte)
{
    std::unique_ptr<BTextView> view(make_view(60));
    const char bytes[] =
        "\x01\x02\x1b[31m\t\r\x7f\xff\xfe\xc3\x28\xe2\x82 \xf0\x9f\x98\x80 end\xc3";
    int32 length = sizeof(bytes) - 1;
    view->SetText(bytes, length);
    ASSERT_EQ(view->TextLength(), length);
    EXPECT_EQ(memcmp(view->Text(), bytes, static_cast<size_t>(length)), 0);
    EXPECT_EQ(view->Text()[length], '\0');
    EXPECT_GE(view->CountLines(), 1);
    for (int32 line = 0; line < view->CountLines(); line++) {
        EXPECT_GE(view->LineWidth(line), 0.0f);
        int32 start = view->OffsetAt(line);
        // Lines never start inside a well-formed multi-byte character.
        if (start > 0 && start < length) {
            EXPECT_FALSE(start >= 18 && start <= 20) << "line " << line << " at " << start;
        }
    }
    for (int32 offset = 0; offset <= length; offset++) {
        BPoint point = view->PointAt(offset);
        int32 back = view->OffsetAt(point);
        EXPECT_LE(back, length);
    }

    // A length that runs past a NUL stops there; NULL clears.
    view->SetText("ab\0cd", 5);
    EXPECT_EQ(view->TextLength(), 2);
    view->SetText(nullptr);
    EXPECT_EQ(view->TextLength(), 0);
    EXPECT_STREQ(view->Text(), "");
    EXPECT_EQ(view->CountLines(), 1);
}

TEST(TextView, LinesBreakAtNewlinesAndWrapAtTheTextRectangle)
{
    BFont fixed(be_fixed_font);
    fixed.SetSize(9);
    float advance = fixed.StringWidth("x");
    // Room for five characters a line.
    std::unique_ptr<BTextView> view(new BTextView(BRect(0, 0, 100, 100), "wrap",
                                                  BRect(0, 0, advance * 5.5f, 100), &fixed, nullptr,
                                                  B_FOLLOW_ALL, B_WILL_DRAW));
    view->SetText("aaa bbb ccc");
    ASSERT_EQ(view->CountLines(), 3);
    EXPECT_EQ(view->OffsetAt(1), 4);
    EXPECT_EQ(view->OffsetAt(2), 8);

    // A word longer than a line is broken between characters, not inside one.
    view->SetText("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
    ASSERT_GE(view->CountLines(), 2);
    for (int32 line = 1; line < view->CountLines(); line++)
        EXPECT_EQ(view->OffsetAt(line) % 2, 0);

    view->SetText("one\ntwo\n\nfour");
    EXPECT_EQ(view->CountLines(), 4);
    EXPECT_EQ(view->OffsetAt(3), 9);
    EXPECT_EQ(view->LineAt(8), 2);
    EXPECT_EQ(view->LineAt(9), 3);

    view->SetText("aaa bbb ccc");
    view->SetWordWrap(false);
    EXPECT_FALSE(view->DoesWordWrap());
    EXPECT_EQ(view->CountLines(), 1);

    float height = 0;
    view->PointAt(0, &height);
    EXPECT_EQ(height, view->LineHeight());
    EXPECT_GE(view->LineHeight(), 9.0f);
    EXPECT_EQ(view->TextHeight(0, 0), view->LineHeight());
}

TEST(TextView, LargeTextsAndManyInsertsStayCheap)
{
    std::unique_ptr<BTextView> view(make_view(200));
    std::string big;
    while (big.size() < 100 * 1024)
        big += "word\xc3\xa9 ";
    auto started = std::chrono::steady_clock::now();
    view->SetText(big.c_str());
    EXPECT_EQ(view->TextLength(), static_cast<int32>(big.size()));
    int32 lines = view->CountLines();
    EXPECT_GT(lines, 100);
    EXPECT_EQ(view->LineAt(view->TextLength()), lines - 1);

    // One unbroken 100 KB word, with wrapping off and on.
    std::string word(100 * 1024, 'x');
    view->SetText(word.c_str());
    EXPECT_GT(view->CountLines(), 100);
    view->SetWordWrap(false);
    EXPECT_EQ(view->CountLines(), 1);

    // Inserting does not lay out: thousands of lines go in quickly.
    view->SetText("");
    for (int i = 0; i < 5000; i++)
        view->Insert(0, " [57] <A1B2>\n", 13);
    EXPECT_EQ(view->TextLength(), 5000 * 13);
    EXPECT_EQ(view->CountLines(), 5001);
    auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST(TextView, SelectionFollowsEditsAndCopiesItsBytes)
{
    std::unique_ptr<BTextView> view(make_view());
    view->SetText("alpha beta gamma");
    int32 start = -1;
    int32 end = -1;
    view->Select(11, 6);
    view->GetSelection(&start, &end);
    EXPECT_EQ(start, 6);
    EXPECT_EQ(end, 11);
    view->Select(-4, 1000);
    view->GetSelection(&start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 16);

    view->Select(6, 10); // "beta"
    view->Insert(0, ">> ", 3);
    view->GetSelection(&start, &end);
    EXPECT_EQ(std::string(view->Text() + start, static_cast<size_t>(end - start)), "beta");
    view->Delete(0, 3);
    view->GetSelection(&start, &end);
    EXPECT_EQ(std::string(view->Text() + start, static_cast<size_t>(end - start)), "beta");

    auto server = BPrivate::DisplayServer::Acquire();
    view->Copy(nullptr);
    EXPECT_EQ(server->ClipboardText(), "beta");

    // Bytes as they are, control bytes and all.
    view->SetText("x\x01y\xffz");
    view->SelectAll();
    view->Copy(nullptr);
    EXPECT_EQ(server->ClipboardText(), "x\x01y\xffz");

    // Nothing selected copies nothing.
    view->Select(2, 2);
    view->Copy(nullptr);
    EXPECT_EQ(server->ClipboardText(), "x\x01y\xffz");

    view->SetText("after");
    view->GetSelection(&start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
}

TEST(TextView, SetFontAndColorTakesTheMaskedAttributes)
{
    std::unique_ptr<BTextView> view(make_view());
    rgb_color red = make_color(200, 0, 0);
    view->SetFontAndColor(be_plain_font, B_FONT_ALL, &red);

    BFont fixed(be_fixed_font);
    fixed.SetSize(9);
    fixed.SetShear(100);
    fixed.SetSpacing(B_FIXED_SPACING);
    fixed.SetFlags(B_DISABLE_ANTIALIASING);
    fixed.SetFalseBoldWidth(1.5f);

    BFont got;
    rgb_color color;
    // Both platforms' values of "all": every attribute there is, colour kept.
    for (uint32 mask : {0xFFu, 0x1FFu}) {
        view->SetFontAndColor(be_plain_font, 0x1FF, &red);
        view->SetFontAndColor(&fixed, mask, nullptr);
        view->GetFontAndColor(0, &got, &color);
        EXPECT_EQ(color, red) << mask;
        EXPECT_EQ(got.Size(), 9.0f);
        EXPECT_EQ(got.Shear(), 100.0f);
        EXPECT_EQ(got.Spacing(), B_FIXED_SPACING);
        EXPECT_EQ(got.Flags(), static_cast<uint32>(B_DISABLE_ANTIALIASING));
        EXPECT_TRUE(got.IsFixed());
        font_family family;
        font_family wanted;
        got.GetFamilyAndStyle(&family, nullptr);
        fixed.GetFamilyAndStyle(&wanted, nullptr);
        EXPECT_STREQ(family, wanted);
        EXPECT_EQ(got.FalseBoldWidth(), mask == 0x1FF ? 1.5f : 0.0f);
    }

    // Only the size.
    view->SetFontAndColor(be_plain_font, 0x1FF, nullptr);
    view->SetFontAndColor(&fixed, B_FONT_SIZE);
    view->GetFontAndColor(0, &got, &color);
    EXPECT_EQ(got.Size(), 9.0f);
    EXPECT_FALSE(got.IsFixed());
    EXPECT_EQ(color, red);

    rgb_color blue = make_color(0, 0, 255);
    view->SetFontAndColor(nullptr, B_FONT_ALL, &blue);
    view->GetFontAndColor(0, &got, &color);
    EXPECT_EQ(color, blue);
    EXPECT_EQ(got.Size(), 9.0f);
}

TEST(TextView, TypingChangesOnlyAnEditableView)
{
    std::unique_ptr<BTextView> view(make_view());
    view->SetText("log");
    view->MakeEditable(false);
    EXPECT_FALSE(view->IsEditable());
    view->Select(3, 3);
    view->KeyDown("x", 1);
    view->KeyDown("\x08", 1);
    EXPECT_EQ(text_of(*view), "log");

    view->MakeEditable(true);
    view->KeyDown("x", 1);
    EXPECT_EQ(text_of(*view), "logx");
    view->KeyDown("\xc3\xa9", 2);
    EXPECT_EQ(text_of(*view), "logx\xc3\xa9");
    view->KeyDown("\x08", 1); // the whole character goes
    EXPECT_EQ(text_of(*view), "logx");
    view->KeyDown("\x1c", 1); // left arrow
    view->KeyDown("\x7f", 1); // delete
    EXPECT_EQ(text_of(*view), "log");

    view->MakeSelectable(false);
    EXPECT_FALSE(view->IsSelectable());
    view->SetMaxBytes(5);
    view->Insert(0, "123456", 6);
    EXPECT_EQ(view->TextLength(), 5);
}

} // namespace
