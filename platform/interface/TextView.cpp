#include <TextView.h>

#include <AppDefs.h>
#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include "interface/DisplayLink.h"
#include "interface/FontEngine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace
{

constexpr float kWheelLines = 3;

bool is_word_byte(uchar byte)
{
    // Bytes of multi-byte characters belong to words, as letters do.
    return byte >= 0x80 || isalnum(byte) || byte == '_';
}

rgb_color darken(rgb_color color, float factor)
{
    return make_color(static_cast<uint8>(color.red * factor),
                      static_cast<uint8>(color.green * factor),
                      static_cast<uint8>(color.blue * factor), 255);
}

} // namespace

BTextView::BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode,
                     uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    Init(textRect, nullptr, nullptr);
}

BTextView::BTextView(BRect frame, const char* name, BRect textRect, const BFont* initialFont,
                     const rgb_color* initialColor, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    Init(textRect, initialFont, initialColor);
}

BTextView::~BTextView() = default;

void BTextView::Init(BRect textRect, const BFont* font, const rgb_color* color)
{
    fTextRect = textRect;
    fFont = font != nullptr ? *font : *be_plain_font;
    fColor = color != nullptr ? *color : make_color(0, 0, 0);
    SetViewColor(255, 255, 255);
}

void BTextView::AttachedToWindow()
{
    BView::AttachedToWindow();
    UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// The text

void BTextView::SetText(const char* text, const text_run_array* runs)
{
    SetText(text, text != nullptr ? static_cast<int32>(strlen(text)) : 0, runs);
}

void BTextView::SetText(const char* text, int32 length, const text_run_array* runs)
{
    if (!fText.empty())
        DeleteText(0, TextLength());
    InsertText(text, length, 0, runs);
    fSelStart = fSelEnd = fAnchor = 0;
    TextChanged();
}

void BTextView::Insert(const char* text, const text_run_array* runs)
{
    Insert(fSelStart, text, text != nullptr ? static_cast<int32>(strlen(text)) : 0, runs);
}

void BTextView::Insert(const char* text, int32 length, const text_run_array* runs)
{
    Insert(fSelStart, text, length, runs);
}

void BTextView::Insert(int32 offset, const char* text, int32 length, const text_run_array* runs)
{
    if (text == nullptr || length <= 0)
        return;
    int32 before = TextLength();
    InsertText(text, length, ClampOffset(offset), runs);
    if (TextLength() != before)
        TextChanged();
}

void BTextView::InsertText(const char* text, int32 length, int32 offset, const text_run_array* runs)
{
    if (text == nullptr || length <= 0)
        return;
    size_t bytes = strnlen(text, static_cast<size_t>(length));
    size_t room = static_cast<size_t>(std::max(0, fMaxBytes - TextLength()));
    bytes = std::min(bytes, room);
    if (bytes == 0)
        return;
    offset = ClampOffset(offset);
    fText.insert(static_cast<size_t>(offset), text, bytes);

    // The selection stays on the same bytes.
    int32 count = static_cast<int32>(bytes);
    if (offset <= fSelStart) {
        fSelStart += count;
        fSelEnd += count;
        fAnchor += count;
    } else if (offset < fSelEnd) {
        fSelEnd += count;
    }
}

void BTextView::Delete()
{
    Delete(fSelStart, fSelEnd);
}

void BTextView::Delete(int32 startOffset, int32 endOffset)
{
    startOffset = ClampOffset(startOffset);
    endOffset = ClampOffset(endOffset);
    if (startOffset > endOffset)
        std::swap(startOffset, endOffset);
    if (startOffset == endOffset)
        return;
    DeleteText(startOffset, endOffset);
    TextChanged();
}

void BTextView::DeleteText(int32 fromOffset, int32 toOffset)
{
    fromOffset = ClampOffset(fromOffset);
    toOffset = ClampOffset(toOffset);
    if (fromOffset >= toOffset)
        return;
    fText.erase(static_cast<size_t>(fromOffset), static_cast<size_t>(toOffset - fromOffset));

    auto shift = [fromOffset, toOffset](int32 offset) {
        if (offset >= toOffset)
            return offset - (toOffset - fromOffset);
        return std::min(offset, fromOffset);
    };
    fSelStart = shift(fSelStart);
    fSelEnd = shift(fSelEnd);
    fAnchor = shift(fAnchor);
}

const char* BTextView::Text() const
{
    return fText.c_str();
}

int32 BTextView::TextLength() const
{
    return static_cast<int32>(fText.size());
}

void BTextView::GetText(int32 offset, int32 length, char* buffer) const
{
    if (buffer == nullptr)
        return;
    offset = ClampOffset(offset);
    length = std::clamp(length, 0, TextLength() - offset);
    memcpy(buffer, fText.data() + offset, static_cast<size_t>(length));
    buffer[length] = '\0';
}

uchar BTextView::ByteAt(int32 offset) const
{
    if (offset < 0 || offset >= TextLength())
        return 0;
    return static_cast<uchar>(fText[static_cast<size_t>(offset)]);
}

int32 BTextView::ClampOffset(int32 offset) const
{
    return std::clamp(offset, 0, TextLength());
}

void BTextView::TextChanged()
{
    fLayoutValid = false;
    Invalidate();
}

// ---------------------------------------------------------------------------
// Layout

void BTextView::Layout() const
{
    if (fLayoutValid)
        return;
    font_height height;
    fFont.GetHeight(&height);
    fAscent = std::ceil(height.ascent);
    fLineHeight = std::max(1.0f, std::ceil(height.ascent + height.descent + height.leading));

    fLines.clear();
    const char* text = fText.c_str();
    int32 length = TextLength();
    float wrapWidth = std::max(0.0f, fTextRect.Width());
    std::vector<float> offsets;
    int32 start = 0;
    while (true) {
        const char* found = static_cast<const char*>(memchr(text + start, '\n', length - start));
        int32 paragraphEnd = found != nullptr ? static_cast<int32>(found - text) : length;
        int32 lineStart = start;
        if (fWordWrap && paragraphEnd > start) {
            int32 count = paragraphEnd - start;
            offsets.resize(static_cast<size_t>(count) + 1);
            BPrivate::character_offsets(fFont, text + start, count, offsets.data());
            auto penAt = [&](int32 offset) { return offsets[static_cast<size_t>(offset - start)]; };
            while (penAt(paragraphEnd) - penAt(lineStart) > wrapWidth) {
                // The longest run of whole characters that fits, at least one.
                int32 fit = lineStart +
                            BPrivate::character_length(text + lineStart, paragraphEnd - lineStart);
                while (fit < paragraphEnd) {
                    int32 next = fit + BPrivate::character_length(text + fit, paragraphEnd - fit);
                    if (penAt(next) - penAt(lineStart) > wrapWidth)
                        break;
                    fit = next;
                }
                // Break after the last blank that fits; blanks after it hang.
                int32 breakAt = fit;
                if (text[fit] != ' ') {
                    for (int32 i = fit - 1; i > lineStart; i--) {
                        if (text[i] == ' ') {
                            breakAt = i + 1;
                            break;
                        }
                    }
                }
                while (breakAt < paragraphEnd && text[breakAt] == ' ')
                    breakAt++;
                fLines.push_back({lineStart, breakAt});
                lineStart = breakAt;
                if (lineStart >= paragraphEnd)
                    break;
            }
        }
        if (lineStart < paragraphEnd || lineStart == start)
            fLines.push_back({lineStart, paragraphEnd});
        if (found == nullptr)
            break;
        start = paragraphEnd + 1;
    }
    fLayoutValid = true;
}

int32 BTextView::CountLines() const
{
    Layout();
    return static_cast<int32>(fLines.size());
}

int32 BTextView::CurrentLine() const
{
    return LineAt(fSelStart);
}

void BTextView::GoToLine(int32 line)
{
    int32 offset = OffsetAt(line);
    Select(offset, offset);
    ScrollToOffset(offset);
}

int32 BTextView::LineAt(int32 offset) const
{
    Layout();
    offset = ClampOffset(offset);
    // The last line starting at or before the offset.
    auto after = std::upper_bound(fLines.begin(), fLines.end(), offset,
                                  [](int32 value, const Line& line) { return value < line.start; });
    return std::max<int32>(0, static_cast<int32>(after - fLines.begin()) - 1);
}

int32 BTextView::LineAt(BPoint point) const
{
    Layout();
    float y = point.y - fTextRect.top;
    int32 line = static_cast<int32>(std::floor(y / fLineHeight));
    return std::clamp<int32>(line, 0, static_cast<int32>(fLines.size()) - 1);
}

int32 BTextView::OffsetAt(int32 line) const
{
    Layout();
    if (line < 0)
        return 0;
    if (line >= static_cast<int32>(fLines.size()))
        return TextLength();
    return fLines[static_cast<size_t>(line)].start;
}

int32 BTextView::OffsetAt(BPoint point) const
{
    Layout();
    if (point.y < fTextRect.top)
        return 0;
    if (point.y >= fTextRect.top + fLineHeight * static_cast<float>(fLines.size()))
        return TextLength();
    return OffsetInLine(LineAt(point), point.x);
}

int32 BTextView::OffsetInLine(int32 line, float x) const
{
    const Line& range = fLines[static_cast<size_t>(line)];
    int32 count = range.end - range.start;
    std::vector<float> offsets(static_cast<size_t>(count) + 1);
    BPrivate::character_offsets(fFont, fText.c_str() + range.start, count, offsets.data());
    float relative = x - LineLeft(line);
    // The character boundary nearest to x.
    int32 i = 0;
    while (i < count) {
        int32 next = i + BPrivate::character_length(fText.c_str() + range.start + i, count - i);
        float middle = (offsets[static_cast<size_t>(i)] + offsets[static_cast<size_t>(next)]) / 2;
        if (relative < middle)
            break;
        i = next;
    }
    return range.start + i;
}

float BTextView::LineLeft(int32 line) const
{
    if (fAlignment == B_ALIGN_LEFT)
        return fTextRect.left;
    float free = fTextRect.Width() - LineWidth(line);
    return fTextRect.left + std::max(0.0f, fAlignment == B_ALIGN_CENTER ? free / 2 : free);
}

BPoint BTextView::PointAt(int32 offset, float* height) const
{
    Layout();
    offset = ClampOffset(offset);
    int32 line = LineAt(offset);
    float x = XInLine(line, offset);
    if (height != nullptr)
        *height = fLineHeight;
    return BPoint(x, fTextRect.top + fLineHeight * static_cast<float>(line));
}

float BTextView::XInLine(int32 line, int32 offset) const
{
    const Line& range = fLines[static_cast<size_t>(line)];
    int32 within = std::clamp(offset, range.start, range.end) - range.start;
    return LineLeft(line) + BPrivate::string_width(fFont, fText.c_str() + range.start, within);
}

float BTextView::LineWidth(int32 line) const
{
    Layout();
    if (line < 0 || line >= static_cast<int32>(fLines.size()))
        return 0;
    const Line& range = fLines[static_cast<size_t>(line)];
    return BPrivate::string_width(fFont, fText.c_str() + range.start, range.end - range.start);
}

float BTextView::LineHeight(int32 line) const
{
    Layout();
    return fLineHeight;
}

float BTextView::TextHeight(int32 startLine, int32 endLine) const
{
    Layout();
    int32 last = static_cast<int32>(fLines.size()) - 1;
    startLine = std::clamp(startLine, 0, last);
    endLine = std::clamp(endLine, 0, last);
    if (endLine < startLine)
        return 0;
    return fLineHeight * static_cast<float>(endLine - startLine + 1);
}

// ---------------------------------------------------------------------------
// Drawing

void BTextView::Draw(BRect updateRect)
{
    Layout();
    UpdateScrollBars();

    BView::SetFont(&fFont);
    rgb_color highlight = darken(ViewColor(), 0.78f);
    int32 lineCount = static_cast<int32>(fLines.size());
    int32 first = std::max<int32>(
        0, static_cast<int32>(std::floor((updateRect.top - fTextRect.top) / fLineHeight)));
    int32 last = std::min<int32>(
        lineCount - 1,
        static_cast<int32>(std::floor((updateRect.bottom - fTextRect.top) / fLineHeight)));
    for (int32 line = first; line <= last; line++) {
        const Line& range = fLines[static_cast<size_t>(line)];
        float top = fTextRect.top + fLineHeight * static_cast<float>(line);
        // The offsets the line covers, with the '\n' after it; a selection that
        // goes on past the line's text reaches the right edge.
        int32 lineLimit =
            line + 1 < lineCount ? fLines[static_cast<size_t>(line) + 1].start : TextLength();
        if (fSelStart < fSelEnd && fSelStart < lineLimit && fSelEnd > range.start) {
            float left = XInLine(line, fSelStart);
            float right = fSelEnd > range.end ? std::max(fTextRect.right, Bounds().right)
                                              : XInLine(line, fSelEnd) - 1;
            if (right >= left)
                FillRect(BRect(left, top, right, top + fLineHeight - 1), highlight);
        }
        if (range.end > range.start) {
            SetHighColor(fColor);
            DrawString(fText.c_str() + range.start, range.end - range.start,
                       BPoint(LineLeft(line), top + fAscent));
        }
    }

    if (fEditable && IsFocus() && fSelStart == fSelEnd) {
        float height = 0;
        BPoint caret = PointAt(fSelStart, &height);
        SetHighColor(fColor);
        StrokeLine(caret, BPoint(caret.x, caret.y + height - 1));
    }
}

void BTextView::InvalidateLines(int32 fromOffset, int32 toOffset)
{
    Layout();
    int32 from = LineAt(std::min(fromOffset, toOffset));
    int32 to = LineAt(std::max(fromOffset, toOffset));
    BRect bounds = Bounds();
    float top = fTextRect.top + fLineHeight * static_cast<float>(from);
    float bottom = fTextRect.top + fLineHeight * static_cast<float>(to + 1) - 1;
    Invalidate(BRect(bounds.left, top, bounds.right, bottom));
}

// ---------------------------------------------------------------------------
// Scrolling

BScrollBar* BTextView::VerticalBar() const
{
    return ScrollBar(B_VERTICAL);
}

void BTextView::UpdateScrollBars()
{
    Layout();
    BRect bounds = Bounds();
    float visibleHeight = bounds.Height() + 1;
    float textBottom = fTextRect.top + fLineHeight * static_cast<float>(fLines.size());
    float maxTop = MaxScrollTop();
    if (BScrollBar* bar = VerticalBar()) {
        bar->SetRange(0, maxTop);
        bar->SetProportion(textBottom > 0 ? std::min(1.0f, visibleHeight / textBottom) : 1.0f);
        bar->SetSteps(fLineHeight, std::max(fLineHeight, visibleHeight - fLineHeight));
    }
    if (BScrollBar* bar = ScrollBar(B_HORIZONTAL)) {
        float visibleWidth = bounds.Width() + 1;
        float textRight = fTextRect.right + 1;
        bar->SetRange(0, std::max(0.0f, std::ceil(textRight - visibleWidth)));
        bar->SetProportion(textRight > 0 ? std::min(1.0f, visibleWidth / textRight) : 1.0f);
    }
    if (bounds.top > maxTop)
        ScrollTo(bounds.left, maxTop);
}

float BTextView::MaxScrollTop() const
{
    Layout();
    float visibleHeight = Bounds().Height() + 1;
    float textBottom = fTextRect.top + fLineHeight * static_cast<float>(fLines.size());
    return std::max(0.0f, std::ceil(textBottom - visibleHeight));
}

void BTextView::ScrollToTop(float top)
{
    BRect bounds = Bounds();
    top = std::clamp(std::round(top), 0.0f, MaxScrollTop());
    if (top != bounds.top)
        ScrollTo(bounds.left, top);
}

void BTextView::ScrollToShow(float top, float bottom)
{
    BRect bounds = Bounds();
    if (top < bounds.top)
        ScrollToTop(top);
    else if (bottom > bounds.bottom)
        ScrollToTop(bottom - bounds.Height());
}

void BTextView::ScrollToOffset(int32 offset)
{
    float height = 0;
    BPoint point = PointAt(offset, &height);
    ScrollToShow(point.y, point.y + height - 1);
}

void BTextView::ScrollToSelection()
{
    ScrollToOffset(fSelStart);
}

void BTextView::FrameResized(float newWidth, float newHeight)
{
    BView::FrameResized(newWidth, newHeight);
    UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// Selection and the clipboard

void BTextView::Select(int32 startOffset, int32 endOffset)
{
    startOffset = ClampOffset(startOffset);
    endOffset = ClampOffset(endOffset);
    if (startOffset > endOffset)
        std::swap(startOffset, endOffset);
    if (startOffset == fSelStart && endOffset == fSelEnd)
        return;
    int32 oldStart = fSelStart;
    int32 oldEnd = fSelEnd;
    fSelStart = startOffset;
    fSelEnd = endOffset;
    if (Window() != nullptr) {
        InvalidateLines(std::min(oldStart, startOffset), std::max(oldEnd, endOffset));
    }
}

void BTextView::SelectAll()
{
    fAnchor = 0;
    Select(0, TextLength());
}

void BTextView::GetSelection(int32* start, int32* end) const
{
    if (start != nullptr)
        *start = fSelStart;
    if (end != nullptr)
        *end = fSelEnd;
}

void BTextView::Copy(BClipboard* clipboard)
{
    if (fSelStart >= fSelEnd)
        return;
    BPrivate::DisplayLink::SetClipboardText(fText.data() + fSelStart,
                                            static_cast<size_t>(fSelEnd - fSelStart));
}

void BTextView::Cut(BClipboard* clipboard)
{
    Copy(clipboard);
    if (fEditable)
        Delete();
}

void BTextView::Clear()
{
    if (fEditable)
        Delete();
}

void BTextView::WordAt(int32 offset, int32* start, int32* end) const
{
    offset = ClampOffset(offset);
    int32 from = offset;
    int32 to = offset;
    auto byteAt = [this](int32 i) { return static_cast<uchar>(fText[static_cast<size_t>(i)]); };
    if (offset < TextLength() && is_word_byte(byteAt(offset))) {
        while (from > 0 && is_word_byte(byteAt(from - 1)))
            from--;
        while (to < TextLength() && is_word_byte(byteAt(to)))
            to++;
    } else if (offset < TextLength() && byteAt(offset) != '\n') {
        // Between words: the run of like bytes under the pointer.
        uchar like = byteAt(offset);
        while (from > 0 && byteAt(from - 1) == like)
            from--;
        while (to < TextLength() && byteAt(to) == like)
            to++;
    }
    *start = from;
    *end = to;
}

void BTextView::ExtendSelectionTo(int32 offset)
{
    offset = ClampOffset(offset);
    if (!fWordTracking) {
        Select(std::min(fAnchor, offset), std::max(fAnchor, offset));
        return;
    }
    int32 wordStart;
    int32 wordEnd;
    WordAt(offset, &wordStart, &wordEnd);
    int32 anchorStart;
    int32 anchorEnd;
    WordAt(fAnchor, &anchorStart, &anchorEnd);
    Select(std::min(anchorStart, wordStart), std::max(anchorEnd, wordEnd));
}

// ---------------------------------------------------------------------------
// Input

void BTextView::MouseDown(BPoint where)
{
    if (!fSelectable) {
        BView::MouseDown(where);
        return;
    }
    MakeFocus(true);
    int32 clicks = 1;
    int32 modifiers = 0;
    if (Window() != nullptr && Window()->CurrentMessage() != nullptr) {
        Window()->CurrentMessage()->FindInt32("clicks", &clicks);
        Window()->CurrentMessage()->FindInt32("modifiers", &modifiers);
    }
    int32 offset = OffsetAt(where);
    if (clicks >= 2) {
        int32 start;
        int32 end;
        WordAt(offset, &start, &end);
        fAnchor = start;
        fWordTracking = true;
        Select(start, end);
    } else if ((modifiers & B_SHIFT_KEY) != 0) {
        fWordTracking = false;
        ExtendSelectionTo(offset);
    } else {
        fWordTracking = false;
        fAnchor = offset;
        Select(offset, offset);
    }
    fTracking = true;
}

void BTextView::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage)
{
    if (fTracking) {
        // Released over another view: that view heard of it, not this one.
        BPoint mouse;
        uint32 buttons = 0;
        GetMouse(&mouse, &buttons, false);
        fTracking = buttons != 0;
    }
    if (!fTracking) {
        BView::MouseMoved(where, transit, dragMessage);
        return;
    }
    int32 offset = OffsetAt(where);
    ExtendSelectionTo(offset);
    BRect bounds = Bounds();
    if (where.y < bounds.top || where.y > bounds.bottom)
        ScrollToOffset(offset);
}

void BTextView::MouseUp(BPoint where)
{
    if (fTracking) {
        ExtendSelectionTo(OffsetAt(where));
        fTracking = false;
        return;
    }
    BView::MouseUp(where);
}

void BTextView::ReplaceSelection(const char* bytes, int32 length)
{
    int32 start = fSelStart;
    if (fSelStart < fSelEnd)
        DeleteText(fSelStart, fSelEnd);
    int32 before = TextLength();
    InsertText(bytes, length, start, nullptr);
    int32 caret = start + (TextLength() - before);
    fSelStart = fSelEnd = fAnchor = caret;
    TextChanged();
    ScrollToOffset(caret);
}

void BTextView::KeyDown(const char* bytes, int32 numBytes)
{
    if (bytes == nullptr || numBytes <= 0)
        return;
    int32 modifierKeys = 0;
    int32 rawChar = static_cast<uchar>(bytes[0]);
    if (Window() != nullptr && Window()->CurrentMessage() != nullptr) {
        BMessage* message = Window()->CurrentMessage();
        message->FindInt32("modifiers", &modifierKeys);
        message->FindInt32("raw_char", &rawChar);
    }
    uchar byte = static_cast<uchar>(bytes[0]);

    // Command (Alt on a PC keyboard) and Control shortcuts.
    if ((modifierKeys & (B_COMMAND_KEY | B_CONTROL_KEY)) != 0) {
        int32 key = rawChar < 0x80 ? tolower(rawChar) : rawChar;
        if (key == 'a' || byte == 0x01) {
            if (fSelectable)
                SelectAll();
        } else if (key == 'c' || byte == 0x03) {
            if (fSelectable)
                Copy(nullptr);
        } else if (key == 'x' || byte == 0x18) {
            if (fSelectable)
                Cut(nullptr);
        } else if (key == 'v' || byte == 0x16) {
            if (fEditable) {
                std::string pasted = BPrivate::DisplayLink::ClipboardText();
                ReplaceSelection(pasted.data(), static_cast<int32>(pasted.size()));
            }
        }
        return;
    }

    BRect bounds = Bounds();
    switch (byte) {
    case B_PAGE_UP:
        ScrollToTop(bounds.top - bounds.Height());
        return;
    case B_PAGE_DOWN:
        ScrollToTop(bounds.top + bounds.Height());
        return;
    default:
        break;
    }
    if (!fEditable)
        return;

    bool extend = (modifierKeys & B_SHIFT_KEY) != 0;
    auto moveTo = [this, extend](int32 offset) {
        offset = ClampOffset(offset);
        if (extend)
            ExtendSelectionTo(offset);
        else {
            fAnchor = offset;
            Select(offset, offset);
        }
        ScrollToOffset(offset);
        Invalidate();
    };
    auto previous = [this](int32 offset) {
        // Back over continuation bytes to the start of the character.
        int32 i = std::max(0, offset - 1);
        while (i > 0 && (ByteAt(i) & 0xC0) == 0x80 && offset - i < 4)
            i--;
        return i;
    };
    auto next = [this](int32 offset) {
        if (offset >= TextLength())
            return offset;
        return offset + BPrivate::character_length(fText.c_str() + offset, TextLength() - offset);
    };
    int32 caret = extend && fAnchor == fSelStart ? fSelEnd : fSelStart;
    switch (byte) {
    case B_BACKSPACE:
        if (fSelStart == fSelEnd)
            Select(previous(fSelStart), fSelEnd);
        ReplaceSelection("", 0);
        break;
    case B_DELETE:
        if (fSelStart == fSelEnd)
            Select(fSelStart, next(fSelEnd));
        ReplaceSelection("", 0);
        break;
    case B_LEFT_ARROW:
        moveTo(!extend && fSelStart != fSelEnd ? fSelStart : previous(caret));
        break;
    case B_RIGHT_ARROW:
        moveTo(!extend && fSelStart != fSelEnd ? fSelEnd : next(caret));
        break;
    case B_UP_ARROW:
    case B_DOWN_ARROW: {
        int32 line = LineAt(caret) + (byte == B_UP_ARROW ? -1 : 1);
        if (line < 0)
            moveTo(0);
        else if (line >= CountLines())
            moveTo(TextLength());
        else
            moveTo(OffsetInLine(line, PointAt(caret).x));
        break;
    }
    case B_HOME:
        moveTo(fLines[static_cast<size_t>(LineAt(caret))].start);
        break;
    case B_END:
        moveTo(fLines[static_cast<size_t>(LineAt(caret))].end);
        break;
    case B_ESCAPE:
    case B_INSERT:
    case B_FUNCTION_KEY:
        break;
    default:
        if (byte >= ' ' || byte == B_ENTER || byte == B_TAB)
            ReplaceSelection(bytes, numBytes);
        break;
    }
}

void BTextView::MakeFocus(bool focus)
{
    bool changed = focus != IsFocus();
    BView::MakeFocus(focus);
    if (changed && fEditable)
        Invalidate();
}

void BTextView::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_MOUSE_WHEEL_CHANGED: {
        float deltaY = 0;
        message->FindFloat(BPrivate::kWheelDeltaYField, &deltaY);
        Layout();
        ScrollToTop(Bounds().top + deltaY * kWheelLines * fLineHeight);
        break;
    }
    case B_SELECT_ALL:
        if (fSelectable)
            SelectAll();
        break;
    case B_COPY:
        if (fSelectable)
            Copy(nullptr);
        break;
    case B_CUT:
        if (fSelectable)
            Cut(nullptr);
        break;
    default:
        BView::MessageReceived(message);
        break;
    }
}

// ---------------------------------------------------------------------------
// Font, colour and settings

void BTextView::SetFontAndColor(const BFont* font, uint32 mode, const rgb_color* color)
{
    if (font != nullptr) {
        if ((mode & B_FONT_FAMILY_AND_STYLE) != 0) {
            font_family family;
            font_style style;
            font->GetFamilyAndStyle(&family, &style);
            fFont.SetFamilyAndStyle(family, style);
        }
        if ((mode & B_FONT_SIZE) != 0)
            fFont.SetSize(font->Size());
        if ((mode & B_FONT_SHEAR) != 0)
            fFont.SetShear(font->Shear());
        if ((mode & B_FONT_ROTATION) != 0)
            fFont.SetRotation(font->Rotation());
        if ((mode & B_FONT_SPACING) != 0)
            fFont.SetSpacing(font->Spacing());
        if ((mode & B_FONT_ENCODING) != 0)
            fFont.SetEncoding(font->Encoding());
        if ((mode & B_FONT_FACE) != 0)
            fFont.SetFace(font->Face());
        if ((mode & B_FONT_FLAGS) != 0)
            fFont.SetFlags(font->Flags());
        if ((mode & B_FONT_FALSE_BOLD_WIDTH) != 0)
            fFont.SetFalseBoldWidth(font->FalseBoldWidth());
    }
    if (color != nullptr)
        fColor = *color;
    TextChanged();
}

void BTextView::SetFontAndColor(int32 startOffset, int32 endOffset, const BFont* font, uint32 mode,
                                const rgb_color* color)
{
    // One font and colour for all of the text.
    SetFontAndColor(font, mode, color);
}

void BTextView::GetFontAndColor(int32 offset, BFont* font, rgb_color* color) const
{
    if (font != nullptr)
        *font = fFont;
    if (color != nullptr)
        *color = fColor;
}

void BTextView::GetFontAndColor(BFont* font, uint32* mode, rgb_color* color, bool* sameColor) const
{
    if (font != nullptr)
        *font = fFont;
    if (mode != nullptr)
        *mode = B_FONT_ALL;
    if (color != nullptr)
        *color = fColor;
    if (sameColor != nullptr)
        *sameColor = true;
}

void BTextView::SetTextRect(BRect rect)
{
    if (rect == fTextRect)
        return;
    fTextRect = rect;
    TextChanged();
}

BRect BTextView::TextRect() const
{
    return fTextRect;
}

void BTextView::MakeSelectable(bool selectable)
{
    if (selectable == fSelectable)
        return;
    fSelectable = selectable;
    if (!fSelectable && fSelStart != fSelEnd)
        Select(fSelStart, fSelStart);
}

bool BTextView::IsSelectable() const
{
    return fSelectable;
}

void BTextView::MakeEditable(bool editable)
{
    if (editable == fEditable)
        return;
    fEditable = editable;
    Invalidate();
}

bool BTextView::IsEditable() const
{
    return fEditable;
}

void BTextView::SetWordWrap(bool wrap)
{
    if (wrap == fWordWrap)
        return;
    fWordWrap = wrap;
    TextChanged();
}

bool BTextView::DoesWordWrap() const
{
    return fWordWrap;
}

void BTextView::SetMaxBytes(int32 max)
{
    fMaxBytes = std::max(0, max);
    if (TextLength() > fMaxBytes)
        Delete(fMaxBytes, TextLength());
}

int32 BTextView::MaxBytes() const
{
    return fMaxBytes;
}

void BTextView::SetAlignment(alignment flag)
{
    if (flag == fAlignment)
        return;
    fAlignment = flag;
    Invalidate();
}

alignment BTextView::Alignment() const
{
    return fAlignment;
}
